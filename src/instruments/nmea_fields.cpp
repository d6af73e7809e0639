#include "instruments/nmea_fields.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

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

// A decimal (Decimal() holds) as strtod reads it, without the C library when its digits make an
// integer below 2^53 and it has at most 22 decimals: that integer over the power of ten is then
// rounded once, as strtod rounds.
double DecimalValue(std::string_view s) {
  static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                       1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                       1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  constexpr std::uint64_t kExact = std::uint64_t{1} << 53;
  std::uint64_t m = 0;
  int decimals = -1;
  for (char c : s) {
    if (c == '.') {
      decimals = 0;
      continue;
    }
    if (m >= kExact / 10) return ParseReal(s);
    m = m * 10 + static_cast<std::uint64_t>(c - '0');
    if (decimals >= 0) ++decimals;
  }
  if (decimals > 22) return ParseReal(s);
  return decimals > 0 ? static_cast<double>(m) / kPowers[decimals] : static_cast<double>(m);
}

// The sentence without its line end and checksum; empty when it is none or the checksum is
// present and wrong.
std::string_view Checked(std::string_view s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.remove_suffix(1);
  if (s.size() < 7 || s[0] != '$') return {};
  const std::size_t star = s.find('*');
  if (star == std::string_view::npos) return s;
  const std::string_view sum = s.substr(star + 1);
  if (sum.size() < 2 || HexValue(sum[0]) < 0 || HexValue(sum[1]) < 0) return {};
  // Eight characters at a time, then the bytes of the word folded together.
  std::uint64_t word = 0;
  std::size_t i = 1;
  for (; i + 8 <= star; i += 8) {
    std::uint64_t w = 0;
    std::memcpy(&w, s.data() + i, 8);
    word ^= w;
  }
  unsigned x = 0;
  for (int b = 0; b < 8; ++b) x ^= static_cast<unsigned>(word >> (8 * b)) & 0xFF;
  for (; i < star; ++i) x ^= static_cast<unsigned char>(s[i]);
  if (x != static_cast<unsigned>(HexValue(sum[0]) * 16 + HexValue(sum[1]))) return {};
  return s.substr(0, star);
}

// The first fields of a sentence's text, split at commas; those it does not have are empty.
class Fields {
 public:
  explicit Fields(std::string_view s) {
    std::size_t start = 0;
    for (std::string_view& field : fields_) {
      const std::size_t comma = s.find(',', start);
      field = s.substr(start, comma == std::string_view::npos ? s.npos : comma - start);
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
  std::string_view operator[](std::size_t i) const { return fields_[i]; }

 private:
  std::array<std::string_view, 10> fields_{};
};

}  // namespace

double NmeaDegrees(std::string_view value, std::string_view hemisphere, int degreeDigits) {
  const std::size_t whole = std::min(value.find('.'), value.size());
  if (!Decimal(value) || whole != static_cast<std::size_t>(degreeDigits + 2) ||
      hemisphere.size() != 1) {
    return kMissing;
  }
  const double degrees = DecimalValue(value.substr(0, degreeDigits));
  const double minutes = DecimalValue(value.substr(degreeDigits));
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
  const double s = DecimalValue(value.substr(4));
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
  const std::string_view text = Checked(sentence);
  if (text.empty()) return;
  const std::string_view name = text.substr(0, text.find(','));
  if (name.size() < 4) return;
  const std::string_view type = name.substr(name.size() - 3);
  const bool rmc = type == "RMC";
  const bool configured = sentenceToParse_.empty()
                              ? true
                              : sentence.substr(0, sentenceToParse_.size()) == sentenceToParse_;
  const bool update = configured && (rmc || type == "GGA" || type == "GLL");
  // The date of every RMC, with the time it belongs to, dates the other sentences.
  if (!update && !rmc) return;
  if (update) ++updates_;
  if (pendingCount_ == kMaxPending) Read();
  Pending& p = pending_[pendingCount_++];
  p.text.assign(text);
  p.update = update;
  p.rmc = rmc;
}

const GpsFix& GpsFixTracker::Fix() {
  if (pendingCount_ > 0) Read();
  return fix_;
}

void GpsFixTracker::Read() {
  // What a later sentence has decided.
  bool date = false;
  bool time = false;
  bool position = false;
  for (std::size_t i = pendingCount_; i-- > 0 && !(date && time && position);) {
    const Pending& p = pending_[i];
    const Fields f(p.text);
    const std::string_view type = f[0].substr(f[0].size() - 3);
    if (p.rmc && !date) {
      const double days = NmeaDateDays(f[9]);
      const double t = NmeaTimeOfDay(f[1]);
      if (!IsMissing(days) && !IsMissing(t)) {
        dateDays_ = days;
        dateTime_ = t;
        date = true;
      }
    }
    if (!p.update) continue;
    // Field numbers of time, latitude (+1: N/S), longitude (+1: E/W) and the validity test.
    std::size_t timeField = 1;
    std::size_t latField = 2;
    std::size_t validField = 6;
    if (type == "RMC") {
      latField = 3;
      validField = 2;
    } else if (type == "GLL") {
      timeField = 5;
      latField = 1;
    }
    if (!time) {
      const double t = NmeaTimeOfDay(f[timeField]);
      if (!IsMissing(t)) {
        fix_.timeOfDay = t;
        time = true;
      }
    }
    if (position) continue;
    position = true;
    const std::string_view v = f[validField];
    const bool valid = type == "GGA"   ? !v.empty() && v != "0"
                       : type == "RMC" ? v == "A"
                                       : v == "A" || v.empty();  // older GLL omit the status
    // A receiver without a fix says so: the position is then unknown, not the last one.
    const double lat = valid ? NmeaDegrees(f[latField], f[latField + 1], 2) : kMissing;
    const double lon = valid ? NmeaDegrees(f[latField + 2], f[latField + 3], 3) : kMissing;
    const bool known = !IsMissing(lat) && !IsMissing(lon);
    fix_.latitude = known ? lat : kMissing;
    fix_.longitude = known ? lon : kMissing;
  }
  pendingCount_ = 0;
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
