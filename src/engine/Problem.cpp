// The parameters v, the check of a weight vector and the type-layout checks of a problem.
#include <cmath>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"

namespace zelk {

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

CheckedWeights CheckWeights(const RealList& w) {
    CheckedWeights out;
    const int p = static_cast<int>(w.size());
    if (p == 0) {
        out.fault = WeightFault::SumNotP;
        return out;
    }
    RealList wp(static_cast<size_t>(p));
    double sum = 0;
    for (int k = 0; k < p; ++k) {
        wp[k] = w[k] / p;
        sum += wp[k];
    }
    if (!(std::fabs(sum - 1.0) <= 1e-5)) {
        out.fault = WeightFault::SumNotP;
        return out;
    }
    const double V = 1.0 / wp[p - 1];
    out.prm.p = p;
    out.prm.V = V;
    out.prm.v.assign(static_cast<size_t>(p), 0.0);
    out.v2.assign(static_cast<size_t>(p), 0.0);
    double sumV2 = 0;
    for (int k = 0; k < p; ++k) {
        out.v2[k] = wp[k] * V;
        out.prm.v[k] = std::sqrt(out.v2[k]);
        sumV2 += out.v2[k];
    }
    if (!(std::fabs(out.prm.v[p - 1] - 1.0) <= 1e-6))
        out.fault = WeightFault::LastNotOne;
    else if (!(std::fabs(sumV2 / V - 1.0) <= 1e-8))
        out.fault = WeightFault::SumOfSquares;
    return out;
}

}  // namespace zelk
