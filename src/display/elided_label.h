#pragma once
// A label whose text never widens its window: it asks for the room of its whole text, takes
// what the layout gives, and shows the text cut with "..." where that is less, the whole text
// then in its tool tip.

#include <QLabel>

namespace vesk {

class CElidedLabel : public QLabel {
  Q_OBJECT

 public:
  explicit CElidedLabel(QWidget* parent = nullptr, Qt::TextElideMode mode = Qt::ElideRight);

  // The whole text (what text() returns is what is shown).
  void SetFullText(const QString& text);
  QString FullText() const { return full_; }
  // The tool tip while the whole text shows.
  void SetPlainToolTip(const QString& tip);
  bool Elided() const { return text() != full_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  // The label's own room around its text (frame, margins, padding).
  int Chrome() const;
  void Elide();

  QString full_;
  QString plainTip_;
  Qt::TextElideMode mode_;
};

}  // namespace vesk
