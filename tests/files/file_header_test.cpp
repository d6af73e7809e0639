// The text header of the .bin and .dat files, live and playback forms, and the playback name.

#include "files/file_header.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "acquisition/vesk_doc.h"
#include "test_support/pipeline.h"

namespace vesk::test {
namespace {

// The header lines a document writes with these "Section/Key=value" settings.
std::vector<std::string> HeaderLines(const std::vector<std::string>& settings) {
  Pipeline p;
  for (const std::string& kv : settings) {
    const std::size_t slash = kv.find('/'), eq = kv.find('=');
    p.store.WriteString(kv.substr(0, slash), kv.substr(slash + 1, eq - slash - 1),
                        kv.substr(eq + 1));
  }
  HeadlessWindows windows;
  CVESKDoc doc(p.store, windows, p.dialogs, p.clock);
  const std::string header = doc.BuildFileHeader();
  EXPECT_EQ(header.substr(header.size() - 2), "\r\n");
  EXPECT_EQ(header.find('\0'), std::string::npos);
  return SplitLines(header);
}

// `settings` and "TC_Coeff/<key>=<n>" for the keys, n counting from 1.
std::vector<std::string> Numbered(std::vector<std::string> settings,
                                  std::initializer_list<const char*> keys) {
  int n = 0;
  for (const char* key : keys)
    settings.push_back("TC_Coeff/" + std::string(key) + "=" + std::to_string(++n));
  return settings;
}

TEST(LiveHeader, SettingsShownInTheHeader) {
  struct Case {
    const char* name;
    std::vector<std::string> settings;
    std::vector<std::string> lines;  // each must appear, in this order, as whole lines
    bool block = false;              // and one right after the other
  };
  const Case cases[] = {
      {"two-line user header",
       {"Settings/UserSuppliedFileHeader=Cruise 12\r\nStation 7"},
       {"# ___  USER SUPPLIED HEADER  ___", "# Cruise 12", "# Station 7", "",
        "# ___  VESK SOFTWARE CONFIG  ___"},
       true},
      {"user header with bare line feeds and a tilde (readers end a header at the first one)",
       {"Settings/UserSuppliedFileHeader=a\nb~\n\nc"},
       {"# a", "# b-", "# ", "# c", ""},
       true},
      {"EEPROM data last",
       {"Settings/VeskEepromData=EEPROM 1 2 3"},
       {"#   LatPos: 0, NS: 0, LongPos: 0, LongEWPos: 0, TimePos: 0.", "", "EEPROM 1 2 3"},
       true},
      {"SBE 19 G sets and quadratic pressure",
       Numbered(
           {"Settings/Model_CTD=4", "TC_Coeff/SBEFirmwareVersion=4.1b", "TC_Coeff/SBE_Analog=2",
            "TC_Coeff/CondStandardCalc=1", "TC_Coeff/LogRawDataToAsciiFile=1"},
           {"TempCoeff_G", "TempCoeff_H", "TempCoeff_I", "TempCoeff_J", "TempCoeff_F0G",
            "CondCoeff_G", "CondCoeff_H", "CondCoeff_I", "CondCoeff_J", "CondCoeff_CpcorG",
            "CondCoeff_Ctcor", "PresCoeff_PA0", "PresCoeff_PA1", "PresCoeff_PA2"}),
       {"# -- SBE 19 CTD (Sea-Bird) --", "# SBE_Firmware: \t\t4.1b", "# SBE_Analogs: \t\t\t2",
        "# Conductivity_Calc: \t\tNarrow Range", "# Log_Raw_Data_To_Ascii_File: \tYES",
        "# TC_G: 1, TC_H: 2, TC_I: 3, TC_J: 4, TC_F0G: 5",
        "# CC_G: 6, CC_H: 7, CC_I: 8, CC_J: 9, CC_CPcor: 10, CC_CTcor: 11",
        "# PC_PA0: 12, PC_PA1: 13, PC_PA2: 14", "", ""},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto lines = HeaderLines(c.settings);
    auto at = lines.begin();
    for (const std::string& want : c.lines) {
      const auto found = std::find(at, lines.end(), want);
      ASSERT_NE(found, lines.end()) << "missing or out of order: '" << want << "'";
      EXPECT_TRUE(!c.block || want == c.lines.front() || found == at) << "not next: " << want;
      at = found + 1;
    }
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

}  // namespace
}  // namespace vesk::test
