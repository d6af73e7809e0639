#include "ui/dialogs/publish_dlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstdio>

#include "control/record_publisher.h"
#include "seams/settings_store.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/remote_control_dlg.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Publish Records";
constexpr const char* kNote =
    "Every processed record as one JSON object in a UDP datagram,\nfor the ship's data systems "
    "(the README describes the format).\nThe address may be unicast, broadcast (255.255.255.255 "
    "or\nthe subnet's) or multicast (239.x.x.x).";
constexpr const char* kBadAddress =
    "The address must be a numeric IPv4 or IPv6 address or a host name.";
constexpr const char* kRemotePortFormat =
    "UDP port %d is the remote control's own port (Settings > Remote Control...): the records "
    "would be sent to VESK's own command socket.\n\nPlease choose another port.";

struct TypeBox {
  PublishedType type;
  const char* text;
  const char* name;
};
constexpr TypeBox kTypes[5] = {
    {PublishedType::L, "L records (counts, CTD, position)", "publishL"},
    {PublishedType::C, "C records (CTD lines)", "publishC"},
    {PublishedType::M, "M records (element event summary)", "publishM"},
    {PublishedType::Alarm, "Alarms (raised and cleared)", "publishAlarms"},
    {PublishedType::Mark, "Event marks", "publishMarks"},
};

}  // namespace

std::string CheckPublishAddress(const std::string& address) {
  const std::size_t first = address.find_first_not_of(" \t");
  if (first == std::string::npos || address.find(',') != std::string::npos) return kBadAddress;
  return CheckAllowedHosts(address).empty() ? "" : kBadAddress;
}

CPublishDlg::CPublishDlg(SettingsStore& store, QWidget* parent)
    : QDialog(parent), store_(store), prompts_(&StandardPrompts()) {
  setWindowTitle(QString::fromLatin1(kCaption));
  PublishSettings p;
  p.Load(store_);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QString::fromLatin1(kNote), this));
  enabled_ = new QCheckBox(QStringLiteral("Publish records on the network"), this);
  enabled_->setObjectName(QStringLiteral("publishEnabled"));
  enabled_->setChecked(p.enabled);
  layout->addWidget(enabled_);
  auto* form = new QFormLayout;
  address_ = new QLineEdit(QString::fromStdString(p.address), this);
  address_->setObjectName(QStringLiteral("publishAddress"));
  port_ = new QSpinBox(this);
  port_->setObjectName(QStringLiteral("publishPort"));
  port_->setRange(1, 65535);
  port_->setValue(p.port);
  ttl_ = new QSpinBox(this);
  ttl_->setObjectName(QStringLiteral("multicastTtl"));
  ttl_->setRange(0, 255);
  ttl_->setValue(p.multicastTtl);
  form->addRow("Address", address_);
  form->addRow("UDP port", port_);
  form->addRow("Multicast hops (TTL)", ttl_);
  layout->addLayout(form);
  auto* kinds = new QGroupBox(QStringLiteral("Records"), this);
  auto* grid = new QGridLayout(kinds);
  for (int i = 0; i < 5; ++i) {
    types_[i] = new QCheckBox(QString::fromLatin1(kTypes[i].text), kinds);
    types_[i]->setObjectName(QString::fromLatin1(kTypes[i].name));
    types_[i]->setChecked((p.types & static_cast<unsigned>(kTypes[i].type)) != 0);
    grid->addWidget(types_[i], i, 0);
  }
  layout->addWidget(kinds);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CPublishDlg::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CPublishDlg::reject);
  layout->addWidget(buttons);
}

void CPublishDlg::accept() {
  const std::string address = address_->text().trimmed().toStdString();
  if (const std::string refusal = CheckPublishAddress(address); !refusal.empty()) {
    address_->setFocus();
    prompts_->Message(this, refusal, kCaption, QMessageBox::Warning);
    return;
  }
  if (enabled_->isChecked() && port_->value() == store_.Read(keys::kRemotePort)) {
    char text[512];
    std::snprintf(text, sizeof text, kRemotePortFormat, port_->value());
    port_->setFocus();
    prompts_->Message(this, text, kCaption, QMessageBox::Warning);
    return;
  }
  PublishSettings p;
  p.enabled = enabled_->isChecked();
  p.address = address;
  p.port = port_->value();
  p.multicastTtl = ttl_->value();
  p.types = 0;
  for (int i = 0; i < 5; ++i) {
    if (types_[i]->isChecked()) p.types |= static_cast<unsigned>(kTypes[i].type);
  }
  p.Store(store_);
  QDialog::accept();
}

}  // namespace vesk
