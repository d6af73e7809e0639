#pragma once
// The navigation viewer: a modeless window in which the captured NMEA sentences scroll by,
// newest at the bottom and in view (unless the user scrolled back to read older ones). It
// opens with the document's recent sentences and appends each new one.

#include <QDialog>
#include <cstdint>

#include "display/message_receiver.h"

class QLabel;
class QPlainTextEdit;

namespace vesk {

class CVESKDoc;

class CNavViewerDlg : public QDialog, public MessageReceiver {
  Q_OBJECT

 public:
  explicit CNavViewerDlg(CVESKDoc& doc, QWidget* parent = nullptr);
  ~CNavViewerDlg() override;

  // Uwm::NavViewerUpdate: the sentences that arrived since the last one, appended.
  void OnMessage(Uwm message) override;
  QString Text() const;

 private:
  void AppendNew();

  CVESKDoc& doc_;
  std::uint64_t seen_ = 0;
  QLabel* sentence_ = nullptr;
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace vesk
