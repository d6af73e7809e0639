#pragma once
// The dialog seam with windows: message boxes and questions with the program's texts, a
// worker's message shown later on the user-interface thread, and the custom-naming save
// dialog. In scripted runs (screenshots) messages go to stderr and every question takes
// the answer that carries out the command line.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "files/message_log.h"
#include "seams/user_dialogs.h"

namespace vesk {

inline constexpr const char* kDataFileNameTitle = "Enter Filename for VESK Data Storage";

class QtUserDialogs : public UserDialogs {
 public:
  explicit QtUserDialogs(bool scripted = false) : scripted_(scripted) {}

  // The window the boxes belong to (the main frame once it exists).
  void SetParent(QWidget* parent) { parent_ = parent; }
  // Where notes are shown (on the user-interface thread); until set they go to stderr only.
  void SetNoteSink(std::function<void(const std::string&)> sink) { noteSink_ = std::move(sink); }
  bool Scripted() const { return scripted_; }
  // Every message and note also goes to `log`.
  void SetLog(MessageLog* log) { log_ = log; }
  // Every text shown or asked so far in a scripted run.
  std::vector<std::string> Shown() const;

  void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void QueueMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
  void Notify(const std::string& text) override;
  bool AskYesNo(const std::string& text, const std::string& caption, bool defaultYes) override;
  std::optional<std::string> AskDataFileName(const std::string& proposedName,
                                             const std::string& directory, bool again) override;

 private:
  // On stderr (and in the log); kept for Shown() unless `keep` is false.
  void Print(const std::string& caption, const std::string& text, MessageIcon icon,
             bool keep = true);
  // The message in the log only (its box shows it).
  void Log(const std::string& caption, const std::string& text, MessageIcon icon);

  const bool scripted_;
  MessageLog* log_ = nullptr;
  QPointer<QWidget> parent_;
  std::function<void(const std::string&)> noteSink_;
  mutable std::mutex mutex_;
  std::vector<std::string> shown_;
};

}  // namespace vesk
