// The data view of the loss (Problem), the parameters v and the type-layout checks.
#include <cmath>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"

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

namespace detail {

void CheckLayout(const Problem& pb, bool derivatives, EngineError& err) {
    static const char kLetter[5] = {'c', 'o', 'n', 's', 'a'};
    const int p = pb.p;
    for (int t = 0; t < 5; ++t)
        if (pb.count[t] > 0 && pb.first[t] + pb.count[t] > p) {
            err.Fail(Format("Fatal error #2007.08.28.1%c", kLetter[t]));
            return;
        }
    // The C block starts at the first variable and ends at the last C variable. (A single
    // variable of any type is a layout the loader accepts: it has no free parameter, and
    // the passes give an empty gradient for it.)
    if (pb.count[0] > 0 && pb.first[0] != 0) {
        err.Fail(derivatives ? "Fatal error #2007.10.2.2" : "Fatal error #2007.10.2.1");
        return;
    }
    for (int t = 1; t < 5; ++t) {
        if (pb.count[t] == 0) continue;
        const int last = pb.first[t] + pb.count[t] - 1;
        bool laterType = false;
        for (int u = t + 1; u < 5; ++u) laterType = laterType || pb.count[u] > 0;
        if (last > p - 1 || (last == p - 1 && laterType)) {
            err.Fail(Format("Fatal error #2007.08.25.2%c", kLetter[t]));
            return;
        }
    }
}

}  // namespace detail

void CheckProblemLayout(const Problem& pb, EngineError& err) { detail::CheckLayout(pb, false, err); }

Params ParamsFromWeights(const RealList& w) {
    Params prm;
    prm.p = static_cast<int>(w.size());
    prm.v.assign(prm.p, 1.0);
    prm.V = 0;
    if (prm.p == 0) return prm;
    const double wp = w[prm.p - 1];
    for (int k = 0; k < prm.p; ++k) {
        prm.v[k] = k == prm.p - 1 ? 1.0 : std::sqrt(w[k] / wp);
        prm.V += prm.v[k] * prm.v[k];
    }
    return prm;
}

RealList WeightsFromParams(const Params& prm) {
    RealList w(prm.p, 0.0);
    for (int k = 0; k < prm.p; ++k) w[k] = prm.p * prm.v[k] * prm.v[k] / prm.V;
    return w;
}

}  // namespace zelk
