#pragma once
// Every dialog as wide as its title needs: a window manager cuts a title that is wider than
// its window ("Add N... Cursor"). Installed on the application, it widens each dialog as it is
// first shown (message boxes and the standard dialogs included).

#include <QObject>
#include <QString>

namespace vesk {

// The width a window needs for its title bar to show `title` whole: the title in the bold
// application font, and the room of the window manager's icon and buttons.
int TitleWidth(const QString& title);

class CTitleFitter : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace vesk
