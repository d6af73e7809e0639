#include "instruments/ctd_decoder.h"

#include <cmath>

#include "instruments/ctd_catalogue.h"
#include "instruments/line_scanner.h"
#include "seams/settings_store.h"
#include "seams/user_dialogs.h"

namespace vesk {

CtdDecoder::CtdDecoder(const SettingsStore& store, UserDialogs& dialogs)
    : store_(store), dialogs_(dialogs) {}

void CtdDecoder::LoadScanSettings(int modelCode, bool inputViaMux, double latitude) {
  model = modelCode;
  viaMux = inputViaMux;
  surveyLat = latitude;
  if (model == CtdCatalogue::kSbe49) sbe49_ = LoadSbe49Coefficients(store_);
  if (model == CtdCatalogue::kSbe25) sbe25_ = LoadSbe25Coefficients(store_);
}

void CtdDecoder::StartScan() {
  sample = CtdSample{};
  line.clear();
  lastLine.clear();
  refFrequencyA = 0;
  refFrequencyB = 0;
  warnings.Reset();
}

bool CtdDecoder::ModelSuppliesSalinity() const {
  return model == CtdCatalogue::kSbe49;
}

void CtdDecoder::DecodeCtdLine() {
  if (model < CtdCatalogue::kMicroCtd || model > CtdCatalogue::kSbe25) {
    warnings.Raise(dialogs_, kUndefinedInstrument);
    return;
  }
  // Salinity follows every line: the models that do not report it get it computed anew,
  // and a line that is not taken leaves the record as it was.
  const double previousSalinity = sample.salinity;
  if (!ModelSuppliesSalinity()) sample.salinity = 0;
  bool taken = false;
  switch (model) {
    case CtdCatalogue::kMicroCtd: taken = DecodeMicroCtd(); break;
    case CtdCatalogue::kSbe911: taken = DecodeSbe911(); break;
    case CtdCatalogue::kFlowmeter: taken = DecodeFlowmeter(); break;
    case CtdCatalogue::kPressureSensor: taken = DecodePressureSensor(); break;
    case CtdCatalogue::kSbe19: taken = DecodeSbe19(); break;
    case CtdCatalogue::kSbe19plus: taken = DecodeSbe19plus(); break;
    case CtdCatalogue::kOs200: taken = DecodeOs200(); break;
    case CtdCatalogue::kSbe49: taken = DecodeSbe49(); break;
    case CtdCatalogue::kSbe25: taken = DecodeSbe25(); break;
    default: break;
  }
  if (!taken) sample.salinity = previousSalinity;

  if ((sample.salinity == 0 || std::isnan(sample.salinity)) && sample.conductivity != 0) {
    double t = sample.temperature;
    // The SBE 19 ITS-90 coefficients give ITS-90 temperatures; the salinity scale wants
    // IPTS-68.
    if (model == CtdCatalogue::kSbe19 && !CurrentSbe19Coefficients().tempSetA) t *= 1.00024;
    sample.salinity =
        PracticalSalinityFromRatio(Cond2CondRatio(sample.conductivity, model), t, sample.pressure);
  }
}

// --- decimal models -------------------------------------------------------------------

// Scans the line; takes the full count of values, or one less when the instrument comes
// through the deck unit's multiplexer (which drops the counter's analog value).
bool CtdDecoder::DecodeDecimal(const char* format, int full,
                               void (*storeValues)(CtdSample&, const float*, int)) {
  float values[8] = {};
  const int n = ScanFormat(line, format, values);
  lastLine = line;
  if (n == full || (viaMux && n == full - 1)) {
    storeValues(sample, values, n);
    return true;
  }
  return false;
}

bool CtdDecoder::DecodeMicroCtd() {
  // pressure, conductivity (mS/cm), temperature, analog
  return DecodeDecimal("%f%f%f%f", 4, [](CtdSample& s, const float* v, int n) {
    s.conductivity = v[1];
    s.temperature = v[2];
    s.pressure = v[0];
    if (n == 4) s.analog = v[3];
  });
}

bool CtdDecoder::DecodeSbe911() {
  // temperature, conductivity, pressure, analog
  return DecodeDecimal("%f%f%f%f", 4, [](CtdSample& s, const float* v, int n) {
    s.conductivity = v[1];
    s.temperature = v[0];
    s.pressure = v[2];
    if (n == 4) s.analog = v[3];
  });
}

bool CtdDecoder::DecodeFlowmeter() {
  // Misc1, Misc2, Misc3, Flow (ignored), pressure, analog
  return DecodeDecimal("%f,%f,%f,%f,%f%f", 6, [](CtdSample& s, const float* v, int n) {
    s.conductivity = 0;
    s.temperature = 0;
    s.pressure = v[4];
    if (n == 6) s.analog = v[5];
  });
}

bool CtdDecoder::DecodePressureSensor() {
  // pressure, analog; the one-value form from the multiplexer lands in the analog field
  return DecodeDecimal("%f%f", 2, [](CtdSample& s, const float* v, int n) {
    s.conductivity = 0;
    s.temperature = 0;
    if (n == 2) {
      s.pressure = v[0];
      s.analog = v[1];
    } else {
      s.analog = v[0];
    }
  });
}

bool CtdDecoder::DecodeOs200() {
  if (line.size() < 7) return false;
  float s[5] = {};
  const int n = ScanFloats(line, s, 5);
  if (n < 4) return false;
  const Os200Coefficients& c = Current(os200Coefficients_, LoadOs200Coefficients);
  const double zero = s[3];
  const double l = std::log(s[2] - zero);
  sample.conductivity = (s[0] - zero) * c.cb + c.ca;
  sample.temperature = c.ta + l * (c.tb + l * (c.tc + l * c.td));
  sample.pressure = (s[1] - zero) * c.pb * 1.4503 + c.pa;
  if (n == 5) sample.analog = s[4];
  return true;
}

}  // namespace vesk
