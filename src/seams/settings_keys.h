#pragma once
// Every settings key of the program with its one default. Where two places once gave one
// key two defaults, the value the document's reader uses is the one kept here.

#include <string_view>

namespace vesk {

struct IntKey {
  const char* section;
  const char* key;
  int def;
};

struct TextKey {
  const char* section;
  const char* key;
  const char* def;
};

namespace keys {

// Options
inline constexpr IntKey kAddHeaderToDatFile{"Options", "AddHeaderToDatFile", 1};
inline constexpr IntKey kLogInitialNmeaOnly{"Options", "LogInitialNmeaOnly", 0};
inline constexpr IntKey kExportCsv{"Options", "ExportCsv", 0};  // CSV beside the .dat
// Free space of the data folder (MB) below which a logging scan warns: about an hour at the
// full line rate.
inline constexpr IntKey kLowDiskSpaceMb{"Options", "LowDiskSpaceMB", 150};

// Export: what the analysis files say about the data set (empty title and summary: made from
// the recording's name), and how old a GPS fix may be, in L frames, before its position
// counts as missing.
inline constexpr TextKey kExportTitle{"Export", "Title", ""};
inline constexpr TextKey kExportSummary{"Export", "Summary", ""};
inline constexpr TextKey kExportKeywords{
    "Export", "Keywords", "particle size spectrum, plankton, particle counter, CTD, GPS"};
inline constexpr TextKey kExportInstitution{"Export", "Institution", "unknown"};
inline constexpr TextKey kExportProject{"Export", "Project", "unknown"};
inline constexpr TextKey kExportPlatform{"Export", "Platform", "unknown"};
inline constexpr TextKey kExportCreatorName{"Export", "CreatorName", "unknown"};
inline constexpr TextKey kExportLicense{"Export", "License", "unknown"};
inline constexpr IntKey kExportMaxFixAge{"Export", "MaxFixAge", 20};

// Profiles: the cast products. Depth bin width (m), the hysteresis that marks a turn of the
// cast (m), the least depth range a profile spans (m), loop editing (1: a frame must go on in
// the profile's direction), the L frame interval that turns flow speed into sampled volume (s)
// and the size range the spectrum slope is fitted over (um). Reals as text, like every other.
inline constexpr TextKey kProfilesDepthBin{"Profiles", "DepthBin", "1.0"};
inline constexpr TextKey kProfilesTurnHysteresis{"Profiles", "TurnHysteresis", "3.0"};
inline constexpr TextKey kProfilesMinExtent{"Profiles", "MinExtent", "10.0"};
inline constexpr IntKey kProfilesLoopEdit{"Profiles", "LoopEdit", 1};
inline constexpr TextKey kProfilesFrameInterval{"Profiles", "FrameInterval", "0.5"};
inline constexpr TextKey kProfilesSpectrumMinUm{"Profiles", "SpectrumMinUm", "105"};
inline constexpr TextKey kProfilesSpectrumMaxUm{"Profiles", "SpectrumMaxUm", "1920"};

// Publish: every processed record as one JSON datagram (UDP) for the ship's data systems, off
// by default; the address may be unicast, broadcast or multicast.
inline constexpr IntKey kPublishEnabled{"Publish", "Enabled", 0};
inline constexpr TextKey kPublishAddress{"Publish", "Address", "127.0.0.1"};
inline constexpr IntKey kPublishPort{"Publish", "Port", 55124};
inline constexpr IntKey kPublishLRecords{"Publish", "LRecords", 1};
inline constexpr IntKey kPublishCRecords{"Publish", "CRecords", 1};
inline constexpr IntKey kPublishMRecords{"Publish", "MRecords", 1};
inline constexpr IntKey kPublishAlarms{"Publish", "Alarms", 1};
inline constexpr IntKey kPublishMarks{"Publish", "Marks", 1};
inline constexpr IntKey kPublishProfiles{"Publish", "Profiles", 1};
inline constexpr IntKey kPublishMulticastTtl{"Publish", "MulticastTTL", 1};

// Alarms of a live scan (0 turns one off). A condition of flow, laser, frame errors or disk
// space must last HoldSeconds to raise its alarm, and be gone as long to clear it. The disk
// limit is Options/LowDiskSpaceMB.
inline constexpr IntKey kAlarmNoDataSeconds{"Alarms", "NoDataSeconds", 10};
inline constexpr TextKey kAlarmMinFlowSpeed{"Alarms", "MinFlowSpeed", "0.1"};  // m/s
inline constexpr IntKey kAlarmMinLaserMonitor{"Alarms", "MinLaserMonitor", 1000};
inline constexpr IntKey kAlarmMaxLaserMonitor{"Alarms", "MaxLaserMonitor", 4000};
inline constexpr TextKey kAlarmMaxFrameErrorPercent{"Alarms", "MaxFrameErrorPercent", "5"};
inline constexpr IntKey kAlarmFrameErrorWindowSeconds{"Alarms", "FrameErrorWindowSeconds", 60};
inline constexpr IntKey kAlarmGpsStaleSeconds{"Alarms", "GpsStaleSeconds", 30};
inline constexpr IntKey kAlarmHoldSeconds{"Alarms", "HoldSeconds", 5};

// Settings
inline constexpr TextKey kCounterConstant{"Settings", "CounterConstant", "0.0"};
inline constexpr IntKey kPlaybackSpeed{"Settings", "PlaybackSpeed", 1};
inline constexpr IntKey kPlaybackSpeedBtn{"Settings", "PlaybackSpeedBtn", 0};
inline constexpr TextKey kVeskEepromData{"Settings", "VeskEepromData", ""};
inline constexpr IntKey kUseDefaultFileNaming{"Settings", "UseDefaultFileNaming", 1};
inline constexpr TextKey kFirmwareVer{"Settings", "FirmwareVer", "2.25"};
inline constexpr TextKey kSurveyLat{"Settings", "SurveyLat", "99.9999"};
inline constexpr TextKey kUserSuppliedFileHeader{"Settings", "UserSuppliedFileHeader", ""};
inline constexpr IntKey kStandardTunnel{"Settings", "StandardTunnel", 1};
inline constexpr IntKey kInstrInputViaMux{"Settings", "InstrInputViaMux", 0};
inline constexpr IntKey kModelCtd{"Settings", "Model_CTD", 0};
inline constexpr TextKey kCtdSerial{"Settings", "CTDSerial", "n/a"};
inline constexpr TextKey kDataDir{"Settings", "DataDir", ""};  // empty: ~/VESK/
inline constexpr IntKey kEnableTx2Zev{"Settings", "EnableTx2Zev", 0};
inline constexpr TextKey kAnalogCaption{"Settings", "AnalogCaption", "ANALOG"};
inline constexpr TextKey kAnalogScale{"Settings", "AnalogScale", "1.0"};
inline constexpr IntKey kAuxPortMode{"Settings", "AuxPortMode", 0};
inline constexpr IntKey kWindowCountsLowerBound{"Settings", "WindowCountsLowerBound", 0};
inline constexpr IntKey kWindowCountsUpperBound{"Settings", "WindowCountsUpperBound", 127};
inline constexpr TextKey kLastDataFileName{"Settings", "LastDataFileName",
                                           "VESK_PRELOGGING_DATADUMP"};
inline constexpr IntKey kLastSnapshotFileNumber{"Settings", "LastSnapshotFileNumber", 1};
inline constexpr IntKey kActiveMainView{"Settings", "ActiveMainView", 0};
inline constexpr IntKey kStatsWindow{"Settings", "StatsWindow", 0};
inline constexpr TextKey kSwManualVer{"Settings", "SwManualVer", "*.pdf"};

// MEP Grid
inline constexpr IntKey kAutoScroll{"MEP Grid", "AutoScroll", 1};
inline constexpr IntKey kMaxMepLength{"MEP Grid", "MaxMepLength", 1000};
inline constexpr IntKey kGridScalingFactor{"MEP Grid", "GridScalingFactor", 1};
inline constexpr IntKey kMepColor{"MEP Grid", "MepColor", 0x000080};  // 0xRRGGBB
inline constexpr IntKey kGridDisabled{"MEP Grid", "DisableMepGrid", 0};

// BinnedGraph
inline constexpr IntKey kBinnedMinX{"BinnedGraph", "MinX", 0};
inline constexpr IntKey kBinnedMaxX{"BinnedGraph", "MaxX", 127};
inline constexpr IntKey kBinnedShowBinSizes{"BinnedGraph", "ShowBinSizes", 0};
// On by default: the stored 0..100 clips the cumulative counts within seconds.
inline constexpr IntKey kBinnedAutoScale{"BinnedGraph", "AutoScale", 1};
inline constexpr IntKey kBinnedMinXBins{"BinnedGraph", "MinXBins", 0};
inline constexpr IntKey kBinnedMaxXBins{"BinnedGraph", "MaxXBins", 128};
inline constexpr IntKey kBinnedMinY{"BinnedGraph", "MinY", 0};
inline constexpr IntKey kBinnedMaxY{"BinnedGraph", "MaxY", 100};

// BinnedPopup: the popup histogram's place and size
inline constexpr IntKey kPopupWidth{"BinnedPopup", "Width", 520};
inline constexpr IntKey kPopupHeight{"BinnedPopup", "Height", 290};
inline constexpr IntKey kPopupXPos{"BinnedPopup", "xPos", 400};
inline constexpr IntKey kPopupYPos{"BinnedPopup", "yPos", 300};

// Time Plots
inline constexpr IntKey kBufferLength{"Time Plots", "BufferLength", 3600};
// On by default: the stored ranges clip real data within seconds.
inline constexpr IntKey kTimePlotsAutoScale{"Time Plots", "AutoScale", 1};
// The x window follows the newest sample.
inline constexpr IntKey kTimePlotsAutoScroll{"Time Plots", "AutoScroll", 1};
inline constexpr IntKey kTimePlotsGridLines{"Time Plots", "Grid Lines", 1};
inline constexpr IntKey kPlotA{"Time Plots", "PlotA", 0};
inline constexpr IntKey kPlotB{"Time Plots", "PlotB", 1};
inline constexpr IntKey kPlotC{"Time Plots", "PlotC", 2};
inline constexpr IntKey kDefaultMinX{"Time Plots", "DefaultMinX", 0};
inline constexpr IntKey kDefaultMaxX{"Time Plots", "DefaultMaxX", 600};
// Read with DefaultMinX and DefaultMaxX as stored for their defaults.
inline constexpr IntKey kLastMinX{"Time Plots", "LastMinX", 0};
inline constexpr IntKey kLastMaxX{"Time Plots", "LastMaxX", 600};
inline constexpr IntKey kSaveDefaults{"Time Plots", "SaveDefaults", 1};
inline constexpr IntKey kTotalPlots{"Time Plots", "Total Plots", 3};
// DefMinY0..9, DefMaxY0..9 and DefSFY0..9: see display/time_chart_settings.h.

// PortSettings: the counter (deck unit) port and the auxiliary port
inline constexpr IntKey kComPortDu{"PortSettings", "ComPort_DU", 1};
inline constexpr IntKey kBpsDu{"PortSettings", "Bps_DU", 115200};
inline constexpr IntKey kDataBitsDu{"PortSettings", "DataBits_DU", 8};
inline constexpr IntKey kParityDu{"PortSettings", "Parity_DU", 2};
inline constexpr IntKey kStopBitsDu{"PortSettings", "StopBits_DU", 0};
inline constexpr IntKey kFlowControlDu{"PortSettings", "FlowControl_DU", 0};
inline constexpr IntKey kComPortZev{"PortSettings", "ComPort_ZEV", 2};
inline constexpr IntKey kBpsZev{"PortSettings", "Bps_ZEV", 0};
inline constexpr IntKey kDataBitsZev{"PortSettings", "DataBits_ZEV", 0};
inline constexpr IntKey kParityZev{"PortSettings", "Parity_ZEV", 0};
inline constexpr IntKey kStopBitsZev{"PortSettings", "StopBits_ZEV", 0};
inline constexpr IntKey kFlowControlZev{"PortSettings", "FlowControl_ZEV", 0};
// Device paths that replace /dev/ttyS{n-1} when set.
inline constexpr TextKey kDeviceDu{"PortSettings", "Device_DU", ""};
inline constexpr TextKey kDeviceZev{"PortSettings", "Device_ZEV", ""};

// NavSettings
inline constexpr TextKey kSentenceToParse{"NavSettings", "SentenceToParse", ""};
inline constexpr IntKey kLatPos{"NavSettings", "LatPos", 0};
inline constexpr IntKey kLatNsPos{"NavSettings", "LatNSPos", 0};
inline constexpr IntKey kLongPos{"NavSettings", "LongPos", 0};
inline constexpr IntKey kLongEwPos{"NavSettings", "LongEWPos", 0};
inline constexpr IntKey kTimePos{"NavSettings", "TimePos", 0};
// Seconds after which the shown position is marked stale.
inline constexpr IntKey kStaleFixSeconds{"NavSettings", "StaleFixSeconds", 10};

// RemoteControl (UDP)
inline constexpr IntKey kRemotePort{"RemoteControl", "Port", 55123};
inline constexpr TextKey kRemoteBindAddress{"RemoteControl", "BindAddress", "127.0.0.1"};
inline constexpr TextKey kRemoteAllowedHosts{"RemoteControl", "AllowedHosts", ""};

// WebView: the read-only live page, its JSON and its metrics over HTTP, off by default.
// AllowedHosts: addresses, names or subnets (10.0.0.0/24), or * for every host; empty: this
// computer only.
inline constexpr IntKey kWebEnabled{"WebView", "Enabled", 0};
inline constexpr TextKey kWebBindAddress{"WebView", "BindAddress", "127.0.0.1"};
inline constexpr IntKey kWebPort{"WebView", "Port", 55180};
inline constexpr TextKey kWebAllowedHosts{"WebView", "AllowedHosts", ""};
inline constexpr IntKey kWebMaxClients{"WebView", "MaxClients", 16};

// The sections of the CTD calibrations; their coefficients are listed, with their defaults,
// in the tables of instruments/ctd_coefficient_tables.cpp.
inline constexpr const char* kSbe19Section = "TC_Coeff";
inline constexpr const char* kSbe19plusSection = "SBE19plusConfig";
inline constexpr const char* kSbe49Section = "SBE49";
inline constexpr const char* kSbe25Section = "SBE25";
inline constexpr const char* kOs200Section = "OS200Config";

// TC_Coeff (SBE 19) entries that the file header shows
inline constexpr IntKey kTcTempCoeff{"TC_Coeff", "TempCoeff", 0};
inline constexpr IntKey kTcCondCoeff{"TC_Coeff", "CondCoeff", 0};
inline constexpr IntKey kTcPresCoeff{"TC_Coeff", "PresCoeff", 0};
inline constexpr IntKey kTcSbeAnalog{"TC_Coeff", "SBE_Analog", 0};
inline constexpr TextKey kTcSbeFirmwareVersion{"TC_Coeff", "SBEFirmwareVersion", "3.0"};
inline constexpr IntKey kTcCondStandardCalc{"TC_Coeff", "CondStandardCalc", 0};
inline constexpr IntKey kTcLogRawDataToAsciiFile{"TC_Coeff", "LogRawDataToAsciiFile", 0};

// SBE19plusConfig entries that the file header shows
inline constexpr IntKey kSbe19plusOutputFormat{"SBE19plusConfig", "OutputFormat", 0};
inline constexpr IntKey kSbe19plusOutputSal{"SBE19plusConfig", "OutputSal", 0};
inline constexpr IntKey kSbe19plusOutputSv{"SBE19plusConfig", "OutputSV", 0};
inline constexpr IntKey kSbe19plusAnalogInputs{"SBE19plusConfig", "AnalogInputs", 0};
inline constexpr IntKey kSbe19plusLogRawDataToAsciiFile{"SBE19plusConfig", "LogRawDataToAsciiFile",
                                                        0};

// SBE49: the output format the instrument is set to (3 is the recommended one)
inline constexpr IntKey kSbe49OutputFormat{"SBE49", "OUTPUTFORMAT", 3};

// Recent File List: File1 .. File4, the recordings last opened for playback
inline constexpr const char* kRecentFileSection = "Recent File List";

// ExtractStream: the auxiliary frame size range of the stream extraction dialog
inline constexpr IntKey kMinAuxFrame{"ExtractStream", "MinAuxFrame", 80};
inline constexpr IntKey kMaxAuxFrame{"ExtractStream", "MaxAuxFrame", 238};

}  // namespace keys
// Keys that name files and devices: their text is the file system's own bytes (UTF-8 on
// Linux), where every other text is single-byte Windows-1252.
inline bool IsPathKey(std::string_view section, std::string_view key) {
  if (section == keys::kRecentFileSection) return true;
  for (const TextKey& k :
       {keys::kDataDir, keys::kLastDataFileName, keys::kDeviceDu, keys::kDeviceZev}) {
    if (section == k.section && key == k.key) return true;
  }
  return false;
}

}  // namespace vesk
