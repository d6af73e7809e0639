#include "files/export_stage.h"

#include "acquisition/vesk_doc.h"
#include "files/data_file.h"

namespace vesk {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
    s.remove_suffix(1);
  }
  return s;
}

constexpr std::string_view kUserHeaderTitle = "# ___  USER SUPPLIED HEADER  ___";

}  // namespace

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

ExportContext MakeExportContext(const CVESKDoc& doc) {
  ExportContext c;
  ParseBinHeader(doc.playback ? ReadRawHeader(doc.rawFileName, 1u << 20) : doc.BuildFileHeader(),
                 c);
  c.processingVersion = CVESKDoc::kVersion;
  const std::size_t slash = doc.rawFileName.find_last_of('/');
  c.source = slash == std::string::npos ? doc.rawFileName : doc.rawFileName.substr(slash + 1);
  c.processingSurveyLatitude = doc.surveyLat;
  c.standardTunnel = doc.standardTunnel;
  c.processingCounterConstant = doc.counterConstantText;
  c.firmwareVersion = doc.firmwareVersion;
  c.windowLowerBound = doc.windowLowerBound;
  c.windowUpperBound = doc.windowUpperBound;
  c.ctdModel = doc.ctd.model;
  c.sentenceToParse = doc.nav.sentenceToParse;
  return c;
}

std::string ExportPath(const std::string& datPath, std::string_view extension) {
  const std::size_t slash = datPath.find_last_of('/');
  const std::size_t dot = datPath.find_last_of('.');
  const bool hasExtension =
      dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
  return (hasExtension ? datPath.substr(0, dot) : datPath) + std::string(extension);
}

ExportStage::ExportStage(std::vector<std::unique_ptr<ExportWriter>> writers)
    : writers_(std::move(writers)) {}

ExportStage::~ExportStage() {
  if (open_) Discard();
}

bool ExportStage::Begin(const ExportContext& context) {
  gps_ = GpsFixTracker(context.sentenceToParse);
  for (std::size_t i = 0; i < writers_.size(); ++i) {
    if (!writers_[i]->Begin(context)) {
      error_ = writers_[i]->Error();
      for (std::size_t j = 0; j < i; ++j) writers_[j]->Discard();
      return false;
    }
  }
  block_.reserve(kBlockRows);
  closing_ = false;
  thread_ = std::thread([this] { WriterThread(); });
  open_ = true;
  return true;
}

void ExportStage::OnLRecord(const ExportRow& row) {
  if (!open_) return;
  if (block_.empty()) blockStart_ = std::chrono::steady_clock::now();
  ExportRow& r = block_.emplace_back(row);
  const GpsFix& fix = gps_.Fix();
  r.epochSeconds = fix.epochSeconds;
  r.timeOfDay = fix.timeOfDay;
  r.latitude = fix.latitude;
  r.longitude = fix.longitude;
  if (block_.size() >= kBlockRows ||
      std::chrono::steady_clock::now() - blockStart_ >= std::chrono::seconds(1)) {
    HandOver();
  }
}

void ExportStage::OnNmeaSentence(std::string_view sentence) {
  gps_.OnSentence(sentence);
}

void ExportStage::HandOver() {
  if (block_.empty()) return;
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.size() < kMaxQueuedBlocks; });
  queue_.push_back(std::move(block_));
  changed_.notify_all();
  lock.unlock();
  block_ = {};
  block_.reserve(kBlockRows);
}

void ExportStage::WriterThread() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
    if (queue_.empty()) return;  // closing, and everything written
    std::vector<ExportRow> rows = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    lock.unlock();
    try {
      for (const ExportRow& row : rows) {
        for (auto& w : writers_) w->Write(row);
      }
    } catch (const std::exception& e) {
      lock.lock();
      if (threadError_.empty()) threadError_ = std::string("export: ") + e.what();
      lock.unlock();
    }
    lock.lock();
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
  if (!threadError_.empty()) {
    error_ = threadError_;
    for (auto& w : writers_) w->Discard();
    return false;
  }
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
  }
  StopWriterThread();
  block_.clear();
  for (auto& w : writers_) w->Discard();
}

}  // namespace vesk
