#include <QApplication>
#include <QFileInfo>
#include <iostream>
#include <string>
#include <vector>

#include "app/autostart.h"
#include "app/qt/application.h"

int main(int argc, char** argv) {
  // Options that do their work and end the program before any window, so
  // they run without a display.
  {
    const std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& arg : args) {
      if (arg == "--help" || arg == "-h") {
        std::cout << "使い方: mirel9x [--autostart on|off]\n" << mirel::kAutostartOptionHelp;
        return 0;
      }
    }
    if (std::optional<int> status =
            mirel::RunAutostartOption(args, mirel::UserConfigDir().parent_path(),
                                      mirel::RunningProgramPath(argv[0]), std::cout, std::cerr)) {
      return *status;
    }
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirel9x"));
  // Ties the windows to the installed desktop entry (task bars, Wayland).
  QGuiApplication::setDesktopFileName(QString::fromUtf8(mirel::kAppId));
  // The monitor and toolbar windows come and go; only "終了" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  mirel::AppEnvironment env;
  env.executableDir =
      QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdString();
  mirel::Application program(std::move(env));
  if (std::optional<int> status = program.Start()) return *status;
  return QApplication::exec();
}
