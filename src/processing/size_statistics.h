#pragma once
// The count-weighted mean size and standard deviation of a size range of the 128 bins,
// with bin k standing for 15 x k um, as the statistical size analysis shows them.

#include <cstdint>
#include <span>

namespace vesk {

inline constexpr int kMicronsPerBin = 15;
inline constexpr int kStatisticsBins = 128;

struct SizeStatistics {
  int mean = 0;       // um, truncated; 0 for a range without counts
  int deviation = 0;  // um, truncated; 0 for fewer than two counts
  std::uint64_t count = 0;
};

// The range is lower / 15 to upper / 15, both bins included; limits past the last bin
// (1905 um) stand for the last bin. The deviation is taken about the truncated mean and
// divides by N - 1.
SizeStatistics ComputeSizeStatistics(std::span<const std::uint32_t, kStatisticsBins> bins,
                                     unsigned lowerUm, unsigned upperUm);

}  // namespace vesk
