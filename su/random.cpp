#include "su/random.h"

#include <algorithm>
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

namespace {

// PortableLog of n numbers, with the same operations in the same order for
// each, so the same bits, in loops over the numbers that the compiler runs
// several at a time.
void PortableLogs(const double* x, double* out, std::size_t n) {
  constexpr std::size_t kMost = 256;
  double t[kMost], t2[kMost], series[kMost], exponent[kMost];
  for (std::size_t p = 0; p < n; ++p) {
    int e = 0;
    const double m = std::frexp(x[p], &e);
    exponent[p] = e;
    t[p] = (m - 1) / (m + 1);
  }
  for (std::size_t p = 0; p < n; ++p) {
    t2[p] = t[p] * t[p];
    series[p] = 0;
  }
  for (int i = 19; i >= 0; --i) {
    const double k = kOddReciprocals[static_cast<size_t>(i)];
    for (std::size_t p = 0; p < n; ++p) series[p] = series[p] * t2[p] + k;
  }
  for (std::size_t p = 0; p < n; ++p) out[p] = exponent[p] * kLn2 + 2 * t[p] * series[p];
}

}  // namespace

void TNormalDeviates::Fill(double* out, std::size_t n) {
  constexpr std::size_t kBatch = 256;
  std::size_t k = 0;
  if (HaveSpare_ && n > 0) {
    out[k++] = Spare_;
    HaveSpare_ = false;
  }
  double u[kBatch], v[kBatch], s[kBatch], logs[kBatch];
  while (k < n) {
    const std::size_t pairs = std::min(kBatch, (n - k + 1) / 2);
    for (std::size_t p = 0; p < pairs; ++p) {
      do {
        u[p] = 2 * Uniform() - 1;
        v[p] = 2 * Uniform() - 1;
        s[p] = u[p] * u[p] + v[p] * v[p];
      } while (s[p] >= 1 || s[p] == 0);
    }
    PortableLogs(s, logs, pairs);
    for (std::size_t p = 0; p < pairs; ++p) {
      const double factor = std::sqrt(-2 * logs[p] / s[p]);
      out[k++] = u[p] * factor;
      if (k < n) {
        out[k++] = v[p] * factor;
      } else {
        Spare_ = v[p] * factor;
        HaveSpare_ = true;
      }
    }
  }
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
