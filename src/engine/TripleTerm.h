// What one violating triple contributes, shared by the reference and the fast pass.
#pragma once

#include <cmath>

namespace zelk {

inline bool Violates(double dij, double dik, double djk) {
    return std::max(dik, djk) + 1e-8 < dij || std::max(dij, djk) + 1e-8 < dik ||
           std::max(dij, dik) + 1e-8 < djk;
}

// Which distance is the smallest: 0 for d_ij, 1 for d_ik, 2 for d_jk, -1 when none agrees.
inline int SmallestOfTriple(double dij, double dik, double djk) {
    const double mx = std::max(dij, std::max(dik, djk));
    const double r[3] = {mx - dij, mx - dik, mx - djk};
    const double big = std::max(r[0], std::max(r[1], r[2]));
    for (int t = 0; t < 3; ++t)
        if (std::fabs(big - r[t]) <= 1e-8) return t;
    return -1;
}

// Scalars of q = (sqrt(Da) - sqrt(Db))^2 and its derivatives in terms of the two pairs'
// gradients: grad q = A ga + B gb; hess q = A Ha + B Hb + Ra ga ga' + Rb gb gb'
// + X (ga gb' + gb ga'). When one squared distance is 0 the square root is not
// differentiable there; q is then Da + Db and its derivatives those of the sum.
struct TripleScalars {
    double q, A, B, Ra, Rb, X;
};

inline TripleScalars MakeTripleScalars(double Da, double Db) {
    TripleScalars t;
    const double sa = std::sqrt(Da), sb = std::sqrt(Db);
    t.q = (sa - sb) * (sa - sb);
    if (Da > 0 && Db > 0) {
        t.A = 1 - std::sqrt(Db / Da);
        t.B = 1 - std::sqrt(Da / Db);
        t.X = -0.5 / std::sqrt(Da * Db);
        t.Ra = 0.5 * sb * std::pow(Da, -1.5);
        t.Rb = 0.5 * sa * std::pow(Db, -1.5);
    } else {
        t.A = t.B = 1;
        t.X = t.Ra = t.Rb = 0;
    }
    return t;
}

}  // namespace zelk
