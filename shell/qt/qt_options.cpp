#include "shell/qt/qt_options.h"

namespace mirel {

namespace {

// Qt accepts each with one dash or two.
constexpr ToolkitOption kQtOptions[] = {
    {"platform", true},        {"platformpluginpath", true},
    {"platformtheme", true},   {"plugin", true},
    {"qwindowgeometry", true}, {"geometry", true},
    {"qwindowtitle", true},    {"title", true},
    {"qwindowicon", true},     {"icon", true},
    {"display", true},         {"name", true},
    {"visual", true},          {"style", true},
    {"stylesheet", true},      {"session", true},
    {"reverse", false},        {"widgetcount", false},
    {"testability", false},    {"qdevel", false},
    {"nograb", false},         {"dograb", false},
    {"sync", false},           {"qmljsdebugger", false},
};

}  // namespace

std::span<const ToolkitOption> QtOptions() {
  return kQtOptions;
}

}  // namespace mirel
