// The document's lifecycle: emptying it, reading the command line, and the fixed
// sequence of an open.
#include "app/Document.h"

#include <new>

#include "base/Text.h"

namespace zelk {

bool CZELKDoc::OnNewDocument() {
    // Each group is replaced by a freshly constructed one, so no field can be missed.
    // The options and the command-line state stay.
    data = DataSet();
    prep = Prepared();
    nrt = NrtState();
    track = RunTrack();
    scan = ScanState();
    replay = ReplayState();
    res = ResultFiles();
    surf = SurfaceState();
    disp = DisplayState();
    bNoData = 1;
    RunReset();
    RedrawAllViews();
    return true;
}

bool CZELKDoc::ReadCommandLine() {
    const std::string line = platform.CommandLine();
    for (const std::string& raw : SplitTokens(line, ' ')) {
        const std::string tok = UpperCase(raw);
        if (tok == "-SUT") {
            cmd.iBatchSUT = 1;
        } else if (tok == "-NRT") {
            cmd.iBatchNRT = 1;
        } else if (tok == "-FWGT") {
            cmd.bFWGT = 1;
        } else if (tok.compare(0, 3, "-W=") == 0) {
            cmd.sWeightVar = tok.substr(3);
        }
        // Anything else (the program, the data path, unknown switches) is not ours.
    }
    if (cmd.iBatchNRT != 0 && cmd.iBatchSUT != 0) {
        Message("Error: At most one command line option of -NRT or -SUT can be used per call to ZELK.\n" + line);
        OnNewDocument();
        platform.RequestClose();
        iExitCode = 2;
        return false;
    }
    return true;
}

bool CZELKDoc::OnOpenDocument(const std::string& path) {
    // A file too large for the memory (a result file of billions of lines, say) fails the
    // open with a message instead of ending the program.
    try {
        return OpenDocumentPhases(path);
    } catch (const std::bad_alloc&) {
        Message(kOutOfMemoryText);
        OnNewDocument();
        return false;
    }
}

bool CZELKDoc::OpenDocumentPhases(const std::string& path) {
    // Every failing phase has shown its message. The loader, the preparation and the
    // value-type checks leave the emptying to this sequence; the result-file and surface
    // checks may have emptied the document themselves (the names are gone then).
    auto fail = [this]() {
        OnNewDocument();
        return false;
    };
    auto failUnlessEmptied = [this]() {
        if (bNoData == 0 || !data.asVarname.empty()) OnNewDocument();
        return false;
    };

    OnNewDocument();
    if (!ReadCommandLine()) return false;
    data.sDataPath = path;

    if (!LoadDataFile(path)) return fail();

    const int p = data.iNumVar;
    const bool surfaceSized = p >= 2 && p <= 4;
    prep.dNumVar = p;
    if (!LoadResultFiles()) return failUnlessEmptied();
    if (surfaceSized && !LoadSurfaceFile()) return failUnlessEmptied();

    bNoData = 0;
    if (!PrepareData()) return fail();
    if (!CheckValueTypes()) return fail();

    if (surfaceSized) {
        SetupSurfaceGrid();
        if (!FillSurfaceAfterLoad()) return failUnlessEmptied();
    }
    prep.dPenaltyPow = 2.0 / 3.0;
    disp.dSliceBand = p == 4 ? 0.2 : 1.0;

    CheckInitW();
    RedrawAllViews();
    return true;
}

}  // namespace zelk
