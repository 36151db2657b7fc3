// Properties of the distance components, the distance matrix, the classification and the
// loss, and every message of the engine's checks.
#include <gtest/gtest.h>

#include <cmath>

#include "base/VarType.h"
#include "engine/Engine.h"
#include "engine/Evaluation.h"
#include "engine/EngineTestData.h"

using namespace zelk;

namespace {

// A hand-built problem over the given per-type matrices (n x count each).
struct Hand {
    Matrix data[5];
    Problem pb;
    explicit Hand(const std::vector<Matrix>& m, const RealList& e) {
        int at = 0;
        for (int t = 0; t < 5; ++t) {
            data[t] = m[t];
            pb.first[t] = at;
            pb.count[t] = data[t].Cols();
            pb.data[t] = pb.count[t] > 0 ? &data[t] : nullptr;
            at += pb.count[t];
            pb.n = std::max(pb.n, data[t].Rows());
        }
        pb.p = at;
        pb.e = e;
        pb.s.assign(pb.n, 1.0);
        pb.nN = data[kTypeN].Cols();
        pb.nS = data[kTypeS].Cols();
        pb.nA = data[kTypeA].Cols();
    }
    Hand(const Hand&) = delete;
};

Matrix Rows(std::initializer_list<std::initializer_list<double>> rows) {
    Matrix m;
    for (auto r : rows) m.AppendRow(std::vector<double>(r));
    return m;
}

RealList Ones(int p) { return RealList(p, 1.0); }

double D2(const Problem& pb, const RealList& w, int i, int j) {
    double c[5];
    EXPECT_TRUE(PairComponents(pb, ParamsFromWeights(w), i, j, c));
    return c[0] + c[1] + c[2] + c[3] + c[4];
}

// Pairs, distance matrix and classification at w; then the given pass.
struct PassRun {
    LossState l;
    EngineError err;
    DistFailure df;
};
void Evaluate(const Problem& pb, const RealList& w, bool reference, PassRun& r) {
    EvaluateFull(pb, ParamsFromWeights(w), r.l, r.err, reference ? PassKind::Reference : PassKind::Fast);
}

}  // namespace

TEST(Components, UnitWeightsGiveVOfOnesAndTheMeanScaledSquare) {
    Hand h({Rows({{1, 4}, {3, 1}}), Matrix(), Matrix(), Matrix(), Matrix()}, {2.0, 3.0});
    const Params prm = ParamsFromWeights(Ones(2));
    EXPECT_EQ(prm.v, RealList({1.0, 1.0}));
    EXPECT_DOUBLE_EQ(prm.V, 2.0);
    EXPECT_EQ(WeightsFromParams(prm), RealList({1.0, 1.0}));
    double c[5];
    ASSERT_TRUE(PairComponents(h.pb, prm, 0, 1, c));
    EXPECT_DOUBLE_EQ(c[kTypeC], ((2.0 / 2) * (2.0 / 2) + (3.0 / 3) * (3.0 / 3)) / 2);
    EXPECT_EQ(c[kTypeO] + c[kTypeN] + c[kTypeS] + c[kTypeA], 0.0);
    // Weights round-trip through v.
    const RealList w = {0.5, 1.0, 1.5};  // sums to p
    const RealList back = WeightsFromParams(ParamsFromWeights(w));
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(back[k], w[k], 1e-12);
}

TEST(Components, IdenticalRecordsAreAtDistanceZero) {
    int counts[5] = {2, 1, 2, 1, 2};
    OwnedProblem o = RandomProblem(4, counts, false, 3);
    for (int t = 0; t < 5; ++t)
        for (int k = 0; k < o.data[t].Cols(); ++k) o.data[t](1, k) = o.data[t](0, k);
    const RealList w = {0.5, 1.5, 1, 1, 0.8, 1.2, 1.1, 0.9};
    EXPECT_EQ(D2(o.pb, w, 0, 1), 0.0);
    EXPECT_GT(D2(o.pb, w, 0, 2), 0.0);
}

TEST(Components, NominalAndSymmetricCountOnlyMismatches) {
    // Codes 1 vs 2 and 1 vs 9 mismatch alike; N divides by nN^2, S by nS.
    Hand h({Matrix(), Matrix(), Rows({{1, 5}, {2, 5}, {9, 5}}), Rows({{0, 1}, {1, 1}, {1, 1}}), Matrix()},
           {2.0, 1.0, 1.0, 1.0});
    const Params prm = ParamsFromWeights(Ones(4));
    double a[5], b[5];
    ASSERT_TRUE(PairComponents(h.pb, prm, 0, 1, a));
    ASSERT_TRUE(PairComponents(h.pb, prm, 0, 2, b));
    EXPECT_EQ(a[kTypeN], b[kTypeN]);
    EXPECT_DOUBLE_EQ(a[kTypeN], (1.0 / 2.0) * (1.0 / 2.0) / (2.0 * 2.0 * 4.0));
    EXPECT_DOUBLE_EQ(a[kTypeS], 1.0 / (2.0 * 4.0));
    ASSERT_TRUE(PairComponents(h.pb, prm, 1, 2, a));
    EXPECT_EQ(a[kTypeN], (1.0 / 2.0) * (1.0 / 2.0) / (2.0 * 2.0 * 4.0));
    EXPECT_EQ(a[kTypeS], 0.0);
}

TEST(Components, JointAbsencesLeaveTheAsymmetricComparison) {
    // Three A variables; records 0 and 1 differ in the first, share a 1 in the second and
    // are both 0 in the third.
    Hand h({Matrix(), Matrix(), Matrix(), Matrix(), Rows({{1, 1, 0}, {0, 1, 0}, {0, 0, 0}})},
           {1.0, 1.0, 1.0});
    const Params prm = ParamsFromWeights(Ones(3));
    double c[5];
    ASSERT_TRUE(PairComponents(h.pb, prm, 0, 1, c));
    const double u = 1 / std::sqrt(3.0);  // v_k / sqrt(V)
    EXPECT_NEAR(c[kTypeA], (u * u) / ((3 - u) * (3 - u)), 1e-15);
    // Records 1 and 2: one mismatch, two joint absences.
    ASSERT_TRUE(PairComponents(h.pb, prm, 1, 2, c));
    EXPECT_NEAR(c[kTypeA], (u * u) / ((3 - 2 * u) * (3 - 2 * u)), 1e-15);
}

TEST(Components, AsymmetricDivideByZeroIsReported) {
    // One A variable of scale 1 holding the whole weight: nA sqrt(V) equals b for a joint
    // absence. The pair, the pair row and the surface loss all refuse it.
    Hand h({Matrix(), Matrix(), Matrix(), Matrix(), Rows({{0}, {0}, {1}})}, {1.0});
    const Params prm = ParamsFromWeights(Ones(1));
    double c[5];
    EXPECT_FALSE(PairComponents(h.pb, prm, 0, 1, c));
    EXPECT_TRUE(PairComponents(h.pb, prm, 0, 2, c));
    Matrix d2;
    EXPECT_FALSE(ComputePairRow(h.pb, prm, 0, d2));
    std::vector<double> g(1), H(1);
    EXPECT_FALSE(PairDerivatives(h.pb, prm, 0, 1, g.data(), H.data()));
    LossOnly lo;
    EvaluateLossOnly(h.pb, Ones(1), false, lo);
    EXPECT_TRUE(lo.dropped);
    EXPECT_STREQ(kDivideByZeroA, "Fatal error: Divide by zero in type a distance component");
    // A whole evaluation stops at the pair row, and its new distance matrix holds no unset
    // values afterwards.
    LossState l;
    EngineError err;
    EXPECT_FALSE(EvaluateFull(h.pb, prm, l, err));
    EXPECT_EQ(err.text, kDivideByZeroA);
    ASSERT_EQ(l.mDist.Rows(), 3);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(l.mDist.Data()[i], 0.0);
}

TEST(Components, DivideByZeroStopsBothPasses) {
    // C, C, A with the A scale chosen so that its joint absence has nA sqrt(V) = b at the
    // pass's own v: the distance matrix comes from a weight where it is fine.
    Hand h({Rows({{0, 0}, {1, 2}, {3, 1}}), Matrix(), Matrix(), Matrix(), Rows({{0}, {0}, {1}})},
           {1.0, 1.0, 1.0 / std::sqrt(3.0)});
    const RealList w = Ones(3);  // V = 3: b / sqrt(V) = sqrt(3) / sqrt(3) = 1 = nA
    Matrix dist(3, 3, 1.0);
    for (int i = 0; i < 3; ++i) dist(i, i) = 0;
    dist(0, 1) = dist(1, 0) = 3.0;
    const Params prm = ParamsFromWeights(w);
    double P;
    Matrix gP, hP;
    EngineError err;
    ComputePenalty(prm, h.pb.penaltyPow, P, gP, hP, err);
    LossState out;
    ReferenceDerivativePass(h.pb, prm, dist, P, gP, hP, out, err);
    EXPECT_EQ(err.text, kDivideByZeroA);
    EngineError err2;
    DerivativePass pass;
    pass.Begin(h.pb, prm, dist, P, gP, hP);
    pass.RunChunks(0, pass.NumChunks(), err2);
    EXPECT_EQ(err2.text, kDivideByZeroA);
}

TEST(DistanceMatrix, MirrorsRootsAndClampsTinyNegatives) {
    // Squared distances in the upper triangle; the lower one is overwritten.
    Matrix d(3, 3, 7.0);
    for (int i = 0; i < 3; ++i) d(i, i) = 0;
    d(0, 1) = 9;
    d(0, 2) = -5e-9;
    d(1, 2) = 16;
    DistFailure f;
    BuildDistMatrix(3, d, f);
    ASSERT_EQ(f.kind, 0);
    EXPECT_EQ(d(0, 1), 3.0);
    EXPECT_EQ(d(1, 0), 3.0);
    EXPECT_EQ(d(0, 2), 0.0);
    EXPECT_EQ(d(2, 1), 4.0);
    EXPECT_EQ(d(1, 1), 0.0);
}

TEST(DistanceMatrix, ChecksGiveTheirMessages) {
    Matrix d(3, 3, 0.0);
    d(1, 1) = 2e-8;
    DistFailure f;
    BuildDistMatrix(3, d, f);
    EXPECT_EQ(f.kind, 1);
    EXPECT_EQ(DistFailureText(f), "Fatal error #2007.10.27.1");
    d = Matrix(3, 3, 0.0);
    d(0, 2) = -2e-8;
    BuildDistMatrix(3, d, f);
    EXPECT_EQ(f.kind, 2);
    EXPECT_EQ(f.i, 0);
    EXPECT_EQ(f.j, 2);
    EXPECT_EQ(f.value, -2e-8);
    EXPECT_EQ(DistFailureText(f), "Fatal error #2007.10.27.2");
    LossOnly lo;  // the surface loss reports the failure itself
    EXPECT_EQ(DistFailureText(lo.dist), "");
}

TEST(Classification, TiesWithinTheToleranceDoNotViolate) {
    const RealList s = {1, 2, 3};
    Matrix d(3, 3, 0.0);
    auto set = [&](int i, int j, double x) { d(i, j) = d(j, i) = x; };
    set(0, 1, 1.0);
    set(0, 2, 2.0);
    set(1, 2, 2.0 + 0.9e-8);  // the two largest agree within 1e-8
    double T, W, C;
    ClassifyTriples(d, s, T, W, C);
    EXPECT_EQ(T, 6.0);
    EXPECT_EQ(W, 0.0);
    EXPECT_EQ(C, 0.0);
    set(1, 2, 2.0 + 2e-8);
    ClassifyTriples(d, s, T, W, C);
    EXPECT_EQ(W, 6.0);
    EXPECT_EQ(C, 1.0);
    Matrix two(2, 2, 0.0);
    ClassifyTriples(two, {1, 1}, T, W, C);
    EXPECT_EQ(T + W + C, 0.0);
}

TEST(Loss, UltrametricDataHasZeroLoss) {
    // Two tight clusters far apart on one C variable, identical on the other: every triple
    // is an isosceles one with the two largest sides equal.
    Hand h({Rows({{0, 1}, {0, 1}, {10, 1}, {10, 1}}), Matrix(), Matrix(), Matrix(), Matrix()}, {1.0, 1.0});
    for (bool reference : {true, false}) {
        PassRun r;
        Evaluate(h.pb, Ones(2), reference, r);
        ASSERT_FALSE(r.err) << r.err.text;
        EXPECT_EQ(r.l.dLu, 0.0);
        EXPECT_EQ(r.l.dViolCount, 0.0);
        EXPECT_EQ(r.l.mGradV(0, 0), 0.0);
        EXPECT_EQ(r.l.adRecTripleCount(0, 0), 3.0);
    }
    LossOnly lo;
    EvaluateLossOnly(h.pb, Ones(2), false, lo);
    EXPECT_EQ(lo.Lu, 0.0);
    EXPECT_DOUBLE_EQ(lo.normaliser, 1.0);
}

TEST(Loss, LossOnlyAgreesWithTheDerivativePass) {
    const int counts[5] = {2, 1, 1, 0, 1};
    OwnedProblem o = RandomProblem(12, counts, false, 9);
    const RealList w = {0.6, 1.4, 1.2, 0.9, 0.9};
    PassRun r;
    Evaluate(o.pb, w, false, r);
    ASSERT_FALSE(r.err);
    LossOnly lo;
    EvaluateLossOnly(o.pb, w, false, lo);
    EXPECT_NEAR(lo.Lu, r.l.dLu, 1e-12 * r.l.dLu);
    EXPECT_NEAR(lo.normaliser, r.l.dPenalty, 1e-12);
    // De Soete: the normaliser is the sum of the squared distances.
    double sum = 0;
    for (int i = 0; i < 12; ++i)
        for (int j = i + 1; j < 12; ++j) sum += r.l.mDist(i, j) * r.l.mDist(i, j);
    EvaluateLossOnly(o.pb, w, true, lo);
    EXPECT_NEAR(lo.normaliser, sum, 1e-12 * sum);
    EXPECT_NEAR(lo.Lu, r.l.dLu * r.l.dPenalty / sum, 1e-12 * lo.Lu);
}

TEST(Loss, SingleVariableAndTwoRecordsAreHandled) {
    // p = 1: no free parameter, empty gradient and Hessian.
    Hand one({Rows({{0}, {1}, {5}, {6}}), Matrix(), Matrix(), Matrix(), Matrix()}, {1.0});
    for (bool reference : {true, false}) {
        PassRun r;
        Evaluate(one.pb, Ones(1), reference, r);
        ASSERT_FALSE(r.err) << r.err.text;
        EXPECT_GT(r.l.dLu, 0);
        EXPECT_TRUE(r.l.mGradV.Empty());
        EXPECT_TRUE(r.l.mHessV.Empty());
        EXPECT_TRUE(r.l.mRecGrad.Empty());
    }
    EXPECT_TRUE(CovarianceV(Matrix(), Matrix(), {1, 1, 1, 1}, 4, 2).Empty());
    EXPECT_EQ(GradientInW({}, {1.0}), RealList({0.0}));
    // n = 2: no triple at all.
    Hand two({Rows({{0, 1}, {1, 3}}), Matrix(), Matrix(), Matrix(), Matrix()}, {1.0, 1.0});
    for (bool reference : {true, false}) {
        PassRun r;
        Evaluate(two.pb, Ones(2), reference, r);
        ASSERT_FALSE(r.err) << r.err.text;
        EXPECT_EQ(r.l.dLu, 0.0);
        EXPECT_EQ(r.l.mGradV(0, 0), 0.0);
        EXPECT_EQ(r.l.adRecTripleWeight(0, 1), 0.0);
    }
    DerivativePass pass;
    Matrix d(2, 2, 0.0);
    pass.Begin(two.pb, ParamsFromWeights(Ones(2)), d, 1, Matrix(1, 1, 0.0), Matrix(1, 1, 0.0));
    EXPECT_EQ(pass.NumChunks(), 0);
}

TEST(Messages, PenaltySumCheck) {
    Params prm;
    prm.p = 2;
    prm.v = {1, 1};
    prm.V = 3;  // inconsistent with v: the normalised weights sum to 2/3
    double P;
    Matrix g, H;
    EngineError err;
    ComputePenalty(prm, 2.0 / 3.0, P, g, H, err);
    EXPECT_EQ(err.text, Format("Fatal error 2008.12.13.1d (%.32f)", 2.0 / 3.0));
}

TEST(Messages, EndOfPassChecks) {
    const int counts[5] = {3, 0, 0, 0, 0};
    OwnedProblem o = RandomProblem(7, counts, false, 4);
    for (bool reference : {true, false}) {
        // A classification count that the pass does not find again.
        const Params prm = ParamsFromWeights(Ones(3));
        PassRun r;
        Evaluate(o.pb, Ones(3), reference, r);
        ASSERT_FALSE(r.err);
        LossState l = r.l;
        l.dViolCount += 1;
        EngineError err;
        if (reference) {
            ReferenceDerivativePass(o.pb, prm, l.mDist, l.dPenalty, l.mPenaltyGrad, l.mPenaltyHess, l, err);
        } else {
            DerivativePass pass;
            pass.Begin(o.pb, prm, l.mDist, l.dPenalty, l.mPenaltyGrad, l.mPenaltyHess);
            pass.RunChunks(0, pass.NumChunks(), err);
            pass.Finish(l, err);
        }
        EXPECT_EQ(err.text, Format("Fatal error #2007.10.30.2 (%.8f!=%.8f)", r.l.dViolCount, r.l.dViolCount + 1));
    }
    // A negative sample weight makes the loss negative.
    o.pb.s[0] = -50;
    for (bool reference : {true, false}) {
        PassRun r;
        Evaluate(o.pb, Ones(3), reference, r);
        ASSERT_TRUE(r.err);
        EXPECT_EQ(r.err.text, Format("Fatal error 2007.10.30.3a (%.32f)", r.l.dLu));
        EXPECT_LT(r.l.dLu, -1e-8);
    }
}

TEST(Messages, NoSmallestDistance) {
    // An infinite distance: the triple violates, but no smallest distance agrees.
    const int counts[5] = {2, 0, 0, 0, 0};
    OwnedProblem o = RandomProblem(3, counts, false, 4);
    Matrix d(3, 3, 0.0);
    d(0, 1) = d(1, 0) = INFINITY;
    d(0, 2) = d(2, 0) = 1;
    d(1, 2) = d(2, 1) = 2;
    const Params prm = ParamsFromWeights(Ones(2));
    LossState out;
    EngineError err;
    ReferenceDerivativePass(o.pb, prm, d, 1, Matrix(1, 1, 0.0), Matrix(1, 1, 0.0), out, err);
    EXPECT_EQ(err.text, "Fatal error 2007.10.30.1");
    EngineError err2;
    DerivativePass pass;
    pass.Begin(o.pb, prm, d, 1, Matrix(1, 1, 0.0), Matrix(1, 1, 0.0));
    pass.RunChunks(0, pass.NumChunks(), err2);
    EXPECT_EQ(err2.text, "Fatal error 2007.10.30.1");
}

TEST(Messages, LayoutChecks) {
    const int counts[5] = {2, 1, 1, 1, 1};
    struct Case {
        int type, first, count;
        const char* text;
        const char* passText;
    };
    const Case cases[] = {
        {kTypeC, 0, 7, "Fatal error #2007.08.28.1c", nullptr},
        {kTypeO, 2, 5, "Fatal error #2007.08.28.1o", nullptr},
        {kTypeN, 3, 4, "Fatal error #2007.08.28.1n", nullptr},
        {kTypeS, 4, 3, "Fatal error #2007.08.28.1s", nullptr},
        {kTypeA, 6, 1, "Fatal error #2007.08.28.1a", nullptr},
        {kTypeC, 1, 2, "Fatal error #2007.10.2.1", "Fatal error #2007.10.2.2"},
        {kTypeO, 5, 1, "Fatal error #2007.08.25.2o", nullptr},
        {kTypeN, 5, 1, "Fatal error #2007.08.25.2n", nullptr},
        {kTypeS, 5, 1, "Fatal error #2007.08.25.2s", nullptr},
    };
    for (const Case& c : cases) {
        OwnedProblem o = RandomProblem(5, counts, false, 2);
        o.pb.first[c.type] = c.first;
        o.pb.count[c.type] = c.count;
        EngineError err;
        CheckProblemLayout(o.pb, err);
        EXPECT_EQ(err.text, c.text);
        // Both passes refuse the layout with the derivative builder's text.
        o.pb.count[c.type] = std::min(c.count, counts[c.type]);  // keep the data in bounds
        if (c.type == kTypeC && c.first == 1) o.pb.count[c.type] = 2;
        EngineError e1, e2;
        CheckProblemLayout(o.pb, e1);
        if (!e1) continue;
        LossState out;
        Matrix d(5, 5, 0.0);
        ReferenceDerivativePass(o.pb, ParamsFromWeights(Ones(6)), d, 1, Matrix(5, 1, 0.0), Matrix(5, 5, 0.0), out, e2);
        EXPECT_EQ(e2.text, c.passText ? c.passText : e1.text);
        DerivativePass pass;
        EngineError e3;
        pass.Begin(o.pb, ParamsFromWeights(Ones(6)), d, 1, Matrix(5, 1, 0.0), Matrix(5, 5, 0.0));
        pass.RunChunks(0, pass.NumChunks(), e3);
        EXPECT_EQ(e3.text, e2.text);
    }
    // The layout of a loaded data set passes.
    OwnedProblem good = RandomProblem(5, counts, false, 2);
    EngineError err;
    CheckProblemLayout(good.pb, err);
    EXPECT_FALSE(err) << err.text;
}
