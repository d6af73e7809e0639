#pragma once
// Collects the NMEA sentences that arrive on the auxiliary port into groups (one sentence of
// each configured identifier), and hands each complete group (for the processed data file and
// the navigation viewer) and each sentence chosen for parsing to its sink.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk {

struct NavSettings;

// Where the capture's results go (auxiliary thread).
class NmeaCaptureSink {
 public:
  virtual ~NmeaCaptureSink() = default;
  // A sentence of the identifier chosen for the position, with its termination.
  virtual void PositionSentence(std::string_view sentence) = 0;
  // A complete group, its sentences in order of arrival.
  virtual void Group(const std::string& group) = 0;
};

inline constexpr const char* kNmeaWriteError =
    "Error writing GPS/NMEA Sentence to log file.\n\nCause:";

class NmeaCapture {
 public:
  // The receive buffer keeps at most this many characters (the oldest are dropped).
  static constexpr std::size_t kMaxBuffer = 64 * 1024;

  // One block of received characters (auxiliary thread only).
  void OnNmeaText(std::string_view text, const NavSettings& nav, NmeaCaptureSink& sink);
  // Forgets the characters received so far (a new run of the auxiliary port).
  void Reset() { buffer_.clear(); }

  // The characters received and not yet taken.
  const std::string& Buffer() const { return buffer_; }

 private:
  std::string buffer_;
};

}  // namespace vesk
