// The matrix and the text helpers every layer relies on, with their edge cases.
#include <gtest/gtest.h>

#include <climits>
#include <clocale>
#include <cmath>

#include "base/Format.h"
#include "base/Matrix.h"
#include "base/Text.h"

using namespace zelk;

namespace {
Matrix M(int r, int c, std::initializer_list<double> v) {
    Matrix m(r, c, 0.0);
    int i = 0;
    for (double x : v) m.Data()[i++] = x;
    return m;
}
}  // namespace

TEST(Matrix, StorageResizeAndGrowth) {
    Matrix m(2, 3, 7.0, "M");
    m.Set(1, 2, 5.0);
    EXPECT_EQ(m.Data()[1 * 3 + 2], 5.0);  // row-major
    EXPECT_EQ(m.Name(), "M");
    m.Resize(1, 1, -1.0);
    EXPECT_EQ(m.Get(0, 0), -1.0);
    m.Resize(0, 4);
    EXPECT_TRUE(m.Empty());
    EXPECT_EQ(m.Cols(), 0);

    Matrix col;
    col.AppendToColumn(2.5);
    col.AppendToColumn(3.5);
    EXPECT_TRUE(col.EqualWithin(M(2, 1, {2.5, 3.5})));
    Matrix rows;
    rows.AppendRow({1, 2});
    rows.AppendRow({3, 4});
    EXPECT_TRUE(rows.EqualWithin(M(2, 2, {1, 2, 3, 4})));
}

TEST(Matrix, Operations) {
    const Matrix a = M(2, 2, {1, -2, 3, 4});
    EXPECT_EQ(a.Max(), 4);
    EXPECT_EQ(a.Min(), -2);
    EXPECT_EQ(a.ColMax(1), 4);
    EXPECT_EQ(a.ColMin(0), 1);
    EXPECT_TRUE(a.Scale(2).EqualWithin(M(2, 2, {2, -4, 6, 8})));
    EXPECT_TRUE(a.Transpose().EqualWithin(M(2, 2, {1, 3, -2, 4})));
    EXPECT_TRUE(Mul(a, M(2, 1, {1, 1})).EqualWithin(M(2, 1, {-1, 7})));
    EXPECT_TRUE(Mul(a, a, M(2, 2, {1, 0, 0, 1})).EqualWithin(Mul(a, a)));
    // Equality within 1e-9, and never between different shapes.
    EXPECT_TRUE(a.EqualWithin(M(2, 2, {1 + 5e-10, -2, 3, 4})));
    EXPECT_FALSE(a.EqualWithin(M(2, 2, {1 + 2e-9, -2, 3, 4})));
    EXPECT_FALSE(a.EqualWithin(M(2, 1, {1, 3})));

    const Matrix b = M(3, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    EXPECT_TRUE(b.Sub(2, 3, 1, 2).EqualWithin(M(2, 2, {4, 5, 7, 8})));
    // Ranges are clipped to the matrix; an empty range gives an empty matrix.
    EXPECT_TRUE(b.Sub(3, 5, 3, 9).EqualWithin(Matrix(1, 1, 9.0)));
    EXPECT_TRUE(b.Sub(3, 2, 1, 3).Empty());
    EXPECT_TRUE(Matrix().Transpose().Empty());
}

TEST(Text, TokensNumbersAndFields) {
    struct Split {
        const char* text;
        char delim;
        StringList tokens;
    };
    for (const Split& c : {Split{"a\t\tb\t", '\t', {"a", "b"}}, Split{"  0.5  1.5 1 ", ' ', {"0.5", "1.5", "1"}},
                           Split{"", ' ', {}}, Split{"   ", ' ', {}}})
        EXPECT_EQ(SplitTokens(c.text, c.delim), c.tokens) << c.text;
    // The C library's rules: trailing text is ignored, no number gives 0.
    EXPECT_EQ(CAtoi("12abc"), 12);
    EXPECT_EQ(CAtoi("TRUE"), 0);
    EXPECT_EQ(CAtoi(" -7"), -7);
    // Integers beyond 32 bits are held at the ends, as a 32-bit C library reads them.
    EXPECT_EQ(CAtoi("3000000000"), INT_MAX);
    EXPECT_EQ(CAtoi("-3000000000"), INT_MIN);
    EXPECT_DOUBLE_EQ(CAtof("2.5e1x"), 25.0);
    EXPECT_EQ(CAtof(""), 0.0);
    EXPECT_EQ(UpperCase("c_x1"), "C_X1");

    EXPECT_EQ(Real12(1.0), "  1.00000000");
    EXPECT_EQ(FitRight12("LU"), "          LU");
    EXPECT_EQ(FitRight12("ABCDEFGHIJKLMN"), "ABCDEFGHIJKL");
    EXPECT_EQ(FitLeft12("X"), "X           ");
    EXPECT_EQ(TimeText(0), "0 seconds");
    EXPECT_EQ(TimeText(-3), "0 seconds");
    EXPECT_EQ(TimeText(NAN), "0 seconds");
    EXPECT_EQ(TimeText(90061.7), "1 days, 1 hours, 1 minutes, 1 seconds");
}

TEST(Text, NumbersIgnoreADecimalCommaLocale) {
    const std::string keep = std::setlocale(LC_ALL, nullptr);
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "no de_DE.UTF-8 locale here";
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");  // the environment would bite
    EXPECT_EQ(CAtof("0.5"), 0.5);
    EXPECT_EQ(Format("%.2f", 1.5), "1.50");
    EXPECT_EQ(Real12(-2.25), " -2.25000000");
    EXPECT_EQ(UpperCase("winters"), "WINTERS");
    std::setlocale(LC_ALL, keep.c_str());
}
