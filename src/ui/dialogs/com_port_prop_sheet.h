#pragma once
// "Serial Port Configuration": the counter port page and the auxiliary port page. OK takes
// every value over (store and document) unless the two pages name the same serial device.

#include <QDialog>
#include <string>

#include "acquisition/vesk_doc.h"

class QTabWidget;

namespace vesk {

class CComPortDlgDU;
class CComPortDlgZEV;
class DialogPrompts;

inline constexpr const char* kSamePortError =
    "ERROR: The Deck Unit & the Auxiliary Output have been configured to use the same com port. "
    "\n\tPlease ensure each device is assigned a unique com port.";

// "" when the two settings open different devices (compared as the device paths they resolve
// to, links followed), else the error.
std::string CheckPortsDiffer(const PortSettings& counter, const PortSettings& aux);

class CComPortPropSheet : public QDialog {
  Q_OBJECT

 public:
  explicit CComPortPropSheet(CVESKDoc& doc, QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts);

  CComPortDlgDU* PageDU() const { return du_; }
  CComPortDlgZEV* PageZEV() const { return zev_; }
  void accept() override;

 private:
  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  QTabWidget* tabs_ = nullptr;
  CComPortDlgDU* du_ = nullptr;
  CComPortDlgZEV* zev_ = nullptr;
};

}  // namespace vesk
