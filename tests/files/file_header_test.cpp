// The text header of the .bin and .dat files, live and playback forms, and the playback name.

#include "files/file_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "acquisition/vesk_doc.h"
#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

// The header a document built from the test's settings writes.
std::string HeaderOf(Pipeline& p) {
  HeadlessWindows windows;
  CVESKDoc doc(p.store, windows, p.dialogs, p.clock);
  return doc.BuildFileHeader();
}

std::vector<std::string> HeaderLines(Pipeline& p) {
  const std::string header = HeaderOf(p);
  EXPECT_EQ(header.substr(header.size() - 2), "\r\n");
  EXPECT_EQ(header.find('\0'), std::string::npos);
  return SplitLines(header);
}

TEST(LiveHeader, DefaultsLineByLine) {
  Pipeline p;
  p.store.WriteString("Settings", "DataDir", "/data/casts");
  const std::vector<std::string> expected = {
      "# ___  PC DATE-TIME  ___",
      "# Date: Saturday, March 05, 2005",
      "# Time: 14:03:07",
      "",
      "# ___  USER SUPPLIED HEADER  ___",
      "# ",
      "",
      "# ___  VESK SOFTWARE CONFIG  ___",
      "# Software_Version: \t1.20",
      "# External_Instrument: \tMicro CTD (AML)",
      "# Ext_Instr_Serial#: \tn/a",
      "# Ext_Instr_Link: \tDirect to VESK",
      "# Survey_Lat: \t\t99.9999",
      "# Tunnel_Type: \t\tStandard",
      "# Counter_Constant: \t0.0",
      "# Aux_Port_Mode: \tNot In Use",
      "# Data_Directory: \t/data/casts/",
      "# File_Naming: \t\tAuto Naming",
      "# NAV Configuration:",
      "#   Sentence_To_Parse: \tNone",
      "#   LatPos: 0, NS: 0, LongPos: 0, LongEWPos: 0, TimePos: 0.",
      "",
      "",
  };
  EXPECT_EQ(HeaderLines(p), expected);
}

TEST(LiveHeader, SettingsShownInTheHeader) {
  struct Case {
    const char* name;
    std::function<void(SettingsStore&)> setup;
    std::vector<std::string> lines;  // each must appear, in this order, as whole lines
  };
  const Case cases[] = {
      {"two-line user header",
       [](SettingsStore& s) { s.Write(keys::kUserSuppliedFileHeader, "Cruise 12\r\nStation 7"); },
       {"# ___  USER SUPPLIED HEADER  ___", "# Cruise 12", "# Station 7", "",
        "# ___  VESK SOFTWARE CONFIG  ___"}},
      {"a tilde in the user header (readers end the header at the first one)",
       [](SettingsStore& s) { s.Write(keys::kUserSuppliedFileHeader, "Stn ~7"); },
       {"# Stn -7"}},
      {"user header with bare line feeds",
       [](SettingsStore& s) { s.Write(keys::kUserSuppliedFileHeader, "a\nb\n\nc"); },
       {"# a", "# b", "# ", "# c", ""}},
      {"mux, wide tunnel, custom naming",
       [](SettingsStore& s) {
         s.Write(keys::kInstrInputViaMux, 1);
         s.Write(keys::kStandardTunnel, 0);
         s.Write(keys::kUseDefaultFileNaming, 0);
       },
       {"# Ext_Instr_Link: \tDeck Unit Mux", "# Tunnel_Type: \t\t2.5x",
        "# File_Naming: \t\tCustom Naming"}},
      {"counter constant as stored, latitude with four decimals",
       [](SettingsStore& s) {
         s.Write(keys::kCounterConstant, "3.2500e-006");
         s.Write(keys::kSurveyLat, "-45.12346");
       },
       {"# Survey_Lat: \t\t-45.1235", "# Counter_Constant: \t3.2500e-006"}},
      {"aux port NMEA",
       [](SettingsStore& s) { s.Write(keys::kAuxPortMode, 1); },
       {"# Aux_Port_Mode: \tGPS/NMEA Input"}},
      {"aux port CTD out",
       [](SettingsStore& s) { s.Write(keys::kAuxPortMode, 2); },
       {"# Aux_Port_Mode: \tCTD Output"}},
      {"aux port other",
       [](SettingsStore& s) { s.Write(keys::kAuxPortMode, 7); },
       {"# Aux_Port_Mode: \tNot In Use"}},
      {"navigation sentence and positions",
       [](SettingsStore& s) {
         s.Write(keys::kSentenceToParse, "$GPGGA");
         s.Write(keys::kLatPos, 2);
         s.Write(keys::kLatNsPos, 3);
         s.Write(keys::kLongPos, 4);
         s.Write(keys::kLongEwPos, 5);
         s.Write(keys::kTimePos, 1);
       },
       {"#   Sentence_To_Parse: \t$GPGGA",
        "#   LatPos: 2, NS: 3, LongPos: 4, LongEWPos: 5, TimePos: 1."}},
      {"instrument and serial",
       [](SettingsStore& s) {
         s.Write(keys::kModelCtd, 1);
         s.Write(keys::kCtdSerial, "0912");
       },
       {"# External_Instrument: \tSBE 911plus CTD (Sea-Bird)", "# Ext_Instr_Serial#: \t0912"}},
      {"model without a catalogue entry",
       [](SettingsStore& s) {
         s.Write(keys::kModelCtd, 6);
         s.Write(keys::kCtdSerial, "0912");
       },
       {"# External_Instrument: \tN/A", "# Ext_Instr_Serial#: \tN/A"}},
      {"EEPROM data last",
       [](SettingsStore& s) { s.Write(keys::kVeskEepromData, "EEPROM 1 2 3"); },
       {"#   LatPos: 0, NS: 0, LongPos: 0, LongEWPos: 0, TimePos: 0.", "", "EEPROM 1 2 3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline p;
    c.setup(p.store);
    const auto lines = HeaderLines(p);
    auto at = lines.begin();
    for (const std::string& want : c.lines) {
      at = std::find(at, lines.end(), want);
      ASSERT_NE(at, lines.end()) << "missing or out of order: '" << want << "'";
      ++at;
    }
  }
}

// The lines after the navigation positions up to the empty line before the EEPROM text.
std::vector<std::string> CtdBlock(Pipeline& p) {
  const auto lines = HeaderLines(p);
  auto start = std::find_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind("#   LatPos:", 0) == 0; });
  EXPECT_NE(start, lines.end());
  if (start == lines.end() || lines.size() < 2) return {};
  return std::vector<std::string>(start + 1, lines.end() - 2);
}

TEST(LiveHeader, Sbe19Block) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, const char*>> texts;
    std::vector<std::pair<const char*, int>> ints;
    std::vector<std::string> block;
  };
  const Case cases[] = {
      {"defaults",
       {},
       {},
       {"", "# -- SBE 19 CTD (Sea-Bird) --", "# SBE_Firmware: \t\t3.0", "# SBE_Analogs: \t\t\t0",
        "# Conductivity_Calc: \t\tStandard", "# Log_Raw_Data_To_Ascii_File: \tNO",
        "# TC_G: 0.0, TC_H: 0.0, TC_I: 0.0, TC_J: 0.0, TC_F0G: 1000.0",
        "# CC_G: 0.0, CC_H: 0.0, CC_I: 0.0, CC_J: 0.0, CC_CPcor: -9.570000e-008, CC_CTcor: "
        "3.250000e-006",
        "# PC_PA0: 0.0, PC_PA1: 0.0, PC_PA2: 0.0"}},
      {"G sets and quadratic pressure",
       {{"SBEFirmwareVersion", "4.1b"},
        {"TempCoeff_G", "4.1e-3"},
        {"TempCoeff_H", "5.2e-4"},
        {"TempCoeff_I", "-1.5e-6"},
        {"TempCoeff_J", "2e-6"},
        {"TempCoeff_F0G", "2500.0"},
        {"CondCoeff_G", "-4.0"},
        {"CondCoeff_H", "0.5"},
        {"CondCoeff_I", "-1e-3"},
        {"CondCoeff_J", "5e-5"},
        {"CondCoeff_CpcorG", "-9.6e-8"},
        {"CondCoeff_Ctcor", "3.2e-6"},
        {"PresCoeff_PA0", "-3.5"},
        {"PresCoeff_PA1", "0.015"},
        {"PresCoeff_PA2", "1e-9"}},
       {{"SBE_Analog", 2}, {"CondStandardCalc", 1}, {"LogRawDataToAsciiFile", 1}},
       {"", "# -- SBE 19 CTD (Sea-Bird) --", "# SBE_Firmware: \t\t4.1b", "# SBE_Analogs: \t\t\t2",
        "# Conductivity_Calc: \t\tNarrow Range", "# Log_Raw_Data_To_Ascii_File: \tYES",
        "# TC_G: 4.1e-3, TC_H: 5.2e-4, TC_I: -1.5e-6, TC_J: 2e-6, TC_F0G: 2500.0",
        "# CC_G: -4.0, CC_H: 0.5, CC_I: -1e-3, CC_J: 5e-5, CC_CPcor: -9.6e-8, CC_CTcor: 3.2e-6",
        "# PC_PA0: -3.5, PC_PA1: 0.015, PC_PA2: 1e-9"}},
      {"A sets and linear pressure",
       {{"TempCoeff_A", "1"},
        {"TempCoeff_B", "2"},
        {"TempCoeff_C", "3"},
        {"TempCoeff_D", "4"},
        {"TempCoeff_F0A", "5"},
        {"CondCoeff_A", "6"},
        {"CondCoeff_B", "7"},
        {"CondCoeff_C", "8"},
        {"CondCoeff_D", "9"},
        {"CondCoeff_M", "10"},
        {"PresCoeff_M", "11"},
        {"PresCoeff_B", "12"}},
       {{"TempCoeff", 1}, {"CondCoeff", 1}, {"PresCoeff", 1}},
       {"", "# -- SBE 19 CTD (Sea-Bird) --", "# SBE_Firmware: \t\t3.0", "# SBE_Analogs: \t\t\t0",
        "# Conductivity_Calc: \t\tStandard", "# Log_Raw_Data_To_Ascii_File: \tNO",
        "# TC_A: 1, TC_B: 2, TC_C: 3, TC_D: 4, TC_F0A: 5",
        "# CC_A: 6, CC_B: 7, CC_C: 8, CC_D: 9, CC_M: 10, CC_CPcor: -9.570000e-008",
        "# PC_M: 11, PC_B: 12"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline p;
    p.store.Write(keys::kModelCtd, CtdCatalogue::kSbe19);
    for (const auto& [key, value] : c.texts) p.store.WriteString("TC_Coeff", key, value);
    for (const auto& [key, value] : c.ints) p.store.WriteInt("TC_Coeff", key, value);
    EXPECT_EQ(CtdBlock(p), c.block);
  }
}

TEST(LiveHeader, Sbe19plusBlock) {
  struct Case {
    const char* name;
    std::vector<std::pair<const char*, int>> ints;
    std::vector<std::string> head;  // the block up to the coefficient lines
  };
  const std::vector<std::string> coefficients = {
      "# A0: 1.5, A1: 0.0, A2: 0.0, A3: 0.0",
      "# G: 0.0, H: 0.0, I: 0.0, J: 0.0, CPcor: -9.5700e-008, CTcor: 3.2500e-006",
      "# PA0: 0.0, PA1: 0.0, PA2: 0.0, PTCA0: 0.0, PTCA1: 0.0, PTCA2: 0.0, PTCB0: 0.0, "
      "PTCB1: 0.0, PTCB2: 0.0, PTEMPA0: 0.0, PTEMPA1: 0.0, PTEMPA2: 2.5"};
  const Case cases[] = {
      {"format 0",
       {},
       {"", "# -- SBE 19plus CTD (Sea-Bird) --", "# OUTPUTFORMAT: \t\t0", "# SBE_ANALOGS: \t\t\t0",
        "# Log_Raw_Data_To_Ascii_File: \tNO"}},
      {"format 1 prints 3",
       {{"OutputFormat", 1}, {"AnalogInputs", 4}, {"LogRawDataToAsciiFile", 1}},
       {"", "# -- SBE 19plus CTD (Sea-Bird) --", "# OUTPUTFORMAT: \t\t3", "# SBE_ANALOGS: \t\t\t4",
        "# Log_Raw_Data_To_Ascii_File: \tYES"}},
      {"format 3 adds salinity and sound velocity",
       {{"OutputFormat", 3}, {"OutputSal", 1}},
       {"", "# -- SBE 19plus CTD (Sea-Bird) --", "# OUTPUTFORMAT: \t\t?", "# OUTPUT_SAL: \t\t\tYES",
        "# OUTPUT_SV: \t\t\tNO", "# SBE_ANALOGS: \t\t\t0", "# Log_Raw_Data_To_Ascii_File: \tNO"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline p;
    p.store.Write(keys::kModelCtd, CtdCatalogue::kSbe19plus);
    p.store.WriteString("SBE19plusConfig", "A0", "1.5");
    p.store.WriteString("SBE19plusConfig", "PTEMPA2", "2.5");
    for (const auto& [key, value] : c.ints) p.store.WriteInt("SBE19plusConfig", key, value);
    std::vector<std::string> block = c.head;
    block.insert(block.end(), coefficients.begin(), coefficients.end());
    EXPECT_EQ(CtdBlock(p), block);
  }
}

TEST(LiveHeader, NoCtdBlockForOtherModels) {
  for (int model : {0, 1, 2, 3, 6, 7, 8}) {
    SCOPED_TRACE(model);
    Pipeline p;
    p.store.Write(keys::kModelCtd, model);
    EXPECT_TRUE(CtdBlock(p).empty());
  }
}

TEST(PlaybackHeader, CopiesThePlayedFilesHeader) {
  struct Case {
    const char* name;
    const char* played;  // nullptr: no such file
    std::string copied;
  };
  const Case cases[] = {
      {"live header of a recording", "# ___  PC DATE-TIME  ___\r\n# Time: 1\r\n\r\nEEPROM\r\n~L~*",
       "# ___  PC DATE-TIME  ___\r\n# Time: 1\r\n# \r\n# EEPROM\r\n"},
      {"without any tilde: copied whole, every line commented and ended", "one\ntwo\n#three",
       "# one\n# two\n#three\r\n"},
      {"line feed at the end", "x\n", "# x\n"},
      {"stops at the first tilde", "a~b\nc", "# a\r\n"},
      {"missing file", nullptr, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pipeline p;
    const std::string played = p.dir / "played.bin";
    if (c.played) WriteFile(played, c.played);
    EXPECT_EQ(BuildPlaybackHeader(p.clock.LocalTime(), played),
              "# ___ PROCESSING INFORMATION ___\r\n# VESK v1.20\r\n"
              "# Date: Saturday, March 05, 2005\r\n# Time: 14:03:07\r\n" +
                  c.copied);
  }
}

TEST(PlaybackName, FromThePlayedFileAndTheTime) {
  const std::tm tm = TestTime();
  struct Case {
    const char* played;
    const char* name;
  };
  const Case cases[] = {
      {"any/dir/cast01.bin", "cast01_PB_2005-03-05_140307.dat"},
      {"cast01.bin", "cast01_PB_2005-03-05_140307.dat"},
      {"/abs/VESK_2005-03-05_120000.bin", "VESK_2005-03-05_120000_PB_2005-03-05_140307.dat"},
      {"dir.with.dots/a b.bin", "a b_PB_2005-03-05_140307.dat"},
  };
  for (const Case& c : cases) EXPECT_EQ(PlaybackDatName(c.played, tm), c.name);
}

}  // namespace
}  // namespace vesk::test
