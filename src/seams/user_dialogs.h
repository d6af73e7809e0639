#pragma once
// The dialog seam: message boxes, Yes/No questions and the custom file-naming prompt, with
// the program's exact texts. Worker threads only ever queue a message; they never wait for
// the user.

#include <optional>
#include <string>

namespace vesk {

enum class MessageIcon { None, Information, Warning, Error, Question };

class UserDialogs {
 public:
  virtual ~UserDialogs() = default;
  // Modal box on the user-interface thread.
  virtual void ShowMessage(const std::string& text, const std::string& caption = "",
                           MessageIcon icon = MessageIcon::None) = 0;
  // From a worker thread: shown later on the user-interface thread; returns at once.
  virtual void QueueMessage(const std::string& text, const std::string& caption = "",
                            MessageIcon icon = MessageIcon::None) = 0;
  // A short note that needs no answer (a command ignored, a device back): the status bar in
  // the window, a line on stderr without one. From any thread; returns at once.
  virtual void Notify(const std::string& text) = 0;
  // Yes/No question on the user-interface thread; true for Yes. Enter takes Yes unless
  // `defaultYes` is false (a question whose Yes loses something).
  virtual bool AskYesNo(const std::string& text, const std::string& caption = "",
                        bool defaultYes = true) = 0;
  // The custom-naming save dialog: the chosen full path, or nothing when cancelled. `again`
  // is true when the name chosen last time was refused (a prompt that cannot offer another
  // name then cancels, rather than being asked forever).
  virtual std::optional<std::string> AskDataFileName(const std::string& proposedName,
                                                     const std::string& directory, bool again) = 0;
};

}  // namespace vesk
