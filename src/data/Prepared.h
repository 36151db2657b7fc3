// Quantities prepared from the data before any run.
#pragma once

#include "base/Lists.h"

namespace zelk {

struct Prepared {
    RealList adRangeC, adRangeO, adRangeN, adRangeS, adRangeA;
    double dNumTriples = 0;
    double dNumN = 0, dNumS = 0, dNumA = 0;
    double dNumVar = 0;
    double dPenaltyPow = 2.0 / 3.0;

    const RealList& Range(int type) const {
        const RealList* m[] = {&adRangeC, &adRangeO, &adRangeN, &adRangeS, &adRangeA};
        return *m[type];
    }
    RealList& Range(int type) {
        RealList* m[] = {&adRangeC, &adRangeO, &adRangeN, &adRangeS, &adRangeA};
        return *m[type];
    }
    // The p scales in variable order.
    RealList Scales() const {
        RealList e;
        for (int t = 0; t < 5; ++t)
            for (double r : Range(t)) e.push_back(r);
        return e;
    }
};

}  // namespace zelk
