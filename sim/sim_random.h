#pragma once
// The simulator's random numbers: a small generator whose sequence depends on the seed only
// (not on the standard library's distributions), so a seed gives the same stream anywhere.

#include <cmath>
#include <cstdint>

namespace vesk {

class SimRandom {
 public:
  explicit SimRandom(std::uint64_t seed) : state_(seed) {}

  // splitmix64
  std::uint64_t Next() {
    std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }
  double Uniform(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
  // Integer in [lo, hi].
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<std::uint64_t>(hi - lo + 1));
  }
  // Standard normal (Box-Muller, one value per call).
  double Normal() {
    const double u1 = 1.0 - Uniform();
    const double u2 = Uniform();
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }
  double Normal(double mean, double sd) { return mean + sd * Normal(); }
  // Poisson count with the given mean (normal approximation for large means).
  unsigned Poisson(double mean) {
    if (mean <= 0) return 0;
    if (mean > 30) {
      const double v = std::round(Normal(mean, std::sqrt(mean)));
      return v < 0 ? 0u : static_cast<unsigned>(v);
    }
    const double limit = std::exp(-mean);
    unsigned k = 0;
    double p = Uniform();
    while (p > limit) {
      ++k;
      p *= Uniform();
    }
    return k;
  }

 private:
  std::uint64_t state_;
};

}  // namespace vesk
