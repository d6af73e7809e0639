#include "ui/dialogs/serial_line_fields.h"

#include <QComboBox>
#include <QFormLayout>
#include <QSpinBox>
#include <array>

#include "ui/dialogs/serial_device_list.h"

namespace vesk {
namespace {

constexpr std::array<int, 12> kBitRates = {1200,  2400,  4800,   9600,   14400,  19200,
                                           38400, 57600, 115200, 230400, 460800, 921600};
// By code: parity 0..4, stop bits 0..2, flow control 0..5.
constexpr std::array<const char*, 5> kParities = {"Even", "Mark", "None", "Odd", "Space"};
constexpr std::array<const char*, 3> kStopBits = {"1", "1.5", "2"};
constexpr std::array<const char*, 6> kFlows = {"None",    "CTS/RTS", "CTS/DTR",
                                               "DSR/RTS", "DSR/DTR", "XON/XOFF"};
constexpr int kDefaultDataBits = 8;

template <std::size_t N>
QComboBox* Codes(QWidget* parent, const char* name, const std::array<const char*, N>& texts,
                 int code) {
  auto* box = new QComboBox(parent);
  box->setObjectName(name);
  for (const char* t : texts) box->addItem(QString::fromLatin1(t));
  box->setCurrentIndex(code >= 0 && code < static_cast<int>(N) ? code : 0);
  return box;
}

}  // namespace

SerialLineFields::SerialLineFields(const PortSettings& s, int defaultBitRate, QWidget* parent)
    : QWidget(parent) {
  auto* form = new QFormLayout(this);
  port_ = new QSpinBox(this);
  port_->setObjectName("port");
  port_->setRange(1, 256);
  port_->setValue(s.port < 1 ? 1 : s.port);
  form->addRow("Port number", port_);

  device_ = new QComboBox(this);
  device_->setObjectName("device");
  device_->setEditable(true);
  device_->addItem(QString());  // empty: the port number's /dev/ttyS device
  for (const std::string& d : ListSerialDevices()) device_->addItem(QString::fromStdString(d));
  const QString stored = QString::fromStdString(s.device);
  if (device_->findText(stored) < 0) device_->addItem(stored);  // e.g. an unplugged adapter
  device_->setCurrentText(stored);
  device_->setToolTip("Serial device to open; empty uses /dev/ttyS for the port number");
  form->addRow("Device", device_);

  bitRate_ = new QComboBox(this);
  bitRate_->setObjectName("bitRate");
  for (int r : kBitRates) bitRate_->addItem(QString::number(r), r);
  int rateIndex = bitRate_->findData(s.bitRate);
  if (rateIndex < 0) rateIndex = bitRate_->findData(defaultBitRate);
  bitRate_->setCurrentIndex(rateIndex < 0 ? 0 : rateIndex);
  form->addRow("Bits per second", bitRate_);

  dataBits_ = new QComboBox(this);
  dataBits_->setObjectName("dataBits");
  for (int b = 5; b <= 8; ++b) dataBits_->addItem(QString::number(b), b);
  const int bitsIndex = dataBits_->findData(s.dataBits);
  dataBits_->setCurrentIndex(bitsIndex >= 0 ? bitsIndex : dataBits_->findData(kDefaultDataBits));
  form->addRow("Data bits", dataBits_);

  parity_ = Codes(this, "parity", kParities, s.parity);
  form->addRow("Parity", parity_);
  stopBits_ = Codes(this, "stopBits", kStopBits, s.stopBits);
  form->addRow("Stop bits", stopBits_);
  flow_ = Codes(this, "flowControl", kFlows, s.flowControl);
  form->addRow("Flow control", flow_);
}

PortSettings SerialLineFields::Settings() const {
  PortSettings s;
  s.port = port_->value();
  s.device = device_->currentText().trimmed().toStdString();
  s.bitRate = bitRate_->currentData().toInt();
  s.dataBits = dataBits_->currentData().toInt();
  s.parity = parity_->currentIndex();
  s.stopBits = stopBits_->currentIndex();
  s.flowControl = flow_->currentIndex();
  return s;
}

}  // namespace vesk
