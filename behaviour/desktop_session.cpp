#include "behaviour/desktop_session.h"

#include "settings/user_preferences.h"

namespace mirel {

namespace {

bool Set(const SessionEnvironment& env, const char* name) {
  const std::optional<std::string> v = env(name);
  return v && !v->empty();
}

// Qt reads -platform and --platform, with the name as the next argument.
bool PlatformOnCommandLine(const std::vector<std::string>& args) {
  for (const std::string& a : args) {
    if (a == "-platform" || a == "--platform") return true;
  }
  return false;
}

}  // namespace

bool IsWaylandSession(const SessionEnvironment& env) {
  return Set(env, "WAYLAND_DISPLAY") || env("XDG_SESSION_TYPE").value_or("") == "wayland";
}

std::optional<std::string> ChooseQtPlatform(const std::vector<std::string>& args,
                                            const SessionEnvironment& env) {
  if (Set(env, "QT_QPA_PLATFORM") || PlatformOnCommandLine(args)) return std::nullopt;
  if (IsWaylandSession(env) && Set(env, "DISPLAY")) return std::string("xcb");
  return std::nullopt;
}

bool CursorPositionKnown(const std::string& qtPlatform, bool waylandSession) {
  const bool windowSystem = qtPlatform == "xcb" || qtPlatform.rfind("wayland", 0) == 0;
  return !(waylandSession && windowSystem);
}

bool TellOnce(UserPreferences& preferences, const char* key, const SessionEnvironment& env) {
  const std::string desktop = env("XDG_CURRENT_DESKTOP").value_or("");
  if (preferences.Get(key) == desktop) return false;
  preferences.Set(key, desktop);
  return true;
}

}  // namespace mirel
