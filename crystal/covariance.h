#pragma once

namespace koravel {

// A source of covariances between refined fractional coordinates, such as the
// variance-covariance matrix of a least-squares refinement.
class TCovSource {
 public:
  virtual ~TCovSource() = default;
  // Index of the refined parameter holding coordinate `axis` (0 = x, 1 = y,
  // 2 = z) of atom `atom`, or -1 when that coordinate is not refined.
  virtual int ParamIndex(int atom, int axis) const = 0;
  // Covariance of parameters i and j in squared fractional units.
  virtual double Covariance(int i, int j) const = 0;
};

}  // namespace koravel
