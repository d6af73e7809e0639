#pragma once
// Position and time from one chosen NMEA sentence, as the control bar shows them.

#include <array>
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

  void Load(const SettingsStore& store);
};

// The three texts the control bar shows (Windows-1252, degree sign 0xB0).
struct NavDisplay {
  std::string latitude = "xx xx xx";
  std::string longitude = "yy yy yy";
  std::string time = "00:00:00";
};

// Parses the lines of `text` whose identifier is the configured sentence into `display`.
void ParsePositionSentence(std::string_view text, const NavSettings& settings, NavDisplay& display);

}  // namespace vesk
