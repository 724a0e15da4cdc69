#include "behaviour/popup_menu.h"

#include <iterator>
#include <utility>

#include "readings/web_check_results.h"

namespace mirel {

namespace {

// Lower-cases ASCII letters and full-width Latin capitals (U+FF21..U+FF3A),
// the letters a proxy caption can hold in either case.
std::string FoldCase(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    if (c >= 'A' && c <= 'Z') {
      out += static_cast<char>(c - 'A' + 'a');
    } else if (c == 0xEF && i + 2 < s.size() && static_cast<unsigned char>(s[i + 1]) == 0xBC &&
               static_cast<unsigned char>(s[i + 2]) >= 0xA1 &&
               static_cast<unsigned char>(s[i + 2]) <= 0xBA) {
      // U+FF21 + n (EF BC A1+n) -> U+FF41 + n (EF BD 81+n)
      out += '\xEF';
      out += '\xBD';
      out += static_cast<char>(static_cast<unsigned char>(s[i + 2]) - 0xA1 + 0x81);
      i += 2;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// One entry of the menu, in menu order. A submenu's entries are generated
// on each opening by `entries`; choosing one of them runs the submenu's
// `chosen` with that entry.
struct MenuRow {
  const char* name;
  const char* caption;
  MenuEntry::Kind kind = MenuEntry::Kind::kCommand;
  bool (*visible)(const SettingsModel&) = nullptr;  // nullptr: always shown
  bool (*checked)(MenuActions&) = nullptr;          // nullptr: no check mark
  void (*chosen)(MenuActions&, const MenuEntry& entry) = nullptr;
  std::vector<MenuEntry> (*entries)(MenuActions&) = nullptr;
};

std::vector<MenuEntry> ProxyEntries(MenuActions& actions) {
  const std::vector<ProxyMenuEntry> proxies =
      BuildProxyEntries(actions.ReadCurrentProxy(), actions.settings().proxyList);
  std::vector<MenuEntry> entries;
  entries.reserve(proxies.size());
  for (std::size_t k = 0; k < proxies.size(); ++k) {
    MenuEntry e;
    e.name = "pro_" + std::to_string(k);
    e.caption = proxies[k].caption;
    e.checkable = true;
    e.checked = proxies[k].checked;
    e.index = k;
    entries.push_back(std::move(e));
  }
  return entries;
}

const MenuRow kMenuRows[] = {
    {.name = "option",
     .caption = kOptionCaption,
     .chosen = [](MenuActions& a, const MenuEntry&) { a.OpenOptions(); }},
    {.name = "ipc",
     .caption = kIpCopyCaption,
     .visible = [](const SettingsModel& s) { return s.ipCopyEntryVisible; },
     .chosen = [](MenuActions& a, const MenuEntry&) { a.CopyIp(); }},
    {.name = "prox",
     .caption = kProxyCaption,
     .kind = MenuEntry::Kind::kSubmenu,
     .visible = [](const SettingsModel& s) { return s.proxyEntryVisible; },
     .chosen = [](MenuActions& a, const MenuEntry& e) { a.ChooseProxy(e.index, e.caption); },
     .entries = ProxyEntries},
    {.name = "proxuse",
     .caption = kUseProxyCaption,
     .visible = [](const SettingsModel& s) { return s.proxyEntryVisible; },
     .checked = [](MenuActions& a) { return a.ReadProxyInUse(); },
     .chosen = [](MenuActions& a, const MenuEntry& e) { a.UseProxy(!e.checked); }},
    {.name = "history",
     .caption = kHistoryCaption,
     .chosen = [](MenuActions& a, const MenuEntry&) { a.OpenHistory(); }},
    {.name = "line1", .caption = "-", .kind = MenuEntry::Kind::kSeparator},
    {.name = "en",
     .caption = kExitCaption,
     .chosen = [](MenuActions& a, const MenuEntry&) { a.Exit(); }},
};

const MenuEntry* FindIn(const std::vector<MenuEntry>& entries, int id, std::string_view name) {
  for (const MenuEntry& e : entries) {
    if ((id != 0 && e.id == id) || (!name.empty() && e.name == name)) return &e;
    if (const MenuEntry* inner = FindIn(e.entries, id, name)) return inner;
  }
  return nullptr;
}

}  // namespace

const MenuEntry* MenuModel::Find(int id) const {
  return id == 0 ? nullptr : FindIn(entries, id, {});
}

const MenuEntry* MenuModel::FindNamed(std::string_view name) const {
  return name.empty() ? nullptr : FindIn(entries, 0, name);
}

MenuModel BuildMenu(MenuActions& actions) {
  MenuModel menu;
  int nextId = 1;
  for (const MenuRow& row : kMenuRows) {
    MenuEntry e;
    e.kind = row.kind;
    e.name = row.name;
    e.caption = row.caption;
    e.visible = row.visible == nullptr || row.visible(actions.settings());
    e.checkable = row.checked != nullptr;
    e.checked = e.checkable && row.checked(actions);
    if (row.entries) e.entries = row.entries(actions);
    if (e.kind == MenuEntry::Kind::kCommand) e.id = nextId++;
    for (MenuEntry& inner : e.entries) inner.id = nextId++;
    menu.entries.push_back(std::move(e));
  }
  return menu;
}

bool ChooseMenuEntry(MenuActions& actions, const MenuModel& menu, int id) {
  if (id == 0) return false;
  for (std::size_t i = 0; i < menu.entries.size() && i < std::size(kMenuRows); ++i) {
    const MenuEntry& top = menu.entries[i];
    if (!top.visible) continue;
    const MenuEntry* chosen = top.id == id ? &top : FindIn(top.entries, id, {});
    if (chosen == nullptr || chosen->kind != MenuEntry::Kind::kCommand) continue;
    if (kMenuRows[i].chosen) kMenuRows[i].chosen(actions, *chosen);
    return true;
  }
  return false;
}

std::string ProxGet(RegistryAccess& registry) {
  return registry.ReadRegValue(kInternetSettingsKey, "ProxyServer");
}

bool ProxyInUse(RegistryAccess& registry) {
  return registry.ReadRegValue(kInternetSettingsKey, "ProxyEnable") == "1";
}

std::vector<ProxyMenuEntry> BuildProxyEntries(const std::string& currentProxy,
                                              const std::vector<std::string>& proxyList) {
  std::vector<ProxyMenuEntry> entries;
  entries.reserve(proxyList.size() + 1);
  entries.push_back({kNoProxyCaption, currentProxy.empty()});
  const std::string current = FoldCase(currentProxy);
  for (const std::string& caption : proxyList) {
    bool mark = !current.empty() && FoldCase(caption).starts_with(current);
    entries.push_back({caption, mark});
  }
  return entries;
}

bool ChooseProxyEntry(BrowserSettingsStore& store, SettingsModel& settings, std::size_t index,
                      const std::string& caption) {
  settings.proxyText = caption;
  switch (store.CreateKey(kInternetSettingsKey)) {
    case KeyDisposition::kFailed:
      settings.statusText = kErrorText;
      return false;
    case KeyDisposition::kCreatedNew:
      // The browser had no settings of its own yet: worth a warning, but the
      // choice is stored all the same.
      settings.statusText = kErrorText;
      break;
    case KeyDisposition::kOpenedExisting:
      settings.statusText = caption + kProxyChangedText;
      break;
  }
  const std::string value = index == 0 ? std::string() : caption;
  if (!store.SetString(kInternetSettingsKey, "ProxyServer", value)) {
    settings.statusText = kErrorText;
    return false;
  }
  return true;
}

std::string IpCopyText(const std::string& globalIp) {
  if (globalIp.empty() || globalIp == kRestartToShowText || globalIp == kUnreachableText ||
      globalIp == kLoadingText || globalIp == kNotConfiguredText) {
    return kNoAddressText;
  }
  return globalIp;
}

}  // namespace mirel
