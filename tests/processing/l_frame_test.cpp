// L frames: lengths, bins and counts, the L record, the counter value, the flow speed and
// the time chart samples.

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "instruments/ctd_conversions.h"
#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

LFrameFields Counting(std::uint16_t base) {
  LFrameFields s;
  for (int k = 0; k < 128; ++k) s.bins[k] = static_cast<std::uint16_t>(base + k);
  s.housekeeping = {11, 12, 13, 100, 1000, 15, 16};
  s.n = 7;
  s.t = 300;
  s.a = 4321;
  return s;
}

TEST(LFrame, L5FieldsFollowFirmwareAndLength) {
  struct Case {
    const char* firmware;
    std::size_t length;
    const char* l5;
  };
  const Case cases[] = {
      {"2.24", 276, "L5 11 12 13 100 1000 15 16"},
      {"2.25", 274, "L5 11 12 13 100 1000 15 16 7 300"},
      {"2.36", 276, "L5 11 12 13 100 1000 15 16 7 300 4321"},
      {"2.40", 274, "L5 11 12 13 100 1000 15 16 7 300 0"},
      // No N and T in a 271-byte frame: nothing read yet, so 0 0.
      {"2.40", 271, "L5 11 12 13 100 1000 15 16 0 0 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.firmware << " length " << c.length);
    Pipeline p;
    p.store.WriteString("Settings", "FirmwareVer", c.firmware);
    p.Start();
    LFrameFields s = Counting(0);
    s.length = c.length;
    p.Process(MakeLFrame(s));
    const auto lines = SplitLines(p.Dat());
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[4], c.l5);
  }
}

TEST(LFrame, ShortFrameKeepsPreviousCounterFields) {
  Pipeline p;
  p.store.WriteString("Settings", "FirmwareVer", "2.40");
  p.store.WriteString("Settings", "CounterConstant", "3.47826e-05");  // K = 1
  p.Start();
  LFrameFields s = Counting(0);
  s.n = 9;
  s.t = 90;
  p.Process(MakeLFrame(s));
  ASSERT_DOUBLE_EQ(p.results.Housekeeping().counterValue, 0.1);
  LFrameFields shortFrame = Counting(0);
  shortFrame.length = 271;
  p.Process(MakeLFrame(shortFrame));
  EXPECT_EQ(p.results.Housekeeping().counterN, 9u);
  EXPECT_EQ(p.results.Housekeeping().counterT, 90u);
  EXPECT_EQ(p.results.Housekeeping().analogA, 0u);
  EXPECT_DOUBLE_EQ(p.results.Housekeeping().counterValue, 0.1);
}

TEST(LFrame, FailedRecordWriteStillAccumulates) {
  Pipeline p;
  p.Start();
  ASSERT_TRUE(p.dat.Create("/dev/full"));
  LFrameFields s = Counting(1);
  p.Process(MakeLFrame(s));
  p.Process(MakeMFrame(std::vector<MEvent>{{1, 2, 3, 4, false}}));
  p.Process(MakeLFrame(s));
  EXPECT_EQ(p.results.LFrames(), 2u);
  EXPECT_EQ(p.results.Bins().cumulative[0], 2u);
  EXPECT_EQ(p.results.Bins().cumulative[127], 256u);
  EXPECT_EQ(p.results.FrameErrors(), 0u);
}

TEST(LFrame, BinsTotalsAndWindow) {
  // The window counts bins lower..upper-1; an upper bound past the last bin takes them all.
  for (const auto& [lower, upper] : {std::pair{0, 127}, {5, 6}, {0, 128}, {100, 127}}) {
    SCOPED_TRACE(testing::Message() << "window " << lower << ".." << upper);
    Pipeline p;
    p.store.Write(keys::kWindowCountsLowerBound, lower);
    p.store.Write(keys::kWindowCountsUpperBound, upper);
    p.Start();
    LFrameFields a = Counting(0), b = Counting(100);
    a.bins[127] = 5000;
    b.bins[127] = 60000;
    std::uint64_t total = 0, window = 0;
    for (const LFrameFields& f : {a, b}) {
      std::uint64_t frameTotal = 0, frameWindow = 0;
      for (int k = 0; k < 128; ++k) {
        frameTotal += f.bins[k];
        if (k >= lower && k < upper) frameWindow += f.bins[k];
      }
      total += frameTotal;
      window += frameWindow;
      p.Process(MakeLFrame(f));
      EXPECT_DOUBLE_EQ(p.results.Bins().frameTotal, static_cast<double>(frameTotal));
      EXPECT_EQ(p.results.Bins().frameWindowCount, static_cast<std::int32_t>(frameWindow));
    }
    EXPECT_EQ(p.results.Bins().cumulativeTotalCount, total);
    EXPECT_EQ(p.results.Bins().cumulativeWindowCount, window);
  }
}

// Counter values after each frame of (N, T) readings, with K = 1 (and K = 0).
TEST(LFrame, CounterValueDecaysOverThreeBadReadings) {
  struct Reading {
    std::uint8_t n;
    std::uint16_t t;
  };
  struct Case {
    const char* name;
    const char* constant;
    const char* firmware;
    std::vector<Reading> readings;
    std::vector<double> values;
  };
  const double v = 50.0 / 200.0;
  const Case cases[] = {
      {"four N=0 after a good reading",
       "3.47826e-05",
       "2.25",
       {{50, 200}, {0, 200}, {0, 200}, {0, 200}, {0, 200}},
       {v, v * 0.66, v * 0.66 * 0.5, 0, 0}},
      {"T below 2 is unusable",
       "3.47826e-05",
       "2.25",
       {{50, 200}, {5, 1}, {5, 0}, {50, 200}},
       {v, v * 0.66, v * 0.66 * 0.5, v}},
      {"a good reading ends the run",
       "3.47826e-05",
       "2.30",
       {{50, 200}, {0, 200}, {10, 2}, {0, 9}},
       {v, v * 0.66, 5, 5 * 0.66}},
      {"counter constant 0", "0", "2.25", {{50, 200}, {0, 200}, {9, 3}}, {0, 0, 0}},
      {"counter constant absent", nullptr, "2.25", {{50, 200}, {9, 3}}, {0, 0}},
      {"firmware below 2.25", "3.47826e-05", "2.20", {{50, 200}, {9, 3}}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline p;
    if (c.constant != nullptr) p.store.WriteString("Settings", "CounterConstant", c.constant);
    p.store.WriteString("Settings", "FirmwareVer", c.firmware);
    p.Start();
    for (std::size_t i = 0; i < c.readings.size(); ++i) {
      LFrameFields s = Counting(0);
      s.length = 274;
      s.n = c.readings[i].n;
      s.t = c.readings[i].t;
      p.Process(MakeLFrame(s));
      EXPECT_NEAR(p.results.Housekeeping().counterValue, c.values[i], 1e-12) << "frame " << i;
    }
  }
}

TEST(LFrame, FlowSpeedBounds) {
  struct Case {
    std::uint16_t h3;
    std::uint16_t h4;
    bool nonzero;
  };
  const Case cases[] = {
      {100, 400, true},   {100, 399, false},   {100, 21000, true}, {100, 21001, false},
      {0, 400, false},    {0, 0, false},       {1, 4, true},       {1, 3, false},
      {300, 63000, true}, {300, 63001, false}, {100, 1000, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "H3 " << c.h3 << " H4 " << c.h4);
    Pipeline p;
    p.Start();
    LFrameFields s = Counting(0);
    s.housekeeping[3] = c.h3;
    s.housekeeping[4] = c.h4;
    p.Process(MakeLFrame(s));
    if (c.nonzero) {
      EXPECT_GT(p.results.Housekeeping().flowSpeed, 0);
      EXPECT_TRUE(std::isfinite(p.results.Housekeeping().flowSpeed));
    } else {
      EXPECT_EQ(p.results.Housekeeping().flowSpeed, 0);
    }
  }
  // A reference value of the calibration curve at r = 16 (y = 2).
  EXPECT_NEAR(FlowSpeed(100, 1600),
              6987.567587 * std::exp(-(4.0135 * std::sqrt(2.0) + 1.7857899 * 2 - 0.12719751516 * 4 -
                                       0.03 * 8)),
              1e-9);
}

// Ten channel values of one L frame as the processing derives them.
struct FrameValues {
  LFrameFields frame;
  double total = 0;
  double window = 0;
  double flow = 0;
};

FrameValues Values(std::uint16_t base, std::uint16_t h3, std::uint16_t h4, std::uint16_t laser) {
  FrameValues f;
  f.frame = Counting(base);
  f.frame.length = 271;
  f.frame.housekeeping[3] = h3;
  f.frame.housekeeping[4] = h4;
  f.frame.housekeeping[6] = laser;
  for (int k = 0; k < 128; ++k) {
    f.total += f.frame.bins[k];
    if (k < 127) f.window += f.frame.bins[k];
  }
  f.flow = FlowSpeed(h3, h4);
  return f;
}

TEST(TimeChart, FirstSampleIsSecondFrameThenMeansOfPairs) {
  Pipeline p;
  p.store.WriteString("Settings", "FirmwareVer", "2.20");
  p.Start();
  p.ctd->sample = CtdSample{30.0, 12.5, 101.25, 2048, 35.5};
  const FrameValues f[] = {Values(0, 0, 0, 100), Values(10, 0, 0, 200), Values(20, 0, 0, 300),
                           Values(30, 0, 0, 500), Values(40, 0, 0, 700)};
  p.Process(MakeLFrame(f[0].frame));
  EXPECT_TRUE(p.History().empty());
  EXPECT_EQ(p.listener.samples, 0);

  p.Process(MakeLFrame(f[1].frame));
  ASSERT_EQ(p.History().size(), 1u);
  const TimeChartSample first = p.History().back();
  EXPECT_EQ(first, p.results.LatestSample());
  // Channel 0 is the depth of the pressure in the record, at the survey latitude.
  EXPECT_DOUBLE_EQ(first[kChDepth], PressureToDepth(101.25, p.settings.surveyLat));
  // The second frame alone, no flow (so no counts per volume).
  const TimeChartSample expected{
      first[kChDepth], 12.5, f[1].total, 35.5, f[1].window, 0, 0, 2048, 0, 200};
  EXPECT_EQ(first, expected);
  EXPECT_EQ(p.listener.samples, 1);

  p.Process(MakeLFrame(f[2].frame));
  EXPECT_EQ(p.History().size(), 1u);
  p.Process(MakeLFrame(f[3].frame));
  ASSERT_EQ(p.History().size(), 2u);
  const TimeChartSample second = p.History().back();
  EXPECT_DOUBLE_EQ(second[kChCountsPerSecond], (f[2].total + f[3].total) / 2);
  EXPECT_DOUBLE_EQ(second[kChWindowCps], (f[2].window + f[3].window) / 2);
  EXPECT_DOUBLE_EQ(second[kChLaserMonitor], 400);
  EXPECT_EQ(p.listener.samples, 2);

  p.Process(MakeLFrame(f[4].frame));
  EXPECT_EQ(p.History().size(), 2u);
  EXPECT_EQ(p.results.LatestSample(), second);
}

TEST(TimeChart, HistoryIsBoundedByBufferLength) {
  struct Case {
    int bufferLength;  // 0: default
    std::size_t samples;
    std::size_t kept;
  };
  const Case cases[] = {{0, 3600, 3600}, {0, 3601, 3600}, {3, 3, 3}, {3, 4, 3}, {3, 10, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "buffer " << c.bufferLength << " samples " << c.samples);
    Pipeline p;
    if (c.bufferLength > 0) p.store.Write(keys::kBufferLength, c.bufferLength);
    p.Start();
    p.dat.Close();  // records are not looked at here
    LFrameFields s;
    s.length = 271;
    // Frame i carries a total of i, so sample j (j >= 1) is the mean of 2j and 2j+1.
    for (std::size_t i = 0; i < 2 * c.samples; ++i) {
      s.bins[0] = static_cast<std::uint16_t>(i % 60000);
      p.Process(MakeLFrame(s));
    }
    ASSERT_EQ(p.History().size(), c.kept);
    const std::size_t oldest = c.samples - c.kept;
    const double expectedOldest = oldest == 0 ? 1.0 : 2.0 * oldest + 0.5;
    EXPECT_DOUBLE_EQ(p.History().front()[kChCountsPerSecond], expectedOldest);
    EXPECT_DOUBLE_EQ(p.History().back()[kChCountsPerSecond], 2.0 * (c.samples - 1) + 0.5);
  }
}

}  // namespace
}  // namespace vesk::test
