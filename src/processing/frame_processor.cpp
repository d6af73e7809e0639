#include "processing/frame_processor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

#include "files/processed_records.h"
#include "instruments/ctd_conversions.h"

namespace vesk {
namespace {

constexpr std::size_t kLShort = 271;    // bins and housekeeping only
constexpr std::size_t kLCounter = 274;  // + counter N and T
constexpr std::size_t kLAnalog = 276;   // + extra analog word A

constexpr std::size_t kBatchBlock = 1 << 20;  // bytes of records per .dat write in batch runs

inline std::uint32_t Word(const std::uint8_t* p) {
  return (static_cast<std::uint32_t>(p[0]) << 8) | p[1];
}

}  // namespace

double FlowSpeed(std::uint32_t h3, std::uint32_t h4) {
  if (h3 == 0) return 0;
  const double r = static_cast<double>(h4) / static_cast<double>(h3);
  if (r < 4 || r > 210) return 0;
  const double y = std::pow(r, 0.25);
  return 6987.567587 * std::exp(-(4.0135 * std::sqrt(y) + 1.7857899 * y - 0.12719751516 * y * y -
                                  0.03 * y * y * y));
}

FrameProcessor::FrameProcessor(const Parts& parts)
    : channel_(parts.settings),
      settings_(parts.settings.Newest(settingsVersion_)),
      results_(parts.results),
      ctd_(parts.ctd),
      writer_(parts.writer),
      listener_(parts.listener),
      nmeaGate_(parts.nmeaGate),
      mep_(parts.results) {
  record_.reserve(2048);
  mep_.SetSettings(settings_->maxMepLength, settings_->gridScalingFactor);
}

void FrameProcessor::TakeNewSettings() {
  const std::shared_ptr<const ScanSettings> before = settings_;
  settings_ = channel_.Newest(settingsVersion_);
  mep_.SetSettings(settings_->maxMepLength, settings_->gridScalingFactor);
  const ScanSettings& s = *settings_;
  // A new model is loaded as at a scan start (its coefficients with it).
  if (s.ctdModel != before->ctdModel || s.instrInputViaMux != before->instrInputViaMux) {
    ctd_.LoadScanSettings(s.ctdModel, s.instrInputViaMux);
  }
}

void FrameProcessor::Process(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return;
  // A change the user made during the scan applies from this frame on.
  if (channel_.ChangedSince(settingsVersion_)) TakeNewSettings();
  switch (frame[0]) {
    case 'L': ProcessL(frame); break;
    case 'M': ProcessM(frame); break;
    case 'C': ProcessC(frame); break;
    case '$': ProcessDollar(frame); break;
    case kAbortedFrameMark:
      if (frame.size() == 2) CountAbortedFrame(frame[1]);
      break;
    default: break;
  }
}

void FrameProcessor::CountAbortedFrame(std::uint8_t type) {
  results_.CountFrameError();
  if (type == 'L') {
    ++lFrames_;
    results_.CountLFrame();
  }
}

void FrameProcessor::ProcessL(std::span<const std::uint8_t> frame) {
  const ScanSettings& settings = *settings_;
  const std::size_t length = frame.size();
  if (length != kLShort && length != kLCounter && length != kLAnalog) {
    results_.CountFrameError();
    listener_.ResultsChanged();
    return;
  }
  const std::uint8_t* f = frame.data();
  // The frame total is a double, but a sum of 128 16-bit counts is exact in integers and in
  // a double alike: summed as integers it needs no chain of floating-point additions.
  std::uint64_t sum = 0;
  for (int k = 0; k < kBinCount; ++k) {
    const std::uint32_t count = Word(f + 1 + 2 * k);
    bins_[k] = count;
    sum += count;
  }
  const double total = static_cast<double>(sum);
  HousekeepingTable& hk = housekeeping_;
  for (int i = 0; i < kHousekeepingCount; ++i) hk.words[i] = Word(f + 257 + 2 * i);
  if (settings.firmwareVersion >= 2.25 && length >= kLCounter) {
    hk.counterN = f[271];
    hk.counterT = Word(f + 272);
    UpdateCounterValue(hk.counterN, hk.counterT);
  }
  hk.analogA = length == kLAnalog ? Word(f + 274) : 0;

  const int lower = std::clamp(settings.windowLowerBound, 0, kBinCount);
  const int upper = std::clamp(settings.windowUpperBound, 0, kBinCount);
  std::int32_t window = 0;
  for (int k = lower; k < upper; ++k) window += static_cast<std::int32_t>(bins_[k]);
  frameTotal_ = total;
  frameWindowCount_ = window;

  AppendLRecord(BeginRecord(), LRecordFields{bins_, hk.words, hk.counterN, hk.counterT, hk.analogA,
                                             settings.firmwareVersion});
  EndRecord();  // a failed write loses this record only
  results_.AddFrameBins(bins_, total, window);
  hk.flowSpeed = flowSpeed_.Of(hk.words[3], hk.words[4]);
  results_.SetHousekeeping(hk);
  UpdateTimeChart(lFrames_);
  if (WantsRows()) {
    exportRow_.bins = bins_;
    FillRow(lFrames_);
    if (exportSink_ != nullptr) exportSink_->OnLRecord(exportRow_);
    if (recordSink_ != nullptr) recordSink_->OnLRecord(exportRow_);
  }
  ++lFrames_;
  results_.CountLFrame();
  listener_.ResultsChanged();
}

void FrameProcessor::FillRow(std::uint32_t lFrameIndex) {
  ExportRowInputs in;
  in.lFrameIndex = lFrameIndex;
  in.crossSection = settings_->CrossSection();
  in.ctdModel = ctd_.Model();
  in.flowSpeed = housekeeping_.flowSpeed;
  in.frameTotal = frameTotal_;
  in.windowCount = frameWindowCount_;
  in.counterValue = housekeeping_.counterValue;
  in.laserMonitor = housekeeping_.words[6];
  FillExportRow(exportRow_, ctd_.Sample(), in);
}

void FrameProcessor::UpdateCounterValue(std::uint32_t n, std::uint32_t t) {
  double& value = housekeeping_.counterValue;
  if (n == 0 || t < 2) {
    ++counterFaultRun_;
    if (counterFaultRun_ > 3) return;  // already decayed to 0
  } else {
    counterFaultRun_ = 0;
  }
  switch (counterFaultRun_) {
    case 0: value = static_cast<double>(n) / t * settings_->counterScale; break;
    case 1: value *= 0.66; break;
    case 2: value *= 0.5; break;
    default: value = 0; break;
  }
}

void FrameProcessor::UpdateTimeChart(std::uint32_t lCount) {
  const ScanSettings& settings = *settings_;
  const CtdSample& ctd = ctd_.Sample();
  const double flow = housekeeping_.flowSpeed;
  const double total = frameTotal_;
  const double crossSection = settings.CrossSection();
  TimeChartSample now{};
  if (!(settings.surveyLat == gravityLatitude_)) {
    gravityLatitude_ = settings.surveyLat;
    surfaceGravity_ = SurfaceGravity(gravityLatitude_);
  }
  now[kChDepth] = PressureToDepthAtGravity(ctd.pressure, surfaceGravity_);
  now[kChTemperature] = ctd.temperature;
  now[kChCountsPerSecond] = total;
  now[kChSalinity] = ctd.salinity;
  now[kChWindowCps] = frameWindowCount_;
  now[kChCountsPerVolume] = flow != 0 ? total / (crossSection * flow) * 0.001 : 0;
  now[kChFlowSpeed] = flow;
  now[kChAnalog] = ctd.analog;
  now[kChCounter] = housekeeping_.counterValue;
  now[kChLaserMonitor] = housekeeping_.words[6];

  if (lCount % 2 == 0) {
    previousHalf_ = now;
    return;
  }
  TimeChartSample sample = now;
  if (lCount > 1) {
    for (int i = 0; i < kTimeChartChannels; ++i) sample[i] = (previousHalf_[i] + now[i]) / 2;
    const double meanFlow = sample[kChFlowSpeed];
    sample[kChCountsPerVolume] =
        meanFlow != 0
            ? (previousHalf_[kChCountsPerVolume] + total / (crossSection * meanFlow) * 0.001) / 2
            : previousHalf_[kChCountsPerVolume];
  }
  results_.AddSample(sample, static_cast<std::size_t>(std::max(settings.bufferLength, 1)));
  listener_.TimeChartSampleAdded();
}

void FrameProcessor::ProcessM(std::span<const std::uint8_t> frame) {
  auto& events = events_;
  const std::uint8_t* p = frame.data() + 1;
  const std::size_t size = frame.size() - 1;
  // Three words per event; a partial last event still counts (time stamp 99999).
  const std::size_t whole = size / 6;
  const bool partial = size % 6 != 0;
  events.resize(4 * (whole + (partial ? 1 : 0)));
  std::uint32_t* out = events.data();
  std::uint32_t high = 0, low = 0, d = 0, z = 0;
  bool invalid = false;
  auto decodeW1 = [&](std::uint32_t w1) {
    z = ((w1 & 0x7FFF) >> 3) + (w1 > 0x8000 ? 0x8000 : 0);
    high = w1 & 0x7;
  };
  auto decodeW2 = [&](std::uint32_t w2) {
    low = (w2 >> 11) & 0x7;
    d = w2 & 0x7FF;
  };
  auto emit = [&](std::uint32_t s) {
    const std::uint32_t e = high * 8 + low;
    invalid |= e > 34 || d > 1000;
    out[0] = e;
    out[1] = s;
    out[2] = d;
    out[3] = z;
    out += 4;
  };
  for (std::size_t i = 0; i < whole; ++i, p += 6) {
    decodeW1(Word(p));
    decodeW2(Word(p + 2));
    emit(Word(p + 4));
  }
  if (partial) {
    // The words that arrived, time stamp 99999.
    const std::size_t rest = size % 6;
    if (rest >= 2) decodeW1(Word(p));
    if (rest >= 4) decodeW2(Word(p + 2));
    emit(kPartialEventStamp);
  }
  if (!events.empty()) {
    AppendMRecord(BeginRecord(), events);
    EndRecord();
    if (exportSink_ != nullptr) exportSink_->OnMEvents(events, lFrames_);
    if (recordSink_ != nullptr) recordSink_->OnMEvents(events, lFrames_);
  }
  const bool usable = events.size() % 4 == 0 && !settings_->gridPaused && !invalid;
  mep_.Consume(events, usable);
}

void FrameProcessor::ProcessC(std::span<const std::uint8_t> frame) {
  if (frame.size() < 2) return;
  const std::string_view text(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
  // The auxiliary port sends each line on; it takes the latest when it can.
  listener_.CtdLine(text);
  const std::string& logged = ctd_.Decode(text);
  results_.SetCtd(ctd_.Sample());
  std::string& record = BeginRecord();
  record += "C ";
  record += logged;
  record += "\r\n";
  EndRecord();
  if (recordSink_ != nullptr) {
    FillRow(lFrames_);
    recordSink_->OnCRecord(logged, exportRow_);
  }
}

void FrameProcessor::ProcessDollar(std::span<const std::uint8_t> frame) {
  if (frame.size() <= 10) return;
  std::string sentence(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
  sentence += "\r\n";
  if (exportSink_ != nullptr) exportSink_->OnNmeaSentence(sentence);
  const NavSettings& nav = settings_->nav;
  const std::string& header = nav.sentenceToParse;
  if (!header.empty() && sentence.compare(0, 6, header) == 0) {
    results_.EditNav([&](NavDisplay& display) { ParsePositionSentence(sentence, nav, display); });
    WriteNmea(sentence);
  } else if (sentence[0] == '$') {
    WriteNmea(sentence);
  }
  if (results_.Viewer().Append(sentence)) listener_.ViewerLinesAdded();
}

void FrameProcessor::WriteNmea(const std::string& sentence) {
  if (!nmeaGate_.Allows(settings_->logInitialNmeaOnly)) return;
  if (WriteRecord(sentence)) nmeaGate_.Written();
}

bool FrameProcessor::WriteRecord(std::string_view text) {
  if (!batchOutput_) return writer_.Write(text);
  batch_.append(text);
  if (batch_.size() >= kBatchBlock) FlushRecords();
  return true;
}

std::string& FrameProcessor::BeginRecord() {
  if (batchOutput_) return batch_;
  record_.clear();
  return record_;
}

bool FrameProcessor::EndRecord() {
  if (!batchOutput_) return writer_.Write(record_);
  if (batch_.size() >= kBatchBlock) FlushRecords();
  return true;
}

void FrameProcessor::SetBatchOutput(bool batch) {
  FlushRecords();
  batchOutput_ = batch;
  if (batch) batch_.reserve(kBatchBlock + 4096);
}

void FrameProcessor::FlushRecords() {
  if (batch_.empty()) return;
  writer_.Write(batch_);
  batch_.clear();
}

}  // namespace vesk
