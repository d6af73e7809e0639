#pragma once
// The Port Settings sheet's auxiliary port page: what the port is used for (nothing, GPS/NMEA
// input or CTD output), its line settings, and the four NMEA sentence identifiers to capture
// with their termination characters.

#include <QWidget>
#include <array>
#include <string>

#include "acquisition/vesk_doc.h"

class QButtonGroup;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace vesk {

class DialogPrompts;
class SerialLineFields;
class SettingsStore;

inline constexpr int kNmeaEntries = 4;
inline constexpr const char* kNmeaIdentifierWarning =
    "WARNING !!!\n\nA properly formatted NMEA sentence identifier should begin with a '$' "
    "followed by a 5 character sentence identifier (Talker ID).\n\n\tFor example, '$GPGGA'";

// "" for an acceptable identifier (empty, or "$" and 5 more characters), else the warning.
std::string CheckNmeaIdentifier(const std::string& identifier);

// The termination rule of entry `entry` (1 to 4): refused with the error when neither box is
// checked, accepted with the warning when only one is, accepted silently with both.
struct TerminationCheck {
  bool refused = false;
  std::string message;  // "" when nothing is to be shown
};
TerminationCheck CheckNmeaTermination(int entry, bool cr, bool lf);
// The stored termination: "\r" when CR is checked followed by "\n" when LF is.
std::string NmeaTerminationText(bool cr, bool lf);

class CComPortDlgZEV : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kTitle = "Auxiliary Port - CTD Output <OR> GPS/NMEA Input";

  // The page shows the store's auxiliary-port mode, line settings and NMEA entries.
  CComPortDlgZEV(const SettingsStore& store, const PortSettings& settings,
                 QWidget* parent = nullptr);
  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }

  int Mode() const;
  PortSettings Settings() const;
  QString ModeText() const;
  // The checks of OK (a port in use names its device; identifiers and terminations, GPS/NMEA
  // mode only): false with the offending control focused when the sheet must stay open.
  // Warnings are shown on the way.
  bool Validate();
  // Writes the mode, and in GPS/NMEA mode the identifiers and terminations.
  void Write(SettingsStore& store) const;

  // The identifier field `index` (0 to 3) was left: the rule of CheckNmeaIdentifier; a refused
  // text goes back to the last accepted one.
  bool IdentifierLeft(int index);

 private:
  void ShowMode();

  DialogPrompts* prompts_;
  SerialLineFields* fields_ = nullptr;
  QButtonGroup* mode_ = nullptr;
  QLabel* modeText_ = nullptr;
  QGroupBox* nmea_ = nullptr;
  std::array<QLineEdit*, kNmeaEntries> ids_{};
  std::array<QCheckBox*, kNmeaEntries> cr_{};
  std::array<QCheckBox*, kNmeaEntries> lf_{};
  std::array<QString, kNmeaEntries> accepted_;
};

}  // namespace vesk
