// ProxyServer texts and per-protocol proxies. See proxy_text.h.
#include "platform/linux/proxy_text.h"

#include <algorithm>

#include "platform/linux/reg_text.h"

namespace mirel::proxy {

namespace {

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = reg::AsciiLower(c);
  return out;
}

}  // namespace

using reg::Trim;

std::optional<Endpoint> ParseEndpoint(std::string_view s) {
  s = Trim(s);
  if (std::size_t scheme = s.find("://"); scheme != std::string_view::npos) {
    s.remove_prefix(scheme + 3);
  }
  // A remark follows a blank, half or full width ("host:8080　会社").
  s = s.substr(0, std::min(s.find_first_of(" \t"), s.find("\u3000")));
  while (!s.empty() && s.back() == '/') s.remove_suffix(1);
  Endpoint e;
  std::string_view portText;
  bool hasPort = false;
  if (!s.empty() && s.front() == '[') {
    std::size_t close = s.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    e.host = std::string(s.substr(1, close - 1));
    std::string_view rest = s.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      portText = rest.substr(1);
      hasPort = true;
    }
  } else if (std::size_t colon = s.find(':');
             colon != std::string_view::npos && s.find(':', colon + 1) == std::string_view::npos) {
    e.host = std::string(s.substr(0, colon));
    portText = s.substr(colon + 1);
    hasPort = true;
  } else {
    e.host = std::string(s);  // no port, or a bare IPv6 address
  }
  if (e.host.empty()) return std::nullopt;
  if (!hasPort || portText.empty()) {
    e.port = kDefaultPort;
    return e;
  }
  if (portText.size() > 5) return std::nullopt;
  int port = 0;
  for (char c : portText) {
    if (c < '0' || c > '9') return std::nullopt;
    port = port * 10 + (c - '0');
  }
  if (port < 1 || port > 65535) return std::nullopt;
  e.port = port;
  return e;
}

std::string FormatEndpoint(const Endpoint& e) {
  std::string out = e.host.find(':') != std::string::npos ? "[" + e.host + "]" : e.host;
  if (e.port > 0) out += ":" + std::to_string(e.port);
  return out;
}

bool operator==(const Endpoint& a, const Endpoint& b) {
  return a.host == b.host && (a.host.empty() || a.port == b.port);
}

bool OneProxyForAll(const Parts& p) {
  return !p[kHttp].host.empty() && p[kHttps] == p[kHttp] && p[kFtp] == p[kHttp] &&
         p[kSocks].host.empty();
}

std::optional<Parts> ParseServer(std::string_view text) {
  text = Trim(text);
  Parts parts;
  if (text.empty()) return parts;
  if (text.find('=') == std::string_view::npos) {
    std::optional<Endpoint> e = ParseEndpoint(text);
    if (!e) return std::nullopt;
    parts[kHttp] = parts[kHttps] = parts[kFtp] = *e;
    return parts;
  }
  std::array<bool, kProtocols.size()> seen{};
  while (!text.empty()) {
    std::size_t semi = text.find(';');
    std::string_view segment = Trim(text.substr(0, semi));
    text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    if (segment.empty()) continue;
    std::size_t eq = segment.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    const std::string scheme = Fold(Trim(segment.substr(0, eq)));
    std::size_t k = 0;
    while (k < kProtocols.size() && scheme != kProtocols[k]) ++k;
    if (k == kProtocols.size() || seen[k]) return std::nullopt;
    seen[k] = true;
    std::optional<Endpoint> e = ParseEndpoint(segment.substr(eq + 1));
    if (!e) return std::nullopt;
    parts[k] = *e;
  }
  return parts;
}

std::string FormatServer(const Parts& p) {
  if (!p[kHttp].host.empty() && p[kHttps] == p[kHttp] &&
      (p[kFtp].host.empty() || p[kFtp] == p[kHttp]) && p[kSocks].host.empty()) {
    return FormatEndpoint(p[kHttp]);
  }
  std::string out;
  for (std::size_t k = 0; k < kProtocols.size(); ++k) {
    if (p[k].host.empty()) continue;
    if (!out.empty()) out += ';';
    out += std::string(kProtocols[k]) + "=" + FormatEndpoint(p[k]);
  }
  return out;
}

std::string Fingerprint(const Parts& p) {
  std::string out;
  for (std::size_t k = 0; k < kProtocols.size(); ++k) {
    out += std::string(k ? ";" : "") + kProtocols[k] + "=" +
           (p[k].host.empty() ? std::string() : FormatEndpoint(p[k]));
  }
  return out;
}

}  // namespace mirel::proxy
