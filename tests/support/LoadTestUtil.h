// Helpers of the loading tests: fresh temporary directories, files written into them,
// and a document whose command line and options are set for a test.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>

#include "app/Document.h"
#include "base/Format.h"
#include "base/Text.h"
#include "support/FakePlatform.h"
#include "support/TempFiles.h"

namespace zelk {
namespace loadtest {

inline std::string MakeTempDir() { return testfs::MakeTempDir("zelk_load"); }
inline void WriteFile(const std::string& path, const std::string& text) { testfs::WriteText(path, text); }
inline std::string ReadAll(const std::string& path) { return testfs::ReadText(path); }

// A document over a fake platform: no options file, asInitW already "1" (so a
// successful open shows no box), and the given command-line switches.
struct LoadFixture {
    FakePlatform pf;
    CZELKDoc doc;
    std::string dir;

    explicit LoadFixture(const std::string& switches = std::string()) : doc(pf, false), dir(MakeTempDir()) {
        doc.opt.asInitW = {"1"};
        doc.bManualStepping = 1;
        pf.commandLine = "zelk" + (switches.empty() ? std::string() : " " + switches);
    }
    // Writes the text as a data file in the fixture's directory and returns its path.
    std::string Data(const std::string& text, const std::string& name = "data.dat") {
        const std::string path = dir + "/" + name;
        WriteFile(path, text);
        return path;
    }
    // Opens a data file given as text; the boxes of earlier opens are forgotten.
    bool Open(const std::string& text, const std::string& name = "data.dat") {
        pf.boxes.clear();
        return doc.OnOpenDocument(Data(text, name));
    }
    // True when the document holds nothing of a data set.
    bool Empty() const {
        const DataSet& d = doc.data;
        return doc.bNoData == 1 && d.sDataPath.empty() && d.iNumVarAll == 0 && d.iNumVar == 0 &&
               d.iNumRec == 0 && d.iNumC + d.iNumO + d.iNumN + d.iNumS + d.iNumA + d.iNumW == 0 &&
               d.asVarname.empty() && d.mDataC.Empty() && d.mDataO.Empty() && d.mDataN.Empty() &&
               d.mDataA.Empty() && d.mWeight.Empty() && d.aiDropRec.empty() && doc.prep.adRangeC.empty() &&
               doc.prep.adRangeO.empty() && doc.prep.adRangeN.empty() && doc.prep.adRangeA.empty();
    }
};

}  // namespace loadtest
}  // namespace zelk
