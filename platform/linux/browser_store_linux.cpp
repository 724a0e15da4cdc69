// Browser settings on Linux: the desktop proxy through GSettings and a
// REGEDIT4 file for the rest. See browser_store_linux.h for the mapping.
#define G_SETTINGS_ENABLE_BACKEND
#include "platform/linux/browser_store_linux.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>
#include <vector>

#include "platform/atomic_file.h"
#include "platform/linux/kde_proxy.h"
#include "platform/linux/proxy_text.h"
#include "platform/linux/reg_text.h"
#include "platform/regular_file.h"

namespace mirel {

namespace {

constexpr std::string_view kInternetSettings =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// --- Text helpers ------------------------------------------------------------

using proxy::Endpoint;
using proxy::Fingerprint;
using proxy::FormatServer;
using proxy::kProtocols;
using proxy::OneProxyForAll;
using proxy::ParseServer;
using reg::NormalKey;
using reg::SameName;
using reg::Trim;
using ProxyParts = proxy::Parts;

// true when `key` is `path` itself or one of its ancestors (both normal).
bool IsSelfOrAncestor(std::string_view key, std::string_view path) {
  if (key.empty()) return true;
  if (key.size() > path.size()) return false;
  if (!SameName(key, path.substr(0, key.size()))) return false;
  return key.size() == path.size() || path[key.size()] == '\\';
}

// --- The file ------------------------------------------------------------------

// What identifies one version of the file: a write in place changes the
// modification time or the size, a replacement the inode.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec changed{};

  static FileStamp Of(const struct stat& st) {
    return FileStamp{true, st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
  }
  static FileStamp Of(const FileVersion& v) {
    constexpr std::int64_t kNs = 1000000000;
    return FileStamp{
        true,
        static_cast<dev_t>(v.device),
        static_cast<ino_t>(v.id),
        static_cast<off_t>(v.size),
        {static_cast<time_t>(v.modifiedNs / kNs), static_cast<long>(v.modifiedNs % kNs)},
        {static_cast<time_t>(v.changedNs / kNs), static_cast<long>(v.changedNs % kNs)}};
  }
  bool operator==(const FileStamp& o) const {
    return exists == o.exists && device == o.device && inode == o.inode && size == o.size &&
           modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

FileStamp StampOf(const std::filesystem::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return FileStamp::Of(st);
}

class RegFile {
 public:
  explicit RegFile(std::filesystem::path path) : path_(std::move(path)) {}

  // The file's contents; a missing file is empty, and so is a damaged or an
  // oversized one. Read again only when the file changed: one stat() per call
  // otherwise.
  const reg::Data& Load() {
    const FileStamp now = StampOf(path_);
    if (loaded_ && now == stamp_) return data_;
    loaded_ = true;
    damaged_ = false;
    data_ = {};
    stamp_ = now;
    if (!now.exists) return data_;
    // A FIFO or a device in the file's place is not opened, and counts as
    // damaged, as does a file this user may not read: its values are not
    // ours to drop, so it is kept aside before a write replaces it.
    FileRead read = ReadRegularFile(path_, kMaxBrowserSettingsBytes);
    if (read.status == FileReadStatus::kMissing) return data_;
    // What was read, should the file have changed since the stat() above.
    if (read.status == FileReadStatus::kOk || read.status == FileReadStatus::kTooLarge) {
      stamp_ = FileStamp::Of(read.version);
    }
    std::optional<reg::Data> data =
        read.status == FileReadStatus::kOk ? reg::Parse(read.bytes) : std::nullopt;
    if (!data) {
      damaged_ = true;
      return data_;
    }
    data_ = std::move(*data);
    return data_;
  }

  // Replaces the file atomically; false when it could not be written.
  bool Save(const reg::Data& data) {
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    // Keep what could not be read, for the user to look at, unless it
    // changed again since.
    if (damaged_ && StampOf(path_) == stamp_) KeepDamaged();
    if (!WriteFileAtomically(path_, reg::Format(data)).empty()) {
      loaded_ = false;
      return false;
    }
    data_ = data;
    damaged_ = false;
    stamp_ = StampOf(path_);
    loaded_ = stamp_.exists;
    return true;
  }

 private:
  // browser-settings.reg.damaged, then .damaged-2, -3, ...: never over an
  // earlier copy.
  void KeepDamaged() {
    for (int n = 1; n <= 999; ++n) {
      std::filesystem::path keep = path_;
      keep += n == 1 ? std::string(".damaged") : ".damaged-" + std::to_string(n);
      if (::renameat2(AT_FDCWD, path_.c_str(), AT_FDCWD, keep.c_str(), RENAME_NOREPLACE) == 0)
        return;
      if (errno == EEXIST) continue;
      if (errno != EINVAL && errno != ENOSYS) return;
      // A file system without RENAME_NOREPLACE.
      std::error_code ec;
      if (std::filesystem::exists(keep, ec)) continue;
      std::filesystem::rename(path_, keep, ec);
      return;
    }
  }

  std::filesystem::path path_;
  bool loaded_ = false;
  bool damaged_ = false;
  FileStamp stamp_;
  reg::Data data_;
};

// --- Desktop proxy (GSettings) -------------------------------------------------

constexpr const char* kProxySchema = "org.gnome.system.proxy";
// Each protocol of proxy::kProtocols in its own child schema
// (org.gnome.system.proxy.http, ...).

std::string ChildSchema(const char* protocol) {
  return std::string(kProxySchema) + "." + protocol;
}

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
  std::vector<GSettingsSchema*> all = {LookupSchema(kProxySchema, {"mode"})};
  for (const char* protocol : kProtocols) {
    all.push_back(LookupSchema(ChildSchema(protocol).c_str(), {"host", "port"}));
  }
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

class DesktopProxy {
 public:
  // `backend` null: the process's default backend.
  explicit DesktopProxy(GSettingsBackend* backend) {
    proxy_ = New(kProxySchema, backend);
    for (std::size_t k = 0; k < kProtocols.size(); ++k) {
      parts_[k] = New(ChildSchema(kProtocols[k]).c_str(), backend);
    }
    GSettingsSchema* schema = nullptr;
    g_object_get(proxy_, "settings-schema", &schema, nullptr);
    hasSameKey_ = schema != nullptr && g_settings_schema_has_key(schema, "use-same-proxy");
    if (schema != nullptr) g_settings_schema_unref(schema);
    g_signal_connect(proxy_, "changed", G_CALLBACK(&DesktopProxy::OnChanged), this);
    for (GSettings* s : parts_) {
      g_signal_connect(s, "changed", G_CALLBACK(&DesktopProxy::OnChanged), this);
    }
  }
  ~DesktopProxy() {
    g_signal_handlers_disconnect_by_data(proxy_, this);
    g_object_unref(proxy_);
    for (GSettings* s : parts_) {
      g_signal_handlers_disconnect_by_data(s, this);
      g_object_unref(s);
    }
  }
  DesktopProxy(const DesktopProxy&) = delete;
  DesktopProxy& operator=(const DesktopProxy&) = delete;

  // What the tick reads. Inside the default main loop, which delivers
  // GSettings' change notices (the shell's event loop is that loop), the
  // values last read stand until a notice says otherwise: a tick then costs
  // no GSettings lookup. Elsewhere (the command-line tool, a test calling
  // directly) nothing would deliver the notices, so every read is fresh.
  bool Manual() {
    if (!MainLoopDeliversNotices()) return Mode() == "manual";
    if (!mode_) mode_ = Mode();
    return *mode_ == "manual";
  }
  ProxyParts CurrentParts() {
    if (!MainLoopDeliversNotices()) return Parts();
    if (!parts_cache_) parts_cache_ = Parts();
    return *parts_cache_;
  }

  // false also when the backend did not keep the change (dconf without a
  // session bus, a read-only configuration folder): GLib reports success
  // there and only warns.
  bool SetEnabled(bool on) {
    Forget();
    bool ok = true;
    std::string want = Mode();
    if (on) {
      want = "manual";
    } else if (want == "manual") {
      want = "none";
    }
    if (want != Mode()) ok = g_settings_set_string(proxy_, "mode", want.c_str());
    g_settings_sync();
    return ok && Mode() == want;
  }

  ProxyParts Parts() const {
    ProxyParts p;
    for (std::size_t k = 0; k < kProtocols.size(); ++k) p[k] = Read(parts_[k]);
    return p;
  }

  // Writes every protocol; false for a text the desktop cannot hold (then
  // nothing is written) and when the backend did not keep what was written.
  bool SetParts(const ProxyParts& p) {
    Forget();
    bool ok = true;
    for (std::size_t k = 0; k < kProtocols.size(); ++k) ok = Write(parts_[k], p[k]) && ok;
    const bool same = OneProxyForAll(p);
    if (hasSameKey_ && g_settings_get_boolean(proxy_, "use-same-proxy") != same) {
      ok = g_settings_set_boolean(proxy_, "use-same-proxy", same) && ok;
    }
    g_settings_sync();
    if (!ok || Parts() != p) return false;
    return !hasSameKey_ || g_settings_get_boolean(proxy_, "use-same-proxy") == same;
  }

 private:
  static void OnChanged(GSettings*, gchar*, gpointer self) {
    static_cast<DesktopProxy*>(self)->Forget();
  }
  void Forget() {
    mode_.reset();
    parts_cache_.reset();
  }
  static bool MainLoopDeliversNotices() { return GLibNoticesDelivered(); }

  static GSettings* New(const char* id, GSettingsBackend* backend) {
    GSettingsSchema* schema =
        g_settings_schema_source_lookup(g_settings_schema_source_get_default(), id, TRUE);
    GSettings* s = g_settings_new_full(schema, backend, nullptr);
    g_settings_schema_unref(schema);
    return s;
  }

  std::string Mode() const {
    gchar* mode = g_settings_get_string(proxy_, "mode");
    std::string out = mode != nullptr ? mode : "";
    g_free(mode);
    return out;
  }

  // The port only where there is a host: it means nothing without one, and
  // reading an integer key costs more than the string (a range check).
  static Endpoint Read(GSettings* s) {
    Endpoint e;
    gchar* host = g_settings_get_string(s, "host");
    e.host = host != nullptr ? host : "";
    g_free(host);
    if (!e.host.empty()) e.port = g_settings_get_int(s, "port");
    return e;
  }

  // An empty host clears the protocol; its port is left as the user had it.
  // Only what differs is written, so an unchanged part costs no write.
  static bool Write(GSettings* s, const Endpoint& e) {
    const Endpoint now = Read(s);
    bool ok = true;
    if (now.host != e.host) ok = g_settings_set_string(s, "host", e.host.c_str());
    if (ok && !e.host.empty() && (now.host.empty() || now.port != e.port)) {
      ok = g_settings_set_int(s, "port", e.port);
    }
    return ok;
  }

  GSettings* proxy_ = nullptr;
  std::array<GSettings*, kProtocols.size()> parts_{};
  bool hasSameKey_ = false;
  std::optional<std::string> mode_;
  std::optional<ProxyParts> parts_cache_;
};

// --- The store ---------------------------------------------------------------

// Where the proxy text last written to the desktop is kept, with the
// desktop's settings it became: while the desktop still holds those, the
// text reads back exactly as it was written ("http=a:1;https=a:1", a remark,
// "http://"), not as rebuilt from the desktop's host and port.
constexpr std::string_view kKeptTextKey = "Software\\mirel9x\\DesktopProxy";
constexpr std::string_view kKeptText = "ProxyServer";
constexpr std::string_view kKeptFingerprint = "DesktopSettings";

class LinuxBrowserSettingsStore final : public BrowserSettingsStore {
 public:
  LinuxBrowserSettingsStore(const std::filesystem::path& configDir, DesktopProxyUse use,
                            GSettingsBackend* backend,
                            const std::optional<std::filesystem::path>& kioslaverc)
      : file_(BrowserSettingsFile(configDir)) {
    if (backend != nullptr || (use == DesktopProxyUse::kWhenAvailable && DesktopProxyAvailable())) {
      desktop_ = std::make_unique<DesktopProxy>(backend);
    }
    if (kioslaverc) kde_ = std::make_unique<KdeProxyFile>(*kioslaverc);
  }

  std::optional<RegValue> Query(std::string_view keyPath, std::string_view valueName) override {
    std::string key = NormalKey(keyPath);
    if (IsDesktopValue(key, valueName)) {
      RegValue v;
      if (SameName(valueName, "ProxyEnable")) {
        v.kind = RegValue::Kind::kDword;
        v.dword = (kde_ ? kde_->Current().type == kKdeProxyManual : desktop_->Manual()) ? 1 : 0;
      } else {
        v.kind = RegValue::Kind::kString;
        v.text = DesktopServerText();
      }
      return v;
    }
    const RegValue* v = file_.Load().Find(key, valueName);
    if (v == nullptr) return std::nullopt;
    return *v;
  }

  KeyDisposition CreateKey(std::string_view keyPath) override {
    std::string key = NormalKey(keyPath);
    if ((desktop_ || kde_) && IsSelfOrAncestor(key, kInternetSettings))
      return KeyDisposition::kOpenedExisting;
    if (key.empty()) return KeyDisposition::kOpenedExisting;  // the root itself
    if (!reg::Writable(key)) return KeyDisposition::kFailed;
    reg::Data data = file_.Load();
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
      return SetDesktopServer(text);
    }
    if (!reg::Writable(text)) return false;
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
      // KDE first: a file it cannot write leaves GNOME's settings alone too.
      if (kde_ && !kde_->SetEnabled(value != 0)) return false;
      return !desktop_ || desktop_->SetEnabled(value != 0);
    }
    RegValue v;
    v.kind = RegValue::Kind::kDword;
    v.dword = value;
    return Put(key, valueName, std::move(v));
  }

 private:
  bool IsDesktopValue(std::string_view key, std::string_view valueName) const {
    return (desktop_ || kde_) && SameName(key, kInternetSettings) &&
           (SameName(valueName, "ProxyServer") || SameName(valueName, "ProxyEnable"));
  }

  // On KDE the readout is KDE's: what its browsers use.
  std::string DesktopServerText() {
    ProxyParts parts;
    if (kde_) {
      const KdeProxy kde = kde_->Current();
      if (std::optional<std::string> type = KdeTypeText(kde)) return *type;
      parts = kde.parts;
    } else {
      parts = desktop_->CurrentParts();
    }
    const reg::Data& kept = file_.Load();
    const RegValue* text = kept.Find(kKeptTextKey, kKeptText);
    const RegValue* fingerprint = kept.Find(kKeptTextKey, kKeptFingerprint);
    if (text != nullptr && fingerprint != nullptr && fingerprint->text == Fingerprint(parts)) {
      return text->text;
    }
    return FormatServer(parts);  // changed elsewhere since
  }

  bool SetDesktopServer(std::string_view text) {
    std::optional<ProxyParts> parts = ParseServer(text);
    if (!parts || !reg::Writable(text)) return false;
    if (kde_ && !kde_->SetParts(*parts)) return false;
    if (desktop_ && !desktop_->SetParts(*parts)) return false;
    // The desktop has the proxy now; should keeping the text fail, it reads
    // back in the desktop's own form, which still names the same proxy.
    reg::Data data = file_.Load();
    reg::Key& key = data.KeyForWrite(std::string(kKeptTextKey));
    reg::PutValue(key, kKeptText, RegValue{RegValue::Kind::kString, std::string(text), 0});
    reg::PutValue(key, kKeptFingerprint, RegValue{RegValue::Kind::kString, Fingerprint(*parts), 0});
    (void)file_.Save(data);
    return true;
  }

  bool Put(const std::string& key, std::string_view valueName, RegValue value) {
    if (!reg::Writable(key) || !reg::Writable(valueName)) return false;
    reg::Data data = file_.Load();
    reg::PutValue(data.KeyForWrite(key), valueName, std::move(value));
    return file_.Save(data);
  }

  RegFile file_;
  std::unique_ptr<DesktopProxy> desktop_;
  std::unique_ptr<KdeProxyFile> kde_;
};

}  // namespace

std::filesystem::path BrowserSettingsFile(const std::filesystem::path& configDir) {
  return configDir / "browser-settings.reg";
}

bool DesktopProxyAvailable() {
  return SchemasInstalled() && BackendKeepsValues();
}

std::unique_ptr<BrowserSettingsStore> MakeLinuxBrowserSettingsStore(
    const std::filesystem::path& configDir, DesktopProxyUse use,
    const std::optional<std::filesystem::path>& kioslaverc) {
  return std::make_unique<LinuxBrowserSettingsStore>(configDir, use, nullptr, kioslaverc);
}

std::unique_ptr<BrowserSettingsStore> MakeLinuxBrowserSettingsStore(
    const std::filesystem::path& configDir, GSettingsBackend* backend,
    const std::optional<std::filesystem::path>& kioslaverc) {
  return std::make_unique<LinuxBrowserSettingsStore>(configDir, DesktopProxyUse::kWhenAvailable,
                                                     backend, kioslaverc);
}

std::unique_ptr<BrowserSettingsStore> MakeBrowserSettingsStore(
    const std::filesystem::path& configDir) {
  return MakeLinuxBrowserSettingsStore(configDir, DesktopProxyUse::kWhenAvailable,
                                       KdeProxyFileForSession());
}

}  // namespace mirel
