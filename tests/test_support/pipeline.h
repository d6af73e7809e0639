#pragma once
// A document with in-memory settings, headless seams, a fixed clock and its .dat file in a
// temp dir, with a frame processor: frames in, document values and .dat text out.

#include <ctime>
#include <memory>
#include <string>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "app/memory_settings_store.h"
#include "processing/frame_processor.h"
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

class Pipeline {
 public:
  Pipeline() {
    // Records only, unless a test turns the header back on.
    store.Write(keys::kAddHeaderToDatFile, 0);
  }

  // Builds the document from the store as it is now and opens the .dat file.
  CVESKDoc& Start() {
    processor.reset();
    doc = std::make_unique<CVESKDoc>(store, windows, dialogs, clock);
    doc->ResetForScan();
    doc->dataDir = dir.Path() + "/";
    doc->processedFileName = "out.dat";
    doc->OpenDatFile();
    processor = std::make_unique<FrameProcessor>(*doc);
    return *doc;
  }

  void Process(const Frame& frame) { processor->Process(frame); }

  // Feeds wire bytes through a deframer, counting aborted frames as the source threads do.
  void Feed(std::span<const std::uint8_t> bytes) {
    deframer.Feed(
        bytes.data(), bytes.size(), [&](std::span<const std::uint8_t> f) { processor->Process(f); },
        [&](std::uint8_t type) {
          ++doc->frameErrorCount;
          if (type == 'L') ++doc->lFrameCount;
        });
  }

  // The .dat text written so far (closes the file).
  std::string Dat() {
    doc->datFile.Close();
    return ReadFile(DatPath());
  }
  std::string DatPath() const { return dir / "out.dat"; }

  MemorySettingsStore store;
  HeadlessWindows windows;
  ConsoleDialogs dialogs{true, true};
  FixedClock clock{TestTime()};
  TempDir dir;
  Deframer deframer;
  std::unique_ptr<CVESKDoc> doc;
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
