#pragma once
// The window seam over Qt events: a registered message becomes an event of its own type
// posted to the main frame, which hands it to the window it is meant for. Status pane texts
// set from a worker thread reach the status bar through the main frame's event queue.

#include <QEvent>
#include <QObject>
#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "acquisition/window_messages.h"

namespace vesk {

// A registered message on its way to the main frame, with the window it is meant for.
class UwmEvent : public QEvent {
 public:
  UwmEvent(WindowTarget target, Uwm message);
  WindowTarget Target() const { return target_; }
  Uwm Message() const { return message_; }

 private:
  WindowTarget target_;
  Uwm message_;
};

// What the window seam needs of the main frame (user-interface thread only).
class MessageFrame {
 public:
  virtual ~MessageFrame() = default;
  virtual QObject* FrameObject() = 0;
  // Hands a message to the window it is meant for, at once.
  virtual void Deliver(WindowTarget target, Uwm message) = 0;
  virtual void ShowPaneText(int pane, const std::string& text) = 0;
};

class QtWindowMessages : public WindowMessages {
 public:
  // The main frame that receives every message; messages before Attach and after Detach
  // are dropped (pane texts are kept and shown when the frame attaches).
  void Attach(MessageFrame* frame);
  void Detach();

  void Post(WindowTarget target, Uwm message) override;
  void Send(WindowTarget target, Uwm message) override;
  void SetPaneText(int pane, const std::string& text) override;

  // The main frame took a posted message: a worker may post the next one of its kind.
  void Taken(Uwm message);
  // The last text set for a pane.
  std::string PaneText(int pane) const;

 private:
  static bool Coalesced(Uwm message) {
    return message == Uwm::UpdateControlBar || message == Uwm::UpdateTimePlotsRelay;
  }

  mutable std::mutex mutex_;  // frame_ and panes_
  MessageFrame* frame_ = nullptr;
  std::array<std::string, 5> panes_;
  std::array<std::atomic<bool>, kUwmCount> pending_{};
};

}  // namespace vesk
