// Runs too large for the machine are refused before they allocate anything, with a message
// that names the size they need: the machine's own limit for data sets far beyond any
// machine, an injected limit around the size of a small run.
#include "platform/Memory.h"
#include "support/NrtTestData.h"

namespace zelk {
namespace {

using namespace nrttest;

// n records of two continuous variables.
std::vector<Column> Records(int n) {
    Column x{"C_X", std::vector<double>(static_cast<size_t>(n))};
    Column y{"C_Y", std::vector<double>(static_cast<size_t>(n))};
    for (int r = 0; r < n; ++r) {
        x.values[r] = r % 97;
        y.values[r] = (r * 7) % 13;
    }
    return {x, y};
}

TEST(RunMemory, MillionsOfRecordsAreRefusedByNewtonRaphsonAndTheScan) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    FillData(doc, MakeTempDir() + "/big.dat", Records(5300000));
    doc.SetupSurfaceGrid();
    doc.cmd.iBatchNRT = 1;
    doc.BatchTrigger();
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.LastBox().rfind("Newton-Raphson on 5300000 records and 2 variables needs about ", 0), 0u)
        << pf.LastBox();
    EXPECT_NE(pf.LastBox().find(" PB of memory"), std::string::npos) << pf.LastBox();
    EXPECT_EQ(doc.iExitCode, 1);
    EXPECT_EQ(pf.closeRequests, 1);

    doc.OnAnalyzeSurface();
    EXPECT_EQ(doc.runs.rsSurface.bRunning, 0);
    EXPECT_EQ(pf.LastBox().rfind("The surface scan of 5300000 records and 2 variables needs about ", 0), 0u)
        << pf.LastBox();
}

TEST(RunMemory, FiftyThousandColumnsAreRefused) {
    // Their Hessians alone would have more elements than a matrix can hold.
    std::vector<Column> cols;
    for (int k = 0; k < 50000; ++k) cols.push_back(Column{Format("C_%d", k), {0.0, 1.0 + k % 3, 2.0}});
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.bManualStepping = 1;
    FillData(doc, MakeTempDir() + "/wide.dat", cols);
    doc.OnAnalyzeNrt();
    EXPECT_EQ(doc.runs.rsNRT.bRunning, 0);
    EXPECT_EQ(pf.LastBox().rfind("Newton-Raphson on 3 records and 50000 variables needs about ", 0), 0u)
        << pf.LastBox();
    EXPECT_NE(pf.LastBox().find("with matrices of more than 2147483647 elements"), std::string::npos);
}

TEST(RunMemory, TheLimitDecidesAroundTheSizeOfTheRun) {
    // About 8 MB for a run of 300 records.
    struct Case {
        double limit;
        bool refused;
    };
    for (const Case& c : {Case{2.0 * 1024 * 1024, true}, Case{64.0 * 1024 * 1024, false}}) {
        FakePlatform pf;
        CZELKDoc doc(pf, false);
        doc.bManualStepping = 1;
        FillData(doc, MakeTempDir() + "/mid.dat", Records(300));
        g_memoryLimitOverride = c.limit;
        doc.OnAnalyzeNrt();
        g_memoryLimitOverride = 0;
        EXPECT_EQ(doc.runs.rsNRT.bRunning, c.refused ? 0 : 1);
        if (c.refused) {
            const std::string box = pf.LastBox();
            EXPECT_EQ(box.rfind("Newton-Raphson on 300 records and 2 variables needs about ", 0), 0u) << box;
            EXPECT_NE(box.find(" MB of memory, more than the 2.0 MB of memory this machine has.\nUse a data set "
                               "with fewer records or variables."),
                      std::string::npos)
                << box;
        } else {
            EXPECT_TRUE(pf.boxes.empty()) << pf.LastBox();
        }
    }
}

}  // namespace
}  // namespace zelk
