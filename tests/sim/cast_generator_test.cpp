// The simulated cast: the same bytes for the same seed however they are asked for. That it is
// valid input the whole-program runs show (no frame errors in what they record).

#include "sim/cast_generator.h"

#include <gtest/gtest.h>

#include <vector>

namespace vesk {
namespace {

std::vector<std::uint8_t> Stream(const CastOptions& o, double seconds) {
  CastGenerator gen(o);
  std::vector<std::uint8_t> out;
  gen.AdvanceTo(seconds, out);
  return out;
}

TEST(CastGenerator, SameSeedSameBytesHoweverCut) {
  CastOptions o;
  o.seed = 42;
  const auto once = Stream(o, 60.0);
  CastGenerator gen(o);
  std::vector<std::uint8_t> pieces;
  for (double t = 0.013; t < 60.0; t += 0.137) gen.AdvanceTo(t, pieces);
  gen.AdvanceTo(60.0, pieces);
  EXPECT_EQ(pieces, once);
  EXPECT_EQ(Stream(o, 60.0), once);
  o.seed = 43;
  EXPECT_NE(Stream(o, 60.0), once);
}

}  // namespace
}  // namespace vesk
