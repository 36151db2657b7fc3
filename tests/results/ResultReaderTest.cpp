// The reader of the result files at load: every numbered condition of the history and
// covariance files, the accepted shapes, and files that are damaged in other ways.
#include <random>

#include "results/ResultIO.h"
#include "results/ResultReaderTestUtil.h"

namespace zelk {
namespace {

using namespace restest;

const char* const kW = "W";
const char* const kG = "G";
const char* const kP = "P";

// A history file for CX, OY built from its pieces; `what` says which piece is broken.
std::string HistoryFile(const std::string& dataPath, const std::string& kind, char what) {
    std::string caption, header, body;
    if (kind == kW) {
        caption = "W history";
        header = "          Lu           CX           OY\n";
        body = "  0.20000000   1.10000000   0.90000000\n  0.10000000   1.00000000   1.00000000\n";
        if (what == 'B') header = "          Lu           CX\n";
        if (what == 'C') header = "          Xu           CX           OY\n";
        if (what == 'D') header = "          Lu           CX           ZZ\n";
        if (what == '5') body += "  0.10000000   1.00000000\n";
    } else if (kind == kG) {
        caption = "Gradient(v) history";
        header = "          CX\n";
        body = " -0.02000000\n -0.01000000\n";
        if (what == 'B') header = "          CX           OY\n";
        if (what == 'C') header = "          OY\n";
        if (what == '5') body += "  0.1 0.2\n";
    } else {
        caption = "PreSet(w) history";
        header = "          CX           OY\n";
        body = "  1.00000000   1.00000000\n  1.00000000   1.00000000\n";
        if (what == 'B') header = "          CX\n";
        if (what == 'C') header = "          CX           ZZ\n";
        if (what == '5') body = "  1.00000000\n" + body;
    }
    if (what == 'A') return Head(dataPath) + ResultsBlock(false);
    if (what == 'F') body.clear();
    std::string text = Head(dataPath) + ResultsBlock(kind == kW) + "\n" + caption + "\n" + header + body;
    if (what == 'E') text += "\nfirst line after the table\nsecond line after the table\n";
    return text;
}

// A covariance file for CX, OY (Cov(w), K = 2) or CX (Cov(v), K = 1).
std::string CovFile(const std::string& dataPath, bool weights, char what) {
    std::string caption = weights ? "Cov(w)*10^3" : "Cov(v)*10^2";
    std::string header = weights ? "          CX           OY\n" : "          CX\n";
    std::string body = weights ? "CX   1.0 -0.5\nOY  -0.5  0.8\n" : "CX   0.75\n";
    if (what == 'A') return Head(dataPath);
    if (what == 'B') header = weights ? "          CX\n" : "          CX           OY\n";
    if (what == 'C') header = weights ? "          OY           CX\n" : "          OY\n";
    if (what == 'D') body = weights ? "CX   1.0\nOY  -0.5  0.8\n" : "CX   0.75 0.1\n";
    if (what == 'E') body = weights ? "OY   1.0 -0.5\nCX  -0.5  0.8\n" : "OY   0.75\n";
    if (what == 'G') body = weights ? "CX   1.0 -0.5\n" : "";
    std::string text = Head(dataPath) + "\n" + caption + "\n" + std::string(13, ' ') + header + body;
    if (what == 'F') text += "\nfirst line after the table\nsecond line after the table\n";
    return text;
}

struct Case {
    std::string method;  // "SDT" or "NRT"
    std::string file;    // "W", "G", "P", "CovW", "Cov"
    char what;
    int number;
};

class ResultReaderConditions : public ::testing::TestWithParam<Case> {};

TEST_P(ResultReaderConditions, ReportsItsNumberAndOffersTheMethodsSet) {
    const Case c = GetParam();
    const std::string dir = MakeTempDir();
    const std::string data = dir + "/set.dat";
    FakePlatform pf;
    pf.defaultAnswer = MsgAnswer::Cancel;
    CZELKDoc doc(pf, false);
    SetVariables(doc, data, {"CX", "OY"});
    std::string path;
    if (c.file == "CovW" || c.file == "Cov") {
        path = data + "." + c.method + (c.file == "CovW" ? ".CovW.out" : ".Cov.out");
        WriteText(path, CovFile(data, c.file == "CovW", c.what));
    } else {
        const std::string suffix = c.file == kW ? ".Whist.out" : c.file == kG ? ".Ghist.out" : ".Phist.out";
        path = data + "." + c.method + suffix;
        WriteText(path, HistoryFile(data, c.file, c.what));
    }
    EXPECT_FALSE(doc.LoadResultFiles());
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].text, "Invalid file (" + std::to_string(c.number) + ") " + path +
                                    ". Delete the following files?\n" + SixPaths(data, c.method));
    EXPECT_EQ(pf.boxes[0].icon, MsgIcon::Stop);
    EXPECT_EQ(pf.boxes[0].buttons, MsgButtons::OkCancel);
    EXPECT_EQ(doc.bNoData, 1);
    EXPECT_TRUE(Exists(path));  // Cancel deletes nothing
}

std::vector<Case> AllConditions() {
    return {
        // SDT W history: A B C D, bad line, E F
        {"SDT", kW, 'A', 1}, {"SDT", kW, 'B', 2}, {"SDT", kW, 'C', 3}, {"SDT", kW, 'D', 4},
        {"SDT", kW, '5', 5}, {"SDT", kW, 'E', 6}, {"SDT", kW, 'F', 7},
        {"NRT", kW, 'A', 8}, {"NRT", kW, 'B', 9}, {"NRT", kW, 'C', 10}, {"NRT", kW, 'D', 11},
        {"NRT", kW, '5', 5}, {"NRT", kW, 'E', 13}, {"NRT", kW, 'F', 14},
        {"SDT", kG, 'A', 15}, {"SDT", kG, 'B', 16}, {"SDT", kG, 'C', 17}, {"SDT", kG, '5', 5},
        {"SDT", kG, 'E', 19}, {"SDT", kG, 'F', 20},
        {"NRT", kG, 'A', 21}, {"NRT", kG, 'B', 22}, {"NRT", kG, 'C', 23}, {"NRT", kG, '5', 5},
        {"NRT", kG, 'E', 25}, {"NRT", kG, 'F', 26},
        {"SDT", kP, 'A', 27}, {"SDT", kP, 'B', 28}, {"SDT", kP, 'C', 29}, {"SDT", kP, '5', 5},
        {"SDT", kP, 'E', 31}, {"SDT", kP, 'F', 32},
        {"NRT", kP, 'A', 33}, {"NRT", kP, 'B', 34}, {"NRT", kP, 'C', 35}, {"NRT", kP, '5', 5},
        {"NRT", kP, 'E', 37}, {"NRT", kP, 'F', 38},
        {"NRT", "CovW", 'A', 39}, {"NRT", "CovW", 'B', 40}, {"NRT", "CovW", 'C', 41}, {"NRT", "CovW", 'D', 42},
        {"NRT", "CovW", 'E', 43}, {"NRT", "CovW", 'F', 44}, {"NRT", "CovW", 'G', 45},
        {"SDT", "CovW", 'A', 46}, {"SDT", "CovW", 'B', 47}, {"SDT", "CovW", 'C', 48}, {"SDT", "CovW", 'D', 49},
        {"SDT", "CovW", 'E', 50}, {"SDT", "CovW", 'F', 51}, {"SDT", "CovW", 'G', 52},
        {"NRT", "Cov", 'A', 39}, {"NRT", "Cov", 'B', 40}, {"NRT", "Cov", 'C', 41}, {"NRT", "Cov", 'D', 42},
        {"NRT", "Cov", 'E', 43}, {"NRT", "Cov", 'F', 44}, {"NRT", "Cov", 'G', 45},
        {"SDT", "Cov", 'A', 46}, {"SDT", "Cov", 'B', 47}, {"SDT", "Cov", 'C', 48}, {"SDT", "Cov", 'D', 49},
        {"SDT", "Cov", 'E', 50}, {"SDT", "Cov", 'F', 51}, {"SDT", "Cov", 'G', 52},
    };
}

std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
    const Case& c = info.param;
    return c.method + "_" + c.file + "_" + (c.what == '5' ? std::string("BadLine") : std::string(1, c.what));
}

INSTANTIATE_TEST_SUITE_P(EveryCondition, ResultReaderConditions, ::testing::ValuesIn(AllConditions()), CaseName);

// --- accepted files

class ResultReaderLoad : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempDir();
        data = dir + "/set.dat";
        SetVariables(doc, data, {"CX", "OY"});
    }
    std::string dir, data;
    FakePlatform pf;
    CZELKDoc doc{pf, false};
};

TEST_F(ResultReaderLoad, NoResultFilesLoadsNothing) {
    EXPECT_TRUE(doc.LoadResultFiles());
    EXPECT_TRUE(pf.boxes.empty());
    EXPECT_TRUE(doc.res.mNrtWhist.Empty());
    EXPECT_TRUE(doc.res.sNrtWhistFile.empty());
}

TEST_F(ResultReaderLoad, BothSetsLoadWithTheFirstIterationInRowZero) {
    WriteValidSet(data, "NRT", 3);
    WriteValidSet(data, "SDT", 2);
    ASSERT_TRUE(doc.LoadResultFiles());
    EXPECT_TRUE(pf.boxes.empty());
    const ResultFiles& r = doc.res;
    ASSERT_EQ(r.mNrtWhist.Rows(), 3);
    ASSERT_EQ(r.mNrtWhist.Cols(), 3);
    // The file lists the iterations from the last to the first.
    EXPECT_DOUBLE_EQ(r.mNrtWhist.Get(0, 0), 0.1);
    EXPECT_DOUBLE_EQ(r.mNrtWhist.Get(2, 0), 0.3);
    EXPECT_DOUBLE_EQ(r.mNrtWhist.Get(1, 2), 1.0);
    ASSERT_EQ(r.mNrtGhist.Rows(), 3);
    ASSERT_EQ(r.mNrtGhist.Cols(), 1);
    EXPECT_DOUBLE_EQ(r.mNrtGhist.Get(0, 0), -0.01);
    EXPECT_DOUBLE_EQ(r.mNrtGhist.Get(2, 0), -0.03);
    EXPECT_EQ(r.mNrtPhist.Rows(), 3);
    EXPECT_EQ(r.mNrtPhist.Cols(), 2);
    ASSERT_EQ(r.mNrtCovW.Rows(), 2);
    ASSERT_EQ(r.mNrtCovW.Cols(), 2);
    // Covariances are kept as written (scaled), in file order.
    EXPECT_DOUBLE_EQ(r.mNrtCovW.Get(0, 0), 1.234);
    EXPECT_DOUBLE_EQ(r.mNrtCovW.Get(0, 1), -0.5);
    EXPECT_DOUBLE_EQ(r.mNrtCovW.Get(1, 1), 0.8);
    EXPECT_EQ(r.mNrtCovW.Name(), "Cov(w)*10^3");
    ASSERT_EQ(r.mNrtCovV.Rows(), 1);
    EXPECT_DOUBLE_EQ(r.mNrtCovV.Get(0, 0), 0.75);
    EXPECT_EQ(r.mSdtWhist.Rows(), 2);
    EXPECT_EQ(r.mSdtGhist.Rows(), 2);
    EXPECT_EQ(r.mSdtCovW.Rows(), 2);
    EXPECT_EQ(r.sNrtWhistFile, data + ".NRT.Whist.out");
    EXPECT_EQ(r.sNrtGhistFile, data + ".NRT.Ghist.out");
    EXPECT_EQ(r.sNrtPhistFile, data + ".NRT.Phist.out");
    EXPECT_EQ(r.sNrtCovWFile, data + ".NRT.CovW.out");
    EXPECT_EQ(r.sNrtCovFile, data + ".NRT.Cov.out");
    EXPECT_EQ(r.sSdtWhistFile, data + ".SDT.Whist.out");
    EXPECT_EQ(r.sSdtGhistFile, data + ".SDT.Ghist.out");
    EXPECT_EQ(r.sSdtPhistFile, data + ".SDT.Phist.out");
    EXPECT_EQ(r.sSdtCovWFile, data + ".SDT.CovW.out");
    EXPECT_EQ(r.sSdtCovFile, data + ".SDT.Cov.out");
}

TEST_F(ResultReaderLoad, OneLineAfterTheTableIsAcceptedTwoAreNot) {
    WriteValidSet(data, "NRT", 2);
    const std::string whist = data + ".NRT.Whist.out";
    WriteText(whist, WhistText(data, 2) + "\nfirst line after the table\n");
    ASSERT_TRUE(doc.LoadResultFiles());
    EXPECT_TRUE(pf.boxes.empty());
    EXPECT_EQ(doc.res.mNrtWhist.Rows(), 2);

    WriteText(whist, WhistText(data, 2) + "\nfirst line after the table\nsecond\n");
    EXPECT_FALSE(doc.LoadResultFiles());
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].text.rfind("Invalid file (13) " + whist + ". Delete the following files?\n", 0), 0u);
}

TEST_F(ResultReaderLoad, ALineOfBlanksInsideAHistoryIsABadLineNotTheEndOfTheTable) {
    // Counted as a row and then not filled, it used to load as a phantom iteration of
    // -999999999 values.
    const std::string blanks = "            \n";
    const std::pair<std::string, std::string> files[] = {
        {".NRT.Whist.out", WhistText(data, 2) + blanks + "  0.30000000   1.00000000   1.00000000\n"},
        {".NRT.Ghist.out", GhistText(data, 2) + blanks + " -0.03000000\n"},
        {".NRT.Phist.out", PhistText(data, 2) + blanks + "  1.00000000   1.00000000\n"},
    };
    pf.defaultAnswer = MsgAnswer::Cancel;
    for (const auto& f : files) {
        WriteValidSet(data, "NRT", 2);
        WriteText(data + f.first, f.second);
        pf.boxes.clear();
        EXPECT_FALSE(doc.LoadResultFiles()) << f.first;
        ASSERT_EQ(pf.boxes.size(), 1u);
        EXPECT_EQ(pf.boxes[0].text.rfind("Invalid file (5) " + data + f.first + ". Delete the following files?\n", 0),
                  0u)
            << pf.boxes[0].text;
        SetVariables(doc, data, {"CX", "OY"});
    }
}

TEST_F(ResultReaderLoad, HeaderOnlyFileOfAnUnfinishedRunIsInvalid8) {
    // What the first step of a run leaves when the run never reaches its end.
    const std::string whist = data + ".NRT.Whist.out";
    WriteText(whist, Head(data));
    pf.defaultAnswer = MsgAnswer::Cancel;
    EXPECT_FALSE(doc.LoadResultFiles());
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].text,
              "Invalid file (8) " + whist + ". Delete the following files?\n" + SixPaths(data, "NRT"));
}

TEST_F(ResultReaderLoad, NonNumericTokensAreStoredAsZero) {
    WriteValidSet(data, "NRT", 2);
    WriteText(data + ".NRT.Whist.out", Head(data) +
                                           "\nW history\n          lu           cx           oy\n"
                                           "  0.20000000        abc   12abc\n"
                                           "  0.10000000   1.00000000   1.00000000\n");
    ASSERT_TRUE(doc.LoadResultFiles()) << pf.LastBox();
    EXPECT_DOUBLE_EQ(doc.res.mNrtWhist.Get(1, 1), 0.0);
    EXPECT_DOUBLE_EQ(doc.res.mNrtWhist.Get(1, 2), 12.0);  // as atof reads it
}

TEST_F(ResultReaderLoad, WindowsLineEndsAreAccepted) {
    WriteValidSet(data, "NRT", 2);
    std::string text = WhistText(data, 2), crlf;
    for (char ch : text) crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
    WriteText(data + ".NRT.Whist.out", crlf);
    EXPECT_TRUE(doc.LoadResultFiles()) << pf.LastBox();
    EXPECT_EQ(doc.res.mNrtWhist.Rows(), 2);
}

TEST_F(ResultReaderLoad, AFileHeldByAnotherProcessCountsAsAbsent) {
    // An invalid file that cannot be opened is never looked at.
    const std::string whist = data + ".NRT.Whist.out";
    WriteText(whist, "junk\n");
    {
        HeldLock lock(whist);
        EXPECT_TRUE(doc.LoadResultFiles());
        EXPECT_TRUE(pf.boxes.empty());
        EXPECT_TRUE(doc.res.sNrtWhistFile.empty());
    }
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (8) ", 0), 0u);
}

TEST_F(ResultReaderLoad, ALoadForgetsTheFilesOfAnEarlierLoad) {
    WriteValidSet(data, "NRT", 2);
    ASSERT_TRUE(doc.LoadResultFiles());
    for (const auto& f : SetPaths(data, "NRT")) ::unlink(f.c_str());
    ASSERT_TRUE(doc.LoadResultFiles());
    EXPECT_TRUE(doc.res.mNrtWhist.Empty());
    EXPECT_TRUE(doc.res.mNrtCovW.Empty());
    EXPECT_TRUE(doc.res.sNrtWhistFile.empty());
}

// --- damaged files never crash, hang or read out of bounds

TEST_F(ResultReaderLoad, BinaryJunkAndNulBytesAreRejected) {
    std::mt19937 gen(7);
    std::string junk;
    for (int i = 0; i < 200000; ++i) junk += static_cast<char>(gen() & 0xff);
    junk += std::string("\nW history\n\0\0\0", 14) + "\n\0 \n";
    junk.push_back('\0');
    const std::string whist = data + ".NRT.Whist.out";
    WriteText(whist, junk);
    pf.defaultAnswer = MsgAnswer::Cancel;
    EXPECT_FALSE(doc.LoadResultFiles());
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].text.rfind("Invalid file (9) " + whist, 0), 0u);

    // NUL bytes inside a data line are part of its tokens.
    std::string nul = WhistText(data, 1);
    nul.insert(nul.size() - 3, std::string("\0", 1));
    WriteText(whist, nul);
    WriteValidSet(data, "SDT", 1);
    for (const char* s : {".Ghist.out", ".Phist.out", ".CovW.out", ".Cov.out"})
        WriteText(data + ".NRT" + s, ReadText(data + ".SDT" + s));
    pf.boxes.clear();
    EXPECT_TRUE(doc.LoadResultFiles()) << pf.LastBox();
}

TEST_F(ResultReaderLoad, TruncatedFilesAreRejected) {
    const std::string full = WhistText(data, 3);
    const std::string whist = data + ".NRT.Whist.out";
    pf.defaultAnswer = MsgAnswer::Cancel;
    // Cut anywhere, the lone W history is refused with one question naming it: as an
    // invalid file, or (when the cut left a whole table) for its missing partners.
    for (size_t cut = 0; cut < full.size(); cut += 7) {
        WriteText(whist, full.substr(0, cut));
        pf.boxes.clear();
        EXPECT_FALSE(doc.LoadResultFiles()) << "cut at " << cut;
        ASSERT_EQ(pf.boxes.size(), 1u);
        EXPECT_NE(pf.boxes[0].text.find(whist), std::string::npos);
        SetVariables(doc, data, {"CX", "OY"});
    }
}

TEST_F(ResultReaderLoad, HugeFilesAreReadWithoutTrouble) {
    const std::string whist = data + ".NRT.Whist.out";
    pf.defaultAnswer = MsgAnswer::Cancel;
    // One line of 8 MB without a line end.
    WriteText(whist, std::string(8 << 20, 'x'));
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (8) ", 0), 0u);

    // A table of a million one-character lines is refused at its first line.
    std::string many = Head(data) + "\nW history\n          Lu           CX           OY\n";
    many.reserve(many.size() + 2000000);
    for (int i = 0; i < 1000000; ++i) many += "x\n";
    WriteText(whist, many);
    SetVariables(doc, data, {"CX", "OY"});
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (5) ", 0), 0u);

    // A long valid history loads whole.
    std::string longRun = Head(data) + "\nW history\n          Lu           CX           OY\n";
    for (int i = 0; i < 100000; ++i) longRun += "  0.50000000   1.00000000   1.00000000\n";
    WriteText(whist, longRun);
    std::string g = Head(data) + "\nGradient(v) history\n          CX\n";
    std::string p = Head(data) + "\nPreSet(w) history\n          CX           OY\n";
    for (int i = 0; i < 100000; ++i) {
        g += "  0.00000000\n";
        p += "  1.00000000   1.00000000\n";
    }
    WriteText(data + ".NRT.Ghist.out", g);
    WriteText(data + ".NRT.Phist.out", p);
    WriteText(data + ".NRT.CovW.out", CovWText(data));
    WriteText(data + ".NRT.Cov.out", CovText(data));
    SetVariables(doc, data, {"CX", "OY"});
    pf.boxes.clear();
    EXPECT_TRUE(doc.LoadResultFiles()) << pf.LastBox();
    EXPECT_EQ(doc.res.mNrtWhist.Rows(), 100000);
}

TEST_F(ResultReaderLoad, ExtraCovarianceRowsStopAtTheNames) {
    // More labelled rows than variables: the labels run out, the file is refused.
    WriteValidSet(data, "NRT", 2);
    const std::string covw = data + ".NRT.CovW.out";
    WriteText(covw, CovWText(data) + "WT  1 2\nWT  1 2\nZZ 1 2\n");
    pf.defaultAnswer = MsgAnswer::Cancel;
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (43) " + covw, 0), 0u) << pf.LastBox();
}

}  // namespace
}  // namespace zelk
