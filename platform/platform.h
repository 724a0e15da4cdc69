// What the core asks of the operating system. The core receives these by
// reference, so tests hand it fakes or fixture /proc and /sys trees.
// All text crossing this seam is UTF-8; an implementation converts to and
// from the system's own encodings.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mirel {

// --- ANSI text (code page 932) ---------------------------------------------

class TextCodec {
 public:
  virtual ~TextCodec() = default;
  // UTF-8 -> code page 932. nullopt when a character has no CP932 form.
  virtual std::optional<std::string> ToAnsi(std::string_view utf8) const = 0;
  // Code page 932 -> UTF-8. nullopt when the bytes are not valid CP932.
  virtual std::optional<std::string> FromAnsi(std::string_view ansi) const = 0;
};

// The platform's code page 932 codec (iconv on Linux).
std::unique_ptr<TextCodec> MakeAnsiCodec();

// --- Machine readings ------------------------------------------------------

struct MemoryReading {
  std::uint64_t totalBytes = 0;
  std::uint64_t availBytes = 0;
};

// Interface type numbers as Windows reports them.
inline constexpr std::uint32_t kIfTypeEthernet = 6;
inline constexpr std::uint32_t kIfTypeLoopback = 24;
inline constexpr std::uint32_t kIfTypeWireless = 71;
inline constexpr std::uint32_t kIfTypeTunnel = 131;

// One row of the interface table.
struct InterfaceRow {
  std::uint32_t index = 0;  // the system's interface index; 0: not on the machine now
  std::uint32_t type = 0;   // Windows numbering, see above
  std::string description;  // what the adapter list shows (the name on Linux)
};

struct OctetCounters {
  std::uint64_t rx = 0;
  std::uint64_t tx = 0;
  // true: 64-bit counters that never wrap in practice; false: 32-bit
  // counters that the core must wrap-track.
  bool wide = true;
};

// Result of reading the adapter table for the LAN address.
enum class AdapterTableStatus {
  kOk,
  kNotSupported,  // "このバージョンのOSでこの機能はサポートされていません"
  kInvalidParameter,  // "出力バッファへのアクセスが許可されていないか、パラメータが不正です"
  kNoAdapters,        // "このコンピュータにはアダプタ情報が存在しません"
  kOtherFailure,      // silent
};

struct AdapterEntry {
  std::string description;
  std::string ipAddress;  // first IPv4 address, "0.0.0.0" when none
};

struct AdapterTable {
  AdapterTableStatus status = AdapterTableStatus::kOtherFailure;
  std::vector<AdapterEntry> entries;
};

struct DriveSpace {
  std::uint64_t totalBytes = 0;
  std::uint64_t freeBytes = 0;      // available to the user
  std::string name;                 // the drive's path as shown on its strip
  std::uint64_t reservedBytes = 0;  // free, but only to the administrator
};

// The date line in three widths, all of the same instant: the full line, the
// line with the weekday abbreviated, and the line without the weekday. An
// empty shorter form means there is none.
struct DateLineForms {
  std::string full;
  std::string abbreviated;
  std::string bare;
};

// What changed in the network since the last drain of a watch.
struct NetworkChanges {
  bool links = false;      // an interface came, went or was renamed
  bool routes = false;     // a default route came, went or changed
  bool addresses = false;  // an IPv4 address came or went
  bool Any() const { return links || routes || addresses; }
};

// Tells when interfaces, default routes or addresses change, so the reader
// re-reads only what changed and nothing is polled while nothing changes.
class NetworkWatch {
 public:
  virtual ~NetworkWatch() = default;
  // Becomes readable when something may have changed (a socket or file
  // descriptor for the event loop to watch); -1 when there is none.
  virtual std::intptr_t Descriptor() const = 0;
  // Takes every pending notice without blocking and says what changed.
  // After lost notices (an overflow) everything counts as changed.
  virtual NetworkChanges Drain() = 0;
};

class SystemSource {
 public:
  virtual ~SystemSource() = default;

  // Processor busy share 0-100 since the previous call; nullopt when no
  // reading is available (the shown value then stays as it was). The first
  // call has no previous one: the tick takes it as a baseline only.
  virtual std::optional<int> ReadCpuPercent() = 0;
  virtual MemoryReading ReadMemory() = 0;

  // The interface table. The settings file stores a position in it, so the
  // order must stay the same from boot to boot while interfaces come and go
  // (on Linux: loopback, then adapters with a device by name, then virtual
  // ones by name).
  virtual std::vector<InterfaceRow> LoadInterfaceTable() = 0;
  // Position in `rows` of the interface that carries the default route, if any.
  virtual std::optional<std::size_t> DefaultRouteInterface(
      const std::vector<InterfaceRow>& rows) = 0;
  // Counters of one interface; nullopt when it cannot be read.
  virtual std::optional<OctetCounters> ReadCounters(const InterfaceRow& row) = 0;

  virtual AdapterTable LoadAdapterTable() = 0;

  // Fixed disks, one per file system, as the texts of the drive rows, in an
  // order that does not change from one start to the next.
  virtual std::vector<std::string> ListFixedDrives() = 0;
  // nullopt when the drive cannot be read or is gone (no longer mounted).
  virtual std::optional<DriveSpace> ReadDriveSpace(const std::string& drive) = 0;

  // The date line: short date, " ", full weekday name, "  ", long time, in
  // the user's locale.
  virtual std::string DateLine() = 0;
  // The same line with its shorter forms, for a strip too narrow for it.
  virtual DateLineForms DateLines() { return {DateLine(), {}, {}}; }

  // A watch on the interfaces, routes and addresses; null where the platform
  // has none (then they are read at start-up only).
  virtual std::unique_ptr<NetworkWatch> WatchNetwork() { return nullptr; }
};

// --- Browser settings (registry-style store) --------------------------------

struct RegValue {
  enum class Kind { kNone = 0, kString = 1, kBinary = 3, kDword = 4 };
  Kind kind = Kind::kNone;
  std::string text;         // kString (UTF-8) and kBinary (raw bytes)
  std::uint32_t dword = 0;  // kDword
};

enum class KeyDisposition { kFailed, kOpenedExisting, kCreatedNew };

// Key paths are the Windows paths under HKEY_CURRENT_USER, for example
// "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings".
class BrowserSettingsStore {
 public:
  virtual ~BrowserSettingsStore() = default;
  // nullopt when the key or the value does not exist.
  virtual std::optional<RegValue> Query(std::string_view keyPath, std::string_view valueName) = 0;
  // Opens the key, creating it when missing, and says which happened.
  virtual KeyDisposition CreateKey(std::string_view keyPath) = 0;
  // false when the value could not be written.
  virtual bool SetString(std::string_view keyPath, std::string_view valueName,
                         std::string_view text) = 0;
  virtual bool SetDword(std::string_view keyPath, std::string_view valueName,
                        std::uint32_t value) = 0;
};

// --- Platform bundle ---------------------------------------------------------

struct LinuxRoots {
  std::filesystem::path proc = "/proc";
  std::filesystem::path sys = "/sys";
};

std::unique_ptr<SystemSource> MakeSystemSource(const LinuxRoots& roots = {});
// The user's browser settings: on Linux the desktop proxy (GSettings) where
// the schema exists, and a per-user REGEDIT4 file under configDir for the rest.
std::unique_ptr<BrowserSettingsStore> MakeBrowserSettingsStore(
    const std::filesystem::path& configDir);

// The per-user configuration folder ($XDG_CONFIG_HOME/mirel9x).
std::filesystem::path UserConfigDir();
// The per-user folder for what can be made again (the inflated strip fonts):
// $XDG_CACHE_HOME/mirel9x, %LOCALAPPDATA%\mirel9x; empty when none is known.
std::filesystem::path UserCacheDir();

}  // namespace mirel
