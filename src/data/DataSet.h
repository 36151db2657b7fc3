// The loaded data set.
#pragma once

#include <string>
#include <vector>

#include "base/Lists.h"
#include "base/Matrix.h"

namespace zelk {

struct DataSet {
    std::string sDataPath;
    int iNumVarAll = 0;
    int iNumC = 0, iNumO = 0, iNumN = 0, iNumS = 0, iNumA = 0, iNumW = 0;
    int iNumVar = 0;
    int iNumRec = 0;
    StringList asVarname;  // all names in file order, upper-cased
    StringList asVartype;  // type letter of each name
    StringList asVarnameC, asVarnameO, asVarnameN, asVarnameS, asVarnameA;
    StringList asWeightVar;  // one element: the weight variable or "_ONE_"
    Matrix mDataC, mDataO, mDataN, mDataS, mDataA;
    Matrix mWeight;  // n x 1
    std::vector<int> aiDropRec;

    // Per-type access in the order C, O, N, S, A.
    int Count(int type) const {
        const int c[] = {iNumC, iNumO, iNumN, iNumS, iNumA};
        return c[type];
    }
    const Matrix& Data(int type) const { return const_cast<DataSet*>(this)->Data(type); }
    Matrix& Data(int type) {
        Matrix* m[] = {&mDataC, &mDataO, &mDataN, &mDataS, &mDataA};
        return *m[type];
    }
    const StringList& Names(int type) const { return const_cast<DataSet*>(this)->Names(type); }
    StringList& Names(int type) {
        StringList* m[] = {&asVarnameC, &asVarnameO, &asVarnameN, &asVarnameS, &asVarnameA};
        return *m[type];
    }
    // The p analysis variable names in variable order C, O, N, S, A.
    StringList AnalysisNames() const {
        StringList out;
        for (int t = 0; t < 5; ++t)
            for (const auto& s : Names(t)) out.push_back(s);
        return out;
    }
};

}  // namespace zelk
