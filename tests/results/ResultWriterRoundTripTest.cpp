// Files written in the layout of a finished Newton-Raphson run come back through the
// reader unchanged (within the 8 decimals written), long variable names included.
#include <cmath>

#include "results/NrtFiles.h"
#include "results/ResultIO.h"
#include "results/TableFile.h"
#include "results/ResultReaderTestUtil.h"

namespace zelk {
namespace {

using namespace restest;

struct RunFiles {
    Matrix wHist, luHist, gHist, pHist, covW, covV, dist;
};

// Hand-made histories of a run of L iterations for p variables and n records.
RunFiles MakeRun(int L, int p, int n) {
    RunFiles run;
    run.wHist.Resize(L, p);
    run.luHist.Resize(L, 1);
    run.gHist.Resize(L, p - 1);
    run.pHist.Resize(L, p);
    for (int i = 0; i < L; ++i) {
        run.luHist.Set(i, 0, 0.5 / (i + 1) + 1e-10 * i);
        double sum = 0;
        for (int k = 0; k < p; ++k) {
            const double w = 1.0 + 0.123456789 * (k - (p - 1) / 2.0) * (i + 1) / L;
            run.wHist.Set(i, k, w);
            run.pHist.Set(i, k, k == 0 ? 1.0 + i : 1.0);
            sum += w;
        }
        (void)sum;
        for (int k = 0; k < p - 1; ++k) run.gHist.Set(i, k, -0.001234567 * (i + 1) * (k + 1));
    }
    run.covW.Resize(p, p);
    run.covV.Resize(p - 1, p - 1);
    for (int r = 0; r < p; ++r)
        for (int c = 0; c < p; ++c) {
            run.covW.Set(r, c, r == c ? 0.00234 : -0.0001 * (r + c));
            if (r < p - 1 && c < p - 1) run.covV.Set(r, c, r == c ? 2.5 : 0.25);
        }
    run.dist.Resize(n, n);
    for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c) run.dist.Set(r, c, std::abs(r - c) * 0.1);
    return run;
}

// Writes the six files of a finished run through the writer of the end of a run.
void WriteRunFiles(CZELKDoc& doc, const RunFiles& run, int converged) {
    const int L = run.wHist.Rows();
    const int p = run.wHist.Cols();
    NrtRecord rec;
    rec.dataPath = doc.data.sDataPath;
    rec.names = StringList(doc.data.asVarname.begin(), doc.data.asVarname.begin() + p);
    rec.iterations = L;
    rec.converged = converged;
    rec.lut = run.luHist.Get(L - 1, 0);
    rec.covW = &run.covW;
    rec.covV = &run.covV;
    rec.dist = &run.dist;
    rec.luHist = &run.luHist;
    rec.wHist = &run.wHist;
    rec.gHist = &run.gHist;
    rec.pHist = &run.pHist;
    Matrix v2(1, p, 1.0);
    rec.finalV2 = &v2;
    const double avg[5] = {1, 1, 0, 0, 1}, mult[5] = {1, 1, 1, 1, 1};
    rec.avgW = avg;
    rec.orgEqFactMult = mult;
    rec.eqFactMult = mult;
    const NrtTexts t = NrtResultTexts(rec);
    const NrtPaths paths = NrtPathsFor(rec.dataPath);
    for (const auto& f : {std::make_pair(paths.sCovWPath, t.covW), std::make_pair(paths.sCovPath, t.cov),
                          std::make_pair(paths.sDistPath, t.dist), std::make_pair(paths.sGhistPath, t.ghist),
                          std::make_pair(paths.sPhistPath, t.phist), std::make_pair(paths.sWhistPath, t.whist)})
        ASSERT_EQ(WriteTextFile(f.first, f.second, true), WriteFault::None);
}

void ExpectNear(const Matrix& got, const Matrix& want, double tol) {
    ASSERT_EQ(got.Rows(), want.Rows());
    ASSERT_EQ(got.Cols(), want.Cols());
    for (int r = 0; r < want.Rows(); ++r)
        for (int c = 0; c < want.Cols(); ++c) EXPECT_NEAR(got.Get(r, c), want.Get(r, c), tol) << r << "," << c;
}

void ExpectLoadedRun(const CZELKDoc& doc, const RunFiles& run, double covWScale) {
    const int L = run.wHist.Rows();
    const int p = run.wHist.Cols();
    // Row 0 holds iteration 1: the reader undoes the writer's reversal.
    Matrix both(L, p + 1);
    for (int r = 0; r < L; ++r) {
        both.Set(r, 0, run.luHist.Get(r, 0));
        for (int k = 0; k < p; ++k) both.Set(r, k + 1, run.wHist.Get(r, k));
    }
    const double half = 5e-9 + 1e-15;
    ExpectNear(doc.res.mNrtWhist, both, half);
    ExpectNear(doc.res.mNrtGhist, run.gHist, half);
    ExpectNear(doc.res.mNrtPhist, run.pHist, half);
    ExpectNear(doc.res.mNrtCovW, run.covW.Scale(covWScale), half * covWScale);
    ExpectNear(doc.res.mNrtCovV, run.covV, half);
    EXPECT_EQ(doc.res.mNrtCovW.Name(), "Cov(w)*10^3");
}

TEST(ResultWriterRoundTrip, EndOfRunFilesReloadInIterationOrder) {
    const std::string dir = MakeTempDir();
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    SetVariables(doc, dir + "/set.dat", {"CX", "OY", "AZ"});
    doc.bNoData = 0;
    const RunFiles run = MakeRun(7, 3, 3);
    WriteRunFiles(doc, run, 1);
    ASSERT_TRUE(pf.boxes.empty()) << pf.LastBox();

    // The W history block lists the last iteration first.
    const std::string whist = ReadText(dir + "/set.dat.NRT.Whist.out");
    const size_t at = whist.find("\nW history\n          Lu           CX           OY           AZ\n");
    ASSERT_NE(at, std::string::npos) << whist;
    const std::string firstRow = whist.substr(at + 11 + 52, 12);
    EXPECT_EQ(firstRow, Real12(run.luHist.Get(6, 0)));

    doc.bNoData = 1;
    ASSERT_TRUE(doc.LoadResultFiles()) << pf.LastBox();
    EXPECT_TRUE(pf.boxes.empty()) << pf.LastBox();
    ExpectLoadedRun(doc, run, 1000.0);
    EXPECT_EQ(doc.res.sNrtWhistFile, dir + "/set.dat.NRT.Whist.out");
}

TEST(ResultWriterRoundTrip, NamesLongerThanTwelveCharactersReloadWithoutAMessage) {
    // The writer cuts the names to 12 characters; the reader compares with the names cut
    // the same way, so the program accepts the files it wrote itself.
    const std::string dir = MakeTempDir();
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    SetVariables(doc, dir + "/long.dat", {"CVARIABLE_0014", "OSECOND_LONG_NAME", "AZ"}, {"WWEIGHT_LONGER_THAN_12"});
    doc.bNoData = 0;
    const RunFiles run = MakeRun(5, 3, 4);
    doc.data.iNumRec = 4;
    WriteRunFiles(doc, run, 0);
    EXPECT_NE(ReadText(dir + "/long.dat.NRT.CovW.out").find("\nCVARIABLE_00 "), std::string::npos);

    doc.bNoData = 1;
    ASSERT_TRUE(doc.LoadResultFiles()) << pf.LastBox();
    EXPECT_TRUE(pf.boxes.empty()) << pf.LastBox();
    ExpectLoadedRun(doc, run, 1000.0);

    // A different variable with the same first 12 characters still matches: that is all
    // the file can tell apart. A different cut name does not.
    SetVariables(doc, dir + "/long.dat", {"CVARIABLE_0015", "OSECOND_LONG_NAME", "AZ"}, {"WT"});
    EXPECT_TRUE(doc.LoadResultFiles()) << pf.LastBox();
    SetVariables(doc, dir + "/long.dat", {"CVARIABLE_1014", "OSECOND_LONG_NAME", "AZ"}, {"WT"});
    pf.defaultAnswer = MsgAnswer::Cancel;
    EXPECT_FALSE(doc.LoadResultFiles());
    EXPECT_EQ(pf.LastBox().rfind("Invalid file (11) " + dir + "/long.dat.NRT.Whist.out", 0), 0u) << pf.LastBox();
}

// The same files found by opening the data file itself.
TEST(ResultWriterRoundTrip, OpeningTheDataFileLoadsTheRunsFiles) {
    const std::string dir = MakeTempDir();
    const std::string data = dir + "/long.dat";
    WriteText(data,
              "Cvariable_0014\tOsecond_long_name\tAz\n"
              "1.5\t1\t0\n2.5\t2\t1\n0.5\t3\t1\n3.0\t1\t0\n");
    const RunFiles run = MakeRun(6, 3, 4);
    {
        FakePlatform pf;
        CZELKDoc writer(pf, false);
        SetVariables(writer, data, {"CVARIABLE_0014", "OSECOND_LONG_NAME", "AZ"}, {});
        writer.data.iNumRec = 4;
        writer.bNoData = 0;
        WriteRunFiles(writer, run, 1);
        ASSERT_TRUE(pf.boxes.empty()) << pf.LastBox();
    }
    FakePlatform pf;
    pf.commandLine = "zelk " + data;
    CZELKDoc doc(pf, false);
    doc.opt.asInitW = {"1"};
    EXPECT_TRUE(doc.OnOpenDocument(data)) << pf.LastBox();
    EXPECT_TRUE(pf.boxes.empty()) << pf.LastBox();
    ASSERT_EQ(doc.bNoData, 0);
    ExpectLoadedRun(doc, run, 1000.0);
    EXPECT_EQ(doc.res.sNrtCovWFile, data + ".NRT.CovW.out");

    // An unfinished later run (header lines only) fails the open; OK deletes the set.
    WriteText(data + ".NRT.Whist.out", Head(data));
    EXPECT_FALSE(doc.OnOpenDocument(data));
    EXPECT_EQ(pf.LastBox(), "Invalid file (8) " + data + ".NRT.Whist.out. Delete the following files?\n" +
                                SixPaths(data, "NRT"));
    EXPECT_EQ(doc.bNoData, 1);
    EXPECT_TRUE(doc.res.mNrtWhist.Empty());
    EXPECT_TRUE(Exists(data));
    EXPECT_FALSE(Exists(data + ".NRT.Whist.out"));
    EXPECT_FALSE(Exists(data + ".NRT.CovW.out"));
    // The data set opens again without its results.
    pf.boxes.clear();
    EXPECT_TRUE(doc.OnOpenDocument(data)) << pf.LastBox();
    EXPECT_TRUE(doc.res.sNrtWhistFile.empty());
}

}  // namespace
}  // namespace zelk
