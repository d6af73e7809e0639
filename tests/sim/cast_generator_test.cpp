// The simulated cast is valid input: frames without errors, sentences with their checksums,
// CTD lines that parse, the same bytes for the same seed however they are asked for.

#include "sim/cast_generator.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "test_support/frame_builder.h"

namespace vesk {
namespace {

std::vector<std::uint8_t> Stream(const CastOptions& o, double seconds) {
  CastGenerator gen(o);
  std::vector<std::uint8_t> out;
  gen.AdvanceTo(seconds, out);
  return out;
}

TEST(CastGenerator, StreamDeframesIntoValidFramesWithoutErrors) {
  std::setlocale(LC_NUMERIC, "C");
  // The textbook GGA example and its checksum.
  EXPECT_EQ(WithNmeaChecksum("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
  for (int model : {0, 4}) {
    SCOPED_TRACE(model);
    CastOptions o;
    o.ctdModel = model;
    o.seed = 7;
    const auto bytes = Stream(o, 120.0);
    const test::DeframeResult d = test::Deframe(bytes);
    EXPECT_TRUE(d.aborted.empty());
    std::map<char, int> count;
    for (const Frame& f : d.frames) {
      ++count[static_cast<char>(f[0])];
      const std::string s(f.begin() + 1, f.end());
      if (f[0] == '$') {
        ASSERT_GE(s.size(), 4u);
        EXPECT_EQ(WithNmeaChecksum(s.substr(0, s.size() - 3)), s);
        EXPECT_EQ(s.find_first_of("\r\n"), std::string::npos);
      } else if (f[0] == 'C' && model == 0) {
        float p, c, t, a;
        ASSERT_EQ(std::sscanf(s.c_str(), "%f%f%f%f", &p, &c, &t, &a), 4) << s;
        EXPECT_TRUE(p >= 1.5f && p <= 82.0f && c > 25.0f && c < 50.0f && t > 3.0f && t < 17.0f)
            << s;  // dbar, mS/cm and degrees C of a cast in sea water
      }
    }
    EXPECT_EQ(count['L'], 240) << "two L frames a second";
    EXPECT_EQ(count['$'], 240) << "a GGA and an RMC each second";
    EXPECT_EQ(count['C'], model == 0 ? 3000 : 240) << "the CTD's own rate";
    EXPECT_GT(count['M'], 100);
    EXPECT_EQ(count.size(), 4u);
    // Start-up text comes before the first frame and holds no frame introducer.
    const std::string startup = CastGenerator::StartupText();
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + startup.size()), startup);
    EXPECT_EQ(startup.find('~'), std::string::npos);
    EXPECT_EQ(bytes[startup.size()], kTilde);
  }
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
