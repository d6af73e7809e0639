// The settings store: real numbers read like C atof whatever the process locale, and the
// INI-file backend.

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "app/qsettings_store.h"
#include "seams/memory_settings_store.h"
#include "test_support/locale.h"
#include "test_support/pipeline.h"
#include "test_support/temp_dir.h"

namespace vesk::test {
namespace {

struct RealCase {
  const char* text;
  double value;
};

const RealCase kRealCases[] = {
    {" +3.5e-1", 0.35},
    {"abc", 0},
    {"12abc", 12},
    {"1,5", 1},  // in any locale
    {"3.2500e-006", 3.25e-6},
    {"-9.570000e-008", -9.57e-8},
    {".5", 0.5},
    {"+", 0},
    {"1e", 1},
    {"  -0.0", 0},
};

// Reals read like C atof, and written so that they read back the same, whatever the locale.
void CheckReals() {
  for (const auto& c : kRealCases) {
    MemorySettingsStore store;
    store.WriteString("Settings", "X", c.text);
    EXPECT_DOUBLE_EQ(store.ReadReal("Settings", "X", "42"), c.value) << "'" << c.text << "'";
    EXPECT_DOUBLE_EQ(store.ReadReal("Settings", "X", 42.0), c.value) << "'" << c.text << "'";
  }
  std::size_t used = 0;
  EXPECT_EQ(ParseFloat32(" +3.5e-1 rest", &used), 0.35f);
  EXPECT_EQ(used, 8u);
  EXPECT_EQ(ParseFloat32("none", &used), 0.0f);
  EXPECT_EQ(used, 0u);
  const std::pair<double, const char*> written[] = {
      {2.25, "2.25"}, {3.25e-6, "3.25e-06"}, {0, "0"}, {-45.123456, "-45.123456"}};
  for (const auto& [value, text] : written) {
    MemorySettingsStore store;
    store.WriteReal("Settings", "X", value);
    EXPECT_EQ(store.ReadString("Settings", "X", ""), text);
    EXPECT_EQ(store.ReadReal("Settings", "X", 0.0), value);
  }
}

TEST(SettingsReal, ReadLikeAtofAndWrittenToReadBackInAnyLocale) {
  CheckReals();
  DecimalCommaLocale locale;
  if (locale.Name().empty()) GTEST_SKIP() << "no locale with a decimal comma available";
  ScopedLocale scoped(locale.Name());
  ASSERT_TRUE(scoped.Ok());
  ASSERT_EQ(std::atof("1,5"), 1.5) << locale.Name() << " should read a decimal comma";
  CheckReals();
}

TEST(QSettingsStore, RoundTripThroughAnIniFile) {
  TempDir dir;
  const std::string ini = dir / "vesk.ini";
  const std::string twoLines = "Cruise 12, leg 3\r\nStation 7; cast 2";
  const std::string latin1 = std::string("Temp \xB0") + "C";
  {
    QSettingsStore store(ini);
    store.Write(keys::kComPortDu, 3);
    store.Write(keys::kBufferLength, 7200);
    store.Write(keys::kUserSuppliedFileHeader, twoLines);
    store.Write(keys::kAnalogCaption, latin1);
    store.WriteString("Settings", "Commas", "a,b,,c");
    store.WriteString("Settings", "Spaces", "  padded  ");
    store.Write(keys::kCounterConstant, "3.2500e-006");
    store.WriteReal("Settings", "SurveyLat", 45.5);
  }
  QSettingsStore store(ini);
  EXPECT_EQ(store.Read(keys::kComPortDu), 3);
  EXPECT_EQ(store.Read(keys::kBufferLength), 7200);
  EXPECT_EQ(store.Read(keys::kUserSuppliedFileHeader), twoLines);
  EXPECT_EQ(store.Read(keys::kAnalogCaption), latin1);
  EXPECT_EQ(store.ReadString("Settings", "Commas", ""), "a,b,,c");
  EXPECT_EQ(store.ReadString("Settings", "Spaces", ""), "  padded  ");
  EXPECT_EQ(store.Read(keys::kCounterConstant), "3.2500e-006");
  EXPECT_DOUBLE_EQ(store.ReadReal(keys::kCounterConstant), 3.25e-6);
  EXPECT_DOUBLE_EQ(store.ReadReal(keys::kSurveyLat), 45.5);
  EXPECT_EQ(store.ReadInt("Settings", "SurveyLat", 9), 45);  // an integer read from text
}

TEST(QSettingsStore, HandWrittenIniFile) {
  TempDir dir;
  const std::string ini = dir / "vesk.ini";
  WriteFile(ini,
            "[Settings]\n"
            "FirmwareVer=2.30\n"
            "CounterConstant=3.2500e-006\n"
            "UserSuppliedFileHeader=\"Cruise 12, leg 3\"\n"
            "DataDir=/data/casts\n"
            "[PortSettings]\n"
            "ComPort_DU=4\n"
            "Bps_DU=38400\n"
            "[Time%20Plots]\n"
            "BufferLength=10\n"
            "[MEP%20Grid]\n"
            "MaxMepLength=250\n");
  QSettingsStore store(ini);
  HeadlessWindows windows;
  ConsoleDialogs dialogs(true, true);
  FixedClock clock(TestTime());
  CVESKDoc doc(store, windows, dialogs, clock);
  EXPECT_DOUBLE_EQ(doc.Settings().scan.firmwareVersion, 2.30);
  EXPECT_DOUBLE_EQ(doc.Settings().scan.counterScale, 3.25e-6 / kCounterReferenceConstant);
  EXPECT_EQ(doc.Settings().userSuppliedFileHeader, "Cruise 12, leg 3");
  EXPECT_EQ(doc.DataDirectory(), "/data/casts/");
  EXPECT_EQ(doc.Settings().counterPort.port, 4);
  EXPECT_EQ(doc.Settings().counterPort.bitRate, 38400);
  EXPECT_EQ(doc.Settings().scan.bufferLength, 10);
  EXPECT_EQ(doc.Settings().scan.maxMepLength, 250);
}

TEST(QSettingsStore, ReadingNeverCreatesTheFile) {
  TempDir dir;
  const std::string ini = dir / "absent.ini";
  {
    QSettingsStore store(ini);
    HeadlessWindows windows;
    ConsoleDialogs dialogs(true, true);
    FixedClock clock(TestTime());
    CVESKDoc doc(store, windows, dialogs, clock);
    EXPECT_EQ(doc.Settings().scan.maxMepLength, 1000);
  }
  EXPECT_EQ(ReadFile(ini), "<missing>");
}

}  // namespace
}  // namespace vesk::test
