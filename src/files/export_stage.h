#pragma once
// The analysis export stage beside the .dat writer: takes the frame processor's rows and NMEA
// sentences, adds the latest GPS fix to each row and hands it to the export writers (CSV,
// NetCDF). Each writer fills a temporary file and puts it under its name only when the run
// completes.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "files/export_nmea.h"
#include "files/export_sink.h"

namespace vesk {

// What the export files record about the recording and its processing.
struct ExportContext {
  // From the recording's (.bin) header; empty when the header does not say.
  std::string softwareVersion;
  std::string instrument;
  std::string surveyLatitude;  // as the header prints it ("%.4f")
  std::string tunnel;          // "Standard" or "2.5x"
  std::string counterConstant;
  std::string userHeader;  // the user's text, lines joined by "\n"
  bool headerFound = false;

  // The processing of this run.
  std::string processingVersion;
  std::string source;  // the recording's file name
  double processingSurveyLatitude = 0;
  bool standardTunnel = true;
  std::string processingCounterConstant;
  double firmwareVersion = 0;
  int windowLowerBound = 0;
  int windowUpperBound = 127;
  int ctdModel = 0;
  std::string sentenceToParse;
};

// Reads the header fields of a .bin header (the text before the first "~").
void ParseBinHeader(std::string_view header, ExportContext& context);
// The header of the .bin at `path`: its bytes up to the first "~" (empty when unreadable).
std::string ReadBinHeader(const std::string& path);
// The context of a run of `doc`: playback reads the played file's header, a live scan uses
// the header it writes.
ExportContext MakeExportContext(const CVESKDoc& doc);
// `datPath` with its extension replaced by `extension` (".csv", ".nc").
std::string ExportPath(const std::string& datPath, std::string_view extension);

// One export file format.
class ExportWriter {
 public:
  virtual ~ExportWriter() = default;
  // Creates the temporary file; false with Error() on failure.
  virtual bool Begin(const ExportContext& context) = 0;
  // One row; a failure is kept and reported by Finish.
  virtual void Write(const ExportRow& row) = 0;
  // Completes the file under its name; false with Error() when anything failed (the
  // temporary file is then removed).
  virtual bool Finish() = 0;
  // Removes what was written, the completed file too (a failed run).
  virtual void Discard() = 0;
  virtual std::string Error() const = 0;
};

// The writers run on a thread of their own (a row costs them about as much as the whole
// processing of its frame): rows are handed over in blocks, at the latest a second after the
// first row of a block, and at most kMaxQueuedBlocks wait.
class ExportStage final : public ExportSink {
 public:
  static constexpr std::size_t kBlockRows = 256;
  static constexpr std::size_t kMaxQueuedBlocks = 16;

  explicit ExportStage(std::vector<std::unique_ptr<ExportWriter>> writers);
  ~ExportStage() override;
  ExportStage(const ExportStage&) = delete;
  ExportStage& operator=(const ExportStage&) = delete;

  // Before the first frame. On failure nothing is left behind and Error() says why.
  bool Begin(const ExportContext& context);
  void OnLRecord(const ExportRow& row) override;
  void OnNmeaSentence(std::string_view sentence) override;
  // After the last frame: every file under its name, or (false) none of them.
  bool Finish();
  void Discard();
  const std::string& Error() const { return error_; }

 private:
  void HandOver();
  void StopWriterThread();
  void WriterThread();

  std::vector<std::unique_ptr<ExportWriter>> writers_;
  GpsFixTracker gps_;
  std::vector<ExportRow> block_;
  std::chrono::steady_clock::time_point blockStart_{};
  std::string error_;
  bool open_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<std::vector<ExportRow>> queue_;  // under mutex_
  bool closing_ = false;                      // under mutex_
  std::string threadError_;                   // under mutex_
  std::thread thread_;
};

}  // namespace vesk
