// The ZELK.ini reader: defaults, one KEY=value line at a time with the validated keys'
// warnings, then the values derived from the others.
#include <climits>
#include <cmath>

#include "app/Document.h"
#include "base/Format.h"
#include "base/Text.h"
#include "platform/TextFile.h"

namespace zelk {

namespace {

// The joined path of the options file is kept within 500 bytes, the most that is read
// of the current directory.
constexpr size_t kMaxDirectoryBytes = 500;

// Tolerance of the "multiple of" checks.
constexpr double kMultipleTol = 0.00000000001;

// Keys in matching order; the index is the key's identity below.
enum Key {
    kIMaxIter,
    kD3dScale,
    kBCalib,
    kAsInitW,
    kBDeSoeteSurface,
    kBAutoMinimize,
    kIOriginX,
    kIOriginY,
    kDMinValidW,
    kDConvCrit,
    kINumRandRestart,
    kDMaxRandRestartDist,
    kDEqFactMultC,
    kDEqFactMultO,
    kDEqFactMultN,
    kBAlwaysUpdateAll,
    kBHighRes,
    kDPercSurfMap,
    kDMultAxes,
    kDSurfacePow,
    kISDStepsToNR,
    kISleepMilli,
    kIThreadPriority,
    kDSurfaceByW2Vars,
    kDSurfaceByW3Vars,
    kDSurfaceByW4Vars,
    kDSurfaceMinW1,
    kDSurfaceMinW2,
    kDSurfaceMinW3,
    kDSurfaceMaxW1,
    kDSurfaceMaxW2,
    kDSurfaceMaxW3,
    kIRandSeed,
    kNumKeys
};

const char* const kKeyText[kNumKeys] = {
    "IMAXITER=",         "D3DSCALE=",         "BCALIB=",           "ASINITW=",
    "BDESOETESURFACE=",  "BAUTOMINIMIZE=",    "IORIGINX=",         "IORIGINY=",
    "DMINVALIDW=",       "DCONVCRIT=",        "INUMRANDRESTART=",  "DMAXRANDRESTARTDIST=",
    "DEQFACTMULTC=",     "DEQFACTMULTO=",     "DEQFACTMULTN=",     "BALWAYSUPDATEALL=",
    "BHIGHRES=",         "DPERCSURFMAP=",     "DMULTAXES=",        "DSURFACEPOW=",
    "ISDSTEPSTONR=",     "ISLEEPMILLI=",      "ITHREADPRIORITY12345=",
    "DSURFACEBYW2VARS=", "DSURFACEBYW3VARS=", "DSURFACEBYW4VARS=",
    "DSURFACEMINW1=",    "DSURFACEMINW2=",    "DSURFACEMINW3=",
    "DSURFACEMAXW1=",    "DSURFACEMAXW2=",    "DSURFACEMAXW3=",    "IRANDSEED="};

// "Real, truncated to integer": atof, then the fraction dropped toward zero. A value
// outside the integer range is held at the nearest end; a value that is not a number
// counts as no number.
int TruncatedInt(const std::string& text) {
    const double v = CAtof(text);
    if (std::isnan(v)) return 0;
    if (v >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (v <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(v);
}

// fmod(value, m) above the tolerance. A value that is not finite is never a multiple.
bool NotMultipleOf(double value, double m) {
    if (!std::isfinite(value)) return true;
    return std::fmod(value, m) > kMultipleTol;
}

// Multiple of 0.1: the product 10 x value is rounded to a double first.
bool NotMultipleOfTenth(double value) {
    if (!std::isfinite(value)) return true;
    volatile double tenfold = 10.0 * value;
    return std::fmod(tenfold, 1.0) > kMultipleTol;
}

}  // namespace

void CZELKDoc::ReadOptionsFile() {
    // A multiplier divides a variable's range: it must be a positive number.
    auto ReadMultiplier = [this](const std::string& value, char type, double& field) {
        field = CAtof(value);
        if (field > 0 && std::isfinite(field)) return;
        Message(Format("WARNING: Invalid dEqFactMult%c option in ZELK.ini file: %.8f\n"
                       "Must be a number >0. Setting dEqFactMult%c=1.",
                       type, field, type));
        field = 1;
    };
    std::string dir = platform.CurrentDirectory();
    if (dir.size() > kMaxDirectoryBytes) dir.resize(kMaxDirectoryBytes);
    const std::string path = dir + "/ZELK.ini";
    opt.sOptionsPath = path;

    // A pipe or a device under that name would block or never end: the reader opens only
    // a regular file.
    // The grid options must be finite numbers (an infinite bound or step leaves no grid to
    // scan): anything else keeps the default.
    auto gridOption = [this](double& field, const std::string& value, const char* name, double def) {
        const double v = CAtof(value);
        if (std::isfinite(v)) {
            field = v;
            return;
        }
        Message(Format("WARNING: Invalid %s option in ZELK.ini file: %.8f\n"
                       "Must be a finite number. Setting %s=%g.",
                       name, v, name, def));
        field = def;
    };

    TextReader in;
    if (!in.Open(path)) {
        Message("WARNING: Could not read from " + path + ". Default options will be used.");
    } else {
        std::string line;
        while (in.ReadLine(line)) {
            if (line.size() < 11) line.append(11 - line.size(), ' ');
            const std::string upper = UpperCase(line);
            int key = -1;
            for (int k = 0; k < kNumKeys; ++k) {
                if (upper.compare(0, std::char_traits<char>::length(kKeyText[k]), kKeyText[k]) == 0) {
                    key = k;
                    break;
                }
            }
            if (key < 0) {
                Message("WARNING: Unknown option in ZELK.ini: " + line);
                continue;
            }
            const std::string value = line.substr(std::char_traits<char>::length(kKeyText[key]));
            switch (key) {
                case kIMaxIter:
                    opt.iMaxIter = CAtoi(value);
                    if (opt.iMaxIter < 0) {
                        Message(Format("WARNING: Invalid iMaxIter option in ZELK.ini file: %.8f\n"
                                       "Must be an integer>=0. Setting iMaxIter=100.",
                                       static_cast<double>(opt.iMaxIter)));
                        opt.iMaxIter = 100;
                    }
                    break;
                case kD3dScale:
                    opt.d3dscale = CAtof(value);
                    if (NotMultipleOf(opt.d3dscale, 50)) {
                        Message(Format("WARNING: Invalid d3dscale option in ZELK.ini file: %.8f\n"
                                       "Must be a multiple of 50. Setting d3dscale=500.",
                                       opt.d3dscale));
                        opt.d3dscale = 500;
                    }
                    break;
                case kBCalib: opt.bCalib = CAtoi(value); break;
                case kAsInitW: opt.asInitW = SplitTokens(value, ' '); break;
                case kBDeSoeteSurface: opt.bDeSoeteSurface = CAtoi(value); break;
                case kBAutoMinimize: opt.bAutoMinimize = CAtoi(value); break;
                case kIOriginX: opt.dOriginX = CAtoi(value); break;
                case kIOriginY: opt.dOriginY = CAtoi(value); break;
                case kDMinValidW: opt.dMinValidW = CAtof(value); break;
                case kDConvCrit:
                    // 0 or less would never end a run: the weights never move by less.
                    opt.dConvCrit = CAtof(value);
                    if (!(opt.dConvCrit > 0) || !std::isfinite(opt.dConvCrit)) {
                        Message(Format("WARNING: Invalid dConvCrit option in ZELK.ini file: %.8f\n"
                                       "Must be a number >0. Setting dConvCrit=0.000001.",
                                       opt.dConvCrit));
                        opt.dConvCrit = 0.000001;
                    }
                    break;
                case kINumRandRestart: opt.iNumRandRestart = CAtoi(value); break;
                case kDMaxRandRestartDist: opt.dMaxRandRestartDist = CAtof(value); break;
                case kDEqFactMultC: ReadMultiplier(value, 'C', opt.dEqFactMult[kTypeC]); break;
                case kDEqFactMultO: ReadMultiplier(value, 'O', opt.dEqFactMult[kTypeO]); break;
                case kDEqFactMultN: ReadMultiplier(value, 'N', opt.dEqFactMult[kTypeN]); break;
                case kBAlwaysUpdateAll: opt.bAlwaysUpdateAll = CAtoi(value); break;
                case kBHighRes:
                    opt.bHighRes = CAtoi(value);
                    if (opt.bHighRes != 0 && opt.bHighRes != 1) {
                        Message(Format("WARNING: Invalid bHighRes option in ZELK.ini file: %.8f\n"
                                       "Must be 0 or 1. Setting bHighRes=TRUE.",
                                       static_cast<double>(opt.bHighRes)));
                        opt.bHighRes = 1;
                    }
                    break;
                case kDPercSurfMap:
                    opt.dPercSurfMap = CAtof(value);
                    if (!(opt.dPercSurfMap >= 0.1 && opt.dPercSurfMap <= 1) ||
                        NotMultipleOfTenth(opt.dPercSurfMap)) {
                        Message(Format("WARNING: Invalid dPercSurfMap option in ZELK.ini file: %.8f\n"
                                       "Must be a multiple of 0.1 and a number between 0.1 and 1. "
                                       "Setting dPercSurfMap=1",
                                       opt.dPercSurfMap));
                        opt.dPercSurfMap = 1;
                    }
                    break;
                case kDMultAxes: opt.dMultAxes = CAtof(value); break;
                case kDSurfacePow:
                    opt.dSurfacePow = CAtof(value);
                    if (NotMultipleOfTenth(opt.dSurfacePow)) {
                        Message(Format("WARNING: Invalid dSurfacePow option in ZELK.ini file: %.8f\n"
                                       "Must be a multiple of 0.1. Setting dSurfacePow=1.",
                                       opt.dSurfacePow));
                        opt.dSurfacePow = 1;
                    }
                    break;
                case kISDStepsToNR: opt.iSDStepsToNR = TruncatedInt(value); break;
                case kISleepMilli:
                    opt.iSleepMilli = TruncatedInt(value);
                    if (opt.iSleepMilli < 0 || NotMultipleOf(opt.iSleepMilli, 5)) {
                        Message(Format("WARNING: Invalid iSleepMilli option in ZELK.ini file: %d\n"
                                       "Must be a multiple of 5 and an integer >=0. Setting iSleepMilli=50.",
                                       opt.iSleepMilli));
                        opt.iSleepMilli = 50;
                    }
                    break;
                case kIThreadPriority:
                    opt.iThreadPriority12345 = CAtoi(value);
                    if (opt.iThreadPriority12345 < 1 || opt.iThreadPriority12345 > 5) {
                        Message(Format("WARNING: Invalid iThreadPriority12345 option in ZELK.ini file: %d\n"
                                       "Must be an integer between 1 and 5. Setting iThreadPriority12345=3.",
                                       opt.iThreadPriority12345));
                        opt.iThreadPriority12345 = 3;
                    }
                    break;
                case kDSurfaceByW2Vars: gridOption(opt.dSurfaceByW2Vars, value, "dSurfaceByW2Vars", 0.001); break;
                case kDSurfaceByW3Vars: gridOption(opt.dSurfaceByW3Vars, value, "dSurfaceByW3Vars", 0.02); break;
                case kDSurfaceByW4Vars: gridOption(opt.dSurfaceByW4Vars, value, "dSurfaceByW4Vars", 0.05); break;
                case kDSurfaceMinW1: gridOption(opt.dSurfaceMinW[0], value, "dSurfaceMinW1", 0); break;
                case kDSurfaceMinW2: gridOption(opt.dSurfaceMinW[1], value, "dSurfaceMinW2", 0); break;
                case kDSurfaceMinW3: gridOption(opt.dSurfaceMinW[2], value, "dSurfaceMinW3", 0); break;
                case kDSurfaceMaxW1: gridOption(opt.dSurfaceMaxW[0], value, "dSurfaceMaxW1", 0); break;
                case kDSurfaceMaxW2: gridOption(opt.dSurfaceMaxW[1], value, "dSurfaceMaxW2", 0); break;
                case kDSurfaceMaxW3: gridOption(opt.dSurfaceMaxW[2], value, "dSurfaceMaxW3", 0); break;
                case kIRandSeed: opt.iRandSeed = CAtoi(value); break;
                default: break;
            }
        }
        in.Close();
    }

    // Derived values, in this order.
    if (opt.iNumRandRestart < 0) opt.iNumRandRestart = 0;
    // The budget covers every restart; held at the integer range instead of overflowing.
    const long long budget = (static_cast<long long>(opt.iNumRandRestart) + 1) * opt.iMaxIter;
    opt.iMaxIterBudget = budget > INT_MAX ? INT_MAX : static_cast<int>(budget);

    const double r1 = opt.dSurfaceMaxW[0] - opt.dSurfaceMinW[0];
    const double r2 = opt.dSurfaceMaxW[1] - opt.dSurfaceMinW[1];
    const double r3 = opt.dSurfaceMaxW[2] - opt.dSurfaceMinW[2];
    if (opt.dSurfaceByW2Vars == 0) opt.dSurfaceByW2Vars = r1 > 0 ? 0.002 * r1 : 0;
    if (opt.dSurfaceByW3Vars == 0) {
        opt.dSurfaceByW3Vars = 0;
        if (r1 > 0 && r2 > 0)
            opt.dSurfaceByW3Vars = 0.002 * r2 <= opt.dSurfaceByW2Vars ? 0.002 * r2 : opt.dSurfaceByW2Vars;
    }
    if (opt.dSurfaceByW4Vars == 0) {
        opt.dSurfaceByW4Vars = 0;
        if (r1 > 0 && r2 > 0 && r3 > 0)
            opt.dSurfaceByW4Vars = 0.002 * r2 <= opt.dSurfaceByW2Vars ? 0.002 * r2 : opt.dSurfaceByW2Vars;
    }
    if (opt.bDeSoeteSurface == 0 && !(opt.dMinValidW > 0.000001)) opt.dMinValidW = 0.000001;
    for (int t = 0; t < kNumTypes; ++t) {
        opt.dOrgEqFactMult[t] = opt.dEqFactMult[t];
        opt.dLastEqFactMult[t] = opt.dEqFactMult[t];
    }
}

}  // namespace zelk
