// Deterministic mutations of a full options file: the reader never fails, only warns,
// and the validated values always end up valid.
#include <cmath>
#include <cstdint>
#include <memory>

#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

const char* const kFullIni =
    "IMAXITER=100\nD3DSCALE=850\nBCALIB=0\nASINITW=1\nBDESOETESURFACE=0\nBAUTOMINIMIZE=0\n"
    "IORIGINX=1150\nIORIGINY=-125\nDMINVALIDW=0.000001\nDCONVCRIT=0.000001\nINUMRANDRESTART=0\n"
    "DMAXRANDRESTARTDIST=0.5\nDEQFACTMULTC=1\nDEQFACTMULTO=1\nDEQFACTMULTN=1\nBALWAYSUPDATEALL=0\n"
    "BHIGHRES=1\nDPERCSURFMAP=1\nDMULTAXES=1\nDSURFACEPOW=-1\nISDSTEPSTONR=0\nISLEEPMILLI=25\n"
    "ITHREADPRIORITY12345=3\nDSURFACEBYW2VARS=0.001\nDSURFACEBYW3VARS=0.02\nDSURFACEBYW4VARS=0.05\n"
    "DSURFACEMINW1=0\nDSURFACEMINW2=0\nDSURFACEMINW3=0\nDSURFACEMAXW1=0\nDSURFACEMAXW2=0\nDSURFACEMAXW3=0\n";

struct Lcg {
    std::uint64_t s;
    explicit Lcg(std::uint64_t seed) : s(seed * 2862933555777941757ULL + 3037000493ULL) {}
    std::uint32_t Next() {
        s = s * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<std::uint32_t>(s >> 33);
    }
    size_t Below(size_t n) { return n == 0 ? 0 : Next() % n; }
};

std::string Mutate(std::string text, Lcg& g) {
    static const char* const kValues[] = {"-1",  "0",    "1e400", "-1e400", "nan",        "inf", "12.9",
                                          "0.15", "high", "",      "2147483648", "-2147483649", "5", "0.05"};
    const int count = 1 + static_cast<int>(g.Below(4));
    for (int m = 0; m < count; ++m) {
        const size_t pos = g.Below(text.size() + 1);
        switch (g.Below(8)) {
            case 0:
                if (!text.empty()) text[g.Below(text.size())] = static_cast<char>(g.Below(256));
                break;
            case 1: text.resize(pos); break;
            case 2: text.insert(pos, 1, "\t \0\r\n="[g.Below(6)]); break;
            case 3: text.insert(pos, std::string(1 + g.Below(20000), 'X')); break;
            case 4: text = text.substr(pos) + text.substr(0, pos); break;
            default: {  // a value replaced
                const size_t eq = text.find('=', pos);
                if (eq != std::string::npos) {
                    size_t end = text.find('\n', eq);
                    if (end == std::string::npos) end = text.size();
                    text.replace(eq + 1, end - eq - 1, kValues[g.Below(14)]);
                }
                break;
            }
        }
    }
    return text;
}

TEST(OptionsFuzz, MutatedOptionFilesOnlyWarn) {
    const std::string dir = loadtest::MakeTempDir();
    size_t warnings = 0;
    int loads = 0;
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        Lcg g(seed);
        loadtest::WriteFile(dir + "/ZELK.ini", Mutate(kFullIni, g));
        FakePlatform pf;
        pf.currentDirectory = dir;
        CZELKDoc doc(pf, true);
        warnings += pf.boxes.size();
        for (const auto& b : pf.boxes) {
            EXPECT_EQ(b.text.compare(0, 9, "WARNING: "), 0) << seed << ": " << b.text.substr(0, 200);
            EXPECT_EQ(b.icon, MsgIcon::Stop);
        }
        const Options& o = doc.opt;
        EXPECT_GE(o.iMaxIter, 0) << seed;
        EXPECT_GE(o.iNumRandRestart, 0) << seed;
        EXPECT_TRUE(o.bHighRes == 0 || o.bHighRes == 1) << seed;
        EXPECT_TRUE(o.iThreadPriority12345 >= 1 && o.iThreadPriority12345 <= 5) << seed;
        EXPECT_TRUE(o.iSleepMilli >= 0 && o.iSleepMilli % 5 == 0) << seed;
        EXPECT_TRUE(o.dPercSurfMap >= 0.1 && o.dPercSurfMap <= 1) << seed;
        EXPECT_TRUE(std::isfinite(o.d3dscale) && std::isfinite(o.dSurfacePow)) << seed;
        if (o.bDeSoeteSurface == 0) {
            EXPECT_GE(o.dMinValidW, 0.000001) << seed;
        }
        // The options then carry a load of the example data set.
        doc.opt.asInitW = {"1"};
        pf.boxes.clear();
        doc.bManualStepping = 1;
        const bool ok = doc.OnOpenDocument(std::string(ZELK_SOURCE_DIR "/examples") + "/flower2.dat");
        if (!ok) {
            EXPECT_TRUE(doc.bNoData == 1 && doc.data.iNumRec == 0) << seed;
        }
        loads += ok;
    }
    // The mutations draw warnings, and most option sets still carry a load.
    EXPECT_GT(warnings, 300u);
    EXPECT_GT(loads, 200);
}

}  // namespace
}  // namespace zelk
