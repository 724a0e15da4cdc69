#include "behaviour/popup_menu.h"

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

}  // namespace

std::string ProxGet(RegistryAccess& registry) {
  return registry.ReadRegValue(kInternetSettingsKey, "ProxyServer");
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

PopupMenuModel BuildPopupMenu(RegistryAccess& registry, const SettingsModel& settings) {
  PopupMenuModel menu;
  menu.ipCopyVisible = settings.ipCopyEntryVisible;
  menu.proxyVisible = settings.proxyEntryVisible;
  menu.currentProxy = ProxGet(registry);
  menu.proxyEntries = BuildProxyEntries(menu.currentProxy, settings.proxyList);
  return menu;
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
      globalIp == kLoadingText) {
    return kNoAddressText;
  }
  return globalIp;
}

}  // namespace mirel
