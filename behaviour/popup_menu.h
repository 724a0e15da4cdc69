// The popup menu of the tray icon and of the monitor window, without widgets:
// which entries exist, their captions, visibility and check marks, and what
// choosing one does. A shell turns a MenuModel into its own menu (a QMenu,
// an HMENU) with one generic loop and hands the chosen entry's id back:
//
//   const MenuModel& menu = program.OpenMenu(MenuOwner::kTray);
//   for each entry: a command (id, caption, checkable, checked), a separator
//                   or a submenu of entries; invisible entries are left out
//   ... the user chooses an entry ...
//   program.ChooseMenuEntry(MenuOwner::kTray, id);
//
// The menu is built anew on every opening, so a proxy list edited in the
// dialog and a proxy changed elsewhere show at once. Adding an entry is one
// row of the table in popup_menu.cpp.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "readings/registry.h"
#include "settings/settings_model.h"

namespace mirel {

inline constexpr const char* kOptionCaption = "オプション";
inline constexpr const char* kIpCopyCaption = "ＩＰアドレスコピー";
inline constexpr const char* kProxyCaption = "プロキシ";
inline constexpr const char* kUseProxyCaption = "プロキシを使う";
inline constexpr const char* kNoProxyCaption = "使用しない";
inline constexpr const char* kHistoryCaption = "通信履歴";
inline constexpr const char* kExitCaption = "終了";
inline constexpr const char* kProxyChangedText = " プロキシを変更しました";  // leading blank
inline constexpr const char* kNoAddressText = "0,0,0,0";
inline constexpr const char* kProxyOnText = "プロキシを ON にしました";
inline constexpr const char* kProxyOffText = "プロキシを OFF にしました";

// The two owners of a menu; each keeps the menu of its own last opening.
enum class MenuOwner { kTray = 0, kMonitor = 1 };

struct MenuEntry {
  enum class Kind { kCommand, kSubmenu, kSeparator };
  Kind kind = Kind::kCommand;
  // What ChooseMenuEntry takes: unique within one opening and never 0 for a
  // command (Win32 menu command ids start at 1); 0 for the other kinds.
  int id = 0;
  // "option", "ipc", "prox", "pro_0", "proxuse", "line1", "en": the Qt objectName, and
  // what a test finds an entry by.
  std::string name;
  // Shown as it is: a shell escapes its own mnemonic marks ("&").
  std::string caption;
  bool visible = true;
  bool checkable = false;
  bool checked = false;
  std::vector<MenuEntry> entries;  // a submenu's
  std::size_t index = 0;           // place among the generated entries of its submenu
};

struct MenuModel {
  std::vector<MenuEntry> entries;
  // The command with that id, anywhere in the menu; nullptr when none.
  const MenuEntry* Find(int id) const;
  // The entry with that name, anywhere in the menu; nullptr when none.
  const MenuEntry* FindNamed(std::string_view name) const;
};

// What the entries read when the menu is built and do when one is chosen.
class MenuActions {
 public:
  virtual ~MenuActions() = default;
  virtual const SettingsModel& settings() const = 0;
  // The browser's proxy, read once for each opening.
  virtual std::string ReadCurrentProxy() = 0;
  // Whether the browser's proxy is on (ProxyEnable), read once for each opening.
  virtual bool ReadProxyInUse() = 0;
  virtual void OpenOptions() = 0;
  virtual void CopyIp() = 0;
  virtual void ChooseProxy(std::size_t index, const std::string& caption) = 0;
  virtual void OpenHistory() = 0;
  // Turns the proxy on or off (ProxyEnable), as the "変更" button does.
  virtual void UseProxy(bool on) = 0;
  virtual void Exit() = 0;
};

// The whole menu for one opening: "オプション", "ＩＰアドレスコピー", the
// "プロキシ" submenu ("使用しない" and the proxy list, the current proxy
// marked), "プロキシを使う" (ticked while the proxy is on; choosing it turns
// it off or on), "通信履歴", a separator and "終了". The submenu only picks
// the server, so the switch stands beside it where a user looks for it.
MenuModel BuildMenu(MenuActions& actions);
// Runs what the command with that id does. False when `menu` has no such
// command (a stale or foreign id): nothing happens then.
bool ChooseMenuEntry(MenuActions& actions, const MenuModel& menu, int id);

struct ProxyMenuEntry {
  std::string caption;
  bool checked = false;
};

// The browser's current proxy server text (ProxyServer, "" when none).
std::string ProxGet(RegistryAccess& registry);
// Whether the browser's proxy is on: ProxyEnable reads exactly "1", as the
// proxy-switch strip shows it.
bool ProxyInUse(RegistryAccess& registry);

// The proxy submenu: "使用しない" first, checked when currentProxy is empty;
// then one entry per list entry, checked when currentProxy is not empty and
// the caption begins with it, letter case aside (ASCII and full-width Latin).
std::vector<ProxyMenuEntry> BuildProxyEntries(const std::string& currentProxy,
                                              const std::vector<std::string>& proxyList);

// Switches the browser's proxy to entry `index` (0 = no proxy) whose caption
// is `caption`: stores "" for entry 0 and the caption otherwise. The caption
// goes into settings.proxyText. settings.statusText becomes the caption and
// kProxyChangedText, or "エラー" when the key had to be created (the value is
// still written), could not be opened (nothing is written) or the write
// failed. ProxyEnable is left alone. Returns true when ProxyServer was written.
bool ChooseProxyEntry(BrowserSettingsStore& store, SettingsModel& settings, std::size_t index,
                      const std::string& caption);

// What "ＩＰアドレスコピー" puts on the clipboard: the global address, or
// "0,0,0,0" while none is known (also for an empty text and "未設定").
std::string IpCopyText(const std::string& globalIp);

}  // namespace mirel
