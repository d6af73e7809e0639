// The value, statistics and folder dialogs: what each refuses with which text, what OK stores
// in the settings and the document, the confirmation before the counter constant changes, the
// statistics ranges from the cumulative bins, and the folder chooser's checks.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <filesystem>

#include "gui/view_test_support.h"
#include "test_support/temp_dir.h"
#include "ui/dialogs/data_file_naming_dlg.h"
#include "ui/dialogs/select_folder_dialog.h"
#include "ui/dialogs/statistic_analysis_dlg.h"
#include "ui/dialogs/value_dialogs.h"

namespace vesk {
namespace {

using test::RecordingPrompts;
using test::TempDir;
using test::TestDoc;

class DialogTest : public ::testing::Test {
 protected:
  TestDoc t;
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
};

TEST(ValueChecks, WindowBoundsSurveyLatitudeCounterConstantFirmwareAndMepLength) {
  EXPECT_NE(ValidateWindowBounds(10, 10), "");
  EXPECT_NE(ValidateWindowBounds(11, 10), "");
  EXPECT_EQ(ValidateWindowBounds(0, 127), "");
  EXPECT_NE(ValidateWindowBounds(0, 128), "");
  EXPECT_NE(ValidateWindowBounds(-1, 5), "");
  for (const char* text : {"90", "-90", "45.1234", " 12.5 ", "+3", "-.5"})
    EXPECT_EQ(ValidateSurveyLat(text), "") << text;
  for (const char* text : {"91", "-90.0001", "99.9999", "", "abc", "12,5", "12.5N", "."})
    EXPECT_NE(ValidateSurveyLat(text), "") << text;
  EXPECT_EQ(ValidateSurveyLat("91"), "Please enter a number between -90 and 90.");
  EXPECT_EQ(ValidateCounterConstant("").rfind("This value cannot be empty.", 0), 0u);
  EXPECT_EQ(ValidateCounterConstant("   "), ValidateCounterConstant(""));
  EXPECT_EQ(ValidateCounterConstant("3.2500e-006"), "");
  EXPECT_NE(ValidateFirmwareVersion("v2"), "");
  EXPECT_EQ(ValidateMaxMepLength(1000), "");
  EXPECT_NE(ValidateMaxMepLength(0), "");
  EXPECT_NE(ValidateMaxMepLength(1001), "");
}

TEST_F(DialogTest, FirmwareAndHeaderAreStored) {
  // The version the counter reported is offered.
  doc.ChangeSettings([](DocumentSettings& s) { s.eepromData = "VESK VERSION: 2.31\r\nSN: 4\r\n"; });
  CFirmwareVersionDlg firmware(doc);
  firmware.SetPrompts(prompts);
  EXPECT_EQ(firmware.VersionField()->text(), "2.25");
  firmware.findChild<QPushButton*>("useReportedVersion")->click();
  firmware.accept();
  EXPECT_EQ(doc.Store().Read(keys::kFirmwareVer), "2.31");
  EXPECT_DOUBLE_EQ(doc.Settings().scan.firmwareVersion, 2.31);

  CUserHeaderDlg header(doc);
  header.HeaderField()->setPlainText("Cruise AB-26\nStation 4\nCast 2");
  header.accept();
  EXPECT_EQ(doc.Store().Read(keys::kUserSuppliedFileHeader), "Cruise AB-26\nStation 4\nCast 2");
  EXPECT_EQ(doc.Settings().userSuppliedFileHeader, "Cruise AB-26\nStation 4\nCast 2");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST(StatisticsLimits, ChecksInOrder) {
  struct Case {
    LimitField field;
    unsigned value, other;
    std::optional<std::string> message;
  };
  const Case cases[] = {
      {LimitField::LowerA, 90, 375, kLowerBelow100},
      {LimitField::LowerA, 95, 90, kLowerBelow100},  // below 100 comes first
      {LimitField::LowerA, 110, 375, kNotMultipleOf15},
      {LimitField::LowerA, 375, 375, kLowerNotBelowUpper},
      {LimitField::LowerA, 105, 375, std::nullopt},
      {LimitField::UpperA, 380, 105, kNotMultipleOf15},
      {LimitField::UpperA, 105, 105, kUpperNotAboveLower},
      {LimitField::UpperA, 90, 105, kUpperNotAboveLower},  // no floor of 100 for upper limits
      {LimitField::UpperB, 3000, 1080, std::nullopt},      // past 1905: the last bin
  };
  for (const Case& c : cases)
    EXPECT_EQ(CheckLimit(c.field, c.value, c.other), c.message) << c.value << " vs " << c.other;
}

TEST_F(DialogTest, StatisticsRangesFromTheCumulativeBins) {
  BinCounts bins{};
  bins[10] = 10;
  bins[12] = 10;
  bins[80] = 4;
  doc.Results().AddFrameBins(bins, 24, 0);
  CStatisticAnalysisDlg dlg(doc);
  EXPECT_TRUE(dlg.IsRefreshing());
  // A 105..375 holds bins 7..25; B 1080..1425 holds bin 80 only.
  EXPECT_EQ(dlg.Average(0)->text(), "165");
  EXPECT_EQ(dlg.Deviation(0)->text(), "15");
  EXPECT_EQ(dlg.Average(1)->text(), "1200");
  EXPECT_EQ(dlg.Deviation(1)->text(), "0");
  dlg.Limit(LimitField::LowerA)->setText("165");
  dlg.Limit(LimitField::UpperA)->setText("165");
  dlg.Refresh();
  EXPECT_EQ(dlg.Average(0)->text(), "0");  // no counts in bin 11
  BinCounts one{};
  one[11] = 1;
  doc.Results().AddFrameBins(one, 1, 0);
  dlg.Refresh();
  EXPECT_EQ(dlg.Average(0)->text(), "165");
  EXPECT_EQ(dlg.Deviation(0)->text(), "0");
  dlg.accept();
  EXPECT_FALSE(dlg.IsRefreshing());
}

TEST_F(DialogTest, RefusedStatisticsLimitGoesBackToItsInitialValue) {
  CStatisticAnalysisDlg dlg(doc);
  dlg.SetPrompts(prompts);
  struct Case {
    LimitField field;
    const char* text;
    const char* shown;
    const char* after;
  };
  const Case cases[] = {
      {LimitField::LowerA, "110", kNotMultipleOf15, "105"},
      {LimitField::UpperA, "90", kUpperNotAboveLower, "375"},
  };
  for (const Case& c : cases) {
    prompts.shown.clear();
    dlg.Limit(c.field)->setText(c.text);
    dlg.LimitLeft(c.field);
    EXPECT_EQ(prompts.Texts(),
              c.shown ? std::vector<std::string>{c.shown} : std::vector<std::string>{})
        << c.text;
    EXPECT_EQ(dlg.Limit(c.field)->text(), c.after) << c.text;
  }
}

TEST(FolderText, DoubledSeparatorsAreRefusedAndOneTrailingSeparatorIsDropped) {
  const std::pair<const char*, const char*> taken[] = {
      {"/data/vesk/", "/data/vesk"}, {"C:\\data\\", "C:\\data"}, {"/", "/"}};
  for (const auto& [text, folder] : taken) EXPECT_EQ(CheckFolderText(text), folder) << text;
  for (const char* text : {"/data//vesk", "/data/vesk//", "C:\\\\data", ""})
    EXPECT_EQ(CheckFolderText(text), std::nullopt) << text;
}

class FolderChooserTest : public ::testing::Test {
 protected:
  TempDir dir;
  RecordingPrompts prompts;
  CSelectFolderDialog dialog{nullptr, dir.Path()};
  void SetUp() override { dialog.SetPrompts(prompts); }
};

TEST_F(FolderChooserTest, AFolderComesBackWithOneTrailingSlashAndAMissingOneIsOffered) {
  EXPECT_EQ(dialog.TrySelect(dir.Path() + "/"), dir.Path() + "/");
  std::filesystem::create_directory(dir / "casts");
  EXPECT_EQ(dialog.TrySelect("casts"), dir.Path() + "/casts/");  // picked in the list
  EXPECT_EQ(dialog.TrySelect(""), dialog.directory().absolutePath().toStdString() + "/");
  EXPECT_TRUE(prompts.shown.empty());

  // A missing folder is created on Yes; on No nothing is chosen.
  const std::string deep = dir / "a/b/c";
  prompts.answers = {true, false};
  EXPECT_EQ(dialog.TrySelect(deep + "/"), deep + "/");
  EXPECT_TRUE(std::filesystem::is_directory(deep));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_TRUE(prompts.shown[0].question);

  EXPECT_EQ(dialog.TrySelect(dir / "later"), std::nullopt);
  EXPECT_FALSE(std::filesystem::is_directory(dir / "later"));
}

TEST_F(FolderChooserTest, AFolderThatCannotBeCreatedOrIsMistypedKeepsTheDialogOpen) {
  test::WriteFile(dir / "plain", "not a folder");
  const std::string impossible = dir / "plain/sub";  // under a regular file
  EXPECT_EQ(dialog.TrySelect(impossible), std::nullopt);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, "Could not create folder:\n" + impossible);

  // Select takes the name field and closes only on a valid folder.
  auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
  ASSERT_NE(name, nullptr);
  name->setText(QString::fromStdString(dir.Path() + "//x"));
  dialog.accept();
  EXPECT_NE(dialog.result(), QDialog::Accepted);
  name->setText(QString::fromStdString(dir.Path() + "/"));
  dialog.accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.Folder(), dir.Path() + "/");
}

TEST(DataFileNaming, ChangeStoresTheFolderAtOnceAndOkStoresTheNamingChoice) {
  TempDir dir;
  TestDoc t;
  t.store.Write(keys::kDataDir, dir.Path() + "/old/");
  CVESKDoc& doc = t.Make();
  CDataFileNamingDlg dlg(doc);
  std::string offered;
  std::optional<std::string> answer = dir.Path() + "/new/";
  dlg.SetFolderChooser([&](QWidget*, const std::string& start) {
    offered = start;
    return answer;
  });
  auto* change = dlg.findChild<QPushButton*>("changeFolderButton");
  ASSERT_NE(change, nullptr);
  change->click();
  EXPECT_EQ(offered, dir.Path() + "/old/");
  EXPECT_EQ(doc.Store().Read(keys::kDataDir), dir.Path() + "/new/");
  EXPECT_EQ(doc.DataDirectory(), dir.Path() + "/new/");

  dlg.AutomaticNaming()->setChecked(false);
  EXPECT_EQ(doc.Store().Read(keys::kUseDefaultFileNaming), 1);  // only OK stores it
  dlg.accept();
  EXPECT_EQ(doc.Store().Read(keys::kUseDefaultFileNaming), 0);
  EXPECT_FALSE(doc.Settings().useDefaultFileNaming);
}

}  // namespace
}  // namespace vesk
