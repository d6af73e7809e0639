// The main window on the offscreen platform, driving a real document whose counter is the
// master side of a pseudo-terminal.

#include "display/main_frame.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "acquisition/headless_seams.h"
#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "app/gui/qt_window_messages.h"
#include "display/alarm_pane.h"
#include "display/control_bar.h"
#include "display/graph.h"
#include "display/time_plots_view.h"
#include "display/vesk_view.h"
#include "files/mark_log.h"
#include "gui/view_test_support.h"
#include "seams/memory_settings_store.h"
#include "test_support/pty.h"
#include "test_support/temp_dir.h"
#include "test_support/udp.h"
#include "ui/dialogs/playback_data_dlg.h"

namespace vesk {
namespace {

namespace fs = std::filesystem;
using test::LFrameWire;
using test::PollUntil;

// Console dialogs whose file-name prompt gives the answers queued by the test (nothing:
// cancelled), and counts how often it was shown.
class NamingDialogs : public ConsoleDialogs {
 public:
  NamingDialogs() : ConsoleDialogs(true, true) {}
  std::optional<std::string> AskDataFileName(const std::string& proposedName,
                                             const std::string& directory, bool again) override {
    ++prompts;
    if (answers.empty()) return ConsoleDialogs::AskDataFileName(proposedName, directory, again);
    auto answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::deque<std::optional<std::string>> answers;
  int prompts = 0;
};

class MainFrameTest : public ::testing::Test {
 protected:
  MainFrameTest() {
    store_.WriteString("Settings", "DataDir", dir_.Path());
    store_.WriteString("Settings", "SurveyLat", "45.0");
    store_.WriteString("PortSettings", "Device_DU", counter_.Slave());
    store_.WriteInt("RemoteControl", "Port", test::FreeUdpPort());
  }
  ~MainFrameTest() override {
    frame_.reset();
    doc_.reset();
  }

  void Open(bool connect = true) {
    doc_ = std::make_unique<CVESKDoc>(store_, messages_, dialogs_, clock_);
    if (connect) {
      ASSERT_TRUE(doc_->ConnectCounterPort());
      counter_.Received();
    }
    frame_ = std::make_unique<CMainFrame>(*doc_, messages_);
    frame_->show();
  }

  CVESKDialogBar& Bar() { return *frame_->ControlBar(); }
  std::string Pane(int pane) { return frame_->PaneText(pane).toStdString(); }

  test::TempDir dir_;
  test::Pty counter_;
  MemorySettingsStore store_;
  QtWindowMessages messages_;
  NamingDialogs dialogs_;
  SystemClock clock_;
  std::unique_ptr<CVESKDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

struct Buttons {
  bool acquire, logging, stop, connect;
};

void ExpectButtons(CVESKDialogBar& bar, Buttons want, const char* when) {
  SCOPED_TRACE(when);
  EXPECT_EQ(bar.StartAcquisitionButton()->isEnabled(), want.acquire);
  EXPECT_EQ(bar.StartLoggingButton()->isEnabled(), want.logging);
  EXPECT_EQ(bar.StopButton()->isEnabled(), want.stop);
  EXPECT_EQ(bar.ConnectButton()->isEnabled(), want.connect);
}

TEST_F(MainFrameTest, ButtonsAndStatePaneFollowEachScanState) {
  Open();
  ExpectButtons(Bar(), {true, true, false, false}, "idle, connected");

  Bar().StartAcquisitionButton()->click();
  ASSERT_TRUE(doc_->Scanning());
  EXPECT_EQ(counter_.Received(1000), "a");
  ExpectButtons(Bar(), {false, true, true, false}, "acquiring");
  EXPECT_EQ(Pane(kPaneDest), "  Dest: NOT LOGGING !!!  ");

  Bar().StartLoggingButton()->click();
  ASSERT_TRUE(doc_->Logging());
  ExpectButtons(Bar(), {false, false, true, false}, "logging");
  const std::string dest = Pane(kPaneDest);
  EXPECT_EQ(dest.rfind("  Dest: " + dir_.Path() + "/VESK_", 0), 0u) << dest;
  EXPECT_EQ(dest.substr(dest.size() - 6), ".bin  ");

  Bar().StopButton()->click();
  EXPECT_FALSE(doc_->Scanning());
  ExpectButtons(Bar(), {true, true, false, false}, "stopped");
  EXPECT_TRUE(PollUntil([&] { return counter_.Received().find('q') != std::string::npos; }));
}

// A document whose port would not open: starting says why, and only Connect is offered.
TEST_F(MainFrameTest, AnUnreachableCounter) {
  store_.WriteString("PortSettings", "Device_DU", dir_ / "no-such-tty");
  Open(/*connect=*/false);
  Bar().StartAcquisitionButton()->click();
  EXPECT_FALSE(doc_->Scanning());
  EXPECT_EQ(dialogs_.Messages().back().rfind("ERROR STARTING", 0), 0u);
  ExpectButtons(Bar(), {true, true, false, true}, "start refused");
}

TEST_F(MainFrameTest, TogglesWriteTheDocumentAndTheStore) {
  Open();
  const auto& settings = doc_->Settings();
  const struct {
    const char* action;
    const bool* setting;
    bool want;
    const char *section, *key;
  } toggles[] = {
      {"Wide (2.5x) Tunnel", &settings.scan.standardTunnel, false, "Settings", "StandardTunnel"},
      {"Standard Tunnel", &settings.scan.standardTunnel, true, "Settings", "StandardTunnel"},
      {"Add Header to DAT File", &settings.addHeaderToDatFile, false, "Options",
       "AddHeaderToDatFile"},
      {"Log Initial NMEA Sample Only", &settings.scan.logInitialNmeaOnly, true, "Options",
       "LogInitialNmeaOnly"},
  };
  for (const auto& t : toggles) {
    frame_->FindAction(t.action)->trigger();
    EXPECT_EQ(*t.setting, t.want) << t.action;
    EXPECT_EQ(store_.ReadInt(t.section, t.key, -1), t.want ? 1 : 0) << t.action;
  }
}

TEST_F(MainFrameTest, AWholeScanFillsTheHistogramAndTheControlBar) {
  Open();
  // On a laptop's 1366x768 screen, less a task bar, a whole position reads in its field.
  const QSize laptop(1366, 768 - 40);
  EXPECT_LE(frame_->minimumSizeHint().width(), laptop.width());
  EXPECT_LE(frame_->minimumSizeHint().height(), laptop.height());
  frame_->resize(laptop);
  QApplication::processEvents();
  const QFontMetrics metrics(Bar().font());
  for (BarField f : {BarField::Latitude, BarField::Longitude}) {
    auto* field = Bar().findChild<QLineEdit*>(QStringLiteral("field%1").arg(static_cast<int>(f)));
    ASSERT_NE(field, nullptr);
    EXPECT_GE(field->width(), metrics.horizontalAdvance(QString::fromLatin1("063\xB0 30' 00\" W")));
  }
  auto* view = dynamic_cast<CVESKView*>(frame_->MainView());
  ASSERT_NE(view, nullptr);
  frame_->StartAcquisition();
  ASSERT_TRUE(doc_->Scanning());
  constexpr int kFrames = 6;
  for (int i = 0; i < kFrames; ++i) ASSERT_TRUE(counter_.Send(LFrameWire(2)));
  ASSERT_TRUE(PollUntil([&] { return Bar().FieldText(BarField::SampleNo) == "6"; }));
  EXPECT_EQ(Bar().FieldText(BarField::TotalCount), QString::number(kFrames * 128 * 2));
  EXPECT_EQ(Bar().FieldText(BarField::FrameErrors), "0");
  // The histogram shows the cumulative bins: every bin at frames x 2.
  const QString plot = view->Graph().PlotName(1);
  ASSERT_TRUE(PollUntil([&] {
    const auto points = view->Graph().PlotData(plot);
    return points.size() == 128 && points[0].y() == kFrames * 2 && points[127].y() == kFrames * 2;
  }));

  // A worker's stop request reaches the frame through its event queue.
  std::thread worker([&] { doc_->Windows().Post(WindowTarget::MainFrame, Uwm::PerformStop); });
  worker.join();
  ASSERT_TRUE(PollUntil([&] { return !doc_->Scanning(); }));
  ExpectButtons(Bar(), {true, true, false, false}, "after a worker's stop");
}

TEST_F(MainFrameTest, AlarmsShowAndMarksGoToTheFileAndTheTimeCharts) {
  store_.WriteString("Alarms", "MinFlowSpeed", "5");  // the frames' flow is below it
  store_.WriteInt("Alarms", "HoldSeconds", 0);
  Open();
  LiveServices services(*doc_);
  frame_->SetLiveServices(&services);
  frame_->FindAction("&Time Charts")->trigger();
  auto* charts = dynamic_cast<CTimePlotsView*>(frame_->MainView());
  ASSERT_NE(charts, nullptr);
  EXPECT_EQ(frame_->AlarmPane()->text(), "No alarms");
  frame_->StartAcquisition();
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(counter_.Send(LFrameWire(2)));
  ASSERT_TRUE(PollUntil([&] { return doc_->Results().LFrames() == 6; }));
  frame_->StatusTick();
  EXPECT_EQ(frame_->AlarmPane()->text(), "ALARM: FLOW");
  EXPECT_EQ(Bar().FieldText(BarField::Alarms), "FLOW");

  frame_->FindAction("&Mark Event")->trigger();
  const std::vector<Mark> marks = ReadMarks(dir_ / "VESK_PRELOGGING_DATADUMP.mrk");
  ASSERT_EQ(marks.size(), 1u);
  EXPECT_EQ(marks[0].lFrameIndex, 6u);
  EXPECT_EQ(charts->Chart(0).MarkerPositions(), std::vector<double>{3.0});
  EXPECT_EQ(charts->Chart(2).MarkerPositions(), std::vector<double>{3.0});

  frame_->Stop();
  frame_->StatusTick();
  EXPECT_EQ(Bar().FieldText(BarField::Alarms), "none");
  // A new scan starts without the last one's marks, on the charts and beside the dump.
  frame_->StartAcquisition();
  EXPECT_TRUE(charts->Chart(0).MarkerPositions().empty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "VESK_PRELOGGING_DATADUMP.mrk"));
  frame_->Stop();
}

TEST_F(MainFrameTest, ControlBarUpdatesAreCoalesced) {
  Open();
  int delivered = 0;
  class Counter : public QObject {
   public:
    explicit Counter(int& n) : n_(n) {}
    bool eventFilter(QObject*, QEvent* e) override {
      if (dynamic_cast<UwmEvent*>(e) != nullptr) ++n_;
      return false;
    }
    int& n_;
  } counter(delivered);
  frame_->installEventFilter(&counter);
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i)
      doc_->Windows().Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
  });
  worker.join();
  QCoreApplication::processEvents();
  EXPECT_EQ(delivered, 1);
  doc_->Windows().Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
  QCoreApplication::processEvents();
  EXPECT_EQ(delivered, 2);
  frame_->removeEventFilter(&counter);
}

TEST_F(MainFrameTest, CustomNamingReplacesOrRefusesExistingFiles) {
  store_.WriteInt("Settings", "UseDefaultFileNaming", 0);
  test::WriteFile(dir_ / "run1.bin", "old raw");
  test::WriteFile(dir_ / "run1.dat", "old dat");
  test::WriteFile(dir_ / "run2.bin", "kept");
  ::chmod((dir_ / "run2.bin").c_str(), 0444);
  Open();

  // An existing normal file: the old pair is moved aside and logging starts under the name.
  dialogs_.answers = {dir_ / "run1.bin"};
  Bar().StartLoggingButton()->click();
  ASSERT_TRUE(doc_->Scanning());
  EXPECT_EQ(Pane(kPaneDest), "  Dest: " + (dir_ / "run1.bin") + "  ");
  EXPECT_EQ(test::ReadFile(dir_ / "run1.bin-OLD"), "old raw");
  EXPECT_EQ(test::ReadFile(dir_ / "run1.dat-OLD"), "old dat");
  frame_->Stop();

  // A read-only file, or the dump's own name: refused, asked again; cancelling that starts
  // nothing.
  const std::pair<const char*, const char*> refused[] = {
      {"run2.bin", "ERROR: You have selected a file that cannot be overwritten!"},
      {"run<3>?.bin", "ERROR: A data file name may not hold any of"},
      {"VESK_PRELOGGING_DATADUMP.bin", "ERROR: \"VESK_PRELOGGING_DATADUMP\""}};
  for (const auto& [name, message] : refused) {
    dialogs_.prompts = 0;
    dialogs_.answers = {dir_ / name, std::nullopt};
    Bar().StartLoggingButton()->click();
    EXPECT_EQ(dialogs_.prompts, 2) << name;
    EXPECT_EQ(dialogs_.Messages().back().rfind(message, 0), 0u) << dialogs_.Messages().back();
    EXPECT_FALSE(doc_->Scanning());
  }
  ExpectButtons(Bar(), {true, true, false, false}, "naming cancelled");
  EXPECT_EQ(test::ReadFile(dir_ / "run2.bin"), "kept");
}

TEST_F(MainFrameTest, RecentFilesOfTheFileMenu) {
  test::WriteFile(dir_ / "a.bin", "");
  store_.WriteString("Recent File List", "File1", dir_ / "gone.bin");
  store_.WriteString("Recent File List", "File2", dir_ / "a.bin");
  Open();
  auto entry = [&](int n) {
    for (QAction* a : frame_->menuBar()->actions().front()->menu()->actions()) {
      if (a->isVisible() && a->text().startsWith(QStringLiteral("&%1 ").arg(n))) return a;
    }
    return static_cast<QAction*>(nullptr);
  };
  ASSERT_NE(entry(2), nullptr);
  entry(1)->trigger();  // moved or deleted since: said, and dropped
  ASSERT_FALSE(dialogs_.Messages().empty());
  EXPECT_EQ(dialogs_.Messages().back().rfind("ERROR: Cannot open ", 0), 0u);
  EXPECT_EQ(store_.ReadString("Recent File List", "File1", ""), dir_ / "a.bin");
  entry(1)->trigger();  // plays it back
  ASSERT_NE(frame_->PlaybackDialog(), nullptr);
  EXPECT_TRUE(doc_->IsPlayback());
  // An empty file is no recording: said so at its end, and neither offered again nor
  // given a .dat.
  auto* dialog = static_cast<CPlaybackDataDlg*>(frame_->PlaybackDialog());
  QTest::mouseClick(dialog->findChild<QPushButton*>("playButton"), Qt::LeftButton);
  const QString noFrames =
      QString::fromStdString("No counter frames were found in " + dir_ / "a.bin");
  ASSERT_TRUE(PollUntil([&] { return dialog->StatusText().startsWith(noFrames); }));
  frame_->close();  // File > Exit ends the playback with the program
  EXPECT_FALSE(doc_->IsPlayback());
  EXPECT_EQ(store_.ReadString("Recent File List", "File1", ""), "");
  for (const auto& e : fs::directory_iterator(dir_.Path())) EXPECT_NE(e.path().extension(), ".dat");
}

}  // namespace
}  // namespace vesk
