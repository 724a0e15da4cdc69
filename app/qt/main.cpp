#include <QApplication>
#include <QFileInfo>

#include "app/qt/application.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirel9x"));
  // The monitor and toolbar windows come and go; only "終了" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  mirel::AppEnvironment env;
  // Through UTF-16: a path made from 8-bit text would be taken in the ANSI
  // code page on Windows, and a program folder with other characters lost.
  env.executableDir =
      QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdU16String();
  mirel::Application program(std::move(env));
  if (std::optional<int> status = program.Start()) return *status;
  return QApplication::exec();
}
