#pragma once
#include <cstddef>
#include <vector>

namespace koravel {

// A small dense matrix of doubles, row-major.
struct TMatrix {
  std::size_t Rows = 0, Cols = 0;
  std::vector<double> Data;

  TMatrix() = default;
  TMatrix(std::size_t rows, std::size_t cols) : Rows(rows), Cols(cols), Data(rows * cols, 0.0) {}
  double& operator()(std::size_t i, std::size_t j) { return Data[i * Cols + j]; }
  double operator()(std::size_t i, std::size_t j) const { return Data[i * Cols + j]; }
};

// A parametrisation of the solutions d of the homogeneous system A·d = 0
// (A: rows × n) by free variables chosen among `preferred` (variable
// indices, most preferred first): B (n × |free|) with B[free[j]][j] = 1 and
// every column a solution. The solution space may have more dimensions than
// the preferred variables reach; those extra directions are held at zero
// (the variables that would carry them stay where they are).
struct TParametrisation {
  std::vector<int> Free;  // chosen free variables, in the order of `preferred`
  TMatrix B;
};
TParametrisation Parametrise(const TMatrix& a, const std::vector<int>& preferred);

// The lower-triangular L with L·Lᵀ = C for a symmetric positive
// semidefinite C; a direction of zero variance gives a zero column.
TMatrix Cholesky(const TMatrix& c);

}  // namespace koravel
