#include "processing/frame_processor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <thread>

#include "files/export_csv.h"
#include "files/export_stage.h"
#include "files/processed_records.h"
#include "instruments/ctd_conversions.h"

namespace vesk {
namespace {

constexpr const char* kCsvExportWarning = "WARNING !!\n\nThe CSV export cannot be written: ";

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

FrameProcessor::FrameProcessor(CVESKDoc& doc) : doc_(doc), mep_(doc) {
  record_.reserve(2048);
}

void FrameProcessor::Process(std::span<const std::uint8_t> frame) {
  if (frame.empty()) return;
  switch (frame[0]) {
    case 'L': ProcessL(frame); break;
    case 'M': ProcessM(frame); break;
    case 'C': ProcessC(frame); break;
    case '$': ProcessDollar(frame); break;
    default: break;
  }
}

void FrameProcessor::ProcessL(std::span<const std::uint8_t> frame) {
  const std::size_t length = frame.size();
  if (length != kLShort && length != kLCounter && length != kLAnalog) {
    ++doc_.frameErrorCount;
    doc_.windows.Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
    return;
  }
  const std::uint8_t* f = frame.data();
  std::unique_lock binLock(doc_.binLock);
  // The frame total is a double, but a sum of 128 16-bit counts is exact in integers and in
  // a double alike: summed as integers it needs no chain of floating-point additions.
  std::uint64_t sum = 0;
  for (int k = 0; k < kBinCount; ++k) {
    const std::uint32_t count = Word(f + 1 + 2 * k);
    doc_.currentBins[k] = count;
    sum += count;
  }
  const double total = static_cast<double>(sum);
  std::unique_lock housekeepingLock(doc_.housekeepingLock);
  for (int i = 0; i < kHousekeepingCount; ++i) doc_.housekeeping[i] = Word(f + 257 + 2 * i);
  if (doc_.firmwareVersion >= 2.25 && length >= kLCounter) {
    doc_.counterN = f[271];
    doc_.counterT = Word(f + 272);
    UpdateCounterValue(doc_.counterN, doc_.counterT);
  }
  doc_.analogA = length == kLAnalog ? Word(f + 274) : 0;

  const int lower = std::clamp(doc_.windowLowerBound, 0, kBinCount);
  const int upper = std::clamp(doc_.windowUpperBound, 0, kBinCount);
  std::int32_t window = 0;
  for (int k = lower; k < upper; ++k) window += static_cast<std::int32_t>(doc_.currentBins[k]);
  doc_.frameTotal = total;
  doc_.frameWindowCount = window;
  doc_.cumulativeWindowCount += static_cast<std::uint32_t>(window);
  doc_.cumulativeTotalCount += static_cast<std::uint32_t>(std::llround(total));

  AppendLRecord(BeginRecord(), LRecordFields{doc_.currentBins, doc_.housekeeping, doc_.counterN,
                                             doc_.counterT, doc_.analogA, doc_.firmwareVersion});
  EndRecord();  // a failed write loses this record only
  if (WantsRows()) exportRow_.bins = doc_.currentBins;
  for (int k = 0; k < kBinCount; ++k) {
    doc_.cumulativeBins[k] += doc_.currentBins[k];
    doc_.currentBins[k] = 0;
  }
  binLock.unlock();

  doc_.flowSpeed = flowSpeed_.Of(doc_.housekeeping[3], doc_.housekeeping[4]);
  {
    std::lock_guard ctdLock(doc_.ctdLock);
    UpdateTimeChart(doc_.lFrameCount.load());
    if (WantsRows()) FillExportRow(exportRow_, doc_, doc_.lFrameCount.load(), CrossSection());
  }
  housekeepingLock.unlock();
  if (exportSink_ != nullptr) exportSink_->OnLRecord(exportRow_);
  if (recordSink_ != nullptr) recordSink_->OnLRecord(exportRow_);

  ++doc_.lFrameCount;
  doc_.windows.Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
}

void FrameProcessor::UpdateCounterValue(std::uint32_t n, std::uint32_t t) {
  if (n == 0 || t < 2) {
    ++counterFaultRun_;
    if (counterFaultRun_ > 3) return;  // already decayed to 0
  } else {
    counterFaultRun_ = 0;
  }
  switch (counterFaultRun_) {
    case 0: doc_.counterValue = static_cast<double>(n) / t * doc_.counterScale; break;
    case 1: doc_.counterValue *= 0.66; break;
    case 2: doc_.counterValue *= 0.5; break;
    default: doc_.counterValue = 0; break;
  }
}

void FrameProcessor::UpdateTimeChart(std::uint32_t lCount) {
  const CtdSample& ctd = doc_.ctd.sample;
  const double flow = doc_.flowSpeed;
  const double total = doc_.frameTotal;
  TimeChartSample now{};
  if (!(doc_.surveyLat == gravityLatitude_)) {
    gravityLatitude_ = doc_.surveyLat;
    surfaceGravity_ = SurfaceGravity(gravityLatitude_);
  }
  now[kChDepth] = PressureToDepthAtGravity(ctd.pressure, surfaceGravity_);
  now[kChTemperature] = ctd.temperature;
  now[kChCountsPerSecond] = total;
  now[kChSalinity] = ctd.salinity;
  now[kChWindowCps] = doc_.frameWindowCount;
  now[kChCountsPerVolume] = flow != 0 ? total / (CrossSection() * flow) * 0.001 : 0;
  now[kChFlowSpeed] = flow;
  now[kChAnalog] = ctd.analog;
  now[kChCounter] = doc_.counterValue;
  now[kChLaserMonitor] = doc_.housekeeping[6];

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
            ? (previousHalf_[kChCountsPerVolume] + total / (CrossSection() * meanFlow) * 0.001) / 2
            : previousHalf_[kChCountsPerVolume];
  }
  std::lock_guard chartLock(doc_.timeChartLock);
  doc_.latestSample = sample;
  std::lock_guard historyLock(doc_.timeChartHistoryLock);
  const std::size_t capacity = static_cast<std::size_t>(std::max(doc_.bufferLength, 1));
  while (doc_.timeChartHistory.size() >= capacity) doc_.timeChartHistory.pop_front();
  doc_.timeChartHistory.push_back(sample);
  ++doc_.timeChartSamples;
  if (doc_.timeChartRelay) doc_.windows.Post(WindowTarget::MainFrame, Uwm::UpdateTimePlotsRelay);
}

void FrameProcessor::ProcessM(std::span<const std::uint8_t> frame) {
  auto& events = doc_.elementEvents;
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
    if (exportSink_ != nullptr) exportSink_->OnMEvents(events, doc_.lFrameCount.load());
    if (recordSink_ != nullptr) recordSink_->OnMEvents(events, doc_.lFrameCount.load());
  }
  const bool usable = events.size() % 4 == 0 && !doc_.gridPaused && !invalid;
  mep_.Consume(events, usable);
}

void FrameProcessor::ProcessC(std::span<const std::uint8_t> frame) {
  if (frame.size() < 2) return;
  const std::string_view text(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
  std::lock_guard ctdLock(doc_.ctdLock);
  doc_.ctd.line.assign(text);
  // The auxiliary port sends each line on; it takes the latest when it can.
  if (doc_.ctdOutputActive) doc_.ctdOutput.Put(doc_.ctd.line);
  doc_.DecodeCtdLine();
  std::string& record = BeginRecord();
  record += "C ";
  record += doc_.ctd.line;
  record += "\r\n";
  EndRecord();
  if (recordSink_ != nullptr) {
    FillExportRow(exportRow_, doc_, doc_.lFrameCount.load(), CrossSection());
    recordSink_->OnCRecord(doc_.ctd.line, exportRow_);
  }
}

void FrameProcessor::ProcessDollar(std::span<const std::uint8_t> frame) {
  if (frame.size() <= 10) return;
  std::string sentence(reinterpret_cast<const char*>(frame.data()) + 1, frame.size() - 1);
  sentence += "\r\n";
  if (exportSink_ != nullptr) exportSink_->OnNmeaSentence(sentence);
  const std::string& header = doc_.nav.sentenceToParse;
  if (!header.empty() && sentence.compare(0, 6, header) == 0) {
    {
      std::lock_guard navLock(doc_.navLock);
      ParsePositionSentence(sentence, doc_.nav, doc_.navDisplay);
    }
    WriteNmea(sentence);
  } else if (sentence[0] == '$') {
    WriteNmea(sentence);
  }
  if (doc_.navViewer.Append(sentence) && doc_.navViewerOpen)
    doc_.windows.Post(WindowTarget::NavViewer, Uwm::NavViewerUpdate);
}

void FrameProcessor::WriteNmea(const std::string& sentence) {
  if (doc_.logInitialNmeaOnly && doc_.initialNmeaWritten) return;
  if (WriteRecord(sentence)) doc_.initialNmeaWritten = true;
}

bool FrameProcessor::WriteRecord(std::string_view text) {
  if (!batchOutput_) return WriteToDat(text);
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
  if (!batchOutput_) return WriteToDat(record_);
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
  WriteToDat(batch_);
  batch_.clear();
}

bool FrameProcessor::WriteToDat(std::string_view text) {
  if (doc_.datFile.Write(text)) return true;
  if (doc_.datFile.IsOpen()) doc_.ReportWriteFailure(doc_.datFile, false);
  return false;
}

void ProcessingThread(CVESKDoc& doc) {
  try {
    FrameProcessor processor(doc);
    std::string exportError;
    std::unique_ptr<ExportStage> csv;
    {
      std::lock_guard names(doc.fileNameLock);
      doc.OpenDatFile();
      // The CSV export beside the .dat, when the option is on.
      csv = StartScanCsvExport(doc, &exportError);
    }
    if (doc.recordSink != nullptr) {
      doc.recordSink->OnScanStart({doc.playback, doc.ctd.model, doc.surveyLat});
      processor.SetRecordSink(doc.recordSink);
    }
    if (csv) {
      processor.SetExportSink(csv.get());
    } else if (!exportError.empty()) {
      doc.dialogs.QueueMessage(std::string(kCsvExportWarning) + exportError, "",
                               MessageIcon::Warning);
    }
    std::deque<Frame> batch;
    bool stopping = false;
    for (;;) {
      if (!stopping && doc.processingStop.Wait(0)) stopping = true;
      doc.frames.TakeAll(batch, std::chrono::milliseconds(40));
      // After the stop, the frames the source queued before it ended are still processed:
      // the source has stopped, so this ends.
      if (batch.empty() && stopping) break;
      for (const Frame& frame : batch) processor.Process(frame);
    }
    if (csv && !csv->Finish()) {
      doc.dialogs.QueueMessage(std::string(kCsvExportWarning) + csv->Error(), "",
                               MessageIcon::Warning);
    }
  } catch (const std::exception& e) {
    doc.dialogs.QueueMessage(std::string("ERROR: frame processing stopped.\n\n") + e.what());
    doc.StopForFault();
  }
  doc.datFile.Close();
}

}  // namespace vesk
