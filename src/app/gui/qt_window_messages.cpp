#include "app/gui/qt_window_messages.h"

#include <QCoreApplication>
#include <QThread>

#include "display/uwm_events.h"

namespace vesk {
namespace {

bool OnUiThread() {
  const auto* app = QCoreApplication::instance();
  return app != nullptr && QThread::currentThread() == app->thread();
}

}  // namespace

UwmEvent::UwmEvent(WindowTarget target, Uwm message)
    : QEvent(UwmEventType(message)), target_(target), message_(message) {}

void QtWindowMessages::Attach(MessageFrame* frame) {
  std::array<std::string, 5> panes;
  {
    std::lock_guard lock(mutex_);
    frame_ = frame;
    panes = panes_;
  }
  for (auto& p : pending_) p = false;
  for (int i = 0; i < static_cast<int>(panes.size()); ++i) {
    if (!panes[i].empty()) frame->ShowPaneText(i, panes[i]);
  }
}

void QtWindowMessages::Detach() {
  std::lock_guard lock(mutex_);
  frame_ = nullptr;
}

void QtWindowMessages::Post(WindowTarget target, Uwm message) {
  const int index = static_cast<int>(message);
  // A frequent notification is not posted again while the last one waits in the queue.
  if (Coalesced(message) && pending_[index].exchange(true)) return;
  std::lock_guard lock(mutex_);
  if (frame_ == nullptr) {
    pending_[index] = false;
    return;
  }
  QCoreApplication::postEvent(frame_->FrameObject(), new UwmEvent(target, message));
}

void QtWindowMessages::Send(WindowTarget target, Uwm message) {
  MessageFrame* frame = nullptr;
  {
    std::lock_guard lock(mutex_);
    frame = frame_;
  }
  if (frame == nullptr) return;
  if (OnUiThread()) {
    frame->Deliver(target, message);
  } else {
    // Only the user-interface thread sends; from anywhere else it becomes a post.
    Post(target, message);
  }
}

void QtWindowMessages::SetPaneText(int pane, const std::string& text) {
  if (pane < 0 || pane >= static_cast<int>(panes_.size())) return;
  std::lock_guard lock(mutex_);
  panes_[pane] = text;
  if (frame_ == nullptr) return;
  if (OnUiThread()) {
    frame_->ShowPaneText(pane, text);
    return;
  }
  MessageFrame* frame = frame_;
  QMetaObject::invokeMethod(
      frame->FrameObject(), [frame, pane, text] { frame->ShowPaneText(pane, text); },
      Qt::QueuedConnection);
}

void QtWindowMessages::Taken(Uwm message) {
  pending_[static_cast<int>(message)] = false;
}

std::string QtWindowMessages::PaneText(int pane) const {
  if (pane < 0 || pane >= static_cast<int>(panes_.size())) return {};
  std::lock_guard lock(mutex_);
  return panes_[pane];
}

}  // namespace vesk
