#include <QApplication>
#include <QFileInfo>

#include "app/qt/application.h"
#include "app/qt/qt_translation.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("mirel9x"));
  // The monitor and toolbar windows come and go; only "終了" ends the program.
  QApplication::setQuitOnLastWindowClosed(false);
  // The interface is Japanese whatever the locale says.
  const std::unique_ptr<QTranslator> qtTexts = mirel::InstallQtJapanese();

  mirel::AppEnvironment env;
  env.executableDir =
      QFileInfo(QCoreApplication::applicationFilePath()).absolutePath().toStdString();
  mirel::Application program(std::move(env));
  if (std::optional<int> status = program.Start()) return *status;
  return QApplication::exec();
}
