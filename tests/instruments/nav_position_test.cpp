// Position and time texts from the chosen NMEA sentence.

#include <gtest/gtest.h>

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

TEST(PositionSentence, GgaGivesTimeLatitudeAndLongitude) {
  NavDisplay display;
  ParsePositionSentence(kGga, GgaSettings(), display);
  EXPECT_EQ(display.time, "12:35:19");
  EXPECT_EQ(display.latitude, "48\xB0 07' 02\" N");
  EXPECT_EQ(display.longitude, "011\xB0 31' 00\" E");
}

TEST(PositionSentence, FieldVariants) {
  struct Case {
    const char* sentence;
    const char* latitude;
    const char* longitude;
    const char* time;
  };
  const Case cases[] = {
      // no checksum: parsed as it stands
      {"$GPGGA,235959.00,0000.5,S,17959.99,W,1\r\n", "00\xB0 00' 30\" S", "179\xB0 59' 59\" W",
       "23:59:59"},
      // a fraction shorter than two characters gives 0 seconds
      {"$GPGGA,0102,4807.,N,01131,E\r\n", "48\xB0 07' 00\" N", "011\xB0 31' 00\" E", "00:00:00"},
      // no fix: empty fields keep the placeholders
      {"$GPGGA,,,,,,0,00,99.99,,,,,,*48\r\n", "xx xx xx", "yy yy yy", "00:00:00"},
      // too few fields for the hemispheres and the longitude
      {"$GPGGA,123519,4807.038", "48\xB0 07' 02\" ", "yy yy yy", "12:35:19"},
      // lower-case checksum digits
      {"$GPGGA,123520,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4d", "48\xB0 07' 02\" N",
       "011\xB0 31' 00\" E", "12:35:20"},
  };
  for (const Case& c : cases) {
    NavDisplay display;
    display.time = "99:99:99";
    ParsePositionSentence(c.sentence, GgaSettings(), display);
    EXPECT_EQ(display.latitude, c.latitude) << c.sentence;
    EXPECT_EQ(display.longitude, c.longitude) << c.sentence;
    EXPECT_EQ(display.time, c.time) << c.sentence;
  }
}

TEST(PositionSentence, CorruptedSentenceLeavesTheDisplay) {
  NavDisplay display;
  ParsePositionSentence(kGga, GgaSettings(), display);
  const NavDisplay good = display;
  for (const char* bad : {
           "$GPGGA,123520,4907.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n",  // altered
           "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4\r\n",   // cut
           "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*\r\n",
           "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*4G\r\n",
       }) {
    ParsePositionSentence(bad, GgaSettings(), display);
    EXPECT_EQ(display.latitude, good.latitude) << bad;
    EXPECT_EQ(display.time, good.time) << bad;
  }
}

TEST(PositionSentence, OnlyTheChosenSentenceCounts) {
  NavDisplay display;
  display.time = "11:11:11";
  ParsePositionSentence("$GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A\r\n",
                        GgaSettings(), display);
  EXPECT_EQ(display.time, "11:11:11");
  // In a group the chosen sentence is found among the others.
  ParsePositionSentence(
      std::string("$GPRMC,000000,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W\r\n") + kGga,
      GgaSettings(), display);
  EXPECT_EQ(display.time, "12:35:19");
  NavSettings none;
  ParsePositionSentence(kGga, none, display);
  EXPECT_EQ(display.time, "12:35:19");
}

}  // namespace
}  // namespace vesk
