#include "acquisition/headless_seams.h"

#include <cstdio>

namespace vesk {

namespace {

// A run of months keeps only the latest texts.
void Keep(std::vector<std::string>& texts, const std::string& text) {
  if (texts.size() >= ConsoleDialogs::kKept) texts.erase(texts.begin());
  texts.push_back(text);
}

LogSeverity SeverityOf(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Error: return LogSeverity::Error;
    case MessageIcon::Warning: return LogSeverity::Warning;
    case MessageIcon::None:
    case MessageIcon::Question: return LogSeverity::Notice;
    case MessageIcon::Information: break;
  }
  return LogSeverity::Info;
}

}  // namespace

void ConsoleDialogs::Print(const std::string& caption, const std::string& text,
                           LogSeverity severity) {
  std::lock_guard lock(mutex_);
  Keep(messages_, text);
  std::string oneLine = caption.empty() ? text : caption + ": " + text;
  for (char& c : oneLine) {
    if (c == '\n' || c == '\t') c = ' ';
  }
  SayLocked(severity, oneLine);
}

void ConsoleDialogs::SayLocked(LogSeverity severity, const std::string& line) {
  if (log_ != nullptr) {
    log_->Write(severity, line, !quiet_);
  } else if (!quiet_) {
    std::fprintf(stderr, "vesk: %s\n", line.c_str());
  }
}

void ConsoleDialogs::ShowMessage(const std::string& text, const std::string& caption,
                                 MessageIcon icon) {
  Print(caption, text, SeverityOf(icon));
}

void ConsoleDialogs::QueueMessage(const std::string& text, const std::string& caption,
                                  MessageIcon icon) {
  ShowMessage(text, caption, icon);
}

void ConsoleDialogs::Notify(const std::string& text) {
  std::lock_guard lock(mutex_);
  Keep(notes_, text);
  SayLocked(LogSeverity::Notice, text);
}

std::vector<std::string> ConsoleDialogs::Notes() const {
  std::lock_guard lock(mutex_);
  return notes_;
}

bool ConsoleDialogs::AskYesNo(const std::string& text, const std::string& caption, bool) {
  Print(caption, text, LogSeverity::Notice);
  std::lock_guard lock(mutex_);
  SayLocked(LogSeverity::Notice, answerYes_ ? "answering Yes" : "answering No");
  return answerYes_;
}

std::optional<std::string> ConsoleDialogs::AskDataFileName(const std::string& proposedName,
                                                           const std::string& directory,
                                                           bool again) {
  // Without a window the proposed name is taken as it stands; refused, no other can be
  // chosen, so the question is cancelled.
  if (again) {
    if (!quiet_) {
      std::fprintf(stderr, "vesk: the data file name \"%s\" cannot be used; not logging\n",
                   proposedName.c_str());
    }
    return std::nullopt;
  }
  return directory + proposedName + ".bin";
}

std::vector<std::string> ConsoleDialogs::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

int ConsoleDialogs::MessageCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(messages_.size());
}

void HeadlessWindows::Post(WindowTarget, Uwm message) {
  ++counts_[static_cast<int>(message)];
}

void HeadlessWindows::Send(WindowTarget, Uwm message) {
  ++counts_[static_cast<int>(message)];
}

void HeadlessWindows::SetPaneText(int pane, const std::string& text) {
  if (pane < 0 || pane >= static_cast<int>(panes_.size())) return;
  std::lock_guard lock(mutex_);
  panes_[pane] = text;
}

std::string HeadlessWindows::PaneText(int pane) const {
  if (pane < 0 || pane >= static_cast<int>(panes_.size())) return {};
  std::lock_guard lock(mutex_);
  return panes_[pane];
}

}  // namespace vesk
