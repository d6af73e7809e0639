// The playback window: the speed buttons and the values they store, pause and resume (its
// whole run and its closing are walked in user_walk_test.cpp).

#include "ui/dialogs/playback_data_dlg.h"

#include <gtest/gtest.h>

#include <QPushButton>
#include <QRadioButton>

#include "gui/view_test_support.h"

namespace vesk {
namespace {

using test::TestDoc;

TEST(PlaybackDialog, SpeedPauseResumeAndQuit) {
  TestDoc t;
  CVESKDoc& doc = t.Make();
  const std::pair<int, int> table[] = {{0, 0}, {1, 1}, {2, 2}, {3, 4}};  // {button, speed}
  auto* dlg = new CPlaybackDataDlg(doc);
  for (const auto& [index, speed] : table) {
    dlg->findChild<QRadioButton*>(QString("speed%1").arg(index))->click();
    EXPECT_EQ(doc.Store().Read(keys::kPlaybackSpeed), speed);
    EXPECT_EQ(doc.Store().Read(keys::kPlaybackSpeedBtn), index);
  }

  dlg->Resume();  // as after Play
  dlg->findChild<QPushButton*>("pauseButton")->click();
  EXPECT_TRUE(doc.PlaybackPaused());
  EXPECT_FALSE(dlg->ProgressRunning());
  EXPECT_TRUE(dlg->findChild<QPushButton*>("resumeButton")->isEnabled());
  dlg->findChild<QPushButton*>("resumeButton")->click();
  EXPECT_FALSE(doc.PlaybackPaused());
  delete dlg;
}

}  // namespace
}  // namespace vesk
