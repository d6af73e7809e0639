#include "ui/dialogs/nav_viewer_dlg.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>
#include <mutex>

#include "acquisition/vesk_doc.h"

namespace vesk {
namespace {

constexpr const char* kCaption = "Nav Viewer";
constexpr const char* kSentencePrefix = "Sentence to parse: ";

void ClearViewerText(CVESKDoc& doc) {
  std::lock_guard lock(doc.navLock);
  doc.navViewerText.clear();
}

}  // namespace

CNavViewerDlg::CNavViewerDlg(CVESKDoc& doc, QWidget* parent) : QDialog(parent), doc_(doc) {
  setObjectName("navViewer");
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(kCaption);
  auto* layout = new QVBoxLayout(this);
  sentence_ = new QLabel(
      QString(kSentencePrefix) + QString::fromStdString(doc_.store.Read(keys::kSentenceToParse)),
      this);
  sentence_->setObjectName("sentenceToParse");
  layout->addWidget(sentence_);
  text_ = new QPlainTextEdit(this);
  text_->setObjectName("viewerText");
  text_->setReadOnly(true);
  text_->setLineWrapMode(QPlainTextEdit::NoWrap);
  text_->setMaximumBlockCount(kMaxLines);
  layout->addWidget(text_);
  resize(560, 320);
  ClearViewerText(doc_);
  doc_.navViewerOpen = true;
}

CNavViewerDlg::~CNavViewerDlg() {
  doc_.navViewerOpen = false;
  ClearViewerText(doc_);
}

void CNavViewerDlg::OnMessage(Uwm message) {
  if (message != Uwm::NavViewerUpdate) return;
  std::string copy;
  {
    std::lock_guard lock(doc_.navLock);
    copy = doc_.navViewerText;
  }
  // Windows-1252 text: one character per byte.
  text_->setPlainText(QString::fromLatin1(copy.data(), static_cast<qsizetype>(copy.size())));
  text_->moveCursor(QTextCursor::End);
  text_->ensureCursorVisible();
}

QString CNavViewerDlg::Text() const {
  return text_->toPlainText();
}

}  // namespace vesk
