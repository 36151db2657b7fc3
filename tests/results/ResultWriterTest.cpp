// The block writer: exact bytes, appending, empty tables, and the two open failures.
#include "results/ResultIO.h"
#include "results/ResultReaderTestUtil.h"

namespace zelk {
namespace {

using namespace restest;

class ResultWriter : public ::testing::Test {
protected:
    void SetUp() override {
        dir = MakeTempDir();
        doc.bNoData = 0;
        doc.data.sDataPath = "C:\\d\\set.txt";
        doc.track.sMethodTitle = "Newton-Raphson T";
    }
    void CovTable() {
        Matrix m(2, 2, 0.0, "Cov(w)*10^3");
        m.Set(0, 0, 1.234);
        m.Set(0, 1, -0.5);
        m.Set(1, 0, -0.5);
        m.Set(1, 1, 0.8);
        doc.track.mResultTable2 = m;
        doc.track.asResultCols2 = {"CX", "OY"};
    }
    std::string dir;
    FakePlatform pf;
    CZELKDoc doc{pf, false};
};

TEST_F(ResultWriter, CovarianceWithRowLabelsIsByteExact) {
    CovTable();
    const std::string path = dir + "/set.txt.NRT.CovW.out";
    ASSERT_TRUE(doc.WriteTables(path, 1, 1));
    EXPECT_EQ(ReadText(path),
              "Data: C:\\d\\set.txt\n"
              "Method: Newton-Raphson T\n"
              "\n"
              "Cov(w)*10^3\n"
              "                       CX           OY\n"
              "CX             1.23400000  -0.50000000\n"
              "OY            -0.50000000   0.80000000\n");
    EXPECT_TRUE(pf.boxes.empty());
}

TEST_F(ResultWriter, BothTablesAppendedWithoutRowLabels) {
    const std::string path = dir + "/a.out";
    doc.track.mResultTable = Matrix(1, 2, 0.0, "Results");
    doc.track.mResultTable.Set(0, 0, 12);
    doc.track.mResultTable.Set(0, 1, 1);
    doc.track.asResultCols = {"Iterations", "Convergence"};
    doc.track.mResultTable2 = Matrix(2, 1, 0.0, "Gradient(v) history");
    doc.track.mResultTable2.Set(0, 0, -0.000000004);
    doc.track.mResultTable2.Set(1, 0, 123456.5);
    doc.track.asResultCols2 = {"A_NAME_OF_14_C"};
    WriteText(path, "before\n");
    ASSERT_TRUE(doc.WriteTables(path, 0, 0));
    EXPECT_EQ(ReadText(path),
              "before\n"
              "\nResults\n  Iterations  Convergence\n 12.00000000   1.00000000\n"
              "\nGradient(v) history\nA_NAME_OF_14\n -0.00000000\n123456.50000000\n");
}

TEST_F(ResultWriter, EmptyTablesAndMissingNamesWriteNoBlockOrHeader) {
    const std::string path = dir + "/b.out";
    // Only the header lines: what a run's first step leaves.
    ASSERT_TRUE(doc.WriteTables(path, 1, 0));
    EXPECT_EQ(ReadText(path), "Data: C:\\d\\set.txt\nMethod: Newton-Raphson T\n");
    // A table with rows but no columns is empty; a table without names has no header line.
    doc.track.mResultTable = Matrix(3, 0, 0.0, "Nothing");
    doc.track.mResultTable2 = Matrix(1, 1, 2.0, "Plain");
    ASSERT_TRUE(doc.WriteTables(path, 1, 0));
    EXPECT_EQ(ReadText(path), "Data: C:\\d\\set.txt\nMethod: Newton-Raphson T\n\nPlain\n  2.00000000\n");
    // Rows without labels get blank ones, so that their values stay in their columns.
    ASSERT_TRUE(doc.WriteTables(path, 0, 1));
    EXPECT_EQ(ReadText(path), "Data: C:\\d\\set.txt\nMethod: Newton-Raphson T\n\nPlain\n  2.00000000\n"
                              "\nPlain\n" + std::string(13, ' ') + "  2.00000000\n");
}

TEST_F(ResultWriter, RowLabelsOfMoreThanTwelveCharactersAreCut) {
    doc.track.mResultTable2 = Matrix(1, 1, 0.5, "v");
    doc.track.asResultCols2 = {"CLONGERNAME_14"};
    const std::string path = dir + "/c.out";
    ASSERT_TRUE(doc.WriteTables(path, 1, 1));
    EXPECT_EQ(ReadText(path), "Data: C:\\d\\set.txt\nMethod: Newton-Raphson T\n\nv\n" + std::string(13, ' ') +
                                  "CLONGERNAME_\nCLONGERNAME_   0.50000000\n");
}

TEST_F(ResultWriter, NothingIsWrittenWithoutData) {
    doc.bNoData = 1;
    CovTable();
    const std::string path = dir + "/none.out";
    EXPECT_FALSE(doc.WriteTables(path, 1, 1));
    EXPECT_FALSE(Exists(path));
    EXPECT_TRUE(pf.boxes.empty());
}

TEST_F(ResultWriter, CreateFailureIsReported) {
    CovTable();
    const std::string path = dir + "/missing/set.txt.NRT.CovW.out";
    EXPECT_FALSE(doc.WriteTables(path, 1, 1));
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].text,
              "Could not create " + path + ". File may be in use by another process. Click Save to try again.");
    EXPECT_EQ(pf.boxes[0].icon, MsgIcon::Stop);
    EXPECT_EQ(pf.boxes[0].buttons, MsgButtons::Ok);
}

TEST_F(ResultWriter, AppendToAnAbsentFileIsReported) {
    CovTable();
    const std::string path = dir + "/deleted.out";
    EXPECT_FALSE(doc.WriteTables(path, 0, 0));
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.boxes[0].text,
              "Could not write to " + path + ". File may be in use by another process. Click Save to try again.");
    EXPECT_FALSE(Exists(path));
}

TEST_F(ResultWriter, AFileHeldByAnotherProcessIsReportedAndLeftIntact) {
    CovTable();
    const std::string path = dir + "/held.out";
    WriteText(path, "theirs\n");
    {
        HeldLock lock(path);
        EXPECT_FALSE(doc.WriteTables(path, 1, 1));
        EXPECT_FALSE(doc.WriteTables(path, 0, 1));
    }
    ASSERT_EQ(pf.boxes.size(), 2u);
    EXPECT_EQ(pf.boxes[0].text,
              "Could not create " + path + ". File may be in use by another process. Click Save to try again.");
    EXPECT_EQ(pf.boxes[1].text,
              "Could not write to " + path + ". File may be in use by another process. Click Save to try again.");
    EXPECT_EQ(ReadText(path), "theirs\n");
}

TEST_F(ResultWriter, AFailedWriteIsReported) {
    if (!Exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    CovTable();
    EXPECT_FALSE(doc.WriteTables("/dev/full", 0, 1));
    EXPECT_EQ(pf.LastBox(),
              "Could not write to /dev/full. File may be in use by another process. Click Save to try again.");
}

}  // namespace
}  // namespace zelk
