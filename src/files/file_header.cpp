// The text header of the .bin and .dat files.

#include "files/file_header.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "files/data_file.h"
#include "instruments/ctd_coefficient_tables.h"
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

void AppendSbe19Block(std::string& out, const SettingsStore& s, const CtdModelEntry* entry) {
  using namespace keys;
  out += "\r\n# -- " + (entry != nullptr ? entry->name + " --" : std::string("N/A --")) + "\r\n";
  Line(out, "# SBE_Firmware: \t\t" + s.Read(kTcSbeFirmwareVersion));
  Line(out, "# SBE_Analogs: \t\t\t" + std::to_string(s.Read(kTcSbeAnalog)));
  Line(out, std::string("# Conductivity_Calc: \t\t") +
                (s.Read(kTcCondStandardCalc) != 0 ? "Narrow Range" : "Standard"));
  Line(out, std::string("# Log_Raw_Data_To_Ascii_File: \t") +
                (s.Read(kTcLogRawDataToAsciiFile) != 0 ? "YES" : "NO"));
  const CoefficientTable<Sbe19Coefficients>& table = Sbe19CoefficientTable();
  const std::vector<CoefficientText> texts = table.Texts();
  auto line = [&](const char* first, std::size_t count) {
    Line(out, CoefficientHeaderLine(s, table.section, texts, first, count));
  };
  if (s.Read(kTcTempCoeff) == 0) {
    line("TempCoeff_G", 5);
  } else {
    line("TempCoeff_A", 5);
  }
  if (s.Read(kTcCondCoeff) == 0) {
    line("CondCoeff_G", 6);
  } else {
    line("CondCoeff_A", 6);
  }
  if (s.Read(kTcPresCoeff) == 0) {
    line("PresCoeff_PA0", 3);
  } else {
    line("PresCoeff_M", 2);
  }
}

void AppendSbe19plusBlock(std::string& out, const SettingsStore& s, const CtdModelEntry* entry) {
  using namespace keys;
  out += "\r\n# -- " + (entry != nullptr ? entry->name + " --" : std::string("N/A --")) + "\r\n";
  const int format = s.Read(kSbe19pOutputFormat);
  Line(out, std::string("# OUTPUTFORMAT: \t\t") + (format == 0 ? "0" : format == 1 ? "3" : "?"));
  if (format == 3) {
    Line(out, std::string("# OUTPUT_SAL: \t\t\t") + (s.Read(kSbe19pOutputSal) != 0 ? "YES" : "NO"));
    Line(out, std::string("# OUTPUT_SV: \t\t\t") + (s.Read(kSbe19pOutputSv) != 0 ? "YES" : "NO"));
  }
  Line(out, "# SBE_ANALOGS: \t\t\t" + std::to_string(s.Read(kSbe19pAnalogInputs)));
  Line(out, std::string("# Log_Raw_Data_To_Ascii_File: \t") +
                (s.Read(kSbe19pLogRawDataToAsciiFile) != 0 ? "YES" : "NO"));
  const CoefficientTable<SeaBirdCoefficients>& table = Sbe19plusCoefficientTable();
  const std::vector<CoefficientText> texts = table.Texts();
  Line(out, CoefficientHeaderLine(s, table.section, texts, "A0", 4));
  Line(out, CoefficientHeaderLine(s, table.section, texts, "G", 6));
  Line(out, CoefficientHeaderLine(s, table.section, texts, "PA0", 12));
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
  const int model = in.ctdModel;
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
  Line(out, "# External_Instrument: \t" + (entry != nullptr ? entry->name : std::string("N/A")));
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
  if (model == CtdCatalogue::kSbe19) AppendSbe19Block(out, store, entry);
  if (model == CtdCatalogue::kSbe19plus) AppendSbe19plusBlock(out, store, entry);
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
