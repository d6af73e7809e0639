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

TEST(LFrame, WindowCountsBinsLowerToUpperMinusOne) {
  // Bin k holds k, the last bin 5000; an upper bound past the last bin takes them all.
  const struct {
    int lower, upper;
    std::int32_t window;
  } cases[] = {{0, 127, 8001}, {5, 6, 5}, {0, 128, 13001}, {100, 127, 3051}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "window " << c.lower << ".." << c.upper);
    Pipeline p;
    p.store.Write(keys::kWindowCountsLowerBound, c.lower);
    p.store.Write(keys::kWindowCountsUpperBound, c.upper);
    p.Start();
    LFrameFields f = Counting(0);
    f.bins[127] = 5000;
    p.Process(MakeLFrame(f));
    p.Process(MakeLFrame(f));
    EXPECT_DOUBLE_EQ(p.results.Bins().frameTotal, 13001);
    EXPECT_EQ(p.results.Bins().frameWindowCount, c.window);
    EXPECT_EQ(p.results.Bins().cumulativeWindowCount, 2u * c.window);
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
      {"a good reading ends the run",
       "3.47826e-05",
       "2.30",
       {{50, 200}, {0, 200}, {10, 2}, {0, 9}},
       {v, v * 0.66, 5, 5 * 0.66}},
      {"counter constant 0", "0", "2.25", {{50, 200}, {0, 200}, {9, 3}}, {0, 0, 0}},
      {"firmware below 2.25", "3.47826e-05", "2.20", {{50, 200}, {9, 3}}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline p;
    p.store.WriteString("Settings", "CounterConstant", c.constant);
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
}

// The first sample is the second frame alone (the later ones means of pairs, as the bounded
// history below shows), its channels from the CTD record and the frame.
TEST(TimeChart, FirstSampleTakesTheSecondFrameAndTheRecord) {
  Pipeline p;
  p.store.WriteString("Settings", "FirmwareVer", "2.20");  // no counter value
  p.store.Write(keys::kModelCtd, CtdCode::kSbe49);         // a line with its salinity
  p.Start();
  p.Process(MakeTextFrame('C', "12.5, 30.0, 101.25, 35.5000 2048 1"));
  LFrameFields frame = Counting(0);
  frame.housekeeping[3] = frame.housekeeping[4] = 0;  // no flow, so no counts per volume
  p.Process(MakeLFrame(frame));
  EXPECT_EQ(p.listener.samples, 0);
  frame.housekeeping[6] = 200;
  p.Process(MakeLFrame(frame));
  ASSERT_EQ(p.History().size(), 1u);
  const TimeChartSample first = p.History().back();
  // Channel 0 is the depth of the pressure in the record, at the survey latitude.
  EXPECT_DOUBLE_EQ(first[kChDepth], PressureToDepth(101.25, p.settings.surveyLat));
  // Bins 0..127 hold 0..127: 8128 counts, 8001 of them in the default window.
  const TimeChartSample expected{first[kChDepth], 12.5, 8128, 35.5, 8001, 0, 0, 2048, 0, 200};
  EXPECT_EQ(first, expected);
  EXPECT_EQ(first, p.results.LatestSample());
  EXPECT_EQ(p.listener.samples, 1);
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
