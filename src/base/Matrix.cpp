#include "base/Matrix.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace zelk {

Matrix::Matrix(int rows, int cols, double fill, std::string name) : m_name(std::move(name)) {
    Resize(rows, cols, fill);
}

Matrix Matrix::Uninitialised(int rows, int cols) {
    Matrix m;
    if (rows <= 0 || cols <= 0) return m;
    m.m_rows = rows;
    m.m_cols = cols;
    m.m_data.resize(static_cast<size_t>(rows) * cols);
    return m;
}

void Matrix::Resize(int rows, int cols, double fill) {
    if (rows <= 0 || cols <= 0) {
        m_rows = m_cols = 0;
        m_data.clear();
        return;
    }
    m_rows = rows;
    m_cols = cols;
    m_data.assign(static_cast<size_t>(rows) * cols, fill);
}

double Matrix::Max() const {
    double m = -std::numeric_limits<double>::infinity();
    for (double v : m_data) m = std::max(m, v);
    return m;
}
double Matrix::Min() const {
    double m = std::numeric_limits<double>::infinity();
    for (double v : m_data) m = std::min(m, v);
    return m;
}
double Matrix::ColMax(int c) const {
    double m = -std::numeric_limits<double>::infinity();
    for (int r = 0; r < m_rows; ++r) m = std::max(m, Get(r, c));
    return m;
}
double Matrix::ColMin(int c) const {
    double m = std::numeric_limits<double>::infinity();
    for (int r = 0; r < m_rows; ++r) m = std::min(m, Get(r, c));
    return m;
}

namespace {
template <class F>
Matrix Map(const Matrix& a, F f) {
    Matrix r(a.Rows(), a.Cols(), 0.0, a.Name());
    for (int i = 0; i < a.Size(); ++i) r.Data()[i] = f(a.Data()[i]);
    return r;
}
}  // namespace

Matrix Matrix::Scale(double f) const { return Map(*this, [f](double v) { return v * f; }); }

Matrix Matrix::Transpose() const {
    Matrix r(m_cols, m_rows, 0.0, m_name);
    for (int i = 0; i < m_rows; ++i)
        for (int j = 0; j < m_cols; ++j) r.Set(j, i, Get(i, j));
    return r;
}

Matrix Matrix::Sub(int r1, int r2, int c1, int c2) const {
    r1 = std::max(r1, 1);
    c1 = std::max(c1, 1);
    r2 = std::min(r2, m_rows);
    c2 = std::min(c2, m_cols);
    if (r2 < r1 || c2 < c1) return Matrix(0, 0, 0.0, m_name);
    Matrix r(r2 - r1 + 1, c2 - c1 + 1, 0.0, m_name);
    for (int i = r1; i <= r2; ++i)
        for (int j = c1; j <= c2; ++j) r.Set(i - r1, j - c1, Get(i - 1, j - 1));
    return r;
}



bool Matrix::EqualWithin(const Matrix& b, double tol) const {
    if (m_rows != b.m_rows || m_cols != b.m_cols) return false;
    for (size_t i = 0; i < m_data.size(); ++i)
        if (!(std::fabs(m_data[i] - b.m_data[i]) < tol)) return false;
    return true;
}

void Matrix::AppendToColumn(double v) {
    if (Empty()) {
        Resize(1, 1, v);
        return;
    }
    m_data.push_back(v);
    ++m_rows;
}

void Matrix::AppendRow(const double* values, int count) {
    if (Empty()) {
        Resize(1, count, 0.0);
        std::copy(values, values + count, m_data.begin());
        return;
    }
    m_data.insert(m_data.end(), values, values + std::min(count, m_cols));
    for (int i = count; i < m_cols; ++i) m_data.push_back(0.0);
    ++m_rows;
}


Matrix Mul(const Matrix& a, const Matrix& b) {
    Matrix r(a.Rows(), b.Cols(), 0.0, a.Name());
    for (int i = 0; i < a.Rows(); ++i)
        for (int k = 0; k < a.Cols(); ++k) {
            double aik = a.Get(i, k);
            for (int j = 0; j < b.Cols(); ++j) r(i, j) += aik * b.Get(k, j);
        }
    return r;
}
Matrix Mul(const Matrix& a, const Matrix& b, const Matrix& c) { return Mul(Mul(a, b), c); }



}  // namespace zelk
