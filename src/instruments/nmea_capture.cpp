#include "instruments/nmea_capture.h"

#include "acquisition/vesk_doc.h"

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

void NmeaCapture::OnNmeaText(CVESKDoc& doc, std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() > kMaxBuffer) buffer_.erase(0, buffer_.size() - kMaxBuffer);

  const NavSettings& nav = doc.nav;
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
      CompleteGroup(doc, group);
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
    if (parse) {
      std::lock_guard lock(doc.navLock);
      ParsePositionSentence(sentence, nav, doc.navDisplay);
    }
    mask |= bit;
    if (mask == kAllEntries) {
      CompleteGroup(doc, group);
      group.clear();
      mask = emptyMask;
    }
  }
  // An incomplete group is collected again, from its first sentence, by the next block.
  buffer_.insert(0, group);
}

void NmeaCapture::CompleteGroup(CVESKDoc& doc, const std::string& group) {
  if (group.empty()) return;
  // The viewer shows what arrives, logging or not.
  if (doc.navViewer.Append(group) && doc.navViewerOpen)
    doc.windows.Post(WindowTarget::NavViewer, Uwm::NavViewerUpdate);
  if (!doc.logging || (doc.logInitialNmeaOnly && doc.initialNmeaWritten)) return;
  if (doc.datFile.Write(group)) {
    doc.initialNmeaWritten = true;
  } else if (doc.datFile.IsOpen()) {
    doc.ReportWriteFailure(doc.datFile, false, kNmeaWriteError);
  }
}

}  // namespace vesk
