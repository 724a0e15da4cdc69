// The popup menu of the tray icon and of the monitor window, without widgets.
//
// A menu is rebuilt on every opening:
//
//   PopupMenuModel menu = BuildPopupMenu(registry, settings);
//   currentProxyText = menu.currentProxy;          // the shared current proxy
//   add kOptionCaption;
//   if (menu.ipCopyVisible) add kIpCopyCaption;
//   if (menu.proxyVisible) add a kProxyCaption submenu with, for every k,
//       menu.proxyEntries[k].caption, checkable, checked = proxyEntries[k].checked;
//   add a separator and kExitCaption.
//
// Entry 0 of proxyEntries is always "使用しない" (no proxy); entry k >= 1 is
// proxy list entry k. When entry k is chosen:
//
//   ChooseProxyEntry(registry.store(), settings, k, menu.proxyEntries[k].caption);
//
// which writes ProxyServer and leaves the outcome in settings.proxyText and
// settings.statusText. "ＩＰアドレスコピー" puts IpCopyText(globalIp) on the
// clipboard.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "readings/registry.h"
#include "settings/settings_model.h"

namespace mirel {

inline constexpr const char* kOptionCaption = "オプション";
inline constexpr const char* kIpCopyCaption = "ＩＰアドレスコピー";
inline constexpr const char* kProxyCaption = "プロキシ";
inline constexpr const char* kNoProxyCaption = "使用しない";
inline constexpr const char* kExitCaption = "終了";
inline constexpr const char* kProxyChangedText = " プロキシを変更しました";  // leading blank
inline constexpr const char* kNoAddressText = "0,0,0,0";

struct ProxyMenuEntry {
  std::string caption;
  bool checked = false;
};

struct PopupMenuModel {
  bool ipCopyVisible = false;
  bool proxyVisible = false;
  std::string currentProxy;                  // ProxyServer as read for this opening
  std::vector<ProxyMenuEntry> proxyEntries;  // [0] "使用しない", [k] proxy list entry k
};

// The browser's current proxy server text (ProxyServer, "" when none).
std::string ProxGet(RegistryAccess& registry);

// The proxy submenu: "使用しない" first, checked when currentProxy is empty;
// then one entry per list entry, checked when currentProxy is not empty and
// the caption begins with it, letter case aside (ASCII and full-width Latin).
std::vector<ProxyMenuEntry> BuildProxyEntries(const std::string& currentProxy,
                                              const std::vector<std::string>& proxyList);

// Reads the current proxy and builds the whole menu from the settings.
PopupMenuModel BuildPopupMenu(RegistryAccess& registry, const SettingsModel& settings);

// Switches the browser's proxy to entry `index` (0 = no proxy) whose caption
// is `caption`: stores "" for entry 0 and the caption otherwise. The caption
// goes into settings.proxyText. settings.statusText becomes the caption and
// kProxyChangedText, or "エラー" when the key had to be created (the value is
// still written), could not be opened (nothing is written) or the write
// failed. ProxyEnable is left alone. Returns true when ProxyServer was written.
bool ChooseProxyEntry(BrowserSettingsStore& store, SettingsModel& settings, std::size_t index,
                      const std::string& caption);

// What "ＩＰアドレスコピー" puts on the clipboard: the global address, or
// "0,0,0,0" while none is known (also for an empty text).
std::string IpCopyText(const std::string& globalIp);

}  // namespace mirel
