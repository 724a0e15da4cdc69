// The /proc and /sys texts the Linux readings parse: no crash and sane
// results on whatever the kernel (or a fixture) writes.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/linux/proc_parsers.h"

using mirel::CpuBusyPercent;
using mirel::CpuTimes;
using namespace mirel::linux_source;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  std::optional<CpuTimes> cpu = ParseCpuTimes(text);
  if (cpu) {
    if (cpu->busy > cpu->total) std::abort();
    CpuTimes later = *cpu;
    later.total += 100;
    later.busy += 37;
    std::optional<int> percent = CpuBusyPercent(*cpu, later);
    if (percent && (*percent < 0 || *percent > 100)) std::abort();
  }
  MemInfo memory = ParseMeminfo(text);
  (void)memory;
  (void)UeventSaysWireless(text);
  (void)Ipv4DefaultRouteInterface(text);
  (void)Ipv6DefaultRouteInterface(text);
  for (const NetDevLine& line : ParseNetDev(text)) {
    if (line.name.empty() || line.name.find(':') != std::string::npos) std::abort();
  }

  std::vector<MountEntry> mounts = ParseMountinfo(text);
  for (const MountEntry& m : mounts) (void)IsLocalDiskFileSystem(m);
  std::vector<MountEntry> fixed = SelectFixedDisks(mounts, [](const MountEntry& m) {
    BlockDeviceInfo info;
    info.known = !m.majorMinor.empty();
    info.removable = m.majorMinor.size() % 3 == 0;
    info.loop = m.majorMinor.starts_with("7:");
    return info;
  });
  if (fixed.size() > mounts.size()) std::abort();
  return 0;
}
