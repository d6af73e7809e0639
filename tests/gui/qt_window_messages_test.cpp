// The window seam over Qt events: one event type per message, where messages and pane texts
// go, from which thread.

#include "app/gui/qt_window_messages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <set>
#include <thread>
#include <utility>
#include <vector>

#include "display/uwm_events.h"

namespace vesk {
namespace {

TEST(UwmEvents, EveryMessageHasItsOwnEventTypeAndComesBack) {
  std::set<int> types;
  for (int i = 0; i < kUwmCount; ++i) {
    const auto message = static_cast<Uwm>(i);
    const QEvent::Type type = UwmEventType(message);
    types.insert(type);
    EXPECT_EQ(UwmFromEventType(type), std::optional<Uwm>(message));
  }
  EXPECT_EQ(types.size(), static_cast<std::size_t>(kUwmCount));
  EXPECT_FALSE(UwmFromEventType(QEvent::MouseButtonPress).has_value());
}

class FakeFrame : public QObject, public MessageFrame {
 public:
  explicit FakeFrame(QtWindowMessages& messages) : messages_(messages) {}
  QObject* FrameObject() override { return this; }
  void Deliver(WindowTarget target, Uwm message) override {
    delivered.emplace_back(target, message);
  }
  void ShowPaneText(int pane, const std::string& text) override { panes.emplace_back(pane, text); }
  bool event(QEvent* e) override {
    if (auto* uwm = dynamic_cast<UwmEvent*>(e)) {
      messages_.Taken(uwm->Message());
      Deliver(uwm->Target(), uwm->Message());
      return true;
    }
    return QObject::event(e);
  }

  std::vector<std::pair<WindowTarget, Uwm>> delivered;
  std::vector<std::pair<int, std::string>> panes;

 private:
  QtWindowMessages& messages_;
};

// Sends are immediate, posts and pane texts from workers are queued to the user-interface
// thread, pane texts set before the frame reach it on attaching, and a detached seam drops.
TEST(QtWindowMessages, SendPostPaneTextsAndDetach) {
  QtWindowMessages messages;
  messages.SetPaneText(kPaneState, "\tIDLE\t");
  messages.SetPaneText(7, "ignored");
  FakeFrame frame(messages);
  messages.Attach(&frame);
  EXPECT_EQ(frame.panes, (std::vector<std::pair<int, std::string>>{{kPaneState, "\tIDLE\t"}}));
  messages.Send(WindowTarget::AllViews, Uwm::StartGraph);
  ASSERT_EQ(frame.delivered.size(), 1u);
  EXPECT_EQ(frame.delivered[0], std::make_pair(WindowTarget::AllViews, Uwm::StartGraph));

  std::thread worker([&] {
    messages.SetPaneText(kPaneDest, "  Dest: x.bin  ");
    messages.Post(WindowTarget::MainFrame, Uwm::PerformStop);
    messages.Post(WindowTarget::NavViewer, Uwm::NavViewerUpdate);
  });
  worker.join();
  EXPECT_EQ(frame.panes.size(), 1u);
  EXPECT_EQ(frame.delivered.size(), 1u);
  QCoreApplication::processEvents();
  ASSERT_EQ(frame.panes.size(), 2u);
  EXPECT_EQ(frame.panes[1], std::make_pair(int{kPaneDest}, std::string("  Dest: x.bin  ")));
  ASSERT_EQ(frame.delivered.size(), 3u);
  EXPECT_EQ(frame.delivered[2], std::make_pair(WindowTarget::NavViewer, Uwm::NavViewerUpdate));

  messages.Detach();
  messages.Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
  messages.Send(WindowTarget::MainFrame, Uwm::ClosePlayback);
  QCoreApplication::processEvents();
  EXPECT_EQ(frame.delivered.size(), 3u);
  // The coalescing flag of a dropped post does not hold back the next frame's first update.
  messages.Attach(&frame);
  messages.Post(WindowTarget::MainFrame, Uwm::UpdateControlBar);
  QCoreApplication::processEvents();
  EXPECT_EQ(frame.delivered.size(), 4u);
  messages.Detach();
}

}  // namespace
}  // namespace vesk
