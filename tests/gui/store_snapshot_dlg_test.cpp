// The Store Snap-Shot dialog against a pseudo-terminal standing in for the counter: "p" on
// opening, the file number with CR LF on "Store", the replies in the reply box, and the
// warning when the port cannot be used.

#include "ui/dialogs/store_snapshot_dlg.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <QPushButton>
#include <QSpinBox>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "gui/view_test_support.h"

namespace vesk {
namespace {

using test::RecordingPrompts;
using test::TestDoc;

// The master side of a pseudo-terminal; the slave side is the "counter port".
class FakeCounter {
 public:
  FakeCounter() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) std::abort();
    slavePath_ = ::ptsname(master_);
    // Held open so that the line stays up between the dialog's own opens.
    keepOpen_ = ::open(slavePath_.c_str(), O_RDWR | O_NOCTTY);
  }
  ~FakeCounter() {
    stop_ = true;
    if (responder_.joinable()) responder_.join();
    ::close(keepOpen_);
    ::close(master_);
  }
  const std::string& SlavePath() const { return slavePath_; }

  // Answers "p" and a file number the way the counter does, and records what came in.
  void Respond() {
    responder_ = std::thread([this] {
      std::string pending;
      while (!stop_) {
        pollfd p{master_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0 || !(p.revents & POLLIN)) continue;
        char buf[64];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n <= 0) continue;
        pending.append(buf, static_cast<std::size_t>(n));
        {
          std::lock_guard lock(mutex_);
          received_.append(buf, static_cast<std::size_t>(n));
        }
        if (pending == "p") {
          Write("Enter file number:\r\n");
          pending.clear();
        } else if (pending.size() >= 2 && pending.ends_with("\r\n")) {
          Write("Writing snapshot " + pending.substr(0, pending.size() - 2) + "\r\n");
          Write("Disk Write Complete\r\n");
          pending.clear();
        }
      }
    });
  }
  std::string Received() {
    std::lock_guard lock(mutex_);
    return received_;
  }
  // Waits until `text` came in (the dialog has written it before returning, so this is
  // only the pty's hand-over).
  bool WaitFor(const std::string& text) {
    for (int i = 0; i < 200; ++i) {
      if (Received().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }

 private:
  void Write(const std::string& s) { (void)!::write(master_, s.data(), s.size()); }
  int master_ = -1;
  int keepOpen_ = -1;
  std::string slavePath_;
  std::thread responder_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::string received_;
};

TEST(StoreSnapshot, WritesPThenTheFileNumberWithCrLfAndStoresTheNumber) {
  FakeCounter counter;
  counter.Respond();
  TestDoc t;
  t.store.Write(keys::kDeviceDu, counter.SlavePath());
  t.store.Write(keys::kLastSnapshotFileNumber, 7);
  CVESKDoc& doc = t.Make();
  RecordingPrompts prompts;
  CStoreSnapshotDlg dlg(doc);
  dlg.SetPrompts(prompts);
  EXPECT_EQ(dlg.windowTitle(), "Store Snap-Shot");
  EXPECT_EQ(dlg.ReplyText(), "Waiting for file number...");
  EXPECT_EQ(dlg.FileNumberField()->value(), 7);

  dlg.OpenStore();
  EXPECT_TRUE(dlg.StoreReady());
  ASSERT_TRUE(counter.WaitFor("p"));
  EXPECT_TRUE(dlg.ReplyText().contains("Enter file number:"));

  dlg.FileNumberField()->setValue(12);
  dlg.findChild<QPushButton*>("storeButton")->click();
  ASSERT_TRUE(counter.WaitFor("12\r\n"));
  EXPECT_EQ(counter.Received(), "p12\r\n");
  EXPECT_TRUE(dlg.NumberSent());
  EXPECT_FALSE(dlg.FileNumberField()->isEnabled());
  EXPECT_EQ(doc.Store().Read(keys::kLastSnapshotFileNumber), 12);
  EXPECT_TRUE(dlg.Polling());
  EXPECT_TRUE(dlg.ReplyText().contains("Disk Write Complete"));
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
  EXPECT_EQ(prompts.shown[0].caption, "WARNING: Communication Error");
  EXPECT_FALSE(dlg.NumberSent());
  EXPECT_FALSE(dlg.Polling());
  EXPECT_TRUE(dlg.FileNumberField()->isEnabled());  // the operator may try again
  EXPECT_FALSE(doc.Store().Contains("Settings", "LastSnapshotFileNumber"));
}

TEST(StoreSnapshot, AConnectedPortIsReleasedWhileOpenAndReconnectedAfterwards) {
  FakeCounter counter;
  counter.Respond();
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
