#include "instruments/nmea_capture.h"

#include "instruments/nav_display.h"

namespace vesk {
namespace {

constexpr unsigned kAllEntries = 0xF;

// The mask of a new group: an entry without identifier counts as delivered.
unsigned EmptyGroupMask(const NavSettings& nav) {
  unsigned mask = 0;
  for (int i = 0; i < 4; ++i) {
    if (nav.nmeaStart[i].empty()) mask |= 1u << i;
  }
  return mask;
}

}  // namespace

void NmeaCapture::OnNmeaText(std::string_view text, const NavSettings& nav, NmeaCaptureSink& sink) {
  buffer_.append(text);
  if (buffer_.size() > kMaxBuffer) buffer_.erase(0, buffer_.size() - kMaxBuffer);

  const unsigned emptyMask = EmptyGroupMask(nav);
  unsigned mask = emptyMask;
  std::string group;
  for (;;) {
    // Text before the first "$" belongs to no sentence.
    const std::size_t dollar = buffer_.find('$');
    if (dollar == std::string::npos) {
      buffer_.clear();
      break;
    }
    buffer_.erase(0, dollar);
    if (buffer_.size() < 6) break;

    const std::string_view id(buffer_.data(), 6);
    int entry = -1;
    for (int i = 0; i < 4; ++i) {
      if (!nav.nmeaStart[i].empty() && nav.nmeaStart[i] == id) {
        entry = i;
        break;
      }
    }
    if (entry < 0) {
      buffer_.erase(0, 1);
      continue;
    }
    const unsigned bit = 1u << entry;
    if ((mask & bit) != 0) {
      // The identifier comes round again before the group filled up: the group is as
      // complete as it will get.
      if (!group.empty()) sink.Group(group);
      group.clear();
      mask = emptyMask;
    }
    const bool parse = !nav.sentenceToParse.empty() && id == nav.sentenceToParse;
    const std::string& termination = nav.nmeaEnd[entry].empty() ? "\r\n" : nav.nmeaEnd[entry];
    const std::size_t end = buffer_.find(termination, 1);
    if (end == std::string::npos) break;  // completed by a later block

    const std::size_t length = end + termination.size();
    const std::string sentence = buffer_.substr(0, length);
    group += sentence;
    buffer_.erase(0, length);
    if (parse) sink.PositionSentence(sentence);
    mask |= bit;
    if (mask == kAllEntries) {
      if (!group.empty()) sink.Group(group);
      group.clear();
      mask = emptyMask;
    }
  }
  // An incomplete group is collected again, from its first sentence, by the next block.
  buffer_.insert(0, group);
}

}  // namespace vesk
