// Helpers of the result-file tests: a temporary directory holding a data path, a document
// with the variables put in by hand, valid result-file texts to start from, and a lock
// held the way another process would hold it.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

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
namespace restest {

inline std::string MakeTempDir() { return testfs::MakeTempDir("zelk_results"); }
using testfs::ReadText;
using testfs::WriteText;

inline bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Holds an exclusive lock on a file as another process would.
class HeldLock {
public:
    explicit HeldLock(const std::string& path) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT, 0644);
        EXPECT_GE(m_fd, 0);
        if (m_fd >= 0) {
            EXPECT_EQ(::flock(m_fd, LOCK_EX | LOCK_NB), 0);
        }
    }
    ~HeldLock() {
        if (m_fd >= 0) ::close(m_fd);
    }
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;

private:
    int m_fd = -1;
};

// The six file names of a method's set in the order the question lists them.
inline std::string SixPaths(const std::string& dataPath, const std::string& method) {
    std::string text;
    for (const char* s : {".Whist.out", ".Phist.out", ".Ghist.out", ".Dist.out", ".CovW.out", ".Cov.out"})
        text += dataPath + "." + method + s + "\n";
    return text;
}

inline std::vector<std::string> SetPaths(const std::string& dataPath, const std::string& method) {
    std::vector<std::string> out;
    for (const char* s : {".Whist.out", ".Phist.out", ".Ghist.out", ".Dist.out", ".CovW.out", ".Cov.out"})
        out.push_back(dataPath + "." + method + s);
    return out;
}

// A document holding a loaded data set of two analysis variables (CX, OY) and a sample
// weight variable (WT), as the loader leaves it before the result files are read.
inline void SetVariables(CZELKDoc& doc, const std::string& dataPath, const StringList& analysis,
                         const StringList& others = {"WT"}) {
    doc.data.sDataPath = dataPath;
    doc.data.asVarname = analysis;
    for (const auto& o : others) doc.data.asVarname.push_back(o);
    doc.data.iNumVar = static_cast<int>(analysis.size());
    doc.data.iNumVarAll = static_cast<int>(doc.data.asVarname.size());
    doc.data.iNumRec = 3;
}

// --- valid files for the variables CX, OY (p = 2) with R history rows

inline std::string Head(const std::string& dataPath) {
    return "Data: " + dataPath + "\nMethod: Newton-Raphson T\n";
}

inline std::string ResultsBlock(bool withLoss) {
    if (withLoss)
        return "\nResults\n  Iterations  Convergence          LUT\n"
               "  3.00000000   1.00000000   0.01000000\n";
    return "\nResults\n  Iterations  Convergence\n  3.00000000   1.00000000\n";
}

inline std::string WhistText(const std::string& dataPath, int rows) {
    std::string t = Head(dataPath) + ResultsBlock(true) +
                    "\nAvg.W.\n           C            O            N            A\n"
                    "  1.00000000   1.00000000   0.00000000   0.00000000\n"
                    "\nv^2\n          CX           OY\n  1.00000000   1.00000000\n"
                    "\nW history\n          Lu           CX           OY\n";
    for (int r = rows; r >= 1; --r)
        t += "  0." + std::to_string(r) + "0000000   1.00000000   1.00000000\n";
    return t;
}

inline std::string GhistText(const std::string& dataPath, int rows) {
    std::string t = Head(dataPath) + ResultsBlock(false) + "\nGradient(v) history\n          CX\n";
    for (int r = rows; r >= 1; --r) t += " -0.0" + std::to_string(r) + "000000\n";
    return t;
}

inline std::string PhistText(const std::string& dataPath, int rows) {
    std::string t = Head(dataPath) + ResultsBlock(false) + "\nPreSet(w) history\n          CX           OY\n";
    for (int r = rows; r >= 1; --r) t += "  1.00000000   1.00000000\n";
    return t;
}

inline std::string CovWText(const std::string& dataPath) {
    return Head(dataPath) + "\nCov(w)*10^3\n" + std::string(13, ' ') + "          CX           OY\n" +
           "CX             1.23400000  -0.50000000\n"
           "OY            -0.50000000   0.80000000\n";
}

inline std::string CovText(const std::string& dataPath) {
    return Head(dataPath) + "\nCov(v)*10^2\n" + std::string(13, ' ') + "          CX\n" +
           "CX             0.75000000\n";
}

// Writes the five read files of a method's set (and its Dist file), all valid.
inline void WriteValidSet(const std::string& dataPath, const std::string& method, int rows = 3) {
    const std::string pre = dataPath + "." + method;
    WriteText(pre + ".Whist.out", WhistText(dataPath, rows));
    WriteText(pre + ".Ghist.out", GhistText(dataPath, rows));
    WriteText(pre + ".Phist.out", PhistText(dataPath, rows));
    WriteText(pre + ".CovW.out", CovWText(dataPath));
    WriteText(pre + ".Cov.out", CovText(dataPath));
    WriteText(pre + ".Dist.out", Head(dataPath) + "\nWeighted distance matrix\n");
}

}  // namespace restest
}  // namespace zelk
