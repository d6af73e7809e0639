#pragma once
// A document for widget tests: in-memory settings, quiet console dialogs, a fixed clock, and
// window messages that reach the views under test the way the main frame relays them. Also
// prompts that record what a dialog would show and answer from a script.

#include <QCoreApplication>
#include <chrono>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "acquisition/headless_seams.h"
#include "acquisition/vesk_doc.h"
#include "display/message_receiver.h"
#include "seams/memory_settings_store.h"
#include "test_support/frame_builder.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk::test {

// Runs the event loop until `done` holds (at most 5 s).
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

// Sends go to the receivers registered for their target; posts and sends are counted.
class RelayWindows : public HeadlessWindows {
 public:
  void Send(WindowTarget target, Uwm message) override {
    HeadlessWindows::Send(target, message);
    if (target == WindowTarget::AllViews && view != nullptr) view->OnMessage(message);
    if (target == WindowTarget::MainFrame) Record(message);
  }
  // Worker threads post too.
  void Post(WindowTarget target, Uwm message) override {
    HeadlessWindows::Post(target, message);
    if (target == WindowTarget::MainFrame) Record(message);
  }
  // The messages sent or posted to the main frame so far.
  std::vector<Uwm> ToMainFrame() const {
    std::lock_guard lock(mainFrameLock_);
    return toMainFrame_;
  }
  MessageReceiver* view = nullptr;

 private:
  void Record(Uwm message) {
    std::lock_guard lock(mainFrameLock_);
    toMainFrame_.push_back(message);
  }
  mutable std::mutex mainFrameLock_;
  std::vector<Uwm> toMainFrame_;
};

// An L frame on the wire: every bin at `binValue`, the housekeeping words the bar shows.
inline std::string LFrameWire(std::uint16_t binValue) {
  LFrameFields fields;
  fields.bins.fill(binValue);
  fields.housekeeping = {2499, 0, 0, 1000, 8000, 401, 2006};
  const Bytes wire = Wire(MakeLFrame(fields));
  return {wire.begin(), wire.end()};
}

inline std::tm FixedTestTime() {
  std::tm tm{};
  tm.tm_year = 2026 - 1900;
  tm.tm_mon = 11;
  tm.tm_mday = 6;
  tm.tm_hour = 10;
  return tm;
}

struct TestDoc {
  TestDoc() { store.Write(keys::kSurveyLat, "45.0"); }
  CVESKDoc& Make() {
    doc = std::make_unique<CVESKDoc>(store, windows, dialogs, clock);
    return *doc;
  }
  MemorySettingsStore store;
  RelayWindows windows;
  ConsoleDialogs dialogs{true, true};
  FixedClock clock{FixedTestTime()};
  std::unique_ptr<CVESKDoc> doc;
};

// Records every box; questions take the next scripted answer (Yes when none is left).
class RecordingPrompts : public DialogPrompts {
 public:
  struct Shown {
    std::string text;
    std::string caption;
    QMessageBox::Icon icon;
    bool question;
  };
  void Message(QWidget*, const std::string& text, const std::string& caption,
               QMessageBox::Icon icon) override {
    shown.push_back({text, caption, icon, false});
  }
  bool Ask(QWidget*, const std::string& text, const std::string& caption, QMessageBox::Icon icon,
           Buttons) override {
    shown.push_back({text, caption, icon, true});
    if (answers.empty()) return true;
    const bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const Shown& s : shown) out.push_back(s.text);
    return out;
  }
  std::vector<Shown> shown;
  std::deque<bool> answers;
};

}  // namespace vesk::test
