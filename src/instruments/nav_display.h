#pragma once
// Position and time from one chosen NMEA sentence, as the control bar shows them.

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class SettingsStore;

// The NMEA settings in force for one scan (loaded at its start).
struct NavSettings {
  std::string sentenceToParse;  // e.g. "$GPGGA"; empty: nothing is parsed
  int latPos = 0;
  int latNsPos = 0;
  int longPos = 0;
  int longEwPos = 0;
  int timePos = 0;
  std::array<std::string, 4> nmeaStart;  // captured identifiers; empty entries ignored
  std::array<std::string, 4> nmeaEnd;    // their terminations ("\r\n" or one character)
  int staleFixSeconds = 10;              // a position older than this is marked stale

  void Load(const SettingsStore& store);
};

// The three texts the control bar shows (Windows-1252, degree sign 0xB0), and when the last
// position arrived.
struct NavDisplay {
  using TimePoint = std::chrono::steady_clock::time_point;

  std::string latitude = "xx xx xx";
  std::string longitude = "yy yy yy";
  std::string time = "00:00:00";
  std::optional<TimePoint> lastFix;  // a sentence that gave latitude and longitude
};

// Parses the lines of `text` whose identifier is the configured sentence into `display`; a
// sentence with a latitude and a longitude sets the time of the last fix to `now`.
void ParsePositionSentence(std::string_view text, const NavSettings& settings, NavDisplay& display,
                           NavDisplay::TimePoint now = std::chrono::steady_clock::now());

// How old the last fix is at `now`: "--" before the first, "4 s", "3 min", "2 h", with
// "STALE " in front once it is older than `staleSeconds`.
struct FixAge {
  std::string text;
  bool stale = false;
};
FixAge FixAgeAt(const NavDisplay& display, NavDisplay::TimePoint now, int staleSeconds);

}  // namespace vesk
