// The browser-settings store on Linux.
//
// `ProxyServer` and `ProxyEnable` under the Internet Settings key are the
// desktop's proxy (GSettings org.gnome.system.proxy, which Chromium and
// Firefox follow) whenever that schema is installed:
//   - ProxyEnable reads as a 32-bit 1 for mode 'manual' and 0 otherwise.
//     Writing a non-zero value sets 'manual'; writing 0 sets 'none' when the
//     mode is 'manual' and leaves an 'auto' (PAC) mode alone, because the
//     switch only ever governed the manual proxy and 'auto' reads as 0 anyway.
//   - ProxyServer reads "host:port" when the http and https proxies agree,
//     "http=host:port;https=host:port" when they differ, "" when neither has a
//     host. Either form can be written, and "" clears both hosts. A text with
//     no port uses port 80, the port a browser assumes for an http proxy given
//     without one; a port that is not a number from 1 to 65535 makes the write
//     fail and leaves the desktop proxy as it was. A remark after the address
//     ("host:8080 office") is ignored, as are schemes other than http and https.
//   - The key exists whenever the schema does.
// Everything else, and the proxy values where the schema is missing, lives in
// configDir/browser-settings.reg, REGEDIT4 text in UTF-8 (reg_text.h),
// replaced atomically on every write. It is read again only when it changed
// (device, inode, size, modification and change time), so a tick that shows
// a zone value costs one stat(). A damaged file, or one larger than
// kMaxBrowserSettingsBytes, reads as empty; before the next write replaces it,
// it is kept as browser-settings.reg.damaged (then .damaged-2, -3, ...).
//
// When the process did not ask for a GSettings backend and GLib falls back to
// its in-memory backend (no dconf installed), the desktop proxy could not be
// saved or seen by a browser, so the proxy values go to the file instead.
// Tests set GSETTINGS_BACKEND=memory explicitly, which keeps GSettings in use.
#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>

#include "platform/platform.h"

namespace mirel {

// The store holds a handful of values; a file far beyond that is not ours to
// read (a 100 MB file took seconds and hundreds of MB to parse).
inline constexpr std::size_t kMaxBrowserSettingsBytes = 1024 * 1024;

enum class DesktopProxyUse {
  kWhenAvailable,  // what MakeBrowserSettingsStore does
  kNever,          // file only, as on a desktop without the schema
};

std::unique_ptr<BrowserSettingsStore> MakeLinuxBrowserSettingsStore(
    const std::filesystem::path& configDir, DesktopProxyUse use);

// The file that holds the values the desktop does not.
std::filesystem::path BrowserSettingsFile(const std::filesystem::path& configDir);

// true when org.gnome.system.proxy (with its http and https children) is
// installed and the GSettings backend keeps what is written.
bool DesktopProxyAvailable();

}  // namespace mirel
