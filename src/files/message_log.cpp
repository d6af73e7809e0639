#include "files/message_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "files/file_naming.h"

namespace vesk {

LogDestination ChooseLogDestination(const char* journalStream, const char* stateHome,
                                    const char* home, int stderrFd) {
  LogDestination d;
  if (journalStream != nullptr && *journalStream != '\0') {
    // Only when stderr is still the stream systemd gave: a program started from a service
    // with its output redirected must not count as in the journal.
    unsigned long long device = 0, inode = 0;
    struct stat st {};
    if (std::sscanf(journalStream, "%llu:%llu", &device, &inode) == 2 &&
        ::fstat(stderrFd, &st) == 0 && st.st_dev == device && st.st_ino == inode) {
      d.journal = true;
      return d;
    }
  }
  std::string base;
  if (stateHome != nullptr && stateHome[0] == '/') {
    base = stateHome;
  } else if (home != nullptr && home[0] == '/') {
    base = std::string(home) + "/.local/state";
  } else {
    return d;
  }
  d.filePath = base + "/VESK/vesk.log";
  return d;
}

LogDestination LogDestinationFromEnvironment() {
  return ChooseLogDestination(std::getenv("JOURNAL_STREAM"), std::getenv("XDG_STATE_HOME"),
                              std::getenv("HOME"), STDERR_FILENO);
}

bool RunBySystemd() {
  const char* id = std::getenv("INVOCATION_ID");
  return id != nullptr && *id != '\0';
}

MessageLog::MessageLog(LogDestination destination, std::FILE* terminal)
    : destination_(std::move(destination)), terminal_(terminal) {
  std::lock_guard lock(mutex_);
  OpenLocked();
  if (fd_ < 0 && !destination_.filePath.empty() && terminal_ != nullptr) {
    std::fprintf(terminal_, "vesk: the log file %s cannot be written (%s); messages go here only\n",
                 destination_.filePath.c_str(), std::strerror(errno));
  }
}

MessageLog::~MessageLog() {
  if (fd_ >= 0) ::close(fd_);
}

void MessageLog::OpenLocked() {
  if (destination_.journal || destination_.filePath.empty()) return;
  const std::string& path = destination_.filePath;
  CreateDirectories(path.substr(0, path.find_last_of('/') + 1));
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd_ < 0) return;
  struct stat st {};
  size_ = ::fstat(fd_, &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
  if (size_ >= kRotateBytes) RotateLocked();
}

void MessageLog::RotateLocked() {
  ::close(fd_);
  fd_ = -1;
  const std::string& path = destination_.filePath;
  for (int n = kKeptFiles - 1; n >= 1; --n) {
    ::rename((path + "." + std::to_string(n)).c_str(),
             (path + "." + std::to_string(n + 1)).c_str());
  }
  ::rename(path.c_str(), (path + ".1").c_str());
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  size_ = 0;
}

void MessageLog::Write(LogSeverity severity, std::string_view text, bool terminal) {
  std::string line(text);
  for (char& c : line) {
    if (c == '\n' || c == '\t' || c == '\r') c = ' ';
  }
  std::lock_guard lock(mutex_);
  if (terminal && terminal_ != nullptr) {
    if (destination_.journal) {
      std::fprintf(terminal_, "<%d>vesk: %s\n", static_cast<int>(severity), line.c_str());
    } else {
      std::fprintf(terminal_, "vesk: %s\n", line.c_str());
    }
  }
  if (fd_ < 0) return;
  const std::time_t now = std::time(nullptr);
  std::tm tm{};
  localtime_r(&now, &tm);
  char stamp[40];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S%z", &tm);
  const std::string entry =
      std::string(stamp) + " vesk[" + std::to_string(::getpid()) + "]: " + line + "\n";
  if (::write(fd_, entry.data(), entry.size()) > 0) size_ += entry.size();
  if (size_ >= kRotateBytes) RotateLocked();
}

}  // namespace vesk
