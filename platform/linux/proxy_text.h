// ProxyServer texts ("host:port", "http=host:port;socks=host:port", "") and
// the per-protocol proxies they stand for, as the desktops keep them: GNOME's
// settings and KDE's kioslaverc both hold one proxy per protocol.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace mirel::proxy {

// The protocols a desktop keeps a proxy for, named as in a ProxyServer text.
inline constexpr std::array<const char*, 4> kProtocols = {"http", "https", "ftp", "socks"};
enum Protocol { kHttp, kHttps, kFtp, kSocks };

inline constexpr int kDefaultPort = 80;

struct Endpoint {
  std::string host;
  int port = 0;
};
bool operator==(const Endpoint& a, const Endpoint& b);

// One endpoint per protocol; an empty host: no proxy for that protocol.
using Parts = std::array<Endpoint, kProtocols.size()>;

// "host", "host:port", "[v6]:port", with an optional "scheme://" in front,
// a "/" behind and a remark after a blank. nullopt for an unusable port or
// an empty host. No port: kDefaultPort.
std::optional<Endpoint> ParseEndpoint(std::string_view s);
// "host:port", "[v6]:port".
std::string FormatEndpoint(const Endpoint& e);

// The plain "host:port" form: one proxy for http, https and ftp, none for
// socks, as a browser reads it.
bool OneProxyForAll(const Parts& p);

// "host:port" sets http, https and ftp and clears socks; "p=host:port;..."
// sets the protocols named and clears the others; "" clears all. nullopt
// for a text a desktop cannot hold: an unknown or repeated protocol, a part
// without '=', an unusable endpoint.
std::optional<Parts> ParseServer(std::string_view text);

// The text for settings made elsewhere: "host:port" when http and https agree
// (ftp the same or unset, no socks), else "http=...;https=...;ftp=...;socks=..."
// for the protocols that have a proxy.
std::string FormatServer(const Parts& p);

// Every part, unset ones included: what a desktop held when a text was
// written, to tell later whether it still does.
std::string Fingerprint(const Parts& p);

}  // namespace mirel::proxy
