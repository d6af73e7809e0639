#pragma once
// "LAT/LONG Parsing Configuration": which captured NMEA sentence gives the position and time
// shown on the control bar, and the field positions (counted from 1, the identifier being
// field 1) of latitude, N/S, longitude, E/W and UTC time; and after how many seconds without
// a new position the shown one is marked stale.

#include <QDialog>
#include <array>

class QComboBox;
class QSpinBox;

namespace vesk {

class CVESKDoc;

class CLatLongParsingConfigDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kMaxFieldPosition = 99;
  static constexpr int kMaxStaleSeconds = 3600;

  explicit CLatLongParsingConfigDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  void accept() override;

 private:
  CVESKDoc& doc_;
  QComboBox* sentence_ = nullptr;
  std::array<QSpinBox*, 5> positions_{};
  QSpinBox* staleSeconds_ = nullptr;
};

}  // namespace vesk
