// Data preparation: scaled ranges with their multipliers, the zero-range rule, the
// triple count, the initial weights, and the value-type checks.
#include <cmath>

#include "data/Preparation.h"
#include "support/LoadTestUtil.h"

namespace zelk {
namespace {

using loadtest::LoadFixture;

TEST(Preparation, RangesAreScaledByTheTypeMultiplier) {
    LoadFixture f;
    f.doc.opt.dEqFactMult[kTypeC] = 2;
    ASSERT_TRUE(f.Open("C1\tC2\tO1\tN1\tA1\n1\t0\t1\t1\t0\n4\t0.5\t3\t1\t1\n2\t0.25\t2\t5\t1\n"))
        << f.pf.LastBox();
    const Prepared& p = f.doc.prep;
    EXPECT_EQ(p.adRangeC, RealList({6, 1}));
    EXPECT_EQ(p.adRangeO, RealList({2}));
    EXPECT_EQ(p.adRangeN, RealList({4}));  // codes 1, 1, 5
    EXPECT_EQ(p.adRangeA, RealList({1}));
    EXPECT_TRUE(p.adRangeS.empty());
    EXPECT_EQ(p.dNumVar, 5);
    EXPECT_EQ(p.dNumN, 1);
    EXPECT_EQ(p.dNumA, 1);
    EXPECT_EQ(p.dNumS, 0);
    EXPECT_DOUBLE_EQ(p.dPenaltyPow, 2.0 / 3.0);
    EXPECT_EQ(p.Scales(), RealList({6, 1, 2, 4, 1}));
}

TEST(Preparation, ATripleCountForThreeAndTenRecords) {
    LoadFixture f;
    ASSERT_TRUE(f.Open("C1\n1\n2\n3\n")) << f.pf.LastBox();
    EXPECT_DOUBLE_EQ(f.doc.prep.dNumTriples, 1);
    std::string ten = "C1\n";
    for (int i = 0; i < 10; ++i) ten += std::to_string(i) + "\n";
    ASSERT_TRUE(f.Open(ten)) << f.pf.LastBox();
    EXPECT_DOUBLE_EQ(f.doc.prep.dNumTriples, 120);
    ASSERT_TRUE(f.Open("C1\n1\n2\n")) << f.pf.LastBox();
    EXPECT_EQ(f.doc.prep.dNumTriples, 0);
}

TEST(Preparation, AZeroRangeFailsUnlessASampleWeightIsNamedWithoutFwgt) {
    const std::string text = "C1\tC_FLAT\tW1\n1\t3.5\t1\n2\t3.5\t1\n4\t3.5\t2\n";
    {
        LoadFixture f;
        EXPECT_FALSE(f.Open(text));
        EXPECT_EQ(f.pf.LastBox(), "Error: Variable C_FLAT has 0 range in full sample");
        EXPECT_EQ(f.pf.boxes.size(), 1u);
        EXPECT_TRUE(f.Empty());
    }
    {
        LoadFixture f("-W=W1");
        ASSERT_TRUE(f.Open(text)) << f.pf.LastBox();
        EXPECT_EQ(f.doc.prep.adRangeC, RealList({3, 1}));
        EXPECT_TRUE(f.pf.boxes.empty());
    }
    {
        LoadFixture f("-W=W1 -FWGT");
        EXPECT_FALSE(f.Open(text));
        EXPECT_EQ(f.pf.LastBox(), "Error: Variable C_FLAT has 0 range in full sample");
        EXPECT_TRUE(f.Empty());
    }
    // A range left after dropping the records of weight zero.
    LoadFixture f("-W=W1 -fwgt");
    EXPECT_FALSE(f.Open("C1\tW1\n1\t1\n2\t0\n1\t1\n"));
    EXPECT_EQ(f.pf.LastBox(), "Error: Variable C1 has 0 range in full sample");
}

TEST(Preparation, AZeroMultiplierFailsOnTheFirstVariableOfItsType) {
    const std::string text = "C1\tO1\tO2\tW1\n1\t1\t2\t1\n2\t3\t5\t1\n";
    {
        LoadFixture f;
        f.doc.opt.dEqFactMult[kTypeO] = 0;
        EXPECT_FALSE(f.Open(text));
        EXPECT_EQ(f.pf.LastBox(), "Error: Variable O1 has 0 range in full sample");
        EXPECT_EQ(f.pf.boxes.size(), 1u);
    }
    LoadFixture f("-W=W1");
    f.doc.opt.dEqFactMult[kTypeO] = 0;
    ASSERT_TRUE(f.Open(text)) << f.pf.LastBox();
    EXPECT_EQ(f.doc.prep.adRangeO, RealList({1, 1}));
}

TEST(Preparation, NoDataToPrepare) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    EXPECT_FALSE(doc.PrepareData());
    EXPECT_EQ(pf.LastBox(), "No data to prepare!");
    EXPECT_TRUE(doc.prep.adRangeC.empty());
}

TEST(Preparation, RecomputeRangesFollowsTheMultipliers) {
    LoadFixture f("-W=W1");
    ASSERT_TRUE(f.Open("C1\tC_FLAT\tN1\tW1\n1\t2\t1\t1\n3\t2\t4\t1\n2\t2\t2\t1\n")) << f.pf.LastBox();
    EXPECT_EQ(f.doc.prep.adRangeC, RealList({2, 1}));
    f.doc.opt.dEqFactMult[kTypeC] = 0.5;
    f.doc.opt.dEqFactMult[kTypeN] = 3;
    f.pf.boxes.clear();
    RangeRule rule;
    rule.eqFactMult = f.doc.opt.dEqFactMult;
    rule.rangePow = f.doc.opt.dRangePow;
    rule.keepZeroRangeAsOne = true;  // a weight variable, no "-FWGT"
    RecomputeRanges(f.doc.data, rule, f.doc.prep);
    // The flat variable keeps its divisor 1, as at the load.
    EXPECT_EQ(f.doc.prep.adRangeC, RealList({1, 1}));
    EXPECT_EQ(f.doc.prep.adRangeN, RealList({9}));
    EXPECT_TRUE(f.pf.boxes.empty());
}

TEST(Preparation, InitialWeightsWithThreeVariables) {
    const std::string text = "C1\tC2\tC3\n1\t2\t3\n2\t4\t9\n5\t1\t0\n";
    struct Case {
        StringList initW;
        std::string message;  // empty: accepted
    };
    const Case cases[] = {
        {{"1"}, ""},
        {{"0.5", "1.5", "1"}, ""},
        {{"-1", "3", "1"}, "Invalid asInitW (each weight must be a number >0). Resetting to asInitW=1"},
        {{"0", "2", "1"}, "Invalid asInitW (each weight must be a number >0). Resetting to asInitW=1"},
        {{"1.0"}, "Invalid asInitW (if one token then you must set asInitW=1). Resetting to asInitW=1"},
        {{"1", "1"}, "Invalid asInitW (does not have 1 or 3 tokens). Resetting to asInitW=1"},
        {{}, "Invalid asInitW (does not have 1 or 3 tokens). Resetting to asInitW=1"},
        {{"1", "1", "2"}, "Invalid asInitW (sum=4.000000!=3.000000). Resetting to asInitW=1"},
        {{"nan", "1", "2"}, "Invalid asInitW (each weight must be a number >0). Resetting to asInitW=1"},
        {{"inf", "1", "-inf"}, "Invalid asInitW (each weight must be a number >0). Resetting to asInitW=1"},
    };
    for (const Case& c : cases) {
        LoadFixture f;
        f.doc.opt.asInitW = c.initW;
        ASSERT_TRUE(f.Open(text)) << f.pf.LastBox();
        if (c.message.empty()) {
            EXPECT_TRUE(f.pf.boxes.empty()) << f.pf.LastBox();
            EXPECT_EQ(f.doc.opt.asInitW, c.initW);
        } else {
            ASSERT_EQ(f.pf.boxes.size(), 1u);
            EXPECT_EQ(f.pf.LastBox(), c.message);
            EXPECT_EQ(f.doc.opt.asInitW, StringList({"1"}));
            // The replacement lasts: the next load accepts it silently.
            EXPECT_TRUE(f.doc.OnNewDocument());
            ASSERT_TRUE(f.Open(text));
            EXPECT_TRUE(f.pf.boxes.empty()) << f.pf.LastBox();
        }
    }
}

TEST(ValueTypes, EachRuleHasItsMessage) {
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    EXPECT_TRUE(doc.CheckValueTypes());  // empty matrices pass
    EXPECT_TRUE(pf.boxes.empty());

    doc.data.mDataO = Matrix(2, 1, 1.0);
    doc.data.mDataO(1, 0) = 1.5;
    EXPECT_FALSE(doc.CheckValueTypes());
    EXPECT_EQ(pf.LastBox(), "Error: Type O variables are not all non-negative integers");
    doc.data.mDataO(1, 0) = -1;
    EXPECT_FALSE(doc.CheckValueTypes());
    doc.data.mDataO(1, 0) = 2.000000001;  // within 1e-8 of an integer
    EXPECT_TRUE(doc.CheckValueTypes());

    doc.data.mDataS = Matrix(2, 1, 1.0);
    doc.data.mDataS(0, 0) = 0.5;
    doc.data.mDataN = Matrix(1, 1, -3.0);
    EXPECT_FALSE(doc.CheckValueTypes());
    EXPECT_EQ(pf.LastBox(), "Error: Type S variables are not all 0-1 integers");  // S before N

    doc.data.mDataS(0, 0) = 0;
    EXPECT_FALSE(doc.CheckValueTypes());
    EXPECT_EQ(pf.LastBox(), "Error: Type N variables are not all non-negative integers");

    doc.data.mDataN(0, 0) = 7;
    doc.data.mDataA = Matrix(1, 2, 0.0);
    doc.data.mDataA(0, 1) = 2;
    EXPECT_FALSE(doc.CheckValueTypes());
    EXPECT_EQ(pf.LastBox(), "Error: Type A variables are not all 0-1 integers");
    doc.data.mDataA(0, 1) = 1;
    EXPECT_TRUE(doc.CheckValueTypes());
    EXPECT_EQ(pf.boxes.size(), 5u);
}

}  // namespace
}  // namespace zelk
