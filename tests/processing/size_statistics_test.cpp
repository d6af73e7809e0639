// Mean size and standard deviation of a size range of the cumulative bins.

#include "processing/size_statistics.h"

#include <gtest/gtest.h>

#include <array>
#include <initializer_list>
#include <utility>

namespace vesk {
namespace {

using Bins = std::array<std::uint32_t, kStatisticsBins>;

Bins With(std::initializer_list<std::pair<int, std::uint32_t>> counts) {
  Bins bins{};
  for (auto [k, n] : counts) bins[k] = n;
  return bins;
}

TEST(SizeStatistics, RangesOfKnownBins) {
  struct Case {
    const char* name;
    Bins bins;
    unsigned lower, upper;
    int mean, deviation;
  };
  const Case cases[] = {
      // 15 x sqrt(20/19) = 15.39 shown as 15.
      {"10 counts in bins 10 and 12", With({{10, 10}, {12, 10}}), 150, 180, 165, 15},
      {"single bin shows 15 k and 0", With({{20, 7}}), 105, 375, 300, 0},
      {"counts outside the range are left out", With({{6, 100}, {10, 10}, {12, 10}}), 150, 180, 165,
       15},
      {"no counts: average 0", With({{1, 5}}), 1080, 1425, 0, 0},
      {"limits between bins round down", With({{10, 4}, {11, 4}}), 164, 179, 157, 8},
      {"upper limit past 1905 um ends at bin 127", With({{127, 3}}), 1800, 4000, 1905, 0},
      {"lower limit past 1905 um reads the last bin", With({{127, 3}}), 3000, 4000, 1905, 0},
      {"mean truncated, deviation about it", With({{1, 1}, {2, 2}}), 0, 45, 25, 8},
  };
  for (const Case& c : cases) {
    const SizeStatistics s = ComputeSizeStatistics(c.bins, c.lower, c.upper);
    EXPECT_EQ(s.mean, c.mean) << c.name;
    EXPECT_EQ(s.deviation, c.deviation) << c.name;
  }
}

TEST(SizeStatistics, LargeCountsDoNotOverflow) {
  Bins bins{};
  bins.fill(0xFFFFFFFFu);
  const SizeStatistics s = ComputeSizeStatistics(bins, 0, 1905);
  EXPECT_EQ(s.count, 128ull * 0xFFFFFFFFull);
  EXPECT_EQ(s.mean, 952);  // 15 x 63.5 = 952.5
}

}  // namespace
}  // namespace vesk
