// Start-up of the whole program with windows: its messages in order, and the remote control
// driving the main window over a real UDP socket.

#include "app/gui/vesk_app.h"

#include <gtest/gtest.h>

#include "acquisition/vesk_doc.h"
#include "control/udp_control.h"
#include "display/main_frame.h"
#include "gui/view_test_support.h"
#include "seams/memory_settings_store.h"
#include "test_support/pty.h"
#include "test_support/temp_dir.h"
#include "test_support/udp.h"

namespace vesk {
namespace {

using test::PollUntil;

const char* kSurveyLatWarning =
    "WARNING !!!\n\nIt appears that the Survey Latitude has not been set";

TEST(VeskApp, StartUpMessagesInOrderAndTheRemoteControlDrivesTheWindow) {
  struct Case {
    const char* name;
    bool configured;  // ComPort_DU and SurveyLat stored besides Device_DU
    const char* bindAddress;
    std::vector<std::string> messages;  // prefixes, in order
  };
  const Case cases[] = {
      // Named by its device only, the port is configured: no first-run message.
      {"device only", false, "127.0.0.1", {kSurveyLatWarning}},
      {"configured", true, "127.0.0.1", {}},
      // An address this machine does not have: the socket cannot be bound.
      {"no network", true, "203.0.113.7", {kNetworkUnavailable}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir dir;
    test::Pty counter;
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
    for (std::size_t i = 0; i < shown.size(); ++i) EXPECT_EQ(shown[i].rfind(c.messages[i], 0), 0u);
    ASSERT_NE(app.Frame(), nullptr);
    EXPECT_TRUE(app.Doc()->Connected());
    EXPECT_EQ(app.RemoteControlAvailable(), std::string(c.bindAddress) == "127.0.0.1");
    if (!c.configured || !app.RemoteControlAvailable()) continue;

    // The remote control drives the window: acquire, log, stop, exit.
    ASSERT_NE(app.RemoteControlPort(), 0);
    CMainFrame& frame = *app.Frame();
    test::SendRemoteCommand(app.RemoteControlPort(), 4);
    ASSERT_TRUE(PollUntil([&] { return app.Doc()->Scanning(); }));
    EXPECT_FALSE(app.Doc()->Logging());
    EXPECT_EQ(frame.PaneText(kPaneState), kScanningNoLogging);
    test::SendRemoteCommand(app.RemoteControlPort(), 1);
    ASSERT_TRUE(PollUntil([&] { return app.Doc()->Logging(); }));
    EXPECT_EQ(frame.PaneText(kPaneState), kScanningAndLogging);
    test::SendRemoteCommand(app.RemoteControlPort(), 2);
    ASSERT_TRUE(PollUntil([&] { return !app.Doc()->Scanning(); }));
    test::SendRemoteCommand(app.RemoteControlPort(), 3);
    ASSERT_TRUE(PollUntil([&] { return !frame.isVisible(); }));
  }
}

}  // namespace
}  // namespace vesk
