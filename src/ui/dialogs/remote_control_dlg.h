#pragma once
// "Remote Control": the UDP port, the address the socket binds to, and the hosts allowed to
// send commands. The socket is opened when the program starts, so changes apply from then.

#include <QDialog>
#include <string>

class QLineEdit;
class QSpinBox;

namespace vesk {

class DialogPrompts;
class SettingsStore;

// "" for an acceptable bind address ("" or "*" for every interface, or a numeric IPv4/IPv6
// address), else the refusal.
std::string CheckBindAddress(const std::string& bindAddress);
// "" when every comma-separated entry is a numeric IPv4/IPv6 address (blank entries are
// ignored; an empty list allows every sender), else the refusal naming the entry.
std::string CheckAllowedHosts(const std::string& allowedHosts);
// True when a socket bound to `bindAddress` takes datagrams from other computers (anything
// but a loopback address).
bool OpensToOtherHosts(const std::string& bindAddress);
// The question asked before commands are taken from the network.
std::string OtherHostsWarning(const std::string& bindAddress, const std::string& allowedHosts);

class CRemoteControlDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CRemoteControlDlg(SettingsStore& store, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }
  void accept() override;

 private:
  SettingsStore& store_;
  DialogPrompts* prompts_;
  QSpinBox* port_ = nullptr;
  QLineEdit* bind_ = nullptr;
  QLineEdit* hosts_ = nullptr;
};

}  // namespace vesk
