#pragma once
// The navigation viewer: a modeless window that shows the NMEA sentences captured while it is
// open, newest at the bottom. While it exists the document collects the viewer text (bounded
// by the capture); closing it stops that and forgets the text.

#include <QDialog>

#include "display/message_receiver.h"

class QLabel;
class QPlainTextEdit;

namespace vesk {

class CVESKDoc;

class CNavViewerDlg : public QDialog, public MessageReceiver {
  Q_OBJECT

 public:
  // The edit box keeps at most this many lines (the document's text is bounded too).
  static constexpr int kMaxLines = 2000;

  explicit CNavViewerDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CNavViewerDlg() override;

  // Uwm::NavViewerUpdate: the document's viewer text into the edit box, newest in view.
  void OnMessage(Uwm message) override;
  QString Text() const;

 private:
  CVESKDoc& doc_;
  QLabel* sentence_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace vesk
