// The Sea-Bird decoders: SBE 19 and SBE 19plus (coefficients read for every line), SBE 49
// and SBE 25 (coefficients loaded at the start of a scan).

#include "instruments/ctd_seabird_decoders.h"

#include <cmath>
#include <cstdio>
#include <string_view>

#include "instruments/ctd_coefficients.h"
#include "instruments/line_scanner.h"
#include "instruments/scan_warnings.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

// What the counter sends after the instrument's hex word: "%s%f%d".
struct HexLine {
  std::string word;
  float number = 0;
  int tag = 0;
  int count = 0;  // values present, 0 to 3
};

HexLine ScanHexLine(std::string_view text) {
  HexLine h;
  LineScanner scan(text);
  if (!scan.Word(&h.word)) return h;
  h.count = 1;
  if (!scan.Float(&h.number)) return h;
  h.count = 2;
  if (scan.Int(&h.tag)) h.count = 3;
  return h;
}

void AppendFormat(std::string& out, const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  out += text;
}

// The counter's decimal number and tag, kept after the converted values.
void AppendSuffix(std::string& out, const HexLine& h) {
  char text[64];
  std::snprintf(text, sizeof text, " %.0f %d", static_cast<double>(h.number), h.tag);
  out += text;
}

// Splits an SBE 49 / SBE 25 line into the instrument part and what the counter appended
// after it. For comma-separated engineering units the instrument part runs through the
// value after the last comma.
void SplitInstrumentPart(std::string_view text, std::string_view* instrument,
                         std::string_view* rest) {
  std::size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) ++start;
  text.remove_prefix(start);
  std::size_t from = 0;
  const std::size_t lastComma = text.rfind(',');
  if (lastComma != std::string_view::npos) {
    from = lastComma + 1;
    while (from < text.size() && IsBlank(text[from])) ++from;
  }
  std::size_t end = from;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  *instrument = text.substr(0, end);
  *rest = text.substr(end);
}

// "%i %i" after the instrument part: the first integer is the analog value.
void TakeAnalogInteger(std::string_view rest, CtdSample& sample) {
  LineScanner scan(rest);
  int value = 0;
  if (scan.Int(&value, 0)) sample.analog = value;
}

int DigitsAfterPoint(std::string_view field) {
  const std::size_t point = field.find('.');
  if (point == std::string_view::npos) return 0;
  int digits = 0;
  for (std::size_t i = point + 1; i < field.size() && field[i] >= '0' && field[i] <= '9'; ++i) {
    ++digits;
  }
  return digits;
}

// --- SBE 19 ---------------------------------------------------------------------------

class Sbe19Decoder : public CtdModelDecoder {
 public:
  explicit Sbe19Decoder(const SettingsStore& store) : store_(store) {}

  bool Decode(CtdLine& line) override {
    const Sbe19Coefficients& c = coefficients_.Current(store_);
    const HexLine h = ScanHexLine(line.text);
    if (h.count == 3) line.sample.analog = h.number;
    double t = 0, cond = 0, p = 0;
    const Status status = Convert(h.word, c, t, cond, p, line.text);
    switch (status) {
      case Status::Sample:
        line.sample.conductivity = cond;
        line.sample.temperature = t;
        line.sample.pressure = p;
        if (!line.viaMux && !c.logRaw && h.count == 3) AppendSuffix(line.text, h);
        break;
      case Status::Reference: line.sample.pressure = p; break;
      case Status::WrongLength:
        if (!c.logRaw) line.text.clear();  // nothing of this line is logged
        break;
    }
    return status != Status::WrongLength;
  }
  void StartScan() override {
    refFrequencyA_ = 0;
    refFrequencyB_ = 0;
  }
  // The ITS-90 coefficients (the G set) give ITS-90 temperatures; the salinity scale wants
  // IPTS-68.
  double SalinityTemperature(double t) override {
    return coefficients_.Current(store_).tempSetA ? t : t * 1.00024;
  }

 private:
  enum class Status { Sample = 1, Reference = 2, WrongLength = 3 };

  // The hex record converter: fills temperature, conductivity and pressure and, for a sample,
  // rewrites `text` (unless raw logging is on).
  Status Convert(const std::string& word, const Sbe19Coefficients& c, double& t, double& cond,
                 double& p, std::string& text) {
    std::size_t length = 0;
    switch (c.analogChannels) {
      case 0: length = 12; break;
      case 2: length = 18; break;
      case 4: length = 24; break;
      default: return Status::WrongLength;
    }
    if (word.size() != length) return Status::WrongLength;
    const long tempCount = HexField(word, 0, 4);
    const long condCount = HexField(word, 4, 4);
    const long presWord = HexField(word, length - 4, 4);
    double volts[4] = {};
    bool hex = tempCount >= 0 && condCount >= 0 && presWord >= 0;
    for (int k = 0; k < c.analogChannels; ++k) {
      const long v = HexField(word, 8 + 3 * static_cast<std::size_t>(k), 3);
      hex = hex && v >= 0;
      volts[k] = static_cast<double>(v) * kVoltsPer12BitCount;
    }
    if (!hex) return Status::WrongLength;  // not a hex word: as unusable as a short one

    double count = static_cast<double>(presWord & 0x1FFF);
    if (c.firmwareVersion <= 2.0) count *= 0.125;
    if ((presWord & 0x4000) != 0) count = -count;
    p = Sbe19Pressure(count, c);

    if ((presWord & 0x8000) != 0) {
      // A reference record: only the pressure and one reference frequency.
      const double reference = static_cast<double>(HexField(word, 2, 6)) / 256;
      const std::string_view head(word.data(), 2);
      if (head == "05" || head == "08") {
        refFrequencyA_ = reference;
      } else if (head == "FF" || head == "ff" || head == "Ff" || head == "fF") {
        refFrequencyB_ = reference;
      }
      return Status::Reference;
    }

    double tf = Sbe19TemperatureFrequency(static_cast<double>(tempCount));
    double cf = Sbe19ConductivityFrequency(static_cast<double>(condCount), c.condStandardCalc);
    // The reference frequencies A and B correct the others once a record brought both.
    if (refFrequencyA_ != 0 && refFrequencyB_ != 0) {
      tf = RefFreqCorrect(tf, refFrequencyA_, refFrequencyB_);
      cf = RefFreqCorrect(cf, refFrequencyA_, refFrequencyB_);
    }
    t = Sbe19Temperature(tf, c);
    cond = Sbe19Conductivity(cf, t, p, c);
    if (!c.logRaw) {
      char out[64];
      std::snprintf(out, sizeof out, "%+.3f %.3f ", t, cond);
      text = out;
      for (int k = 0; k < c.analogChannels; ++k) AppendFormat(text, "%0.3f ", volts[k]);
      AppendFormat(text, "%+.1f", p);
    }
    return Status::Sample;
  }

  const SettingsStore& store_;
  CoefficientsFromStore<Sbe19Coefficients> coefficients_{LoadSbe19Coefficients};
  double refFrequencyA_ = 0;
  double refFrequencyB_ = 0;
};

// --- SBE 19plus -----------------------------------------------------------------------

class Sbe19plusDecoder : public CtdModelDecoder {
 public:
  explicit Sbe19plusDecoder(const SettingsStore& store) : store_(store) {}

  bool Decode(CtdLine& line) override {
    const Sbe19plusConfig& cfg = config_.Current(store_);
    switch (cfg.outputFormat) {
      case 0: return DecodeHex(cfg, line);
      case 1: return DecodeDecimal(cfg, line);
      default:
        line.warnings.Raise(line.dialogs, kUnrecognizedSbe19plusFormat, "", MessageIcon::Error);
        return false;
    }
  }

 private:
  static bool DecodeHex(const Sbe19plusConfig& cfg, CtdLine& line) {
    CtdSample& sample = line.sample;
    const HexLine h = ScanHexLine(line.text);
    if (h.count == 3) sample.analog = h.number;
    if (cfg.analogInputs < 0 || cfg.analogInputs > 4) return false;
    const std::string& w = h.word;
    if (w.size() != 22 + 4 * static_cast<std::size_t>(cfg.analogInputs)) return false;
    const long tempCount = HexField(w, 0, 6);
    const long condCount = HexField(w, 6, 6);
    const long presCount = HexField(w, 12, 6);
    const long presTempCount = HexField(w, 18, 4);
    double volts[4] = {};
    bool hex = tempCount >= 0 && condCount >= 0 && presCount >= 0 && presTempCount >= 0;
    for (int k = 0; k < cfg.analogInputs; ++k) {
      const long v = HexField(w, 22 + 4 * static_cast<std::size_t>(k), 4);
      hex = hex && v >= 0;
      volts[k] = static_cast<double>(v) * kVoltsPer16BitCount;
    }
    if (!hex) return false;

    const SeaBirdCoefficients& c = cfg.coeff;
    const float p = static_cast<float>(
        Sbe19plusPressure(static_cast<double>(presCount),
                          static_cast<double>(presTempCount) * kVoltsPer16BitCount, c));
    const float t = static_cast<float>(Sbe19plusTemperature(static_cast<double>(tempCount), c));
    const float cond = static_cast<float>(
        Sbe19plusConductivity(static_cast<double>(condCount) * kFrequencyStep, t, p, c));
    if (!cfg.logRaw) {
      char text[96];
      std::snprintf(text, sizeof text, "%+.4f %.5f %+.3f ", static_cast<double>(t),
                    static_cast<double>(cond), static_cast<double>(p));
      line.text = text;
      for (int k = 0; k < cfg.analogInputs; ++k) {
        if (k > 0) line.text += ' ';
        AppendFormat(line.text, "%0.4f", volts[k]);
      }
    }
    sample.conductivity = cond;
    sample.temperature = t;
    sample.pressure = p;
    if (!line.viaMux && !cfg.logRaw && h.count == 3) AppendSuffix(line.text, h);
    return true;
  }

  static bool DecodeDecimal(const Sbe19plusConfig& cfg, CtdLine& line) {
    if (cfg.analogInputs < 0 || cfg.analogInputs > 4) return false;
    std::string text;
    text.reserve(line.text.size());
    for (char ch : line.text) {
      if (ch != ',') text += ch;
    }
    // temperature, conductivity, pressure, the analog inputs, salinity and sound velocity
    // when enabled: the instrument's own values; then the counter's analog number and tag.
    const int own = 3 + cfg.analogInputs + (cfg.outputSal ? 1 : 0) + (cfg.outputSv ? 1 : 0);
    float v[10] = {};
    LineScanner scan(text);
    int n = 0;
    while (n < own + 1 && scan.Float(&v[n])) ++n;
    int tag = 0;
    const bool complete = n == own + 1 && scan.Int(&tag);
    // Through the multiplexer the counter's values may be missing.
    if (!complete && !(line.viaMux && n >= own)) return false;
    line.sample.temperature = v[0];
    line.sample.conductivity = v[1];
    line.sample.pressure = v[2];
    if (n == own + 1) line.sample.analog = v[own];
    return true;
  }

  const SettingsStore& store_;
  CoefficientsFromStore<Sbe19plusConfig> config_{LoadSbe19plusConfig};
};

// --- SBE 49 ---------------------------------------------------------------------------

class Sbe49Decoder : public CtdModelDecoder {
 public:
  void LoadScanSettings(const SettingsStore& store) override {
    coefficients_ = LoadSbe49Coefficients(store);
  }

  bool Decode(CtdLine& line) override {
    std::string_view instrument, rest;
    SplitInstrumentPart(line.text, &instrument, &rest);
    TakeAnalogInteger(rest, line.sample);
    double t = 0, cond = 0, p = 0, salinity = 0;
    if (instrument.find(',') != std::string_view::npos) {
      // OUTPUTFORMAT=3: temperature, conductivity, pressure[, salinity][, sound velocity]
      double values[3] = {};
      int index = 0;
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = instrument.find(',', start);
        const std::string_view field = instrument.substr(
            start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
        if (index < 3) {
          LineScanner scan(field);
          float value = 0;
          if (!scan.Float(&value)) return false;
          values[index] = value;
        } else if (DigitsAfterPoint(field) == 4) {
          LineScanner scan(field);
          float value = 0;
          if (scan.Float(&value)) salinity = value;
        }
        ++index;
        if (comma == std::string_view::npos) break;
        start = comma + 1;
      }
      if (index < 3) return false;
      t = values[0];
      cond = values[1];
      p = values[2];
    } else if (instrument.size() <= 21) {
      // OUTPUTFORMAT=1: engineering units in hex
      const long tn = HexField(instrument, 0, 6);
      const long cn = HexField(instrument, 6, 6);
      const long pn = HexField(instrument, 12, 6);
      if (tn < 0 || cn < 0 || pn < 0) return false;
      t = static_cast<double>(tn) * 1e-05 - 10.0;
      cond = static_cast<double>(cn) * 1e-06 - 1.0;
      p = static_cast<double>(pn) * 0.001 - 100.0;
    } else {
      // OUTPUTFORMAT=0: raw counts
      const long tn = HexField(instrument, 0, 6);
      const long cn = HexField(instrument, 6, 6);
      const long pn = HexField(instrument, 12, 6);
      const long vn = HexField(instrument, 18, 4);
      if (tn < 0 || cn < 0 || pn < 0 || vn < 0) return false;
      const SeaBirdCoefficients& c = coefficients_;
      t = Sbe49Temperature(static_cast<double>(tn), c);
      p = Sbe49Pressure(static_cast<double>(pn), static_cast<double>(vn) * kVoltsPer16BitCount, c);
      cond = Sbe49Conductivity(static_cast<double>(cn) * kFrequencyStep, t, p, c);
    }
    line.sample.conductivity = cond;
    line.sample.temperature = t;
    line.sample.pressure = p;
    line.sample.salinity = salinity;  // 0: computed from the others
    return true;
  }

 private:
  SeaBirdCoefficients coefficients_;
};

// --- SBE 25 ---------------------------------------------------------------------------

class Sbe25Decoder : public CtdModelDecoder {
 public:
  void LoadScanSettings(const SettingsStore& store) override {
    coefficients_ = LoadSbe25Coefficients(store);
  }

  bool Decode(CtdLine& line) override {
    std::string_view text = line.text;
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    std::size_t end = 0;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    const std::string_view word = text.substr(0, end);
    TakeAnalogInteger(text.substr(end), line.sample);
    if (word.size() < 16) return false;
    // ttttttccccccsppp, then the auxiliary channels (not part of the record)
    const long tn = HexField(word, 0, 6);
    const long cn = HexField(word, 6, 6);
    const long pn = HexField(word, 13, 3);
    if (tn < 0 || cn < 0 || pn < 0) return false;
    double cond = static_cast<double>(cn) * kFrequencyStep;
    double t = static_cast<double>(tn) * kFrequencyStep;
    double p = word[12] == '4' ? -static_cast<double>(pn) : static_cast<double>(pn);
    Sbe25Convert(cond, t, p, coefficients_);
    line.sample.conductivity = cond;
    line.sample.temperature = t;
    line.sample.pressure = p;
    line.sample.salinity = 0;  // computed from the others
    return true;
  }

 private:
  Sbe25Coefficients coefficients_;
};

}  // namespace

std::unique_ptr<CtdModelDecoder> MakeSbe19Decoder(const SettingsStore& store) {
  return std::make_unique<Sbe19Decoder>(store);
}
std::unique_ptr<CtdModelDecoder> MakeSbe19plusDecoder(const SettingsStore& store) {
  return std::make_unique<Sbe19plusDecoder>(store);
}
std::unique_ptr<CtdModelDecoder> MakeSbe49Decoder(const SettingsStore&) {
  return std::make_unique<Sbe49Decoder>();
}
std::unique_ptr<CtdModelDecoder> MakeSbe25Decoder(const SettingsStore&) {
  return std::make_unique<Sbe25Decoder>();
}

}  // namespace vesk
