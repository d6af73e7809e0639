#pragma once
// "Data Files": automatic or custom naming of the data files, and the data storage folder
// with its "Change" button. The folder is stored as soon as it is chosen; the naming choice
// on OK.

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace vesk {

class CVESKDoc;

class CDataFileNamingDlg : public QDialog {
  Q_OBJECT

 public:
  // The folder chooser "Change" runs (CSelectFolderDialog::ChooseFolder unless replaced).
  using FolderChooser =
      std::function<std::optional<std::string>(QWidget* parent, const std::string& startDir)>;

  CDataFileNamingDlg(CVESKDoc& doc, QWidget* parent = nullptr);

  void SetFolderChooser(FolderChooser chooser) { chooseFolder_ = std::move(chooser); }
  // "Change": the chooser on the current folder; a chosen folder is stored at once.
  void ChangeFolder();
  void accept() override;

  QCheckBox* AutomaticNaming() { return automatic_; }
  QString FolderText() const;

 signals:
  // A new data directory was stored (ends with '/').
  void DataDirChanged(const QString& dataDir);

 private:
  CVESKDoc& doc_;
  FolderChooser chooseFolder_;
  QCheckBox* automatic_ = nullptr;
  QLineEdit* folder_ = nullptr;
};

}  // namespace vesk
