// The plain-text summaries of the headless mode.
#include "app/Summary.h"
#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

using loadtest::LoadFixture;

TEST(Summary, LoadSummaryListsTheDataSet) {
    LoadFixture f("-W=W1");
    ASSERT_TRUE(f.Open("C_HEIGHT\tO1\tA1\tW1\n1\t2\t1\t1\n4\t5\t0\t0\n3\t7\t0\t2\n")) << f.pf.LastBox();
    EXPECT_EQ(LoadSummary(f.doc), "Data file: " + f.dir + "/data.dat\n"
                                  "Records: 2 (1 dropped for a zero weight)\n"
                                  "Analysis variables: 3\n"
                                  "  C C_HEIGHT     range 2.00000000\n"
                                  "  O O1           range 5.00000000\n"
                                  "  A A1           range 1.00000000\n"
                                  "Weight variable: W1\n");
    LoadFixture g;
    ASSERT_TRUE(g.Open("C1\n1\n2\n")) << g.pf.LastBox();
    EXPECT_EQ(LoadSummary(g.doc), "Data file: " + g.dir + "/data.dat\n"
                                  "Records: 2\n"
                                  "Analysis variables: 1\n"
                                  "  C C1           range 1.00000000\n"
                                  "Weight variable: (none)\n");
    g.doc.OnNewDocument();
    EXPECT_EQ(LoadSummary(g.doc), "No data set loaded.\n");
}

TEST(Summary, RunSummaryOneItemPerLine) {
    LoadFixture f;
    ASSERT_TRUE(f.Open("C1\tA1\n1\t1\n2\t0\n4\t1\n")) << f.pf.LastBox();
    EXPECT_EQ(RunSummary(f.doc, true, 0.125, {1.25, 0.75}, {"/d/x.NRT.Whist.out", "/d/x.NRT.Dist.out"}),
              "Convergence attained.\n"
              "Lu=0.12500000\n"
              "Random seed: 0\n"
              "w C1           1.25000000\n"
              "w A1           0.75000000\n"
              "Written: /d/x.NRT.Whist.out\n"
              "Written: /d/x.NRT.Dist.out\n");
    // After the batch run emptied the document, the run's own record names the weights.
    f.doc.OnNewDocument();
    f.doc.cmd.bLastRunConverged = 0;
    f.doc.cmd.dLastRunLu = 2;
    f.doc.cmd.adLastRunW = {0.5, 1.5};
    f.doc.cmd.asLastRunNames = {"C1", "A1"};
    f.doc.asFilesWritten = {"/d/x.NRT.Wrep.out"};
    EXPECT_EQ(RunSummary(f.doc), "Convergence not attained.\n"
                                 "Lu=2.00000000\n"
                                 "Random seed: 0\n"
                                 "w C1           0.50000000\n"
                                 "w A1           1.50000000\n"
                                 "Written: /d/x.NRT.Wrep.out\n");
    f.doc.cmd.asLastRunNames.clear();
    EXPECT_EQ(RunSummary(f.doc, false, 0, {3}, {}), "Convergence not attained.\nLu=0.00000000\nRandom seed: 0\nw w1           3.00000000\n");
}

}  // namespace
}  // namespace zelk
