// The colour column of the surface through the document's operation: every scale, the
// contrast, the slice mode, the two-variable levels and the losses a scale cannot take.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/Document.h"
#include "support/FakePlatform.h"

namespace zelk {
namespace {

struct ColourCase {
    const char* scale;
    double pow, perc;
    int sliceVar, K;
    std::vector<double> lu;
    std::vector<double> expected;  // the colour column
};

class SurfaceColours : public ::testing::TestWithParam<ColourCase> {};

TEST_P(SurfaceColours, ColumnFollowsTheScale) {
    const ColourCase& c = GetParam();
    FakePlatform pf;
    CZELKDoc doc(pf, false);
    doc.data.iNumVar = c.K;
    Matrix s(static_cast<int>(c.lu.size()), c.K + 2, 1.0);
    for (size_t r = 0; r < c.lu.size(); ++r) {
        s(static_cast<int>(r), 0) = c.lu[r];
        s(static_cast<int>(r), c.K + 1) = 7;  // what the scale " " must keep
    }
    doc.surf.mSurface = s;
    doc.surf.sLuScale = c.scale;
    doc.opt.dSurfacePow = c.pow;
    doc.opt.dPercSurfMap = c.perc;
    doc.disp.iSliceVar = c.sliceVar;
    doc.RecomputeSurfaceColours();
    for (size_t r = 0; r < c.lu.size(); ++r)
        EXPECT_NEAR(doc.surf.mSurface(static_cast<int>(r), c.K + 1), c.expected[r], 1e-9)
            << c.scale << " row " << r;
}

const std::vector<double> kLu{1, 10, 100};
const std::vector<double> kAll0{0, 0, 0};

INSTANTIATE_TEST_SUITE_P(
    EveryScale, SurfaceColours,
    ::testing::Values(
        // Three variables: light for a low loss (255 - g).
        ColourCase{"Log(Lu)", -1, 1, -1, 3, kLu, {254, 127, 0}},
        ColourCase{"Lu", -1, 1, -1, 3, kLu, {254, 255 - 24.090909090909091, 0}},
        ColourCase{"Pow(Lu,0.5)", 0.5, 1, -1, 3, kLu, {254, 255 - 62.024280631418705, 0}},
        // A negative exponent exchanges the ends: the smallest loss is at the top.
        ColourCase{"Pow(Lu,-1.0)", -1, 1, -1, 4, kLu, {0, 255 - 24.090909090909093, 254}},
        // Exponents from -0.1 to 0.1 show every point alike.
        ColourCase{"Pow(Lu,0.0)", 0.0, 1, -1, 3, kLu, kAll0},
        ColourCase{"Pow(Lu,0.1)", 0.1, 1, -1, 3, kLu, kAll0},
        ColourCase{"Pow(Lu,-0.1)", -0.1, 1, -1, 4, kLu, kAll0},
        ColourCase{"Pow(Lu,0.05)", 0.05, 1, -1, 2, kLu, {255, 255, 255}},
        ColourCase{"1", -1, 1, -1, 3, kLu, kAll0},
        ColourCase{"Log(Lu)", -1, 1, 0, 3, kLu, kAll0},  // the Lu slice: every point black
        ColourCase{" ", -1, 1, -1, 3, kLu, {7, 7, 7}},
        // Contrast 0.5: the upper half of the range saturates.
        ColourCase{"Lu", -1, 0.5, -1, 3, {1, 50.5, 100}, {254, 0, 0}},
        ColourCase{"Lu", -1, 0.5, -1, 2, {1, 50.5, 100}, {1, 255, 255}},
        // Two variables: whole levels, not inverted.
        ColourCase{"Lu", -1, 1, -1, 2, kLu, {1, 24, 255}},
        ColourCase{"Log(Lu)", -1, 1, -1, 2, kLu, {1, 128, 255}},
        // A loss of 0 or below takes the level of the smallest positive loss.
        ColourCase{"Log(Lu)", -1, 1, -1, 3, {0, -1, 1, 10, 100}, {254, 254, 254, 127, 0}},
        ColourCase{"Pow(Lu,-1.0)", -1, 1, -1, 3, {0, 1, 10, 100}, {0, 0, 255 - 24.090909090909093, 254}},
        ColourCase{"Pow(Lu,2.0)", 2, 1, -1, 2, {-5, 0, 1, 3}, {1, 1, 1, 255}},
        // No spread: every point as on the uniform scale.
        ColourCase{"Log(Lu)", -1, 1, -1, 3, {2, 2, 0}, kAll0}));

}  // namespace
}  // namespace zelk
