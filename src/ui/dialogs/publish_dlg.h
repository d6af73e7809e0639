#pragma once
// "Publish Records": every processed record as a JSON datagram on the network, to an
// address and port, of the chosen kinds. Taken at once on OK.

#include <QDialog>
#include <string>

class QCheckBox;
class QLineEdit;
class QSpinBox;

namespace vesk {

class DialogPrompts;
class SettingsStore;

// "" for a usable destination (a numeric IPv4/IPv6 address or a host name), else the
// refusal.
std::string CheckPublishAddress(const std::string& address);

class CPublishDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CPublishDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  SettingsStore& store_;
  DialogPrompts* prompts_;
  QCheckBox* enabled_ = nullptr;
  QLineEdit* address_ = nullptr;
  QSpinBox* port_ = nullptr;
  QSpinBox* ttl_ = nullptr;
  QCheckBox* types_[6] = {};  // one for each kind of record
};

}  // namespace vesk
