#pragma once
// Decodes the external instrument's lines into the CTD record, by the model of the scan's
// settings (its row of the model table), and gives the text to log for each line.

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "instruments/ctd_model.h"
#include "instruments/ctd_sample.h"
#include "instruments/scan_warnings.h"

namespace vesk {

class SettingsStore;
class UserDialogs;

inline constexpr const char* kUndefinedInstrument = "Warning!!\n\nUndefined Instrument Selected.";

class CtdDecoder {
 public:
  CtdDecoder(const SettingsStore& store, UserDialogs& dialogs);
  ~CtdDecoder();
  CtdDecoder(const CtdDecoder&) = delete;
  CtdDecoder& operator=(const CtdDecoder&) = delete;

  // The model and the link of the scan's settings (at its start, or changed during it); the
  // model's coefficients that hold for a scan are read now.
  void LoadScanSettings(int model, bool viaMux);
  // A new scan: warnings may be told again, the record starts from zero.
  void StartScan();

  // Decodes one line of the instrument into the record; the text to log for the line.
  const std::string& Decode(std::string_view line);

  const CtdSample& Sample() const { return sample_; }
  // The model code the lines are decoded by.
  int Model() const { return code_; }
  const ScanWarnings& Warnings() const { return warnings_; }

 private:
  const SettingsStore& store_;
  UserDialogs& dialogs_;
  int code_ = 0;
  const CtdModel* model_ = nullptr;  // null for a code no model has
  CtdModelDecoder* decoder_ = nullptr;
  bool viaMux_ = false;
  std::string text_;
  CtdSample sample_;
  ScanWarnings warnings_;
  // Each model's decoder, made when the model is first chosen: what it keeps between lines
  // stays while another model is chosen during a scan.
  std::map<int, std::unique_ptr<CtdModelDecoder>> decoders_;
};

}  // namespace vesk
