#include "ui/dialogs/com_port_dlg_du.h"

#include <QVBoxLayout>

#include "ui/dialogs/serial_line_fields.h"

namespace vesk {
namespace {

constexpr int kCounterBitRate = 115200;

}  // namespace

CComPortDlgDU::CComPortDlgDU(const PortSettings& settings, QWidget* parent) : QWidget(parent) {
  setObjectName("pageDU");
  auto* layout = new QVBoxLayout(this);
  fields_ = new SerialLineFields(settings, kCounterBitRate, this);
  layout->addWidget(fields_);
  layout->addStretch();
}

PortSettings CComPortDlgDU::Settings() const {
  return fields_->Settings();
}

}  // namespace vesk
