#include "acquisition/vesk_doc.h"

#include <cstdlib>

#include "instruments/ctd_conversions.h"

namespace vesk {
namespace {

constexpr const char* kSurveyLatNotSet =
    "WARNING !!!\n\nIt appears that the Survey Latitude has not been set by the user.  The "
    "default value is 99.9999.  \n\nThis value is used in the conversion from Pressure to Depth "
    "which will yield inaccurate results if the correct latitude is not set.\n\nTo update the "
    "Survey Latitude go to 'TOOLS >> SET SURVEY LAT' or hit 'Shift + L'.";

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
    : store(settingsStore),
      windows(windowMessages),
      dialogs(userDialogs),
      clock(wallClock),
      catalogue(settingsStore.Read(keys::kCtdSerial)),
      ctd(settingsStore, userDialogs) {
  using namespace keys;
  addHeaderToDatFile = store.ReadBool(kAddHeaderToDatFile);
  logInitialNmeaOnly = store.ReadBool(kLogInitialNmeaOnly);
  counterConstantText = store.Read(kCounterConstant);
  counterScale = ParseReal(counterConstantText) / kCounterReferenceConstant;
  playbackSpeed = store.Read(kPlaybackSpeed);
  eepromData = store.Read(kVeskEepromData);
  gridAutoScroll = store.ReadBool(kAutoScroll);
  binnedMinX = store.Read(kBinnedMinX);
  binnedMaxX = store.Read(kBinnedMaxX);
  bufferLength = store.Read(kBufferLength);
  useDefaultFileNaming = store.ReadBool(kUseDefaultFileNaming);
  firmwareVersion = store.ReadReal(kFirmwareVer);
  surveyLat = store.ReadReal(kSurveyLat);
  if (surveyLat == 99.9999) dialogs.ShowMessage(kSurveyLatNotSet, "", MessageIcon::Warning);
  userSuppliedFileHeader = store.Read(kUserSuppliedFileHeader);
  standardTunnel = store.ReadBool(kStandardTunnel);
  instrInputViaMux = store.ReadBool(kInstrInputViaMux);
  windowLowerBound = store.Read(kWindowCountsLowerBound);
  windowUpperBound = store.Read(kWindowCountsUpperBound);
  LoadPortSettings();
  LoadNavSettings();
}

void CVESKDoc::SetDataDirectory(const std::string& dir) {
  const std::string withSlash = WithTrailingSlash(dir);
  store.Write(keys::kDataDir, withSlash);
  std::lock_guard names(fileNameLock);
  if (!scanning) dataDir = withSlash;
}

void CVESKDoc::LoadPortSettings() {
  using namespace keys;
  counterPort = ReadPort(store, kComPortDu, kBpsDu, kDataBitsDu, kParityDu, kStopBitsDu,
                         kFlowControlDu, kDeviceDu);
  auxPort = ReadPort(store, kComPortZev, kBpsZev, kDataBitsZev, kParityZev, kStopBitsZev,
                     kFlowControlZev, kDeviceZev);
  const int model = store.Read(kModelCtd);
  catalogue.SetSerial(model, store.Read(kCtdSerial));
  dataDir = ConfiguredDataDir(store);
  enableTx2Zev = store.ReadBool(kEnableTx2Zev);
  maxMepLength = store.Read(kMaxMepLength);
  gridScalingFactor = store.Read(kGridScalingFactor);
  lowDiskSpaceMb = store.Read(kLowDiskSpaceMb);
  analogCaption = store.Read(kAnalogCaption);
  analogScale = store.ReadReal(kAnalogScale);
  std::lock_guard lock(ctdLock);
  ctd.LoadScanSettings(model, instrInputViaMux, surveyLat);
}

void CVESKDoc::LoadNavSettings() {
  auxPortMode = store.Read(keys::kAuxPortMode);
  NavSettings loaded;
  loaded.Load(store);
  std::lock_guard lock(navLock);
  nav = std::move(loaded);
}

void CVESKDoc::ResetForScan() {
  // Every scan starts from the state of a new document: nothing of the scan or playback
  // before it (counter words, rates, CTD record) reaches its first records.
  playbackAtEnd = false;
  {
    std::lock_guard lock(binLock);
    currentBins.fill(0);
    cumulativeBins.fill(0);
    frameTotal = 0;
    frameWindowCount = 0;
    cumulativeTotalCount = 0;
    cumulativeWindowCount = 0;
  }
  {
    std::lock_guard lock(housekeepingLock);
    housekeeping.fill(0);
    counterN = 0;
    counterT = 0;
    analogA = 0;
    counterValue = 0;
    flowSpeed = 0;
  }
  {
    std::lock_guard lock(timeChartLock);
    latestSample.fill(0);
  }
  frames.Clear();
  {
    std::lock_guard lock(gridLock);
    gridRows.clear();
  }
  elementEvents.clear();
  {
    std::lock_guard lock(timeChartHistoryLock);
    timeChartHistory.clear();
    timeChartSamples = 0;
  }
  lFrameCount = 0;
  mepParticleCount = 0;
  frameErrorCount = 0;
  initialNmeaWritten = false;
  lastScanByteTicks = 0;
  {
    std::lock_guard lock(navLock);
    navDisplay = NavDisplay{};  // no position of an earlier scan or playback
  }
  std::lock_guard lock(ctdLock);
  ctd.StartScan();
}

ScanStatus CVESKDoc::StatusSnapshot() {
  ScanStatus status;
  status.lFrames = lFrameCount;
  status.frameErrors = frameErrorCount;
  {
    std::lock_guard lock(binLock);
    status.countsPerSecond = frameTotal;
    status.cumulativeTotal = cumulativeTotalCount;
  }
  {
    std::lock_guard lock(housekeepingLock);
    status.flowSpeed = flowSpeed;
    status.laserMonitor = housekeeping[6];
  }
  {
    std::lock_guard lock(ctdLock);
    status.ctd = ctd.sample;
  }
  status.depth = PressureToDepth(status.ctd.pressure, surveyLat);
  std::lock_guard lock(navLock);
  status.nav = navDisplay;
  return status;
}

void CVESKDoc::ClearResults() {
  {
    std::lock_guard lock(binLock);
    currentBins.fill(0);
    cumulativeBins.fill(0);
  }
  {
    std::lock_guard lock(housekeepingLock);
    housekeeping.fill(0);
  }
  {
    std::lock_guard lock(ctdLock);
    ctd.sample = CtdSample{};
  }
  std::lock_guard lock(timeChartLock);
  latestSample.fill(0);
}

}  // namespace vesk
