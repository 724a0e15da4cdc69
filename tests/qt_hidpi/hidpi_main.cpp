// Widget tests on a screen of device pixel ratio 2: the same offscreen
// platform as the other widget tests, with Qt's scale factor set before the
// application starts.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_SCALE_FACTOR", "2", 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
