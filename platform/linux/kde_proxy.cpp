// KDE Plasma's proxy settings in kioslaverc. See kde_proxy.h.
#include "platform/linux/kde_proxy.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <system_error>

#include "platform/atomic_file.h"
#include "platform/linux/reg_text.h"
#include "platform/platform.h"

namespace mirel {

namespace {

using proxy::Endpoint;
using reg::Trim;

constexpr std::string_view kGroup = "[Proxy Settings]";
constexpr std::string_view kLock = "[$i]";
constexpr std::string_view kTypeKey = "ProxyType";
constexpr std::string_view kScriptKey = "Proxy Config Script";
// In the order of proxy::kProtocols, with the scheme KDE writes in front.
constexpr std::array<std::string_view, 4> kProxyKeys = {"httpProxy", "httpsProxy", "ftpProxy",
                                                        "socksProxy"};
constexpr std::array<std::string_view, 4> kSchemes = {"http", "http", "http", "socks"};

// --- Lines of the file --------------------------------------------------------

struct Line {
  std::string_view body;  // without the line end; a CR of a CR LF stays here
  std::string_view end;   // "\n", or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    if (nl == std::string_view::npos) {
      lines.push_back({text, {}});
      break;
    }
    lines.push_back({text.substr(0, nl), text.substr(nl, 1)});
    text.remove_prefix(nl + 1);
  }
  return lines;
}

// What one line is to KConfig.
struct Parsed {
  enum class Kind { kOther, kGroup, kEntry } kind = Kind::kOther;
  bool ours = false;     // kGroup: [Proxy Settings]
  bool locked = false;   // a "[$i]" on the group or the key
  std::string_view key;  // kEntry: the name without options; empty for a locale's variant
  std::string_view value;
};

Parsed ParseLine(std::string_view body) {
  Parsed p;
  const std::string_view t = Trim(body);
  if (t.empty() || t.front() == '#') return p;
  if (t.front() == '[') {
    p.kind = Parsed::Kind::kGroup;
    std::string_view name = t;
    if (name.size() > kLock.size() && name.substr(name.size() - kLock.size()) == kLock) {
      p.locked = true;
      name.remove_suffix(kLock.size());
    }
    p.ours = name == kGroup;
    return p;
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return p;
  p.kind = Parsed::Kind::kEntry;
  std::string_view key = Trim(t.substr(0, eq));
  p.value = Trim(t.substr(eq + 1));
  const std::size_t bracket = key.find('[');
  if (bracket != std::string_view::npos) {
    const std::string_view options = key.substr(bracket);
    p.locked = options.find("$i") != std::string_view::npos;
    // key[de]: the German variant, another entry than key.
    bool locale = false;
    for (std::size_t at = 0; (at = options.find('[', at)) != std::string_view::npos; ++at) {
      if (at + 1 < options.size() && options[at + 1] != '$') locale = true;
    }
    key = locale ? std::string_view() : Trim(key.substr(0, bracket));
  }
  p.key = key;
  return p;
}

// KConfig's escapes in values.
std::string Unescape(std::string_view v) {
  std::string out;
  for (std::size_t i = 0; i < v.size(); ++i) {
    if (v[i] != '\\' || i + 1 == v.size()) {
      out += v[i];
      continue;
    }
    const char c = v[++i];
    switch (c) {
      case 's':
        out += ' ';
        break;
      case 't':
        out += '\t';
        break;
      case 'n':
        out += '\n';
        break;
      case 'r':
        out += '\r';
        break;
      case '\\':
        out += '\\';
        break;
      default:
        out += '\\';
        out += c;
        break;
    }
  }
  return out;
}

// A value as KConfig writes it: nothing in it can end the line or start
// another entry.
std::string Escape(std::string_view v) {
  std::string out;
  for (char c : v) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

// "http://host port" (KDE's form), "http://host:port" or "host:port".
Endpoint ParseKdeEndpoint(std::string value) {
  value = std::string(Trim(value));
  if (value.empty() || value.rfind("//:", 0) == 0) return {};
  if (const std::size_t space = value.find(' '); space != std::string::npos) value[space] = ':';
  return proxy::ParseEndpoint(value).value_or(Endpoint{});
}

std::string KdeValue(std::string_view scheme, const Endpoint& e) {
  if (e.host.empty()) return {};
  const std::string host = e.host.find(':') != std::string::npos ? "[" + e.host + "]" : e.host;
  return std::string(scheme) + "://" + host + " " + std::to_string(e.port);
}

// --- The file -----------------------------------------------------------------

struct FileRead {
  enum class State { kMissing, kRead, kUnreadable } state = State::kMissing;
  std::string text;
};

// Regular files only, opened without blocking (a FIFO cannot hang the
// program), and no more than a real kioslaverc can hold.
FileRead ReadWhole(const std::filesystem::path& path) {
  FileRead r;
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    r.state = errno == ENOENT ? FileRead::State::kMissing : FileRead::State::kUnreadable;
    return r;
  }
  r.state = FileRead::State::kUnreadable;
  struct stat st {};
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      st.st_size <= static_cast<off_t>(kMaxKioslavercBytes)) {
    char buf[16384];
    bool ok = true;
    while (ok) {
      const ssize_t n = ::read(fd, buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) ok = false;
      if (n <= 0) break;
      r.text.append(buf, static_cast<std::size_t>(n));
      if (r.text.size() > kMaxKioslavercBytes) ok = false;
    }
    if (ok) r.state = FileRead::State::kRead;
  }
  ::close(fd);
  if (r.state != FileRead::State::kRead) r.text.clear();
  return r;
}

// KDE's programs read kioslaverc again when told so, as KDE's own settings
// tell them after a change (browsers watch the file themselves).
void TellKdePrograms() {
  const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  if (address == nullptr || *address == '\0') return;  // no autolaunch of a bus
  GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
  if (bus == nullptr) return;
  g_dbus_connection_emit_signal(bus, nullptr, "/KIO/Scheduler", "org.kde.KIO.Scheduler",
                                "reparseSlaveConfiguration", g_variant_new("(s)", ""), nullptr);
  g_dbus_connection_flush_sync(bus, nullptr, nullptr);
  g_object_unref(bus);
}

}  // namespace

KdeProxy ParseKioslaverc(std::string_view text) {
  KdeProxy out;
  bool inGroup = false;
  for (const Line& line : SplitLines(text)) {
    const Parsed p = ParseLine(line.body);
    if (p.kind == Parsed::Kind::kGroup) inGroup = p.ours;
    if (p.kind != Parsed::Kind::kEntry || !inGroup || p.key.empty()) continue;
    // The last of repeated entries counts, as KConfig reads them.
    const std::string value = Unescape(p.value);
    if (p.key == kTypeKey) {
      char* end = nullptr;
      const long type = std::strtol(value.c_str(), &end, 10);
      out.type = end != value.c_str() && *end == '\0' && type >= 0 && type <= 99
                     ? static_cast<int>(type)
                     : kKdeProxyNone;
    } else if (p.key == kScriptKey) {
      out.script = value;
    }
    for (std::size_t k = 0; k < kProxyKeys.size(); ++k) {
      if (p.key == kProxyKeys[k]) out.parts[k] = ParseKdeEndpoint(value);
    }
  }
  return out;
}

KdeEntries KdeProxyEntries(const proxy::Parts& parts) {
  KdeEntries e;
  for (std::size_t k = 0; k < kProxyKeys.size(); ++k) {
    e.emplace_back(std::string(kProxyKeys[k]), KdeValue(kSchemes[k], parts[k]));
  }
  return e;
}

std::optional<std::string> EditKioslaverc(std::string_view text, const KdeEntries& entries) {
  const std::vector<Line> lines = SplitLines(text);
  // New lines end as the file's first line does.
  const bool crlf = !lines.empty() && !lines[0].end.empty() && !lines[0].body.empty() &&
                    lines[0].body.back() == '\r';
  const std::string newline = crlf ? "\r\n" : "\n";
  std::vector<bool> found(entries.size(), false);
  std::vector<std::string> out(lines.size());
  bool inGroup = false, anyGroup = false;
  std::size_t insertAfter = 0;  // the last line of the last [Proxy Settings] with content
  bool haveGroup = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Line& line = lines[i];
    out[i] = std::string(line.body) + std::string(line.end);
    const Parsed p = ParseLine(line.body);
    if (p.kind == Parsed::Kind::kGroup) {
      // "[$i]" before any group locks the whole file.
      if (!anyGroup && Trim(line.body) == kLock) return std::nullopt;
      anyGroup = true;
      inGroup = p.ours;
      if (inGroup && p.locked) return std::nullopt;
      if (inGroup) {
        haveGroup = true;
        insertAfter = i;
      }
      continue;
    }
    if (!inGroup) continue;
    if (p.kind != Parsed::Kind::kOther) insertAfter = i;
    if (p.kind != Parsed::Kind::kEntry || p.key.empty()) continue;
    for (std::size_t e = 0; e < entries.size(); ++e) {
      if (p.key != entries[e].first) continue;
      if (p.locked) return std::nullopt;
      found[e] = true;
      const bool cr = !line.body.empty() && line.body.back() == '\r';
      out[i] = entries[e].first + "=" + Escape(entries[e].second) + (cr ? "\r" : "") +
               std::string(line.end);
    }
  }
  std::string added;
  for (std::size_t e = 0; e < entries.size(); ++e) {
    if (!found[e]) added += entries[e].first + "=" + Escape(entries[e].second) + newline;
  }
  if (!added.empty()) {
    // A last line without its end gets one first; a CR it already has
    // stays the start of that end.
    auto ending = [&](std::string_view body) {
      return crlf && !body.empty() && body.back() == '\r' ? std::string("\n") : newline;
    };
    if (haveGroup) {
      if (lines[insertAfter].end.empty()) out[insertAfter] += ending(lines[insertAfter].body);
      out[insertAfter] += added;
    } else {
      std::string tail;
      if (!text.empty() && text.back() != '\n') tail += ending(text);
      if (!text.empty()) tail += newline;  // a blank line between groups, as KConfig writes them
      out.push_back(tail + std::string(kGroup) + newline + added);
    }
  }
  std::string result;
  for (const std::string& s : out) result += s;
  return result;
}

std::optional<std::string> KdeTypeText(const KdeProxy& p) {
  switch (p.type) {
    case kKdeProxyScript:
      return "PAC:" + p.script;
    case kKdeProxyDetect:
      return std::string("自動検出");
    case kKdeProxyEnvironment:
      return std::string("環境変数");
    default:
      return std::nullopt;
  }
}

bool GLibNoticesDelivered() {
  return g_main_context_is_owner(g_main_context_default()) != FALSE;
}

KdeProxyFile::KdeProxyFile(std::filesystem::path path) : path_(std::move(path)) {
  // The monitor watches the folder, so a file replaced by a rename (as KDE
  // and this program write it) or created later is seen as well.
  GFile* file = g_file_new_for_path(path_.c_str());
  monitor_ = g_file_monitor_file(file, G_FILE_MONITOR_WATCH_MOVES, nullptr, nullptr);
  g_object_unref(file);
  if (monitor_ != nullptr) {
    g_signal_connect(monitor_, "changed", G_CALLBACK(&KdeProxyFile::OnChanged), this);
  }
}

KdeProxyFile::~KdeProxyFile() {
  if (monitor_ == nullptr) return;
  g_signal_handlers_disconnect_by_data(monitor_, this);
  g_file_monitor_cancel(monitor_);
  g_object_unref(monitor_);
}

void KdeProxyFile::OnChanged(GFileMonitor*, void*, void*, int, void* self) {
  static_cast<KdeProxyFile*>(self)->cache_.reset();
}

KdeProxy KdeProxyFile::Current() {
  if (monitor_ == nullptr || !GLibNoticesDelivered()) return ParseKioslaverc(ReadWhole(path_).text);
  if (!cache_) cache_ = ParseKioslaverc(ReadWhole(path_).text);
  return *cache_;
}

bool KdeProxyFile::Write(const KdeEntries& entries,
                         const std::function<bool(const KdeProxy&)>& holds) {
  cache_.reset();
  const FileRead now = ReadWhole(path_);
  if (now.state == FileRead::State::kUnreadable) return false;  // its other keys would be lost
  const std::optional<std::string> edited = EditKioslaverc(now.text, entries);
  if (!edited) return false;
  if (*edited != now.text || now.state == FileRead::State::kMissing) {
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    if (!WriteFileAtomically(path_, *edited).empty()) return false;
  }
  const FileRead back = ReadWhole(path_);
  if (back.state != FileRead::State::kRead || !holds(ParseKioslaverc(back.text))) return false;
  if (*edited != now.text) TellKdePrograms();
  return true;
}

bool KdeProxyFile::SetParts(const proxy::Parts& parts) {
  return Write(KdeProxyEntries(parts), [&parts](const KdeProxy& p) { return p.parts == parts; });
}

bool KdeProxyFile::SetEnabled(bool on) {
  const FileRead now = ReadWhole(path_);
  if (now.state == FileRead::State::kUnreadable) return false;
  const int type = ParseKioslaverc(now.text).type;
  // Off ends the manual proxy only; a type taken from elsewhere stays.
  const int want = on ? kKdeProxyManual : (type == kKdeProxyManual ? kKdeProxyNone : type);
  if (want == type) return true;
  return Write({{std::string(kTypeKey), std::to_string(want)}},
               [want](const KdeProxy& p) { return p.type == want; });
}

std::optional<std::filesystem::path> KdeProxyFileForSession() {
  const char* desktops = std::getenv("XDG_CURRENT_DESKTOP");
  if (desktops == nullptr) return std::nullopt;
  std::string_view rest = desktops;
  while (!rest.empty()) {
    const std::size_t colon = rest.find(':');
    const std::string_view name = rest.substr(0, colon);
    if (name.size() == 3 && reg::SameName(name, "KDE")) {
      return UserConfigDir().parent_path() / "kioslaverc";
    }
    rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
  }
  return std::nullopt;
}

}  // namespace mirel
