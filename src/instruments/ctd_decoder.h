#pragma once
// Decodes one external-instrument line into the CTD sample record, by the selected model,
// and leaves in the line buffer the text to log for that line.

#include <cstdint>
#include <string>

#include "instruments/ctd_coefficients.h"
#include "instruments/ctd_sample.h"
#include "instruments/scan_warnings.h"
#include "seams/settings_store.h"

namespace vesk {

class UserDialogs;

inline constexpr const char* kUndefinedInstrument = "Warning!!\n\nUndefined Instrument Selected.";
inline constexpr const char* kUnrecognizedSbe19plusFormat =
    "ERROR: Unrecognized SBE 19plus OUTPUTFORMAT.";

class CtdDecoder {
 public:
  CtdDecoder(const SettingsStore& store, UserDialogs& dialogs);

  // What the decoders need from the scan's settings (loaded with the port settings); the
  // SBE 49 and SBE 25 coefficients are read here too.
  void LoadScanSettings(int model, bool viaMux, double surveyLat);
  // A new scan: warnings may be shown again, the record starts from zero.
  void StartScan();

  // Decodes `line` by the model; updates `sample`, `line` (the text to log) and `lastLine`.
  void DecodeCtdLine();

  // The per-model decoders: true when the line was taken.
  bool DecodeMicroCtd();
  bool DecodeSbe911();
  bool DecodeFlowmeter();
  bool DecodePressureSensor();
  bool DecodeSbe19();
  bool DecodeSbe19plus();
  bool DecodeOs200();
  bool DecodeSbe49();
  bool DecodeSbe25();

  std::string line;      // the current instrument line / the text to log
  std::string lastLine;  // the last line decoded
  CtdSample sample;
  int model = 0;
  bool viaMux = false;
  double surveyLat = 99.9999;
  // The SBE 19 reference frequencies A and B: 0 until a reference record brings them.
  double refFrequencyA = 0;
  double refFrequencyB = 0;
  // Warnings of the scan (also used by the NMEA capture on the auxiliary thread).
  ScanWarnings warnings;

 private:
  enum class Sbe19Status { Sample = 1, Reference = 2, WrongLength = 3 };
  // The SBE 19 hex record converter: fills temperature, conductivity and pressure and, for a
  // sample, rewrites `line` (unless raw logging is on).
  Sbe19Status ConvertSbe19Word(const std::string& word, const Sbe19Coefficients& c, double& t,
                               double& cond, double& p);
  bool DecodeSbe19plusHex(const Sbe19plusConfig& cfg);
  bool DecodeSbe19plusDecimal(const Sbe19plusConfig& cfg);
  // The decimal pattern of models 0 to 3 (see the .cpp).
  bool DecodeDecimal(const char* format, int full, void (*store)(CtdSample&, const float*, int));
  bool ModelSuppliesSalinity() const;

  // Coefficients that take effect from the next line after a dialog stores them: read from
  // the store again only when it has been written since they were read.
  template <class T>
  struct FromStore {
    bool loaded = false;
    std::uint64_t changes = 0;
    T value{};
  };
  template <class T>
  const T& Current(FromStore<T>& cached, T (*load)(const SettingsStore&)) {
    // The count is taken first: a write that comes during the load is seen next time.
    const std::uint64_t changes = store_.Changes();
    if (!cached.loaded || cached.changes != changes) {
      cached.value = load(store_);
      cached.changes = changes;
      cached.loaded = true;
    }
    return cached.value;
  }
  const Sbe19Coefficients& CurrentSbe19Coefficients() {
    return Current(sbe19Coefficients_, LoadSbe19Coefficients);
  }

  const SettingsStore& store_;
  UserDialogs& dialogs_;
  FromStore<Sbe19Coefficients> sbe19Coefficients_;
  FromStore<Sbe19plusConfig> sbe19plusConfig_;
  FromStore<Os200Coefficients> os200Coefficients_;
  SeaBirdCoefficients sbe49_;
  Sbe25Coefficients sbe25_;
};

}  // namespace vesk
