#include "shell/qt/qt_translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QtGlobal>

namespace mirel {

std::unique_ptr<QTranslator> InstallQtJapanese() {
  const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  auto translator = std::make_unique<QTranslator>();
  if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
    qWarning(
        "mirel9x: Qt's Japanese texts (qtbase_ja.qm) are not in %s; Qt's dialogs stay in "
        "English (Debian: qt6-translations-l10n)",
        qUtf8Printable(folder));
    return nullptr;
  }
  if (!QCoreApplication::installTranslator(translator.get())) return nullptr;
  return translator;
}

}  // namespace mirel
