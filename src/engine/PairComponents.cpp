// Distance components of one record pair and the exact derivatives of the pair's squared
// distance in the free parameters v_1..v_{p-1} (v_p = 1, V = sum of v^2).
#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/Engine.h"
#include "engine/EngineDetail.h"

namespace zelk {

const char* const kDivideByZeroA = "Fatal error: Divide by zero in type a distance component";

namespace {

// One component written as G(x1, x2, V), with x1, x2 sums over the type's variables.
// Adds G's gradient and Hessian in v (chain rule) to grad / hess.
struct ChainTerms {
    double G1 = 0, G2 = 0, GV = 0;
    double G11 = 0, G22 = 0, G12 = 0, G1V = 0, G2V = 0, GVV = 0;
};

void AddChain(const ChainTerms& c, int q, const double* g1, const double* d1, const double* g2,
              const double* gV, double* grad, double* hess) {
    if (grad)
        for (int m = 0; m < q; ++m) grad[m] += c.G1 * g1[m] + c.G2 * g2[m] + c.GV * gV[m];
    if (!hess) return;
    for (int m = 0; m < q; ++m) {
        double* row = hess + static_cast<size_t>(m) * q;
        row[m] += c.G1 * d1[m] + c.GV * 2.0;
        for (int l = 0; l < q; ++l)
            row[l] += c.G11 * g1[m] * g1[l] + c.G22 * g2[m] * g2[l] +
                      c.G12 * (g1[m] * g2[l] + g2[m] * g1[l]) +
                      c.G1V * (g1[m] * gV[l] + gV[m] * g1[l]) +
                      c.G2V * (g2[m] * gV[l] + gV[m] * g2[l]) + c.GVV * gV[m] * gV[l];
    }
}

bool PairEvalImpl(const Problem& pb, const Params& prm, int i, int j, double comps[5],
                  double* grad, double* hess);

}  // namespace

namespace detail {

void HessianSum::Init(int q_) {
    q = q_;
    full.assign(static_cast<size_t>(q) * q, 0.0);
    diag.assign(q, 0.0);
    withV.assign(q, 0.0);
    sV = sI = 0;
}

void HessianSum::Add(const HessianSum& o) {
    for (size_t x = 0; x < full.size(); ++x) full[x] += o.full[x];
    for (int m = 0; m < q; ++m) {
        diag[m] += o.diag[m];
        withV[m] += o.withV[m];
    }
    sV += o.sV;
    sI += o.sI;
}

void HessianSum::AddTo(const Params& prm, double* H) const {
    for (int m = 0; m < q; ++m) {
        const double gm = 2.0 * prm.v[m];
        double* row = H + static_cast<size_t>(m) * q;
        row[m] += diag[m] + sI;
        for (int l = 0; l < q; ++l) {
            const double gl = 2.0 * prm.v[l];
            row[l] += full[static_cast<size_t>(m) * q + l] + (withV[m] * gl + gm * withV[l]) +
                      sV * gm * gl;
        }
    }
}

// The same terms as the chain rule of PairEvalImpl, written per type without the work
// vectors of the whole gradient (a pass adds one such Hessian per pair).
bool PairHessianInto(const Problem& pb, const Params& prm, int i, int j, double w,
                     HessianSum& h) {
    const int q = pb.p > 0 ? pb.p - 1 : 0;
    const double V = prm.V;
    const double* v = prm.v.data();
    const double* e = pb.e.data();
    // Per variable of the type: g1 and g2 (on the stack for the usual few variables).
    constexpr int kLocal = 32;
    double b1[kLocal], b2[kLocal];
    thread_local std::vector<double> v1, v2;
    for (int t = 0; t < 5; ++t) {
        const int cnt = pb.count[t];
        if (cnt == 0 || !pb.data[t]) continue;
        const double* xi = pb.data[t]->Row(i);
        const double* xj = pb.data[t]->Row(j);
        const int f = pb.first[t];
        const int own = std::max(0, std::min(cnt, q - f));  // the type's free variables
        double* s1 = b1;
        double* s2 = b2;
        if (cnt > kLocal) {
            v1.resize(cnt);
            v2.resize(cnt);
            s1 = v1.data();
            s2 = v2.data();
        }
        for (int hh = 0; hh < cnt; ++hh) s1[hh] = s2[hh] = 0;
        if (t <= 1) {
            // C and O: G1 = 1 / V, GV = -A / V^2, G1V = -1 / V^2, GVV = 2 A / V^3.
            double A = 0;
            for (int hh = 0; hh < cnt; ++hh) {
                const int k = f + hh;
                const double r = (xi[hh] - xj[hh]) / e[k];
                const double ck = r * r;
                A += v[k] * v[k] * ck;
                s1[hh] = ck;
            }
            h.sI += w * 2.0 * (-A / (V * V));
            h.sV += w * (2.0 * A / (V * V * V));
            for (int hh = 0; hh < own; ++hh) {
                const int k = f + hh;
                h.diag[k] += w * (1.0 / V) * (2.0 * s1[hh]);
                h.withV[k] += w * (-1.0 / (V * V)) * (2.0 * v[k] * s1[hh]);
            }
            continue;
        }
        double G11 = 0, G22 = 0, G12 = 0, G1V = 0, G2V = 0, GV = 0, GVV = 0;
        if (t <= 3) {
            // N and S: (sum over mismatching variables of v_k / e_k)^2 / (K V).
            const double K = t == 2 ? pb.nN * pb.nN : pb.nS;
            double a = 0;
            for (int hh = 0; hh < cnt; ++hh) {
                const int k = f + hh;
                if (std::fabs(xi[hh] - xj[hh]) >= 1e-9) {
                    a += v[k] / e[k];
                    s1[hh] = 1.0 / e[k];
                }
            }
            GV = -a * a / (K * V * V);
            G11 = 2.0 / (K * V);
            G1V = -2.0 * a / (K * V * V);
            GVV = 2.0 * a * a / (K * V * V * V);
        } else {
            // A: as a^2 / Dn^2 with Dn = nA sqrt(V) - b.
            const double nA = pb.nA;
            double a = 0, b = 0;
            for (int hh = 0; hh < cnt; ++hh) {
                const int k = f + hh;
                if (std::fabs(xi[hh] - xj[hh]) >= 1e-9) {
                    a += v[k] / e[k];
                    s1[hh] = 1.0 / e[k];
                } else if (std::fabs(xi[hh]) < 1e-9 && std::fabs(xj[hh]) < 1e-9) {
                    b += v[k] / e[k];
                    s2[hh] = 1.0 / e[k];
                }
            }
            const double sV = std::sqrt(V);
            const double den = nA * nA - 2.0 * nA * b / sV + b * b / V;
            if (std::fabs(den) < 1e-8) return false;
            const double Dn = nA * sV - b;
            const double Dn2 = Dn * Dn;
            const double GD = -2.0 * a * a / (Dn2 * Dn);
            const double GDD = 6.0 * a * a / (Dn2 * Dn2);
            const double G1D = -4.0 * a / (Dn2 * Dn);
            const double DV = nA / (2.0 * sV);
            const double DVV = -nA / (4.0 * V * sV);
            G11 = 2.0 / Dn2;
            GV = GD * DV;
            G22 = GDD;
            G2V = -GDD * DV;
            GVV = GDD * DV * DV + GD * DVV;
            G12 = -G1D;
            G1V = G1D * DV;
        }
        h.sI += w * 2.0 * GV;
        h.sV += w * GVV;
        for (int hh = 0; hh < own; ++hh) {
            h.withV[f + hh] += w * (G1V * s1[hh] + G2V * s2[hh]);
            if (s1[hh] == 0 && s2[hh] == 0) continue;
            double* row = h.full.data() + static_cast<size_t>(f + hh) * q + f;
            for (int ll = 0; ll < own; ++ll)
                row[ll] += w * (G11 * s1[hh] * s1[ll] + G22 * s2[hh] * s2[ll] +
                                G12 * (s1[hh] * s2[ll] + s2[hh] * s1[ll]));
        }
    }
    return true;
}

bool PairEval(const Problem& pb, const Params& prm, int i, int j, double comps[5], double* grad,
              double* hess) {
    return PairEvalImpl(pb, prm, i, j, comps, grad, hess);
}

}  // namespace detail

namespace {

bool PairEvalImpl(const Problem& pb, const Params& prm, int i, int j, double comps[5],
                  double* grad, double* hess) {
    const int p = pb.p;
    const int q = p > 0 ? p - 1 : 0;
    for (int t = 0; t < 5; ++t) comps[t] = 0;
    if (grad)
        for (int m = 0; m < q; ++m) grad[m] = 0;
    // Every component's gradient has a term along the gradient of V (2 v); their
    // coefficients are summed and the term added once at the end.
    double gradAlongV = 0;
    if (hess)
        for (int m = 0; m < q * q; ++m) hess[m] = 0;
    const bool deriv = grad || hess;
    const double V = prm.V;
    const double* v = prm.v.data();
    const double* e = pb.e.data();

    thread_local std::vector<double> scratch;
    if (deriv && static_cast<int>(scratch.size()) < 4 * q) scratch.resize(4 * q);
    double* g1 = deriv ? scratch.data() : nullptr;
    double* d1 = deriv ? g1 + q : nullptr;
    double* g2 = deriv ? d1 + q : nullptr;
    double* gV = deriv ? g2 + q : nullptr;
    if (deriv)
        for (int m = 0; m < q; ++m) {
            gV[m] = 2.0 * v[m];
            g1[m] = d1[m] = g2[m] = 0;
        }

    for (int t = 0; t < 5; ++t) {
        const int cnt = pb.count[t];
        if (cnt == 0 || !pb.data[t]) continue;
        const Matrix& X = *pb.data[t];
        const double* xi = X.Row(i);
        const double* xj = X.Row(j);
        const int f = pb.first[t];
        // A type writes only its own variables' entries, and apart from the full Hessian only
        // those are read: the vectors are cleared once, and again per type for that Hessian.
        const int lo = hess ? 0 : std::min(f, q), hi = hess ? q : std::min(f + cnt, q);
        if (hess)
            for (int m = 0; m < q; ++m) g1[m] = d1[m] = g2[m] = 0;
        ChainTerms c;
        if (t <= 1) {
            // C and O: sum of v_k^2 ((x_ik - x_jk) / e_k)^2 / V.
            double A = 0;
            for (int h = 0; h < cnt; ++h) {
                const int k = f + h;
                const double r = (xi[h] - xj[h]) / e[k];
                const double ck = r * r;
                A += v[k] * v[k] * ck;
                if (deriv && k < q) {
                    g1[k] = 2.0 * v[k] * ck;
                    d1[k] = 2.0 * ck;
                }
            }
            comps[t] = A / V;
            c.G1 = 1.0 / V;
            c.GV = -A / (V * V);
            c.G1V = -1.0 / (V * V);
            c.GVV = 2.0 * A / (V * V * V);
        } else if (t <= 3) {
            // N and S: (sum over mismatching variables of v_k / e_k)^2 / (K V).
            const double K = t == 2 ? pb.nN * pb.nN : pb.nS;
            double a = 0;
            for (int h = 0; h < cnt; ++h) {
                const int k = f + h;
                if (std::fabs(xi[h] - xj[h]) >= 1e-9) {
                    a += v[k] / e[k];
                    if (deriv && k < q) g1[k] = 1.0 / e[k];
                }
            }
            comps[t] = a * a / (K * V);
            c.G1 = 2.0 * a / (K * V);
            c.GV = -a * a / (K * V * V);
            c.G11 = 2.0 / (K * V);
            c.G1V = -2.0 * a / (K * V * V);
            c.GVV = 2.0 * a * a / (K * V * V * V);
        } else {
            // A: (a^2 / V) / (nA - b / sqrt V)^2, joint absences b leave the comparison.
            const double nA = pb.nA;
            double a = 0, b = 0;
            for (int h = 0; h < cnt; ++h) {
                const int k = f + h;
                if (std::fabs(xi[h] - xj[h]) >= 1e-9) {
                    a += v[k] / e[k];
                    if (deriv && k < q) g1[k] = 1.0 / e[k];
                } else if (std::fabs(xi[h]) < 1e-9 && std::fabs(xj[h]) < 1e-9) {
                    b += v[k] / e[k];
                    if (deriv && k < q) g2[k] = 1.0 / e[k];
                }
            }
            const double sV = std::sqrt(V);
            const double den = nA * nA - 2.0 * nA * b / sV + b * b / V;
            if (std::fabs(den) < 1e-8) return false;
            comps[t] = (a * a / V) / den;
            // As a^2 / Dn^2 with Dn = nA sqrt(V) - b.
            const double Dn = nA * sV - b;
            const double Dn2 = Dn * Dn;
            const double GD = -2.0 * a * a / (Dn2 * Dn);
            const double GDD = 6.0 * a * a / (Dn2 * Dn2);
            const double G1D = -4.0 * a / (Dn2 * Dn);
            const double DV = nA / (2.0 * sV);
            const double DVV = -nA / (4.0 * V * sV);
            c.G1 = 2.0 * a / Dn2;
            c.G11 = 2.0 / Dn2;
            c.G2 = -GD;
            c.GV = GD * DV;
            c.G22 = GDD;
            c.G2V = -GDD * DV;
            c.GVV = GDD * DV * DV + GD * DVV;
            c.G12 = -G1D;
            c.G1V = G1D * DV;
        }
        if (grad) {
            for (int m = lo; m < hi; ++m) grad[m] += c.G1 * g1[m] + c.G2 * g2[m];
            gradAlongV += c.GV;
        }
        if (hess) AddChain(c, q, g1, d1, g2, gV, nullptr, hess);
    }
    if (grad)
        for (int m = 0; m < q; ++m) grad[m] += gradAlongV * gV[m];
    return true;
}

}  // namespace

bool PairComponents(const Problem& pb, const Params& prm, int i, int j, double out[5]) {
    return detail::PairEval(pb, prm, i, j, out, nullptr, nullptr);
}

bool PairDerivatives(const Problem& pb, const Params& prm, int i, int j, double* grad, double* hess) {
    double comps[5];
    return detail::PairEval(pb, prm, i, j, comps, grad, hess);
}

bool ComputePairRow(const Problem& pb, const Params& prm, int i, Matrix& d2) {
    const int n = pb.n;
    if (d2.Rows() != n || d2.Cols() != n) d2.Resize(n, n, 0.0);
    if (i >= n) return true;
    // The row's squared distances: the components added in type order, as they come.
    double* sum = d2.Row(i);
    sum[i] = 0;
    for (int j = i + 1; j < n; ++j) sum[j] = 0;
    if (i + 1 >= n) return true;
    // The same arithmetic as PairComponents, pair by pair, with the variables in the outer
    // loop and the pairs (i, j) in the inner one.
    const double V = prm.V;
    const double* v = prm.v.data();
    const double* e = pb.e.data();
    thread_local std::vector<double> a, b;
    a.resize(n);
    b.resize(n);
    for (int t = 0; t < 5; ++t) {
        const int cnt = pb.count[t];
        if (cnt == 0 || !pb.data[t]) continue;  // a type without variables adds 0
        const Matrix& X = *pb.data[t];
        const double* xi = X.Row(i);
        const int f = pb.first[t];
        std::fill(a.begin() + i + 1, a.end(), 0.0);
        std::fill(b.begin() + i + 1, b.end(), 0.0);
        for (int h = 0; h < cnt; ++h) {
            const int k = f + h;
            const double* col = X.Data() + h;
            const double x = xi[h], ek = e[k], vk = v[k], ve = v[k] / e[k];
            if (t <= 1) {
                for (int j = i + 1; j < n; ++j) {
                    const double r = (x - col[static_cast<size_t>(j) * cnt]) / ek;
                    const double ck = r * r;
                    a[j] += vk * vk * ck;
                }
            } else if (t <= 3) {
                for (int j = i + 1; j < n; ++j)
                    if (std::fabs(x - col[static_cast<size_t>(j) * cnt]) >= 1e-9) a[j] += ve;
            } else {
                for (int j = i + 1; j < n; ++j) {
                    const double y = col[static_cast<size_t>(j) * cnt];
                    if (std::fabs(x - y) >= 1e-9) {
                        a[j] += ve;
                    } else if (std::fabs(x) < 1e-9 && std::fabs(y) < 1e-9) {
                        b[j] += ve;
                    }
                }
            }
        }
        if (t <= 1) {
            for (int j = i + 1; j < n; ++j) sum[j] += a[j] / V;
        } else if (t <= 3) {
            const double K = t == 2 ? pb.nN * pb.nN : pb.nS;
            for (int j = i + 1; j < n; ++j) sum[j] += a[j] * a[j] / (K * V);
        } else {
            const double nA = pb.nA, sV = std::sqrt(V);
            for (int j = i + 1; j < n; ++j) {
                const double den = nA * nA - 2.0 * nA * b[j] / sV + b[j] * b[j] / V;
                if (std::fabs(den) < 1e-8) return false;
                sum[j] += (a[j] * a[j] / V) / den;
            }
        }
    }
    return true;
}

}  // namespace zelk
