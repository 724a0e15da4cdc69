// Parsers for the /proc and /sys texts the Linux system source reads. Pure
// functions over text, so the tests feed them exactly what the kernel writes.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cpu_times.h"

namespace mirel::linux_source {

// The aggregate "cpu" line of /proc/stat, in jiffies.
std::optional<CpuTimes> ParseCpuTimes(std::string_view procStat);

// MemTotal and MemAvailable of /proc/meminfo in bytes. Kernels before 3.14
// lack MemAvailable: MemFree + Buffers + Cached stands in for it.
struct MemInfo {
  std::uint64_t totalBytes = 0;
  std::uint64_t availBytes = 0;
};
MemInfo ParseMeminfo(std::string_view text);

// The interface type in the Windows numbering from the ARPHRD type of
// /sys/class/net/X/type and whether the interface is wireless.
std::uint32_t WindowsIfType(int arphrdType, bool wireless);
// True when a uevent text says DEVTYPE=wlan.
bool UeventSaysWireless(std::string_view uevent);

// Names compared with their runs of digits as numbers, so that "eth2" comes
// before "eth10"; a strict order over distinct names.
bool NaturalNameLess(std::string_view a, std::string_view b);

// The interface of the best (lowest metric) usable default route, from
// /proc/net/route or /proc/net/ipv6_route; nullopt when there is none.
std::optional<std::string> Ipv4DefaultRouteInterface(std::string_view procNetRoute);
std::optional<std::string> Ipv6DefaultRouteInterface(std::string_view procNetIpv6Route);

// Received and sent octets of every interface in /proc/net/dev, in the
// file's order ("  eth0: 1234 ..." lines after the two header lines).
struct NetDevLine {
  std::string name;
  std::uint64_t rx = 0;
  std::uint64_t tx = 0;
};
std::vector<NetDevLine> ParseNetDev(std::string_view text);

// One line of /proc/self/mountinfo.
struct MountEntry {
  std::string majorMinor;  // "8:1"
  std::string root;        // the mounted part of the file system ("/" for all of it)
  std::string mountPoint;  // octal escapes resolved
  std::string fsType;
  std::string source;
};
std::vector<MountEntry> ParseMountinfo(std::string_view text);

// A file system that lives on a local block device and holds the user's
// data: not pseudo, not network, not a read-only image (squashfs, iso9660).
bool IsLocalDiskFileSystem(const MountEntry& entry);

// What sysfs says about the device behind a mount.
struct BlockDeviceInfo {
  bool known = false;      // sysfs has the device
  bool removable = false;  // the whole disk is removable media
  bool loop = false;       // a loop device (a file mounted as a disk)
};

// The fixed-disk file systems, one mount each (the shortest mount point of
// the file system), in mount point order. `describe` looks a mount's device
// up in sysfs.
std::vector<MountEntry> SelectFixedDisks(
    const std::vector<MountEntry>& mounts,
    const std::function<BlockDeviceInfo(const MountEntry&)>& describe);

// Whether mount point a is preferred to b for the same file system: the
// shorter one, and of two as long the one first in byte order.
bool ShorterMountPoint(std::string_view a, std::string_view b);

}  // namespace mirel::linux_source
