// Start-up of the whole program with windows: its messages in order, and the remote control
// driving the main window over a real UDP socket.

#include "app/gui/vesk_app.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QNetworkProxy>
#include <QUdpSocket>
#include <chrono>
#include <thread>

#include "acquisition/vesk_doc.h"
#include "control/udp_control.h"
#include "display/main_frame.h"
#include "seams/memory_settings_store.h"
#include "test_support/temp_dir.h"
#include "test_support/udp.h"

namespace vesk {
namespace {

template <class Pred>
bool PollUntil(Pred done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    ::grantpt(master_);
    ::unlockpt(master_);
    termios t{};
    ::tcgetattr(master_, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master_, TCSANOW, &t);
    slave_ = ::ptsname(master_);
  }
  ~Pty() { ::close(master_); }
  const std::string& Slave() const { return slave_; }

 private:
  int master_ = -1;
  std::string slave_;
};

const char* kSurveyLatWarning =
    "WARNING !!!\n\nIt appears that the Survey Latitude has not been set";

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.rfind(prefix, 0) == 0;
}

TEST(VeskApp, StartUpMessagesInOrder) {
  struct Case {
    const char* name;
    bool configured;  // ComPort_DU and SurveyLat stored
    const char* bindAddress;
    std::vector<std::string> messages;  // prefixes, in order
  };
  const Case cases[] = {
      {"first run", false, "127.0.0.1", {kFirstRunMessage, kSurveyLatWarning}},
      {"configured", true, "127.0.0.1", {}},
      // An address this machine does not have: the socket cannot be bound.
      {"no network", true, "203.0.113.7", {kNetworkUnavailable}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    Pty counter;
    MemorySettingsStore store;
    store.WriteString("Settings", "DataDir", dir.Path());
    store.WriteString("PortSettings", "Device_DU", counter.Slave());
    store.WriteInt("RemoteControl", "Port", test::FreeUdpPort());
    store.WriteString("RemoteControl", "BindAddress", c.bindAddress);
    if (c.configured) {
      store.WriteInt("PortSettings", "ComPort_DU", 1);
      store.WriteString("Settings", "SurveyLat", "45.0");
    }
    AppOptions options;
    options.scripted = true;
    CVESKApp app(store, options);
    ASSERT_TRUE(app.InitInstance());
    const std::vector<std::string> shown = app.Dialogs().Shown();
    ASSERT_EQ(shown.size(), c.messages.size());
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_TRUE(StartsWith(shown[i], c.messages[i]));
    ASSERT_NE(app.Frame(), nullptr);
    EXPECT_TRUE(app.Frame()->isVisible());
    EXPECT_TRUE(app.Doc()->Connected());
    EXPECT_EQ(app.RemoteControlAvailable(), std::string(c.bindAddress) == "127.0.0.1");
  }
}

TEST(VeskApp, RemoteControlDrivesTheWindow) {
  test::TempDir dir;
  Pty counter;
  MemorySettingsStore store;
  store.WriteString("Settings", "DataDir", dir.Path());
  store.WriteString("Settings", "SurveyLat", "45.0");
  store.WriteInt("PortSettings", "ComPort_DU", 1);
  store.WriteString("PortSettings", "Device_DU", counter.Slave());
  store.WriteInt("RemoteControl", "Port", test::FreeUdpPort());
  AppOptions options;
  options.scripted = true;
  CVESKApp app(store, options);
  ASSERT_TRUE(app.InitInstance());
  ASSERT_NE(app.RemoteControlPort(), 0);
  QUdpSocket sender;
  sender.setProxy(QNetworkProxy::NoProxy);  // no system-proxy lookup thread
  auto send = [&](std::uint16_t command) {
    char datagram[10] = {static_cast<char>(command & 0xFF), static_cast<char>(command >> 8)};
    sender.writeDatagram(datagram, sizeof datagram, QHostAddress::LocalHost,
                         app.RemoteControlPort());
  };
  CMainFrame& frame = *app.Frame();
  send(4);
  ASSERT_TRUE(PollUntil([&] { return app.Doc()->Scanning(); }));
  EXPECT_FALSE(app.Doc()->Logging());
  EXPECT_EQ(frame.PaneText(kPaneState), kScanningNoLogging);
  send(1);
  ASSERT_TRUE(PollUntil([&] { return app.Doc()->Logging(); }));
  EXPECT_EQ(frame.PaneText(kPaneState), kScanningAndLogging);
  EXPECT_FALSE(frame.ControlBar()->StartLoggingButton()->isEnabled());
  send(2);
  ASSERT_TRUE(PollUntil([&] { return !app.Doc()->Scanning(); }));
  EXPECT_TRUE(frame.ControlBar()->StartAcquisitionButton()->isEnabled());
  send(3);
  ASSERT_TRUE(PollUntil([&] { return !frame.isVisible(); }));
}

}  // namespace
}  // namespace vesk
