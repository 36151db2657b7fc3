// Every ZELK.ini option with its default, and the values derived from them.
#pragma once

#include <string>

#include "base/Lists.h"
#include "base/VarType.h"

namespace zelk {

struct Options {
    int iMaxIter = 100;  // as read: iterations per descent
    double d3dscale = 850;
    int bCalib = 0;
    StringList asInitW;
    int bDeSoeteSurface = 0;
    int bAutoMinimize = 0;  // also the window-maximised-once flag
    // IORIGINX, IORIGINY: read as integers, kept as reals (the map moves them by steps
    // and fits them).
    double dOriginX = 1150;
    double dOriginY = -125;
    double dMinValidW = 0.000001;
    double dConvCrit = 0.000001;
    int iNumRandRestart = 0;
    double dMaxRandRestartDist = 0.5;
    double dEqFactMult[kNumTypes] = {1, 1, 1, 1, 1};
    int bAlwaysUpdateAll = 0;
    int bHighRes = 1;
    double dPercSurfMap = 1;
    double dMultAxes = 1;
    double dSurfacePow = -1;
    int iSDStepsToNR = 0;
    int iSleepMilli = 25;
    int iThreadPriority12345 = 3;
    double dSurfaceByW2Vars = 0.001;
    double dSurfaceByW3Vars = 0.02;
    double dSurfaceByW4Vars = 0.05;
    double dSurfaceMinW[3] = {0, 0, 0};  // axes 1..3 at [0..2]
    double dSurfaceMaxW[3] = {0, 0, 0};
    int iRandSeed = 0;  // 0: the random restarts draw from a generator seeded with the time

    // Derived and companion values.
    int iMaxIterBudget = 100;  // iterations of a run for all its restarts together
    double dOrgEqFactMult[kNumTypes] = {1, 1, 1, 1, 1};
    double dLastEqFactMult[kNumTypes] = {1, 1, 1, 1, 1};
    double dRangePow[kNumTypes] = {1, 1, 1, 1, 1};

    // Path of the options file that was read (current directory + "/ZELK.ini").
    std::string sOptionsPath;
};

}  // namespace zelk
