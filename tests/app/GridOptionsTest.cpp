// Grid options that are not finite numbers draw a warning at start and keep their defaults,
// so that a grid is always made of finite steps and bounds.
#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

TEST(GridOptions, NonFiniteValuesWarnAndKeepTheirDefaults) {
    struct Case {
        const char* line;
        const char* warning;
        double Options::*field;
        double fallback;
    };
    const Case cases[] = {
        {"DSURFACEBYW2VARS=inf", "WARNING: Invalid dSurfaceByW2Vars option in ZELK.ini file: inf\n"
                                 "Must be a finite number. Setting dSurfaceByW2Vars=0.001.",
         &Options::dSurfaceByW2Vars, 0.001},
        {"DSURFACEBYW4VARS=-INF", "WARNING: Invalid dSurfaceByW4Vars option in ZELK.ini file: -inf\n"
                                  "Must be a finite number. Setting dSurfaceByW4Vars=0.05.",
         &Options::dSurfaceByW4Vars, 0.05},
    };
    for (const Case& c : cases) {
        FakePlatform pf;
        pf.currentDirectory = loadtest::MakeTempDir();
        loadtest::WriteFile(pf.currentDirectory + "/ZELK.ini", std::string(c.line) + "\n");
        CZELKDoc doc(pf, true);
        ASSERT_EQ(pf.boxes.size(), 1u) << c.line;
        EXPECT_EQ(pf.LastBox(), c.warning);
        EXPECT_EQ(doc.opt.*c.field, c.fallback) << c.line;
    }
    // The bounds, and a grid that can still be scanned.
    FakePlatform pf;
    pf.currentDirectory = loadtest::MakeTempDir();
    loadtest::WriteFile(pf.currentDirectory + "/ZELK.ini", "DSURFACEMAXW1=inf\nDSURFACEMINW1=nan\nDSURFACEMAXW3=1e999\n");
    CZELKDoc doc(pf, true);
    ASSERT_EQ(pf.boxes.size(), 3u);
    EXPECT_EQ(pf.boxes[0].text, "WARNING: Invalid dSurfaceMaxW1 option in ZELK.ini file: inf\n"
                                "Must be a finite number. Setting dSurfaceMaxW1=0.");
    EXPECT_EQ(pf.boxes[1].text, "WARNING: Invalid dSurfaceMinW1 option in ZELK.ini file: nan\n"
                                "Must be a finite number. Setting dSurfaceMinW1=0.");
    EXPECT_EQ(doc.opt.dSurfaceMaxW[0], 0);
    EXPECT_EQ(doc.opt.dSurfaceMinW[0], 0);
    EXPECT_EQ(doc.opt.dSurfaceMaxW[2], 0);
    doc.opt.asInitW = {"1"};
    doc.bManualStepping = 1;
    const std::string data = pf.currentDirectory + "/two.dat";
    loadtest::WriteFile(data, "C_X\tC_Y\n1\t5\n2\t3\n4\t8\n");
    ASSERT_TRUE(doc.OnOpenDocument(data)) << pf.LastBox();
    EXPECT_EQ(doc.surf.grid.bGridValid, 1);
    EXPECT_EQ(doc.surf.mSurface.Rows(), 1999);
}

}  // namespace
}  // namespace zelk
