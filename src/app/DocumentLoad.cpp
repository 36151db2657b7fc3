// The load phases of the document around the data layer and the result files: each shows
// its message when it fails.
#include "app/Document.h"
#include "data/DataLoader.h"
#include "data/Preparation.h"
#include "results/ResultIO.h"
#include "results/ResultSet.h"
#include "results/TableFile.h"

namespace zelk {

namespace {

RangeRule RuleOf(const CZELKDoc& doc) {
    RangeRule r;
    r.eqFactMult = doc.opt.dEqFactMult;
    r.rangePow = doc.opt.dRangePow;
    r.keepZeroRangeAsOne = doc.cmd.sWeightVar != " " && doc.cmd.bFWGT == 0;
    return r;
}

}  // namespace

bool CZELKDoc::LoadDataFile(const std::string& path) {
    const LoadOutcome out = zelk::LoadDataFile(path, cmd.sWeightVar, data);
    if (out.ok) return true;
    if (out.unreadable && (cmd.iBatchNRT != 0 || cmd.iBatchSUT != 0)) {
        // Batch mode: no one to tell; the application closes.
        iExitCode = 1;
        platform.RequestClose();
        return false;
    }
    Message(out.message);
    return false;
}

bool CZELKDoc::PrepareData() {
    if (bNoData == 1) {
        Message("No data to prepare!");
        return false;
    }
    const std::string error = zelk::PrepareData(data, RuleOf(*this), prep);
    if (error.empty()) return true;
    Message(error);
    return false;
}

bool CZELKDoc::CheckValueTypes() {
    const std::string error = ValueTypeError(data);
    if (error.empty()) return true;
    Message(error);
    return false;
}

void CZELKDoc::CheckInitW() {
    const std::string text = zelk::CheckInitW(opt.asInitW, data.iNumVar, prep.dNumVar);
    if (!text.empty()) Message(text);
}

bool CZELKDoc::LoadResultFiles() {
    const ResultSetCheck check = ReadResultSet(data.sDataPath, data.asVarname, data.iNumVar, res);
    if (!check.rejected) return true;
    if (Message(check.question, MsgIcon::Stop, MsgButtons::OkCancel) == MsgAnswer::Ok)
        DeleteResultFiles(check.deletePrefix);
    OnNewDocument();
    return false;
}

// Writes nothing while no data set is loaded (false: nothing written).
bool CZELKDoc::WriteTables(const std::string& path, int bCreate, int bRowLabels) {
    if (bNoData != 0) return false;
    const std::string text = ResultTablesText(data.sDataPath, track.sMethodTitle, bCreate == 1, track.mResultTable,
                                              track.asResultCols, track.mResultTable2, track.asResultCols2,
                                              bRowLabels == 1);
    const WriteFault fault = WriteTextFile(path, text, bCreate == 1);
    if (fault == WriteFault::None) return true;
    Message(WriteFaultText(path, bCreate == 1, fault), MsgIcon::Stop, MsgButtons::Ok);
    return false;
}

}  // namespace zelk
