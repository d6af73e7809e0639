#include "processing/size_statistics.h"

#include <algorithm>
#include <cmath>

namespace vesk {

SizeStatistics ComputeSizeStatistics(std::span<const std::uint32_t, kStatisticsBins> bins,
                                     unsigned lowerUm, unsigned upperUm) {
  constexpr unsigned kLastBin = kStatisticsBins - 1;
  const unsigned first = std::min(lowerUm / kMicronsPerBin, kLastBin);
  const unsigned last = std::min(upperUm / kMicronsPerBin, kLastBin);
  SizeStatistics out;
  if (first > last) return out;
  double weighted = 0;
  for (unsigned k = first; k <= last; ++k) {
    out.count += bins[k];
    weighted += static_cast<double>(bins[k]) * kMicronsPerBin * k;
  }
  if (out.count == 0) return out;
  const double n = static_cast<double>(out.count);
  out.mean = static_cast<int>(weighted / n);
  if (out.count < 2) return out;
  double squares = 0;
  for (unsigned k = first; k <= last; ++k) {
    const double d = static_cast<double>(kMicronsPerBin * k) - out.mean;
    squares += static_cast<double>(bins[k]) * d * d;
  }
  out.deviation = static_cast<int>(std::sqrt(squares / (n - 1)));
  return out;
}

}  // namespace vesk
