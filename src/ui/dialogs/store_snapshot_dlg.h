#pragma once
// "Store Snap-Shot": stores the counter's snapshot to its flash card under a file number.
// Idle only: the dialog opens the counter port itself for each step ("p" on opening, the
// number and CR LF on "Store", then a 500 ms poll for the counter's replies) and closes it
// again after each. A connected port is released while the dialog is open and reconnected
// when it closes.

#include <QDialog>
#include <QTimer>
#include <string>

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

  CStoreSnapshotDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CStoreSnapshotDlg() override;

  void SetPrompts(DialogPrompts& prompts) { prompts_ = &prompts; }

  // Opening: "p" to the counter, its reply into the reply box (run once the window shows).
  void OpenStore();
  // "Store": the file number and CR LF, the reply, then the poll.
  void Store();
  // One poll tick: what the counter sent since, appended to the reply box.
  void Poll();

  bool StoreReady() const { return ready_; }
  bool NumberSent() const { return sent_; }
  bool Polling() const { return pollTimer_.isActive(); }
  QString ReplyText() const;
  QSpinBox* FileNumberField() { return fileNumber_; }

  void done(int result) override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // Opens and sets up the counter port; throws CSerialException.
  void OpenPort(CSerialPort& port);
  void AppendReply(const std::string& bytes);
  void ReportFailure();
  void Reconnect();

  CVESKDoc& doc_;
  DialogPrompts* prompts_;
  QTimer pollTimer_;
  QSpinBox* fileNumber_ = nullptr;
  QPushButton* store_ = nullptr;
  QPlainTextEdit* reply_ = nullptr;
  bool ready_ = false;
  bool sent_ = false;
  bool opened_ = false;
  bool reconnect_ = false;  // the document's port was released for this dialog
};

}  // namespace vesk
