#include "behaviour/desktop_session.h"

#include <gtest/gtest.h>

#include <map>

#include "settings/user_preferences.h"

namespace mirel {
namespace {

SessionEnvironment Env(std::map<std::string, std::string> vars) {
  return [vars](const char* name) -> std::optional<std::string> {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
  };
}

TEST(DesktopSessionTest, XWaylandWhereItExistsAndTheUserChoseNothing) {
  struct Case {
    std::map<std::string, std::string> env;
    std::vector<std::string> args;
    std::optional<std::string> platform;
  };
  const Case cases[] = {
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}, {}, "xcb"},
      {{{"XDG_SESSION_TYPE", "wayland"}, {"DISPLAY", ":1"}}, {}, "xcb"},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, {}, std::nullopt},                // no XWayland: native
      {{{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}, {}, std::nullopt},  // X11 anyway
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}},
       {},
       std::nullopt},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}},
       {"-platform", "wayland"},
       std::nullopt},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}},
       {"--platform", "offscreen"},
       std::nullopt},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ""}}, {}, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ChooseQtPlatform(c.args, Env(c.env)), c.platform)
        << c.env.size() << " variables, " << c.args.size() << " arguments";
  }
  // Only a real X server knows the pointer everywhere.
  EXPECT_TRUE(CursorPositionKnown("xcb", false));
  EXPECT_FALSE(CursorPositionKnown("xcb", true));
  EXPECT_FALSE(CursorPositionKnown("wayland", true));
  EXPECT_FALSE(CursorPositionKnown("wayland-egl", true));
  EXPECT_TRUE(CursorPositionKnown("offscreen", true));
}

TEST(DesktopSessionTest, EachWordIsSaidOncePerDesktop) {
  UserPreferences prefs;
  const auto kde = Env({{"XDG_CURRENT_DESKTOP", "KDE"}});
  EXPECT_TRUE(TellOnce(prefs, kToldNoTrayKey, kde));
  EXPECT_FALSE(TellOnce(prefs, kToldNoTrayKey, kde));
  EXPECT_TRUE(TellOnce(prefs, kToldNativeWaylandKey, kde)) << "another word";
  EXPECT_TRUE(TellOnce(prefs, kToldNoTrayKey, Env({{"XDG_CURRENT_DESKTOP", "sway"}})));
  EXPECT_FALSE(TellOnce(prefs, kToldNoTrayKey, Env({{"XDG_CURRENT_DESKTOP", "sway"}})));
  UserPreferences reread = UserPreferences::Parse(prefs.Text());  // kept through a save
  EXPECT_FALSE(TellOnce(reread, kToldNoTrayKey, Env({{"XDG_CURRENT_DESKTOP", "sway"}})));
}

}  // namespace
}  // namespace mirel
