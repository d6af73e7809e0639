#pragma once
// Drives the windows as a user does: mouse clicks and keys (QTest) on the real widgets, menus
// opened from the menu bar and popup menus clicked, and modal dialogs handled from a timer
// while they wait for the user. The message boxes a test expects are answered by the watch of
// gui_test_main.cpp; any other one fails the test.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>
#include <vector>

#include "gui/view_test_support.h"

namespace vesk::test {

// The next box whose text holds `text` is answered with `button`, in the order expected.
void ExpectBox(const std::string& text, QMessageBox::StandardButton button = QMessageBox::Ok);
// The boxes expected and not shown yet (forgotten at the end of each test).
std::vector<std::string> BoxesNotShown();

inline void Click(QWidget* widget, Qt::MouseButton button = Qt::LeftButton) {
  ASSERT_NE(widget, nullptr);
  QPoint at = widget->rect().center();
  // A check box or radio button takes clicks on its box and text, not on the rest of its row.
  if (qobject_cast<QCheckBox*>(widget) != nullptr || qobject_cast<QRadioButton*>(widget) != nullptr)
    at.setX(std::min(at.x(), 8));
  QTest::mouseClick(widget, button, {}, at);
}

// A right click, with the context menu request the window system makes of it.
inline void RightClick(QWidget* widget) {
  Click(widget, Qt::RightButton);
  const QPoint at = widget->rect().center();
  QContextMenuEvent request(QContextMenuEvent::Mouse, at, widget->mapToGlobal(at));
  QApplication::sendEvent(widget, &request);
}

// Selects the field's text and types `text` over it.
inline void Type(QWidget* field, const QString& text) {
  ASSERT_NE(field, nullptr);
  field->setFocus();
  QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(field, Qt::Key_Backspace);
  QTest::keyClicks(field, text);
}

template <class W>
W* Find(const QWidget& parent, const char* name) {
  W* found = parent.findChild<W*>(QString::fromLatin1(name));
  EXPECT_NE(found, nullptr) << name;
  return found;
}

// The action of `menu` whose text is `text`, or (with a trailing '*') starts with it.
inline QAction* ItemOf(const QList<QAction*>& actions, const QString& text) {
  for (QAction* a : actions) {
    if (a->text() == text || (text.endsWith('*') && a->text().startsWith(text.chopped(1))))
      return a;
  }
  return nullptr;
}

// Clicks an item of an open popup menu; an item with a submenu opens it, which is returned.
inline QMenu* ClickItem(QMenu* menu, const QString& text) {
  QAction* action = ItemOf(menu->actions(), text);
  EXPECT_NE(action, nullptr) << text.toStdString();
  if (action == nullptr) return nullptr;
  QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
  QMenu* sub = action->menu();
  if (sub != nullptr) {
    EXPECT_TRUE(PollUntil([&] { return sub->isVisible(); })) << "submenu";
  }
  return sub;
}

// Opens the menu bar's `menu` and clicks through `items` (submenus first).
inline void ChooseMenu(QMainWindow& window, const QString& menu, const QStringList& items) {
  QMenuBar* bar = window.menuBar();
  QAction* title = ItemOf(bar->actions(), menu);
  ASSERT_NE(title, nullptr) << menu.toStdString();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->actionGeometry(title).center());
  QMenu* open = title->menu();
  ASSERT_TRUE(PollUntil([&] { return open->isVisible(); })) << menu.toStdString();
  for (const QString& item : items) {
    ASSERT_NE(open, nullptr);
    open = ClickItem(open, item);
  }
}

// Runs `act` on the next modal window that is not a message box (a dialog, or a popup menu
// when `popup`) once it shows: it must show within 5 s.
inline void WhenShown(std::function<void(QWidget&)> act, bool popup = false) {
  auto* timer = new QTimer;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  QObject::connect(timer, &QTimer::timeout, [timer, act, end, popup] {
    QWidget* w = popup ? QApplication::activePopupWidget() : QApplication::activeModalWidget();
    const bool ready = w != nullptr && w->isVisible() && qobject_cast<QMessageBox*>(w) == nullptr;
    if (!ready && std::chrono::steady_clock::now() < end) return;
    timer->stop();
    timer->deleteLater();
    QApplication::processEvents();  // laid out as it shows
    if (!ready) {
      ADD_FAILURE() << (popup ? "no popup menu showed" : "no dialog showed");
      return;
    }
    act(*w);
  });
  timer->start(20);
}

// The dialog's button showing `text` ("OK", "Cancel", with or without its "&"), clicked.
inline void ClickButton(QWidget& dialog, const QString& text) {
  for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
    if (b->isVisible() && QString(b->text()).remove('&') == text) {
      Click(b);
      return;
    }
  }
  ADD_FAILURE() << "no button " << text.toStdString();
}

}  // namespace vesk::test
