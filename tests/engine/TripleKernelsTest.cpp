// The vectorised triple kernels (every instruction-set variant this processor runs) against
// the straightforward pass and the scalar definitions, including the careful path for zero
// distances and the path for many variables; and the same bits for any thread count once the
// slices of a chunk really run side by side.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "base/VarType.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"
#include "engine/EngineDetail.h"
#include "engine/EngineTestData.h"
#include "engine/Parallel.h"
#include "engine/TripleKernels.h"

using namespace zelk;

namespace {

double RelErr(double a, double b) {
    return std::fabs(a - b) / std::max(1e-6, std::max(std::fabs(a), std::fabs(b)));
}

RealList Weights(int p) {
    RealList w;
    for (int k = 0; k < p; ++k) w.push_back(0.6 + 0.8 * ((k * 7) % 5) / 4.0);
    double sum = 0;
    for (double x : w) sum += x;
    for (double& x : w) x *= p / sum;
    return w;
}

struct Eval {
    LossState l;
    EngineError err;
};

Eval Evaluate(const Problem& pb, const RealList& w, bool reference, bool oneChunkAtATime = false) {
    Eval e;
    // One chunk per step, or everything at once: the same evaluation.
    Evaluator ev;
    ev.Begin(pb, ParamsFromWeights(w), e.l, reference ? PassKind::Reference : PassKind::Fast);
    const StepBudget budget = oneChunkAtATime ? StepBudget(0, true) : StepBudget::Unlimited();
    while (!ev.Done() && ev.Step(budget, e.err)) {
    }
    return e;
}

void ExpectClose(const LossState& a, const LossState& b, int n, int q) {
    EXPECT_LT(RelErr(a.dLu, b.dLu), 1e-9);
    EXPECT_EQ(a.dViolCount2, b.dViolCount2);
    for (int x = 0; x < q; ++x) {
        EXPECT_LT(RelErr(a.mGradV(x, 0), b.mGradV(x, 0)), 1e-9) << x;
        for (int y = 0; y < q; ++y) EXPECT_LT(RelErr(a.mHessV(x, y), b.mHessV(x, y)), 1e-9) << x << "," << y;
        for (int r = 0; r < n; ++r) EXPECT_LT(RelErr(a.mRecGrad(x, r), b.mRecGrad(x, r)), 1e-9) << x << "," << r;
    }
    for (int r = 0; r < n; ++r) {
        EXPECT_LT(RelErr(a.adRecTripleWeight(0, r), b.adRecTripleWeight(0, r)), 1e-12);
        EXPECT_EQ(a.adRecTripleCount(0, r), b.adRecTripleCount(0, r));
    }
}

bool SameBits(const Matrix& a, const Matrix& b) {
    return a.Size() == b.Size() && std::memcmp(a.Data(), b.Data(), sizeof(double) * a.Size()) == 0;
}

// Records 3 and 9 copy record 0 in every variable: several pairs at distance zero.
void AddDuplicates(OwnedProblem& o) {
    for (int t = 0; t < 5; ++t)
        if (o.pb.count[t] > 0)
            for (int k = 0; k < o.pb.count[t]; ++k) o.data[t](3, k) = o.data[t](9, k) = o.data[t](0, k);
}

struct Level {
    int level;
    ~Level() {
        detail::SetKernelLevel(2);
        detail::SetChunkLimits(0, 0);
    }
};

}  // namespace

TEST(TripleKernels, EveryKernelMatchesTheReference) {
    const int mixed[5] = {3, 2, 2, 0, 1};
    const int wide[5] = {10, 4, 3, 1, 2};  // 19 free parameters: more than the unrolled kernels take
    const int two[5] = {1, 0, 0, 0, 1};    // one free parameter
    struct Case {
        const char* name;
        const int* counts;
        int n;
        bool weighted, duplicates;
    } cases[] = {
        {"mixed", mixed, 37, true, false},
        {"zero distances", mixed, 30, false, true},
        {"many variables", wide, 17, true, false},
        {"one free parameter", two, 21, false, false},
    };
    for (const Case& c : cases) {
        OwnedProblem o = RandomProblem(c.n, c.counts, c.weighted, 11);
        if (c.duplicates) AddDuplicates(o);
        const RealList w = Weights(o.pb.p);
        const Eval ref = Evaluate(o.pb, w, true);
        ASSERT_FALSE(ref.err) << ref.err.text;
        for (int level : {0, 1, 2, 3}) {
            // Level 3: the best kernels, with blocks of first records run in many small chunks.
            Level restore{level};
            detail::SetKernelLevel(std::min(level, 2));
            if (level == 3) detail::SetChunkLimits(300, 3);
            SCOPED_TRACE(std::string(c.name) + ", kernel " + detail::Kernels().name +
                         (level == 3 ? ", small chunks" : ""));
            const Eval fast = Evaluate(o.pb, w, false);
            ASSERT_FALSE(fast.err) << fast.err.text;
            EXPECT_EQ(fast.l.dViolCount, ref.l.dViolCount2);
            ExpectClose(fast.l, ref.l, c.n, o.pb.p - 1);
            LossOnly lo;
            EvaluateLossOnly(o.pb, w, false, lo);
            EXPECT_LT(RelErr(lo.Lu, ref.l.dLu), 1e-9);
        }
    }
}

TEST(TripleKernels, ZeroDistanceAmongTheTwoLargestTakesTheCarefulTerms) {
    // Nominal values equal within 1e-9 are not transitive: d(0, 1) = d(1, 2) = 0 while
    // d(0, 2) > 0, so the triple (0, 1, 2) violates with a zero among its two largest.
    const int counts[5] = {1, 0, 2, 0, 0};
    OwnedProblem o = RandomProblem(12, counts, false, 3);
    const double nominal[3] = {0.0, 0.6e-9, 1.2e-9};
    for (int r = 0; r < 12; ++r) {
        o.data[kTypeC](r, 0) = 1 + (r % 4);
        o.data[kTypeN](r, 0) = r < 3 ? nominal[r] : r % 3;
        o.data[kTypeN](r, 1) = r < 3 ? 0.0 : r % 2;
    }
    o.data[kTypeC](1, 0) = o.data[kTypeC](2, 0) = o.data[kTypeC](0, 0);
    const RealList w = {1.1, 0.9, 1.0};
    const Eval ref = Evaluate(o.pb, w, true);
    ASSERT_FALSE(ref.err) << ref.err.text;
    ASSERT_TRUE(std::isfinite(ref.l.dLu));
    for (int level : {0, 1, 2}) {
        Level restore{level};
        detail::SetKernelLevel(level);
        SCOPED_TRACE(detail::Kernels().name);
        const Eval fast = Evaluate(o.pb, w, false);
        ASSERT_FALSE(fast.err) << fast.err.text;
        ExpectClose(fast.l, ref.l, 12, 2);
    }
}

TEST(TripleKernels, ClassificationCountsEveryViolatingTriple) {
    const int mixed[5] = {2, 1, 1, 0, 0};
    OwnedProblem o = RandomProblem(41, mixed, true, 4);
    AddDuplicates(o);
    const Params prm = ParamsFromWeights(Weights(o.pb.p));
    Matrix d;
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(ComputePairRow(o.pb, prm, i, d));
    DistFailure df;
    BuildDistMatrix(41, d, df);
    double t = 0, w = 0, c = 0;
    for (int i = 0; i < 41; ++i)
        for (int j = i + 1; j < 41; ++j)
            for (int k = j + 1; k < 41; ++k) {
                const double sw = o.pb.s[i] * o.pb.s[j] * o.pb.s[k];
                t += sw;
                if (detail::Violates(d(i, j), d(i, k), d(j, k))) {
                    w += sw;
                    c += 1;
                }
            }
    for (int level : {0, 1, 2}) {
        Level restore{level};
        detail::SetKernelLevel(level);
        double kt, kw, kc;
        ClassifyTriples(d, o.pb.s, kt, kw, kc);
        EXPECT_EQ(kc, c) << detail::Kernels().name;
        EXPECT_LT(RelErr(kt, t), 1e-12);
        EXPECT_LT(RelErr(kw, w), 1e-12);
    }
}

TEST(TripleKernels, SlicesSideBySideGiveTheSameBitsForAnyThreadCount) {
    // Large enough for the slices of the first chunks to run on several threads.
    const int mixed[5] = {3, 2, 2, 0, 1};
    OwnedProblem o = RandomProblem(150, mixed, true, 8);
    AddDuplicates(o);
    const RealList w = Weights(o.pb.p);
    SetEngineThreads(1);
    const Eval one = Evaluate(o.pb, w, false);
    ASSERT_FALSE(one.err) << one.err.text;
    for (int threads : {2, 8}) {
        SetEngineThreads(threads);
        for (bool byChunk : {false, true}) {
            const Eval e = Evaluate(o.pb, w, false, byChunk);
            ASSERT_FALSE(e.err) << e.err.text;
            EXPECT_EQ(e.l.dLu, one.l.dLu) << threads;
            EXPECT_TRUE(SameBits(e.l.mDist, one.l.mDist)) << threads;
            EXPECT_TRUE(SameBits(e.l.mGradV, one.l.mGradV)) << threads;
            EXPECT_TRUE(SameBits(e.l.mHessV, one.l.mHessV)) << threads;
            EXPECT_TRUE(SameBits(e.l.mRecGrad, one.l.mRecGrad)) << threads;
            EXPECT_TRUE(SameBits(e.l.adRecTripleWeight, one.l.adRecTripleWeight)) << threads;
            EXPECT_EQ(e.l.dViolCount, one.l.dViolCount);
            EXPECT_EQ(e.l.dTripleWeight, one.l.dTripleWeight);
        }
    }
    SetEngineThreads(0);
}


// The loss alone of every kernel against the scalar definition (ties from duplicate
// records included); an infinite distance leaves a violating triple without a smallest
// distance, so the loss is not a number.
TEST(TripleKernels, LossAloneMatchesTheDefinition) {
    const int mixed[5] = {2, 1, 1, 0, 1};
    OwnedProblem o = RandomProblem(37, mixed, true, 6);
    AddDuplicates(o);
    const RealList w = Weights(o.pb.p);
    const Params prm = ParamsFromWeights(w);
    Matrix d;
    for (int i = 0; i + 1 < 37; ++i) ASSERT_TRUE(ComputePairRow(o.pb, prm, i, d));
    DistFailure df;
    BuildDistMatrix(37, d, df);
    double sum = 0;
    for (int i = 0; i < 37; ++i)
        for (int j = i + 1; j < 37; ++j)
            for (int k = j + 1; k < 37; ++k) {
                const double dij = d(i, j), dik = d(i, k), djk = d(j, k);
                if (!detail::Violates(dij, dik, djk)) continue;
                const int sm = detail::Smallest(dij, dik, djk);
                const double a = sm == 0 ? dik : dij, b = sm == 2 ? dik : djk;
                sum += o.pb.s[i] * o.pb.s[j] * o.pb.s[k] * (a - b) * (a - b);
            }
    double prod = 1;
    for (double x : w) prod *= x;
    const double expected = sum / std::pow(prod, o.pb.penaltyPow);
    for (int level : {0, 1, 2}) {
        Level restore{level};
        detail::SetKernelLevel(level);
        LossOnly lo;
        EvaluateLossOnly(o.pb, w, false, lo);
        EXPECT_LT(RelErr(lo.Lu, expected), 1e-12) << detail::Kernels().name;
        OwnedProblem big = RandomProblem(37, mixed, true, 6);  // no two records alike
        big.pb.e[0] = 1e-300;  // the squares of the first variable overflow
        EvaluateLossOnly(big.pb, w, false, lo);
        EXPECT_TRUE(std::isnan(lo.Lu)) << detail::Kernels().name;
    }
}
