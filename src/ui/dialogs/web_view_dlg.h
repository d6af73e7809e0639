#pragma once
// "Web View": the read-only live page served over HTTP, its address and port, the computers
// allowed to see it and how many browsers may follow it at once. Taken at once on OK (the
// server is restarted with the new settings).

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace vesk {

class DialogPrompts;
class SettingsStore;

// "" when every comma-separated entry is "*", a numeric address, a subnet (10.0.0.0/24) or a
// host name (blank entries ignored; an empty list allows this computer only), else the
// refusal naming the entry.
std::string CheckWebAllowedHosts(const std::string& allowedHosts);

class CWebViewDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CWebViewDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  SettingsStore& store_;
  DialogPrompts* prompts_;
  QCheckBox* enabled_ = nullptr;
  QLineEdit* bind_ = nullptr;
  QSpinBox* port_ = nullptr;
  QLineEdit* hosts_ = nullptr;
  QSpinBox* maxClients_ = nullptr;
};

}  // namespace vesk
