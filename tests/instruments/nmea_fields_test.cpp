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
  struct Degrees {
    const char* value;
    const char* hemisphere;
    int digits;
    double expected;
  };
  const Degrees degrees[] = {
      {"4807.038", "N", 2, 48 + 7.038 / 60},
      {"4807.038", "S", 2, -(48 + 7.038 / 60)},
      {"01131.000", "E", 3, 11 + 31.0 / 60},
      {"01131.000", "W", 3, -(11 + 31.0 / 60)},
      {"4807", "N", 2, 48 + 7.0 / 60},
      {"0000.000", "N", 2, 0},
      {"", "N", 2, kNaN},
      {"4807.038", "", 2, kNaN},
      {"4807.038", "E", 2, kNaN},  // a longitude letter on a latitude
      {"4867.000", "N", 2, kNaN},  // 67 minutes
      {"9100.000", "N", 2, kNaN},  // beyond the pole
      {"48O7.038", "N", 2, kNaN},  // letter O
      {"807.038", "N", 2, kNaN},   // too few degree digits
      {"-4807.038", "N", 2, kNaN},
  };
  for (const Degrees& c : degrees) {
    SCOPED_TRACE(std::string(c.value) + " " + c.hemisphere);
    ExpectSame(NmeaDegrees(c.value, c.hemisphere, c.digits), c.expected);
  }

  struct Text {
    const char* value;
    double expected;
  };
  const Text times[] = {
      {"123519", 12 * 3600 + 35 * 60 + 19},
      {"123519.50", 45319.5},
      {"000000", 0},
      {"235960", 86400},  // a leap second
      {"240000", kNaN},
      {"126000", kNaN},
      {"12351", kNaN},
      {"", kNaN},
      {"12:35:19", kNaN},
  };
  for (const Text& c : times) {
    SCOPED_TRACE(c.value);
    ExpectSame(NmeaTimeOfDay(c.value), c.expected);
  }
  const Text dates[] = {
      {"230394", 8847}, {"010100", 10957}, {"290224", 19782},
      {"010180", 3652}, {"290223", kNaN},  // 2023 is no leap year
      {"320194", kNaN}, {"011394", kNaN},  {"000194", kNaN},
      {"23039", kNaN},  {"", kNaN},
  };
  for (const Text& c : dates) {
    SCOPED_TRACE(c.value);
    ExpectSame(NmeaDateDays(c.value), c.expected);
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
  struct Case {
    const char* name;
    const char* configured;
    std::vector<std::string> sentences;
    GpsFix expected;
  };
  const Case cases[] = {
      {"nothing yet", "$GPGGA", {}, {kNaN, kNaN, kNaN, kNaN}},
      {"GGA: time of day and position, no date", "$GPGGA", {gga}, {t123519, kNaN, lat, lon}},
      {"RMC: dated", "$GPRMC", {rmc}, {t123519, day + t123519, lat, lon}},
      {"with the line end the frame processor adds",
       "$GPRMC",
       {rmc + "\r\n"},
       {t123519, day + t123519, lat, lon}},
      {"without a checksum",
       "$GPGGA",
       {"$GPGGA,123519,4807.038,S,01131.000,W,1,08,,,,,,,"},
       {t123519, kNaN, -lat, -lon}},
      {"GGA dated by an earlier RMC",
       "$GPGGA",
       {rmc, Sentence("GPGGA,123521,4808.000,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,")},
       {45321, day + 45321, 48 + 8.0 / 60, lon}},
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
      {"a wrong checksum is ignored",
       "$GPGGA",
       {gga, "$GPGGA,130000,1000.000,S,02000.000,W,1,08,0.9,545.4,M,46.9,M,,*00"},
       {t123519, kNaN, lat, lon}},
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
      {"a configured sentence of another kind gives nothing",
       "$GPVTG",
       {Sentence("GPVTG,054.7,T,034.4,M,005.5,N,010.2,K")},
       {kNaN, kNaN, kNaN, kNaN}},
      {"garbage",
       "",
       {"$", "$GPGGA", "GPGGA,123519", "$GPRMC,,,,,,,,,,,,*ZZ"},
       {kNaN, kNaN, kNaN, kNaN}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    GpsFixTracker tracker(c.configured);
    for (const auto& s : c.sentences) tracker.OnSentence(s);
    ExpectSame(tracker.Fix().timeOfDay, c.expected.timeOfDay);
    ExpectSame(tracker.Fix().epochSeconds, c.expected.epochSeconds);
    ExpectSame(tracker.Fix().latitude, c.expected.latitude);
    ExpectSame(tracker.Fix().longitude, c.expected.longitude);
  }
}

}  // namespace
}  // namespace vesk
