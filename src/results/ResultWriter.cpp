// The one writer of result and surface files, and the deletion of a method's file set.
#include <cstddef>

#include "app/Document.h"
#include "platform/TextFile.h"
#include "results/ResultIO.h"

namespace zelk {

namespace {

const char* const kFileInUse = ". File may be in use by another process. Click Save to try again.";

void AppendBlock(std::string& text, const Matrix& table, const StringList& cols, bool rowLabels) {
    if (table.Rows() <= 0 || table.Cols() <= 0) return;
    text += "\n";
    text += table.Name();
    text += "\n";
    if (!cols.empty()) {
        std::string header = rowLabels ? std::string(13, ' ') : std::string();
        for (size_t k = 0; k < cols.size(); ++k) {
            if (k > 0) header += ' ';
            header += FitRight12(cols[k]);
        }
        text += header;
        text += "\n";
    }
    for (int r = 0; r < table.Rows(); ++r) {
        std::string line;
        if (rowLabels) {
            // A table with fewer labels than rows gets blank labels rather than none, so
            // that every line keeps its columns.
            const size_t ur = static_cast<size_t>(r);
            line += FitLeft12(ur < cols.size() ? cols[ur] : std::string());
            line += ' ';
        }
        for (int c = 0; c < table.Cols(); ++c) {
            if (c > 0) line += ' ';
            line += Real12(table.Get(r, c));
        }
        text += line;
        text += "\n";
    }
}

}  // namespace

std::string Cut12(const std::string& name) { return name.size() > 12 ? name.substr(0, 12) : name; }

std::string ResultTablesText(const std::string& dataPath, const std::string& methodTitle, bool create,
                             const Matrix& table, const StringList& cols, const Matrix& table2,
                             const StringList& cols2, bool rowLabels) {
    std::string text;
    if (create) {
        text += "Data: " + dataPath + "\n";
        text += "Method: " + methodTitle + "\n";
    }
    AppendBlock(text, table, cols, false);
    AppendBlock(text, table2, cols2, rowLabels);
    return text;
}

// Writes nothing while no data set is loaded (false: nothing written). The whole text is
// built first and written with one call under the file's lock.
bool CZELKDoc::WriteTables(const std::string& path, int bCreate, int bRowLabels) {
    if (bNoData != 0) return false;
    const std::string text =
        ResultTablesText(data.sDataPath, res.sMethodTitle, bCreate == 1, res.mResultTable, res.asResultCols,
                         res.mResultTable2, res.asResultCols2, bRowLabels == 1);
    TextWriter out;
    if (!out.Open(path, bCreate == 1 ? TextWriter::Mode::CreateTruncate : TextWriter::Mode::AppendExisting)) {
        Message((bCreate == 1 ? "Could not create " : "Could not write to ") + path + kFileInUse, MsgIcon::Stop,
                MsgButtons::Ok);
        return false;
    }
    const bool written = out.Write(text);
    const bool closed = out.Close();
    if (!written || !closed) {
        // The open succeeded but the text did not reach the disk (a full disk, say).
        Message("Could not write to " + path + kFileInUse, MsgIcon::Stop, MsgButtons::Ok);
        return false;
    }
    return true;
}

void CZELKDoc::DeleteResultFiles(const std::string& prefix) {
    for (const char* suffix : {".Whist.out", ".Phist.out", ".Dist.out", ".Cov.out", ".CovW.out", ".Ghist.out"})
        DeleteFileIfFree(prefix + suffix);  // absent or held files stay, silently
}

}  // namespace zelk
