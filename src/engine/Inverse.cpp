// In-place inverse of a square matrix by Crout decomposition (A = L U, unit diagonal in U),
// without pivoting: a zero pivot yields infinities or NaNs, as the arithmetic gives.
#include "engine/Engine.h"

namespace zelk {

void InvertInPlace(Matrix& a) {
    const int n = a.Rows();
    if (n == 0 || a.Cols() != n) return;
    if (n == 1) {
        a(0, 0) = 1.0 / a(0, 0);
        return;
    }
    // Decomposition.
    for (int j = 1; j < n; ++j) a(0, j) /= a(0, 0);
    for (int i = 1; i < n; ++i) {
        for (int j = i; j < n; ++j) {  // column i of L
            double s = 0;
            for (int k = 0; k < i; ++k) s += a(j, k) * a(k, i);
            a(j, i) -= s;
        }
        for (int j = i + 1; j < n; ++j) {  // row i of U
            double s = 0;
            for (int k = 0; k < i; ++k) s += a(i, k) * a(k, j);
            a(i, j) = (a(i, j) - s) / a(i, i);
        }
    }
    // L^-1 in place, column by column.
    for (int i = 0; i < n; ++i)
        for (int j = i; j < n; ++j) {
            double s = j == i ? 1.0 : 0.0;
            for (int k = i; k < j; ++k) s -= a(j, k) * a(k, i);
            a(j, i) = s / a(j, j);
        }
    // U^-1 in place (unit diagonal).
    for (int j = 1; j < n; ++j)
        for (int i = 0; i < j; ++i) {
            double s = a(i, j);
            for (int k = i + 1; k < j; ++k) s += a(i, k) * a(k, j);
            a(i, j) = -s;
        }
    // U^-1 L^-1 in place.
    for (int j = 0; j < n; ++j)
        for (int i = 0; i < n; ++i) {
            const int k0 = i > j ? i : j;
            double s = 0;
            for (int k = k0; k < n; ++k) s += (k == j ? 1.0 : a(j, k)) * a(k, i);
            a(j, i) = s;
        }
}

}  // namespace zelk
