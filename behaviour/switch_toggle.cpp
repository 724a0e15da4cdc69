#include "behaviour/switch_toggle.h"

#include <algorithm>
#include <array>
#include <span>

namespace mirel {

namespace {

// A colour as the strips' pixels give it back: 0x00BBGGRR.
constexpr std::uint32_t Rgb(std::uint32_t r, std::uint32_t g, std::uint32_t b) {
  return r | (g << 8) | (b << 16);
}

constexpr std::array kProxyColours = {Rgb(214, 207, 198), Rgb(8, 8, 8), Rgb(212, 207, 198)};
constexpr std::array kScriptingColours = {Rgb(222, 215, 198), Rgb(16, 16, 16), Rgb(216, 208, 196),
                                          Rgb(17, 17, 17)};
constexpr std::array kJavaColours = {Rgb(222, 215, 206), Rgb(24, 24, 24), Rgb(221, 214, 203),
                                     Rgb(26, 26, 26)};

bool Holds(std::span<const std::uint32_t> set, std::uint32_t colour) {
  return std::find(set.begin(), set.end(), colour) != set.end();
}

}  // namespace

MonitorPress PressOnMonitor(bool left, bool right, bool middle) {
  MonitorPress press;
  press.drag = left;
  press.menu = right && !left && !middle;
  press.toggle = left && !right && !middle;
  return press;
}

SwitchToggle ToggleForColour(std::uint32_t colour) {
  if (Holds(kProxyColours, colour)) return SwitchToggle::kProxy;
  if (Holds(kScriptingColours, colour)) return SwitchToggle::kActiveScripting;
  if (Holds(kJavaColours, colour)) return SwitchToggle::kJavaApplet;
  return SwitchToggle::kNone;
}

SwitchToggle ApplySwitchToggle(RegistryAccess& registry, std::uint32_t colour,
                               const SwitchReadouts& shown) {
  const SwitchToggle toggle = ToggleForColour(colour);
  switch (toggle) {
    case SwitchToggle::kProxy:
      registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", shown.proxy == "OFF" ? 1 : 0);
      break;
    case SwitchToggle::kActiveScripting:
      registry.WriteRegDword(kZone3Key, "1400", shown.activeScripting == "OFF" ? 0 : 3);
      break;
    case SwitchToggle::kJavaApplet:
      registry.WriteRegDword(kZone3Key, "1402", shown.javaApplet == "OFF" ? 0 : 3);
      break;
    case SwitchToggle::kNone:
      break;
  }
  return toggle;
}

}  // namespace mirel
