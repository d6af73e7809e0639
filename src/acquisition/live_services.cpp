#include "acquisition/live_services.h"

#include <sys/statvfs.h>

#include <cstdio>
#include <mutex>

#include "acquisition/vesk_doc.h"

namespace vesk {
namespace {

constexpr const char* kNoScan = "Mark ignored: no scan is running.";

double SecondsSince(std::chrono::steady_clock::time_point then,
                    std::chrono::steady_clock::time_point now) {
  return std::chrono::duration<double>(now - then).count();
}

}  // namespace

LiveServices::LiveServices(CVESKDoc& doc)
    : doc_(doc), sink_(publisher_, [this] { return Position(); }) {
  Configure();
  doc_.SetRecordSink(&sink_);
}

LiveServices::~LiveServices() {
  if (doc_.Scanning()) doc_.StopScan();
  doc_.SetRecordSink(nullptr);
}

void LiveServices::Configure() {
  PublishSettings publish;
  publish.Load(doc_.Store());
  if (!publisher_.Configure(publish)) {
    doc_.Dialogs().Notify("Publishing records is off: " + publisher_.Error() + ".");
  }
  toldPublishError_.clear();
  AlarmLimits limits;
  limits.Load(doc_.Store());
  alarms_.SetLimits(limits);
}

LivePosition LiveServices::Position() const {
  LivePosition p;
  const NavDisplay nav = doc_.Results().Nav();
  if (nav.lastFix) {
    p.latitude = nav.latitudeDegrees;
    p.longitude = nav.longitudeDegrees;
    p.fixAgeSeconds = SecondsSince(*nav.lastFix, std::chrono::steady_clock::now());
  }
  return p;
}

std::optional<double> LiveServices::FreeDiskMb(std::string& dir) const {
  dir = doc_.DataDirectory();
  struct statvfs st {};
  if (::statvfs(dir.c_str(), &st) != 0) return std::nullopt;
  return static_cast<double>(st.f_bavail) * static_cast<double>(st.f_frsize) / 1e6;
}

std::vector<AlarmChange> LiveServices::Tick(TimePoint now) {
  SyncScan();
  MarkScanEvents();
  AlarmInputs in;
  in.now = now;
  in.live = doc_.Scanning() && !doc_.IsPlayback();
  in.scan = doc_.ScanNumber();
  if (in.live) {
    const ScanStatus s = doc_.StatusSnapshot();
    in.lFrames = s.lFrames;
    in.frameErrors = s.frameErrors;
    in.lastByte = doc_.LastScanByte();
    in.flowSpeed = s.flowSpeed;
    in.laserMonitor = s.laserMonitor;
    in.gpsExpected = !doc_.Settings().scan.nav.sentenceToParse.empty();
    if (s.nav.lastFix) in.fixAgeSeconds = SecondsSince(*s.nav.lastFix, now);
    in.freeDiskMb = FreeDiskMb(in.dataDir);
  }
  std::vector<AlarmChange> changes = alarms_.Evaluate(in);
  for (const AlarmChange& c : changes) {
    doc_.Dialogs().Notify(c.text);
    sink_.PublishAlarm(AlarmName(c.id), c.raised, c.text);
  }
  // A network that refuses the datagrams is told once for each reason it gives.
  const std::string error = publisher_.LastError();
  if (!error.empty() && error != toldPublishError_) {
    toldPublishError_ = error;
    doc_.Dialogs().Notify("Publishing records to " + publisher_.Destination() + " fails (" + error +
                          "); they are dropped - " + std::to_string(publisher_.Dropped()) +
                          " so far.");
  }
  return changes;
}

std::string LiveServices::AlarmSummary() const {
  std::string text;
  for (AlarmId id : alarms_.ActiveAlarms()) {
    if (!text.empty()) text += ',';
    text += AlarmLabel(id);
  }
  return text.empty() ? "none" : text;
}

std::string LiveServices::PublishSummary() const {
  if (!publisher_.Enabled()) return {};
  return "published " + std::to_string(publisher_.Sent()) + ", dropped " +
         std::to_string(publisher_.Dropped());
}

void LiveServices::SyncScan() {
  // A recording chosen for playback is a new scan already: nothing of the last one shows.
  const std::string played = doc_.PlayedPath();
  if (doc_.ScanNumber() == scan_ && played == played_) return;
  scan_ = doc_.ScanNumber();
  played_ = played;
  scanMarks_.clear();
  // A recording played back shows the marks made while it was recorded.
  if (!played.empty()) scanMarks_ = ReadMarks(MarksPath(played));
}

const std::vector<Mark>& LiveServices::ScanMarks() {
  SyncScan();
  return scanMarks_;
}

void LiveServices::SetFreshPosition(Mark& m) const {
  const LivePosition p = Position();
  // A position older than the display's stale limit is no position for the mark.
  if (!IsMissing(p.fixAgeSeconds) && p.fixAgeSeconds <= doc_.Settings().scan.nav.staleFixSeconds) {
    m.latitude = p.latitude;
    m.longitude = p.longitude;
  }
}

std::optional<Mark> LiveServices::BeginMark() {
  if (!doc_.Scanning()) return std::nullopt;
  Mark m;
  m.epochSeconds = UtcNow();
  m.lFrameIndex = doc_.Results().LFrames();
  SetFreshPosition(m);
  return m;
}

void LiveServices::MarkScanEvents() {
  for (ScanEvent& e : doc_.TakeScanEvents()) unmarkedEvents_.push_back(std::move(e));
  while (!unmarkedEvents_.empty()) {
    const ScanEvent& e = unmarkedEvents_.front();
    Mark m;
    m.epochSeconds = e.epochSeconds;
    m.lFrameIndex = e.lFrameIndex;
    SetFreshPosition(m);
    m.note = CleanNote(e.note);
    const MarkResult written =
        e.datPath.empty() ? MarkResult{true, m, ""} : WriteMark(m, MarksPath(e.datPath));
    // The mark of a full disk is written once it has room; any other failure is told.
    if (!written.ok && doc_.LoggingSuspended()) return;
    if (!written.ok) doc_.Dialogs().Notify(written.text);
    unmarkedEvents_.pop_front();
  }
}

LiveServices::MarkResult LiveServices::AddMark(std::string_view note) {
  std::optional<Mark> m = BeginMark();
  if (!m) return {false, {}, kNoScan};
  return FinishMark(*m, note);
}

LiveServices::MarkResult LiveServices::FinishMark(Mark mark, std::string_view note) {
  SyncScan();
  if (!doc_.Scanning()) return {false, mark, kNoScan};
  mark.note = CleanNote(note);
  // (A scan's start removes the marks of an older .dat of its name: the dump's.)
  return WriteMark(mark, MarksPath(doc_.DatPath()));
}

LiveServices::MarkResult LiveServices::WriteMark(Mark mark, const std::string& path) {
  if (path != marks_.Path() || logScan_ != scan_) {
    marks_.Begin(path);
    logScan_ = scan_;
  }
  if (!marks_.Add(mark)) {
    return {false, mark, "ERROR: the mark could not be written: " + marks_.Error()};
  }
  scanMarks_.push_back(mark);
  sink_.PublishMark(mark);
  char text[96];
  std::snprintf(text, sizeof text, "Mark %d at L frame %u", mark.number, mark.lFrameIndex);
  return {true, mark,
          std::string(text) + (mark.note.empty() ? "" : " (" + mark.note + ")") + " written to " +
              path};
}

}  // namespace vesk
