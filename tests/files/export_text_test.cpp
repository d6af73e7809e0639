// Texts of the analysis export: ISO 8601 times, the .bin header fields, file names.

#include <gtest/gtest.h>

#include <string>

#include "files/export_csv.h"
#include "files/export_stage.h"

namespace vesk {
namespace {

TEST(ExportText, TimesAndNumbers) {
  // A full UTC date and time, or nothing; the time of day alone has its own column.
  struct Case {
    double seconds;
    const char* dated;      // as seconds since 1970
    const char* timeOfDay;  // as seconds since midnight
  };
  const Case cases[] = {
      {764426119 - 8847 * 86400.0, "1970-01-01T12:35:19Z", "12:35:19"},
      {764426119.5, "1994-03-23T12:35:19.500Z", ""},
      {1799999999.9996, "2027-01-15T08:00:00Z", ""},  // rounds up into the next second
      {45319.25, "1970-01-01T12:35:19.250Z", "12:35:19.250"},
      {86399.9999, "1970-01-02T00:00:00Z", "00:00:00"},
      {kMissing, "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FormatIsoUtc(c.seconds), c.dated) << c.dated;
    if (c.seconds < 86400 || IsMissing(c.seconds)) {
      EXPECT_EQ(FormatTimeOfDay(c.seconds), c.timeOfDay) << c.timeOfDay;
    }
  }
}

}  // namespace
}  // namespace vesk
