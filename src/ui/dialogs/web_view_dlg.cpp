#include "ui/dialogs/web_view_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QStringList>
#include <QVBoxLayout>

#include "seams/settings_store.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/remote_control_dlg.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Web View";
constexpr const char* kNote =
    "A read-only live page of this program for any browser on the ship's network:\n"
    "the values of the control bar, the alarms, the histogram and the time series,\n"
    "with JSON (/api/status, ...) and Prometheus metrics (/metrics). Nothing can be\n"
    "started, stopped or changed from it.";
constexpr const char* kHostsNote =
    "Allowed hosts: addresses, names, subnets (10.0.0.0/24) or * for every host;\n"
    "empty: this computer only. Others are refused.";
constexpr const char* kBadHostBefore = "The allowed host \"";
constexpr const char* kBadHostAfter =
    "\" is neither an address, a subnet (such as 10.0.0.0/24), a host name nor *.\n\nList the "
    "computers that may see the page separated by commas, or leave the list empty for this "
    "computer only.";

}  // namespace

std::string CheckWebAllowedHosts(const std::string& allowedHosts) {
  for (const QString& raw : QString::fromStdString(allowedHosts).split(QLatin1Char(','))) {
    const QString entry = raw.trimmed();
    if (entry.isEmpty() || entry == QLatin1String("*")) continue;
    const bool usable = entry.contains(QLatin1Char('/'))
                            ? !QHostAddress::parseSubnet(entry).first.isNull()
                            : CheckAllowedHosts(entry.toStdString()).empty();
    if (!usable) return kBadHostBefore + entry.toStdString() + kBadHostAfter;
  }
  return {};
}

CWebViewDlg::CWebViewDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()) {
  setWindowTitle(QString::fromLatin1(kCaption));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromLatin1(kNote), this));
  enabled_ = new QCheckBox(QStringLiteral("Serve the live page"), this);
  enabled_->setObjectName(QStringLiteral("webEnabled"));
  enabled_->setChecked(store_.Read(keys::kWebEnabled) != 0);
  layout->addWidget(enabled_);
  auto* form = new QFormLayout;
  bind_ = new QLineEdit(QString::fromStdString(store_.Read(keys::kWebBindAddress)), this);
  bind_->setObjectName(QStringLiteral("webBindAddress"));
  bind_->setPlaceholderText(QStringLiteral("127.0.0.1 (this computer), * (every network)"));
  port_ = new QSpinBox(this);
  port_->setObjectName(QStringLiteral("webPort"));
  port_->setRange(1, 65535);
  port_->setValue(store_.Read(keys::kWebPort));
  hosts_ = new QLineEdit(QString::fromStdString(store_.Read(keys::kWebAllowedHosts)), this);
  hosts_->setObjectName(QStringLiteral("webAllowedHosts"));
  hosts_->setPlaceholderText(QStringLiteral("e.g. 10.0.0.0/24, bridge-pc (empty: this computer)"));
  maxClients_ = new QSpinBox(this);
  maxClients_->setObjectName(QStringLiteral("webMaxClients"));
  maxClients_->setRange(1, 256);
  maxClients_->setValue(store_.Read(keys::kWebMaxClients));
  form->addRow("Bind address", bind_);
  form->addRow("TCP port", port_);
  form->addRow("Allowed hosts", hosts_);
  form->addRow("Browsers at once", maxClients_);
  layout->addLayout(form);
  layout->addWidget(new QLabel(QString::fromLatin1(kHostsNote), this));
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CWebViewDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CWebViewDlg::reject);
  layout->addWidget(buttons);
}

void CWebViewDlg::accept() {
  const std::string bind = bind_->text().trimmed().toStdString();
  const std::string hosts = hosts_->text().trimmed().toStdString();
  std::string refusal = CheckBindAddress(bind);
  QWidget* bad = bind_;
  if (refusal.empty()) {
    refusal = CheckWebAllowedHosts(hosts);
    bad = hosts_;
  }
  if (!refusal.empty()) {
    bad->setFocus();
    prompts_->Message(this, refusal, kCaption, QMessageBox::Warning);
    return;
  }
  store_.Write(keys::kWebEnabled, enabled_->isChecked() ? 1 : 0);
  store_.Write(keys::kWebBindAddress, bind);
  store_.Write(keys::kWebPort, port_->value());
  store_.Write(keys::kWebAllowedHosts, hosts);
  store_.Write(keys::kWebMaxClients, maxClients_->value());
  QDialog::accept();
}

}  // namespace vesk
