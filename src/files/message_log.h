#pragma once
// The program's messages beyond the terminal: run by systemd with its output in the journal,
// they go there with their priority; otherwise they are also kept, time-stamped, in a log
// file in the XDG state directory ($XDG_STATE_HOME/VESK/vesk.log, by default
// ~/.local/state/VESK/vesk.log), which is rotated at 1 MiB keeping five old files.

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <string_view>

namespace vesk {

enum class LogSeverity { Error = 3, Warning = 4, Notice = 5, Info = 6 };

struct LogDestination {
  bool journal = false;  // the terminal (stderr) is the systemd journal: no file
  std::string filePath;  // the log file; empty: none
};

// The journal when JOURNAL_STREAM ("device:inode") names `stderrFd`'s file; else the log file
// under `stateHome` ($XDG_STATE_HOME, when absolute) or `home` + "/.local/state". Null
// arguments are unset variables.
LogDestination ChooseLogDestination(const char* journalStream, const char* stateHome,
                                    const char* home, int stderrFd);
// The destination from this process's environment.
LogDestination LogDestinationFromEnvironment();
// True when systemd started the program (INVOCATION_ID is set): its output is kept by the
// service manager, so the status line is written less often.
bool RunBySystemd();

class MessageLog {
 public:
  static constexpr std::uint64_t kRotateBytes = 1 << 20;
  static constexpr int kKeptFiles = 5;

  // Opens (creates) the log file of `destination`; a file that cannot be opened is told on
  // the terminal once and the messages go there only.
  explicit MessageLog(LogDestination destination, std::FILE* terminal = stderr);
  ~MessageLog();
  MessageLog(const MessageLog&) = delete;
  MessageLog& operator=(const MessageLog&) = delete;

  // One message, its line breaks and tabs made blanks: "vesk: <text>" on the terminal
  // (unless `terminal` is false; in the journal with its "<N>" priority), and
  // "<local time> vesk[<pid>]: <text>" in the file. From any thread.
  void Write(LogSeverity severity, std::string_view text, bool terminal = true);
  const std::string& FilePath() const { return destination_.filePath; }
  bool FileOpen() const { return fd_ >= 0; }

 private:
  void OpenLocked();
  void RotateLocked();

  LogDestination destination_;
  std::FILE* terminal_;
  std::mutex mutex_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

}  // namespace vesk
