#include "data/ProblemOf.h"

namespace zelk {

Problem MakeProblem(const DataSet& data, const Prepared& prep, bool useSampleWeights) {
    Problem pb;
    pb.n = data.iNumRec;
    pb.p = data.iNumVar;
    int next = 0;
    for (int t = 0; t < 5; ++t) {
        pb.count[t] = data.Count(t);
        pb.first[t] = pb.count[t] > 0 ? next : 0;
        pb.data[t] = &data.Data(t);
        next += pb.count[t];
    }
    pb.e = prep.Scales();
    pb.s.assign(pb.n, 1.0);
    if (useSampleWeights && data.mWeight.Size() >= pb.n)
        for (int i = 0; i < pb.n; ++i) pb.s[i] = data.mWeight.Data()[i];
    pb.nN = prep.dNumN;
    pb.nS = prep.dNumS;
    pb.nA = prep.dNumA;
    pb.penaltyPow = prep.dPenaltyPow;
    return pb;
}

}  // namespace zelk
