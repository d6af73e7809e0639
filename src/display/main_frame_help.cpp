// The main window's Help menu: the program's version, the maker's web page and the software
// manual.

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <cctype>
#include <cstdio>

#include "acquisition/vesk_doc.h"
#include "display/main_frame.h"
#include "ui/dialogs/manual_viewer_dlg.h"

namespace vesk {
namespace {

constexpr const char* kMakerWebPage = "https://www.corvane.example/";
constexpr const char* kNoWebBrowserFormat =
    "No web browser is available on this computer to open %s\n\nOpen that address on a "
    "computer with a web browser.";
constexpr const char* kManualMissing =
    "The VESK Software Manual (vesk-manual.md) was not found beside the program or in its "
    "share/vesk/manual folder: it is installed with the vesk package.";
// A web browser is there when $BROWSER names one or one of these is installed (Debian's
// x-www-browser stands for whichever the system prefers).
constexpr const char* kWebBrowsers[] = {"x-www-browser", "firefox",          "firefox-esr",
                                        "chromium",      "chromium-browser", "google-chrome",
                                        "epiphany",      "konqueror",        "falkon"};

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), text.size());
}

}  // namespace

std::string ManualFileName(const std::string& stored) {
  std::string lower = stored;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (lower.find(".pdf") != std::string::npos) return stored;
  return stored + ".pdf";
}

void CMainFrame::ShowBuiltManual() {
  if (manual_ != nullptr) {
    manual_->raise();
    manual_->activateWindow();
    return;
  }
  const std::string path = FindManual(QCoreApplication::applicationDirPath().toStdString());
  if (path.empty()) {
    doc_.Dialogs().ShowMessage(kManualMissing, "", MessageIcon::Error);
    return;
  }
  auto* viewer = new CManualViewerDlg(path, this);
  manual_ = viewer;
  viewer->show();
}

std::string ManualErrorText(ManualProblem problem, const std::string& name) {
  switch (problem) {
    case ManualProblem::NotFound: return "ERROR: The file " + name + " was not found";
    case ManualProblem::NoApplication:
      return "ERROR: No application was detected to open this file type '*.PDF'.\n\nThe file " +
             name +
             " needs a PDF reader such as Adobe Acrobat or Acrobat Reader, which can be "
             "installed from the installation CD or downloaded from the vendor's web site.";
    case ManualProblem::Other: break;
  }
  return "ERROR: Problem opening file " + name;
}

void CMainFrame::OnAbout() {
  QMessageBox::about(this, QStringLiteral("About VESK"),
                     QStringLiteral("VESK version %1\n%2\nData Collection, Processing and Display")
                         .arg(QString::fromLatin1(CVESKDoc::kVersion),
                              QString::fromLatin1(kInstrumentDescription)));
}

bool WebBrowserAvailable() {
  if (!qEnvironmentVariableIsEmpty("BROWSER")) return true;
  for (const char* browser : kWebBrowsers) {
    if (!QStandardPaths::findExecutable(QString::fromLatin1(browser)).isEmpty()) return true;
  }
  return false;
}

void CMainFrame::OnWebPage() {
  if (!WebBrowserAvailable() ||
      !QDesktopServices::openUrl(QUrl(QString::fromLatin1(kMakerWebPage)))) {
    char text[512];
    std::snprintf(text, sizeof text, kNoWebBrowserFormat, kMakerWebPage);
    doc_.Dialogs().ShowMessage(text, "", MessageIcon::Information);
  }
}

void CMainFrame::OnManual() {
  const std::string name = ManualFileName(doc_.Store().Read(keys::kSwManualVer));
  // A manual the settings name (a bare name beside the program) opens in its own reader;
  // otherwise the one built with the program, in a window of its own.
  QFileInfo info(Latin1(name));
  if (info.isRelative()) {
    info = QFileInfo(QCoreApplication::applicationDirPath() + QLatin1Char('/') + Latin1(name));
  }
  if (!info.exists() || !info.isFile()) {
    ShowBuiltManual();
    return;
  }
  if (!info.isReadable()) {
    doc_.Dialogs().ShowMessage(ManualErrorText(ManualProblem::Other, name), "", MessageIcon::Error);
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(info.absoluteFilePath()))) {
    doc_.Dialogs().ShowMessage(ManualErrorText(ManualProblem::NoApplication, name), "",
                               MessageIcon::Error);
  }
}

}  // namespace vesk
