#pragma once
// Collects the NMEA sentences that arrive on the auxiliary port into groups (one sentence of
// each configured identifier), writes each complete group to the processed data file and
// the navigation viewer, and hands the chosen sentence to the position parser.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk {

class CVESKDoc;

inline constexpr const char* kNmeaWriteError =
    "Error writing GPS/NMEA Sentence to log file.\n\nCause:";

class NmeaCapture {
 public:
  // The receive buffer keeps at most this many characters (the oldest are dropped).
  static constexpr std::size_t kMaxBuffer = 64 * 1024;

  // One block of received characters (auxiliary thread only).
  void OnNmeaText(CVESKDoc& doc, std::string_view text);
  // Forgets the characters received so far (a new run of the auxiliary port).
  void Reset() { buffer_.clear(); }

  // The characters received and not yet taken.
  const std::string& Buffer() const { return buffer_; }

 private:
  void CompleteGroup(CVESKDoc& doc, const std::string& group);

  std::string buffer_;
};

}  // namespace vesk
