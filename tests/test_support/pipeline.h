#pragma once
// The frame processor as a scan runs it, without threads: in-memory settings, a fixed clock,
// result tables and the .dat file in a temp dir. Frames in, result tables and .dat text out.

#include <ctime>
#include <functional>
#include <memory>
#include <string>

#include "acquisition/headless_seams.h"
#include "files/data_file.h"
#include "processing/frame_processor.h"
#include "seams/clock.h"
#include "seams/memory_settings_store.h"
#include "test_support/frame_builder.h"
#include "test_support/temp_dir.h"

namespace vesk::test {

// Saturday 5 March 2005, 14:03:07.
inline std::tm TestTime() {
  std::tm tm{};
  tm.tm_year = 2005 - 1900;
  tm.tm_mon = 2;
  tm.tm_mday = 5;
  tm.tm_hour = 14;
  tm.tm_min = 3;
  tm.tm_sec = 7;
  tm.tm_wday = 6;
  tm.tm_yday = 63;
  tm.tm_isdst = 0;
  return tm;
}

// What the processing told, counted.
struct CountingListener : ProcessingListener {
  void ResultsChanged() override { ++results; }
  void TimeChartSampleAdded() override { ++samples; }
  void ViewerLinesAdded() override { ++viewerLines; }
  void CtdLine(std::string_view line) override { ctdLines.emplace_back(line); }
  int results = 0;
  int samples = 0;
  int viewerLines = 0;
  std::vector<std::string> ctdLines;
};

// Records to a data file, as the scan's .dat takes them.
struct FileRecordWriter : RecordWriter {
  explicit FileRecordWriter(DataFile& f) : file(f) {}
  bool Write(std::string_view records) override { return file.Write(records); }
  DataFile& file;
};

class Pipeline {
 public:
  Pipeline() {
    // Records only, unless a test turns the header back on.
    store.Write(keys::kAddHeaderToDatFile, 0);
  }

  // Takes the settings of the store as they are now, opens the .dat and starts a processor.
  void Start() {
    processor.reset();
    settings = ScanSettings::Load(store);
    channel = std::make_unique<ScanSettingsChannel>(settings);
    ctd = std::make_unique<CtdDecoder>(store, dialogs);
    ctd->LoadScanSettings(settings.ctdModel, settings.instrInputViaMux);
    ctd->StartScan();
    results.Reset();
    gate.Reset();
    dat.Create(DatPath());
    processor = std::make_unique<FrameProcessor>(
        FrameProcessor::Parts{*channel, results, *ctd, writer, listener, gate});
  }
  // A change the user makes during the scan: taken at the next frame.
  void Change(const std::function<void(ScanSettings&)>& change) {
    change(settings);
    channel->Publish(settings);
  }

  void Process(const Frame& frame) { processor->Process(frame); }

  // Feeds wire bytes through a deframer, aborted frames counted as the source threads do.
  void Feed(std::span<const std::uint8_t> bytes) {
    deframer.Feed(
        bytes.data(), bytes.size(), [&](std::span<const std::uint8_t> f) { processor->Process(f); },
        [&](std::uint8_t type) { processor->CountAbortedFrame(type); });
  }

  // The .dat text written so far (closes the file).
  std::string Dat() {
    dat.Close();
    return ReadFile(DatPath());
  }
  std::string DatPath() const { return dir / "out.dat"; }
  // Copies of the time chart history and the grid rows.
  std::deque<TimeChartSample> History() const {
    std::deque<TimeChartSample> copy;
    results.ReadHistory([&](const auto& history, std::uint64_t) { copy = history; });
    return copy;
  }
  std::uint64_t SamplesMade() const {
    std::uint64_t made = 0;
    results.ReadHistory([&](const auto&, std::uint64_t n) { made = n; });
    return made;
  }
  std::deque<GridRow> GridRows() const {
    std::deque<GridRow> copy;
    results.ReadGridRows([&](const auto& rows) { copy = rows; });
    return copy;
  }

  MemorySettingsStore store;
  ConsoleDialogs dialogs{true, true};
  FixedClock clock{TestTime()};
  TempDir dir;
  ScanSettings settings;
  std::unique_ptr<ScanSettingsChannel> channel;
  ScanResults results;
  std::unique_ptr<CtdDecoder> ctd;
  NmeaLogGate gate;
  CountingListener listener;
  DataFile dat;
  FileRecordWriter writer{dat};
  Deframer deframer;
  std::unique_ptr<FrameProcessor> processor;
};

// Splits text into lines at "\r\n" (the last piece kept only when it is not empty).
inline std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      if (start < text.size()) lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
}

}  // namespace vesk::test
