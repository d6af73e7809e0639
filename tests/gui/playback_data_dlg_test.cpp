// The playback window: speeds, pause and resume, the progress texts, and a recorded file
// played through the pipeline until the histogram view shows its counts.

#include "ui/dialogs/playback_data_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>
#include <chrono>
#include <thread>

#include "display/graph.h"
#include "display/histogram_plot.h"
#include "display/vesk_view.h"
#include "gui/view_test_support.h"
#include "test_support/frame_builder.h"
#include "test_support/temp_dir.h"

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

  dlg->findChild<QPushButton*>("quitButton")->click();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_EQ(t.windows.ToMainFrame().size(), 1u);
  EXPECT_EQ(t.windows.ToMainFrame()[0], Uwm::ClosePlayback);
}

TEST(PlaybackDialog, PlayingARecordedFileFillsTheHistogramView) {
  test::TempDir dir;
  test::Bytes file = test::ToBytes("VESK raw file header\r\n");
  test::LFrameFields frame;  // bin 4 counts 3, bin 40 counts 1, everything else 0
  frame.bins[4] = 3;
  frame.bins[40] = 1;
  for (int i = 0; i < 20; ++i) test::AppendWire(file, test::MakeLFrame(frame));
  test::WriteBytes(dir / "cast.bin", file);

  TestDoc t;
  t.store.Write(keys::kDataDir, dir.Path() + "/out");
  t.store.Write(keys::kPlaybackSpeedBtn, 0);  // 8x
  CVESKDoc& doc = t.Make();
  CVESKView view(doc);
  t.windows.view = &view;
  doc.PreparePlayback(dir / "cast.bin");
  auto* dlg = new CPlaybackDataDlg(doc);
  dlg->findChild<QPushButton*>("playButton")->click();
  ASSERT_TRUE(doc.Scanning());
  // What it writes goes beside the data folder's recordings, never over the played file.
  EXPECT_EQ(doc.DatPath().rfind(dir / "out/cast_PB_", 0), 0u) << doc.DatPath();
  EXPECT_TRUE(view.IsRefreshing());

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  double bin4 = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    QApplication::processEvents();
    view.Refresh();
    const auto points = view.Graph().PlotData(kHistogramPlot);
    bin4 = points.empty() ? 0 : points[4].y();
    if (dlg->StatusText() == "Processing Complete - click 'Quit'" && bin4 >= 60) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ(dlg->StatusText(), "Processing Complete - click 'Quit'");
  EXPECT_EQ(bin4, 60);
  EXPECT_EQ(view.Graph().PlotData(kHistogramPlot)[40].y(), 20);

  dlg->Quit();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  ASSERT_FALSE(t.windows.ToMainFrame().empty());
  EXPECT_EQ(t.windows.ToMainFrame().back(), Uwm::ClosePlayback);
  doc.StopScan();  // what the main frame does on that message
  EXPECT_FALSE(view.IsRefreshing());
  t.windows.view = nullptr;
}

}  // namespace
}  // namespace vesk
