// Widget tests run GoogleTest inside one QApplication on the offscreen
// platform, with an in-memory GSettings and a fixed locale, so they never
// touch the display or the desktop settings of the machine that runs them.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("GSETTINGS_BACKEND", "memory", 1);
  setenv("LC_ALL", "C.UTF-8", 1);
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
