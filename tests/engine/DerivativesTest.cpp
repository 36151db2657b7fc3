// Exact derivatives against central finite differences, and the fast pass against the
// straightforward one.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/VarType.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"
#include "engine/Parallel.h"
#include "engine/EngineTestData.h"
#include "engine/TripleKernels.h"

using namespace zelk;

namespace {

Params MakeParams(const RealList& vfree) {
    Params prm;
    prm.p = static_cast<int>(vfree.size()) + 1;
    prm.v = vfree;
    prm.v.push_back(1.0);
    prm.V = 0;
    for (double x : prm.v) prm.V += x * x;
    return prm;
}

double D2(const Problem& pb, const RealList& vfree, int i, int j) {
    double c[5];
    EXPECT_TRUE(PairComponents(pb, MakeParams(vfree), i, j, c));
    return c[0] + c[1] + c[2] + c[3] + c[4];
}

double RelErr(double a, double b) { return std::fabs(a - b) / std::max(1e-6, std::max(std::fabs(a), std::fabs(b))); }

struct Full {
    LossState out;
    double P = 0;
};

// Pairs, distance matrix, penalty and the derivative pass at vfree.
Full Evaluate(const Problem& pb, const RealList& vfree, bool reference) {
    Full f;
    EngineError err;
    EXPECT_TRUE(EvaluateFull(pb, MakeParams(vfree), f.out, err, reference ? PassKind::Reference : PassKind::Fast))
        << err.text;
    f.P = f.out.dPenalty;
    return f;
}

const int kAllTypes[5] = {2, 2, 2, 2, 2};

}  // namespace

TEST(Derivatives, EveryComponentTypeMatchesFiniteDifferences) {
    for (int type = 0; type < 5; ++type) {
        int counts[5] = {0, 0, 0, 0, 0};
        counts[type] = 3;
        counts[kTypeC] += 1;  // the last variable is C or the type itself
        OwnedProblem o = RandomProblem(6, counts, false, 11 + type);
        const int q = o.pb.p - 1;
        RealList v = {0.8, 1.3, 0.6, 1.1};
        v.resize(q);
        for (int i = 0; i < 5; ++i)
            for (int j = i + 1; j < 6; ++j) {
                double c[5];
                if (!PairComponents(o.pb, MakeParams(v), i, j, c)) continue;
                std::vector<double> g(q), H(q * q);
                ASSERT_TRUE(PairDerivatives(o.pb, MakeParams(v), i, j, g.data(), H.data()));
                const double h = 1e-5;
                for (int m = 0; m < q; ++m) {
                    RealList vp = v, vm = v;
                    vp[m] += h, vm[m] -= h;
                    const double fd = (D2(o.pb, vp, i, j) - D2(o.pb, vm, i, j)) / (2 * h);
                    EXPECT_LT(RelErr(g[m], fd), 1e-5) << "type " << type << " m " << m;
                    std::vector<double> gp(q), gm(q), Hs(q * q);
                    PairDerivatives(o.pb, MakeParams(vp), i, j, gp.data(), Hs.data());
                    PairDerivatives(o.pb, MakeParams(vm), i, j, gm.data(), Hs.data());
                    for (int l = 0; l < q; ++l)
                        EXPECT_LT(RelErr(H[l * q + m], (gp[l] - gm[l]) / (2 * h)), 1e-5)
                            << "type " << type << " (" << l << "," << m << ")";
                }
            }
    }
}

TEST(Derivatives, PenaltyMatchesFiniteDifferences) {
    const RealList v = {0.7, 1.4, 0.9};
    double P;
    Matrix g, H;
    EngineError err;
    ComputePenalty(MakeParams(v), 2.0 / 3.0, P, g, H, err);
    ASSERT_FALSE(err);
    const double h = 1e-6;
    for (int m = 0; m < 3; ++m) {
        RealList vp = v, vm = v;
        vp[m] += h, vm[m] -= h;
        double Pp, Pm;
        Matrix gp, gm, Hx;
        ComputePenalty(MakeParams(vp), 2.0 / 3.0, Pp, gp, Hx, err);
        ComputePenalty(MakeParams(vm), 2.0 / 3.0, Pm, gm, Hx, err);
        EXPECT_LT(RelErr(g(m, 0), (Pp - Pm) / (2 * h)), 1e-5);
        for (int l = 0; l < 3; ++l) EXPECT_LT(RelErr(H(l, m), (gp(l, 0) - gm(l, 0)) / (2 * h)), 1e-5);
    }
}

TEST(Derivatives, LossMatchesFiniteDifferencesWithAndWithoutSampleWeights) {
    for (int variant = 0; variant < 4; ++variant) {
        const bool weighted = variant % 2 == 1, reference = variant < 2;
        OwnedProblem o = RandomProblem(9, kAllTypes, weighted, weighted ? 5 : 6);
        const RealList v = {0.9, 1.2, 0.8, 1.1, 0.95, 1.05, 0.85, 1.15, 1.0};
        const Full f = Evaluate(o.pb, v, reference);
        ASSERT_GT(f.out.dLu, 0);
        const double h = 1e-6;
        for (int m = 0; m < 9; ++m) {
            RealList vp = v, vm = v;
            vp[m] += h, vm[m] -= h;
            const Full fp = Evaluate(o.pb, vp, reference), fm = Evaluate(o.pb, vm, reference);
            EXPECT_LT(RelErr(f.out.mGradV(m, 0), (fp.out.dLu - fm.out.dLu) / (2 * h)), 1e-5) << m;
            for (int l = 0; l < 9; ++l)
                EXPECT_LT(RelErr(f.out.mHessV(l, m), (fp.out.mGradV(l, 0) - fm.out.mGradV(l, 0)) / (2 * h)), 1e-4)
                    << l << "," << m;
        }
    }
}

TEST(Derivatives, FastPassEqualsReferenceForAnyThreadCountAndGrouping) {
    const int mixed[5] = {3, 2, 2, 0, 1};
    for (unsigned seed : {1u, 2u, 3u}) {
        OwnedProblem o = RandomProblem(23, mixed, seed == 2, seed);
        const RealList v = {0.9, 1.2, 0.8, 1.1, 0.95, 1.05, 0.85};
        const Full ref = Evaluate(o.pb, v, true);
        LossState first;
        for (int threads : {1, 2, 8}) {
            SetEngineThreads(threads);
            const Full fast = Evaluate(o.pb, v, false);
            EXPECT_LT(RelErr(fast.out.dLu, ref.out.dLu), 1e-9);
            for (int a = 0; a < 7; ++a) {
                EXPECT_LT(RelErr(fast.out.mGradV(a, 0), ref.out.mGradV(a, 0)), 1e-9);
                for (int b = 0; b < 7; ++b) EXPECT_LT(RelErr(fast.out.mHessV(a, b), ref.out.mHessV(a, b)), 1e-9);
                for (int r = 0; r < 23; ++r) EXPECT_LT(RelErr(fast.out.mRecGrad(a, r), ref.out.mRecGrad(a, r)), 1e-9);
            }
            EXPECT_EQ(fast.out.dViolCount2, ref.out.dViolCount2);
            if (threads == 1) first = fast.out;
            EXPECT_EQ(std::memcmp(first.mHessV.Data(), fast.out.mHessV.Data(), sizeof(double) * 49), 0);
            EXPECT_EQ(std::memcmp(first.mRecGrad.Data(), fast.out.mRecGrad.Data(), sizeof(double) * 7 * 23), 0);
            EXPECT_EQ(std::memcmp(first.mGradV.Data(), fast.out.mGradV.Data(), sizeof(double) * 7), 0);
            EXPECT_LT(RelErr(fast.out.adRecTripleWeight(0, 5), ref.out.adRecTripleWeight(0, 5)), 1e-12);
            EXPECT_EQ(first.dLu, fast.out.dLu);
        }
        SetEngineThreads(0);
        // One chunk per call gives the very same sums.
        const Params prm = MakeParams(v);
        Matrix dist;
        for (int i = 0; i < 22; ++i) ComputePairRow(o.pb, prm, i, dist);
        DistFailure df;
        BuildDistMatrix(23, dist, df);
        double P;
        Matrix gP, hP;
        EngineError err;
        ComputePenalty(prm, o.pb.penaltyPow, P, gP, hP, err);
        DerivativePass pass;
        pass.Begin(o.pb, prm, dist, P, gP, hP);
        for (int c = 0; c < pass.NumChunks(); ++c) pass.RunChunks(c, c + 1, err);
        LossState one;
        one.dViolCount = first.dViolCount;
        pass.Finish(one, err);
        EXPECT_EQ(one.dLu, first.dLu);
        EXPECT_EQ(std::memcmp(first.mGradV.Data(), one.mGradV.Data(), sizeof(double) * 7), 0);
        // Uneven groups on two threads, one chunk run twice: the very same bits again.
        SetEngineThreads(2);
        DerivativePass pass2;
        pass2.Begin(o.pb, prm, dist, P, gP, hP);
        pass2.RunChunks(0, 3, err);
        pass2.RunChunks(3, 4, err);
        pass2.RunChunks(3, 17, err);
        pass2.RunChunks(17, pass2.NumChunks(), err);
        LossState grouped;
        grouped.dViolCount = first.dViolCount;
        pass2.Finish(grouped, err);
        SetEngineThreads(0);
        // The pass gives per-record sums; the evaluation divides them into means.
        for (int r = 0; r < 23; ++r)
            for (int a = 0; a < 7; ++a) grouped.mRecGrad(a, r) /= grouped.adRecTripleWeight(0, r);
        EXPECT_FALSE(err) << err.text;
        EXPECT_EQ(grouped.dLu, first.dLu);
        EXPECT_EQ(std::memcmp(first.mHessV.Data(), grouped.mHessV.Data(), sizeof(double) * 49), 0);
        EXPECT_EQ(std::memcmp(first.mRecGrad.Data(), grouped.mRecGrad.Data(), sizeof(double) * 7 * 23), 0);
        EXPECT_EQ(std::memcmp(first.adRecTripleWeight.Data(), grouped.adRecTripleWeight.Data(), sizeof(double) * 23), 0);
        double progress = 0;
        for (int c = 0; c < pass2.NumChunks(); ++c) progress += pass2.TriplesInChunk(c);
        EXPECT_NEAR(progress, 23.0 * 22 * 21 / 6, 1e-9);
    }
}

TEST(Derivatives, ClassificationAndSurfaceLossDoNotDependOnTheThreadCount) {
    const int mixed[5] = {3, 2, 2, 0, 1};
    OwnedProblem o = RandomProblem(160, mixed, true, 12);
    const RealList w = {0.9, 1.2, 0.8, 1.1, 0.95, 1.05, 0.85, 1.05};
    const Params prm = ParamsFromWeights(w);
    Matrix dist;
    for (int i = 0; i + 1 < 160; ++i) ComputePairRow(o.pb, prm, i, dist);
    DistFailure df;
    BuildDistMatrix(160, dist, df);
    double T1, W1, C1, L1 = 0;
    for (int threads : {1, 2, 8}) {
        SetEngineThreads(threads);
        double T, W, C;
        ClassifyTriples(dist, o.pb.s, T, W, C);
        LossOnly lo;
        EvaluateLossOnly(o.pb, w, false, lo);
        if (threads == 1) {
            T1 = T, W1 = W, C1 = C, L1 = lo.Lu;
        }
        EXPECT_EQ(T, T1);
        EXPECT_EQ(W, W1);
        EXPECT_EQ(C, C1);
        EXPECT_EQ(lo.Lu, L1);
    }
    SetEngineThreads(0);
}

// A nominal multiplier of 1e-6 (the range as the preparation scales it) makes most distances
// large while a violating triple's two largest distances differ only in their small
// continuous part: the gradient of every pass and kernel must still agree with the loss's
// finite differences, and so must the straightforward pass's Hessian.
TEST(Derivatives, GradientStaysExactWhenTheTwoLargestDistancesAreLargeAndClose) {
    const int counts[5] = {2, 2, 1, 0, 1};
    OwnedProblem o = RandomProblem(14, counts, true, 21);
    o.pb.e[o.pb.first[kTypeN]] = 2e-6;  // codes 0 to 2: range 2 times 1e-6
    const RealList v = {0.9, 1.2, 0.8, 1.1, 0.95};
    const int q = 5;
    // Fourth-order central differences of the straightforward pass (the step's own error
    // stays far below 1e-6).
    std::vector<double> fdGrad(q), fdHess(q * q);
    for (int m = 0; m < q; ++m) {
        const double h = 1e-4 * v[m];
        Full at[4];
        const double steps[4] = {h, -h, 2 * h, -2 * h};
        for (int x = 0; x < 4; ++x) {
            RealList vx = v;
            vx[m] += steps[x];
            at[x] = Evaluate(o.pb, vx, true);
        }
        fdGrad[m] = (8 * (at[0].out.dLu - at[1].out.dLu) - (at[2].out.dLu - at[3].out.dLu)) / (12 * h);
        for (int l = 0; l < q; ++l)
            fdHess[l * q + m] = (8 * (at[0].out.mGradV(l, 0) - at[1].out.mGradV(l, 0)) -
                                 (at[2].out.mGradV(l, 0) - at[3].out.mGradV(l, 0))) / (12 * h);
    }
    const Full ref = Evaluate(o.pb, v, true);
    for (int m = 0; m < q; ++m) {
        EXPECT_LT(RelErr(ref.out.mGradV(m, 0), fdGrad[m]), 1e-6) << m;
        for (int l = 0; l < q; ++l) EXPECT_LT(RelErr(ref.out.mHessV(l, m), fdHess[l * q + m]), 1e-6) << l << "," << m;
    }
    for (int level : {0, 1, 2}) {
        detail::SetKernelLevel(level);
        const Full fast = Evaluate(o.pb, v, false);
        for (int m = 0; m < q; ++m) EXPECT_LT(RelErr(fast.out.mGradV(m, 0), fdGrad[m]), 1e-6) << level << " " << m;
    }
    detail::SetKernelLevel(2);
}
