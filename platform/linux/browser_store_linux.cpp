// Browser settings on Linux: the desktop proxy through GSettings and a
// REGEDIT4 file for the rest. See browser_store_linux.h for the mapping.
#define G_SETTINGS_ENABLE_BACKEND
#include "platform/linux/browser_store_linux.h"

#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <system_error>

namespace mirel {

namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";
constexpr std::string_view kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
constexpr int kDefaultProxyPort = 80;

// --- Text helpers ------------------------------------------------------------

char AsciiLower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Fold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// Key paths compare without regard to case and ignore empty components, so
// "Software\\X\\" and "software\\x" name the same key.
std::string NormalKey(std::string_view path) {
  std::string out;
  std::size_t i = 0;
  while (i <= path.size()) {
    std::size_t j = path.find('\\', i);
    if (j == std::string_view::npos) j = path.size();
    if (j > i) {
      if (!out.empty()) out += '\\';
      out += path.substr(i, j - i);
    }
    i = j + 1;
  }
  return out;
}

// true when `key` is `path` itself or one of its ancestors (both normal).
bool IsSelfOrAncestor(std::string_view key, std::string_view path) {
  if (key.empty()) return true;
  if (key.size() > path.size()) return false;
  if (!SameName(key, path.substr(0, key.size()))) return false;
  return key.size() == path.size() || path[key.size()] == '\\';
}

// --- REGEDIT4 file -------------------------------------------------------------

struct NamedValue {
  std::string name;  // "" is the key's default value ("@")
  RegValue value;
};

struct RegKey {
  std::string path;  // normal form, spelled as first created
  std::vector<NamedValue> values;
};

struct RegData {
  std::vector<RegKey> keys;

  RegKey* FindKey(std::string_view path) {
    for (RegKey& k : keys) {
      if (SameName(k.path, path)) return &k;
    }
    return nullptr;
  }
  bool KeyExists(std::string_view path) const {
    for (const RegKey& k : keys) {
      if (IsSelfOrAncestor(path, k.path)) return true;
    }
    return false;
  }
  RegKey& KeyForWrite(std::string_view path) {
    if (RegKey* k = FindKey(path)) return *k;
    keys.push_back(RegKey{std::string(path), {}});
    return keys.back();
  }
};

void PutValue(RegKey& key, std::string_view name, RegValue value) {
  for (NamedValue& v : key.values) {
    if (SameName(v.name, name)) {
      v.value = std::move(value);
      return;
    }
  }
  key.values.push_back(NamedValue{std::string(name), std::move(value)});
}

// Reads a quoted string at the start of s (which begins with '"'); moves s
// past the closing quote. nullopt when the quote is not closed.
std::optional<std::string> TakeQuoted(std::string_view& s) {
  std::string out;
  std::size_t i = 1;
  while (i < s.size()) {
    char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= s.size()) return std::nullopt;
      out += s[i + 1];
      i += 2;
      continue;
    }
    out += c;
    ++i;
  }
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = AsciiLower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> ParseHexBytes(std::string_view s) {
  std::string out;
  s = Trim(s);
  if (s.empty()) return out;
  while (true) {
    std::string_view item = s.substr(0, s.find(','));
    item = Trim(item);
    if (item.size() != 2 || HexDigit(item[0]) < 0 || HexDigit(item[1]) < 0) return std::nullopt;
    out += static_cast<char>(HexDigit(item[0]) * 16 + HexDigit(item[1]));
    std::size_t comma = s.find(',');
    if (comma == std::string_view::npos) break;
    s.remove_prefix(comma + 1);
  }
  return out;
}

std::optional<RegValue> ParseData(std::string_view s) {
  RegValue v;
  if (!s.empty() && s.front() == '"') {
    std::optional<std::string> text = TakeQuoted(s);
    if (!text || !Trim(s).empty()) return std::nullopt;
    v.kind = RegValue::Kind::kString;
    v.text = std::move(*text);
    return v;
  }
  if (s.starts_with("dword:")) {
    s.remove_prefix(6);
    s = Trim(s);
    if (s.size() != 8) return std::nullopt;
    std::uint32_t n = 0;
    for (char c : s) {
      int d = HexDigit(c);
      if (d < 0) return std::nullopt;
      n = n * 16 + static_cast<std::uint32_t>(d);
    }
    v.kind = RegValue::Kind::kDword;
    v.dword = n;
    return v;
  }
  // "hex:" and the typed "hex(n):" forms: kept as raw bytes.
  if (s.starts_with("hex")) {
    std::size_t colon = s.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    std::string_view type = s.substr(3, colon - 3);
    if (!type.empty() && (type.front() != '(' || type.back() != ')')) return std::nullopt;
    std::optional<std::string> bytes = ParseHexBytes(s.substr(colon + 1));
    if (!bytes) return std::nullopt;
    v.kind = RegValue::Kind::kBinary;
    v.text = std::move(*bytes);
    return v;
  }
  return std::nullopt;
}

// nullopt when the text is not a REGEDIT4 file this store can read.
std::optional<RegData> ParseRegFile(std::string_view text) {
  if (text.starts_with("\xEF\xBB\xBF")) text.remove_prefix(3);
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t j = text.find('\n', i);
    if (j == std::string_view::npos) j = text.size();
    std::string_view line = text.substr(i, j - i);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.emplace_back(line);
    i = j + 1;
  }
  RegData data;
  RegKey* current = nullptr;
  bool sawHeader = false;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    std::string joined(Trim(lines[n]));
    // Long binary data goes on over several lines, each but the last ending
    // in a backslash.
    if (joined.find("=hex") != std::string::npos) {
      while (!joined.empty() && joined.back() == '\\' && n + 1 < lines.size()) {
        joined.pop_back();
        joined += Trim(lines[++n]);
      }
    }
    std::string_view line = joined;
    if (line.empty() || line.front() == ';') continue;
    if (!sawHeader) {
      if (line != "REGEDIT4") return std::nullopt;
      sawHeader = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      std::string_view path = line.substr(1, line.size() - 2);
      if (!SameName(path.substr(0, kRoot.size()), kRoot)) return std::nullopt;
      path.remove_prefix(kRoot.size());
      if (!path.empty() && path.front() != '\\') return std::nullopt;
      std::string normal = NormalKey(path);
      current = &data.KeyForWrite(normal);
      continue;
    }
    if (current == nullptr) return std::nullopt;
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else if (line.front() == '"') {
      std::optional<std::string> quoted = TakeQuoted(line);
      if (!quoted) return std::nullopt;
      name = std::move(*quoted);
    } else {
      return std::nullopt;
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') return std::nullopt;
    line.remove_prefix(1);
    std::optional<RegValue> value = ParseData(Trim(line));
    if (!value) return std::nullopt;
    PutValue(*current, name, std::move(*value));
  }
  if (!sawHeader) return std::nullopt;
  return data;
}

std::string Quote(std::string_view s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string FormatRegFile(const RegData& data) {
  std::string out = "REGEDIT4\r\n";
  for (const RegKey& key : data.keys) {
    out += "\r\n[";
    out += kRoot;
    if (!key.path.empty()) out += "\\" + key.path;
    out += "]\r\n";
    for (const NamedValue& v : key.values) {
      out += v.name.empty() ? std::string("@") : Quote(v.name);
      out += '=';
      char buf[16];
      switch (v.value.kind) {
        case RegValue::Kind::kString:
          out += Quote(v.value.text);
          break;
        case RegValue::Kind::kDword:
          std::snprintf(buf, sizeof buf, "dword:%08x", v.value.dword);
          out += buf;
          break;
        default:
          out += "hex:";
          for (std::size_t i = 0; i < v.value.text.size(); ++i) {
            std::snprintf(buf, sizeof buf, "%s%02x", i ? "," : "",
                          static_cast<unsigned char>(v.value.text[i]));
            out += buf;
          }
          break;
      }
      out += "\r\n";
    }
  }
  return out;
}

class RegFile {
 public:
  explicit RegFile(std::filesystem::path path) : path_(std::move(path)) {}

  // The file's contents; a missing file is empty, and so is a damaged one.
  RegData Load() {
    damaged_ = false;
    std::ifstream in(path_, std::ios::binary);
    if (!in) return {};
    std::ostringstream text;
    text << in.rdbuf();
    std::optional<RegData> data = ParseRegFile(text.str());
    if (!data) {
      damaged_ = true;
      return {};
    }
    return std::move(*data);
  }

  // Replaces the file atomically; false when it could not be written.
  bool Save(const RegData& data) {
    std::error_code ec;
    std::filesystem::path dir = path_.parent_path();
    std::filesystem::create_directories(dir, ec);
    if (damaged_) {
      // Keep what could not be read, for the user to look at.
      std::filesystem::path keep = path_;
      keep += ".damaged";
      std::filesystem::rename(path_, keep, ec);
      damaged_ = false;
    }
    std::string tmpl = (dir / ".browser-settings.XXXXXX").string();
    int fd = mkstemp(tmpl.data());
    if (fd < 0) return false;
    std::string text = FormatRegFile(data);
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < text.size()) {
      ssize_t n = write(fd, text.data() + done, text.size() - done);
      if (n < 0) {
        ok = errno == EINTR;
        continue;
      }
      done += static_cast<std::size_t>(n);
    }
    ok = ok && fsync(fd) == 0;
    ok = (close(fd) == 0) && ok;
    ok = ok && std::rename(tmpl.c_str(), path_.c_str()) == 0;
    if (!ok) unlink(tmpl.c_str());
    return ok;
  }

 private:
  std::filesystem::path path_;
  bool damaged_ = false;
};

// --- Desktop proxy (GSettings) -------------------------------------------------

constexpr const char* kProxySchema = "org.gnome.system.proxy";
constexpr const char* kHttpSchema = "org.gnome.system.proxy.http";
constexpr const char* kHttpsSchema = "org.gnome.system.proxy.https";

GSettingsSchema* LookupSchema(const char* id, std::initializer_list<const char*> keys) {
  GSettingsSchemaSource* source = g_settings_schema_source_get_default();
  if (source == nullptr) return nullptr;
  GSettingsSchema* schema = g_settings_schema_source_lookup(source, id, TRUE);
  if (schema == nullptr) return nullptr;
  for (const char* key : keys) {
    if (!g_settings_schema_has_key(schema, key)) {
      g_settings_schema_unref(schema);
      return nullptr;
    }
  }
  return schema;
}

bool SchemasInstalled() {
  GSettingsSchema* all[] = {LookupSchema(kProxySchema, {"mode"}),
                            LookupSchema(kHttpSchema, {"host", "port"}),
                            LookupSchema(kHttpsSchema, {"host", "port"})};
  bool ok = true;
  for (GSettingsSchema* s : all) {
    if (s == nullptr) {
      ok = false;
    } else {
      g_settings_schema_unref(s);
    }
  }
  return ok;
}

// GLib falls back to a memory backend, quietly losing every write, when no
// real backend is installed; only a process that asked for it gets one.
bool BackendKeepsValues() {
  const char* asked = std::getenv("GSETTINGS_BACKEND");
  if (asked != nullptr && *asked != '\0') return true;
  GSettingsBackend* backend = g_settings_backend_get_default();
  bool memory = std::strcmp(G_OBJECT_TYPE_NAME(backend), "GMemorySettingsBackend") == 0;
  g_object_unref(backend);
  return !memory;
}

struct Endpoint {
  std::string host;
  int port = 0;
};

// "host", "host:port", "[v6]:port", with an optional "scheme://" in front,
// a "/" behind and a remark after a blank. nullopt for an unusable port or
// an empty host.
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
    e.port = kDefaultProxyPort;
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

struct ProxyPair {
  Endpoint http;
  Endpoint https;
};

// nullopt when the text cannot be stored faithfully.
std::optional<ProxyPair> ParseProxyServer(std::string_view text) {
  text = Trim(text);
  ProxyPair pair;
  if (text.empty()) return pair;
  if (text.find('=') == std::string_view::npos) {
    std::optional<Endpoint> e = ParseEndpoint(text);
    if (!e) return std::nullopt;
    pair.http = *e;
    pair.https = *e;
    return pair;
  }
  while (!text.empty()) {
    std::size_t semi = text.find(';');
    std::string_view segment = Trim(text.substr(0, semi));
    text = semi == std::string_view::npos ? std::string_view() : text.substr(semi + 1);
    if (segment.empty()) continue;
    std::size_t eq = segment.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    std::string scheme = Fold(Trim(segment.substr(0, eq)));
    if (scheme != "http" && scheme != "https") continue;  // ftp, socks: not kept
    std::optional<Endpoint> e = ParseEndpoint(segment.substr(eq + 1));
    if (!e) return std::nullopt;
    (scheme == "http" ? pair.http : pair.https) = *e;
  }
  return pair;
}

class DesktopProxy {
 public:
  DesktopProxy() {
    proxy_ = New(kProxySchema);
    http_ = New(kHttpSchema);
    https_ = New(kHttpsSchema);
    GSettingsSchema* schema = nullptr;
    g_object_get(proxy_, "settings-schema", &schema, nullptr);
    hasSameKey_ = schema != nullptr && g_settings_schema_has_key(schema, "use-same-proxy");
    if (schema != nullptr) g_settings_schema_unref(schema);
  }
  ~DesktopProxy() {
    g_object_unref(proxy_);
    g_object_unref(http_);
    g_object_unref(https_);
  }
  DesktopProxy(const DesktopProxy&) = delete;
  DesktopProxy& operator=(const DesktopProxy&) = delete;

  bool Manual() const { return Mode() == "manual"; }

  bool SetEnabled(bool on) {
    bool ok = true;
    if (on) {
      ok = g_settings_set_string(proxy_, "mode", "manual");
    } else if (Manual()) {
      ok = g_settings_set_string(proxy_, "mode", "none");
    }
    g_settings_sync();
    return ok;
  }

  std::string Server() const {
    Endpoint http = Read(http_);
    Endpoint https = Read(https_);
    if (http.host.empty() && https.host.empty()) return "";
    if (http.host == https.host && http.port == https.port) return FormatEndpoint(http);
    std::string out;
    if (!http.host.empty()) out = "http=" + FormatEndpoint(http);
    if (!https.host.empty()) out += (out.empty() ? "" : ";") + ("https=" + FormatEndpoint(https));
    return out;
  }

  bool SetServer(std::string_view text) {
    std::optional<ProxyPair> pair = ParseProxyServer(text);
    if (!pair) return false;
    bool ok = Write(http_, pair->http) && Write(https_, pair->https);
    if (ok && hasSameKey_) {
      bool same = pair->http.host == pair->https.host && pair->http.port == pair->https.port;
      ok = g_settings_set_boolean(proxy_, "use-same-proxy", same);
    }
    g_settings_sync();
    return ok;
  }

 private:
  static GSettings* New(const char* id) {
    GSettingsSchema* schema =
        g_settings_schema_source_lookup(g_settings_schema_source_get_default(), id, TRUE);
    GSettings* s = g_settings_new_full(schema, nullptr, nullptr);
    g_settings_schema_unref(schema);
    return s;
  }

  std::string Mode() const {
    gchar* mode = g_settings_get_string(proxy_, "mode");
    std::string out = mode != nullptr ? mode : "";
    g_free(mode);
    return out;
  }

  static Endpoint Read(GSettings* s) {
    Endpoint e;
    gchar* host = g_settings_get_string(s, "host");
    e.host = host != nullptr ? host : "";
    g_free(host);
    e.port = g_settings_get_int(s, "port");
    return e;
  }

  // An empty host clears the protocol; its port is left as the user had it.
  static bool Write(GSettings* s, const Endpoint& e) {
    if (!g_settings_set_string(s, "host", e.host.c_str())) return false;
    return e.host.empty() || g_settings_set_int(s, "port", e.port);
  }

  GSettings* proxy_ = nullptr;
  GSettings* http_ = nullptr;
  GSettings* https_ = nullptr;
  bool hasSameKey_ = false;
};

// --- The store ---------------------------------------------------------------

class LinuxBrowserSettingsStore final : public BrowserSettingsStore {
 public:
  LinuxBrowserSettingsStore(const std::filesystem::path& configDir, DesktopProxyUse use)
      : file_(BrowserSettingsFile(configDir)) {
    if (use == DesktopProxyUse::kWhenAvailable && DesktopProxyAvailable()) {
      desktop_ = std::make_unique<DesktopProxy>();
    }
  }

  std::optional<RegValue> Query(std::string_view keyPath, std::string_view valueName) override {
    std::string key = NormalKey(keyPath);
    if (IsDesktopValue(key, valueName)) {
      RegValue v;
      if (SameName(valueName, "ProxyEnable")) {
        v.kind = RegValue::Kind::kDword;
        v.dword = desktop_->Manual() ? 1 : 0;
      } else {
        v.kind = RegValue::Kind::kString;
        v.text = desktop_->Server();
      }
      return v;
    }
    RegData data = file_.Load();
    RegKey* k = data.FindKey(key);
    if (k == nullptr) return std::nullopt;
    for (NamedValue& v : k->values) {
      if (SameName(v.name, valueName)) return std::move(v.value);
    }
    return std::nullopt;
  }

  KeyDisposition CreateKey(std::string_view keyPath) override {
    std::string key = NormalKey(keyPath);
    if (desktop_ && IsSelfOrAncestor(key, kInternetSettings))
      return KeyDisposition::kOpenedExisting;
    if (key.empty()) return KeyDisposition::kOpenedExisting;  // the root itself
    if (!OneLine(key)) return KeyDisposition::kFailed;
    RegData data = file_.Load();
    if (data.KeyExists(key)) return KeyDisposition::kOpenedExisting;
    data.KeyForWrite(key);
    return file_.Save(data) ? KeyDisposition::kCreatedNew : KeyDisposition::kFailed;
  }

  bool SetString(std::string_view keyPath, std::string_view valueName,
                 std::string_view text) override {
    std::string key = NormalKey(keyPath);
    // The file cannot carry what follows a zero, and readers stop there anyway.
    text = text.substr(0, text.find('\0'));
    if (IsDesktopValue(key, valueName)) {
      if (!SameName(valueName, "ProxyServer")) return false;  // the switch is a number
      return desktop_->SetServer(text);
    }
    if (!OneLine(text)) return false;
    RegValue v;
    v.kind = RegValue::Kind::kString;
    v.text = std::string(text);
    return Put(key, valueName, std::move(v));
  }

  bool SetDword(std::string_view keyPath, std::string_view valueName,
                std::uint32_t value) override {
    std::string key = NormalKey(keyPath);
    if (IsDesktopValue(key, valueName)) {
      if (!SameName(valueName, "ProxyEnable")) return false;  // the server is a text
      return desktop_->SetEnabled(value != 0);
    }
    RegValue v;
    v.kind = RegValue::Kind::kDword;
    v.dword = value;
    return Put(key, valueName, std::move(v));
  }

 private:
  bool IsDesktopValue(std::string_view key, std::string_view valueName) const {
    return desktop_ && SameName(key, kInternetSettings) &&
           (SameName(valueName, "ProxyServer") || SameName(valueName, "ProxyEnable"));
  }

  // REGEDIT4 has no way to write a line break inside a name or a text.
  static bool OneLine(std::string_view s) {
    return s.find_first_of("\r\n") == std::string_view::npos;
  }

  bool Put(const std::string& key, std::string_view valueName, RegValue value) {
    if (!OneLine(key) || !OneLine(valueName)) return false;
    RegData data = file_.Load();
    PutValue(data.KeyForWrite(key), valueName, std::move(value));
    return file_.Save(data);
  }

  RegFile file_;
  std::unique_ptr<DesktopProxy> desktop_;
};

}  // namespace

std::filesystem::path BrowserSettingsFile(const std::filesystem::path& configDir) {
  return configDir / "browser-settings.reg";
}

bool DesktopProxyAvailable() {
  return SchemasInstalled() && BackendKeepsValues();
}

std::unique_ptr<BrowserSettingsStore> MakeLinuxBrowserSettingsStore(
    const std::filesystem::path& configDir, DesktopProxyUse use) {
  return std::make_unique<LinuxBrowserSettingsStore>(configDir, use);
}

std::unique_ptr<BrowserSettingsStore> MakeBrowserSettingsStore(
    const std::filesystem::path& configDir) {
  return MakeLinuxBrowserSettingsStore(configDir, DesktopProxyUse::kWhenAvailable);
}

}  // namespace mirel
