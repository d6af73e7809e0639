#include "instruments/nav_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "instruments/line_scanner.h"
#include "instruments/nmea_fields.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

constexpr char kDegreeSign = '\xB0';  // Windows-1252

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// False when the sentence carries a checksum ("*hh", the XOR of the characters between "$"
// and "*") that does not match: the sentence was corrupted on the way.
bool ChecksumMatches(std::string_view line) {
  const std::size_t star = line.find('*');
  if (star == std::string_view::npos) return true;
  const std::size_t dollar = line.find('$');
  const std::size_t from = dollar == std::string_view::npos || dollar > star ? 0 : dollar + 1;
  unsigned sum = 0;
  for (std::size_t i = from; i < star; ++i) sum ^= static_cast<unsigned char>(line[i]);
  std::string_view tail = line.substr(star + 1);
  while (!tail.empty() && IsBlank(tail.back())) tail.remove_suffix(1);
  if (tail.size() != 2) return false;
  const int high = HexValue(tail[0]);
  const int low = HexValue(tail[1]);
  return high >= 0 && low >= 0 && static_cast<unsigned>(high * 16 + low) == sum;
}

// The fields of one sentence: "*" counts as a separator, empty fields are kept. They point
// into the sentence; `fields` is reused from sentence to sentence.
void SplitFields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (line[i] == ',' || line[i] == '*') {
      fields.push_back(line.substr(start, i - start));
      start = i + 1;
    }
  }
  fields.push_back(line.substr(start));
}

// The field at a position counted from 1, or nullptr when the sentence is shorter.
const std::string_view* Field(const std::vector<std::string_view>& fields, int position) {
  if (position < 1 || static_cast<std::size_t>(position) > fields.size()) return nullptr;
  return &fields[static_cast<std::size_t>(position) - 1];
}

bool AllDigits(std::string_view text) {
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return !text.empty();
}

// "dd\xB0 mm' ss\" H" from a ddmm.mmmm (or dddmm.mmmm) field and its hemisphere field. The
// seconds are rounded once, and a rounding up to 60 carries into the minutes and on into
// the degrees: 6329.9999 reads 063\xB0 30' 00", never 29' 60".
bool FormatAngle(std::string_view value, std::size_t degreeDigits,
                 const std::string_view* hemisphere, std::string& out) {
  if (value.size() < degreeDigits + 2) return false;
  double fraction = 0;
  const std::size_t point = value.find('.');
  if (point != std::string_view::npos && value.size() - point >= 2) {
    fraction = ParseReal(value.substr(point));
  }
  long seconds = std::lround(fraction * 60);
  std::string degrees(value.substr(0, degreeDigits));
  std::string minutes(value.substr(degreeDigits, 2));
  if (seconds >= 60 && AllDigits(degrees) && AllDigits(minutes)) {
    const int total = std::stoi(degrees) * 60 + std::stoi(minutes) + 1;
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", static_cast<int>(degreeDigits), total / 60);
    degrees = text;
    std::snprintf(text, sizeof text, "%02d", total % 60);
    minutes = text;
    seconds = 0;
  }
  // A field that is not a number cannot carry: its seconds stay below 60.
  seconds = std::clamp(seconds, 0L, 59L);
  char secondsText[8];
  std::snprintf(secondsText, sizeof secondsText, "%02ld", seconds);
  out = degrees;
  out += kDegreeSign;
  out += ' ';
  out += minutes;
  out += "' ";
  out += secondsText;
  out += "\" ";
  if (hemisphere != nullptr) out += *hemisphere;
  return true;
}

}  // namespace

void NavSettings::Load(const SettingsStore& store) {
  sentenceToParse = store.Read(keys::kSentenceToParse);
  if (!sentenceToParse.empty()) {
    latPos = store.Read(keys::kLatPos);
    latNsPos = store.Read(keys::kLatNsPos);
    longPos = store.Read(keys::kLongPos);
    longEwPos = store.Read(keys::kLongEwPos);
    timePos = store.Read(keys::kTimePos);
  } else {
    latPos = latNsPos = longPos = longEwPos = timePos = 0;
  }
  for (int i = 0; i < 4; ++i) {
    const std::string n = std::to_string(i + 1);
    nmeaStart[i] = store.ReadString("NavSettings", "NmeaStart" + n, "");
    nmeaEnd[i] = store.ReadString("NavSettings", "NmeaEnd" + n, "\r\n");
  }
  staleFixSeconds = std::max(1, store.Read(keys::kStaleFixSeconds));
}

void ParsePositionSentence(std::string_view text, const NavSettings& settings, NavDisplay& display,
                           NavDisplay::TimePoint now) {
  NavDisplay parsed;
  parsed.lastFix = display.lastFix;
  bool used = false;
  std::vector<std::string_view> fields;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 2);

    SplitFields(line, fields);
    if (settings.sentenceToParse.empty() || fields[0] != settings.sentenceToParse) continue;
    if (!ChecksumMatches(line)) continue;
    used = true;
    bool haveLatitude = false;
    bool haveLongitude = false;
    if (const std::string_view* lat = Field(fields, settings.latPos)) {
      haveLatitude = FormatAngle(*lat, 2, Field(fields, settings.latNsPos), parsed.latitude);
    }
    if (const std::string_view* lon = Field(fields, settings.longPos)) {
      haveLongitude = FormatAngle(*lon, 3, Field(fields, settings.longEwPos), parsed.longitude);
    }
    if (haveLatitude && haveLongitude) {
      parsed.lastFix = now;
      const std::string_view* ns = Field(fields, settings.latNsPos);
      const std::string_view* ew = Field(fields, settings.longEwPos);
      parsed.latitudeDegrees = NmeaDegrees(*Field(fields, settings.latPos), ns ? *ns : "", 2);
      parsed.longitudeDegrees = NmeaDegrees(*Field(fields, settings.longPos), ew ? *ew : "", 3);
    }
    if (const std::string_view* time = Field(fields, settings.timePos); time && time->size() >= 6) {
      parsed.time.assign(time->substr(0, 2));
      parsed.time += ':';
      parsed.time += time->substr(2, 2);
      parsed.time += ':';
      parsed.time += time->substr(4, 2);
    }
  }
  // A text without a usable sentence (a corrupted one) leaves the display as it was.
  if (used) display = parsed;
}

FixAge FixAgeAt(const NavDisplay& display, NavDisplay::TimePoint now, int staleSeconds) {
  if (!display.lastFix) return {"--", false};
  const long seconds = std::max(
      0L, static_cast<long>(
              std::chrono::duration_cast<std::chrono::seconds>(now - *display.lastFix).count()));
  char text[32];
  if (seconds < 100) {
    std::snprintf(text, sizeof text, "%ld s", seconds);
  } else if (seconds < 100 * 60) {
    std::snprintf(text, sizeof text, "%ld min", seconds / 60);
  } else {
    std::snprintf(text, sizeof text, "%ld h", seconds / 3600);
  }
  const bool stale = seconds > staleSeconds;
  return {stale ? std::string("STALE ") + text : std::string(text), stale};
}

}  // namespace vesk
