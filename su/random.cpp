#include "su/random.h"

#include <array>
#include <cmath>

namespace koravel {

namespace {

std::uint64_t Rotl(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

std::uint64_t SplitMix64(std::uint64_t& state) {
  std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

constexpr double kLn2 = 0.69314718055994530942;

// 1/k for k = 1, 3, ..., 39, correctly rounded as a division at run time
// would give them.
constexpr std::array<double, 20> kOddReciprocals = [] {
  std::array<double, 20> r{};
  for (int i = 0; i < 20; ++i) r[static_cast<size_t>(i)] = 1.0 / (2 * i + 1);
  return r;
}();

}  // namespace

TNormalDeviates::TNormalDeviates(std::uint64_t seed) {
  for (std::uint64_t& s : State_) s = SplitMix64(seed);
}

std::uint64_t TNormalDeviates::NextBits() {
  const std::uint64_t result = Rotl(State_[1] * 5, 7) * 9;
  const std::uint64_t t = State_[1] << 17;
  State_[2] ^= State_[0];
  State_[3] ^= State_[1];
  State_[1] ^= State_[2];
  State_[0] ^= State_[3];
  State_[2] ^= t;
  State_[3] = Rotl(State_[3], 45);
  return result;
}

double TNormalDeviates::Uniform() { return static_cast<double>(NextBits() >> 11) * 0x1.0p-53; }

double TNormalDeviates::Next() {
  if (HaveSpare_) {
    HaveSpare_ = false;
    return Spare_;
  }
  double u, v, s;
  do {
    u = 2 * Uniform() - 1;
    v = 2 * Uniform() - 1;
    s = u * u + v * v;
  } while (s >= 1 || s == 0);
  const double factor = std::sqrt(-2 * PortableLog(s) / s);
  Spare_ = v * factor;
  HaveSpare_ = true;
  return u * factor;
}

double PortableLog(double x) {
  int e = 0;
  const double m = std::frexp(x, &e);
  const double t = (m - 1) / (m + 1);  // |t| <= 1/3
  const double t2 = t * t;
  // 2 (t + t³/3 + t⁵/5 + ...), 20 terms: the next is below 1e-20 of the sum.
  double series = 0;
  for (int i = 19; i >= 0; --i) series = series * t2 + kOddReciprocals[static_cast<size_t>(i)];
  return e * kLn2 + 2 * t * series;
}

}  // namespace koravel
