// The widget tests' main: one QApplication on the offscreen platform for every test.

#include <gtest/gtest.h>

#include <QApplication>
#include <clocale>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  std::setlocale(LC_NUMERIC, "C");
  std::setlocale(LC_TIME, "C");
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
