// The files of one complete Newton-Raphson run on a tiny data set, compared with the
// checked-in expected files, and the layout of each file.
#include <cmath>

#include "support/GoldenFiles.h"

namespace zelk {
namespace {

using namespace nrttest;

using golden::kSuffixes;

using testfs::Lines;

TEST(EndOfRunFiles, NoFilesWithAWeightVariableWithoutFwgt) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    PrepareTiny(doc, dir);
    doc.cmd.sWeightVar = "W_ANY";
    doc.OnAnalyzeNrt();
    doc.OnStepMessage(RunMessage::NrtStep);
    for (const char* s : kSuffixes) EXPECT_FALSE(Exists(dir + "/tiny.dat" + s)) << s;
}

TEST(EndOfRunFiles, CompleteRunMatchesTheExpectedFiles) {
    // `make update-golden` rewrites the expected files; this test only compares.
    std::string error;
    const auto files = golden::TinyRunFiles(error);
    ASSERT_TRUE(error.empty()) << error;
    for (const auto& f : files) {
        const std::string expected = ReadAll(golden::ExpectedDir() + "tiny.dat" + f.first);
        EXPECT_EQ(golden::Mismatch(f.second, expected), "") << f.first;
    }
    // A change of the layout or of a word is caught; the last digits may move.
    const std::string& whist = files.at(".NRT.Whist.out");
    std::string moved = whist;
    moved.replace(moved.find("LUT") - 1, 4, "LUT ");
    EXPECT_NE(golden::Mismatch(moved, whist), "");
    std::string renamed = whist;
    renamed.replace(renamed.find("Avg.W."), 6, "Avg.V.");
    EXPECT_NE(golden::Mismatch(renamed, whist), "");
}

TEST(EndOfRunFiles, LayoutOfEachFile) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    const std::string dir = MakeTempDir();
    PrepareTiny(doc, dir);
    doc.OnAnalyzeNrt();
    StepToEnd(doc);
    const std::string p = dir + "/tiny.dat";
    const int L = doc.nrt.iIter;
    ASSERT_GE(L, 2);

    const StringList w = Lines(ReadAll(p + ".NRT.Whist.out"));
    ASSERT_EQ(w.size(), 2u + 4u * 5u + 3u + static_cast<size_t>(L));
    EXPECT_EQ(w[0], "Data: " + p);
    EXPECT_EQ(w[1], "Method: Newton-Raphson T");
    const char* captions[] = {"Results", "Avg.W.", "dOrgEqFactMult", "dEqFactMult", "v^2", "W history"};
    for (int b = 0; b < 6; ++b) {
        EXPECT_EQ(w[2 + 4 * b], "") << b;
        EXPECT_EQ(w[3 + 4 * b], captions[b]) << b;
    }
    EXPECT_EQ(w[4], "  Iterations  Convergence          LUT");
    EXPECT_EQ(w[5], Real12(L - 1) + " " + Real12(1) + " " + Real12(doc.track.dDispLu));
    EXPECT_EQ(w[8], "           C            O            N            A");
    // Averages of the final weights per type (no N variable: 0).
    const double* last = doc.track.mWHist.Row(L - 1);
    EXPECT_EQ(w[9], Real12(last[0]) + " " + Real12(last[1]) + " " + Real12(0) + " " + Real12(last[2]));
    EXPECT_EQ(w[13], Real12(1) + " " + Real12(1) + " " + Real12(1) + " " + Real12(1));
    EXPECT_EQ(w[20], "         C_X          O_Y          A_Z");
    EXPECT_EQ(w[21], Real12(last[0] / last[2]) + " " + Real12(last[1] / last[2]) + " " + Real12(1));
    EXPECT_EQ(w[24], "          Lu          C_X          O_Y          A_Z");
    // Last iteration first.
    EXPECT_EQ(w[25], Real12(doc.track.mLuHist.Get(L - 1, 0)) + " " + Real12(last[0]) + " " + Real12(last[1]) +
                         " " + Real12(last[2]));
    EXPECT_EQ(w.back(), Real12(doc.track.mLuHist.Get(0, 0)) + " " + Real12(doc.track.mWHist.Get(0, 0)) + " " +
                            Real12(doc.track.mWHist.Get(0, 1)) + " " + Real12(doc.track.mWHist.Get(0, 2)));

    const StringList g = Lines(ReadAll(p + ".NRT.Ghist.out"));
    ASSERT_EQ(g.size(), 2u + 4u + 3u + static_cast<size_t>(L));
    EXPECT_EQ(g[3], "Results");
    EXPECT_EQ(g[4], "  Iterations  Convergence");
    EXPECT_EQ(g[7], "Gradient(v) history");
    EXPECT_EQ(g[8], "         C_X          O_Y");

    const StringList ph = Lines(ReadAll(p + ".NRT.Phist.out"));
    ASSERT_EQ(ph.size(), 2u + 4u + 3u + static_cast<size_t>(L));
    EXPECT_EQ(ph[7], "PreSet(w) history");
    EXPECT_EQ(ph[9], Real12(1) + " " + Real12(1) + " " + Real12(1));

    const StringList d = Lines(ReadAll(p + ".NRT.Dist.out"));
    ASSERT_EQ(d.size(), 2u + 3u + 6u);
    EXPECT_EQ(d[3], "Weighted distance matrix");
    EXPECT_EQ(d[4], std::string(13, ' ') + "           1            2            3            4            5            6");
    EXPECT_EQ(d[5].substr(0, 13), "1            ");
    EXPECT_EQ(d[5].substr(13, 12), Real12(0));

    const StringList cw = Lines(ReadAll(p + ".NRT.CovW.out"));
    ASSERT_EQ(cw.size(), 2u + 3u + 3u);
    EXPECT_EQ(cw[3].rfind("Cov(w)*10^", 0), 0u);
    EXPECT_EQ(cw[4], std::string(13, ' ') + "         C_X          O_Y          A_Z");
    EXPECT_EQ(cw[7].substr(0, 13), "A_Z          ");
    const StringList cv = Lines(ReadAll(p + ".NRT.Cov.out"));
    ASSERT_EQ(cv.size(), 2u + 3u + 2u);
    EXPECT_EQ(cv[3].rfind("Cov(v)*10^", 0), 0u);
    // The scale makes the largest element at least 0.1 when it was below 1.
    const int k = CAtoi(cv[3].substr(10));
    const double maxCov = doc.track.mCovV.Max();
    if (maxCov < 1 && maxCov > 0) {
        EXPECT_EQ(k, static_cast<int>(std::ceil(-std::log10(maxCov))));
    } else {
        EXPECT_EQ(k, 0);
    }
}

TEST(EndOfRunFiles, TheNextOpeningAcceptsTheFilesOfARun) {
    const std::string dir = MakeTempDir();
    const std::string data = dir + "/tiny.dat";
    WriteAll(data, TinyDataFile());
    FakePlatform pf;
    pf.commandLine = "zelk " + data;
    CZELKDoc doc(pf, false);
    doc.opt.asInitW = {"1"};
    doc.bManualStepping = 1;
    ASSERT_TRUE(doc.OnOpenDocument(data)) << pf.LastBox();
    doc.OnAnalyzeNrt();
    StepToEnd(doc);
    ASSERT_EQ(doc.iFatalCount, 0) << pf.LastBox();
    const Matrix w = doc.track.mWHist;
    const Matrix lu = doc.track.mLuHist;
    ASSERT_TRUE(doc.OnOpenDocument(data)) << pf.LastBox();
    EXPECT_EQ(doc.res.sNrtWhistFile, data + ".NRT.Whist.out");
    ASSERT_EQ(doc.res.mNrtWhist.Rows(), w.Rows());
    // Row 0 holds the first iteration again.
    EXPECT_NEAR(doc.res.mNrtWhist.Get(0, 0), lu.Get(0, 0), 1e-8);
    EXPECT_NEAR(doc.res.mNrtWhist.Get(w.Rows() - 1, 1), w.Get(w.Rows() - 1, 0), 1e-8);
    EXPECT_EQ(doc.res.mNrtCovW.Rows(), 3);
    EXPECT_EQ(doc.res.mNrtCovV.Rows(), 2);
}

}  // namespace
}  // namespace zelk
