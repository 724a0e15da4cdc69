// Machine readings from /proc and /sys (roots given, so tests use fixture
// trees), getifaddrs for the adapter addresses, statvfs for disk space and a
// netlink socket that tells when interfaces, routes or addresses change.
#include "platform/linux/system_source_linux.h"

#include <fcntl.h>
#include <langinfo.h>
#include <linux/magic.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <ctime>
#include <unordered_map>
#include <unordered_set>

#include "platform/linux/adapter_table.h"
#include "platform/linux/date_line.h"
#include "platform/linux/network_watch.h"
#include "platform/linux/proc_parsers.h"
#include "platform/platform.h"

namespace mirel {

namespace fs = std::filesystem;
using namespace linux_source;

namespace {

// Reads at most `limit` bytes of a small kernel file in as few system calls
// as possible; empty when the file cannot be read.
std::string ReadSmallFile(const fs::path& path, std::size_t limit = 64 * 1024) {
  std::string out;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return out;
  char buffer[4096];
  while (out.size() < limit) {
    ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, limit - out.size()));
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return out;
}

std::optional<long long> ReadNumberFile(const fs::path& path) {
  std::string text = ReadSmallFile(path, 64);
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (end == nullptr || *end != '\0') return std::nullopt;
  return value;
}

std::optional<std::uint64_t> ParseCounter(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  if (end == text.c_str()) return std::nullopt;
  return value;
}

// Kernel files read on every tick stay open and are re-read from offset 0:
// procfs and sysfs regenerate the text then, and the path lookup of a fresh
// open costs as much as the read. A file that went away (an unplugged
// interface) fails the read or has no links left, and is opened afresh.
class OpenFiles {
 public:
  OpenFiles() = default;
  OpenFiles(const OpenFiles&) = delete;
  OpenFiles& operator=(const OpenFiles&) = delete;
  ~OpenFiles() {
    for (auto& [path, file] : files_) ::close(file.fd);
  }

  std::string Read(const fs::path& path, std::size_t limit) {
    std::string out;
    for (int attempt = 0; attempt < 2 && out.empty(); ++attempt) {
      const File* file = Get(path);
      if (file == nullptr) return out;
      char buffer[4096];
      bool failed = false;
      while (out.size() < limit) {
        ssize_t n = ::pread(file->fd, buffer, std::min(sizeof buffer, limit - out.size()),
                            static_cast<off_t>(out.size()));
        if (n < 0) failed = true;
        if (n <= 0) break;
        out.append(buffer, static_cast<std::size_t>(n));
      }
      // A kernel file whose object is gone fails the read; a plain file (a
      // fixture tree) is replaced instead, which only its link count tells.
      struct stat st {};
      if (failed || (!file->kernelMade && (::fstat(file->fd, &st) != 0 || st.st_nlink == 0))) {
        Drop(path);
        out.clear();
      } else {
        break;
      }
    }
    return out;
  }

 private:
  struct File {
    int fd = -1;
    bool kernelMade = false;  // procfs or sysfs
  };

  const File* Get(const fs::path& path) {
    auto it = files_.find(path.native());
    if (it != files_.end()) return &it->second;
    File file;
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file.fd < 0) return nullptr;
    struct statfs fsInfo {};
    file.kernelMade = ::fstatfs(file.fd, &fsInfo) == 0 &&
                      (fsInfo.f_type == PROC_SUPER_MAGIC || fsInfo.f_type == SYSFS_MAGIC);
    return &files_.emplace(path.native(), file).first->second;
  }
  void Drop(const fs::path& path) {
    auto it = files_.find(path.native());
    if (it == files_.end()) return;
    ::close(it->second.fd);
    files_.erase(it);
  }

  std::unordered_map<std::string, File> files_;
};

// The mount points of this process's mount table. The kernel's mountinfo
// reports POLLPRI after every mount and unmount, so the table is read again
// only then; a polled descriptor costs far less than a read. A mountinfo that
// is not the kernel's (a test's fixture) cannot signal, and is read each time.
class MountPoints {
 public:
  explicit MountPoints(fs::path file) : file_(std::move(file)) {}
  MountPoints(const MountPoints&) = delete;
  MountPoints& operator=(const MountPoints&) = delete;
  ~MountPoints() {
    if (fd_ >= 0) ::close(fd_);
  }

  // Whether path is a mount point now; true when the table cannot be read,
  // so that a machine without /proc still shows its disks.
  bool IsMountPoint(const std::string& path) {
    if (!known_ || !signals_ || Changed()) Load();
    if (!known_) return true;
    std::string_view p(path);
    while (p.size() > 1 && p.back() == '/') p.remove_suffix(1);
    return points_.count(std::string(p)) != 0;
  }

 private:
  bool Changed() const {
    pollfd p{fd_, POLLPRI, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLPRI | POLLERR)) != 0;
  }

  void Load() {
    if (fd_ < 0) {
      fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
      struct statfs st {};
      signals_ = fd_ >= 0 && ::fstatfs(fd_, &st) == 0 && st.f_type == PROC_SUPER_MAGIC;
    }
    known_ = false;
    if (fd_ < 0) return;
    std::string text;
    char buffer[16384];
    for (;;) {
      ssize_t n = ::pread(fd_, buffer, sizeof buffer, static_cast<off_t>(text.size()));
      if (n < 0) return;
      if (n == 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    points_.clear();
    for (MountEntry& m : ParseMountinfo(text)) points_.insert(std::move(m.mountPoint));
    known_ = !points_.empty();
    if (!signals_) {  // a fixture file may be replaced by the next read
      ::close(fd_);
      fd_ = -1;
    }
  }

  fs::path file_;
  int fd_ = -1;
  bool signals_ = false;
  bool known_ = false;
  std::unordered_set<std::string> points_;
};

class LinuxSystemSource final : public SystemSource {
 public:
  LinuxSystemSource(const LinuxRoots& roots, StatvfsCall statvfsCall)
      : roots_(roots),
        statvfs_(std::move(statvfsCall)),
        mountPoints_(roots.proc / "self/mountinfo") {
    std::string localeName = UserTimeLocaleName();
    locale_ = newlocale(LC_TIME_MASK, localeName.c_str(), static_cast<locale_t>(0));
    std::string dateFormat, timeFormat;
    if (locale_ != static_cast<locale_t>(0)) {
      dateFormat = nl_langinfo_l(D_FMT, locale_);
      timeFormat = nl_langinfo_l(T_FMT, locale_);
    } else {
      localeName = "C";  // not generated on this machine
    }
    datePattern_ = DateLinePattern(localeName, dateFormat, timeFormat);
    dateLinesPattern_ = DateLinesPattern(datePattern_);
  }
  ~LinuxSystemSource() override {
    if (locale_ != static_cast<locale_t>(0)) freelocale(locale_);
  }
  LinuxSystemSource(const LinuxSystemSource&) = delete;
  LinuxSystemSource& operator=(const LinuxSystemSource&) = delete;

  std::optional<int> ReadCpuPercent() override {
    // The aggregate line is the first one; the rest of the file is not needed.
    std::optional<CpuTimes> now = ParseCpuTimes(open_.Read(roots_.proc / "stat", 4096));
    if (!now) return std::nullopt;
    // The first reading has nothing to compare with: the share since boot,
    // which the tick takes as its baseline only.
    std::optional<int> percent = CpuBusyPercent(previousCpu_.value_or(CpuTimes{}), *now);
    previousCpu_ = now;
    return percent;
  }

  MemoryReading ReadMemory() override {
    MemInfo m = ParseMeminfo(open_.Read(roots_.proc / "meminfo", 64 * 1024));
    return {m.totalBytes, m.availBytes};
  }

  // The settings file keeps a position in this table, so its order is the
  // same from boot to boot: loopback first (where the kernel's index order
  // always had it, so older files keep their meaning), then the adapters
  // backed by a device (wired, wireless, USB) by name, then the virtual ones
  // (bridges, veth, tun, WireGuard) by name. Kernel index order moved the
  // positions whenever containers or VPNs came up in another order. Every
  // interface is listed, so a VPN tunnel that carries the default route can
  // be chosen as well.
  std::vector<InterfaceRow> LoadInterfaceTable() override {
    struct Ranked {
      int rank;
      InterfaceRow row;
    };
    std::vector<Ranked> ranked;
    std::error_code ec;
    fs::path netDir = roots_.sys / "class/net";
    for (const fs::directory_entry& entry : fs::directory_iterator(netDir, ec)) {
      fs::path dir = entry.path();
      std::optional<long long> index = ReadNumberFile(dir / "ifindex");
      if (!index || *index < 0) continue;
      int arphrd = static_cast<int>(ReadNumberFile(dir / "type").value_or(0));
      bool wireless = fs::exists(dir / "wireless", ec) || fs::exists(dir / "phy80211", ec) ||
                      UeventSaysWireless(ReadSmallFile(dir / "uevent", 4096));
      InterfaceRow row;
      row.index = static_cast<std::uint32_t>(*index);
      row.type = WindowsIfType(arphrd, wireless);
      row.description = dir.filename().string();
      int rank = row.type == kIfTypeLoopback ? 0 : fs::exists(dir / "device", ec) ? 1 : 2;
      ranked.push_back({rank, std::move(row)});
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
      if (a.rank != b.rank) return a.rank < b.rank;
      return NaturalNameLess(a.row.description, b.row.description);
    });
    std::vector<InterfaceRow> rows;
    rows.reserve(ranked.size());
    for (Ranked& r : ranked) rows.push_back(std::move(r.row));
    return rows;
  }

  std::optional<std::size_t> DefaultRouteInterface(const std::vector<InterfaceRow>& rows) override {
    std::optional<std::string> name =
        Ipv4DefaultRouteInterface(ReadSmallFile(roots_.proc / "net/route"));
    if (!name) name = Ipv6DefaultRouteInterface(ReadSmallFile(roots_.proc / "net/ipv6_route"));
    if (!name) return std::nullopt;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].description == *name) return i;
    }
    return std::nullopt;
  }

  std::optional<OctetCounters> ReadCounters(const InterfaceRow& row) override {
    fs::path stats = roots_.sys / "class/net" / row.description / "statistics";
    std::optional<std::uint64_t> rx = ParseCounter(open_.Read(stats / "rx_bytes", 64));
    std::optional<std::uint64_t> tx = ParseCounter(open_.Read(stats / "tx_bytes", 64));
    if (!rx || !tx) return std::nullopt;
    return OctetCounters{*rx, *tx, true};
  }

  // One read of /proc/net/dev, the same 64-bit counters that statistics/
  // rx_bytes and tx_bytes show, for every interface at once.
  std::vector<InterfaceCounters> ReadAllCounters() override {
    std::vector<InterfaceCounters> all;
    std::unordered_map<std::string, std::uint64_t> indexes;
    for (NetDevLine& line : ParseNetDev(open_.Read(roots_.proc / "net/dev", 4 * 1024 * 1024))) {
      InterfaceCounters c;
      // The index of a name is asked when the name appears; a device made
      // anew under a name that stayed shows by its counters going back.
      auto known = ifindexes_.find(line.name);
      c.identity =
          known != ifindexes_.end()
              ? known->second
              : static_cast<std::uint64_t>(std::max(
                    0LL,
                    ReadNumberFile(roots_.sys / "class/net" / line.name / "ifindex").value_or(0)));
      indexes.emplace(line.name, c.identity);
      // Every network namespace has its loopback device, and it is always "lo".
      c.loopback = line.name == "lo";
      c.counters = {line.rx, line.tx, true};
      c.name = std::move(line.name);
      all.push_back(std::move(c));
    }
    ifindexes_ = std::move(indexes);
    return all;
  }

  BootInfo ReadBoot() override {
    BootInfo boot;
    boot.id = ReadSmallFile(roots_.proc / "sys/kernel/random/boot_id", 128);
    while (!boot.id.empty() && (boot.id.back() == '\n' || boot.id.back() == ' '))
      boot.id.pop_back();
    timespec wall{}, sinceBoot{};
    if (clock_gettime(CLOCK_REALTIME, &wall) == 0 &&
        clock_gettime(CLOCK_BOOTTIME, &sinceBoot) == 0) {
      boot.bootTimeMs = (static_cast<std::int64_t>(wall.tv_sec) - sinceBoot.tv_sec) * 1000 +
                        (wall.tv_nsec - sinceBoot.tv_nsec) / 1000000;
    }
    return boot;
  }

  AdapterTable LoadAdapterTable() override {
    std::optional<std::vector<InterfaceAddress>> records = ReadInterfaceAddresses();
    if (!records) return {AdapterTableStatus::kOtherFailure, {}};
    return BuildAdapterTable(*records);
  }

  std::vector<std::string> ListFixedDrives() override {
    std::vector<MountEntry> mounts =
        ParseMountinfo(ReadSmallFile(roots_.proc / "self/mountinfo", 4 * 1024 * 1024));
    std::vector<std::string> drives;
    for (const MountEntry& m :
         SelectFixedDisks(mounts, [this](const MountEntry& e) { return Describe(e); })) {
      drives.push_back(m.mountPoint);
    }
    return drives;
  }

  std::optional<DriveSpace> ReadDriveSpace(const std::string& drive) override {
    struct statvfs st {};
    if (drive.empty() || statvfs_(drive.c_str(), &st) != 0) return std::nullopt;
    // Once unmounted, the path reads as the file system it lies on; only a
    // path that is still a mount point has figures of its own. The figures
    // name their file system (f_fsid): the same one as when the path was last
    // found mounted needs no further question. Another one, or a file system
    // without an id, is checked against the mount table. Asked after the
    // figures, so an unmount in between cannot slip through.
    auto known = mountedIds_.find(drive);
    if (known == mountedIds_.end() || known->second == 0 || known->second != st.f_fsid) {
      if (!mountPoints_.IsMountPoint(drive)) {
        if (known != mountedIds_.end()) mountedIds_.erase(known);
        return std::nullopt;
      }
      mountedIds_[drive] = st.f_fsid;
    }
    DriveSpace space;
    space.totalBytes = static_cast<std::uint64_t>(st.f_blocks) * st.f_frsize;
    space.freeBytes = static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
    if (st.f_bfree > st.f_bavail)
      space.reservedBytes = static_cast<std::uint64_t>(st.f_bfree - st.f_bavail) * st.f_frsize;
    space.name = drive;
    return space;
  }

  std::unique_ptr<NetworkWatch> WatchNetwork() override { return MakeNetlinkWatch(); }

  std::string DateLine() override { return FormatDateLine(Now(), datePattern_, locale_); }

  DateLineForms DateLines() override {
    const std::tm local = Now();
    if (dateLinesPattern_.empty()) return {FormatDateLine(local, datePattern_, locale_), {}, {}};
    return SplitDateLines(FormatDateLine(local, dateLinesPattern_, locale_));
  }

 private:
  static std::tm Now() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
  }

  BlockDeviceInfo Describe(const MountEntry& entry) const {
    BlockDeviceInfo info;
    std::error_code ec;
    fs::path dev = roots_.sys / "dev/block" / entry.majorMinor;
    if (!fs::exists(dev, ec)) dev = roots_.sys / "class/block" / fs::path(entry.source).filename();
    fs::path real = fs::canonical(dev, ec);
    std::string name = ec ? fs::path(entry.source).filename().string() : real.filename().string();
    info.loop = name.rfind("loop", 0) == 0 || entry.majorMinor.rfind("7:", 0) == 0;
    if (ec) return info;
    info.known = true;
    // A partition's removable flag is on its whole disk, one folder up.
    fs::path disk = fs::exists(real / "partition", ec) ? real.parent_path() : real;
    info.removable = ReadNumberFile(disk / "removable").value_or(0) == 1;
    return info;
  }

  LinuxRoots roots_;
  StatvfsCall statvfs_;
  MountPoints mountPoints_;
  std::unordered_map<std::string, unsigned long> mountedIds_;  // drive -> f_fsid
  std::unordered_map<std::string, std::uint64_t> ifindexes_;   // of the last ReadAllCounters
  OpenFiles open_;
  std::optional<CpuTimes> previousCpu_;
  locale_t locale_ = static_cast<locale_t>(0);
  std::string datePattern_;
  std::string dateLinesPattern_;
};

}  // namespace

std::unique_ptr<SystemSource> MakeLinuxSystemSource(const LinuxRoots& roots,
                                                    StatvfsCall statvfsCall) {
  return std::make_unique<LinuxSystemSource>(roots, std::move(statvfsCall));
}

std::unique_ptr<SystemSource> MakeSystemSource(const LinuxRoots& roots) {
  return MakeLinuxSystemSource(
      roots, [](const char* path, struct statvfs* out) { return ::statvfs(path, out); });
}

}  // namespace mirel
