// The Store Snap-Shot dialog against a pseudo-terminal standing in for the counter: "p" on
// opening, the file number with CR LF on "Store", the replies in the reply box, and the
// warning when the port cannot be used.

#include "ui/dialogs/store_snapshot_dlg.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QPushButton>
#include <QSpinBox>
#include <atomic>
#include <mutex>
#include <string>
#include <thread>

#include "gui/view_test_support.h"
#include "test_support/pty.h"

namespace vesk {
namespace {

using test::RecordingPrompts;
using test::TestDoc;

// The counter on the master side of a pseudo-terminal: answers "p" and a file number the way
// the counter does, and records what came in.
class FakeCounter {
 public:
  FakeCounter() {
    responder_ = std::thread([this] {
      while (!stop_) {
        const std::string in = pty_.Received(20);
        if (in.empty()) continue;
        std::lock_guard lock(mutex_);
        received_ += in;
        if (in == "p") pty_.Send("Enter file number:\r\n");
        if (in.ends_with("\r\n")) pty_.Send("Disk Write Complete\r\n");
      }
    });
  }
  ~FakeCounter() {
    stop_ = true;
    responder_.join();
    ::close(keepOpen_);
  }
  const std::string& SlavePath() const { return pty_.Slave(); }
  std::string Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  test::Pty pty_;
  // Held open so that the line stays up between the dialog's own opens.
  int keepOpen_ = ::open(pty_.Slave().c_str(), O_RDWR | O_NOCTTY);
  std::thread responder_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
};

TEST(StoreSnapshot, WritesPThenTheFileNumberWithCrLfAndStoresTheNumber) {
  FakeCounter counter;
  TestDoc t;
  t.store.Write(keys::kDeviceDu, counter.SlavePath());
  t.store.Write(keys::kLastSnapshotFileNumber, 7);
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CStoreSnapshotDlg dlg(doc);
  dlg.SetPrompts(prompts);
  EXPECT_EQ(dlg.FileNumberField()->value(), 7);

  dlg.OpenStore();
  EXPECT_TRUE(dlg.StoreReady());
  EXPECT_TRUE(dlg.ReplyText().contains("Enter file number:"));

  dlg.FileNumberField()->setValue(12);
  dlg.findChild<QPushButton*>("storeButton")->click();
  ASSERT_TRUE(test::PollUntil([&] { return counter.Received() == "p12\r\n"; }));
  EXPECT_TRUE(dlg.NumberSent());
  EXPECT_EQ(doc.Store().Read(keys::kLastSnapshotFileNumber), 12);
  EXPECT_TRUE(dlg.ReplyText().contains("Disk Write Complete"));
  EXPECT_EQ(dlg.ResultText(), "Snapshot stored to file 12.");
  dlg.Poll();  // nothing more to read: nothing changes, no warning
  EXPECT_TRUE(prompts.shown.empty());

  dlg.findChild<QPushButton*>("closeButton")->click();
  EXPECT_FALSE(dlg.Polling());
}

TEST(StoreSnapshot, APortThatCannotBeOpenedGivesTheCommunicationWarning) {
  TestDoc t;
  t.store.Write(keys::kDeviceDu, "/nonexistent/tty-for-vesk-test");
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CStoreSnapshotDlg dlg(doc);
  dlg.SetPrompts(prompts);
  dlg.OpenStore();
  EXPECT_FALSE(dlg.StoreReady());
  dlg.Store();
  ASSERT_EQ(prompts.shown.size(), 2u);
  EXPECT_EQ(prompts.shown[0].text, "WARNING!! \n\nError sending command to VESK");
  EXPECT_FALSE(dlg.NumberSent());
  EXPECT_FALSE(doc.Store().Contains("Settings", "LastSnapshotFileNumber"));
}

TEST(StoreSnapshot, AConnectedPortIsReleasedWhileOpenAndReconnectedAfterwards) {
  FakeCounter counter;
  TestDoc t;
  t.store.Write(keys::kDeviceDu, counter.SlavePath());
  CVESKDoc& doc = t.Make();
  ASSERT_TRUE(doc.ConnectCounterPort());
  {
    RecordingPrompts prompts;
    CStoreSnapshotDlg dlg(doc);
    dlg.SetPrompts(prompts);
    EXPECT_FALSE(doc.CounterPort().IsOpen());
    dlg.OpenStore();
    EXPECT_TRUE(dlg.StoreReady());
    dlg.accept();
  }
  EXPECT_TRUE(doc.CounterPort().IsOpen());
  EXPECT_TRUE(doc.Connected());
}

}  // namespace
}  // namespace vesk
