#pragma once
// Reads the CTD calibration coefficients and options from the settings store. The SBE 19,
// SBE 19plus and OS200 sets are read for every line (a change takes effect on the next
// line); the SBE 49 and SBE 25 sets when the port settings are loaded.

#include <cstdint>

#include "instruments/ctd_conversions.h"
#include "seams/settings_store.h"

namespace vesk {

// The SBE 19plus options ("SBE19plusConfig") with its coefficients.
struct Sbe19plusConfig {
  SeaBirdCoefficients coeff;
  int analogInputs = 0;  // 0..4
  int outputFormat = 0;  // 0 hex, 1 decimal
  bool outputSal = false;
  bool outputSv = false;
  bool logRaw = false;
};

Sbe19Coefficients LoadSbe19Coefficients(const SettingsStore& store);
Sbe19plusConfig LoadSbe19plusConfig(const SettingsStore& store);
SeaBirdCoefficients LoadSbe49Coefficients(const SettingsStore& store);
Sbe25Coefficients LoadSbe25Coefficients(const SettingsStore& store);
Os200Coefficients LoadOs200Coefficients(const SettingsStore& store);

// Coefficients that take effect from the next line after a dialog stores them: read from the
// store again only when it has been written since they were read.
template <class T>
class CoefficientsFromStore {
 public:
  explicit CoefficientsFromStore(T (*load)(const SettingsStore&)) : load_(load) {}
  const T& Current(const SettingsStore& store) {
    // The count is taken first: a write that comes during the load is seen next time.
    const std::uint64_t changes = store.Changes();
    if (!loaded_ || changes_ != changes) {
      value_ = load_(store);
      changes_ = changes;
      loaded_ = true;
    }
    return value_;
  }

 private:
  T (*load_)(const SettingsStore&);
  bool loaded_ = false;
  std::uint64_t changes_ = 0;
  T value_{};
};

}  // namespace vesk
