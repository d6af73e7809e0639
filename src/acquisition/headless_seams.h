#pragma once
// The document's seams without windows: messages become lines on stderr, questions take a
// fixed answer (and say so), window messages are counted, pane texts kept.

#include <array>
#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "acquisition/window_messages.h"
#include "files/message_log.h"
#include "seams/user_dialogs.h"

namespace vesk {

class ConsoleDialogs : public UserDialogs {
 public:
  // answerYes: the answer to every Yes/No question. quiet: print nothing.
  explicit ConsoleDialogs(bool answerYes = true, bool quiet = false)
      : answerYes_(answerYes), quiet_(quiet) {}
  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void QueueMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void Notify(const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& caption, bool defaultYes) override;
  std::optional<std::string> AskDataFileName(const std::string& proposedName,
                                             const std::string& directory, bool again) override;
  // Every message and note also goes to `log` (which then writes the terminal's lines too).
  void SetLog(MessageLog* log) { log_ = log; }

  // The texts shown or queued so far, the latest kKept of them (tests).
  static constexpr std::size_t kKept = 1000;
  std::vector<std::string> Messages() const;
  int MessageCount() const;
  // The notes so far, likewise.
  std::vector<std::string> Notes() const;

 private:
  void Print(const std::string& caption, const std::string& text, LogSeverity severity);
  // The terminal's line (and the log's); the caller holds mutex_.
  void SayLocked(LogSeverity severity, const std::string& line);
  const bool answerYes_;
  const bool quiet_;
  MessageLog* log_ = nullptr;
  mutable std::mutex mutex_;
  std::vector<std::string> messages_;
  std::vector<std::string> notes_;
};

class HeadlessWindows : public WindowMessages {
 public:
  void Post(WindowTarget target, Uwm message) override;
  void Send(WindowTarget target, Uwm message) override;
  void SetPaneText(int pane, const std::string& text) override;

  int Count(Uwm message) const { return counts_[static_cast<int>(message)].load(); }
  std::string PaneText(int pane) const;

 private:
  std::array<std::atomic<int>, kUwmCount> counts_{};
  mutable std::mutex mutex_;
  std::array<std::string, 5> panes_;
};

}  // namespace vesk
