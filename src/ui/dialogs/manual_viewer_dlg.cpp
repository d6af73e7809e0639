#include "ui/dialogs/manual_viewer_dlg.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace vesk {
namespace {

constexpr const char* kPlaces[] = {"/../manual/", "/../share/vesk/manual/"};
constexpr int kWidth = 900;
constexpr int kHeight = 640;

}  // namespace

std::string FindManual(const std::string& programDir) {
  for (const char* place : kPlaces) {
    const QFileInfo info(QString::fromStdString(programDir + place + kManualFileName));
    if (info.isFile() && info.isReadable()) return info.canonicalFilePath().toStdString();
  }
  return {};
}

CManualViewerDlg::CManualViewerDlg(const std::string& path, QWidget* parent) : QDialog(parent) {
  setObjectName("manualViewer");
  setWindowTitle(kManualTitle);
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  browser_ = new QTextBrowser(this);
  browser_->setObjectName("manualText");
  browser_->setOpenExternalLinks(true);
  browser_->setSource(QUrl::fromLocalFile(QString::fromStdString(path)),
                      QTextDocument::MarkdownResource);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  resize(kWidth, kHeight);
}

}  // namespace vesk
