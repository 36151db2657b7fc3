// Random mixed-type problems for the engine tests.
#pragma once

#include <random>

#include "base/VarType.h"
#include "engine/Engine.h"

namespace zelk {

struct OwnedProblem {
    Matrix data[5];
    Problem pb;
};

// counts: C, O, N, S, A variables; weighted: random sample weights.
inline OwnedProblem RandomProblem(int n, const int counts[5], bool weighted, unsigned seed) {
    OwnedProblem o;
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(0, 1);
    int at = 0;
    o.pb.n = n;
    for (int t = 0; t < 5; ++t) {
        o.pb.first[t] = at;
        o.pb.count[t] = counts[t];
        if (counts[t] > 0) {
            o.data[t].Resize(n, counts[t], 0.0);
            for (int i = 0; i < n; ++i)
                for (int k = 0; k < counts[t]; ++k) {
                    double x;
                    if (t == kTypeC) x = 10 * u(rng);
                    else if (t == kTypeO) x = std::floor(5 * u(rng));
                    else if (t == kTypeN) x = std::floor(3 * u(rng));
                    else x = u(rng) < 0.5 ? 0 : 1;
                    o.data[t](i, k) = x;
                }
            o.pb.data[t] = &o.data[t];
        }
        at += counts[t];
    }
    o.pb.p = at;
    for (int k = 0; k < at; ++k) o.pb.e.push_back(0.5 + u(rng));
    for (int i = 0; i < n; ++i) o.pb.s.push_back(weighted ? 0.5 + u(rng) : 1.0);
    o.pb.nN = counts[kTypeN];
    o.pb.nS = counts[kTypeS];
    o.pb.nA = counts[kTypeA];
    return o;
}

// A problem owned by value must keep its data pointers valid after a copy.
inline void FixPointers(OwnedProblem& o) {
    for (int t = 0; t < 5; ++t) o.pb.data[t] = o.pb.count[t] > 0 ? &o.data[t] : nullptr;
}

}  // namespace zelk
