// Qt's own texts (dialog buttons, the colour chooser, the edit menu of text
// boxes) in Japanese, like the rest of the interface, whatever the locale.
#pragma once

#include <QTranslator>
#include <memory>

namespace mirel {

// Loads Qt's Japanese catalogue from Qt's translations folder and installs
// it in the running application. Null, with a warning, when the catalogue
// is missing (the texts then stay in English). Destroying the translator
// uninstalls it.
std::unique_ptr<QTranslator> InstallQtJapanese();

}  // namespace mirel
