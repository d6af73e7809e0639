#include "ui/dialogs/title_fitter.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QPointer>
#include <QTimer>

namespace vesk {
namespace {

// A title bar's icon, its three buttons and the margins around them.
constexpr int kTitleBarChrome = 130;

void FitTitle(QWidget* window) {
  const int need = TitleWidth(window->windowTitle());
  if (window->width() >= need) return;
  if (window->maximumWidth() < need) window->setMaximumWidth(need);
  window->setMinimumWidth(need);
  window->resize(need, window->height());
}

}  // namespace

int TitleWidth(const QString& title) {
  QFont font = QApplication::font();
  font.setBold(true);
  return QFontMetrics(font).horizontalAdvance(title) + kTitleBarChrome;
}

bool CTitleFitter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Show) {
    auto* dialog = qobject_cast<QDialog*>(watched);
    if (dialog != nullptr && dialog->isWindow()) {
      // After the dialog's own sizing on showing (a message box fixes its size then).
      QTimer::singleShot(0, dialog, [dialog = QPointer<QDialog>(dialog)] {
        if (dialog) FitTitle(dialog);
      });
    }
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace vesk
