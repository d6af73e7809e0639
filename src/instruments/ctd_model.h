#pragma once
// The external instruments the program decodes, one row per model (ctd_models.cpp): what the
// instrument list, the file header, the exports and the dialogs say of a model, and the
// decoder of its lines. Every other part of the program asks the model's row; none tests a
// model code.

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "instruments/ctd_coefficient_tables.h"
#include "instruments/ctd_conversions.h"
#include "instruments/ctd_sample.h"

namespace vesk {

class ScanWarnings;
class SettingsStore;
class UserDialogs;

// The stored model codes (Settings/Model_CTD) that the program names.
struct CtdCode {
  static constexpr int kMicroCtd = 0;
  static constexpr int kSbe911 = 1;
  static constexpr int kFlowmeter = 2;
  static constexpr int kPressureSensor = 3;
  static constexpr int kSbe19 = 4;
  static constexpr int kSbe19plus = 5;
  static constexpr int kOs200 = 6;
  static constexpr int kSbe49 = 7;
  static constexpr int kSbe25 = 8;
};

// One line on its way through a model's decoder.
struct CtdLine {
  std::string& text;  // in: the line as it came; out: the text to log for it
  CtdSample& sample;  // the record the line updates
  bool viaMux;        // it came through the deck unit's multiplexer
  // A model's warnings about its settings, each told once per scan.
  ScanWarnings& warnings;
  UserDialogs& dialogs;
};

// A model's decoder, with its coefficients and what it keeps from line to line.
class CtdModelDecoder {
 public:
  virtual ~CtdModelDecoder() = default;
  // Decodes `line`; false when the line was not taken (the record is then as it was).
  virtual bool Decode(CtdLine& line) = 0;
  // The scan's settings were loaded: coefficients read once per scan are read now.
  virtual void LoadScanSettings(const SettingsStore&) {}
  // A new scan: nothing the last one's lines left applies.
  virtual void StartScan() {}
  // The temperature the salinity formula takes for the record's temperature `t` (IPTS-68).
  virtual double SalinityTemperature(double t) { return t; }
};

// The configuration window a model offers ("Configure" in the instrument dialog).
enum class CtdDialog {
  None,          // nothing to configure
  Coefficients,  // its coefficients as a form, under `dialogCaption`
  Sbe19,         // windows with options besides the coefficients
  Sbe19plus,
  Sbe49,
};

struct CtdModel {
  int code = 0;                     // the stored Model_CTD
  const char* name = "";            // as the list and the file header show it
  int rateHz = 0;                   // its sampling rate, as the list shows it
  const char* expectedFormat = "";  // its line, as the list describes it
  bool listed = true;  // offered in the list and named in the file header (or decoded only)
  std::unique_ptr<CtdModelDecoder> (*decoder)(const SettingsStore& store) = nullptr;
  ConductivityUnit conductivityUnit = ConductivityUnit::SiemensPerMetre;
  // False for an instrument whose lines bring no conductivity and temperature (it writes 0
  // for them, and the exports show them missing).
  bool measuresConductivity = true;
  // True when its line carries the salinity; otherwise the salinity is computed.
  bool suppliesSalinity = false;
  // Its calibration coefficients, as the dialogs show them (none when null).
  CoefficientList (*coefficients)() = nullptr;
  // Its block in the live file header, after the navigation settings (none when null);
  // `title` is the name the header gives the instrument.
  void (*headerBlock)(std::string& out, const SettingsStore& store,
                      const std::string& title) = nullptr;
  CtdDialog dialog = CtdDialog::None;
  const char* dialogCaption = "";
};

// Every model, in code order.
std::span<const CtdModel> CtdModels();
// The model of a stored code, or nullptr for a code no model has.
const CtdModel* FindCtdModel(int code);
// The conductivity unit of a stored code (S/m for a code no model has).
ConductivityUnit CtdConductivityUnit(int code);

}  // namespace vesk
