// The ZELK.ini reader: keys, conversions, the warnings of the validated keys, unknown
// lines, and the derived values.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <climits>
#include <memory>

#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

// A document constructed over a directory holding a ZELK.ini with the given text.
struct Ini {
    FakePlatform pf;
    std::string dir = loadtest::MakeTempDir();
    std::unique_ptr<CZELKDoc> doc;

    explicit Ini(const std::string& text) {
        loadtest::WriteFile(dir + "/ZELK.ini", text);
        pf.currentDirectory = dir;
        doc = std::make_unique<CZELKDoc>(pf, true);
    }
    const Options& opt() const { return doc->opt; }
    std::vector<std::string> Texts() const {
        std::vector<std::string> t;
        for (const auto& b : pf.boxes) t.push_back(b.text);
        return t;
    }
};

std::string Unknown(const std::string& padded) { return "WARNING: Unknown option in ZELK.ini: " + padded; }

TEST(Options, AMissingFileGivesOneWarningAndTheDefaults) {
    FakePlatform pf;
    pf.currentDirectory = loadtest::MakeTempDir();
    CZELKDoc doc(pf, true);
    ASSERT_EQ(pf.boxes.size(), 1u);
    EXPECT_EQ(pf.LastBox(),
              "WARNING: Could not read from " + pf.currentDirectory + "/ZELK.ini. Default options will be used.");
    EXPECT_EQ(pf.boxes[0].icon, MsgIcon::Stop);
    const Options& o = doc.opt;
    EXPECT_EQ(o.sOptionsPath, pf.currentDirectory + "/ZELK.ini");
    EXPECT_EQ(o.iMaxIter, 100);
    EXPECT_EQ(o.d3dscale, 850);
    EXPECT_EQ(o.bCalib, 0);
    EXPECT_TRUE(o.asInitW.empty());
    EXPECT_EQ(o.bDeSoeteSurface, 0);
    EXPECT_EQ(o.bAutoMinimize, 0);
    EXPECT_EQ(o.dOriginX, 1150);
    EXPECT_EQ(o.dOriginY, -125);
    EXPECT_EQ(o.dMinValidW, 0.000001);
    EXPECT_EQ(o.dConvCrit, 0.000001);
    EXPECT_EQ(o.iNumRandRestart, 0);
    EXPECT_EQ(o.dMaxRandRestartDist, 0.5);
    EXPECT_EQ(o.bAlwaysUpdateAll, 0);
    EXPECT_EQ(o.bHighRes, 1);
    EXPECT_EQ(o.dPercSurfMap, 1);
    EXPECT_EQ(o.dMultAxes, 1);
    EXPECT_EQ(o.dSurfacePow, -1);
    EXPECT_EQ(o.iSDStepsToNR, 0);
    EXPECT_EQ(o.iSleepMilli, 25);
    EXPECT_EQ(o.iThreadPriority12345, 3);
    EXPECT_EQ(o.dSurfaceByW2Vars, 0.001);
    EXPECT_EQ(o.dSurfaceByW3Vars, 0.02);
    EXPECT_EQ(o.dSurfaceByW4Vars, 0.05);
    for (int t = 0; t < kNumTypes; ++t) {
        EXPECT_EQ(o.dEqFactMult[t], 1);
        EXPECT_EQ(o.dOrgEqFactMult[t], 1);
        EXPECT_EQ(o.dLastEqFactMult[t], 1);
        EXPECT_EQ(o.dRangePow[t], 1);
    }
}

TEST(Options, UnreadableFilesCountAsMissing) {
    {
        // A directory under that name.
        FakePlatform pf;
        pf.currentDirectory = loadtest::MakeTempDir();
        ASSERT_EQ(::mkdir((pf.currentDirectory + "/ZELK.ini").c_str(), 0700), 0);
        CZELKDoc doc(pf, true);
        EXPECT_EQ(pf.LastBox(),
                  "WARNING: Could not read from " + pf.currentDirectory + "/ZELK.ini. Default options will be used.");
    }
    // A file held by another holder.
    FakePlatform pf;
    pf.currentDirectory = loadtest::MakeTempDir();
    const std::string path = pf.currentDirectory + "/ZELK.ini";
    loadtest::WriteFile(path, "IMAXITER=5\n");
    const int fd = ::open(path.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    CZELKDoc doc(pf, true);
    EXPECT_EQ(pf.LastBox(), "WARNING: Could not read from " + path + ". Default options will be used.");
    EXPECT_EQ(doc.opt.iMaxIter, 100);
    ::close(fd);
}

TEST(Options, AVeryLongCurrentDirectoryIsCutTo500Bytes) {
    FakePlatform pf;
    pf.currentDirectory = "/" + std::string(700, 'd');
    CZELKDoc doc(pf, true);
    EXPECT_EQ(doc.opt.sOptionsPath, pf.currentDirectory.substr(0, 500) + "/ZELK.ini");
    EXPECT_EQ(pf.LastBox(), "WARNING: Could not read from " + doc.opt.sOptionsPath + ". Default options will be used.");
}

TEST(Options, KeysAreCaseInsensitiveAndTheBudgetCoversTheRestarts) {
    {
        Ini ini("imaxiter=5\n");
        EXPECT_TRUE(ini.pf.boxes.empty()) << ini.pf.LastBox();
        EXPECT_EQ(ini.opt().iMaxIter, 5);
    }
    {
        Ini ini("imaxiter=5\nINUMRANDRESTART=2\n");
        EXPECT_EQ(ini.opt().iMaxIter, 5);
        EXPECT_EQ(ini.opt().iMaxIterBudget, 15);
        EXPECT_EQ(ini.opt().iNumRandRestart, 2);
    }
    {
        Ini ini("INUMRANDRESTART=-3\r\nIMAXITER=7\r\n");  // no warning; other line ends
        EXPECT_TRUE(ini.pf.boxes.empty()) << ini.pf.LastBox();
        EXPECT_EQ(ini.opt().iNumRandRestart, 0);
        EXPECT_EQ(ini.opt().iMaxIter, 7);
    }
    {
        // A product beyond the integer range is held at the largest integer.
        Ini ini("IMAXITER=2000000000\nINUMRANDRESTART=5\n");
        EXPECT_EQ(ini.opt().iMaxIterBudget, INT_MAX);
    }
    {
        // The last line of a key wins.
        Ini ini("IMAXITER=5\nIMAXITER=9\n");
        EXPECT_EQ(ini.opt().iMaxIter, 9);
    }
}

TEST(Options, UnknownAndMalformedLines) {
    Ini ini("IMAXITER = 5\n\nX\n# comment line\n IMAXITER=5\nIMAXITER\nIMAXITERX=3\n");
    EXPECT_EQ(ini.Texts(), std::vector<std::string>({
                               Unknown("IMAXITER = 5"),
                               Unknown(std::string(11, ' ')),
                               Unknown("X" + std::string(10, ' ')),
                               Unknown("# comment line"),
                               Unknown(" IMAXITER=5"),
                               Unknown("IMAXITER   "),
                               Unknown("IMAXITERX=3"),
                           }));
    EXPECT_EQ(ini.opt().iMaxIter, 100);
}

TEST(Options, ValidationWarnings) {
    struct Case {
        std::string line;
        std::string warning;  // empty: accepted
    };
    const Case cases[] = {
        {"IMAXITER=-5", "WARNING: Invalid iMaxIter option in ZELK.ini file: -5.00000000\n"
                        "Must be an integer>=0. Setting iMaxIter=100."},
        {"D3DSCALE=125", "WARNING: Invalid d3dscale option in ZELK.ini file: 125.00000000\n"
                         "Must be a multiple of 50. Setting d3dscale=500."},
        {"D3DSCALE=-30", ""},
        {"D3DSCALE=1000", ""},
        {"D3DSCALE=nan", "WARNING: Invalid d3dscale option in ZELK.ini file: nan\n"
                         "Must be a multiple of 50. Setting d3dscale=500."},
        {"BHIGHRES=2", "WARNING: Invalid bHighRes option in ZELK.ini file: 2.00000000\n"
                       "Must be 0 or 1. Setting bHighRes=TRUE."},
        {"BHIGHRES=TRUE", ""},
        {"DPERCSURFMAP=0.05", "WARNING: Invalid dPercSurfMap option in ZELK.ini file: 0.05000000\n"
                              "Must be a multiple of 0.1 and a number between 0.1 and 1. Setting dPercSurfMap=1"},
        {"DPERCSURFMAP=0.25", "WARNING: Invalid dPercSurfMap option in ZELK.ini file: 0.25000000\n"
                              "Must be a multiple of 0.1 and a number between 0.1 and 1. Setting dPercSurfMap=1"},
        {"DPERCSURFMAP=1.1", "WARNING: Invalid dPercSurfMap option in ZELK.ini file: 1.10000000\n"
                             "Must be a multiple of 0.1 and a number between 0.1 and 1. Setting dPercSurfMap=1"},
        {"DPERCSURFMAP=0.3", ""},
        {"DPERCSURFMAP=0.1", ""},
        {"DSURFACEPOW=0.15", "WARNING: Invalid dSurfacePow option in ZELK.ini file: 0.15000000\n"
                             "Must be a multiple of 0.1. Setting dSurfacePow=1."},
        {"DSURFACEPOW=0.5", ""},
        {"ISLEEPMILLI=12.9", "WARNING: Invalid iSleepMilli option in ZELK.ini file: 12\n"
                             "Must be a multiple of 5 and an integer >=0. Setting iSleepMilli=50."},
        {"ISLEEPMILLI=-5", "WARNING: Invalid iSleepMilli option in ZELK.ini file: -5\n"
                           "Must be a multiple of 5 and an integer >=0. Setting iSleepMilli=50."},
        {"ISLEEPMILLI=0", ""},
        {"ISLEEPMILLI=15.7", ""},
        {"ITHREADPRIORITY12345=high", "WARNING: Invalid iThreadPriority12345 option in ZELK.ini file: 0\n"
                                      "Must be an integer between 1 and 5. Setting iThreadPriority12345=3."},
        {"ITHREADPRIORITY12345=6", "WARNING: Invalid iThreadPriority12345 option in ZELK.ini file: 6\n"
                                   "Must be an integer between 1 and 5. Setting iThreadPriority12345=3."},
        {"ITHREADPRIORITY12345=5", ""},
        // A criterion of 0 or less would never end a run; a multiplier divides a range.
        {"DCONVCRIT=0", "WARNING: Invalid dConvCrit option in ZELK.ini file: 0.00000000\n"
                        "Must be a number >0. Setting dConvCrit=0.000001."},
        {"DCONVCRIT=-1", "WARNING: Invalid dConvCrit option in ZELK.ini file: -1.00000000\n"
                         "Must be a number >0. Setting dConvCrit=0.000001."},
        {"DCONVCRIT=inf", "WARNING: Invalid dConvCrit option in ZELK.ini file: inf\n"
                          "Must be a number >0. Setting dConvCrit=0.000001."},
        {"DCONVCRIT=1e-300", ""},
        {"DEQFACTMULTC=0", "WARNING: Invalid dEqFactMultC option in ZELK.ini file: 0.00000000\n"
                           "Must be a number >0. Setting dEqFactMultC=1."},
        {"DEQFACTMULTO=-2", "WARNING: Invalid dEqFactMultO option in ZELK.ini file: -2.00000000\n"
                            "Must be a number >0. Setting dEqFactMultO=1."},
        {"DEQFACTMULTN=nan", "WARNING: Invalid dEqFactMultN option in ZELK.ini file: nan\n"
                             "Must be a number >0. Setting dEqFactMultN=1."},
        {"DEQFACTMULTN=0.000001", ""},
        {"IMAXITER=3000000000", ""},
        {"IRANDSEED=42", ""},
    };
    for (const Case& c : cases) {
        Ini ini(c.line + "\n");
        if (c.warning.empty()) {
            EXPECT_TRUE(ini.pf.boxes.empty()) << c.line << ": " << ini.pf.LastBox();
        } else {
            ASSERT_EQ(ini.pf.boxes.size(), 1u) << c.line;
            EXPECT_EQ(ini.pf.LastBox(), c.warning);
            EXPECT_EQ(ini.pf.boxes[0].icon, MsgIcon::Stop);
        }
    }
    // The values stored after each kind of outcome.
    EXPECT_EQ(Ini("IMAXITER=-5").opt().iMaxIter, 100);
    EXPECT_EQ(Ini("D3DSCALE=125").opt().d3dscale, 500);
    EXPECT_EQ(Ini("D3DSCALE=-30").opt().d3dscale, -30);
    EXPECT_EQ(Ini("BHIGHRES=2").opt().bHighRes, 1);
    EXPECT_EQ(Ini("BHIGHRES=TRUE").opt().bHighRes, 0);
    EXPECT_EQ(Ini("DPERCSURFMAP=0.25").opt().dPercSurfMap, 1);
    EXPECT_EQ(Ini("DPERCSURFMAP=0.3").opt().dPercSurfMap, 0.3);
    EXPECT_EQ(Ini("DSURFACEPOW=0.15").opt().dSurfacePow, 1);
    EXPECT_EQ(Ini("ISLEEPMILLI=12.9").opt().iSleepMilli, 50);
    EXPECT_EQ(Ini("ISLEEPMILLI=15.7").opt().iSleepMilli, 15);
    EXPECT_EQ(Ini("ISLEEPMILLI=0").opt().iSleepMilli, 0);
    EXPECT_EQ(Ini("ITHREADPRIORITY12345=high").opt().iThreadPriority12345, 3);
    EXPECT_EQ(Ini("DCONVCRIT=-1").opt().dConvCrit, 0.000001);
    EXPECT_EQ(Ini("DEQFACTMULTO=-2").opt().dEqFactMult[kTypeO], 1);
    EXPECT_EQ(Ini("DEQFACTMULTO=-2").opt().dOrgEqFactMult[kTypeO], 1);
    EXPECT_EQ(Ini("IMAXITER=3000000000").opt().iMaxIter, INT_MAX);  // not wrapped to a negative
    EXPECT_EQ(Ini("IRANDSEED=42").opt().iRandSeed, 42);
    // Reading goes on after a warning.
    Ini ini("D3DSCALE=125\nIMAXITER=4\n");
    EXPECT_EQ(ini.pf.boxes.size(), 1u);
    EXPECT_EQ(ini.opt().iMaxIter, 4);
}

TEST(Options, EveryKeyReachesItsField) {
    Ini ini("IMAXITER=7\nD3DSCALE=650\nBCALIB=1\nASINITW=2 1\nBDESOETESURFACE=1\nBAUTOMINIMIZE=1\n"
            "IORIGINX=300.9\nIORIGINY=-40\nDMINVALIDW=0.25\nDCONVCRIT=0.001\nINUMRANDRESTART=1\n"
            "DMAXRANDRESTARTDIST=0.75\nDEQFACTMULTC=2\nDEQFACTMULTO=3\nDEQFACTMULTN=4\n"
            "BALWAYSUPDATEALL=1\nBHIGHRES=0\nDPERCSURFMAP=0.5\nDMULTAXES=1.5\nDSURFACEPOW=-0.5\n"
            "ISDSTEPSTONR=2.9\nISLEEPMILLI=10\nITHREADPRIORITY12345=2\nDSURFACEBYW2VARS=0.01\n"
            "DSURFACEBYW3VARS=0.03\nDSURFACEBYW4VARS=0.1\nDSURFACEMINW1=0.1\nDSURFACEMINW2=0.2\n"
            "DSURFACEMINW3=0.3\nDSURFACEMAXW1=1.1\nDSURFACEMAXW2=1.2\nDSURFACEMAXW3=1.3\n");
    EXPECT_TRUE(ini.pf.boxes.empty()) << ini.pf.LastBox();
    const Options& o = ini.opt();
    EXPECT_EQ(o.iMaxIter, 7);
    EXPECT_EQ(o.iMaxIterBudget, 14);
    EXPECT_EQ(o.d3dscale, 650);
    EXPECT_EQ(o.bCalib, 1);
    EXPECT_EQ(o.asInitW, StringList({"2", "1"}));
    EXPECT_EQ(o.bDeSoeteSurface, 1);
    EXPECT_EQ(o.bAutoMinimize, 1);
    EXPECT_EQ(o.dOriginX, 300);
    EXPECT_EQ(o.dOriginY, -40);
    EXPECT_EQ(o.dMinValidW, 0.25);
    EXPECT_EQ(o.dConvCrit, 0.001);
    EXPECT_EQ(o.iNumRandRestart, 1);
    EXPECT_EQ(o.dMaxRandRestartDist, 0.75);
    EXPECT_EQ(o.dEqFactMult[kTypeC], 2);
    EXPECT_EQ(o.dEqFactMult[kTypeO], 3);
    EXPECT_EQ(o.dEqFactMult[kTypeN], 4);
    EXPECT_EQ(o.dEqFactMult[kTypeS], 1);
    EXPECT_EQ(o.dEqFactMult[kTypeA], 1);
    EXPECT_EQ(o.bAlwaysUpdateAll, 1);
    EXPECT_EQ(o.bHighRes, 0);
    EXPECT_EQ(o.dPercSurfMap, 0.5);
    EXPECT_EQ(o.dMultAxes, 1.5);
    EXPECT_EQ(o.dSurfacePow, -0.5);
    EXPECT_EQ(o.iSDStepsToNR, 2);
    EXPECT_EQ(o.iSleepMilli, 10);
    EXPECT_EQ(o.iThreadPriority12345, 2);
    EXPECT_EQ(o.dSurfaceByW2Vars, 0.01);
    EXPECT_EQ(o.dSurfaceByW3Vars, 0.03);
    EXPECT_EQ(o.dSurfaceByW4Vars, 0.1);
    EXPECT_EQ(o.dSurfaceMinW[0], 0.1);
    EXPECT_EQ(o.dSurfaceMinW[1], 0.2);
    EXPECT_EQ(o.dSurfaceMinW[2], 0.3);
    EXPECT_EQ(o.dSurfaceMaxW[0], 1.1);
    EXPECT_EQ(o.dSurfaceMaxW[1], 1.2);
    EXPECT_EQ(o.dSurfaceMaxW[2], 1.3);
    for (int t = 0; t < kNumTypes; ++t) {
        EXPECT_EQ(o.dOrgEqFactMult[t], o.dEqFactMult[t]);
        EXPECT_EQ(o.dLastEqFactMult[t], o.dEqFactMult[t]);
    }
}

TEST(Options, InitialWeightTokens) {
    EXPECT_EQ(Ini("ASINITW=0.5  1.5 1\n").opt().asInitW, StringList({"0.5", "1.5", "1"}));
    EXPECT_EQ(Ini("asinitw= a B \n").opt().asInitW, StringList({"a", "B"}));  // value as written
    EXPECT_EQ(Ini("ASINITW=1 2 3\nASINITW=4\n").opt().asInitW, StringList({"4"}));
    EXPECT_TRUE(Ini("ASINITW=\n").opt().asInitW.empty());
}

TEST(Options, AutomaticGridSteps) {
    EXPECT_EQ(Ini("DSURFACEBYW2VARS=0\nDSURFACEMINW1=0.5\nDSURFACEMAXW1=1.5\n").opt().dSurfaceByW2Vars, 0.002);
    EXPECT_EQ(Ini("DSURFACEBYW2VARS=0\nDSURFACEMINW1=0.5\nDSURFACEMAXW1=0.5\n").opt().dSurfaceByW2Vars, 0);
    {
        // Step 3 sees the step of two variables: the smaller of 0.002 x r2 and it.
        Ini ini("DSURFACEBYW3VARS=0\nDSURFACEMINW1=0\nDSURFACEMAXW1=1\nDSURFACEMINW2=0\nDSURFACEMAXW2=2\n");
        EXPECT_EQ(ini.opt().dSurfaceByW3Vars, 0.001);
    }
    {
        Ini ini("DSURFACEBYW2VARS=0\nDSURFACEBYW3VARS=0\nDSURFACEMAXW1=2\nDSURFACEMAXW2=0.25\n");
        EXPECT_EQ(ini.opt().dSurfaceByW2Vars, 0.004);
        EXPECT_EQ(ini.opt().dSurfaceByW3Vars, 0.0005);
    }
    // r2 not positive: 0.
    EXPECT_EQ(Ini("DSURFACEBYW3VARS=0\nDSURFACEMAXW1=1\n").opt().dSurfaceByW3Vars, 0);
    {
        // Four variables: r3 only takes part in the test.
        Ini ini("DSURFACEBYW4VARS=0\nDSURFACEMAXW1=1\nDSURFACEMAXW2=0.2\nDSURFACEMAXW3=3\n");
        EXPECT_EQ(ini.opt().dSurfaceByW4Vars, 0.002 * 0.2);
        EXPECT_EQ(Ini("DSURFACEBYW4VARS=0\nDSURFACEMAXW1=1\nDSURFACEMAXW2=0.2\n").opt().dSurfaceByW4Vars, 0);
    }
}

TEST(Options, SmallestValidWeight) {
    EXPECT_EQ(Ini("DMINVALIDW=0\n").opt().dMinValidW, 0.000001);
    EXPECT_EQ(Ini("DMINVALIDW=-1\n").opt().dMinValidW, 0.000001);
    EXPECT_EQ(Ini("DMINVALIDW=0.01\n").opt().dMinValidW, 0.01);
    EXPECT_EQ(Ini("DMINVALIDW=0\nBDESOETESURFACE=1\n").opt().dMinValidW, 0);
}

}  // namespace
}  // namespace zelk
