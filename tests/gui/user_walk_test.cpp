// The main window walked as a user meets it: clicks and keys on the real widgets, the menus
// opened from the menu bar, the dialogs filled in and their message boxes answered, with a
// real document whose counter is the master side of a pseudo-terminal.

#include <gtest/gtest.h>

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabBar>
#include <QTabWidget>
#include <memory>
#include <tuple>

#include "acquisition/live_services.h"
#include "acquisition/vesk_doc.h"
#include "app/gui/qt_user_dialogs.h"
#include "app/gui/qt_window_messages.h"
#include "display/control_bar.h"
#include "display/elided_label.h"
#include "display/graph.h"
#include "display/main_frame.h"
#include "display/profile_view.h"
#include "display/time_plots_view.h"
#include "gui/user_driver.h"
#include "test_support/pty.h"
#include "test_support/temp_dir.h"
#include "test_support/udp.h"
#include "ui/dialogs/playback_data_dlg.h"
#include "ui/dialogs/title_fitter.h"

namespace vesk {
namespace {

using namespace test;

class UserWalk : public ::testing::Test {
 protected:
  UserWalk() {
    store_.Write(keys::kDataDir, dir_.Path());
    store_.Write(keys::kSurveyLat, "45.0");
    store_.Write(keys::kDeviceDu, counter_.Slave());
    store_.Write(keys::kRemotePort, FreeUdpPort());
    QCoreApplication::instance()->installEventFilter(&titles_);
  }
  ~UserWalk() override {
    frame_.reset();
    services_.reset();
    doc_.reset();
  }

  // The window on a laptop's screen, less a task bar, with a counter that has spoken.
  void Open() {
    doc_ = std::make_unique<CVESKDoc>(store_, messages_, dialogs_, clock_);
    ASSERT_TRUE(doc_->ConnectCounterPort());
    counter_.Send("VESK VERSION: 2.30\r\n");
    ASSERT_TRUE(PollUntil([&] { return doc_->PollCounterStatus().responding; }));
    counter_.Received();
    services_ = std::make_unique<LiveServices>(*doc_);
    frame_ = std::make_unique<CMainFrame>(*doc_, messages_);
    frame_->SetLiveServices(services_.get());
    dialogs_.SetParent(frame_.get());
    frame_->resize(1366, 728);
    frame_->show();
  }
  void SendFrames(int frames) {
    const std::uint32_t before = doc_->Results().LFrames();
    for (int i = 0; i < frames; ++i) ASSERT_TRUE(counter_.Send(LFrameWire(2)));
    ASSERT_TRUE(PollUntil([&] { return doc_->Results().LFrames() == before + frames; }));
  }
  CVESKDialogBar& Bar() { return *frame_->ControlBar(); }

  TempDir dir_;
  Pty counter_;
  MemorySettingsStore store_;
  QtWindowMessages messages_;
  QtUserDialogs dialogs_;
  SystemClock clock_;
  CTitleFitter titles_;
  std::unique_ptr<CVESKDoc> doc_;
  std::unique_ptr<LiveServices> services_;
  std::unique_ptr<CMainFrame> frame_;
};

// Quit, Esc and the title bar each close the playback window and end its scan; the fastest
// pace is "Max".
TEST_F(UserWalk, ThePlaybackWindowClosesByQuitEscAndItsTitleBar) {
  Bytes file = ToBytes("VESK raw file header\r\n");
  for (int i = 0; i < 20; ++i) AppendWire(file, MakeLFrame(LFrameFields{}));
  WriteBytes(dir_ / "cast.bin", file);
  store_.WriteString("Recent File List", "File1", dir_ / "cast.bin");
  Open();
  const std::function<void(QWidget&)> closers[] = {
      [](QWidget& d) { Click(Find<QPushButton>(d, "quitButton")); },
      [](QWidget& d) { QTest::keyClick(&d, Qt::Key_Escape); },
      [](QWidget& d) { d.close(); },  // what the title bar's close button does
  };
  for (const auto& close : closers) {
    ChooseMenu(*frame_, "&File", {"&1 *"});
    QPointer<QWidget> window = frame_->PlaybackDialog();
    ASSERT_NE(window, nullptr);
    auto* dialog = static_cast<CPlaybackDataDlg*>(window.data());
    QRadioButton* fastest = Find<QRadioButton>(*dialog, "speed0");
    EXPECT_EQ(fastest->text(), "Max");
    Click(fastest);
    Click(Find<QPushButton>(*dialog, "playButton"));
    // What it writes goes beside the data folder's recordings, never over the played file.
    EXPECT_EQ(doc_->DatPath().rfind(dir_ / "cast_PB_", 0), 0u) << doc_->DatPath();
    ASSERT_TRUE(
        PollUntil([&] { return dialog->StatusText() == "Processing Complete - click 'Quit'"; }));
    close(*dialog);
    EXPECT_TRUE(PollUntil([&] {
      QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
      return window.isNull();
    }));
    EXPECT_FALSE(doc_->Scanning());
    EXPECT_FALSE(doc_->IsPlayback());
  }
}

// During a logging scan: long texts are cut, never widening the window; the snapshot shows
// its caption and its end; File > Exit asks, and No keeps the recording going.
TEST_F(UserWalk, ALoggingScanAsksBeforeExitAndItsTextsKeepToTheScreen) {
  store_.Write(keys::kDataDir, dir_ / "Cruise AB-2026 leg 3, station 114, cast 7 of the night");
  Open();
  WhenShown([](QWidget& d) {
    Type(Find<QLineEdit>(d, "AnalogCaption"), "CHL (mg/m3) raw");
    ClickButton(d, "OK");
  });
  ChooseMenu(*frame_, "&Settings", {"Analog Input..."});
  Click(Bar().StartLoggingButton());
  ASSERT_TRUE(doc_->Logging());
  SendFrames(4);
  frame_->StatusTick();
  QApplication::processEvents();
  EXPECT_LE(frame_->width(), 1366);
  EXPECT_LE(frame_->minimumSizeHint().width(), 1366);
  EXPECT_TRUE(Bar().AnalogCaption()->Elided());
  EXPECT_EQ(Bar().AnalogCaption()->toolTip(), "CHL (mg/m3) raw");

  QLabel* snapshot = Bar().SnapshotIndicator();
  EXPECT_EQ(snapshot->text(), "Inactive");
  EXPECT_FALSE(snapshot->styleSheet().contains("#c62828"));  // no alarm red
  ExpectBox("Confirm Command: 'Take Snap-Shot'", QMessageBox::Yes);
  ChooseMenu(*frame_, "&Commands", {"&Snapshot", "&Take Snap-Shot..."});
  ASSERT_TRUE(PollUntil([&] { return counter_.Received().find('r') != std::string::npos; }));
  frame_->StatusTick();
  EXPECT_EQ(snapshot->text(), "Active");
  counter_.Send("\r\nSNAPSHOT: image taken, held in memory\r\n");
  EXPECT_TRUE(PollUntil([&] {
    frame_->StatusTick();
    return snapshot->text() == "Inactive";
  }));

  ExpectBox("A recording is running", QMessageBox::No);
  ChooseMenu(*frame_, "&File", {"E&xit"});
  EXPECT_TRUE(frame_->isVisible());
  EXPECT_TRUE(doc_->Logging() && doc_->Scanning());
  ExpectBox("Stop logging and exit?", QMessageBox::Yes);
  frame_->close();  // the title bar's close button
  EXPECT_FALSE(frame_->isVisible());
  EXPECT_FALSE(doc_->Scanning());
  EXPECT_TRUE(BoxesNotShown().empty());
}

// The settings dialogs refuse what would harm the scan and stay open; a missing auxiliary
// port is told and the counter's scan runs all the same.
TEST_F(UserWalk, SettingsRefuseWhatWouldHarmAndAMissingAuxiliaryPortStopsNothing) {
  Open();
  WhenShown([](QWidget& d) {
    Type(Find<QSpinBox>(d, "minLaserMonitor"), "3000");
    Type(Find<QSpinBox>(d, "maxLaserMonitor"), "2000");
    ExpectBox("must be below its upper limit");
    ClickButton(d, "OK");
    EXPECT_TRUE(d.isVisible());
    Type(Find<QSpinBox>(d, "maxLaserMonitor"), "4000");
    ClickButton(d, "OK");
  });
  ChooseMenu(*frame_, "&Settings", {"Alarm Limits..."});
  EXPECT_EQ(store_.Read(keys::kAlarmMinLaserMonitor), 3000);
  EXPECT_EQ(store_.Read(keys::kAlarmMaxLaserMonitor), 4000);

  WhenShown([](QWidget& d) {
    auto* constant = d.findChild<QLineEdit*>();
    Type(constant, "abc");
    ExpectBox("confirm that you wish to change", QMessageBox::Ok);
    ExpectBox("must be a number");
    ClickButton(d, "OK");
    EXPECT_TRUE(d.isVisible());
    Type(constant, "1.5");
    ExpectBox("confirm that you wish to change", QMessageBox::Cancel);  // nothing taken
    ClickButton(d, "OK");
    EXPECT_TRUE(d.isVisible());
    ExpectBox("confirm that you wish to change", QMessageBox::Ok);
    ClickButton(d, "OK");
  });
  ChooseMenu(*frame_, "&Settings", {"Counter Constant..."});
  EXPECT_EQ(store_.Read(keys::kCounterConstant), "1.5");

  WhenShown([](QWidget& d) {
    for (auto [field, text, refusal] :
         {std::tuple{"spectrumMinUm", "2000", "the first below the second"},
          {"spectrumMinUm", "120", ""},
          {"depthBin", "0", "depth bin must be"},
          {"depthBin", "two", "depth bin must be"},
          {"depthBin", "2", ""}}) {
      Type(Find<QLineEdit>(d, field), text);
      if (*refusal == '\0') continue;
      ExpectBox(refusal);
      ClickButton(d, "OK");
      EXPECT_TRUE(d.isVisible()) << text;
    }
    ClickButton(d, "OK");
  });
  ChooseMenu(*frame_, "&Settings", {"P&rofiles..."});
  EXPECT_EQ(ProfileSettings::Read(store_).depthBin, 2);
  EXPECT_EQ(ProfileSettings::Read(store_).spectrumMinUm, 120);
  EXPECT_DOUBLE_EQ(doc_->Settings().scan.counterScale, 1.5 / kCounterReferenceConstant);

  WhenShown([](QWidget& d) {
    QTabBar* tabs = d.findChild<QTabWidget*>()->tabBar();
    QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(1).center());
    Click(Find<QRadioButton>(d, "mode1"));  // GPS/NMEA input, on no device
    ExpectBox("names no device");
    ClickButton(d, "OK");
    EXPECT_TRUE(d.isVisible());
    ClickButton(d, "Cancel");
  });
  ChooseMenu(*frame_, "&Settings", {"&Port Settings..."});
  EXPECT_FALSE(store_.Contains("Settings", "AuxPortMode"));

  store_.Write(keys::kAuxPortMode, 1);
  store_.Write(keys::kDeviceZev, dir_ / "no-gps-receiver");
  ExpectBox("Cannot open the Auxiliary port");
  Click(Bar().StartAcquisitionButton());
  EXPECT_TRUE(PollUntil([] { return BoxesNotShown().empty(); }));
  EXPECT_TRUE(doc_->Scanning());
  SendFrames(2);
  Click(Bar().StopButton());
}

// Marks stay in the plot and stack when close, Clear Plots clears for good, the step reads as
// a step and a cursor goes in at a time.
TEST_F(UserWalk, TimeChartsShowMarksClearForGoodAndTakeACursorAtATime) {
  Open();
  ChooseMenu(*frame_, "&Display", {"&Time Charts"});
  auto* charts = dynamic_cast<CTimePlotsView*>(frame_->MainView());
  ASSERT_NE(charts, nullptr);
  EXPECT_TRUE(doc_->TimeChartRelay());  // new samples are relayed only while charts show
  EXPECT_EQ(Find<QLabel>(*charts, "stepLabel")->text(), "step 10 min");
  Click(Bar().StartAcquisitionButton());
  SendFrames(8);
  for (int i = 0; i < 2; ++i) ChooseMenu(*frame_, "&Commands", {"&Mark Event"});
  EXPECT_EQ(charts->Chart(0).MarkerRows(), (std::vector<int>{0, 1}));

  WhenShown(
      [](QWidget& menu) {
        WhenShown([](QWidget& d) {
          Type(Find<QLineEdit>(d, "cursorTimeEdit"), "0:03");
          ClickButton(d, "OK");
        });
        ClickItem(static_cast<QMenu*>(&menu), "Add New Cursor");
      },
      true);
  RightClick(charts->Chart(0).ChartView()->viewport());
  EXPECT_EQ(charts->Chart(2).CursorPositions(), std::vector<double>{3.0});

  Click(Find<QPushButton>(*charts, "xNewerButton"));  // past the marks: none shows
  EXPECT_EQ(charts->Chart(0).MarkerRows(), (std::vector<int>{-1, -1}));
  Click(Find<QPushButton>(*charts, "clearPlotsButton"));
  ChooseMenu(*frame_, "&Display", {"Counts Histogram (&Main View)"});
  EXPECT_FALSE(doc_->TimeChartRelay());
  EXPECT_EQ(frame_->Splitter()->count(), 2);
  ChooseMenu(*frame_, "&Display", {"&Time Charts"});
  charts = dynamic_cast<CTimePlotsView*>(frame_->MainView());
  EXPECT_TRUE(charts->Chart(0).PlotData(CTimePlotsView::kPlot).empty());
  // The Profile view in their place, kept for the next start; its window choice reaches the
  // scan's cast products.
  ChooseMenu(*frame_, "&Display", {"P&rofile View (Main View)"});
  auto* profile = dynamic_cast<CProfileView*>(frame_->MainView());
  ASSERT_NE(profile, nullptr);
  EXPECT_FALSE(doc_->TimeChartRelay());
  EXPECT_EQ(store_.Read(keys::kActiveMainView), kProfileView);
  auto* sizes = Find<QComboBox>(*profile, "profileSizes");
  sizes->setFocus();
  QTest::keyClick(sizes, Qt::Key_Down);  // "Window bins"
  EXPECT_EQ(doc_->Results().Cast().ChosenBins(),
            std::make_pair(doc_->Settings().scan.windowLowerBound,
                           doc_->Settings().scan.windowUpperBound - 1));
  Click(Bar().StopButton());
}

// EXTRACT is offered once a file and a stream are chosen; a size range that holds nothing is
// refused; a stripped text stream is offered as a .txt file.
TEST_F(UserWalk, ExtractionIsOfferedOnceAFileAndAStreamAreChosen) {
  WriteFile(dir_ / "rec.bin", "~Cxyz~*~Lab~*");
  const std::string out = dir_ / "ctd.txt";
  Open();
  WhenShown([&](QWidget& d) {
    auto* extract = Find<QPushButton>(d, "extract");
    EXPECT_FALSE(extract->isEnabled());
    Type(Find<QLineEdit>(d, "input"), QString::fromStdString(dir_ / "rec.bin"));
    EXPECT_FALSE(extract->isEnabled());
    Click(Find<QCheckBox>(d, "aux"));
    EXPECT_TRUE(extract->isEnabled());
    Click(Find<QCheckBox>(d, "stripAux"));
    Type(Find<QSpinBox>(d, "minAuxFrame"), "300");
    Type(Find<QSpinBox>(d, "maxAuxFrame"), "200");
    ExpectBox("is above the largest");
    Click(extract);
    for (const char* box : {"stripAux", "aux", "ctd", "stripCtd"}) Click(Find<QCheckBox>(d, box));
    WhenShown([&](QWidget& save) {
      EXPECT_EQ(static_cast<QFileDialog&>(save).defaultSuffix(), "txt");
      auto* name = Find<QLineEdit>(save, "fileNameEdit");
      Type(name, QString::fromStdString(out));
      QTest::keyClick(name, Qt::Key_Return);
    });
    ExpectBox("1 frames processed");
    Click(extract);
    QTest::keyClick(&d, Qt::Key_Escape);
  });
  ChooseMenu(*frame_, "&Tools", {"&Extract Data Stream..."});
  EXPECT_EQ(ReadFile(out), "xyz\r\n");
  EXPECT_TRUE(BoxesNotShown().empty());
}

}  // namespace
}  // namespace vesk
