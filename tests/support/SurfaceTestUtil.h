// Helpers of the surface and replay tests: fresh temporary directories, small data
// files, and driving the step machine by hand.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Document.h"
#include "base/Format.h"
#include "base/Text.h"
#include "support/FakePlatform.h"
#include "support/TempFiles.h"

namespace zelk {
namespace surftest {

inline std::string MakeTempDir() { return testfs::MakeTempDir("zelk_surface"); }
using testfs::ReadText;
using testfs::WriteText;

inline std::vector<std::string> ReadLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

inline bool Exists(const std::string& path) { return std::ifstream(path).good(); }

// Eight records of two continuous variables.
inline const char* kTwoC =
    "C_X\tC_Y\n1\t5\n2\t3\n4\t8\n7\t1\n3\t3\n9\t6\n5\t2\n6\t7\n";
// Three and four variables.
inline const char* kThree =
    "C_X\tC_Y\tO_Z\n1\t5\t1\n2\t3\t2\n4\t8\t3\n7\t1\t1\n3\t3\t2\n9\t6\t3\n5\t2\t1\n6\t7\t2\n";
inline const char* kFour =
    "C_X\tC_Y\tO_Z\tA_Q\n1\t5\t1\t0\n2\t3\t2\t1\n4\t8\t3\t0\n7\t1\t1\t1\n3\t3\t2\t0\n"
    "9\t6\t3\t1\n5\t2\t1\t0\n6\t7\t2\t1\n";

// The data file plus a document on a scripted platform, stepped by hand.
struct Fixture {
    std::string dir = MakeTempDir();
    FakePlatform pf;
    CZELKDoc doc{pf, false};

    Fixture() {
        doc.bManualStepping = 1;
        doc.opt.asInitW = StringList{"1"};  // as a ZELK.ini with ASINITW=1 would give
        pf.currentDirectory = dir;
    }
    std::string Data(const char* text, const std::string& name = "set.dat") {
        std::string path = dir + "/" + name;
        WriteText(path, text);
        return path;
    }
    // Steps the scan until it ends (bounded). Returns the number of steps sent.
    int RunSurface(int maxSteps = 2000000) {
        int steps = 0;
        while (doc.runs.rsSurface.bRunning && steps < maxSteps) {
            doc.OnStepMessage(RunMessage::SurfaceStep);
            ++steps;
        }
        return steps;
    }
    int Scan() {
        doc.OnAnalyzeSurface();
        return RunSurface();
    }
};

inline StringList Tokens(const std::string& line) { return SplitTokens(line, ' '); }

}  // namespace surftest
}  // namespace zelk
