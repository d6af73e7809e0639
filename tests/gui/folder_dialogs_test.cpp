// The folder chooser's checks (doubled separators, one trailing separator, creating a missing
// folder) and the data file naming dialog.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>

#include "gui/view_test_support.h"
#include "test_support/temp_dir.h"
#include "ui/dialogs/data_file_naming_dlg.h"
#include "ui/dialogs/select_folder_dialog.h"

namespace vesk {
namespace {

using test::RecordingPrompts;
using test::TempDir;
using test::TestDoc;

bool IsDir(const std::string& p) {
  return std::filesystem::is_directory(p);
}

TEST(FolderText, DoubledSeparatorsAreRefusedAndOneTrailingSeparatorIsDropped) {
  const struct {
    const char* text;
    std::optional<std::string> folder;
  } cases[] = {
      {"/data/vesk/", "/data/vesk"},
      {"/data/vesk", "/data/vesk"},
      {"/data//vesk", std::nullopt},
      {"/data/vesk//", std::nullopt},
      {"C:\\\\data", std::nullopt},
      {"C:\\data\\", "C:\\data"},
      {"/", "/"},
      {"", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(CheckFolderText(c.text), c.folder) << c.text;
}

class FolderChooserTest : public ::testing::Test {
 protected:
  TempDir dir;
  RecordingPrompts prompts;
  CSelectFolderDialog dialog{nullptr, dir.Path()};
  void SetUp() override { dialog.SetPrompts(prompts); }
};

TEST_F(FolderChooserTest, AnExistingFolderComesBackWithExactlyOneTrailingSlash) {
  EXPECT_EQ(dialog.windowTitle(), "Select folder");
  EXPECT_EQ(dialog.labelText(QFileDialog::Accept), "Select");
  EXPECT_EQ(dialog.labelText(QFileDialog::FileName), "Current Folder");
  EXPECT_EQ(dialog.TrySelect(dir.Path() + "/"), dir.Path() + "/");
  EXPECT_EQ(dialog.TrySelect(dir.Path()), dir.Path() + "/");
  std::filesystem::create_directory(dir / "casts");
  EXPECT_EQ(dialog.TrySelect("casts"), dir.Path() + "/casts/");  // picked in the list
  EXPECT_EQ(dialog.TrySelect(""), dialog.directory().absolutePath().toStdString() + "/");
  EXPECT_TRUE(prompts.shown.empty());
}

TEST_F(FolderChooserTest, AMissingFolderIsCreatedOnYesAndTakenAsTypedOnNo) {
  const std::string deep = dir / "a/b/c";
  prompts.answers = {true, false};
  EXPECT_EQ(dialog.TrySelect(deep + "/"), deep + "/");
  EXPECT_TRUE(IsDir(deep));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            deep + "\n\nThis path does not exist. Do you want to create it?");
  EXPECT_TRUE(prompts.shown[0].question);

  EXPECT_EQ(dialog.TrySelect(dir / "later"), dir / "later/");
  EXPECT_FALSE(IsDir(dir / "later"));
}

TEST_F(FolderChooserTest, AFolderThatCannotBeCreatedKeepsTheDialogOpen) {
  test::WriteFile(dir / "plain", "not a folder");
  const std::string impossible = dir / "plain/sub";  // under a regular file
  EXPECT_EQ(dialog.TrySelect(impossible), std::nullopt);
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[1].text, "Could not create folder:\n" + impossible);
}

TEST_F(FolderChooserTest, SelectTakesTheNameFieldAndClosesOnlyOnAValidFolder) {
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
  EXPECT_EQ(dlg.windowTitle(), "Data Files");
  EXPECT_EQ(dlg.AutomaticNaming()->text(), "USE AUTOMATIC FILE NAMING");
  EXPECT_TRUE(dlg.AutomaticNaming()->isChecked());
  EXPECT_EQ(dlg.FolderText().toStdString(), dir.Path() + "/old/");

  std::string offered;
  std::optional<std::string> answer = dir.Path() + "/new/";
  dlg.SetFolderChooser([&](QWidget*, const std::string& start) {
    offered = start;
    return answer;
  });
  QString announced;
  QObject::connect(&dlg, &CDataFileNamingDlg::DataDirChanged,
                   [&](const QString& d) { announced = d; });
  auto* change = dlg.findChild<QPushButton*>("changeFolderButton");
  ASSERT_NE(change, nullptr);
  EXPECT_EQ(change->text(), "Change");
  change->click();
  EXPECT_EQ(offered, dir.Path() + "/old/");
  EXPECT_EQ(doc.Store().Read(keys::kDataDir), dir.Path() + "/new/");
  EXPECT_EQ(doc.DataDirectory(), dir.Path() + "/new/");
  EXPECT_EQ(dlg.FolderText().toStdString(), dir.Path() + "/new/");
  EXPECT_EQ(announced.toStdString(), dir.Path() + "/new/");

  answer.reset();  // cancelled chooser: nothing changes
  change->click();
  EXPECT_EQ(doc.Store().Read(keys::kDataDir), dir.Path() + "/new/");

  dlg.AutomaticNaming()->setChecked(false);
  EXPECT_EQ(doc.Store().Read(keys::kUseDefaultFileNaming), 1);  // only OK stores it
  dlg.accept();
  EXPECT_EQ(doc.Store().Read(keys::kUseDefaultFileNaming), 0);
  EXPECT_FALSE(doc.Settings().useDefaultFileNaming);
  CDataFileNamingDlg again(doc);
  EXPECT_FALSE(again.AutomaticNaming()->isChecked());
}

}  // namespace
}  // namespace vesk
