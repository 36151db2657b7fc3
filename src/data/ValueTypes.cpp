// The value-type checks after preparation: O and N hold non-negative integers, S and A
// hold 0 or 1.
#include <cmath>

#include "data/Preparation.h"

namespace zelk {

namespace {

constexpr double kTol = 1e-8;

bool NonNegativeIntegers(const Matrix& m) {
    for (int i = 0; i < m.Size(); ++i) {
        const double v = m.Data()[i];
        if (!(v >= -kTol)) return false;
        if (!(std::fabs(v - std::ceil(v)) <= kTol || std::fabs(v - std::floor(v)) <= kTol)) return false;
    }
    return true;
}

bool ZeroOne(const Matrix& m) {
    for (int i = 0; i < m.Size(); ++i) {
        const double v = m.Data()[i];
        if (!(std::fabs(v) <= kTol || std::fabs(v - 1) <= kTol)) return false;
    }
    return true;
}

}  // namespace

std::string ValueTypeError(const DataSet& data) {
    if (!NonNegativeIntegers(data.mDataO)) return "Error: Type O variables are not all non-negative integers";
    if (!ZeroOne(data.mDataS)) return "Error: Type S variables are not all 0-1 integers";
    if (!NonNegativeIntegers(data.mDataN)) return "Error: Type N variables are not all non-negative integers";
    if (!ZeroOne(data.mDataA)) return "Error: Type A variables are not all 0-1 integers";
    return std::string();
}

}  // namespace zelk
