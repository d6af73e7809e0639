// The widget tests' main: one QApplication on the offscreen platform for every test. Tests
// answer questions through their recording prompts; a real message box that shows up fails
// the test that raised it and is closed, instead of waiting for a click that never comes.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <clocale>
#include <cstdlib>

namespace {

// Fails the running test on every message box shown, with its text, and closes the box.
void FailOnMessageBoxes() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    auto* box = qobject_cast<QMessageBox*>(w);
    if (box == nullptr || !box->isVisible()) continue;
    ADD_FAILURE() << "unexpected message box: " << box->text().toStdString();
    box->done(QMessageBox::Cancel);
  }
}

class MessageBoxWatch : public ::testing::EmptyTestEventListener {
 public:
  MessageBoxWatch() {
    timer_.setInterval(50);
    QObject::connect(&timer_, &QTimer::timeout, FailOnMessageBoxes);
  }
  void OnTestStart(const ::testing::TestInfo&) override { timer_.start(); }
  void OnTestEnd(const ::testing::TestInfo&) override { timer_.stop(); }

 private:
  QTimer timer_;
};

}  // namespace

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new MessageBoxWatch);
  return RUN_ALL_TESTS();
}
