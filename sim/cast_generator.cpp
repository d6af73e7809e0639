#include "sim/cast_generator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

#include "processing/deframer.h"

namespace vesk {

namespace {

constexpr double kLPeriod = 0.5;     // s between L frames
constexpr double kNmeaPeriod = 1.0;  // s between GGA/RMC pairs
constexpr double kSoakDepth = 2.0;   // m
constexpr double kThermoclineDepth = 25.0;
constexpr double kPi = 3.14159265358979323846;
// The ship's heave reaches the instrument on the descent: it goes up now and then (the loop
// edit's work), never by as much as a turn.
constexpr double kHeaveAmplitude = 1.2;  // m
constexpr double kHeavePeriod = 6.0;     // s
// A layer of large particles (marine snow under the thermocline).
constexpr double kLayerDepth = 40.0;  // m
constexpr double kLayerHalfWidth = 3.0;

// The counter's flow speed (m/s) for a flow-sensor ratio H4/H3.
double FlowSpeedFromRatio(double r) {
  const double y = std::pow(r, 0.25);
  return 6987.567587 * std::exp(-(4.0135 * std::sqrt(y) + 1.7857899 * y - 0.12719751516 * y * y -
                                  0.03 * y * y * y));
}

// The ratio in 4..210 that gives `speed` (the speed falls as the ratio rises).
double RatioFromFlowSpeed(double speed) {
  double lo = 4.0, hi = 210.0;
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    if (FlowSpeedFromRatio(mid) > speed) {
      lo = mid;
    } else {
      hi = mid;
    }
  }
  return 0.5 * (lo + hi);
}

void PutU16(std::vector<std::uint8_t>& p, unsigned v) {
  p.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
  p.push_back(static_cast<std::uint8_t>(v & 0xFF));
}

unsigned Clamp16(double v) {
  if (v <= 0) return 0;
  if (v >= 65535) return 65535;
  return static_cast<unsigned>(std::lround(v));
}

// "ddmm.mmmm" (latitude) or "dddmm.mmmm" (longitude) with the hemisphere letter.
std::string NmeaAngle(double degrees, bool longitude, char& hemisphere) {
  hemisphere = longitude ? (degrees < 0 ? 'W' : 'E') : (degrees < 0 ? 'S' : 'N');
  const long long tenThousandthMinutes = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
  const long long deg = tenThousandthMinutes / 600000;
  const long long rest = tenThousandthMinutes % 600000;
  char text[32];
  std::snprintf(text, sizeof text, longitude ? "%03lld%02lld.%04lld" : "%02lld%02lld.%04lld", deg,
                rest / 10000, rest % 10000);
  return text;
}

// How much the layer is there at a depth: 1 at its centre.
double Layer(double depth) {
  const double x = (depth - kLayerDepth) / kLayerHalfWidth;
  return std::exp(-x * x);
}

// The particle concentration peaks in the thermocline and in the layer.
double Abundance(double depth) {
  const double x = (depth - kThermoclineDepth) / 8.0;
  return 1.0 + 2.0 * std::exp(-x * x) + 3.0 * Layer(depth);
}

// The size spectrum's fall (bins per e-fold): steep near the surface, flatter with depth, and
// flattest in the layer of large particles.
double SpectrumFall(double depth) {
  const double x = (depth - kThermoclineDepth) / 10.0;
  return 6.0 + 0.08 * depth + 5.0 * std::exp(-x * x) + 12.0 * Layer(depth);
}

}  // namespace

std::string WithNmeaChecksum(const std::string& sentence) {
  unsigned sum = 0;
  for (std::size_t i = 1; i < sentence.size(); ++i) sum ^= static_cast<unsigned char>(sentence[i]);
  char tail[8];
  std::snprintf(tail, sizeof tail, "*%02X", sum);
  return sentence + tail;
}

namespace {

// The lines a second of the instrument the C frames speak for.
double ModelRate(int ctdModel) {
  const CtdModel* model = FindCtdModel(ctdModel);
  return model != nullptr ? model->rateHz : 1.0;
}

}  // namespace

CastGenerator::CastGenerator(const CastOptions& options)
    : options_(options),
      ctdPeriod_(1.0 / (options.ctdRateHz > 0 ? options.ctdRateHz : ModelRate(options.ctdModel))),
      rngL_(options.seed * 4 + 0),
      rngM_(options.seed * 4 + 1),
      rngC_(options.seed * 4 + 2) {}

std::string CastGenerator::StartupText() {
  return "\r\nSCAN ALL\r\nVESK counter: sampling started\r\n";
}

CastState CastGenerator::StateAt(double t) const {
  const CastOptions& o = options_;
  const double travel = std::fmax(0.0, o.maxDepth - kSoakDepth) / std::fmax(0.05, o.descentRate);
  const double cycle = o.surfaceSeconds + travel + o.bottomSeconds + travel;
  const double tc = std::fmod(std::fmax(0.0, t), cycle);
  CastState s;
  const double drifting = 0.3;  // m/s through the water while held at one depth
  if (tc < o.surfaceSeconds) {
    s.depth = kSoakDepth;
    s.speed = drifting;
  } else if (tc < o.surfaceSeconds + travel) {
    // The heave fades in and out over the descent, so the cast meets the soak and the
    // bottom without a jump.
    const double tau = tc - o.surfaceSeconds;
    const double w = 2 * kPi / kHeavePeriod, fade = kPi / travel;
    s.depth = kSoakDepth + tau * o.descentRate +
              kHeaveAmplitude * std::sin(w * tau) * std::sin(fade * tau);
    s.speed = std::fabs(o.descentRate +
                        kHeaveAmplitude * (w * std::cos(w * tau) * std::sin(fade * tau) +
                                           fade * std::sin(w * tau) * std::cos(fade * tau)));
  } else if (tc < o.surfaceSeconds + travel + o.bottomSeconds) {
    s.depth = o.maxDepth;
    s.speed = drifting;
  } else {
    s.depth = o.maxDepth - (tc - o.surfaceSeconds - travel - o.bottomSeconds) * o.descentRate;
    s.speed = o.descentRate;
  }
  s.pressure = SimPressureFromDepth(s.depth, o.latitude);
  s.temperature = 4.0 + 12.0 / (1.0 + std::exp((s.depth - kThermoclineDepth) / 4.0));
  s.salinity = 33.2 + 1.6 * (1.0 - std::exp(-s.depth / 30.0));
  s.conductivity = SimRatioFromSalinity(s.salinity, s.temperature, s.pressure) * 4.2914;
  return s;
}

std::string CastGenerator::CtdLine(const CastState& s, double analog) const {
  char text[96];
  if (options_.ctdModel == CtdCode::kSbe19) {
    const double volts[4] = {analog, 1.25, 2.5, 0.75};
    return SimSbe19HexWord(s.temperature, s.conductivity, s.pressure, options_.sbe19, volts,
                           options_.sbeAnalogChannels);
  }
  // Micro CTD: pressure (dbar), conductivity (mS/cm), temperature, analog.
  std::snprintf(text, sizeof text, "%.2f %.3f %.3f %.3f", s.pressure, s.conductivity * 10.0,
                s.temperature, analog);
  return text;
}

void CastGenerator::PositionAt(double t, double& lat, double& lon) const {
  const double metres = options_.driftKnots * 1852.0 / 3600.0 * t;
  const double course = options_.driftCourse * kPi / 180.0;
  lat = options_.latitude + metres * std::cos(course) / 111320.0;
  lon = options_.longitude +
        metres * std::sin(course) / (111320.0 * std::cos(options_.latitude * kPi / 180.0));
}

CastGenerator::NmeaFix CastGenerator::FixAt(double t) const {
  const std::time_t when =
      static_cast<std::time_t>(options_.startUtc + std::llround(std::floor(t)));
  std::tm utc{};
  gmtime_r(&when, &utc);
  double lat, lon;
  PositionAt(t, lat, lon);
  char ns, ew;
  const std::string la = NmeaAngle(lat, false, ns), lo = NmeaAngle(lon, true, ew);
  char time[40], position[96], date[40];
  std::snprintf(time, sizeof time, "%02d%02d%02d.00", utc.tm_hour, utc.tm_min, utc.tm_sec);
  std::snprintf(position, sizeof position, "%s,%c,%s,%c", la.c_str(), ns, lo.c_str(), ew);
  std::snprintf(date, sizeof date, "%02d%02d%02d", utc.tm_mday, utc.tm_mon + 1, utc.tm_year % 100);
  return {time, position, date};
}

std::string CastGenerator::GgaSentence(double t) const {
  const NmeaFix fix = FixAt(t);
  return WithNmeaChecksum("$GPGGA," + fix.time + "," + fix.position + ",1,09,0.9,12.4,M,-21.0,M,,");
}

std::string CastGenerator::RmcSentence(double t) const {
  const NmeaFix fix = FixAt(t);
  char motion[48];
  std::snprintf(motion, sizeof motion, "%.1f,%.1f", options_.driftKnots, options_.driftCourse);
  return WithNmeaChecksum("$GPRMC," + fix.time + ",A," + fix.position + "," + motion + "," +
                          fix.date + ",,,A");
}

void CastGenerator::EmitL(double t, std::vector<std::uint8_t>& out) {
  const CastState s = StateAt(t);
  SimRandom& r = rngL_;
  std::vector<std::uint8_t> p;
  p.reserve(276);
  const double abundance = Abundance(s.depth);
  const double slope = SpectrumFall(s.depth);     // bins per e-fold of the spectrum
  const double volume = std::fmax(0.2, s.speed);  // water through the tunnel
  for (int k = 0; k < 128; ++k) {
    PutU16(p, Clamp16(r.Poisson(30.0 * abundance * volume * std::exp(-k / slope))));
  }
  const double speed = std::fmax(0.11, s.speed + r.Normal(0.0, 0.03));
  const unsigned h3 = Clamp16(r.Normal(1000.0, 5.0));
  const unsigned h4 = Clamp16(h3 * RatioFromFlowSpeed(speed));
  PutU16(p, Clamp16(r.Normal(2500.0, 3.0)));  // H0 electronics temperature
  PutU16(p, Clamp16(r.Normal(1200.0, 2.0)));  // H1 supply
  PutU16(p, Clamp16(r.Normal(3300.0, 2.0)));  // H2 reference
  PutU16(p, h3);
  PutU16(p, h4);
  PutU16(p, Clamp16(r.Normal(400.0, 4.0)));    // H5 light level
  PutU16(p, Clamp16(r.Normal(2000.0, 15.0)));  // H6 laser monitor
  if (options_.lFrameLength >= 274) {
    p.push_back(static_cast<std::uint8_t>(10 + r.Between(-1, 1)));  // N
    PutU16(p, Clamp16(r.Normal(2000.0, 20.0)));                     // T
  }
  if (options_.lFrameLength >= 276) PutU16(p, Clamp16(r.Normal(1000.0, 10.0)));  // A
  AppendEncodedFrame(out, 'L', p);
}

void CastGenerator::EmitM(double t, std::vector<std::uint8_t>& out) {
  const CastState s = StateAt(t);
  SimRandom& r = rngM_;
  const unsigned particles = r.Poisson(1.5 * Abundance(s.depth));
  if (particles == 0) return;
  std::vector<std::uint8_t> p;
  // Time stamps tick every 100 us; durations count 10 us.
  double when = t - kLPeriod;
  for (unsigned i = 0; i < particles; ++i) {
    when += r.Uniform(0.0, kLPeriod / particles);
    const unsigned stamp = static_cast<unsigned>(std::llround(when * 10000.0)) & 0xFFFF;
    const int width = std::min(6, 1 + static_cast<int>(r.Poisson(1.0)));
    const int first = r.Between(0, 35 - width);
    const int size = r.Between(50, 3000);
    const int duration = r.Between(20, 600);
    for (int j = 0; j < width; ++j) {
      const unsigned e = static_cast<unsigned>(first + j);
      const unsigned z = static_cast<unsigned>(std::clamp(size + r.Between(-40, 40), 1, 4095));
      const unsigned d = static_cast<unsigned>(std::clamp(duration + r.Between(-10, 10), 1, 1000));
      const unsigned w1 = (j == 0 ? 0x8000u : 0u) | (z << 3) | (e >> 3);
      const unsigned w2 = ((e & 7u) << 11) | d;
      PutU16(p, w1);
      PutU16(p, w2);
      PutU16(p, (stamp + static_cast<unsigned>(r.Between(0, 5))) & 0xFFFF);
    }
  }
  AppendEncodedFrame(out, 'M', p);
}

void CastGenerator::EmitC(double t, std::vector<std::uint8_t>& out) {
  const CastState s = StateAt(t);
  const double x = (s.depth - 20.0) / 10.0;
  const double analog = std::fmax(0.0, 0.2 + 1.5 * std::exp(-x * x) + rngC_.Normal(0.0, 0.01));
  const std::string line = CtdLine(s, analog);
  AppendEncodedFrame(out, 'C', {reinterpret_cast<const std::uint8_t*>(line.data()), line.size()});
}

void CastGenerator::EmitNmea(double t, std::vector<std::uint8_t>& out) {
  for (const std::string& sentence : {GgaSentence(t), RmcSentence(t)}) {
    AppendEncodedFrame(out, '$',
                       {reinterpret_cast<const std::uint8_t*>(sentence.data()), sentence.size()});
  }
}

std::size_t CastGenerator::AdvanceTo(double until, std::vector<std::uint8_t>& out) {
  const std::size_t before = out.size();
  if (!startupSent_) {
    startupSent_ = true;
    if (options_.withStartupText) {
      const std::string text = StartupText();
      out.insert(out.end(), text.begin(), text.end());
    }
  }
  constexpr double kNever = 1e300;
  for (;;) {
    // Times from counts, so that no rounding accumulates over a long run.
    const double tL = (lCount_ + 0.5) * kLPeriod;
    const double tM = options_.withMep ? (mCount_ + 0.9) * kLPeriod : kNever;
    const double tC = options_.withCtd ? (cCount_ + 0.5) * ctdPeriod_ : kNever;
    const double tN = options_.withNmea ? 0.1 + nmeaCount_ * kNmeaPeriod : kNever;
    const double next = std::min(std::min(tL, tM), std::min(tC, tN));
    if (next >= until) break;
    if (next == tL) {
      EmitL(tL, out);
      ++lCount_;
    } else if (next == tM) {
      EmitM(tM, out);
      ++mCount_;
    } else if (next == tC) {
      EmitC(tC, out);
      ++cCount_;
    } else {
      EmitNmea(std::floor(tN), out);
      ++nmeaCount_;
    }
  }
  if (until > now_) now_ = until;
  return out.size() - before;
}

std::size_t WriteSyntheticRecording(const std::string& path, const CastOptions& options,
                                    double durationSeconds) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) throw std::runtime_error("Cannot create " + path);
  char header[512];
  std::snprintf(header, sizeof header,
                "# VESK synthetic recording (counter simulator)\r\n"
                "# Seed: %llu\r\n"
                "# CTD model: %d\r\n"
                "# Cast: %.1f m at %.2f m/s\r\n"
                "# Duration: %.1f s\r\n",
                static_cast<unsigned long long>(options.seed), options.ctdModel, options.maxDepth,
                options.descentRate, durationSeconds);
  bool ok = std::fputs(header, f) >= 0;
  CastGenerator gen(options);
  std::vector<std::uint8_t> chunk;
  std::size_t total = 0;
  for (double t = 0; ok && t < durationSeconds;) {
    t = std::min(durationSeconds, t + 60.0);
    chunk.clear();
    gen.AdvanceTo(t, chunk);
    ok = std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size();
    total += chunk.size();
  }
  ok = std::fclose(f) == 0 && ok;
  if (!ok) throw std::runtime_error("Cannot write " + path);
  return total;
}

}  // namespace vesk
