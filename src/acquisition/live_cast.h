#pragma once
// The cast products of a running scan: one immediate writer of the scan's export stage, fed
// each completed row on the processing thread. It publishes snapshots for the live view and
// the status line (ScanResults::Cast()), hands each finished profile to the published records,
// and, while the scan writes a recording (logging, or a playback's .dat), writes the product
// files beside its .dat; they are complete when the scan stops, or when logging switches to
// new files. The products begin again with each new .dat, so that its files are those
// vesk-process makes of its recording.

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "files/export_stage.h"
#include "processing/cast_board.h"
#include "processing/cast_export.h"
#include "processing/record_sink.h"

namespace vesk {

class SettingsStore;

// Files that cannot be written are told (`tell`, on the processing thread) and the products
// go on without them; they never fail the stage, so the CSV export beside them is kept.
class LiveCastWriter final : public ExportWriter {
 public:
  using Tell = std::function<void(const std::string& warning)>;

  // `settings` must have no Problem(); `datPath` names the files (empty: none); `sink` may be
  // null.
  LiveCastWriter(const ProfileSettings& settings, CastBoard& board, RecordSink* sink,
                 std::string datPath, Tell tell);

  bool Begin(const ExportContext& context) override;
  void Write(const ExportRow& row) override;
  void WriteEvent(const MepEvent&) override {}
  void WriteMarks(const std::vector<Mark>&) override {}
  bool Finish() override;
  void Discard() override;
  std::string Error() const override { return {}; }
  bool Immediate() const override { return true; }

  // Between rows, on the processing thread: when the scan's recording is no longer
  // `datPath` (empty: none), the products so far end with their files and new ones begin
  // beside the new .dat.
  void Follow(const std::string& datPath);

 private:
  // The products (and files) beside files_, begun with context_.
  void Start();
  void Publish(bool now);

  ProfileSettings settings_;
  CastBoard& board_;
  RecordSink* sink_;
  std::string files_;
  ExportContext context_;
  std::unique_ptr<CastExportWriter> products_;
  Tell tell_;
};

// What a scan's export stage is made of.
struct ScanExports {
  std::string datPath;
  ExportRunInputs run;
  std::string castFiles;  // the .dat the cast products' files go beside (empty: none)
  CastBoard* board = nullptr;
  RecordSink* sink = nullptr;  // may be null
  LiveCastWriter::Tell tell;   // the warnings: a file not written, settings that make no sense
};
// The export stage of a scan, begun: the CSV beside the .dat when its option is on, and the
// cast products unless their settings make no sense. Null when there is nothing to run.
// *cast is the products' writer in the stage (or null).
std::unique_ptr<ExportStage> StartScanExports(const SettingsStore& store, const ScanExports& e,
                                              LiveCastWriter** cast);

}  // namespace vesk
