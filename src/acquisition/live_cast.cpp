#include "acquisition/live_cast.h"

#include "files/export_csv.h"
#include "files/profile_files.h"
#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

constexpr const char* kProfilesNotWritten = "The cast products' files could not be completed: ";
constexpr const char* kProfilesOff = "The cast products are off: ";
constexpr const char* kCsvNotWritten = "The CSV export cannot be written: ";

// "name.bin" of a .dat's recording.
std::string RecordingName(const std::string& datPath) {
  const std::string bin = ExportPath(datPath, ".bin");
  const std::size_t slash = bin.find_last_of('/');
  return slash == std::string::npos ? bin : bin.substr(slash + 1);
}

}  // namespace

LiveCastWriter::LiveCastWriter(const ProfileSettings& settings, CastBoard& board, RecordSink* sink,
                               std::string datPath, Tell tell)
    : settings_(settings),
      board_(board),
      sink_(sink),
      files_(std::move(datPath)),
      tell_(std::move(tell)) {}

bool LiveCastWriter::Begin(const ExportContext& context) {
  context_ = context;
  Start();
  return true;
}

void LiveCastWriter::Start() {
  for (const bool withFiles : {!files_.empty(), false}) {
    products_ = std::make_unique<CastExportWriter>(
        settings_, withFiles ? ProfileFiles(files_) : std::vector<std::unique_ptr<ProfileWriter>>{},
        [this](const std::shared_ptr<const ProfileRecord>& p) {
          if (sink_ != nullptr) sink_->OnProfile(*p);
          Publish(true);
        });
    if (products_->Begin(context_)) return;
    // The live view goes on without the files.
    if (tell_) tell_(kProfilesNotWritten + products_->Error());
    files_.clear();
  }
}

void LiveCastWriter::Write(const ExportRow& row) {
  products_->Write(row);
  if (!IsMissing(row.depth)) Publish(false);
}

void LiveCastWriter::Publish(bool now) {
  const auto time = std::chrono::steady_clock::now();
  const CastProducts* products = products_ ? products_->Products() : nullptr;
  if (products == nullptr || (!now && !board_.Due(time))) return;
  const auto [first, last] = board_.ChosenBins();
  board_.Publish(std::make_shared<const CastSnapshot>(products->Snapshot(first, last)), time);
}

void LiveCastWriter::Follow(const std::string& datPath) {
  if (datPath == files_) return;
  Finish();
  files_ = datPath;
  context_.source = RecordingName(datPath);
  Start();
}

bool LiveCastWriter::Finish() {
  if (!products_) return true;
  // The open profile ends with the data (and is published as the latest).
  if (!products_->Finish() && tell_) tell_(kProfilesNotWritten + products_->Error());
  products_.reset();
  return true;
}

void LiveCastWriter::Discard() {
  if (products_) products_->Discard();
}

std::unique_ptr<ExportStage> StartScanExports(const SettingsStore& store, const ScanExports& e,
                                              LiveCastWriter** cast) {
  *cast = nullptr;
  const ExportContext context = MakeExportContext(e.run, store);
  const ProfileSettings settings = ProfileSettings::Read(store);
  const std::string problem = settings.Problem();
  if (!problem.empty() && e.tell) e.tell(kProfilesOff + problem);
  // Without the CSV when it cannot be begun: the products still run.
  for (const bool csv : {store.Read(keys::kExportCsv) != 0, false}) {
    std::vector<std::unique_ptr<ExportWriter>> writers;
    if (csv) {
      writers.push_back(std::make_unique<CsvExporter>(ExportPath(e.datPath, ".csv"), false));
    }
    LiveCastWriter* products = nullptr;
    if (problem.empty() && e.board != nullptr) {
      auto w = std::make_unique<LiveCastWriter>(settings, *e.board, e.sink, e.castFiles, e.tell);
      products = w.get();
      writers.push_back(std::move(w));
    }
    if (writers.empty()) return nullptr;
    auto stage = std::make_unique<ExportStage>(std::move(writers));
    if (stage->Begin(context)) {
      *cast = products;
      return stage;
    }
    if (e.tell) e.tell(kCsvNotWritten + stage->Error());
  }
  return nullptr;
}

}  // namespace vesk
