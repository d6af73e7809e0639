#include "ui/dialogs/store_snapshot_dlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <memory>

#include "acquisition/serial_port.h"
#include "acquisition/vesk_doc.h"
#include "ui/dialogs/dialog_prompts.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Store Snap-Shot";
constexpr const char* kWaiting = "Waiting for file number...";
constexpr const char* kStoreCaption = "Store";
constexpr const char* kCloseCaption = "Close";
constexpr const char* kSendError = "WARNING!! \n\nError sending command to VESK";
constexpr const char* kSendErrorCaption = "WARNING: Communication Error";
constexpr const char* kOpenStoreCommand = "p";
constexpr const char* kStoringFormat = "Storing the snapshot to file %02d ...";
constexpr const char* kStoredFormat = "Snapshot stored to file %02d.";
constexpr const char* kFailedFormat = "The snapshot was NOT stored to file %02d: %s";
constexpr const char* kNoAnswerFormat =
    "No answer from the counter within %d s: the snapshot may not have been stored to file %02d.";
constexpr const char* kDoneLook = "color:#1b5e20; font-weight:bold;";
constexpr const char* kFailedLook = "color:#b71c1c; font-weight:bold;";

constexpr std::size_t kReplyLimit = 500;
constexpr std::size_t kPollLimit = 100;
constexpr int kReplyGapMs = 100;  // a reply is complete after this long without a byte
constexpr SerialTimeouts kTimeouts{0, 0, kReplyGapMs, 0, 500};

template <typename... Args>
QString Formatted(const char* format, Args... args) {
  char text[512];
  std::snprintf(text, sizeof text, format, args...);
  return QString::fromLatin1(text);
}

// What the counter sends within the reply gap, at most `limit` bytes.
std::string ReadReply(CSerialPort& port, std::size_t limit) {
  std::string reply(limit, '\0');
  std::size_t got = 0;
  while (got < limit) {
    const std::size_t n = port.Read(reply.data() + got, limit - got, kReplyGapMs);
    if (n == 0) break;
    got += n;
  }
  reply.resize(got);
  return reply;
}

}  // namespace

CStoreSnapshotDlg::CStoreSnapshotDlg(CVESKDoc& doc, QWidget* parent)
    : QDialog(parent), doc_(doc), prompts_(&StandardPrompts()) {
  setWindowTitle(kCaption);
  setModal(true);

  fileNumber_ = new QSpinBox(this);
  fileNumber_->setRange(1, 99);
  fileNumber_->setValue(std::clamp(doc_.Store().Read(keys::kLastSnapshotFileNumber), 1, 99));
  store_ = new QPushButton(kStoreCaption, this);
  store_->setObjectName("storeButton");
  store_->setAutoDefault(false);
  reply_ = new QPlainTextEdit(this);
  reply_->setReadOnly(true);
  reply_->setPlainText(kWaiting);
  reply_->setMinimumSize(380, 160);
  result_ = new QLabel(this);
  result_->setObjectName("storeResult");
  result_->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close = buttons->addButton(kCloseCaption, QDialogButtonBox::AcceptRole);
  close->setObjectName("closeButton");

  auto* row = new QHBoxLayout();
  row->addWidget(new QLabel("File Number (1 - 99):", this));
  row->addWidget(fileNumber_);
  row->addWidget(store_);
  row->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(row);
  layout->addWidget(reply_, 1);
  layout->addWidget(result_);
  layout->addWidget(buttons);

  connect(store_, &QPushButton::clicked, this, &CStoreSnapshotDlg::Store);
  connect(buttons, &QDialogButtonBox::accepted, this, &CStoreSnapshotDlg::accept);
  pollTimer_.setInterval(kPollMs);
  connect(&pollTimer_, &QTimer::timeout, this, &CStoreSnapshotDlg::Poll);

  // The port can be held by one side only: release the document's until the dialog closes.
  reconnect_ = doc_.ReleaseCounterPort();
}

CStoreSnapshotDlg::~CStoreSnapshotDlg() {
  ClosePort();
  Reconnect();
}

void CStoreSnapshotDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (opened_) return;
  opened_ = true;
  // Once the window is up: the counter may take a moment to answer.
  QTimer::singleShot(0, this, &CStoreSnapshotDlg::OpenStore);
}

void CStoreSnapshotDlg::OpenPort() {
  if (port_ != nullptr && port_->IsOpen()) return;
  port_ = std::make_unique<CSerialPort>();
  const PortSettings& p = doc_.Settings().counterPort;
  port_->Open(p.port, p.bitRate, p.parity, p.dataBits, p.stopBits, p.flowControl, p.device);
  port_->SetTimeouts(kTimeouts);
  port_->Purge(kPurgeRxClear | kPurgeTxClear);
}

void CStoreSnapshotDlg::ClosePort() {
  if (port_ != nullptr) port_->Close();
  port_.reset();
}

void CStoreSnapshotDlg::OpenStore() {
  opened_ = true;
  if (doc_.Scanning()) return;  // the scan owns the port
  try {
    OpenPort();
    ready_ = port_->Write(kOpenStoreCommand, 1) == 1;
    AppendReply(ReadReply(*port_, kReplyLimit));
  } catch (const CSerialException&) {
    ClosePort();
    ready_ = false;
  }
  if (!ready_) ReportFailure();
}

void CStoreSnapshotDlg::Store() {
  if (doc_.Scanning()) return;
  number_ = fileNumber_->value();
  outcome_ = SnapshotOutcome::None;
  fileNumber_->setEnabled(false);
  store_->setEnabled(false);
  bool ok = false;
  try {
    OpenPort();
    if (ready_) {
      char command[16];
      const int length = std::snprintf(command, sizeof command, "%d\r\n", number_);
      if (port_->Write(command, static_cast<std::size_t>(length)) ==
          static_cast<std::size_t>(length)) {
        sent_ = true;
        ok = true;
        sentAt_ = std::chrono::steady_clock::now();
        watch_ = SnapshotReplyWatch(SnapshotReplyWatch::Command::Store);
        doc_.Store().Write(keys::kLastSnapshotFileNumber, number_);
      }
    }
    if (ok) ShowResult(SnapshotOutcome::None, Formatted(kStoringFormat, number_));
    AppendReply(ReadReply(*port_, kReplyLimit));
  } catch (const CSerialException&) {
    ClosePort();
    ok = false;
  }
  if (!ok) {
    // Nothing went out: say so, and let the operator try again.
    fileNumber_->setEnabled(true);
    store_->setEnabled(true);
    ReportFailure();
    return;
  }
  if (ready_ && sent_ && outcome_ == SnapshotOutcome::None) pollTimer_.start();
}

void CStoreSnapshotDlg::Poll() {
  try {
    OpenPort();
    AppendReply(ReadReply(*port_, kReplyLimit));
  } catch (const CSerialException&) {
    ClosePort();
    pollTimer_.stop();  // one warning, not one every tick
    ReportFailure();
    return;
  }
  if (pollTimer_.isActive() &&
      std::chrono::steady_clock::now() - sentAt_ > std::chrono::seconds(kAnswerSeconds)) {
    ShowResult(SnapshotOutcome::NoAnswer, Formatted(kNoAnswerFormat, kAnswerSeconds, number_));
  }
}

void CStoreSnapshotDlg::AppendReply(const std::string& bytes) {
  if (bytes.empty()) return;
  QString text = QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  text.replace("\r\n", "\n").replace('\r', '\n').remove(QChar('\0'));
  QTextCursor end = reply_->textCursor();
  end.movePosition(QTextCursor::End);
  if (!reply_->toPlainText().endsWith('\n')) end.insertText("\n");
  end.insertText(text);
  reply_->setTextCursor(end);
  reply_->ensureCursorVisible();
  if (!sent_ || outcome_ != SnapshotOutcome::None) return;
  const SnapshotReply reply = watch_.Feed(bytes);
  if (reply.outcome == SnapshotOutcome::Done) {
    ShowResult(reply.outcome, Formatted(kStoredFormat, number_));
  } else if (reply.outcome == SnapshotOutcome::Failed) {
    ShowResult(reply.outcome, Formatted(kFailedFormat, number_, reply.line.c_str()));
  }
}

void CStoreSnapshotDlg::ShowResult(SnapshotOutcome outcome, const QString& text) {
  result_->setText(text);
  outcome_ = outcome;
  result_->setStyleSheet(outcome == SnapshotOutcome::Done   ? kDoneLook
                         : outcome == SnapshotOutcome::None ? ""
                                                            : kFailedLook);
  if (outcome == SnapshotOutcome::None) return;
  pollTimer_.stop();
  // Another file number may be tried after a failure.
  fileNumber_->setEnabled(outcome != SnapshotOutcome::Done);
  store_->setEnabled(outcome != SnapshotOutcome::Done);
}

QString CStoreSnapshotDlg::ReplyText() const {
  return reply_->toPlainText();
}

QString CStoreSnapshotDlg::ResultText() const {
  return result_->text();
}

void CStoreSnapshotDlg::ReportFailure() {
  prompts_->Message(this, kSendError, kSendErrorCaption, QMessageBox::Warning);
}

void CStoreSnapshotDlg::done(int result) {
  pollTimer_.stop();
  QDialog::done(result);
  ClosePort();
  Reconnect();
}

void CStoreSnapshotDlg::Reconnect() {
  if (!reconnect_) return;
  reconnect_ = false;
  doc_.ConnectCounterPort();
}

}  // namespace vesk
