// The widget tests' main: one QApplication on the offscreen platform for every test. Tests
// answer questions through their recording prompts, or click the buttons of the boxes they
// expect (ExpectBox); any other message box that shows up fails the test that raised it and
// is closed, instead of waiting for a click that never comes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <clocale>
#include <cstdlib>
#include <deque>
#include <utility>

#include "gui/user_driver.h"

namespace {

std::deque<std::pair<std::string, QMessageBox::StandardButton>> expectedBoxes;

// Answers the message box the test expects next as the user would, with a click; fails the
// running test on any other, with its text, and closes it.
void AnswerMessageBoxes() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr || !box->isVisible()) continue;
    if (!expectedBoxes.empty() &&
        box->text().toStdString().find(expectedBoxes.front().first) != std::string::npos) {
      QAbstractButton* button = box->button(expectedBoxes.front().second);
      expectedBoxes.pop_front();
      if (button != nullptr) {
        QTest::mouseClick(button, Qt::LeftButton);
        continue;
      }
    }
    ADD_FAILURE() << "unexpected message box: " << box->text().toStdString();
    box->done(QMessageBox::Cancel);
  }
}

class MessageBoxWatch : public ::testing::EmptyTestEventListener {
 public:
  MessageBoxWatch() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, AnswerMessageBoxes);
  }
  void OnTestStart(const ::testing::TestInfo&) override { timer_.start(); }
  void OnTestEnd(const ::testing::TestInfo&) override {
    timer_.stop();
    expectedBoxes.clear();
  }

 private:
  QTimer timer_;
};

}  // namespace

namespace vesk::test {

void ExpectBox(const std::string& text, QMessageBox::StandardButton button) {
  expectedBoxes.emplace_back(text, button);
}

std::vector<std::string> BoxesNotShown() {
  std::vector<std::string> left;
  for (const auto& [text, button] : expectedBoxes) left.push_back(text);
  return left;
}

}  // namespace vesk::test

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new MessageBoxWatch);
  return RUN_ALL_TESTS();
}
