#include "acquisition/vesk_doc.h"

#include <utility>

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

CVESKDoc::CVESKDoc(SettingsStore& settingsStore, WindowMessages& windowMessages,
                   UserDialogs& userDialogs, const Clock& wallClock)
    : store_(settingsStore),
      windows_(windowMessages),
      dialogs_(userDialogs),
      clock_(wallClock),
      catalogue_(settingsStore.Read(keys::kCtdSerial)),
      session_(ScanSession::Parts{settingsStore, userDialogs, windowMessages, wallClock, results_,
                                  counterSerial_, connected_, commands_, snapshot_, interest_,
                                  scanning_}) {
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
  session_.SetPlaybackSpeed(store_.Read(kPlaybackSpeed));
  if (s.scan.surveyLat == 99.9999) {
    dialogs_.ShowMessage(kSurveyLatNotSet, "", MessageIcon::Warning);
  }
  LoadPortSettings();
  LoadNavSettings();
}

void CVESKDoc::ChangeSettings(const std::function<void(DocumentSettings&)>& change) {
  change(settings_);
  // The running scan's processing takes the new value at its next frame.
  if (scanning_) session_.Publish(settings_.scan);
}

void CVESKDoc::EndPlayback() {
  if (scanning_) StopScan();
  session_.Files().EndPlayback();
  session_.SetPlaybackPaused(false);
}

void CVESKDoc::SetDataDirectory(const std::string& dir) {
  const std::string withSlash = WithTrailingSlash(dir);
  store_.Write(keys::kDataDir, withSlash);
  if (!scanning_) session_.Files().SetDataDir(withSlash);
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
  session_.Files().SetDataDir(ConfiguredDataDir(store_));
  s.enableTx2Zev = store_.ReadBool(kEnableTx2Zev);
  s.scan.maxMepLength = store_.Read(kMaxMepLength);
  s.scan.gridScalingFactor = store_.Read(kGridScalingFactor);
  s.lowDiskSpaceMb = store_.Read(kLowDiskSpaceMb);
  s.analogCaption = store_.Read(kAnalogCaption);
  s.analogScale = store_.ReadReal(kAnalogScale);
}

void CVESKDoc::LoadCtdSettings() {
  ChangeSettings([&](DocumentSettings& s) {
    s.scan.ctdModel = store_.Read(keys::kModelCtd);
    s.scan.instrInputViaMux = store_.ReadBool(keys::kInstrInputViaMux);
  });
  const ScanSettings& s = settings_.scan;
  catalogue_.SetSerial(s.ctdModel, store_.Read(keys::kCtdSerial));
}

void CVESKDoc::LoadNavSettings() {
  settings_.auxPortMode = store_.Read(keys::kAuxPortMode);
  settings_.scan.nav.Load(store_);
}

void CVESKDoc::ResetForScan() {
  // Every scan starts from the state of a new document: nothing of the scan or playback
  // before it (counter words, rates, CTD record) reaches its first records.
  results_.Reset();
  session_.Reset();
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
