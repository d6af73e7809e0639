#pragma once
// The Port Settings sheet's page for the counter (deck unit) port.

#include <QWidget>

#include "acquisition/vesk_doc.h"

namespace vesk {

class SerialLineFields;

class CComPortDlgDU : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "VESK / Deck Unit Port";

  CComPortDlgDU(const PortSettings& settings, QWidget* parent = nullptr);
  PortSettings Settings() const;
  SerialLineFields* Fields() const { return fields_; }

 private:
  SerialLineFields* fields_ = nullptr;
};

}  // namespace vesk
