#pragma once
// "Select folder": the file dialog turned folder chooser of the data directory. "Select"
// refuses a path with a doubled separator, offers to create a missing folder, and returns
// the folder with exactly one trailing '/'.

#include <QFileDialog>
#include <optional>
#include <string>
#include <string_view>

namespace vesk {

class DialogPrompts;

// The typed folder without one trailing separator, or nothing when it is empty or holds two
// separators in a row ("//", or the doubled backslash of a Windows path).
std::optional<std::string> CheckFolderText(std::string_view text);

class CSelectFolderDialog : public QFileDialog {
  Q_OBJECT

 public:
  CSelectFolderDialog(QWidget* parent, const std::string& startDir);

  // Runs the chooser; the chosen folder ending with '/', or nothing when cancelled.
  static std::optional<std::string> ChooseFolder(QWidget* parent, const std::string& startDir);

  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  // What "Select" does with the name field's text (relative to the folder shown): the
  // folder to return, or nothing when the dialog stays open.
  std::optional<std::string> TrySelect(const std::string& text);
  const std::string& Folder() const { return folder_; }

  void accept() override;

 private:
  DialogPrompts* prompts_;
  std::string folder_;
};

}  // namespace vesk
