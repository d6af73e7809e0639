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

TEST(FolderText, DoubledSeparatorsAreRefusedAndOneTrailingSeparatorIsDropped) {
  const std::pair<const char*, const char*> taken[] = {{"/data/vesk/", "/data/vesk"},
                                                       {"/data/vesk", "/data/vesk"},
                                                       {"C:\\data\\", "C:\\data"},
                                                       {"/", "/"}};
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
  EXPECT_EQ(dialog.TrySelect(dir.Path()), dir.Path() + "/");
  std::filesystem::create_directory(dir / "casts");
  EXPECT_EQ(dialog.TrySelect("casts"), dir.Path() + "/casts/");  // picked in the list
  EXPECT_EQ(dialog.TrySelect(""), dialog.directory().absolutePath().toStdString() + "/");
  EXPECT_TRUE(prompts.shown.empty());

  // A missing folder is created on Yes and taken as typed on No.
  const std::string deep = dir / "a/b/c";
  prompts.answers = {true, false};
  EXPECT_EQ(dialog.TrySelect(deep + "/"), deep + "/");
  EXPECT_TRUE(std::filesystem::is_directory(deep));
  ASSERT_EQ(prompts.shown.size(), 1u);
  EXPECT_EQ(prompts.shown[0].text,
            deep + "\n\nThis path does not exist. Do you want to create it?");
  EXPECT_TRUE(prompts.shown[0].question);

  EXPECT_EQ(dialog.TrySelect(dir / "later"), dir / "later/");
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
  change->click();
  EXPECT_EQ(offered, dir.Path() + "/old/");
  EXPECT_EQ(doc.Store().Read(keys::kDataDir), dir.Path() + "/new/");
  EXPECT_EQ(doc.DataDirectory(), dir.Path() + "/new/");
  EXPECT_EQ(announced.toStdString(), dir.Path() + "/new/");

  answer.reset();  // cancelled chooser: nothing changes
  change->click();
  EXPECT_EQ(doc.Store().Read(keys::kDataDir), dir.Path() + "/new/");

  dlg.AutomaticNaming()->setChecked(false);
  EXPECT_EQ(doc.Store().Read(keys::kUseDefaultFileNaming), 1);  // only OK stores it
  dlg.accept();
  EXPECT_EQ(doc.Store().Read(keys::kUseDefaultFileNaming), 0);
  EXPECT_FALSE(doc.Settings().useDefaultFileNaming);
}

}  // namespace
}  // namespace vesk
