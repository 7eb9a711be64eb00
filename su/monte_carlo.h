#pragma once
#include <vector>

#include "su/propagation.h"

namespace koravel {

// The mean and standard deviation of a quantity over random draws of the
// free parameters from their covariance.
struct TMonteCarlo {
  long long Draws = 0;
  double Mean = 0;
  double Sd = 0;
};

// Checks the propagated su by sampling: `draws` draws of the free parameters
// the points depend on, from N(0, C) by the Cholesky factor of C, every
// coordinate and cell parameter rebuilt from them, every quantity evaluated
// anew for each draw. The deviates are the same on every platform (fixed
// seed), so a run prints the same digits on Linux and Windows.
std::vector<TMonteCarlo> MonteCarlo(const TStructure& s, const TParameters& params,
                                    const std::vector<TPoint>& points,
                                    const std::vector<TQuantity>& quantities, long long draws);

}  // namespace koravel
