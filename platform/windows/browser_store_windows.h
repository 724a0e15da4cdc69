// The browser's settings in the current user's registry, and the notice to
// WinINet that they changed, so that running browsers take up a new proxy.
#pragma once

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace mirel::windows_source {

// What the two WinINet notices returned.
struct InternetSettingsNotice {
  bool settingsChanged = false;  // INTERNET_OPTION_SETTINGS_CHANGED
  bool refreshed = false;        // INTERNET_OPTION_REFRESH
};

// Tells WinINet (and the browsers that use it) that the Internet settings
// changed. Loads wininet.dll on first use only.
InternetSettingsNotice AnnounceInternetSettingsChange();

// The registry store; `announce` runs after every successful write under
// "...\Internet Settings" (the proxy, its switch and the zone values).
std::unique_ptr<BrowserSettingsStore> MakeRegistryStore(std::function<void()> announce);

}  // namespace mirel::windows_source
