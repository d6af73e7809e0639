#include "ui/dialogs/com_port_prop_sheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include "ui/dialogs/com_port_dlg_du.h"
#include "ui/dialogs/com_port_dlg_zev.h"
#include "ui/dialogs/dialog_prompts.h"
#include "ui/dialogs/serial_device_list.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Serial Port Configuration";

void WritePort(SettingsStore& s, const PortSettings& p, const IntKey& port, const IntKey& bps,
               const IntKey& bits, const IntKey& parity, const IntKey& stop, const IntKey& flow,
               const TextKey& device) {
  s.Write(port, p.port);
  s.Write(bps, p.bitRate);
  s.Write(bits, p.dataBits);
  s.Write(parity, p.parity);
  s.Write(stop, p.stopBits);
  s.Write(flow, p.flowControl);
  s.Write(device, p.device);
}

}  // namespace

std::string CheckPortsDiffer(const PortSettings& counter, const PortSettings& aux) {
  const bool same =
      ResolvePortDevice(counter.port, counter.device) == ResolvePortDevice(aux.port, aux.device);
  return same ? kSamePortError : "";
}

CComPortPropSheet::CComPortPropSheet(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  tabs_ = new QTabWidget(this);
  tabs_->setUsesScrollButtons(false);  // every page's title whole: the sheet is as wide
  du_ = new CComPortDlgDU(doc_.Settings().counterPort, tabs_);
  zev_ = new CComPortDlgZEV(doc_.Store(), doc_.Settings().auxPort, tabs_);
  tabs_->addTab(du_, CComPortDlgDU::kTitle);
  tabs_->addTab(zev_, CComPortDlgZEV::kTitle);
  layout->addWidget(tabs_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &CComPortPropSheet::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CComPortPropSheet::reject);
  layout->addWidget(buttons);
}

void CComPortPropSheet::SetPrompts(DialogPrompts& prompts) {
  prompts_ = &prompts;
  zev_->SetPrompts(prompts);
}

void CComPortPropSheet::accept() {
  if (!zev_->Validate()) {
    tabs_->setCurrentWidget(zev_);
    return;
  }
  const PortSettings counter = du_->Settings();
  const PortSettings aux = zev_->Settings();
  const std::string error = CheckPortsDiffer(counter, aux);
  if (!error.empty()) {
    // Nothing is taken over; the user may choose another port or cancel.
    prompts_->Message(this, error, kCaption, QMessageBox::Critical);
    return;
  }
  using namespace keys;
  WritePort(doc_.Store(), counter, kComPortDu, kBpsDu, kDataBitsDu, kParityDu, kStopBitsDu,
            kFlowControlDu, kDeviceDu);
  WritePort(doc_.Store(), aux, kComPortZev, kBpsZev, kDataBitsZev, kParityZev, kStopBitsZev,
            kFlowControlZev, kDeviceZev);
  zev_->Write(doc_.Store());
  // A scan started meanwhile (by remote control) keeps its settings until its next start.
  if (!doc_.Scanning()) {
    doc_.LoadPortSettings();
    doc_.LoadNavSettings();
  }
  QDialog::accept();
}

}  // namespace vesk
