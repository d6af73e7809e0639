#pragma once
// The document's settings in memory: what a scan's processing reads (`scan`), the ports and
// the rest the windows and the files use.

#include <string>

#include "processing/scan_settings.h"

namespace vesk {

// One serial port's line settings, as stored (codes of CSerialPort).
struct PortSettings {
  int port = 0;
  int bitRate = 0;
  int dataBits = 0;
  int parity = 0;
  int stopBits = 0;
  int flowControl = 0;
  std::string device;  // overrides /dev/ttyS{port-1} when set
};

// The settings in memory: what the scan's processing reads (`scan`) and the rest.
struct DocumentSettings {
  ScanSettings scan;
  bool addHeaderToDatFile = true;
  bool useDefaultFileNaming = true;
  std::string userSuppliedFileHeader;
  std::string eepromData;  // the counter's latest text block
  bool gridAutoScroll = true;
  int binnedMinX = 0;
  int binnedMaxX = 127;
  std::string analogCaption = "ANALOG";
  double analogScale = 1.0;
  PortSettings counterPort;
  PortSettings auxPort;
  int auxPortMode = 0;  // 0 unused, 1 NMEA input, 2 CTD output
  bool enableTx2Zev = false;
  int lowDiskSpaceMb = 150;  // warn below this free space while logging
};

}  // namespace vesk
