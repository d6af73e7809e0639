// The "Extract Data Stream" dialog: the auxiliary frame type, what it hands the extraction,
// and whole runs on recorded files with their final messages.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <filesystem>

#include "gui/view_test_support.h"
#include "test_support/temp_dir.h"
#include "ui/dialogs/extract_data_stream_dlg.h"

namespace vesk {
namespace {

using test::RecordingPrompts;
using test::TempDir;

struct Fixture {
  Fixture() : dlg(store) {
    dlg.SetPrompts(prompts);
    dlg.SetOutputChooser([this](QWidget*, bool) -> std::optional<std::string> {
      ++asked;
      return output;
    });
  }
  QCheckBox* Box(const char* name) { return dlg.findChild<QCheckBox*>(name); }

  MemorySettingsStore store;
  RecordingPrompts prompts;
  CExtractDataStreamDlg dlg;
  std::optional<std::string> output;
  int asked = 0;
};

TEST(ExtractDialog, AuxiliaryTypeLetter) {
  Fixture f;
  auto* type = f.dlg.findChild<QComboBox*>("auxType");
  EXPECT_EQ(f.dlg.Options().auxType, 'S');
  type->setCurrentText("X");
  EXPECT_EQ(f.dlg.Options().auxType, 'X');
}

TEST(ExtractDialog, ARunWritesTheChosenStreamsAndReportsTheCounts) {
  TempDir dir;
  const std::string in = dir / "cast.bin";
  const std::string aux100(100, 'a');
  const std::string aux80(80, 'b');
  const std::string aux79(79, 'c');
  test::WriteFile(in, "VESK header\r\n~Mab~~c~*~Lxx~*~Cxyz~*~S" + aux100 + "~*~S" + aux80 + "~*~S" +
                          aux79 + "~*");
  Fixture f;
  f.dlg.SetInputPath(in);
  f.output = dir / "out.bin";
  f.Box("mep")->click();
  f.Box("ctd")->click();
  f.Box("stripCtd")->click();
  f.Box("aux")->click();
  f.Box("stripAux")->click();
  f.dlg.findChild<QSpinBox*>("minAuxFrame")->setValue(80);
  f.dlg.findChild<QSpinBox*>("maxAuxFrame")->setValue(238);

  EXPECT_TRUE(f.dlg.Extract());
  EXPECT_EQ(f.asked, 1);
  ASSERT_EQ(f.prompts.shown.size(), 1u);
  EXPECT_EQ(f.prompts.shown[0].text, "5 frames processed\n1 frames dropped\n1 frames corrupt");
  EXPECT_EQ(f.prompts.shown[0].icon, QMessageBox::Information);
  EXPECT_EQ(test::ReadFile(*f.output), "~Mab~~c~*xyz\r\n" + std::string(80, 'a') + aux80);
  const std::string log = test::ReadFile(dir / "cast.err");
  EXPECT_NE(log.find("Frame 3 corrupt"), std::string::npos) << log;
  EXPECT_NE(log.find("Frame 5 bad"), std::string::npos) << log;
  EXPECT_EQ(f.dlg.ProgressValue(), 1000);
  EXPECT_EQ(f.store.Read(keys::kMinAuxFrame), 80);
  EXPECT_EQ(f.store.Read(keys::kMaxAuxFrame), 238);
}

TEST(ExtractDialog, FailuresAndEmptyInputs) {
  TempDir dir;
  test::WriteFile(dir / "empty.bin", "");
  test::WriteFile(dir / "rec.bin", "~Mab~*");
  const struct {
    std::string input;
    std::optional<std::string> output;
    int asked;
    std::string messageStart;  // "" when nothing is shown
    bool completed;
  } table[] = {
      {dir / "missing.bin", dir / "o1.bin", 0, "Error opening file: \"" + dir / "missing.bin",
       false},
      {dir.Path(), dir / "o3.bin", 0, "Error opening file: ", false},
      {dir / "rec.bin", std::nullopt, 1, "", false},  // the save dialog was cancelled
      {dir / "empty.bin", dir / "o4.bin", 1, "No frames were processed.", true},
      {dir / "rec.bin", dir / "rec.bin", 1, "Error opening file for output: ", false},
  };
  for (const auto& row : table) {
    Fixture f;
    f.Box("mep")->click();
    f.dlg.SetInputPath(row.input);
    f.output = row.output;
    EXPECT_EQ(f.dlg.Extract(), row.completed) << row.input;
    EXPECT_EQ(f.asked, row.asked) << row.input;
    if (row.messageStart.empty()) {
      EXPECT_TRUE(f.prompts.shown.empty()) << row.input;
    } else {
      ASSERT_EQ(f.prompts.shown.size(), 1u) << row.input;
      EXPECT_EQ(f.prompts.shown[0].text.rfind(row.messageStart, 0), 0u) << f.prompts.shown[0].text;
    }
    EXPECT_EQ(f.store.Contains("ExtractStream", "MinAuxFrame"), row.completed) << row.input;
  }
  EXPECT_EQ(test::ReadFile(dir / "rec.bin"), "~Mab~*");  // the input refused as output is intact
}

}  // namespace
}  // namespace vesk
