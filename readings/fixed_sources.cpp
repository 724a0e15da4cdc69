#include "readings/fixed_sources.h"

namespace mirel {

std::optional<int> FixedSystemSource::ReadCpuPercent() {
  ++cpuReads;
  return cpuPercent;
}

std::optional<std::size_t> FixedSystemSource::DefaultRouteInterface(
    const std::vector<InterfaceRow>& rows) {
  if (rows.empty()) return std::nullopt;
  return 0;
}

std::optional<OctetCounters> FixedSystemSource::ReadCounters(const InterfaceRow&) {
  ++counterReads;
  return counters;
}

std::vector<std::string> FixedSystemSource::ListFixedDrives() {
  std::vector<std::string> names;
  for (const DriveSpace& d : drives) names.push_back(d.name);
  return names;
}

std::optional<DriveSpace> FixedSystemSource::ReadDriveSpace(const std::string& drive) {
  for (const DriveSpace& d : drives)
    if (d.name == drive) return d;
  return std::nullopt;
}

void FixedBrowserStore::SetValue(std::string_view keyPath, std::string_view valueName,
                                 RegValue value) {
  values[{std::string(keyPath), std::string(valueName)}] = std::move(value);
}

std::optional<RegValue> FixedBrowserStore::Query(std::string_view keyPath,
                                                 std::string_view valueName) {
  auto it = values.find({std::string(keyPath), std::string(valueName)});
  if (it == values.end()) return std::nullopt;
  return it->second;
}

KeyDisposition FixedBrowserStore::CreateKey(std::string_view) {
  return KeyDisposition::kOpenedExisting;
}

bool FixedBrowserStore::SetString(std::string_view keyPath, std::string_view valueName,
                                  std::string_view text) {
  SetValue(keyPath, valueName, {RegValue::Kind::kString, std::string(text), 0});
  return true;
}

bool FixedBrowserStore::SetDword(std::string_view keyPath, std::string_view valueName,
                                 std::uint32_t value) {
  SetValue(keyPath, valueName, {RegValue::Kind::kDword, {}, value});
  return true;
}

}  // namespace mirel
