// Position and time texts from the chosen NMEA sentence.

#include <gtest/gtest.h>

#include <string>

#include "instruments/nav_display.h"

namespace vesk {
namespace {

NavSettings GgaSettings() {
  NavSettings nav;
  nav.sentenceToParse = "$GPGGA";
  nav.latPos = 3;
  nav.latNsPos = 4;
  nav.longPos = 5;
  nav.longEwPos = 6;
  nav.timePos = 2;
  return nav;
}

constexpr const char* kGga =
    "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";

constexpr const char* kNoLat = "xx xx xx";
constexpr const char* kNoLong = "yy yy yy";
constexpr const char* kNoTime = "99:99:99";

TEST(PositionSentence, FieldVariants) {
  struct Case {
    std::string sentence;
    const char* latitude;
    const char* longitude;
    const char* time;
  };
  const Case cases[] = {
      // no checksum: parsed as it stands
      {"$GPGGA,235959.00,0000.5,S,17959.99,W,1\r\n", "00\xB0 00' 30\" S", "179\xB0 59' 59\" W",
       "23:59:59"},
      // no fix: empty fields keep the placeholders
      {"$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n", kNoLat, kNoLong, "00:00:00"},
      // too few fields for the hemispheres and the longitude
      {"$GPGGA,123519,4807.038", "48\xB0 07' 02\" ", kNoLong, "12:35:19"},
      // in a group the chosen sentence is found among the others
      {std::string("$GPRMC,000000,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W\r\n") + kGga,
       "48\xB0 07' 02\" N", "011\xB0 31' 00\" E", "12:35:19"},
      // another sentence, a wrong, cut, missing or non-hex checksum: the display stays
      {"$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n", kNoLat, kNoLong,
       kNoTime},
      {"$GPGGA,123520,4907.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n", kNoLat, kNoLong,
       kNoTime},
      {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4\r\n", kNoLat, kNoLong,
       kNoTime},
      {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*\r\n", kNoLat, kNoLong,
       kNoTime},
      {"$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4G\r\n", kNoLat, kNoLong,
       kNoTime},
  };
  for (const Case& c : cases) {
    NavDisplay display;
    display.time = kNoTime;
    ParsePositionSentence(c.sentence, GgaSettings(), display);
    EXPECT_EQ(display.latitude, c.latitude) << c.sentence;
    EXPECT_EQ(display.longitude, c.longitude) << c.sentence;
    EXPECT_EQ(display.time, c.time) << c.sentence;
  }
}

TEST(PositionSentence, SecondsRoundOnceAndCarry) {
  // The simulated ship's longitude, which once read 063\xB0 29' 60".
  NavDisplay display;
  ParsePositionSentence("$GPGGA,120000,8959.9999,N,06329.9999,W\r\n", GgaSettings(), display);
  EXPECT_EQ(display.latitude, "90\xB0 00' 00\" N");
  EXPECT_EQ(display.longitude, "063\xB0 30' 00\" W");
  ParsePositionSentence("$GPGGA,120000,0000.0083,N,17959.9917,E\r\n", GgaSettings(), display);
  EXPECT_EQ(display.latitude, "00\xB0 00' 00\" N");
  EXPECT_EQ(display.longitude, "180\xB0 00' 00\" E");
}

TEST(PositionSentence, AgeOfTheLastFix) {
  using std::chrono::seconds;
  const NavDisplay::TimePoint t0{seconds(5000)};
  NavDisplay display;
  EXPECT_EQ(FixAgeAt(display, t0, 10).text, "--");
  ParsePositionSentence(kGga, GgaSettings(), display, t0);
  ASSERT_EQ(display.lastFix, t0);
  // A sentence without a position (no fix) is not a fix: the age goes on.
  ParsePositionSentence("$GPGGA,123520,,,,,0,00,99.99,,,,,,*4F\r\n", GgaSettings(), display,
                        t0 + seconds(5));
  EXPECT_EQ(display.latitude, kNoLat);
  EXPECT_EQ(display.lastFix, t0);
  const struct {
    int after;
    const char* text;
    bool stale;
  } ages[] = {{0, "0 s", false},          {10, "10 s", false},       {11, "STALE 11 s", true},
              {150, "STALE 2 min", true}, {7200, "STALE 2 h", true}, {-3, "0 s", false}};
  for (const auto& a : ages) {
    const FixAge age = FixAgeAt(display, t0 + seconds(a.after), 10);
    EXPECT_EQ(age.text, a.text) << a.after;
    EXPECT_EQ(age.stale, a.stale) << a.after;
  }
}

}  // namespace
}  // namespace vesk
