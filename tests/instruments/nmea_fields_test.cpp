// The GPS fields of the analysis export: NMEA text in, time, date and position numbers out.

#include "instruments/nmea_fields.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vesk {
namespace {

constexpr double kNaN = kMissing;

// "$" + body + "*" + its checksum.
std::string Sentence(const std::string& body) {
  unsigned sum = 0;
  for (char c : body) sum ^= static_cast<unsigned char>(c);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return "$" + body + tail;
}

void ExpectSame(double actual, double expected, double tolerance = 1e-9) {
  if (std::isnan(expected)) {
    EXPECT_TRUE(std::isnan(actual)) << actual;
  } else {
    EXPECT_NEAR(actual, expected, tolerance);
  }
}

TEST(NmeaFields, DegreesTimesAndDates) {
  EXPECT_NEAR(NmeaDegrees("4807.038", "S", 2), -(48 + 7.038 / 60), 1e-9);
  EXPECT_NEAR(NmeaDegrees("01131.000", "W", 3), -(11 + 31.0 / 60), 1e-9);
  EXPECT_NEAR(NmeaDegrees("4807", "N", 2), 48 + 7.0 / 60, 1e-9);
  // Empty, 67 minutes, beyond the pole, a letter O, too few degree digits, negative.
  for (const char* bad : {"", "4867.000", "9100.000", "48O7.038", "807.038", "-4807.038"}) {
    ExpectSame(NmeaDegrees(bad, "N", 2), kNaN);
  }
  ExpectSame(NmeaDegrees("4807.038", "", 2), kNaN);
  ExpectSame(NmeaDegrees("4807.038", "E", 2), kNaN);  // a longitude letter on a latitude

  EXPECT_DOUBLE_EQ(NmeaTimeOfDay("123519.50"), 45319.5);
  EXPECT_DOUBLE_EQ(NmeaTimeOfDay("235960"), 86400);  // a leap second
  for (const char* bad : {"240000", "126000", "12351", "", "12:35:19"}) {
    ExpectSame(NmeaTimeOfDay(bad), kNaN);
  }
  EXPECT_DOUBLE_EQ(NmeaDateDays("230394"), 8847);
  EXPECT_DOUBLE_EQ(NmeaDateDays("010100"), 10957);
  EXPECT_DOUBLE_EQ(NmeaDateDays("290224"), 19782);
  // 2023 is no leap year.
  for (const char* bad : {"290223", "320194", "011394", "000194", "23039", ""}) {
    ExpectSame(NmeaDateDays(bad), kNaN);
  }
}

TEST(GpsFixTracker, FollowsTheConfiguredSentence) {
  const double t123519 = 45319;
  const double lat = 48 + 7.038 / 60;
  const double lon = 11 + 31.0 / 60;
  const double day = 8847 * 86400.0;  // 1994-03-23
  const std::string gga = Sentence("GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,");
  const std::string rmc =
      Sentence("GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W");
  const std::string gll = Sentence("GPGLL,4807.038,N,01131.000,E,,A,A");
  struct Case {
    const char* name;
    const char* configured;
    std::vector<std::string> sentences;
    GpsFix expected;
  };
  const Case cases[] = {
      {"RMC: dated", "$GPRMC", {rmc}, {t123519, day + t123519, lat, lon}},
      {"without a checksum",
       "$GPGGA",
       {"$GPGGA,123519,4807.038,S,01131.000,W,1,08,,,,,,,"},
       {t123519, kNaN, -lat, -lon}},
      {"GGA just after midnight, RMC just before",
       "$GPGGA",
       {Sentence("GPRMC,235959,A,4807.038,N,01131.000,E,0,0,230394,,"),
        Sentence("GPGGA,000001,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")},
       {1, day + 86400 + 1, lat, lon}},
      {"RMC just after midnight, GGA just before",
       "$GPGGA",
       {Sentence("GPRMC,000001,A,4807.038,N,01131.000,E,0,0,240394,,"),
        Sentence("GPGGA,235959,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")},
       {86399, day + 86399, lat, lon}},
      {"another sentence moves nothing",
       "$GPGGA",
       {gga, Sentence("GPRMC,130000,A,1000.000,S,02000.000,W,0,0,230394,,")},
       {t123519, day + t123519, lat, lon}},
      {"GGA without a fix: position unknown, time kept",
       "$GPGGA",
       {gga, Sentence("GPGGA,123600,,,,,0,00,,,,,,,")},
       {45360, kNaN, kNaN, kNaN}},
      {"RMC void: position unknown",
       "$GPRMC",
       {rmc, Sentence("GPRMC,123600,V,4807.038,N,01131.000,E,0,0,230394,,")},
       {45360, day + 45360, kNaN, kNaN}},
      {"nothing configured: GLL and GGA of any talker",
       "",
       {Sentence("GNGLL,4807.038,N,01131.000,E,123519,A,A")},
       {t123519, kNaN, lat, lon}},
      {"a GLL without a time keeps the time, nine sentences on",
       "",
       {gga, gll, gll, gll, gll, gll, gll, gll, gll, Sentence("GPGLL,4900.000,N,01131.000,E,,A,A")},
       {t123519, kNaN, 49, lon}},
      {"garbage",
       "",
       {"$", "$GPGGA", "GPGGA,123519", "$GPRMC,,,,,,,,,,,,*ZZ"},
       {kNaN, kNaN, kNaN, kNaN}},
  };
  for (const Case& c : cases) {
    // The fix asked for only at the end, and after every sentence.
    for (bool eachStep : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (eachStep ? ", asked at each step" : ""));
      GpsFixTracker tracker(c.configured);
      for (const auto& s : c.sentences) {
        tracker.OnSentence(s);
        if (eachStep) tracker.Fix();
      }
      ExpectSame(tracker.Fix().timeOfDay, c.expected.timeOfDay);
      ExpectSame(tracker.Fix().epochSeconds, c.expected.epochSeconds);
      ExpectSame(tracker.Fix().latitude, c.expected.latitude);
      ExpectSame(tracker.Fix().longitude, c.expected.longitude);
    }
  }
}

}  // namespace
}  // namespace vesk
