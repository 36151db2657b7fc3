// Helpers for the Newton-Raphson tests: temporary directories, small data sets put
// straight into a document (without the loader), and a bounded step loop.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/Document.h"
#include "base/Format.h"
#include "base/Text.h"
#include "support/FakePlatform.h"
#include "support/TempFiles.h"

namespace zelk {
namespace nrttest {

inline std::string MakeTempDir() { return testfs::MakeTempDir("zelk_nrt"); }
inline std::string ReadAll(const std::string& path) { return testfs::ReadText(path); }
inline void WriteAll(const std::string& path, const std::string& text) { testfs::WriteText(path, text); }

inline bool Exists(const std::string& path) {
    std::ifstream in(path);
    return in.good();
}

struct Column {
    std::string name;  // first letter: type C, O, N, A
    std::vector<double> values;
};

// Puts a data set into the document as the loader and the preparation would: variables
// in type order C, O, N, S, A, ranges times the multipliers, every record weight 1.
inline void FillData(CZELKDoc& doc, const std::string& path, const std::vector<Column>& cols) {
    DataSet d;
    d.sDataPath = path;
    const std::string letters = "CONSA";
    int n = cols.empty() ? 0 : static_cast<int>(cols[0].values.size());
    for (const auto& c : cols) {
        d.asVarname.push_back(c.name);
        d.asVartype.push_back(c.name.substr(0, 1));
    }
    Prepared prep;
    for (int t = 0; t < 5; ++t) {
        std::vector<const Column*> of;
        for (const auto& c : cols)
            if (c.name[0] == letters[t]) of.push_back(&c);
        const int count = static_cast<int>(of.size());
        Matrix m(n, count, 0.0);
        StringList names;
        for (int k = 0; k < count; ++k) {
            names.push_back(of[k]->name);
            double lo = of[k]->values[0], hi = lo;
            for (int r = 0; r < n; ++r) {
                m.Set(r, k, of[k]->values[r]);
                lo = std::min(lo, of[k]->values[r]);
                hi = std::max(hi, of[k]->values[r]);
            }
            prep.Range(t).push_back((hi - lo) * doc.opt.dEqFactMult[t]);
        }
        switch (t) {
            case 0: d.iNumC = count; d.mDataC = m; d.asVarnameC = names; break;
            case 1: d.iNumO = count; d.mDataO = m; d.asVarnameO = names; break;
            case 2: d.iNumN = count; d.mDataN = m; d.asVarnameN = names; break;
            case 3: d.iNumS = count; d.mDataS = m; d.asVarnameS = names; break;
            case 4: d.iNumA = count; d.mDataA = m; d.asVarnameA = names; break;
        }
    }
    d.iNumVar = d.iNumC + d.iNumO + d.iNumN + d.iNumS + d.iNumA;
    d.iNumVarAll = d.iNumVar;
    d.iNumRec = n;
    d.asWeightVar = {"_ONE_"};
    d.mWeight = Matrix(n, 1, 1.0);
    d.aiDropRec.assign(static_cast<size_t>(n), 0);
    prep.dNumTriples = n * ((n - 1.0) * (n - 2.0)) * 0.16666666666666666;
    prep.dNumN = d.iNumN;
    prep.dNumS = d.iNumS;
    prep.dNumA = d.iNumA;
    prep.dNumVar = d.iNumVar;
    prep.dPenaltyPow = 2.0 / 3.0;
    doc.data = d;
    doc.prep = prep;
    doc.bNoData = 0;
    if (doc.opt.asInitW.empty()) doc.opt.asInitW = {"1"};
}

// Six records, a C, an O and an A variable: converges in a few iterations.
inline std::vector<Column> TinyColumns() {
    return {{"C_X", {1.0, 2.5, 3.0, 7.0, 8.5, 4.0}},
            {"O_Y", {1, 3, 2, 2, 3, 1}},
            {"A_Z", {0, 1, 1, 0, 1, 0}}};
}

// The same data as a data file for the loader.
inline std::string TinyDataFile() {
    return "C_X\tO_Y\tA_Z\n1\t1\t0\n2.5\t3\t1\n3\t2\t1\n7\t2\t0\n8.5\t3\t1\n4\t1\t0\n";
}

// Steps the Newton-Raphson run until it ends (bounded).
inline int StepToEnd(CZELKDoc& doc, int maxSteps = 200000) {
    int steps = 0;
    while (doc.runs.rsNRT.bRunning && steps < maxSteps) {
        doc.OnStepMessage(RunMessage::NrtStep);
        ++steps;
    }
    EXPECT_LT(steps, maxSteps) << "the run did not end";
    return steps;
}

// A document with manual stepping, ready for a run on the tiny data in dir.
inline void PrepareTiny(CZELKDoc& doc, const std::string& dir) {
    doc.bManualStepping = 1;
    FillData(doc, dir + "/tiny.dat", TinyColumns());
}

}  // namespace nrttest
}  // namespace zelk
