// The decimal instruments replayed from their line logs (tests/data/ctd_lines), and the
// decoder's own rules.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "instruments/ctd_model.h"
#include "instruments/ctd_test_support.h"
#include "test_support/locale.h"

namespace vesk {
namespace {

using test::DecoderRig;
using test::SameRecord;

std::string Unescaped(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
  }
  return out;
}

// Each log feeds one decoder line by line ("model N" and "set SECTION KEY VALUE" change its
// settings on the way); every line is logged as it came, and the record after it is the one
// the log approved.
TEST(DecimalInstruments, LineLogsReplay) {
  int logs = 0;
  for (const auto& file :
       std::filesystem::directory_iterator(VESK_SOURCE_DIR "/tests/data/ctd_lines")) {
    SCOPED_TRACE(file.path().filename().string());
    ++logs;
    DecoderRig rig(CtdCode::kMicroCtd);
    int model = 0;
    std::ifstream in(file.path());
    std::string row;
    for (int number = 1; std::getline(in, row); ++number) {
      if (row.empty() || row[0] == '#') continue;
      std::vector<std::string> field;
      std::stringstream fields(row);
      for (std::string f; std::getline(fields, f, '\t');) field.push_back(f);
      SCOPED_TRACE("line " + std::to_string(number) + ": " + row);
      if (field[0] == "model") {
        model = std::stoi(field[1]);
        rig.Select(model);
        rig.decoder.StartScan();
      } else if (field[0] == "set") {
        rig.Set(field[1].c_str(), field[2].c_str(), field[3].c_str());
      } else {
        ASSERT_EQ(field.size(), 3u);
        rig.Select(model, field[0] == "mux");
        const std::string line = Unescaped(field[1]);
        EXPECT_EQ(rig.Decode(line), line);
        const CtdSample& s = rig.Sample();
        char record[200];
        std::snprintf(record, sizeof record, "%.9g %.9g %.9g %.9g %.9g", s.conductivity,
                      s.temperature, s.pressure, s.analog, s.salinity);
        EXPECT_EQ(record, field[2]);
      }
    }
  }
  EXPECT_GE(logs, 5);
}

TEST(DecimalInstruments, NumbersReadInTheCLocaleWhateverTheProcessLocale) {
  test::DecimalCommaLocale locale;
  if (locale.Name().empty()) GTEST_SKIP() << "no locale with a decimal comma available";
  DecoderRig rig(1);
  {
    test::ScopedLocale scoped(locale.Name());
    ASSERT_TRUE(scoped.Ok());
    rig.Decode("12.5 3.25 100.75 1");
  }
  EXPECT_EQ(rig.Sample().temperature, 12.5);
  EXPECT_EQ(rig.Sample().pressure, 100.75);
}

TEST(Dispatcher, UndefinedModelWarnsOncePerScan) {
  DecoderRig rig(999);  // no model has this code (a new model takes the next free one)
  for (int i = 0; i < 5; ++i) rig.Decode("10 4.2 15 1");
  EXPECT_EQ(rig.dialogs.MessageCount(), 1);
  EXPECT_EQ(rig.decoder.Warnings().Count(kUndefinedInstrument), 5);
  EXPECT_TRUE(SameRecord(rig.Sample(), CtdSample{}));
  rig.decoder.StartScan();
  rig.Decode("10 4.2 15 1");
  EXPECT_EQ(rig.dialogs.MessageCount(), 2);
  rig.Select(-1);
  rig.Decode("10 4.2 15 1");
  EXPECT_EQ(rig.dialogs.MessageCount(), 2);
}

TEST(Dispatcher, StartOfScanClearsTheRecord) {
  DecoderRig rig(1);
  rig.Decode("15 4.2914 10 1");
  rig.decoder.StartScan();
  EXPECT_TRUE(SameRecord(rig.Sample(), CtdSample{}));
}

}  // namespace
}  // namespace vesk
