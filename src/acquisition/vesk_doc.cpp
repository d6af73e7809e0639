#include "acquisition/vesk_doc.h"

#include <cstdlib>
#include <utility>

#include "control/live_records.h"
#include "files/file_header.h"
#include "instruments/ctd_conversions.h"

namespace vesk {
namespace {

constexpr const char* kSurveyLatNotSet =
    "WARNING !!!\n\nIt appears that the Survey Latitude has not been set by the user.  The "
    "default value is 99.9999.  \n\nThis value is used in the conversion from Pressure to Depth "
    "which will yield inaccurate results if the correct latitude is not set.\n\nTo update the "
    "Survey Latitude go to 'Settings >> Set Survey Latitude...' or hit 'Shift + L'.";

PortSettings ReadPort(const SettingsStore& s, const IntKey& port, const IntKey& bps,
                      const IntKey& bits, const IntKey& parity, const IntKey& stop,
                      const IntKey& flow, const TextKey& device) {
  PortSettings p;
  p.port = s.Read(port);
  p.bitRate = s.Read(bps);
  p.dataBits = s.Read(bits);
  p.parity = s.Read(parity);
  p.stopBits = s.Read(stop);
  p.flowControl = s.Read(flow);
  p.device = s.Read(device);
  return p;
}

}  // namespace

std::string DefaultDataDir() {
  const char* home = std::getenv("HOME");
  return std::string(home != nullptr && *home != '\0' ? home : ".") + "/VESK/";
}

std::string ConfiguredDataDir(const SettingsStore& store) {
  const std::string dir = store.Read(keys::kDataDir);
  return dir.empty() ? DefaultDataDir() : WithTrailingSlash(dir);
}

std::string WithTrailingSlash(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  if (dir != "/") dir += '/';
  return dir;
}

CVESKDoc::CVESKDoc(SettingsStore& settingsStore, WindowMessages& windowMessages,
                   UserDialogs& userDialogs, const Clock& wallClock)
    : store_(settingsStore),
      windows_(windowMessages),
      dialogs_(userDialogs),
      clock_(wallClock),
      catalogue_(settingsStore.Read(keys::kCtdSerial)),
      ctd_(settingsStore, userDialogs) {
  using namespace keys;
  DocumentSettings& s = settings_;
  s.scan = ScanSettings::Load(store_);
  s.addHeaderToDatFile = store_.ReadBool(kAddHeaderToDatFile);
  s.eepromData = store_.Read(kVeskEepromData);
  s.gridAutoScroll = store_.ReadBool(kAutoScroll);
  s.binnedMinX = store_.Read(kBinnedMinX);
  s.binnedMaxX = store_.Read(kBinnedMaxX);
  s.useDefaultFileNaming = store_.ReadBool(kUseDefaultFileNaming);
  s.userSuppliedFileHeader = store_.Read(kUserSuppliedFileHeader);
  playbackSpeed_ = store_.Read(kPlaybackSpeed);
  if (s.scan.surveyLat == 99.9999) {
    dialogs_.ShowMessage(kSurveyLatNotSet, "", MessageIcon::Warning);
  }
  LoadPortSettings();
  LoadNavSettings();
}

void CVESKDoc::ChangeSettings(const std::function<void(DocumentSettings&)>& change) {
  change(settings_);
  // The running scan's processing takes the new value at its next frame.
  if (scanning_) scanSettings_.Publish(settings_.scan);
}

void CVESKDoc::EndPlayback() {
  if (scanning_) StopScan();
  playback_ = false;
  playbackPaused_ = false;
}

void CVESKDoc::SetPlaybackSpeed(int speed) {
  playbackSpeed_ = speed;
}

PlaybackProgress CVESKDoc::Playback() const {
  const bool atEnd = playbackAtEnd_;
  return {playbackBytesDone_.load(), playbackTotalBytes_.load(), atEnd,
          atEnd && counterFrames_ == 0};
}

std::vector<ScanEvent> CVESKDoc::TakeScanEvents() {
  std::lock_guard lock(eventsLock_);
  return std::exchange(events_, {});
}

void CVESKDoc::NoteScanEvent(std::string note, std::string datPath) {
  ScanEvent e{std::move(note), UtcNow(), results_.LFrames(), std::move(datPath)};
  std::lock_guard lock(eventsLock_);
  events_.push_back(std::move(e));
}

void CVESKDoc::SetDataDirectory(const std::string& dir) {
  const std::string withSlash = WithTrailingSlash(dir);
  store_.Write(keys::kDataDir, withSlash);
  std::lock_guard names(fileNameLock_);
  if (!scanning_) dataDir_ = withSlash;
}

std::string CVESKDoc::DataDirectory() const {
  std::lock_guard names(fileNameLock_);
  return dataDir_;
}

std::string CVESKDoc::DatPath() const {
  std::lock_guard names(fileNameLock_);
  return processedFileName_.empty() ? std::string() : dataDir_ + processedFileName_;
}

std::string CVESKDoc::RawPath() const {
  std::lock_guard names(fileNameLock_);
  return rawFileName_.empty() || playback_ ? std::string() : dataDir_ + rawFileName_;
}

std::string CVESKDoc::PlayedPath() const {
  std::lock_guard names(fileNameLock_);
  return playback_ ? rawFileName_ : std::string();
}

void CVESKDoc::LoadPortSettings() {
  using namespace keys;
  DocumentSettings& s = settings_;
  s.counterPort = ReadPort(store_, kComPortDu, kBpsDu, kDataBitsDu, kParityDu, kStopBitsDu,
                           kFlowControlDu, kDeviceDu);
  s.auxPort = ReadPort(store_, kComPortZev, kBpsZev, kDataBitsZev, kParityZev, kStopBitsZev,
                       kFlowControlZev, kDeviceZev);
  s.scan.ctdModel = store_.Read(kModelCtd);
  s.scan.instrInputViaMux = store_.ReadBool(kInstrInputViaMux);
  catalogue_.SetSerial(s.scan.ctdModel, store_.Read(kCtdSerial));
  {
    std::lock_guard names(fileNameLock_);
    dataDir_ = ConfiguredDataDir(store_);
  }
  s.enableTx2Zev = store_.ReadBool(kEnableTx2Zev);
  s.scan.maxMepLength = store_.Read(kMaxMepLength);
  s.scan.gridScalingFactor = store_.Read(kGridScalingFactor);
  s.lowDiskSpaceMb = store_.Read(kLowDiskSpaceMb);
  s.analogCaption = store_.Read(kAnalogCaption);
  s.analogScale = store_.ReadReal(kAnalogScale);
  if (!scanning_) ctd_.LoadScanSettings(s.scan.ctdModel, s.scan.instrInputViaMux);
}

void CVESKDoc::LoadCtdSettings() {
  ChangeSettings([&](DocumentSettings& s) {
    s.scan.ctdModel = store_.Read(keys::kModelCtd);
    s.scan.instrInputViaMux = store_.ReadBool(keys::kInstrInputViaMux);
  });
  const ScanSettings& s = settings_.scan;
  catalogue_.SetSerial(s.ctdModel, store_.Read(keys::kCtdSerial));
  if (!scanning_) ctd_.LoadScanSettings(s.ctdModel, s.instrInputViaMux);
}

void CVESKDoc::LoadNavSettings() {
  settings_.auxPortMode = store_.Read(keys::kAuxPortMode);
  settings_.scan.nav.Load(store_);
}

std::string CVESKDoc::BuildFileHeader() const {
  return BuildFileHeader(WindowCopy());
}

std::string CVESKDoc::BuildFileHeader(HeaderSettings h) const {
  const DocumentSettings& s = h.settings;
  // The names are read as they are: the caller holds fileNameLock_, or is the user-interface
  // thread while no scan runs.
  const std::tm now = clock_.LocalTime();
  if (playback_) return BuildPlaybackHeader(now, rawFileName_);
  LiveHeaderInputs in;
  in.now = now;
  in.userSuppliedFileHeader = s.userSuppliedFileHeader;
  in.ctdModel = s.scan.ctdModel;
  in.ctdEntry = h.ctd;
  in.instrInputViaMux = s.scan.instrInputViaMux;
  in.surveyLat = s.scan.surveyLat;
  in.standardTunnel = s.scan.standardTunnel;
  in.dataDir = dataDir_;
  in.useDefaultFileNaming = s.useDefaultFileNaming;
  return BuildLiveHeader(in, store_);
}

void CVESKDoc::ResetForScan() {
  // Every scan starts from the state of a new document: nothing of the scan or playback
  // before it (counter words, rates, CTD record) reaches its first records.
  playbackAtEnd_ = false;
  counterFrames_ = 0;
  loggingSuspended_ = false;
  results_.Reset();
  frames_.Clear();
  nmeaGate_.Reset();
  lastScanByteTicks_ = 0;
  ctd_.StartScan();
}

ScanStatus CVESKDoc::StatusSnapshot() const {
  ScanStatus status;
  status.lFrames = results_.LFrames();
  status.frameErrors = results_.FrameErrors();
  const BinTable bins = results_.Bins();
  status.countsPerSecond = bins.frameTotal;
  status.cumulativeTotal = bins.cumulativeTotalCount;
  const HousekeepingTable hk = results_.Housekeeping();
  status.flowSpeed = hk.flowSpeed;
  status.laserMonitor = hk.words[6];
  status.ctd = results_.Ctd();
  status.depth = PressureToDepth(status.ctd.pressure, settings_.scan.surveyLat);
  status.nav = results_.Nav();
  return status;
}

}  // namespace vesk
