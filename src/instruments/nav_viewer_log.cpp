#include "instruments/nav_viewer_log.h"

#include <algorithm>

namespace vesk {

bool NavViewerLog::Append(std::string_view text) {
  std::lock_guard lock(mutex_);
  bool added = false;
  while (!text.empty()) {
    // find_first_of would call memchr once per character; a sentence ends at its "\r\n".
    const std::size_t end = static_cast<std::size_t>(
        std::find_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }) -
        text.begin());
    if (end > 0) {
      lines_.emplace_back(text.substr(0, std::min(end, kMaxLineLength)));
      if (lines_.size() > kMaxLines) lines_.pop_front();
      ++total_;
      added = true;
    }
    text.remove_prefix(std::min(end + 1, text.size()));
  }
  if (!added || noticePending_) return false;
  noticePending_ = true;
  return true;
}

NavViewerLog::NewLines NavViewerLog::Since(std::uint64_t seen) {
  std::lock_guard lock(mutex_);
  noticePending_ = false;
  NewLines out;
  out.next = total_;
  const std::uint64_t wanted = seen < total_ ? total_ - seen : 0;
  const std::size_t count =
      static_cast<std::size_t>(std::min<std::uint64_t>(wanted, lines_.size()));
  out.lines.assign(lines_.end() - static_cast<std::ptrdiff_t>(count), lines_.end());
  return out;
}

std::uint64_t NavViewerLog::Total() const {
  std::lock_guard lock(mutex_);
  return total_;
}

}  // namespace vesk
