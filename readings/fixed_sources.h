// Readings handed in by the caller instead of taken from the machine: the
// render tool replays sample files through these, and tests and benchmarks
// set their fields directly.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/platform.h"

namespace mirel {

class FixedSystemSource : public SystemSource {
 public:
  std::optional<int> cpuPercent;  // nullopt: the read fails
  MemoryReading memory;
  OctetCounters counters;  // of whichever interface is asked
  std::vector<InterfaceRow> interfaces{{1, kIfTypeEthernet, "eth0"}};
  AdapterTable adapters;
  std::vector<DriveSpace> drives;  // listed by name, in order
  std::string dateLine;
  // What the traffic history reads: every interface at once, and the boot.
  std::vector<InterfaceCounters> allCounters;
  BootInfo boot;

  int cpuReads = 0;
  int counterReads = 0;

  std::optional<int> ReadCpuPercent() override;
  MemoryReading ReadMemory() override { return memory; }
  std::vector<InterfaceRow> LoadInterfaceTable() override { return interfaces; }
  std::optional<std::size_t> DefaultRouteInterface(const std::vector<InterfaceRow>& rows) override;
  std::optional<OctetCounters> ReadCounters(const InterfaceRow& row) override;
  AdapterTable LoadAdapterTable() override { return adapters; }
  std::vector<std::string> ListFixedDrives() override;
  std::optional<DriveSpace> ReadDriveSpace(const std::string& drive) override;
  std::string DateLine() override { return dateLine; }
  std::vector<InterfaceCounters> ReadAllCounters() override { return allCounters; }
  BootInfo ReadBoot() override { return boot; }
};

// Browser settings held in memory, keyed by key path and value name.
class FixedBrowserStore : public BrowserSettingsStore {
 public:
  std::map<std::pair<std::string, std::string>, RegValue> values;

  void SetValue(std::string_view keyPath, std::string_view valueName, RegValue value);

  std::optional<RegValue> Query(std::string_view keyPath, std::string_view valueName) override;
  KeyDisposition CreateKey(std::string_view keyPath) override;
  bool SetString(std::string_view keyPath, std::string_view valueName,
                 std::string_view text) override;
  bool SetDword(std::string_view keyPath, std::string_view valueName, std::uint32_t value) override;
};

}  // namespace mirel
