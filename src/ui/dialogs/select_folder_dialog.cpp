#include "ui/dialogs/select_folder_dialog.h"

#include <QLineEdit>
#include <filesystem>

#include "files/file_naming.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kTitle = "Select folder";
constexpr const char* kSelectLabel = "Select";
constexpr const char* kNameLabel = "Current Folder";
constexpr const char* kNoFilesFilter = "*..*";
constexpr const char* kInvalidFolder = "Invalid Folder";
constexpr const char* kCreateQuestion = "This path does not exist. Do you want to create it?";
constexpr const char* kCannotCreate = "Could not create folder:";

bool IsSeparator(char c) {
  return c == '/' || c == '\\';
}

bool IsDirectory(const std::string& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

}  // namespace

std::optional<std::string> CheckFolderText(std::string_view text) {
  if (text.empty()) return std::nullopt;
  if (text.find("//") != std::string_view::npos || text.find("\\\\") != std::string_view::npos) {
    return std::nullopt;
  }
  std::string folder(text);
  if (folder.size() > 1 && IsSeparator(folder.back())) folder.pop_back();
  return folder;
}

CSelectFolderDialog::CSelectFolderDialog(QWidget* parent, const std::string& startDir)
    : QFileDialog(parent, kTitle, QString::fromStdString(startDir)), prompts_(&StandardPrompts()) {
  setOption(QFileDialog::DontUseNativeDialog, true);
  setOption(QFileDialog::ShowDirsOnly, true);
  setFileMode(QFileDialog::Directory);
  setNameFilter(kNoFilesFilter);
  setLabelText(QFileDialog::Accept, kSelectLabel);
  setLabelText(QFileDialog::FileName, kNameLabel);
}

std::optional<std::string> CSelectFolderDialog::ChooseFolder(QWidget* parent,
                                                             const std::string& startDir) {
  CSelectFolderDialog dialog(parent, startDir);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Folder();
}

std::optional<std::string> CSelectFolderDialog::TrySelect(const std::string& typed) {
  std::string text = typed;
  const std::string shown = directory().absolutePath().toStdString();
  if (text.empty()) {
    text = shown;
  } else if (!IsSeparator(text.front())) {
    text = shown + "/" + text;  // a name picked in the list is relative to the folder shown
  }
  const std::optional<std::string> folder = CheckFolderText(text);
  if (!folder) {
    prompts_->Message(this, kInvalidFolder, kTitle, QMessageBox::Critical);
    return std::nullopt;
  }
  if (!IsDirectory(*folder)) {
    // On No nothing is chosen: the dialog stays open for another folder.
    if (!prompts_->Ask(this, *folder + "\n\n" + kCreateQuestion, kTitle, QMessageBox::Question,
                       DialogPrompts::Buttons::YesNo)) {
      return std::nullopt;
    }
    CreateDirectories(*folder);
    if (!IsDirectory(*folder)) {
      prompts_->Message(this, std::string(kCannotCreate) + "\n" + *folder, kTitle,
                        QMessageBox::Critical);
      return std::nullopt;
    }
  }
  return *folder == "/" ? *folder : *folder + "/";
}

void CSelectFolderDialog::accept() {
  auto* nameField = findChild<QLineEdit*>("fileNameEdit");
  const std::string typed = nameField != nullptr ? nameField->text().toStdString() : std::string();
  const std::optional<std::string> chosen = TrySelect(typed);
  if (!chosen) return;  // stays open
  folder_ = *chosen;
  QDialog::accept();  // the file dialog's own check would refuse a folder that is missing
}

}  // namespace vesk
