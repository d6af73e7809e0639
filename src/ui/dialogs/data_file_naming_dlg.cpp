#include "ui/dialogs/data_file_naming_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "acquisition/vesk_doc.h"
#include "ui/dialogs/select_folder_dialog.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Data Files";
constexpr const char* kAutomaticCaption = "USE AUTOMATIC FILE NAMING";
constexpr const char* kAutomaticHelp =
    "Ticked: data files are named in the standard format VESK_DATE_TIME "
    "(for example VESK_2026-12-06_101500.bin and .dat).";
constexpr const char* kCustomHelp =
    "Clear: you are asked for a file name each time data logging starts.";
constexpr const char* kFolderGroup = "Change Data Storage Folder";
constexpr const char* kChangeCaption = "Change";

}  // namespace

CDataFileNamingDlg::CDataFileNamingDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), chooseFolder_(&CSelectFolderDialog::ChooseFolder) {
  setWindowTitle(kCaption);
  setModal(true);

  automatic_ = new QCheckBox(kAutomaticCaption, this);
  automatic_->setChecked(doc_.Store().ReadBool(keys::kUseDefaultFileNaming));
  auto* automaticHelp = new QLabel(kAutomaticHelp, this);
  auto* customHelp = new QLabel(kCustomHelp, this);
  for (QLabel* l : {automaticHelp, customHelp}) l->setWordWrap(true);
  const auto showHelp = [automaticHelp, customHelp](bool automatic) {
    automaticHelp->setEnabled(automatic);
    customHelp->setEnabled(!automatic);
  };
  showHelp(automatic_->isChecked());
  connect(automatic_, &QCheckBox::toggled, this, showHelp);

  auto* group = new QGroupBox(kFolderGroup, this);
  const std::string stored = doc_.Store().Read(keys::kDataDir);
  folder_ = new QLineEdit(
      QString::fromStdString(stored.empty() ? DefaultDataDir() : WithTrailingSlash(stored)), group);
  folder_->setReadOnly(true);
  folder_->setMinimumWidth(320);
  auto* change = new QPushButton(kChangeCaption, group);
  change->setObjectName("changeFolderButton");
  change->setAutoDefault(false);
  connect(change, &QPushButton::clicked, this, &CDataFileNamingDlg::ChangeFolder);
  auto* groupLayout = new QHBoxLayout(group);
  groupLayout->addWidget(folder_, 1);
  groupLayout->addWidget(change);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CDataFileNamingDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CDataFileNamingDlg::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(automatic_);
  layout->addWidget(automaticHelp);
  layout->addWidget(customHelp);
  layout->addWidget(group);
  layout->addWidget(buttons);
}

QString CDataFileNamingDlg::FolderText() const {
  return folder_->text();
}

void CDataFileNamingDlg::ChangeFolder() {
  const std::optional<std::string> chosen = chooseFolder_(this, folder_->text().toStdString());
  if (!chosen) return;
  const std::string dir = WithTrailingSlash(*chosen);
  doc_.SetDataDirectory(dir);
  folder_->setText(QString::fromStdString(dir));
  emit DataDirChanged(folder_->text());
}

void CDataFileNamingDlg::accept() {
  const bool automatic = automatic_->isChecked();
  doc_.Store().Write(keys::kUseDefaultFileNaming, automatic ? 1 : 0);
  doc_.ChangeSettings([&](DocumentSettings& s) { s.useDefaultFileNaming = automatic; });
  QDialog::accept();
}

}  // namespace vesk
