#include "ui/dialogs/remote_control_dlg.h"

#include <arpa/inet.h>

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cctype>
#include <cstring>

#include "seams/settings_store.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Remote Control";
constexpr const char* kNote =
    "Another program can start and stop acquisition, make event marks and close VESK by UDP "
    "datagrams.\nChanges "
    "take effect the next time VESK starts.";
constexpr const char* kBadBind =
    "The bind address must be a numeric IPv4 or IPv6 address (127.0.0.1 for this computer "
    "only), or * for every network interface.";
constexpr const char* kBadHostBefore = "The allowed host \"";
constexpr const char* kBadHostAfter =
    "\" is neither an IPv4 or IPv6 address nor a host name.\n\nList the senders' addresses or "
    "names separated by commas (names are looked up when VESK starts), or leave the list empty.";
constexpr const char* kWarningBefore = "WARNING !!\n\nWith the bind address \"";
constexpr const char* kWarningOpen =
    "\" remote control accepts datagrams from other computers on the network.  A host that may "
    "send commands can start and stop acquisition and close VESK.\n\n";
constexpr const char* kWarningEveryone =
    "No allowed hosts are listed: EVERY computer that can reach this port may send commands.";
constexpr const char* kWarningListed = "Only these hosts may send commands: ";
constexpr const char* kWarningQuestion = "\n\nAccept commands from the network?";

std::string Trim(const std::string& s) {
  const std::size_t first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Numeric IPv4 or IPv6 text; the 16 bytes of its IPv6 form (IPv4 mapped) in `out`.
bool Numeric(const std::string& text, unsigned char out[16]) {
  unsigned char v4[4];
  if (::inet_pton(AF_INET, text.c_str(), v4) == 1) {
    std::memset(out, 0, 16);
    out[10] = out[11] = 0xff;
    std::memcpy(out + 12, v4, 4);
    return true;
  }
  return ::inet_pton(AF_INET6, text.c_str(), out) == 1;
}

// A host name: letters, digits and hyphens in dot-separated labels, not all digits (a
// mistyped address such as 10.0.0.256 is no name).
bool HostName(const std::string& text) {
  if (text.empty() || text.size() > 253 ||
      text.find_first_not_of("0123456789.") == std::string::npos) {
    return false;
  }
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t dot = text.find('.', start);
    if (dot == std::string::npos) dot = text.size();
    const std::string label = text.substr(start, dot - start);
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-') {
      return false;
    }
    for (const char c : label) {
      if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '-') return false;
    }
    start = dot + 1;
  }
  return true;
}

}  // namespace

std::string CheckBindAddress(const std::string& bindAddress) {
  const std::string b = Trim(bindAddress);
  unsigned char a[16];
  return b.empty() || b == "*" || Numeric(b, a) ? "" : kBadBind;
}

std::string CheckAllowedHosts(const std::string& allowedHosts) {
  std::size_t start = 0;
  while (start <= allowedHosts.size()) {
    std::size_t comma = allowedHosts.find(',', start);
    if (comma == std::string::npos) comma = allowedHosts.size();
    const std::string entry = Trim(allowedHosts.substr(start, comma - start));
    unsigned char a[16];
    if (!entry.empty() && !Numeric(entry, a) && !HostName(entry)) {
      return kBadHostBefore + entry + kBadHostAfter;
    }
    start = comma + 1;
  }
  return {};
}

bool OpensToOtherHosts(const std::string& bindAddress) {
  const std::string b = Trim(bindAddress);
  unsigned char a[16];
  if (b.empty() || b == "*" || !Numeric(b, a)) return true;
  static const unsigned char kMappedPrefix[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
  const bool v4Loopback = std::memcmp(a, kMappedPrefix, 12) == 0 && a[12] == 127;
  static const unsigned char kV6Loopback[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
  return !v4Loopback && std::memcmp(a, kV6Loopback, 16) != 0;
}

std::string OtherHostsWarning(const std::string& bindAddress, const std::string& allowedHosts) {
  const std::string hosts = Trim(allowedHosts);
  return kWarningBefore + Trim(bindAddress) + kWarningOpen +
         (CheckAllowedHosts(hosts).empty() && hosts.find_first_not_of(", \t") != std::string::npos
              ? kWarningListed + hosts
              : std::string(kWarningEveryone)) +
         kWarningQuestion;
}

CRemoteControlDlg::CRemoteControlDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(kNote, this));
  auto* form = new QFormLayout;
  port_ = new QSpinBox(this);
  port_->setObjectName("port");
  port_->setRange(1, 65535);
  port_->setValue(store_.Read(keys::kRemotePort));
  bind_ = new QLineEdit(QString::fromStdString(store_.Read(keys::kRemoteBindAddress)), this);
  bind_->setObjectName("bindAddress");
  hosts_ = new QLineEdit(QString::fromStdString(store_.Read(keys::kRemoteAllowedHosts)), this);
  hosts_->setObjectName("allowedHosts");
  hosts_->setPlaceholderText("e.g. 10.0.0.5, 10.0.0.6 (empty: every sender)");
  form->addRow("UDP port", port_);
  form->addRow("Bind address", bind_);
  form->addRow("Allowed hosts", hosts_);
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CRemoteControlDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CRemoteControlDlg::reject);
  layout->addWidget(buttons);
}

void CRemoteControlDlg::accept() {
  const std::string bind = Trim(bind_->text().toStdString());
  const std::string hosts = Trim(hosts_->text().toStdString());
  std::string refusal = CheckBindAddress(bind);
  QWidget* bad = bind_;
  if (refusal.empty()) {
    refusal = CheckAllowedHosts(hosts);
    bad = hosts_;
  }
  if (!refusal.empty()) {
    bad->setFocus();
    prompts_->Message(this, refusal, kCaption, QMessageBox::Warning);
    return;
  }
  if (OpensToOtherHosts(bind) &&
      !prompts_->Ask(this, OtherHostsWarning(bind, hosts), kCaption, QMessageBox::Warning,
                     DialogPrompts::Buttons::YesNo)) {
    return;
  }
  store_.Write(keys::kRemotePort, port_->value());
  store_.Write(keys::kRemoteBindAddress, bind);
  store_.Write(keys::kRemoteAllowedHosts, hosts);
  QDialog::accept();
}

}  // namespace vesk
