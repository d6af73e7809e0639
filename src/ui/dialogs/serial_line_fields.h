#pragma once
// The line settings of one serial port as the port pages show them: port number, device,
// bit rate, data bits, parity, stop bits and flow control (the codes CSerialPort takes).

#include <QWidget>

#include "acquisition/vesk_doc.h"

class QComboBox;
class QSpinBox;

namespace vesk {

class SerialLineFields : public QWidget {
  Q_OBJECT

 public:
  // `defaultBitRate` is shown when the stored rate is not one the list offers (an unset 0).
  SerialLineFields(const PortSettings& settings, int defaultBitRate, QWidget* parent = nullptr);

  PortSettings Settings() const;
  QComboBox* DeviceChooser() const { return device_; }

 private:
  QSpinBox* port_ = nullptr;
  QComboBox* device_ = nullptr;
  QComboBox* bitRate_ = nullptr;
  QComboBox* dataBits_ = nullptr;
  QComboBox* parity_ = nullptr;
  QComboBox* stopBits_ = nullptr;
  QComboBox* flow_ = nullptr;
};

}  // namespace vesk
