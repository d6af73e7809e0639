#pragma once
// The navigation viewer's history: the newest captured NMEA lines, from the counter's "$"
// frames and from the auxiliary port, whether or not the scan logs. Bounded in lines and in
// line length; safe to append from the worker threads while the window thread reads.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace vesk {

class NavViewerLog {
 public:
  static constexpr std::size_t kMaxLines = 500;
  // A sentence is at most 82 characters; anything longer is cut here.
  static constexpr std::size_t kMaxLineLength = 256;

  // Adds the lines of `text` (ended by "\r\n", "\r" or "\n"; empty lines are skipped), the
  // oldest going beyond kMaxLines. True when the reader should be told: it has read
  // everything before these lines, so no notice of it is pending yet.
  bool Append(std::string_view text);

  struct NewLines {
    std::vector<std::string> lines;  // oldest first
    std::uint64_t next = 0;          // pass this to the next call
  };
  // The lines appended after the first `seen` ones (at most the kMaxLines kept).
  NewLines Since(std::uint64_t seen);
  // Lines appended since the log was made (it never goes back).
  std::uint64_t Total() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
  std::uint64_t total_ = 0;
  bool noticePending_ = false;
};

}  // namespace vesk
