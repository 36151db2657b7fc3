#include <gtest/gtest.h>

#include "base/Matrix.h"

using zelk::Matrix;

TEST(Matrix, ResizeFillsAndRowMajor) {
    Matrix m(2, 3, 7.0, "M");
    EXPECT_EQ(m.Rows(), 2);
    EXPECT_EQ(m.Cols(), 3);
    m.Set(1, 2, 5.0);
    EXPECT_EQ(m.Data()[1 * 3 + 2], 5.0);
    m.Resize(1, 1, -1.0);
    EXPECT_EQ(m.Get(0, 0), -1.0);
    m.Resize(0, 4);
    EXPECT_TRUE(m.Empty());
}
