#pragma once
// "Store Snap-Shot": stores the counter's snapshot to its flash card under a file number.
// Idle only: the dialog holds the counter port while it is open ("p" on opening, the number
// and CR LF on "Store", then a 500 ms poll for the counter's replies), so that no reply is
// lost between two reads, and ends with a plain result: stored, failed (the counter's line),
// or no answer within kAnswerSeconds. A connected port is released while the dialog is open
// and reconnected when it closes.

#include <QDialog>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string>

#include "control/snapshot_reply.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;

namespace vesk {

class CSerialPort;
class CVESKDoc;
class DialogPrompts;

class CStoreSnapshotDlg : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kPollMs = 500;
  static constexpr int kAnswerSeconds = 30;

  CStoreSnapshotDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CStoreSnapshotDlg() override;

  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }

  // Opening: "p" to the counter, its reply into the reply box (run once the window shows).
  void OpenStore();
  // "Store": the file number and CR LF, the reply, then the poll.
  void Store();
  // One poll tick: what the counter sent since, appended to the reply box; the result once
  // the counter answered (or did not in time).
  void Poll();

  bool StoreReady() const { return ready_; }
  bool NumberSent() const { return sent_; }
  bool Polling() const { return pollTimer_.isActive(); }
  QString ReplyText() const;
  QString ResultText() const;
  QSpinBox* FileNumberField() { return fileNumber_; }

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Opens and sets up the counter port unless it is open; throws CSerialException.
  void OpenPort();
  void ClosePort();
  void AppendReply(const std::string& bytes);
  void ShowResult(SnapshotOutcome outcome, const QString& text);
  void ReportFailure();
  void Reconnect();

  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  QTimer pollTimer_;
  QSpinBox* fileNumber_ = nullptr;
  QPushButton* store_ = nullptr;
  QPlainTextEdit* reply_ = nullptr;
  QLabel* result_ = nullptr;
  std::unique_ptr<CSerialPort> port_;
  SnapshotReplyWatch watch_{SnapshotReplyWatch::Command::Store};
  std::chrono::steady_clock::time_point sentAt_{};
  int number_ = 0;
  SnapshotOutcome outcome_ = SnapshotOutcome::None;  // of the last "Store"
  bool ready_ = false;
  bool sent_ = false;
  bool opened_ = false;
  bool reconnect_ = false;  // the document's port was released for this dialog
};

}  // namespace vesk
