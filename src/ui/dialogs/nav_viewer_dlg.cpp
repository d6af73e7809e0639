#include "ui/dialogs/nav_viewer_dlg.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include "acquisition/vesk_doc.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Nav Viewer";
constexpr const char* kSentencePrefix = "Sentence to parse: ";

}  // namespace

CNavViewerDlg::CNavViewerDlg(CVESKDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
  setObjectName("navViewer");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  sentence_ = new QLabel(
      QString(kSentencePrefix) + QString::fromStdString(doc_.Store().Read(keys::kSentenceToParse)),
      this);
  sentence_->setObjectName("sentenceToParse");
  layout->addWidget(sentence_);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("viewerText");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setMaximumBlockCount(static_cast<int>(NavViewerLog::kMaxLines));
  layout->addWidget(text_);
  resize(560, 320);
  doc_.SetNavViewerOpen(true);
  AppendNew();
}

CNavViewerDlg::~CNavViewerDlg() {
  doc_.SetNavViewerOpen(false);
}

void CNavViewerDlg::OnMessage(Uwm message) {
  if (message == Uwm::NavViewerUpdate) AppendNew();
}

void CNavViewerDlg::AppendNew() {
  NavViewerLog::NewLines fresh = doc_.Results().Viewer().Since(seen_);
  seen_ = fresh.next;
  if (fresh.lines.empty()) return;
  QScrollBar* bar = text_->verticalScrollBar();
  const bool following = bar->value() >= bar->maximum();
  QString block;
  for (const std::string& line : fresh.lines) {
    if (!block.isEmpty()) block += QLatin1Char('\n');
    // Windows-1252 text: one character per byte.
    block += QString::fromLatin1(line.data(), static_cast<qsizetype>(line.size()));
  }
  text_->appendPlainText(block);
  // The newest stay in view, unless the user scrolled back to read older ones.
  if (following) bar->setValue(bar->maximum());
}

QString CNavViewerDlg::Text() const {
  return text_->toPlainText();
}

}  // namespace vesk
