// The clock a playback is paced by: the recording's L frames, and its GPS time where it has it.

#include "processing/recording_clock.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support/frame_builder.h"

namespace vesk {
namespace {

test::Bytes Gga(const char* time) {
  return test::ToBytes(std::string("$$GPGGA,") + time + ",4439.000,N,06330.000,W,1,08,,,,,,,\r\n");
}

TEST(RecordingClock, LFramesCountHalfSecondsAndTheGpsTimeSetsTheClockUnlessItJumps) {
  const test::Bytes l = test::MakeLFrame({});
  const struct {
    const char* what;
    test::Bytes frame;
    double seconds;
  } steps[] = {
      {"an L frame", l, 0.5},
      {"another", l, 1.0},
      {"the first GPS time only anchors", Gga("120000"), 1.0},
      {"L frames count on between fixes", l, 1.5},
      {"a GPS time sets the clock", Gga("120003"), 4.0},
      {"a jump is not replayed", Gga("121000"), 4.0},
      {"the new anchor holds", Gga("121001"), 5.0},
      {"a jump again", Gga("235959"), 5.0},
      {"over midnight", Gga("000001"), 7.0},
      {"other frames are no time", test::ToBytes("Cabc"), 7.0},
  };
  RecordingClock clock;
  for (const auto& s : steps) {
    clock.OnFrame(s.frame);
    EXPECT_DOUBLE_EQ(clock.Seconds(), s.seconds) << s.what;
  }
}

}  // namespace
}  // namespace vesk
