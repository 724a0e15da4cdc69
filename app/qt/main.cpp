#include <QApplication>
#include <QFileInfo>

#include "app/qt/application.h"

int main(int argc, char** argv) {
  // The monitor sends a few changed rows a second. Over the X socket they
  // need no reply; through shared memory Qt waits for the server to finish
  // the previous picture before every paint, a round trip that wakes the
  // program twice more each tick.
  if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) qputenv("QT_XCB_NO_MITSHM", "1");
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirel9x"));
  // The monitor and toolbar windows come and go; only "終了" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);

  mirel::AppEnvironment env;
  env.executableDir =
      QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdString();
  mirel::Application program(std::move(env));
  if (std::optional<int> status = program.Start()) return *status;
  return QApplication::exec();
}
