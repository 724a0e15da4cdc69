// The browser-settings store on Linux.
//
// `ProxyServer` and `ProxyEnable` under the Internet Settings key are the
// desktop's proxy (GSettings org.gnome.system.proxy, which Chromium and
// Firefox follow) whenever that schema is installed:
//   - ProxyEnable reads as a 32-bit 1 for mode 'manual' and 0 otherwise.
//     Writing a non-zero value sets 'manual'; writing 0 sets 'none' when the
//     mode is 'manual' and leaves an 'auto' (PAC) mode alone, because the
//     switch only ever governed the manual proxy and 'auto' reads as 0 anyway.
//   - ProxyServer maps onto the desktop's http, https, ftp and socks proxies.
//     "host:port" sets http, https and ftp to it and clears socks;
//     "http=host:port;socks=host:port;..." sets the protocols named and clears
//     the others; "" clears all four. A text with no port uses port 80; a
//     remark after the address ("host:8080 office") and a "scheme://" in
//     front are ignored. A text the desktop cannot hold (another protocol, a
//     protocol named twice, a port that is not 1-65535) is refused and
//     changes nothing.
//   - A ProxyServer text reads back exactly as it was last written while the
//     desktop still holds what that text set (the text is kept in the file
//     below, with the desktop's settings it became). Settings changed
//     elsewhere read as "host:port" when http and https agree (ftp the same
//     or unset, no socks) and as "http=...;https=...;ftp=...;socks=..."
//     otherwise.
//   - Every write is synced and read back: a backend that reports success but
//     keeps nothing (dconf without a session bus, a read-only configuration
//     folder) makes the write fail. Reads come from GSettings' in-process
//     cache, so a tick costs no D-Bus round trip.
//   - The key exists whenever the schema does.
// On a KDE Plasma session the two values are also KDE's proxy (kde_proxy.h):
// every write goes to KDE's file first and then to the desktop's settings,
// and reads come from KDE's file, which is what browsers there follow; a
// script, detection or environment type of KDE reads as its name.
// Everything else, and the proxy values where neither is there, lives in
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
#include <optional>

#include "platform/platform.h"

typedef struct _GSettingsBackend GSettingsBackend;

namespace mirel {

// The store holds a handful of values; a file far beyond that is not ours to
// read (a 100 MB file took seconds and hundreds of MB to parse).
inline constexpr std::size_t kMaxBrowserSettingsBytes = 1024 * 1024;

enum class DesktopProxyUse {
  kWhenAvailable,  // what MakeBrowserSettingsStore does
  kNever,          // file only, as on a desktop without the schema
};

// kioslaverc: KDE's proxy file (kde_proxy.h), written as well as GNOME's
// settings and read for the proxy values instead of them.
std::unique_ptr<BrowserSettingsStore> MakeLinuxBrowserSettingsStore(
    const std::filesystem::path& configDir, DesktopProxyUse use,
    const std::optional<std::filesystem::path>& kioslaverc = std::nullopt);

// The same on a given GSettings backend (tests).
std::unique_ptr<BrowserSettingsStore> MakeLinuxBrowserSettingsStore(
    const std::filesystem::path& configDir, GSettingsBackend* backend,
    const std::optional<std::filesystem::path>& kioslaverc = std::nullopt);

// The file that holds the values the desktop does not.
std::filesystem::path BrowserSettingsFile(const std::filesystem::path& configDir);

// true when org.gnome.system.proxy (with its http and https children) is
// installed and the GSettings backend keeps what is written.
bool DesktopProxyAvailable();

}  // namespace mirel
