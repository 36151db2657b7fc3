// The matrix operations the engine relies on, with their edge cases.
#include <gtest/gtest.h>

#include "base/Matrix.h"

using zelk::Matrix;

namespace {
Matrix M(int r, int c, std::initializer_list<double> v) {
    Matrix m(r, c, 0.0);
    int i = 0;
    for (double x : v) m.Data()[i++] = x;
    return m;
}
}  // namespace

TEST(MatrixOps, ReductionsAndElementwise) {
    const Matrix a = M(2, 2, {1, -2, 3, 4});
    EXPECT_EQ(a.Max(), 4);
    EXPECT_EQ(a.Min(), -2);
    EXPECT_EQ(a.ColMax(1), 4);
    EXPECT_EQ(a.ColMin(0), 1);
    EXPECT_EQ(a.Sum(), 6);
    EXPECT_EQ(a.Product(), -24);
    EXPECT_EQ(a.SumOfPowers(2), 30);
    EXPECT_TRUE(a.Pow(2).EqualWithin(M(2, 2, {1, 4, 9, 16})));
    EXPECT_TRUE(a.Abs().EqualWithin(M(2, 2, {1, 2, 3, 4})));
    EXPECT_TRUE(a.Scale(2).AddScalar(1).EqualWithin(M(2, 2, {3, -3, 7, 9})));
    EXPECT_TRUE(a.ElemProduct(a).EqualWithin(a.Pow(2)));
    EXPECT_TRUE(Add(a, a, a).EqualWithin(a.Scale(3)));
    EXPECT_TRUE(Add(a, a, a, a, a, a).EqualWithin(a.Scale(6)));
    EXPECT_TRUE(Mul(a, M(2, 2, {1, 0, 0, 1})).EqualWithin(a));
    EXPECT_TRUE(Mul(a, a, a, a).EqualWithin(Mul(Mul(a, a), Mul(a, a))));
    EXPECT_TRUE(a.Transpose().EqualWithin(M(2, 2, {1, 3, -2, 4})));
    EXPECT_FALSE(a.EqualWithin(M(2, 1, {1, 3})));
    EXPECT_TRUE(a.EqualWithin(a.AddScalar(5e-10)));
    EXPECT_FALSE(a.EqualWithin(a.AddScalar(2e-9)));
}

TEST(MatrixOps, EmptyAndOneByOne) {
    Matrix e;
    EXPECT_TRUE(e.Empty());
    EXPECT_EQ(e.Sum(), 0);
    EXPECT_EQ(e.Product(), 1);
    EXPECT_TRUE(e.Transpose().Empty());
    EXPECT_TRUE(Matrix(0, 5).Empty());
    e.AppendToColumn(2.5);
    EXPECT_EQ(e.Rows(), 1);
    EXPECT_EQ(e(0, 0), 2.5);
    e.AppendToColumn(3.5);
    EXPECT_EQ(e.Rows(), 2);
    EXPECT_EQ(e(1, 0), 3.5);
    const Matrix one(1, 1, 7.0);
    EXPECT_TRUE(Diag(one).EqualWithin(one));
    EXPECT_TRUE(one.RemoveRow(0).Empty());
    EXPECT_TRUE(VConcat(Matrix(), one).EqualWithin(one));
}

TEST(MatrixOps, SubRowsColumnsAndConcat) {
    const Matrix a = M(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_TRUE(a.Sub(2, 3, 1, 2).EqualWithin(M(2, 2, {4, 5, 7, 8})));
    EXPECT_TRUE(a.Sub(1, 1, 1, 1).EqualWithin(Matrix(1, 1, 1.0)));
    // Ranges are clipped to the matrix; an empty range gives an empty matrix.
    EXPECT_TRUE(a.Sub(3, 5, 3, 9).EqualWithin(Matrix(1, 1, 9.0)));
    EXPECT_TRUE(a.Sub(3, 2, 1, 3).Empty());
    EXPECT_TRUE(a.RowVector(1).EqualWithin(M(1, 3, {4, 5, 6})));
    EXPECT_TRUE(a.ColVector(2).EqualWithin(M(3, 1, {3, 6, 9})));
    EXPECT_TRUE(a.RemoveRow(1).EqualWithin(M(2, 3, {1, 2, 3, 7, 8, 9})));
    EXPECT_TRUE(a.RemoveRow(5).EqualWithin(a));
    EXPECT_TRUE(VConcat(a.RowVector(0), a.RowVector(2)).EqualWithin(M(2, 3, {1, 2, 3, 7, 8, 9})));
    EXPECT_TRUE(Diag(M(1, 2, {2, 3})).EqualWithin(M(2, 2, {2, 0, 0, 3})));
    Matrix r;
    r.AppendRow({1, 2});
    r.AppendRow({3, 4});
    EXPECT_TRUE(r.EqualWithin(M(2, 2, {1, 2, 3, 4})));
}

TEST(MatrixOps, IndicatorsAndWeightedColumnMean) {
    const Matrix a = M(1, 4, {1, 2, 3, 4});
    const Matrix b = M(1, 4, {1 + 5e-10, 2.1, 3, 0});
    EXPECT_TRUE(a.IndicatorEqual(b).EqualWithin(M(1, 4, {1, 0, 1, 0})));
    EXPECT_TRUE(a.IndicatorDiffer(b).EqualWithin(M(1, 4, {0, 1, 0, 1})));
    EXPECT_TRUE(a.IndicatorEqualConst(3 + 1e-10).EqualWithin(M(1, 4, {0, 0, 1, 0})));
    const Matrix x = M(3, 2, {1, 10, 2, 20, 4, 40});
    const Matrix w = M(3, 1, {1, 1, 2});
    EXPECT_TRUE(x.WeightedColMean(w).EqualWithin(M(1, 2, {11.0 / 4, 110.0 / 4})));
}
