#pragma once
// The analysis export stage beside the .dat writer: takes the frame processor's rows, element
// events and NMEA sentences, adds the latest GPS fix to each row (its depth then uses the
// fix's latitude) and hands rows and events to the export writers (CSV, NetCDF). Each writer
// fills a temporary file and puts it under its name only when the run completes.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "files/data_file.h"
#include "files/export_sink.h"
#include "files/mark_log.h"
#include "instruments/nmea_fields.h"
#include "seams/settings_keys.h"

namespace vesk {

class SettingsStore;

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
  double surveyLatitudeForDepth = 0;  // used when a row has no GPS latitude
  int maxFixAge = 20;                 // L frames; an older fix gives no position
  // The recording's event marks (.mrk), read when the run completes (a live scan writes them
  // as it goes).
  std::string marksPath;

  // What the files say about the data set: attribute name and value, in order.
  std::vector<std::pair<std::string, std::string>> metadata;
};

// The data set attributes a user sets (attribute name, settings key), for vesk-process's
// --attribute and the settings store.
struct MetadataKey {
  const char* attribute;
  TextKey key;
};
const std::vector<MetadataKey>& MetadataKeys();

// Reads the header fields of a .bin header (the text before the first "~").
void ParseBinHeader(std::string_view header, ExportContext& context);
// The header of the .bin at `path`: its bytes up to the first "~" (empty when unreadable).
std::string ReadBinHeader(const std::string& path);
// What a run's processing says about itself, for its export context.
struct ExportRunInputs {
  std::string header;      // the recording's text header: the played file's, or the one written
  std::string sourcePath;  // the recording (its name is the export's source)
  std::string marksPath;   // the operator's event marks of the run (MarksPath of the .dat)
  double surveyLatitude = 0;
  bool standardTunnel = true;
  std::string counterConstantText;
  double firmwareVersion = 0;
  int windowLowerBound = 0;
  int windowUpperBound = 0;
  int ctdModel = 0;
  std::string sentenceToParse;
};
// The data set summary of a recording's export when the user has set none.
std::string DefaultExportSummary(const std::string& source);
// The context of a run; the metadata and the fix age limit come from the store.
ExportContext MakeExportContext(const ExportRunInputs& run, const SettingsStore& store);
// `datPath` with its extension replaced by `extension` (".csv", ".nc").
std::string ExportPath(const std::string& datPath, std::string_view extension);

// One file of an export, written under "<path>.partial" and put under its name only when it is
// complete; a discarded one leaves nothing behind.
class ExportFile {
 public:
  explicit ExportFile(std::string path) : path_(std::move(path)) {}
  // An unfinished file is removed; a committed one stays.
  ~ExportFile() {
    if (!committed_) Discard();
  }
  ExportFile(const ExportFile&) = delete;
  ExportFile& operator=(const ExportFile&) = delete;

  // `buffered`: writes are collected and written in large blocks.
  bool Create(std::string_view header = {}, bool buffered = true);
  // A failure is kept: Commit then fails with it.
  void Write(std::string_view bytes);
  // Closes the file and gives it its name; on any failure removes it.
  bool Commit();
  // Removes the partial file, or the committed one.
  void Discard();
  const std::string& Path() const { return path_; }
  // "<path>: <reason>" of the first failure.
  const std::string& Error() const { return error_; }

 private:
  void Fail(const std::string& reason);

  std::string path_;
  DataFile file_;
  std::string error_;
  bool created_ = false;
  bool committed_ = false;
};

// One export file format.
class ExportWriter {
 public:
  virtual ~ExportWriter() = default;
  // Creates the temporary file; false with Error() on failure.
  virtual bool Begin(const ExportContext& context) = 0;
  // One row, one element event; a failure is kept and reported by Finish.
  virtual void Write(const ExportRow& row) = 0;
  virtual void WriteEvent(const MepEvent& event) = 0;
  // The recording's event marks, once, before Finish.
  virtual void WriteMarks(const std::vector<Mark>& marks) = 0;
  // Completes the file under its name; false with Error() when anything failed (the
  // temporary file is then removed).
  virtual bool Finish() = 0;
  // Removes what was written, the completed file too (a failed run).
  virtual void Discard() = 0;
  virtual std::string Error() const = 0;
  // True for a writer whose rows cost it less than copying and handing them over: it is given
  // them at once, on the thread that feeds the stage.
  virtual bool Immediate() const { return false; }
};

// The writers run on a thread of their own (a row costs them about as much as the whole
// processing of its frame): rows and events are handed over in blocks, at the latest a second
// after the first of a block, and at most kMaxQueuedBlocks wait; the blocks are used again.
// Immediate writers take each row as it comes; with no other writer there is no thread.
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
  void OnMEvents(std::span<const std::uint32_t> events, std::uint32_t lFrameCount) override;
  void OnNmeaSentence(std::string_view sentence) override;
  // After the last frame: every file under its name, or (false) none of them.
  bool Finish();
  void Discard();
  const std::string& Error() const { return error_; }

 private:
  struct Block {
    std::vector<ExportRow> rows;
    std::vector<MepEvent> events;
    std::size_t Size() const { return rows.size() + events.size(); }
  };
  // The GPS fields and the depth of a row.
  void Complete(ExportRow& row);
  template <typename Write>
  void WriteImmediately(Write write);
  void Added(bool wasEmpty);
  void HandOver();
  void StopWriterThread();
  void WriterThread();

  std::vector<std::unique_ptr<ExportWriter>> writers_;
  std::vector<ExportWriter*> immediate_;
  std::vector<ExportWriter*> threaded_;
  ExportRow row_;  // the latest row, when no writer needs a copy of it
  std::string immediateError_;
  GpsFixTracker gps_;
  double gravityLatitude_ = kMissing;  // the latitude of gravity_
  double gravity_ = kMissing;
  std::uint64_t fixUpdates_ = 0;  // the tracker's count when fixFrame_ was taken
  std::uint32_t fixFrame_ = 0;    // L frame count when the latest fix arrived
  std::uint32_t nextFrame_ = 0;   // L frame count after the latest row
  double surveyLatitude_ = 0;
  int maxFixAge_ = 20;
  std::string marksPath_;
  Block block_;
  std::chrono::steady_clock::time_point blockStart_{};
  std::string error_;
  bool open_ = false;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Block> queue_;   // under mutex_
  std::vector<Block> spare_;  // written, to be filled again; under mutex_
  bool closing_ = false;      // under mutex_
  std::string threadError_;   // under mutex_
  std::thread thread_;
};

}  // namespace vesk
