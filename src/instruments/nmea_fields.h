#pragma once
// The GPS time, date and position of the analysis export, read as numbers from the NMEA
// sentences of the recording (GGA, RMC and GLL of any talker).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "instruments/missing.h"

namespace vesk {

// The latest fix. Each field is missing (NaN) until a sentence brought it.
struct GpsFix {
  double timeOfDay = kMissing;     // UTC seconds since midnight
  double epochSeconds = kMissing;  // UTC seconds since 1970-01-01, when a date is known
  double latitude = kMissing;      // degrees north
  double longitude = kMissing;     // degrees east
};

class GpsFixTracker {
 public:
  // `sentenceToParse` ("$GPGGA"): the one sentence that gives time and position; empty: any
  // GGA, RMC or GLL does. The date always comes from the latest RMC.
  explicit GpsFixTracker(std::string sentenceToParse = {});

  // One sentence, with or without its line end. Sentences with a wrong checksum are ignored.
  // Only its checksum and type are read here; its fields when the fix is next asked for, and
  // only when a later sentence has not made them moot.
  void OnSentence(std::string_view sentence);
  const GpsFix& Fix();
  // How many sentences have set the fix (a receiver saying it has none included).
  std::uint64_t Updates() const { return updates_; }

 private:
  // A sentence not read yet: it sets the fix, or it is an RMC that may date it, or both.
  struct Pending {
    std::string text;  // without its line end and checksum
    bool update = false;
    bool rmc = false;
  };
  static constexpr std::size_t kMaxPending = 8;

  // Reads the pending sentences into the fix, the latest first, each only for what the later
  // ones left open.
  void Read();
  void UpdateEpoch();

  std::string sentenceToParse_;
  GpsFix fix_;
  std::uint64_t updates_ = 0;
  double dateDays_ = kMissing;  // days since 1970-01-01 of the latest RMC
  double dateTime_ = kMissing;  // that RMC's time of day
  std::array<Pending, kMaxPending> pending_;
  std::size_t pendingCount_ = 0;
};

// "ddmm.mmmm" (or "dddmm.mmmm") and its hemisphere letter to signed degrees; NaN when either
// is malformed or out of range.
double NmeaDegrees(std::string_view value, std::string_view hemisphere, int degreeDigits);
// "hhmmss[.sss]" to seconds since midnight; NaN when malformed.
double NmeaTimeOfDay(std::string_view value);
// "ddmmyy" to days since 1970-01-01 (years 80-99 are 1900s); NaN when malformed.
double NmeaDateDays(std::string_view value);

}  // namespace vesk
