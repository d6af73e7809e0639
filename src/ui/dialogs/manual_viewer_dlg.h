#pragma once
// "VESK Software Manual": the manual built with the program (the README and the programs'
// manual pages) in a window of its own, so that it reads without a web browser or a PDF
// reader; its web links open in the browser when there is one.

#include <QDialog>
#include <string>

class QTextBrowser;

namespace vesk {

inline constexpr const char* kManualTitle = "VESK Software Manual";
inline constexpr const char* kManualFileName = "vesk-manual.md";

// Where the manual of this program is: beside a built program (../manual) or where the
// package installs it (../share/vesk/manual); "" when neither holds it.
std::string FindManual(const std::string& programDir);

class CManualViewerDlg : public QDialog {
  Q_OBJECT

 public:
  CManualViewerDlg(const std::string& path, QWidget* parent = nullptr);
  QTextBrowser* Browser() const { return browser_; }

 private:
  QTextBrowser* browser_ = nullptr;
};

}  // namespace vesk
