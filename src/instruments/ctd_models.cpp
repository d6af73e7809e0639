// The model table: one row per external instrument, and the decoders of the decimal models.
// A new model is a row here (and its decoder, here when its line is a row of decimal values).

#include <algorithm>
#include <cmath>

#include "instruments/ctd_coefficients.h"
#include "instruments/ctd_model.h"
#include "instruments/ctd_seabird_decoders.h"
#include "instruments/line_scanner.h"

namespace vesk {
namespace {

// A line of decimal values in `format` ("%f" conversions and literal characters, as sscanf
// reads them): taken with all `values`, or with one less when the line comes through the
// deck unit's multiplexer (which drops the counter's analog value). `store` puts the `n`
// values read into the record.
struct DecimalForm {
  const char* format;
  int values;
  void (*store)(CtdSample& s, const float* v, int n);
};

class DecimalDecoder : public CtdModelDecoder {
 public:
  explicit DecimalDecoder(const DecimalForm& form) : form_(form) {}
  bool Decode(CtdLine& line) override {
    float v[8] = {};
    const int n = ScanFormat(line.text, form_.format, v);
    if (n != form_.values && !(line.viaMux && n == form_.values - 1)) return false;
    form_.store(line.sample, v, n);
    return true;
  }

 private:
  const DecimalForm& form_;
};

template <const DecimalForm& Form>
std::unique_ptr<CtdModelDecoder> Decimal(const SettingsStore&) {
  return std::make_unique<DecimalDecoder>(Form);
}

constexpr DecimalForm kMicroCtdLine{"%f%f%f%f", 4, [](CtdSample& s, const float* v, int n) {
                                      // pressure, conductivity (mS/cm), temperature, analog
                                      s.conductivity = v[1];
                                      s.temperature = v[2];
                                      s.pressure = v[0];
                                      if (n == 4) s.analog = v[3];
                                    }};

constexpr DecimalForm kSbe911Line{"%f%f%f%f", 4, [](CtdSample& s, const float* v, int n) {
                                    // temperature, conductivity, pressure, analog
                                    s.conductivity = v[1];
                                    s.temperature = v[0];
                                    s.pressure = v[2];
                                    if (n == 4) s.analog = v[3];
                                  }};

constexpr DecimalForm kFlowmeterLine{"%f,%f,%f,%f,%f%f", 6,
                                     [](CtdSample& s, const float* v, int n) {
                                       // Misc1, Misc2, Misc3, Flow (not used), pressure, analog
                                       s.conductivity = 0;
                                       s.temperature = 0;
                                       s.pressure = v[4];
                                       if (n == 6) s.analog = v[5];
                                     }};

constexpr DecimalForm kPressureSensorLine{"%f%f", 2, [](CtdSample& s, const float* v, int n) {
                                            // pressure, analog; the one value that comes through
                                            // the multiplexer lands in the analog field
                                            s.conductivity = 0;
                                            s.temperature = 0;
                                            if (n == 2) {
                                              s.pressure = v[0];
                                              s.analog = v[1];
                                            } else {
                                              s.analog = v[0];
                                            }
                                          }};

// The OS200: conductivity, pressure and temperature readings against a zero reference, then
// analog; its coefficients are read for every line.
class Os200Decoder : public CtdModelDecoder {
 public:
  explicit Os200Decoder(const SettingsStore& store) : store_(store) {}
  bool Decode(CtdLine& line) override {
    if (line.text.size() < 7) return false;
    float s[5] = {};
    const int n = ScanFloats(line.text, s, 5);
    if (n < 4) return false;
    const Os200Coefficients& c = coefficients_.Current(store_);
    const double zero = s[3];
    const double l = std::log(s[2] - zero);
    line.sample.conductivity = (s[0] - zero) * c.cb + c.ca;
    line.sample.temperature = c.ta + l * (c.tb + l * (c.tc + l * c.td));
    line.sample.pressure = (s[1] - zero) * c.pb * 1.4503 + c.pa;
    if (n == 5) line.sample.analog = s[4];
    return true;
  }

 private:
  const SettingsStore& store_;
  CoefficientsFromStore<Os200Coefficients> coefficients_{LoadOs200Coefficients};
};

std::unique_ptr<CtdModelDecoder> MakeOs200Decoder(const SettingsStore& store) {
  return std::make_unique<Os200Decoder>(store);
}

const CtdModel kModels[] = {
    {.code = CtdCode::kMicroCtd,
     .name = "Micro CTD (AML)",
     .rateHz = 25,
     .expectedFormat = "DECIMAL: ( Pressure  Conductivity  Temperature )",
     .decoder = Decimal<kMicroCtdLine>,
     .conductivityUnit = ConductivityUnit::MilliSiemensPerCentimetre},
    {.code = CtdCode::kSbe911,
     .name = "SBE 911plus CTD (Sea-Bird)",
     .rateHz = 24,
     .expectedFormat = "DECIMAL: ( Temperature  Conductivity  Pressure )",
     .decoder = Decimal<kSbe911Line>},
    {.code = CtdCode::kFlowmeter,
     .name = "Net-Tow Flowmeter (custom)",
     .rateHz = 4,
     .expectedFormat = "DECIMAL: ( Misc1  Misc2  Misc3  Flow  Pressure )",
     .decoder = Decimal<kFlowmeterLine>,
     .measuresConductivity = false},
    {.code = CtdCode::kPressureSensor,
     .name = "Pressure Smart Sensor (AML)",
     .rateHz = 15,
     .expectedFormat = "DECIMAL: ( Pressure )",
     .decoder = Decimal<kPressureSensorLine>,
     .measuresConductivity = false},
    {.code = CtdCode::kSbe19,
     .name = "SBE 19 CTD (Sea-Bird)",
     .rateHz = 2,
     .expectedFormat = "ASCII HEX: ( ttttccccpppp )",
     .decoder = MakeSbe19Decoder,
     .coefficients = [] { return Sbe19CoefficientTable().List(); },
     .headerBlock = AppendSbe19HeaderBlock,
     .dialog = CtdDialog::Sbe19},
    {.code = CtdCode::kSbe19plus,
     .name = "SBE 19plus CTD (Sea-Bird)",
     .rateHz = 4,
     .expectedFormat = "ASCII HEX:(ttttttccccccpppppp) - OR - Decimal (T C D)",
     .decoder = MakeSbe19plusDecoder,
     .coefficients = [] { return Sbe19plusCoefficientTable().List(); },
     .headerBlock = AppendSbe19plusHeaderBlock,
     .dialog = CtdDialog::Sbe19plus},
    {.code = CtdCode::kOs200,
     .name = "OS200 CTD",
     .listed = false,
     .decoder = MakeOs200Decoder,
     .coefficients = [] { return Os200CoefficientTable().List(); },
     .dialog = CtdDialog::Coefficients,
     .dialogCaption = "OS200 Configuration"},
    {.code = CtdCode::kSbe49,
     .name = "SBE49 FastCAT (Sea-Bird)",
     .rateHz = 16,
     .expectedFormat = "OUTPUTFORMAT=3 recommended",
     .decoder = MakeSbe49Decoder,
     .suppliesSalinity = true,
     .coefficients = [] { return Sbe49CoefficientTable().List(); },
     .dialog = CtdDialog::Sbe49},
    {.code = CtdCode::kSbe25,
     .name = "SBE25 Sealogger (Sea-Bird)",
     .rateHz = 8,
     .expectedFormat = "ttttttccccccspppuuuvvvwwwxxxyyyzzz0aaa",
     .decoder = MakeSbe25Decoder,
     .coefficients = [] { return Sbe25CoefficientTable().List(); }},
};

}  // namespace

std::span<const CtdModel> CtdModels() {
  return kModels;
}

const CtdModel* FindCtdModel(int code) {
  const auto it = std::find_if(std::begin(kModels), std::end(kModels),
                               [&](const CtdModel& m) { return m.code == code; });
  return it == std::end(kModels) ? nullptr : &*it;
}

ConductivityUnit CtdConductivityUnit(int code) {
  const CtdModel* model = FindCtdModel(code);
  return model != nullptr ? model->conductivityUnit : ConductivityUnit::SiemensPerMetre;
}

}  // namespace vesk
