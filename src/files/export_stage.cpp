#include "files/export_stage.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "files/data_file.h"
#include "files/file_header.h"
#include "instruments/ctd_conversions.h"
#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

// "2026-06-15T12:00:00Z" of a time_t.
std::string IsoUtc(std::time_t t) {
  std::tm tm{};
  gmtime_r(&t, &tm);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

}  // namespace

const std::vector<MetadataKey>& MetadataKeys() {
  static const std::vector<MetadataKey> keys = {
      {"title", keys::kExportTitle},
      {"summary", keys::kExportSummary},
      {"keywords", keys::kExportKeywords},
      {"institution", keys::kExportInstitution},
      {"project", keys::kExportProject},
      {"platform", keys::kExportPlatform},
      {"creator_name", keys::kExportCreatorName},
      {"license", keys::kExportLicense},
  };
  return keys;
}

void ParseBinHeader(std::string_view header, ExportContext& c) {
  struct Field {
    std::string_view label;
    std::string* value;
  };
  const Field fields[] = {
      {"# Software_Version:", &c.softwareVersion}, {"# External_Instrument:", &c.instrument},
      {"# Survey_Lat:", &c.surveyLatitude},        {"# Tunnel_Type:", &c.tunnel},
      {"# Counter_Constant:", &c.counterConstant},
  };
  bool inUserHeader = false;
  bool userLines = false;
  std::size_t start = 0;
  while (start < header.size()) {
    std::size_t end = header.find('\n', start);
    if (end == std::string_view::npos) end = header.size();
    const std::string_view raw = header.substr(start, end - start);
    const std::string_view line = Trim(raw);
    start = end + 1;
    if (inUserHeader) {
      // The user's lines, each behind "# ", up to the empty line that ends the block.
      if (line.empty() || line.substr(0, 5) == "# ___") {
        inUserHeader = false;
        continue;
      }
      std::string_view text = raw;
      if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
      if (text.substr(0, 2) == "# ") text.remove_prefix(2);
      if (userLines) c.userHeader += '\n';
      c.userHeader += text;
      userLines = true;
      continue;
    }
    if (line == kUserHeaderTitle) {
      inUserHeader = true;
      c.headerFound = true;
      continue;
    }
    for (const Field& f : fields) {
      if (line.substr(0, f.label.size()) == f.label) {
        *f.value = std::string(Trim(line.substr(f.label.size())));
        c.headerFound = true;
      }
    }
  }
}

std::string DefaultExportSummary(const std::string& source) {
  return "Particles counted by the VESK laser particle counter in 128 size bins, one row per L "
         "frame, with the CTD readings and the GPS position; the element events of the "
         "multi-element particles in the group mep. Processed from " +
         source + ".";
}

ExportContext MakeExportContext(const ExportRunInputs& run, const SettingsStore& store) {
  ExportContext c;
  ParseBinHeader(run.header, c);
  c.processingVersion = VESK_VERSION_TEXT;
  const std::size_t slash = run.sourcePath.find_last_of('/');
  c.source = slash == std::string::npos ? run.sourcePath : run.sourcePath.substr(slash + 1);
  c.processingSurveyLatitude = run.surveyLatitude;
  c.standardTunnel = run.standardTunnel;
  c.processingCounterConstant = run.counterConstantText;
  c.firmwareVersion = run.firmwareVersion;
  c.windowLowerBound = run.windowLowerBound;
  c.windowUpperBound = run.windowUpperBound;
  c.ctdModel = run.ctdModel;
  c.sentenceToParse = run.sentenceToParse;
  c.surveyLatitudeForDepth = run.surveyLatitude;
  c.maxFixAge = store.Read(keys::kExportMaxFixAge);
  c.marksPath = run.marksPath;
  const std::string created = IsoUtc(std::time(nullptr));
  for (const MetadataKey& m : MetadataKeys()) {
    std::string value = store.Read(m.key);
    if (value.empty() && m.key.key == keys::kExportTitle.key) {
      value = "VESK laser particle counter record " + c.source;
    }
    if (value.empty() && m.key.key == keys::kExportSummary.key) {
      value = DefaultExportSummary(c.source);
    }
    c.metadata.emplace_back(m.attribute, value);
  }
  c.metadata.emplace_back("date_created", created);
  c.metadata.emplace_back("history", created + " VESK " + c.processingVersion +
                                         ": processed from the recording " + c.source);
  return c;
}

std::string ExportPath(const std::string& datPath, std::string_view extension) {
  const std::size_t slash = datPath.find_last_of('/');
  const std::size_t dot = datPath.find_last_of('.');
  const bool hasExtension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? datPath.substr(0, dot) : datPath) + std::string(extension);
}

bool ExportFile::Create(std::string_view header, bool buffered) {
  Discard();
  error_.clear();
  if (!file_.Create(path_ + ".partial", header)) {
    Fail(file_.Error());
    return false;
  }
  file_.SetBuffered(buffered);
  created_ = true;
  return true;
}

void ExportFile::Write(std::string_view bytes) {
  if (!file_.Write(bytes)) Fail(file_.Error());
}

void ExportFile::Fail(const std::string& reason) {
  if (error_.empty()) error_ = path_ + ": " + reason;
}

bool ExportFile::Commit() {
  if (!created_) return false;
  if (!file_.Close() || file_.WriteFailed()) Fail(file_.Error());
  const std::string partial = path_ + ".partial";
  if (error_.empty() && ::rename(partial.c_str(), path_.c_str()) != 0) Fail(std::strerror(errno));
  if (!error_.empty()) {
    ::unlink(partial.c_str());
    created_ = false;
    return false;
  }
  committed_ = true;
  return true;
}

void ExportFile::Discard() {
  file_.Close();
  if (!created_) return;
  ::unlink((committed_ ? path_ : path_ + ".partial").c_str());
  created_ = committed_ = false;
}

ExportStage::ExportStage(std::vector<std::unique_ptr<ExportWriter>> writers)
    : writers_(std::move(writers)) {}

ExportStage::~ExportStage() {
  if (open_) Discard();
}

bool ExportStage::Begin(const ExportContext& context) {
  gps_ = GpsFixTracker(context.sentenceToParse);
  gravityLatitude_ = gravity_ = kMissing;
  immediateError_.clear();
  fixUpdates_ = 0;
  fixFrame_ = nextFrame_ = 0;
  surveyLatitude_ = context.surveyLatitudeForDepth;
  maxFixAge_ = context.maxFixAge;
  marksPath_ = context.marksPath;
  for (std::size_t i = 0; i < writers_.size(); ++i) {
    if (!writers_[i]->Begin(context)) {
      error_ = writers_[i]->Error();
      for (std::size_t j = 0; j < i; ++j) writers_[j]->Discard();
      return false;
    }
  }
  immediate_.clear();
  threaded_.clear();
  for (auto& w : writers_) (w->Immediate() ? immediate_ : threaded_).push_back(w.get());
  closing_ = false;
  if (!threaded_.empty()) {
    block_.rows.reserve(kBlockRows);
    thread_ = std::thread([this] { WriterThread(); });
  }
  open_ = true;
  return true;
}

void ExportStage::Complete(ExportRow& r) {
  const GpsFix& fix = gps_.Fix();
  r.epochSeconds = fix.epochSeconds;
  r.timeOfDay = fix.timeOfDay;
  if (gps_.Updates() > 0) {
    r.fixAge = static_cast<double>(r.lFrameIndex - std::min(fixFrame_, r.lFrameIndex));
    // A receiver that went silent leaves its last fix behind: an old one is no position.
    if (r.fixAge <= maxFixAge_) {
      r.latitude = fix.latitude;
      r.longitude = fix.longitude;
    }
  }
  if (!IsMissing(r.pressure)) {
    const double latitude = IsMissing(r.latitude) ? surveyLatitude_ : r.latitude;
    // Gravity at the surface follows the latitude, which seldom changes from row to row.
    if (!(latitude == gravityLatitude_)) {
      gravityLatitude_ = latitude;
      gravity_ = SurfaceGravity(latitude);
    }
    const double depth = PressureToDepthAtGravity(r.pressure, gravity_);
    r.depth = std::isfinite(depth) ? depth : kMissing;
  }
}

template <typename Write>
void ExportStage::WriteImmediately(Write write) {
  // As on the writer thread, a failure is kept and ends the run at Finish.
  try {
    for (ExportWriter* w : immediate_) write(*w);
  } catch (const std::exception& e) {
    if (immediateError_.empty()) immediateError_ = std::string("export: ") + e.what();
  }
}

void ExportStage::OnLRecord(const ExportRow& row) {
  if (!open_) return;
  const bool wasEmpty = block_.Size() == 0;
  ExportRow& r = threaded_.empty() ? (row_ = row) : block_.rows.emplace_back(row);
  nextFrame_ = row.lFrameIndex + 1;
  Complete(r);
  if (!immediate_.empty()) WriteImmediately([&r](ExportWriter& w) { w.Write(r); });
  if (!threaded_.empty()) Added(wasEmpty);
}

void ExportStage::OnMEvents(std::span<const std::uint32_t> events, std::uint32_t lFrameCount) {
  if (!open_ || events.size() < 4) return;
  const bool wasEmpty = block_.Size() == 0;
  for (std::size_t i = 0; i + 4 <= events.size(); i += 4) {
    MepEvent e;
    e.lFrameIndex = lFrameCount;
    e.element = events[i];
    e.timeStamp = events[i + 1];
    e.duration = events[i + 2];
    e.size = events[i + 3] & 0x7FFF;
    e.mepFlag = (events[i + 3] & 0x8000) != 0;
    if (!immediate_.empty()) WriteImmediately([&e](ExportWriter& w) { w.WriteEvent(e); });
    if (!threaded_.empty()) block_.events.push_back(e);
  }
  if (!threaded_.empty()) Added(wasEmpty);
}

void ExportStage::Added(bool wasEmpty) {
  if (wasEmpty) blockStart_ = std::chrono::steady_clock::now();
  if (block_.Size() >= kBlockRows ||
      std::chrono::steady_clock::now() - blockStart_ >= std::chrono::seconds(1)) {
    HandOver();
  }
}

void ExportStage::OnNmeaSentence(std::string_view sentence) {
  gps_.OnSentence(sentence);
  if (gps_.Updates() != fixUpdates_) {
    fixUpdates_ = gps_.Updates();
    fixFrame_ = nextFrame_;
  }
}

void ExportStage::HandOver() {
  if (block_.Size() == 0) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kMaxQueuedBlocks; });
  queue_.push_back(std::move(block_));
  changed_.notify_all();
  if (spare_.empty()) {
    lock.unlock();
    block_ = {};
    block_.rows.reserve(kBlockRows);
  } else {
    block_ = std::move(spare_.back());
    spare_.pop_back();
  }
}

void ExportStage::WriterThread() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
    if (queue_.empty()) return;  // closing, and everything written
    Block block = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    lock.unlock();
    try {
      for (const ExportRow& row : block.rows) {
        for (ExportWriter* w : threaded_) w->Write(row);
      }
      for (const MepEvent& event : block.events) {
        for (ExportWriter* w : threaded_) w->WriteEvent(event);
      }
    } catch (const std::exception& e) {
      lock.lock();
      if (threadError_.empty()) threadError_ = std::string("export: ") + e.what();
      lock.unlock();
    }
    block.rows.clear();
    block.events.clear();
    lock.lock();
    spare_.push_back(std::move(block));
  }
}

void ExportStage::StopWriterThread() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool ExportStage::Finish() {
  if (!open_) return error_.empty();
  open_ = false;
  HandOver();
  StopWriterThread();
  if (threadError_.empty()) threadError_ = immediateError_;
  if (!threadError_.empty()) {
    error_ = threadError_;
    for (auto& w : writers_) w->Discard();
    return false;
  }
  const std::vector<Mark> marks = marksPath_.empty() ? std::vector<Mark>{} : ReadMarks(marksPath_);
  for (auto& w : writers_) w->WriteMarks(marks);
  for (auto& w : writers_) {
    if (!w->Finish()) {
      error_ = w->Error();
      for (auto& other : writers_) other->Discard();
      return false;
    }
  }
  return true;
}

void ExportStage::Discard() {
  open_ = false;
  {
    std::lock_guard lock(mutex_);
    queue_.clear();
    spare_.clear();
  }
  StopWriterThread();
  block_ = {};
  for (auto& w : writers_) w->Discard();
}

}  // namespace vesk
