// Matrix: a named, row-major two-dimensional array of doubles, with the operations the
// engine, the result files and the view use. Every operation allocates its result; sizes
// that must agree are the caller's to guarantee.
#pragma once

#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace zelk {

// The standard allocator, except that an element made without a value is left
// uninitialised (Matrix::Uninitialised).
template <class T>
struct DefaultInitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = DefaultInitAllocator<U>;
    };
    DefaultInitAllocator() = default;
    template <class U>
    DefaultInitAllocator(const DefaultInitAllocator<U>&) noexcept {}
    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a) {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};

// Value that fills every matrix sized before its values are known ("not set").
constexpr double kNotSet = -999999999.0;

class Matrix {
public:
    Matrix() = default;
    Matrix(int rows, int cols, double fill = 0.0, std::string name = std::string());
    // A matrix whose elements are not set: for one the caller fills whole, where clearing
    // it first would touch every page of a large block at once.
    static Matrix Uninitialised(int rows, int cols);

    int Rows() const { return m_rows; }
    int Cols() const { return m_cols; }
    int Size() const { return m_rows * m_cols; }
    bool Empty() const { return m_rows * m_cols == 0; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // Discards the contents; every element becomes `fill`.
    void Resize(int rows, int cols, double fill = 0.0);
    void Clear() { m_rows = m_cols = 0; m_data.clear(); }

    double Get(int r, int c) const { return m_data[static_cast<size_t>(r) * m_cols + c]; }
    void Set(int r, int c, double v) { m_data[static_cast<size_t>(r) * m_cols + c] = v; }
    double& operator()(int r, int c) { return m_data[static_cast<size_t>(r) * m_cols + c]; }
    double operator()(int r, int c) const { return m_data[static_cast<size_t>(r) * m_cols + c]; }
    double* Data() { return m_data.data(); }
    const double* Data() const { return m_data.data(); }
    double* Row(int r) { return m_data.data() + static_cast<size_t>(r) * m_cols; }
    const double* Row(int r) const { return m_data.data() + static_cast<size_t>(r) * m_cols; }

    double Max() const;
    double Min() const;
    double ColMax(int c) const;
    double ColMin(int c) const;

    Matrix Scale(double f) const;
    Matrix Transpose() const;
    // 1-based inclusive ranges, as written in the formulas.
    Matrix Sub(int r1, int r2, int c1, int c2) const;

    bool EqualWithin(const Matrix& b, double tol = 1e-9) const;

    // Appends one element to a column vector (an empty matrix becomes 1 x 1).
    void AppendToColumn(double v);
    // Appends a row (cols must agree unless this matrix is empty).
    void AppendRow(const double* values, int count);
    void AppendRow(const std::vector<double>& values) { AppendRow(values.data(), static_cast<int>(values.size())); }


private:
    int m_rows = 0;
    int m_cols = 0;
    std::string m_name;
    std::vector<double, DefaultInitAllocator<double>> m_data;
};

Matrix Mul(const Matrix& a, const Matrix& b);
Matrix Mul(const Matrix& a, const Matrix& b, const Matrix& c);

}  // namespace zelk
