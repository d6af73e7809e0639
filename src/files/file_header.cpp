// The text header of the .bin and .dat files.

#include "files/file_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/data_file.h"
#include "instruments/ctd_model.h"
#include "instruments/nav_display.h"
#include "seams/clock.h"
#include "seams/settings_keys.h"
#include "seams/settings_store.h"

namespace vesk {
namespace {

void Line(std::string& out, std::string_view text) {
  out += text;
  out += "\r\n";
}

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The user's header with "# " before each of its lines.
std::string CommentedUserHeader(const std::string& text) {
  std::string out = "# ";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    if (c == '\n' || c == '\r') {
      out += "\r\n# ";
    } else {
      out += c;
    }
  }
  return out;
}

// A recording's text header is a few kilobytes; a file without any frame is not copied into
// a header beyond this.
constexpr std::size_t kPlayedHeaderLimit = 1 << 20;

// The played file's header with "# " before each line that does not start with "#" (the
// first included), ending with a line break so the first record starts a line of its own.
std::string CopyPlayedHeader(const std::string& path) {
  std::string out;
  for (const char c : ReadRawHeader(path, kPlayedHeaderLimit)) {
    if ((out.empty() || out.back() == '\n') && c != '#') out += "# ";
    out += c;
  }
  if (!out.empty() && out.back() != '\n') out += "\r\n";
  return out;
}

}  // namespace

std::string BuildPlaybackHeader(const std::tm& now, const std::string& playedPath) {
  std::string out;
  Line(out, "# ___ PROCESSING INFORMATION ___");
  Line(out, std::string("# VESK v") + VESK_VERSION_TEXT);
  Line(out, FormatTime(now, "# Date: %A, %B %d, %Y"));
  Line(out, FormatTime(now, "# Time: %H:%M:%S"));
  out += CopyPlayedHeader(playedPath);
  return out;
}

std::string BuildLiveHeader(const LiveHeaderInputs& in, const SettingsStore& store) {
  using namespace keys;
  const std::tm& now = in.now;
  std::string out;
  const CtdModelEntry* entry = in.ctdEntry;
  const int auxMode = store.Read(kAuxPortMode);
  NavSettings navNow;
  navNow.Load(store);

  Line(out, "# ___  PC DATE-TIME  ___");
  Line(out, "# " + FormatTime(now, "Date: %A, %B %d, %Y"));
  Line(out, FormatTime(now, "# Time: %H:%M:%S"));
  Line(out, "");
  Line(out, kUserHeaderTitle);
  Line(out, CommentedUserHeader(in.userSuppliedFileHeader));
  Line(out, "");
  Line(out, "# ___  VESK SOFTWARE CONFIG  ___");
  Line(out, std::string("# Software_Version: \t") + VESK_VERSION_TEXT);
  Line(out, "# External_Instrument: \t" +
                (entry != nullptr ? std::string(entry->model->name) : std::string("N/A")));
  Line(out, "# Ext_Instr_Serial#: \t" + (entry != nullptr ? entry->serial : std::string("N/A")));
  Line(out, std::string("# Ext_Instr_Link: \t") +
                (in.instrInputViaMux ? "Deck Unit Mux" : "Direct to VESK"));
  Line(out, "# Survey_Lat: \t\t" + Format("%.4f", in.surveyLat));
  Line(out, std::string("# Tunnel_Type: \t\t") + (in.standardTunnel ? "Standard" : "2.5x"));
  Line(out, "# Counter_Constant: \t" + store.Read(kCounterConstant));
  Line(out, std::string("# Aux_Port_Mode: \t") + (auxMode == 1   ? "GPS/NMEA Input"
                                                  : auxMode == 2 ? "CTD Output"
                                                                 : "Not In Use"));
  Line(out, "# Data_Directory: \t" + in.dataDir);
  Line(out, std::string("# File_Naming: \t\t") +
                (in.useDefaultFileNaming ? "Auto Naming" : "Custom Naming"));
  Line(out, "# NAV Configuration:");
  Line(out, "#   Sentence_To_Parse: \t" +
                (navNow.sentenceToParse.empty() ? std::string("None") : navNow.sentenceToParse));
  char positions[160];
  std::snprintf(positions, sizeof positions,
                "#   LatPos: %d, NS: %d, LongPos: %d, LongEWPos: %d, TimePos: %d.", navNow.latPos,
                navNow.latNsPos, navNow.longPos, navNow.longEwPos, navNow.timePos);
  Line(out, positions);
  if (const CtdModel* ctd = FindCtdModel(in.ctdModel); ctd != nullptr && ctd->headerBlock) {
    ctd->headerBlock(out, store, entry != nullptr ? entry->model->name : std::string("N/A"));
  }
  Line(out, "");
  Line(out, store.Read(kVeskEepromData));
  // Readers find the end of a recording's header at its first "~": a user's text, a folder
  // name or a counter text never holds one.
  std::replace(out.begin(), out.end(), '~', '-');
  return out;
}

std::string PlaybackDatName(const std::string& playedPath, const std::tm& tm) {
  std::string name = playedPath;
  const std::size_t slash = name.find_last_of('/');
  if (slash != std::string::npos) name.erase(0, slash + 1);
  name.resize(name.size() >= 4 ? name.size() - 4 : 0);  // the four-character extension
  return name + FormatTime(tm, "_PB_%Y-%m-%d_%H%M%S.dat");
}

}  // namespace vesk
