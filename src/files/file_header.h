#pragma once
// The text header of the .bin and .dat files: the live form a scan writes (its settings and
// the counter's text) and the playback form (the played file's header, copied).

#include <ctime>
#include <string>

#include "instruments/ctd_catalogue.h"

namespace vesk {

class SettingsStore;

// The title line of the user's own header block.
inline constexpr const char* kUserHeaderTitle = "# ___  USER SUPPLIED HEADER  ___";

// What the live header shows besides what it reads from the store.
struct LiveHeaderInputs {
  std::tm now{};
  std::string userSuppliedFileHeader;
  int ctdModel = 0;
  const CtdModelEntry* ctdEntry = nullptr;  // the model's catalogue entry, if it has one
  bool instrInputViaMux = false;
  double surveyLat = 0;
  bool standardTunnel = true;
  std::string dataDir;
  bool useDefaultFileNaming = true;
};

std::string BuildLiveHeader(const LiveHeaderInputs& in, const SettingsStore& store);
// The processing information and the played file's header, each line commented.
std::string BuildPlaybackHeader(const std::tm& now, const std::string& playedPath);
// The .dat name of a playback of `playedPath` at `tm` ("cast01_PB_2005-03-05_140307.dat").
std::string PlaybackDatName(const std::string& playedPath, const std::tm& tm);

}  // namespace vesk
