#pragma once
// Decodes one external-instrument line into the CTD sample record, by the selected model,
// and leaves in the line buffer the text to log for that line.

#include <string>

#include "instruments/ctd_sample.h"

namespace vesk {

class SettingsStore;
class UserDialogs;

class CtdDecoder {
 public:
  CtdDecoder(const SettingsStore& store, UserDialogs& dialogs);

  // What the decoders need from the scan's settings (loaded with the port settings).
  void LoadScanSettings(int model, bool viaMux, double surveyLat);
  // A new scan: warnings may be shown again, the record starts from zero.
  void StartScan();

  // Decodes `line` by the model; updates `sample`, `line` (the text to log) and `lastLine`.
  void DecodeCtdLine();

  std::string line;      // the current instrument line / the text to log
  std::string lastLine;  // the last line decoded
  CtdSample sample;
  int model = 0;
  bool viaMux = false;
  double surveyLat = 99.9999;

 private:
  const SettingsStore& store_;
  UserDialogs& dialogs_;
};

}  // namespace vesk
