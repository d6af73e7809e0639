#include "display/elided_label.h"

#include <QResizeEvent>
#include <algorithm>

namespace vesk {
namespace {

constexpr int kShortestChars = 4;  // "A..." at least

}  // namespace

CElidedLabel::CElidedLabel(QWidget* parent, Qt::TextElideMode mode) : QLabel(parent), mode_(mode) {
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
}

void CElidedLabel::SetFullText(const QString& text) {
  if (text == full_) return;
  full_ = text;
  updateGeometry();
  Elide();
}

void CElidedLabel::SetPlainToolTip(const QString& tip) {
  plainTip_ = tip;
  Elide();
}

int CElidedLabel::Chrome() const {
  return QLabel::sizeHint().width() - fontMetrics().horizontalAdvance(text());
}

QSize CElidedLabel::sizeHint() const {
  QSize size = QLabel::sizeHint();
  size.setWidth(Chrome() + fontMetrics().horizontalAdvance(full_));
  return size;
}

QSize CElidedLabel::minimumSizeHint() const {
  QSize size = QLabel::minimumSizeHint();
  const int shortest = Chrome() + fontMetrics().averageCharWidth() * kShortestChars;
  size.setWidth(std::min(shortest, sizeHint().width()));
  return size;
}

void CElidedLabel::resizeEvent(QResizeEvent* event) {
  QLabel::resizeEvent(event);
  Elide();
}

void CElidedLabel::Elide() {
  const int room = width() - Chrome();
  const QString shown = fontMetrics().horizontalAdvance(full_) <= room
                            ? full_
                            : fontMetrics().elidedText(full_, mode_, room);
  if (shown != text()) QLabel::setText(shown);
  const QString tip = shown == full_ ? plainTip_ : full_;
  if (tip != toolTip()) setToolTip(tip);
}

}  // namespace vesk
