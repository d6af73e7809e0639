#include "acquisition/headless_seams.h"

#include <cstdio>

namespace vesk {

void ConsoleDialogs::Print(const std::string& prefix, const std::string& text) {
  std::lock_guard lock(mutex_);
  messages_.push_back(text);
  if (quiet_) return;
  std::string oneLine = text;
  for (char& c : oneLine) {
    if (c == '\n' || c == '\t') c = ' ';
  }
  std::fprintf(stderr, "%s%s\n", prefix.c_str(), oneLine.c_str());
}

void ConsoleDialogs::ShowMessage(const std::string& text, const std::string& caption, MessageIcon) {
  Print(caption.empty() ? "vesk: " : "vesk: " + caption + ": ", text);
}

void ConsoleDialogs::QueueMessage(const std::string& text, const std::string& caption,
                                  MessageIcon icon) {
  ShowMessage(text, caption, icon);
}

void ConsoleDialogs::Notify(const std::string& text) {
  std::lock_guard lock(mutex_);
  notes_.push_back(text);
  if (!quiet_) std::fprintf(stderr, "vesk: %s\n", text.c_str());
}

std::vector<std::string> ConsoleDialogs::Notes() const {
  std::lock_guard lock(mutex_);
  return notes_;
}

bool ConsoleDialogs::AskYesNo(const std::string& text, const std::string& caption) {
  Print(caption.empty() ? "vesk: " : "vesk: " + caption + ": ", text);
  if (!quiet_) std::fprintf(stderr, "vesk: answering %s\n", answerYes_ ? "Yes" : "No");
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
