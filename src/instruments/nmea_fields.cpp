#include "instruments/nmea_fields.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "seams/settings_store.h"

namespace vesk {
namespace {

bool AllDigits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// Digits with at most one '.', at least one digit before it.
bool Decimal(std::string_view s) {
  const std::size_t dot = s.find('.');
  if (dot == std::string_view::npos) return AllDigits(s);
  const std::string_view tail = s.substr(dot + 1);
  return AllDigits(s.substr(0, dot)) && (tail.empty() || AllDigits(tail));
}

int TwoDigits(std::string_view s) {
  return (s[0] - '0') * 10 + (s[1] - '0');
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - static_cast<int>(era * 400);
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// The sentence without its line end and checksum, split at commas; empty when the checksum
// is present and wrong.
std::vector<std::string_view> Fields(std::string_view s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  if (s.size() < 7 || s[0] != '$') return {};
  const std::size_t star = s.find('*');
  if (star != std::string_view::npos) {
    const std::string_view sum = s.substr(star + 1);
    if (sum.size() < 2 || HexValue(sum[0]) < 0 || HexValue(sum[1]) < 0) return {};
    unsigned x = 0;
    for (std::size_t i = 1; i < star; ++i) x ^= static_cast<unsigned char>(s[i]);
    if (x != static_cast<unsigned>(HexValue(sum[0]) * 16 + HexValue(sum[1]))) return {};
    s = s.substr(0, star);
  }
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = s.find(',', start);
    out.push_back(s.substr(start, comma == std::string_view::npos ? s.npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return out;
}

std::string_view FieldAt(const std::vector<std::string_view>& f, std::size_t i) {
  return i < f.size() ? f[i] : std::string_view();
}

}  // namespace

double NmeaDegrees(std::string_view value, std::string_view hemisphere, int degreeDigits) {
  const std::size_t whole = std::min(value.find('.'), value.size());
  if (!Decimal(value) || whole != static_cast<std::size_t>(degreeDigits + 2) ||
      hemisphere.size() != 1) {
    return kMissing;
  }
  const double degrees = ParseReal(value.substr(0, degreeDigits));
  const double minutes = ParseReal(value.substr(degreeDigits));
  if (minutes >= 60) return kMissing;
  double v = degrees + minutes / 60;
  const char h = hemisphere[0];
  const double limit = degreeDigits == 2 ? 90 : 180;
  if (h == 'S' || h == 'W') {
    v = -v;
  } else if (h != 'N' && h != 'E') {
    return kMissing;
  }
  if ((degreeDigits == 2) != (h == 'N' || h == 'S') || v > limit || v < -limit) return kMissing;
  return v;
}

double NmeaTimeOfDay(std::string_view value) {
  if (value.size() < 6 || !AllDigits(value.substr(0, 6)) || !Decimal(value)) return kMissing;
  const int h = TwoDigits(value);
  const int m = TwoDigits(value.substr(2));
  const double s = ParseReal(value.substr(4));
  if (h > 23 || m > 59 || s >= 61) return kMissing;
  return h * 3600.0 + m * 60.0 + s;
}

double NmeaDateDays(std::string_view value) {
  if (value.size() != 6 || !AllDigits(value)) return kMissing;
  const int d = TwoDigits(value);
  const int m = TwoDigits(value.substr(2));
  const int yy = TwoDigits(value.substr(4));
  static constexpr int kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m < 1 || m > 12 || d < 1 || d > kMonthDays[m - 1]) return kMissing;
  const int y = yy < 80 ? 2000 + yy : 1900 + yy;
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  if (m == 2 && d == 29 && !leap) return kMissing;
  return static_cast<double>(DaysFromCivil(y, m, d));
}

GpsFixTracker::GpsFixTracker(std::string sentenceToParse)
    : sentenceToParse_(std::move(sentenceToParse)) {}

void GpsFixTracker::OnSentence(std::string_view sentence) {
  const std::vector<std::string_view> f = Fields(sentence);
  if (f.empty() || f[0].size() < 4) return;
  const std::string_view type = f[0].substr(f[0].size() - 3);
  const bool rmc = type == "RMC";
  if (rmc) {
    // The date of every RMC, with the time it belongs to, dates the other sentences.
    const double days = NmeaDateDays(FieldAt(f, 9));
    const double time = NmeaTimeOfDay(FieldAt(f, 1));
    if (!IsMissing(days) && !IsMissing(time)) {
      dateDays_ = days;
      dateTime_ = time;
    }
  }
  const bool configured = sentenceToParse_.empty()
                              ? true
                              : sentence.substr(0, sentenceToParse_.size()) == sentenceToParse_;
  if (!configured) {
    UpdateEpoch();
    return;
  }
  // Field numbers of time, latitude (+1: N/S), longitude (+1: E/W) and the validity test.
  double time = kMissing;
  double lat = kMissing;
  double lon = kMissing;
  bool valid = false;
  if (type == "GGA") {
    time = NmeaTimeOfDay(FieldAt(f, 1));
    lat = NmeaDegrees(FieldAt(f, 2), FieldAt(f, 3), 2);
    lon = NmeaDegrees(FieldAt(f, 4), FieldAt(f, 5), 3);
    valid = !FieldAt(f, 6).empty() && FieldAt(f, 6) != "0";
  } else if (rmc) {
    time = NmeaTimeOfDay(FieldAt(f, 1));
    valid = FieldAt(f, 2) == "A";
    lat = NmeaDegrees(FieldAt(f, 3), FieldAt(f, 4), 2);
    lon = NmeaDegrees(FieldAt(f, 5), FieldAt(f, 6), 3);
  } else if (type == "GLL") {
    lat = NmeaDegrees(FieldAt(f, 1), FieldAt(f, 2), 2);
    lon = NmeaDegrees(FieldAt(f, 3), FieldAt(f, 4), 3);
    time = NmeaTimeOfDay(FieldAt(f, 5));
    valid = FieldAt(f, 6) == "A" || FieldAt(f, 6).empty();  // older receivers omit the status
  } else {
    return;
  }
  ++updates_;
  if (!IsMissing(time)) fix_.timeOfDay = time;
  // A receiver without a fix says so: the position is then unknown, not the last one.
  const bool position = valid && !IsMissing(lat) && !IsMissing(lon);
  fix_.latitude = position ? lat : kMissing;
  fix_.longitude = position ? lon : kMissing;
  UpdateEpoch();
}

void GpsFixTracker::UpdateEpoch() {
  if (IsMissing(fix_.timeOfDay) || IsMissing(dateDays_)) {
    fix_.epochSeconds = kMissing;
    return;
  }
  // The RMC date belongs to the RMC's time; a time of day half a day before or after it
  // lies across midnight.
  double days = dateDays_;
  const double step = fix_.timeOfDay - dateTime_;
  if (step < -43200) days += 1;
  if (step > 43200) days -= 1;
  fix_.epochSeconds = days * 86400 + fix_.timeOfDay;
}

}  // namespace vesk
