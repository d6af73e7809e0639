// The Sea-Bird decoders: SBE 19 and SBE 19plus (coefficients read for every line), SBE 49
// and SBE 25 (coefficients loaded at the start of a scan).

#include <cmath>
#include <cstdio>
#include <string_view>

#include "instruments/ctd_decoder.h"
#include "instruments/line_scanner.h"
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

}  // namespace

// --- SBE 19 ---------------------------------------------------------------------------

CtdDecoder::Sbe19Status CtdDecoder::ConvertSbe19Word(const std::string& word,
                                                     const Sbe19Coefficients& c, double& t,
                                                     double& cond, double& p) {
  std::size_t length = 0;
  switch (c.analogChannels) {
    case 0: length = 12; break;
    case 2: length = 18; break;
    case 4: length = 24; break;
    default: return Sbe19Status::WrongLength;
  }
  if (word.size() != length) return Sbe19Status::WrongLength;
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
  if (!hex) return Sbe19Status::WrongLength;  // not a hex word: as unusable as a short one

  double count = static_cast<double>(presWord & 0x1FFF);
  if (c.firmwareVersion <= 2.0) count *= 0.125;
  if ((presWord & 0x4000) != 0) count = -count;
  p = Sbe19Pressure(count, c);

  if ((presWord & 0x8000) != 0) {
    // A reference record: only the pressure and one reference frequency.
    const double reference = static_cast<double>(HexField(word, 2, 6)) / 256;
    const std::string_view head(word.data(), 2);
    if (head == "05" || head == "08") {
      refFrequencyA = reference;
    } else if (head == "FF" || head == "ff" || head == "Ff" || head == "fF") {
      refFrequencyB = reference;
    }
    return Sbe19Status::Reference;
  }

  double tf = Sbe19TemperatureFrequency(static_cast<double>(tempCount));
  double cf = Sbe19ConductivityFrequency(static_cast<double>(condCount), c.condStandardCalc);
  if (refFrequencyA != 0 && refFrequencyB != 0) {
    tf = RefFreqCorrect(tf, refFrequencyA, refFrequencyB);
    cf = RefFreqCorrect(cf, refFrequencyA, refFrequencyB);
  }
  t = Sbe19Temperature(tf, c);
  cond = Sbe19Conductivity(cf, t, p, c);
  if (!c.logRaw) {
    char text[64];
    std::snprintf(text, sizeof text, "%+.3f %.3f ", t, cond);
    line = text;
    for (int k = 0; k < c.analogChannels; ++k) AppendFormat(line, "%0.3f ", volts[k]);
    AppendFormat(line, "%+.1f", p);
  }
  return Sbe19Status::Sample;
}

bool CtdDecoder::DecodeSbe19() {
  const Sbe19Coefficients& c = CurrentSbe19Coefficients();
  const HexLine h = ScanHexLine(line);
  if (h.count == 3) sample.analog = h.number;
  double t = 0, cond = 0, p = 0;
  const Sbe19Status status = ConvertSbe19Word(h.word, c, t, cond, p);
  switch (status) {
    case Sbe19Status::Sample:
      sample.conductivity = cond;
      sample.temperature = t;
      sample.pressure = p;
      if (!viaMux && !c.logRaw && h.count == 3) AppendSuffix(line, h);
      break;
    case Sbe19Status::Reference: sample.pressure = p; break;
    case Sbe19Status::WrongLength:
      if (!c.logRaw) line.clear();  // nothing of this line is logged
      break;
  }
  lastLine = line;
  return status != Sbe19Status::WrongLength;
}

// --- SBE 19plus -----------------------------------------------------------------------

bool CtdDecoder::DecodeSbe19plus() {
  const Sbe19plusConfig& cfg = Current(sbe19plusConfig_, LoadSbe19plusConfig);
  switch (cfg.outputFormat) {
    case 0: return DecodeSbe19plusHex(cfg);
    case 1: return DecodeSbe19plusDecimal(cfg);
    default:
      warnings.Raise(dialogs_, kUnrecognizedSbe19plusFormat, "", MessageIcon::Error);
      return false;
  }
}

bool CtdDecoder::DecodeSbe19plusHex(const Sbe19plusConfig& cfg) {
  const HexLine h = ScanHexLine(line);
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
  const float p = static_cast<float>(Sbe19plusPressure(
      static_cast<double>(presCount), static_cast<double>(presTempCount) * kVoltsPer16BitCount, c));
  const float t = static_cast<float>(Sbe19plusTemperature(static_cast<double>(tempCount), c));
  const float cond = static_cast<float>(
      Sbe19plusConductivity(static_cast<double>(condCount) * kFrequencyStep, t, p, c));
  if (!cfg.logRaw) {
    char text[96];
    std::snprintf(text, sizeof text, "%+.4f %.5f %+.3f ", static_cast<double>(t),
                  static_cast<double>(cond), static_cast<double>(p));
    line = text;
    for (int k = 0; k < cfg.analogInputs; ++k) {
      if (k > 0) line += ' ';
      AppendFormat(line, "%0.4f", volts[k]);
    }
  }
  sample.conductivity = cond;
  sample.temperature = t;
  sample.pressure = p;
  if (!viaMux && !cfg.logRaw && h.count == 3) AppendSuffix(line, h);
  return true;
}

bool CtdDecoder::DecodeSbe19plusDecimal(const Sbe19plusConfig& cfg) {
  if (cfg.analogInputs < 0 || cfg.analogInputs > 4) return false;
  std::string text;
  text.reserve(line.size());
  for (char ch : line) {
    if (ch != ',') text += ch;
  }
  // temperature, conductivity, pressure, the analog inputs, salinity and sound velocity when
  // enabled: the instrument's own values; then the counter's analog number and tag.
  const int own = 3 + cfg.analogInputs + (cfg.outputSal ? 1 : 0) + (cfg.outputSv ? 1 : 0);
  float v[10] = {};
  LineScanner scan(text);
  int n = 0;
  while (n < own + 1 && scan.Float(&v[n])) ++n;
  int tag = 0;
  const bool complete = n == own + 1 && scan.Int(&tag);
  // Through the multiplexer the counter's values may be missing.
  if (!complete && !(viaMux && n >= own)) return false;
  sample.temperature = v[0];
  sample.conductivity = v[1];
  sample.pressure = v[2];
  if (n == own + 1) sample.analog = v[own];
  return true;
}

// --- SBE 49 ---------------------------------------------------------------------------

bool CtdDecoder::DecodeSbe49() {
  std::string_view instrument, rest;
  SplitInstrumentPart(line, &instrument, &rest);
  TakeAnalogInteger(rest, sample);
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
    t = Sbe49Temperature(static_cast<double>(tn), sbe49_);
    p = Sbe49Pressure(static_cast<double>(pn), static_cast<double>(vn) * kVoltsPer16BitCount,
                      sbe49_);
    cond = Sbe49Conductivity(static_cast<double>(cn) * kFrequencyStep, t, p, sbe49_);
  }
  sample.conductivity = cond;
  sample.temperature = t;
  sample.pressure = p;
  sample.salinity = salinity;  // 0: computed by the dispatcher
  return true;
}

// --- SBE 25 ---------------------------------------------------------------------------

bool CtdDecoder::DecodeSbe25() {
  std::string_view text = line;
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  std::size_t end = 0;
  while (end < text.size() && !IsBlank(text[end])) ++end;
  const std::string_view word = text.substr(0, end);
  TakeAnalogInteger(text.substr(end), sample);
  if (word.size() < 16) return false;
  // ttttttccccccsppp, then the auxiliary channels (not part of the record)
  const long tn = HexField(word, 0, 6);
  const long cn = HexField(word, 6, 6);
  const long pn = HexField(word, 13, 3);
  if (tn < 0 || cn < 0 || pn < 0) return false;
  double cond = static_cast<double>(cn) * kFrequencyStep;
  double t = static_cast<double>(tn) * kFrequencyStep;
  double p = word[12] == '4' ? -static_cast<double>(pn) : static_cast<double>(pn);
  Sbe25Convert(cond, t, p, sbe25_);
  sample.conductivity = cond;
  sample.temperature = t;
  sample.pressure = p;
  sample.salinity = 0;  // computed by the dispatcher
  return true;
}

}  // namespace vesk
