#include "sim/cast_generator.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "processing/deframer.h"

namespace vesk {
namespace {

struct Deframed {
  std::vector<Frame> frames;
  int aborts = 0;
  std::map<char, int> count;
};

Deframed DeframeAll(const std::vector<std::uint8_t>& bytes, std::size_t step = 0) {
  Deframed d;
  Deframer deframer;
  auto onFrame = [&](std::span<const std::uint8_t> f) {
    d.frames.emplace_back(f.begin(), f.end());
    ++d.count[static_cast<char>(f[0])];
  };
  auto onAbort = [&](std::uint8_t) { ++d.aborts; };
  if (step == 0) step = bytes.size();
  for (std::size_t i = 0; i < bytes.size(); i += step) {
    deframer.Feed(bytes.data() + i, std::min(step, bytes.size() - i), onFrame, onAbort);
  }
  return d;
}

std::vector<std::uint8_t> Stream(const CastOptions& o, double seconds) {
  CastGenerator gen(o);
  std::vector<std::uint8_t> out;
  gen.AdvanceTo(seconds, out);
  return out;
}

std::string Text(const Frame& f) {
  return std::string(f.begin() + 1, f.end());
}

TEST(CastGenerator, StreamDeframesIntoTheFrameTypesWithoutErrors) {
  for (int model : {0, 4}) {
    CastOptions o;
    o.ctdModel = model;
    o.seed = 7;
    const auto bytes = Stream(o, 120.0);
    Deframed d = DeframeAll(bytes);
    EXPECT_EQ(d.aborts, 0);
    EXPECT_EQ(d.count['L'], 240) << "two L frames a second";
    EXPECT_EQ(d.count['$'], 240) << "a GGA and an RMC each second";
    EXPECT_EQ(d.count['C'], model == 0 ? 3000 : 240) << "the CTD's own rate";
    EXPECT_GT(d.count['M'], 100);
    EXPECT_EQ(d.count.size(), 4u);
    // Start-up text comes before the first frame and holds no frame introducer.
    const std::string startup = CastGenerator::StartupText();
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + startup.size()), startup);
    EXPECT_EQ(startup.find('~'), std::string::npos);
    EXPECT_EQ(bytes[startup.size()], kTilde);
  }
}

TEST(CastGenerator, NmeaSentencesHaveCorrectChecksums) {
  // The textbook GGA example and its checksum.
  EXPECT_EQ(WithNmeaChecksum("$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,"),
            "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47");
  const Deframed d = DeframeAll(Stream(CastOptions{}, 30.0));
  int gga = 0, rmc = 0;
  for (const Frame& f : d.frames) {
    if (f[0] != '$') continue;
    const std::string s = Text(f);
    ASSERT_GT(f.size(), 10u);
    ASSERT_GE(s.size(), 4u);
    ASSERT_EQ(s[0], '$');
    ASSERT_EQ(s[s.size() - 3], '*') << s;
    EXPECT_EQ(WithNmeaChecksum(s.substr(0, s.size() - 3)), s);
    EXPECT_EQ(s.find_first_of("\r\n"), std::string::npos);
    gga += s.rfind("$GPGGA,", 0) == 0;
    rmc += s.rfind("$GPRMC,", 0) == 0;
  }
  EXPECT_EQ(gga, 30);
  EXPECT_EQ(rmc, 30);
  CastGenerator gen(CastOptions{});
  EXPECT_EQ(gen.GgaSentence(0).substr(0, 39), "$GPGGA,120000.00,4439.0000,N,06330.0000");
  EXPECT_NE(gen.RmcSentence(3661).find(",130101.00,A,"), std::string::npos);
  EXPECT_NE(gen.RmcSentence(0).find(",150626,"), std::string::npos);
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

TEST(CastGenerator, CastDescendsThroughAThermoclineAndReturns) {
  CastOptions o;
  o.maxDepth = 60;
  CastGenerator gen(o);
  double deepest = 0, warmest = -10, coldest = 100;
  bool cameBack = false;
  for (double t = 0; t < 200; t += 0.5) {
    const CastState s = gen.StateAt(t);
    deepest = std::max(deepest, s.depth);
    if (deepest >= 60 && s.depth < 3) cameBack = true;
    warmest = std::max(warmest, s.temperature);
    coldest = std::min(coldest, s.temperature);
    EXPECT_GE(s.salinity, 33.0);
    EXPECT_LE(s.salinity, 35.0);
    EXPECT_GT(s.pressure, s.depth * 0.99);
    EXPECT_LT(s.pressure, s.depth * 1.02 + 0.1);
  }
  EXPECT_NEAR(deepest, 60.0, 1e-9);
  EXPECT_TRUE(cameBack);
  EXPECT_GT(warmest - coldest, 8.0);
}

TEST(CastGenerator, MicroCtdLinesParseToTheCast) {
  std::setlocale(LC_NUMERIC, "C");
  CastOptions o;
  CastGenerator gen(o);
  const Deframed d = DeframeAll(Stream(o, 100.0));
  int lines = 0;
  for (const Frame& f : d.frames) {
    if (f[0] != 'C') continue;
    float p, c, t, a;
    const std::string s = Text(f);
    ASSERT_EQ(std::sscanf(s.c_str(), "%f%f%f%f", &p, &c, &t, &a), 4) << s;
    ++lines;
    EXPECT_GE(p, 1.5f);
    EXPECT_LE(p, 82.0f);
    EXPECT_GT(c, 25.0f);  // mS/cm of sea water
    EXPECT_LT(c, 50.0f);
    EXPECT_GT(t, 3.0f);
    EXPECT_LT(t, 17.0f);
  }
  EXPECT_EQ(lines, 2500);
  // A line for a known state: pressure, conductivity in mS/cm, temperature, analog.
  CastState s;
  s.pressure = 10.5;
  s.conductivity = 3.01;
  s.temperature = 12.3;
  EXPECT_EQ(gen.CtdLine(s, 0.7), "10.50 30.100 12.300 0.700");
}

TEST(CastGenerator, SyntheticRecordingHasATextHeaderThenTheStream) {
  const auto path = std::filesystem::temp_directory_path() / "vesk_sim_recording_test.bin";
  CastOptions o;
  o.seed = 5;
  const std::size_t streamBytes = WriteSyntheticRecording(path.string(), o, 20.0);
  std::ifstream in(path, std::ios::binary);
  const std::vector<std::uint8_t> file((std::istreambuf_iterator<char>(in)), {});
  std::filesystem::remove(path);
  ASSERT_GT(file.size(), streamBytes);
  const std::size_t headerSize = file.size() - streamBytes;
  const std::string header(file.begin(), file.begin() + headerSize);
  EXPECT_EQ(header.find('~'), std::string::npos);
  for (std::size_t line = 0; line < header.size(); line = header.find('\n', line) + 1) {
    EXPECT_EQ(header.compare(line, 2, "# "), 0) << header.substr(line);
  }
  EXPECT_EQ(std::vector<std::uint8_t>(file.begin() + headerSize, file.end()), Stream(o, 20.0));
  EXPECT_THROW(WriteSyntheticRecording("/dev/null/x.bin", o, 1.0), std::runtime_error);
}

}  // namespace
}  // namespace vesk
