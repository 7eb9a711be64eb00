#pragma once
#include <cstddef>
#include <cstdint>

namespace koravel {

// Normal deviates that are the same on every platform: xoshiro256**
// (Blackman and Vigna, ACM Trans. Math. Softw. 47 (2021) 36) seeded by
// splitmix64, and Marsaglia's polar method (Marsaglia and Bray, SIAM Rev. 6
// (1964) 260) with a logarithm computed here from IEEE arithmetic alone, so
// that no system library's rounding enters.
class TNormalDeviates {
 public:
  explicit TNormalDeviates(std::uint64_t seed);
  double Next();  // N(0, 1)
  // The next n deviates, exactly those of n calls of Next(), made a batch
  // of pairs at a time so that their logarithms are worked out side by side.
  void Fill(double* out, std::size_t n);

 private:
  std::uint64_t NextBits();
  double Uniform();  // [0, 1)

  std::uint64_t State_[4];
  bool HaveSpare_ = false;
  double Spare_ = 0;
};

// ln x for x > 0 from IEEE operations only (frexp, +, *, /): x = m·2^e with
// m in [1/2, 1) and ln m = 2 artanh((m - 1)/(m + 1)) by its series.
double PortableLog(double x);

}  // namespace koravel
