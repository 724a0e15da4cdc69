#include "platform/linux/proc_parsers.h"

#include <algorithm>
#include <charconv>
#include <limits>

namespace mirel::linux_source {

namespace {

// Splits on runs of blanks and tabs.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    std::size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

// The next blank-separated field of line, which moves past it; empty at the
// end of the line.
std::string_view NextField(std::string_view& line) {
  std::size_t i = 0;
  while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
  std::size_t start = i;
  while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
  std::string_view field = line.substr(start, i - start);
  line.remove_prefix(i);
  return field;
}

template <typename Fn>
void ForEachLine(std::string_view text, Fn fn) {
  while (!text.empty()) {
    std::size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!fn(line)) return;
    if (nl == std::string_view::npos) return;
    text.remove_prefix(nl + 1);
  }
}

std::optional<std::uint64_t> Number(std::string_view text, int base = 10) {
  std::uint64_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// mountinfo escapes blank, tab, newline and backslash as \ooo.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size()) {
      std::string_view digits = text.substr(i + 1, 3);
      if (std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '7'; })) {
        out.push_back(static_cast<char>(*Number(digits, 8)));
        i += 3;
        continue;
      }
    }
    out.push_back(text[i]);
  }
  return out;
}

}  // namespace

std::optional<CpuTimes> ParseCpuTimes(std::string_view procStat) {
  // Read on every tick: the aggregate line is walked in place, field by
  // field, and the rest of the file (per-processor lines, interrupt counts)
  // is never looked at.
  std::optional<CpuTimes> result;
  ForEachLine(procStat, [&](std::string_view line) {
    if (NextField(line) != "cpu") return true;
    // user nice system idle iowait irq softirq steal; guest time is already
    // part of user and nice, so it is not added again.
    std::uint64_t values[8] = {};
    std::size_t n = 0;
    for (std::string_view f = NextField(line); !f.empty() && n < 8; f = NextField(line)) {
      std::optional<std::uint64_t> v = Number(f);
      if (!v) return false;
      values[n++] = *v;
    }
    if (n < 4) return false;
    CpuTimes t;
    for (std::uint64_t v : values) t.total += v;
    t.busy = t.total - values[3] - values[4];  // idle and iowait are not busy
    result = t;
    return false;
  });
  return result;
}

MemInfo ParseMeminfo(std::string_view text) {
  // Read on every tick: only the name of each line is compared, and the
  // walk ends as soon as MemTotal and MemAvailable (lines 1 and 3 of every
  // kernel that has them) are known.
  std::optional<std::uint64_t> total, avail, freeKb, buffers, cached;
  ForEachLine(text, [&](std::string_view line) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return true;
    const std::string_view name = line.substr(0, colon);
    std::optional<std::uint64_t>* slot = nullptr;
    if (name == "MemTotal")
      slot = &total;
    else if (name == "MemAvailable")
      slot = &avail;
    else if (name == "MemFree")
      slot = &freeKb;
    else if (name == "Buffers")
      slot = &buffers;
    else if (name == "Cached")
      slot = &cached;
    if (slot == nullptr) return true;
    line.remove_prefix(colon + 1);
    if (std::optional<std::uint64_t> kb = Number(NextField(line))) *slot = kb;
    return !(total && avail);
  });
  MemInfo m;
  m.totalBytes = total.value_or(0) * 1024;
  if (avail) {
    m.availBytes = *avail * 1024;
  } else {
    m.availBytes = (freeKb.value_or(0) + buffers.value_or(0) + cached.value_or(0)) * 1024;
  }
  m.availBytes = std::min(m.availBytes, m.totalBytes);
  return m;
}

std::uint32_t WindowsIfType(int arphrdType, bool wireless) {
  switch (arphrdType) {
    case 1:  // ARPHRD_ETHER: wired, wireless, bridges, veth all report this
      return wireless ? 71 : 6;
    case 772:  // ARPHRD_LOOPBACK
      return 24;
    case 512:  // ARPHRD_PPP
      return 23;
    case 768:    // ARPHRD_TUNNEL (ipip)
    case 769:    // ARPHRD_TUNNEL6
    case 776:    // ARPHRD_SIT
    case 778:    // ARPHRD_IPGRE
    case 823:    // ARPHRD_IP6GRE
    case 65534:  // ARPHRD_NONE: tun, WireGuard
      return 131;
    default:
      return 1;  // other
  }
}

bool UeventSaysWireless(std::string_view uevent) {
  bool wireless = false;
  ForEachLine(uevent, [&](std::string_view line) {
    if (line == "DEVTYPE=wlan") {
      wireless = true;
      return false;
    }
    return true;
  });
  return wireless;
}

bool NaturalNameLess(std::string_view a, std::string_view b) {
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (digit(a[i]) && digit(b[j])) {
      std::size_t ei = i, ej = j;
      while (ei < a.size() && digit(a[ei])) ++ei;
      while (ej < b.size() && digit(b[ej])) ++ej;
      std::string_view x = a.substr(i, ei - i), y = b.substr(j, ej - j);
      while (x.size() > 1 && x.front() == '0') x.remove_prefix(1);
      while (y.size() > 1 && y.front() == '0') y.remove_prefix(1);
      if (x.size() != y.size()) return x.size() < y.size();
      if (x != y) return x < y;
      i = ei;
      j = ej;
      continue;
    }
    if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
    ++i;
    ++j;
  }
  if ((i < a.size()) != (j < b.size())) return j < b.size();
  return a < b;  // equal but for leading zeros: any fixed order
}

namespace {

constexpr std::uint64_t kRtfUp = 0x0001;
constexpr std::uint64_t kRtfReject = 0x0200;

struct BestRoute {
  std::optional<std::string> iface;
  std::uint64_t metric = std::numeric_limits<std::uint64_t>::max();
  void Offer(std::string_view name, std::uint64_t m) {
    if (!iface || m < metric) {
      iface = std::string(name);
      metric = m;
    }
  }
};

}  // namespace

std::vector<NetDevLine> ParseNetDev(std::string_view text) {
  std::vector<NetDevLine> out;
  ForEachLine(text, [&](std::string_view line) {
    // The header lines have a "|" before any ":"; an interface name cannot
    // hold a ":" of its own (the kernel refuses it).
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos ||
        line.substr(0, colon).find('|') != std::string_view::npos)
      return true;
    std::string_view name = line.substr(0, colon);
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    std::vector<std::string_view> fields = Fields(line.substr(colon + 1));
    // bytes packets errs drop fifo frame compressed multicast | bytes ...
    if (name.empty() || fields.size() < 9) return true;
    std::optional<std::uint64_t> rx = Number(fields[0]);
    std::optional<std::uint64_t> tx = Number(fields[8]);
    if (rx && tx) out.push_back({std::string(name), *rx, *tx});
    return true;
  });
  return out;
}

std::optional<std::string> Ipv4DefaultRouteInterface(std::string_view procNetRoute) {
  BestRoute best;
  bool header = true;
  ForEachLine(procNetRoute, [&](std::string_view line) {
    if (header) {
      header = false;
      return true;
    }
    // Iface Destination Gateway Flags RefCnt Use Metric Mask ...
    std::vector<std::string_view> f = Fields(line);
    if (f.size() < 8) return true;
    std::optional<std::uint64_t> flags = Number(f[3], 16);
    std::optional<std::uint64_t> metric = Number(f[6]);
    if (f[1] != "00000000" || f[7] != "00000000" || !flags || !metric) return true;
    if ((*flags & kRtfUp) == 0 || (*flags & kRtfReject) != 0) return true;
    best.Offer(f[0], *metric);
    return true;
  });
  return best.iface;
}

std::optional<std::string> Ipv6DefaultRouteInterface(std::string_view procNetIpv6Route) {
  BestRoute best;
  ForEachLine(procNetIpv6Route, [&](std::string_view line) {
    // dest plen src splen nexthop metric refcnt use flags device
    std::vector<std::string_view> f = Fields(line);
    if (f.size() < 10) return true;
    if (f[0] != std::string_view("00000000000000000000000000000000") || f[1] != "00") return true;
    std::optional<std::uint64_t> flags = Number(f[8], 16);
    std::optional<std::uint64_t> metric = Number(f[5], 16);
    if (!flags || !metric || f[9] == "lo") return true;
    if ((*flags & kRtfUp) == 0 || (*flags & kRtfReject) != 0) return true;
    best.Offer(f[9], *metric);
    return true;
  });
  return best.iface;
}

std::vector<MountEntry> ParseMountinfo(std::string_view text) {
  std::vector<MountEntry> out;
  ForEachLine(text, [&](std::string_view line) {
    // id parent major:minor root mount-point options [optional...] - type source super
    std::vector<std::string_view> f = Fields(line);
    auto dash = std::find(f.begin(), f.end(), std::string_view("-"));
    if (f.size() < 6 || dash == f.end() || std::distance(f.begin(), dash) < 6 ||
        std::distance(dash, f.end()) < 3) {
      return true;
    }
    MountEntry e;
    e.majorMinor = std::string(f[2]);
    e.root = Unescape(f[3]);
    e.mountPoint = Unescape(f[4]);
    e.fsType = std::string(dash[1]);
    e.source = Unescape(dash[2]);
    out.push_back(std::move(e));
    return true;
  });
  return out;
}

bool IsLocalDiskFileSystem(const MountEntry& entry) {
  // Only a file system on a device node lives on a disk; pseudo and network
  // file systems name no /dev node as their source.
  if (entry.source.rfind("/dev/", 0) != 0) return false;
  static constexpr std::string_view kNotDisks[] = {
      // read-only images and optical media
      "squashfs", "iso9660", "udf", "erofs", "cramfs",
      // memory and pseudo file systems that a /dev source could still name
      "tmpfs", "devtmpfs", "ramfs", "overlay", "proc", "sysfs", "devpts",
      // network and cluster file systems
      "nfs", "nfs4", "cifs", "smb3", "smbfs", "ceph", "9p", "afs", "glusterfs"};
  for (std::string_view t : kNotDisks) {
    if (entry.fsType == t) return false;
  }
  // FUSE file systems are network or virtual ones except fuseblk (NTFS, exFAT
  // drivers that run in user space on a real partition).
  if (entry.fsType.rfind("fuse", 0) == 0 && entry.fsType != "fuseblk") return false;
  return true;
}

std::vector<MountEntry> SelectFixedDisks(
    const std::vector<MountEntry>& mounts,
    const std::function<BlockDeviceInfo(const MountEntry&)>& describe) {
  // A file system is known by its device number: btrfs subvolumes, bind
  // mounts and a second mount of the same device all carry the same one.
  std::vector<MountEntry> chosen;
  for (const MountEntry& entry : mounts) {
    if (!IsLocalDiskFileSystem(entry)) continue;
    auto same = std::find_if(chosen.begin(), chosen.end(),
                             [&](const MountEntry& c) { return c.majorMinor == entry.majorMinor; });
    if (same != chosen.end()) {
      if (ShorterMountPoint(entry.mountPoint, same->mountPoint)) *same = entry;
      continue;
    }
    BlockDeviceInfo info = describe(entry);
    if (info.removable || info.loop) continue;
    chosen.push_back(entry);
  }
  // In mount point order ("/" first), so that a row keeps its position from
  // one start to the next whatever order the system mounted things in.
  std::sort(chosen.begin(), chosen.end(),
            [](const MountEntry& a, const MountEntry& b) { return a.mountPoint < b.mountPoint; });
  return chosen;
}

bool ShorterMountPoint(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace mirel::linux_source
