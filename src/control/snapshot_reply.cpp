#include "control/snapshot_reply.h"

#include <algorithm>
#include <cctype>

namespace vesk {
namespace {

constexpr std::string_view kTakenPrefix = "SNAPSHOT:";
constexpr std::string_view kStored = "Disk Write Complete";

bool ContainsWord(std::string_view line, std::string_view upperWord) {
  std::string upper(line);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper.find(upperWord) != std::string::npos;
}

bool SaysFailure(std::string_view line) {
  return ContainsWord(line, "FAIL") || ContainsWord(line, "ERROR");
}

}  // namespace

SnapshotReply SnapshotReplyWatch::Feed(std::string_view bytes) {
  for (const char c : bytes) {
    if (c != '\r' && c != '\n') {
      if (line_.size() < kMaxLine) {
        line_.push_back(c);
      } else {
        line_.clear();
      }
      continue;
    }
    const SnapshotReply reply = Judge(line_);
    line_.clear();
    if (reply.outcome != SnapshotOutcome::None) return reply;
  }
  return {};
}

SnapshotReply SnapshotReplyWatch::Judge(const std::string& line) const {
  if (command_ == Command::Take) {
    const std::size_t at = line.find(kTakenPrefix);
    if (at == std::string::npos) return {};
    return {SaysFailure(line) ? SnapshotOutcome::Failed : SnapshotOutcome::Done, line.substr(at)};
  }
  if (line.find(kStored) != std::string::npos) return {SnapshotOutcome::Done, line};
  if (SaysFailure(line)) return {SnapshotOutcome::Failed, line};
  return {};
}

}  // namespace vesk
