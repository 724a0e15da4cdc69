// Qt's own command-line options (QGuiApplication, QApplication and the X11
// platform), which QApplication takes out of the arguments itself: the
// program's parser passes over them and their values.
#pragma once

#include <span>

#include "behaviour/command_line.h"

namespace mirel {

std::span<const ToolkitOption> QtOptions();

// The line of --help that tells of them.
inline constexpr const char* kQtOptionsNote =
    "Qt の標準オプション (-platform、-display、-style など) も使えます。";

}  // namespace mirel
