#pragma once
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "su/point_model.h"
#include "su/vector_math.h"

namespace koravel {

// The mean and standard deviation of a quantity over random draws of the
// free parameters from their covariance.
struct TMonteCarlo {
  long long Draws = 0;
  double Mean = 0;
  double Sd = 0;
};

// Scalar functions of the Cartesian positions of points, evaluated once
// per draw.
using TPlainQuantity = std::function<double(const std::vector<TVec3Of<double>>&)>;

// Samples the points a set of free parameters moves: draws of the parameters
// from N(0, C) by the Cholesky factor of C, every coordinate and cell
// parameter rebuilt from them. The deviates are the same on every platform
// (fixed seed), so a run prints the same digits on Linux and Windows.
class TPointSampler {
 public:
  TPointSampler(const TStructure& s, const TParameters& params, const TPointModel& model,
                const TMatrix& covariance);

  // Exactly `draws` draws (a check the user asks for).
  std::vector<TMonteCarlo> Run(const std::vector<TPlainQuantity>& quantities, long long draws) const;

  // Draws in rounds that double, from 1000, until every quantity's sd prints
  // the same su (rule of 19: one or two significant digits) as at half as
  // many draws; at most kMaxStableDraws. This gives the su of a quantity
  // where propagation fails (an angle across a straight line), so it draws
  // as many times as the digits printed need, and no more.
  std::vector<TMonteCarlo> RunUntilStable(const std::vector<TPlainQuantity>& quantities) const;

  static constexpr long long kFirstRound = 1000;
  static constexpr long long kMaxStableDraws = 16000;

 private:
  // One non-zero entry of ∂F/∂q: point `Point` moves by `Shift` per unit of
  // parameter `Param`.
  struct TShift {
    size_t Param = 0, Point = 0;
    TVec3 Shift{};
  };

  struct TRun;
  void Draw(TRun& run) const;
  void DrawUntil(TRun& run, const std::vector<TPlainQuantity>& quantities, long long draws) const;

  // Cholesky factor L of the parameters' covariance: (column, value) of each
  // non-zero entry, row by row; row a's are L_[LStart_[a]] to L_[LStart_[a + 1] − 1].
  std::vector<std::pair<size_t, double>> L_;
  std::vector<size_t> LStart_;
  std::vector<TVec3> Frac_;     // fractional mean of each point at the given values
  std::vector<TShift> Shifts_;  // coordinate parameters
  std::vector<std::pair<size_t, size_t>> CellParams_;  // (local parameter, free cell index)
  TMatrix CellB_;
  std::array<double, 6> Cell_{};
  TMat3 Ortho_{};
};

}  // namespace koravel
