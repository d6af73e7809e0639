#pragma once
// The counter's answers to the snapshot commands, found in what it sends (a scan's stream or
// its text between scans): to "r" a line "SNAPSHOT: ..." (taken, or why not), to the store
// of a snapshot "Disk Write Complete" or a line with an error.

#include <cstddef>
#include <string>
#include <string_view>

namespace vesk {

enum class SnapshotOutcome { None, Done, Failed, NoAnswer };

struct SnapshotReply {
  SnapshotOutcome outcome = SnapshotOutcome::None;
  std::string line;  // the counter's line that answered
};

class SnapshotReplyWatch {
 public:
  enum class Command { Take, Store };
  static constexpr std::size_t kMaxLine = 200;  // longer runs are a scan's frames, not text

  explicit SnapshotReplyWatch(Command command) : command_(command) {}
  // Bytes as they arrive, split anywhere: the first answer found (None until then).
  SnapshotReply Feed(std::string_view bytes);

 private:
  SnapshotReply Judge(const std::string& line) const;

  Command command_;
  std::string line_;
};

}  // namespace vesk
