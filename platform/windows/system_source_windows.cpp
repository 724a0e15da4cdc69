#include "platform/windows/system_source_windows.h"

#include <algorithm>
#include <cwctype>

#include "platform/windows/system_library.h"
#include "platform/windows/wide_text.h"

namespace mirel {

namespace windows_source {

namespace {

std::uint64_t Ticks(const FILETIME& t) {
  return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

template <typename Fn>
Fn Entry(HMODULE module, const char* name) {
  if (module == nullptr) return nullptr;
  // GetProcAddress gives a generic function pointer; the names are the
  // documented ones, so their types are the declared ones.
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class WindowsSystemSource final : public SystemSource {
 public:
  explicit WindowsSystemSource(const IpHelperApi& api) : api_(api) {}

  std::optional<int> ReadCpuPercent() override {
    FILETIME idle{}, kernel{}, user{};
    if (!GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
    CpuTimes now = CpuTimesFromSystemTimes(idle, kernel, user);
    // The first reading has nothing to compare with: the share since boot.
    std::optional<int> percent = CpuBusyPercent(previousCpu_.value_or(CpuTimes{}), now);
    previousCpu_ = now;
    return percent;
  }

  MemoryReading ReadMemory() override {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return {};
    return {status.ullTotalPhys, status.ullAvailPhys};
  }

  // The settings file keeps a position in this table, so its order must not
  // change from one start to the next. Interface indexes are handed out
  // afresh at every start; LUIDs stay, and grow in the order adapters were
  // installed. So: loopback, then the adapters of hardware, then the rest,
  // each by LUID. The 32-bit table has no LUIDs: loopback, then by index.
  std::vector<InterfaceRow> LoadInterfaceTable() override {
    std::vector<std::pair<InterfaceOrder, InterfaceRow>> keyed;
    if (!api_.HasWideCounters() || !LoadWideTable(keyed)) LoadNarrowTable(keyed);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<InterfaceRow> rows;
    for (auto& [order, row] : keyed) rows.push_back(std::move(row));
    return rows;
  }

  std::optional<std::size_t> DefaultRouteInterface(const std::vector<InterfaceRow>& rows) override {
    std::optional<DWORD> index;
    DWORD found = 0;
    // The best route to 0.0.0.0 is the default route; IPv6 when there is no
    // IPv4 default route.
    if (api_.getBestInterface && api_.getBestInterface(0, &found) == NO_ERROR) {
      index = found;
    } else if (api_.getBestInterfaceEx) {
      sockaddr_in6 any{};
      any.sin6_family = AF_INET6;
      if (api_.getBestInterfaceEx(reinterpret_cast<sockaddr*>(&any), &found) == NO_ERROR) {
        index = found;
      }
    }
    if (!index) return std::nullopt;
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].index == *index) return i;
    }
    return std::nullopt;
  }

  std::optional<OctetCounters> ReadCounters(const InterfaceRow& row) override {
    if (api_.HasWideCounters()) {
      MIB_IF_ROW2 entry{};
      entry.InterfaceIndex = row.index;
      if (api_.getIfEntry2(&entry) != NO_ERROR) return std::nullopt;
      return OctetCounters{entry.InOctets, entry.OutOctets, true};
    }
    if (!api_.getIfEntry) return std::nullopt;
    MIB_IFROW entry{};
    entry.dwIndex = row.index;
    if (api_.getIfEntry(&entry) != NO_ERROR) return std::nullopt;
    // 32-bit counters: the core counts their wraps.
    return OctetCounters{entry.dwInOctets, entry.dwOutOctets, false};
  }

  // The whole table in one call, as the history records every interface.
  std::vector<InterfaceCounters> ReadAllCounters() override {
    std::vector<InterfaceCounters> all;
    PMIB_IF_TABLE2 table = nullptr;
    if (api_.HasWideCounters() && api_.getIfTable2(&table) == NO_ERROR && table != nullptr) {
      for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IF_ROW2& entry = table->Table[i];
        // A filter's row repeats its adapter's traffic (see LoadWideTable).
        if (entry.InterfaceAndOperStatusFlags.FilterInterface) continue;
        all.push_back(
            {Narrow(std::wstring_view(entry.Description,
                                      wcsnlen(entry.Description, std::size(entry.Description)))),
             entry.InterfaceLuid.Value,
             {entry.InOctets, entry.OutOctets, true},
             entry.Type == IF_TYPE_SOFTWARE_LOOPBACK});
      }
      api_.freeMibTable(table);
      return all;
    }
    return SystemSource::ReadAllCounters();  // the 32-bit calls, row by row
  }

  // Windows has no boot id: the boot time tells, which GetTickCount64 (time
  // since boot, sleep included) gives to within the clock's drift.
  BootInfo ReadBoot() override {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    // 100-nanosecond ticks since 1601 -> milliseconds since 1970.
    const auto wallMs = static_cast<std::int64_t>(Ticks(now) / 10000 - 11644473600000ULL);
    return {"", wallMs - static_cast<std::int64_t>(GetTickCount64())};
  }

  AdapterTable LoadAdapterTable() override { return ReadAdapterTable(api_.getAdaptersInfo); }

  std::vector<std::string> ListFixedDrives() override {
    std::wstring buffer(128, L'\0');
    for (int attempt = 0; attempt < 3; ++attempt) {
      DWORD n = GetLogicalDriveStringsW(static_cast<DWORD>(buffer.size()), buffer.data());
      if (n == 0) return {};
      if (n < buffer.size()) {
        buffer.resize(n);
        break;
      }
      buffer.assign(n + 1, L'\0');  // too small: n is the size needed
    }
    return FixedDriveRows(buffer, [](const wchar_t* root) { return GetDriveTypeW(root); });
  }

  std::optional<DriveSpace> ReadDriveSpace(const std::string& drive) override {
    std::wstring root = DriveRootOf(drive);
    if (root.empty() || GetDriveTypeW(root.c_str()) != DRIVE_FIXED) return std::nullopt;
    ULARGE_INTEGER available{}, total{}, free{};
    if (!GetDiskFreeSpaceExW(root.c_str(), &available, &total, &free)) return std::nullopt;
    DriveSpace space;
    space.totalBytes = total.QuadPart;
    space.freeBytes = available.QuadPart;
    space.name = {static_cast<char>(std::towupper(root[0])), ':'};
    return space;
  }

  std::string DateLine() override {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return DateLineFor(now);
  }

 private:
  // Group (0 loopback, 1 hardware, 2 the rest), then LUID or index.
  using InterfaceOrder = std::pair<int, std::uint64_t>;

  bool LoadWideTable(std::vector<std::pair<InterfaceOrder, InterfaceRow>>& rows) {
    PMIB_IF_TABLE2 table = nullptr;
    if (api_.getIfTable2(&table) != NO_ERROR || table == nullptr) return false;
    for (ULONG i = 0; i < table->NumEntries; ++i) {
      const MIB_IF_ROW2& entry = table->Table[i];
      // Filter drivers stacked on an adapter show as interfaces of their own
      // with the adapter's traffic; the adapter's own row is the one to offer.
      if (entry.InterfaceAndOperStatusFlags.FilterInterface) continue;
      const int group = entry.Type == IF_TYPE_SOFTWARE_LOOPBACK               ? 0
                        : entry.InterfaceAndOperStatusFlags.HardwareInterface ? 1
                                                                              : 2;
      rows.push_back(
          {{group, entry.InterfaceLuid.Value},
           {entry.InterfaceIndex, static_cast<std::uint32_t>(entry.Type),
            Narrow(std::wstring_view(entry.Description,
                                     wcsnlen(entry.Description, std::size(entry.Description))))}});
    }
    api_.freeMibTable(table);
    return true;
  }

  void LoadNarrowTable(std::vector<std::pair<InterfaceOrder, InterfaceRow>>& rows) {
    if (!api_.getIfTable) return;
    std::vector<std::uint8_t> buffer;
    ULONG size = 0;
    DWORD result = api_.getIfTable(nullptr, &size, TRUE);
    for (int attempt = 0; attempt < 3 && result == ERROR_INSUFFICIENT_BUFFER; ++attempt) {
      buffer.assign(size, 0);
      result = api_.getIfTable(reinterpret_cast<PMIB_IFTABLE>(buffer.data()), &size, TRUE);
    }
    if (result != NO_ERROR || buffer.size() < sizeof(DWORD)) return;
    const auto* table = reinterpret_cast<const MIB_IFTABLE*>(buffer.data());
    for (DWORD i = 0; i < table->dwNumEntries; ++i) {
      const MIB_IFROW& entry = table->table[i];
      const DWORD length = std::min<DWORD>(entry.dwDescrLen, sizeof entry.bDescr);
      rows.push_back(
          {{entry.dwType == IF_TYPE_SOFTWARE_LOOPBACK ? 0 : 1, entry.dwIndex},
           {entry.dwIndex, entry.dwType,
            CodePageToUtf8(std::string_view(reinterpret_cast<const char*>(entry.bDescr), length),
                           CP_ACP)}});
    }
  }

  IpHelperApi api_;
  std::optional<CpuTimes> previousCpu_;
};

}  // namespace

IpHelperApi IpHelperApi::Load() {
  HMODULE module = LoadSystemLibrary(L"iphlpapi.dll");
  IpHelperApi api;
  api.getIfTable2 = Entry<decltype(api.getIfTable2)>(module, "GetIfTable2");
  api.getIfEntry2 = Entry<decltype(api.getIfEntry2)>(module, "GetIfEntry2");
  api.freeMibTable = Entry<decltype(api.freeMibTable)>(module, "FreeMibTable");
  api.getIfTable = Entry<decltype(api.getIfTable)>(module, "GetIfTable");
  api.getIfEntry = Entry<decltype(api.getIfEntry)>(module, "GetIfEntry");
  api.getBestInterface = Entry<decltype(api.getBestInterface)>(module, "GetBestInterface");
  api.getBestInterfaceEx = Entry<decltype(api.getBestInterfaceEx)>(module, "GetBestInterfaceEx");
  api.getAdaptersInfo = Entry<decltype(api.getAdaptersInfo)>(module, "GetAdaptersInfo");
  return api;
}

std::unique_ptr<SystemSource> MakeWindowsSystemSource(const IpHelperApi& api) {
  return std::make_unique<WindowsSystemSource>(api);
}

CpuTimes CpuTimesFromSystemTimes(const FILETIME& idle, const FILETIME& kernel,
                                 const FILETIME& user) {
  CpuTimes t;
  t.total = Ticks(kernel) + Ticks(user);
  t.busy = t.total - std::min(Ticks(idle), t.total);
  return t;
}

AdapterTable ReadAdapterTable(decltype(&::GetAdaptersInfo) getAdaptersInfo) {
  if (getAdaptersInfo == nullptr) return {AdapterTableStatus::kNotSupported, {}};
  ULONG size = 0;
  DWORD result = getAdaptersInfo(nullptr, &size);
  switch (result) {
    case ERROR_BUFFER_OVERFLOW:
      break;
    case ERROR_NOT_SUPPORTED:
      return {AdapterTableStatus::kNotSupported, {}};
    case ERROR_INVALID_PARAMETER:
      return {AdapterTableStatus::kInvalidParameter, {}};
    case ERROR_NO_DATA:
      return {AdapterTableStatus::kNoAdapters, {}};
    default:
      return {AdapterTableStatus::kOtherFailure, {}};
  }
  // The records point at each other inside the buffer, which must be aligned
  // for them. An adapter that appears between the two calls makes the buffer
  // too small again: then once more with the new size.
  std::vector<IP_ADAPTER_INFO> buffer;
  for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
    buffer.assign(size / sizeof(IP_ADAPTER_INFO) + 1, IP_ADAPTER_INFO{});
    size = static_cast<ULONG>(buffer.size() * sizeof(IP_ADAPTER_INFO));
    result = getAdaptersInfo(buffer.data(), &size);
  }
  // A failure of the second call is not the user's business: no adapters.
  if (result != NO_ERROR) return {AdapterTableStatus::kOtherFailure, {}};

  AdapterTable table;
  table.status = AdapterTableStatus::kOk;
  for (const IP_ADAPTER_INFO* a = buffer.data(); a != nullptr; a = a->Next) {
    AdapterEntry entry;
    entry.description =
        CodePageToUtf8(std::string_view(a->Description, sizeof a->Description), CP_ACP);
    const char* ip = a->IpAddressList.IpAddress.String;
    entry.ipAddress = std::string(ip, strnlen(ip, sizeof a->IpAddressList.IpAddress.String));
    if (entry.ipAddress.empty()) entry.ipAddress = "0.0.0.0";
    table.entries.push_back(std::move(entry));
  }
  return table;
}

std::vector<std::string> FixedDriveRows(std::wstring_view driveStrings,
                                        const std::function<UINT(const wchar_t* root)>& driveType) {
  std::vector<std::string> rows;
  while (!driveStrings.empty() && driveStrings.front() != L'\0') {
    const std::size_t end = std::min(driveStrings.find(L'\0'), driveStrings.size());
    const std::wstring root(driveStrings.substr(0, end));
    driveStrings.remove_prefix(std::min(end + 1, driveStrings.size()));
    const wchar_t letter = static_cast<wchar_t>(std::towupper(root[0]));
    if (letter < L'A' || letter > L'Z' || root.size() < 2 || root[1] != L':') continue;
    if (letter == L'A' || letter == L'B') continue;
    if (driveType(root.c_str()) == DRIVE_FIXED) rows.push_back(std::string(1, char(letter)));
  }
  return rows;
}

std::wstring DriveRootOf(std::string_view rowText) {
  if (rowText.empty()) return {};
  const char letter = rowText[0];
  const std::string_view rest = rowText.substr(1);
  if (!((letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z'))) return {};
  if (!(rest.empty() || rest == ":" || rest == ":\\" || rest == ":/")) return {};
  // The drive is named in lower case, as the drive rows are read.
  const wchar_t lower = static_cast<wchar_t>(letter | 0x20);
  return std::wstring{lower, L':', L'\\'};
}

namespace {

// GetDateFormatEx / GetTimeFormatEx in two steps (size, then text).
template <typename Call>
std::string LocaleText(Call call) {
  int n = call(nullptr, 0);
  if (n <= 0) return {};
  std::wstring text(static_cast<std::size_t>(n), L'\0');
  n = call(text.data(), n);
  if (n <= 0) return {};
  text.resize(static_cast<std::size_t>(n) - 1);  // without the terminating zero
  return Narrow(text);
}

}  // namespace

std::string DateLineFor(const SYSTEMTIME& when) {
  const std::string date = LocaleText([&](wchar_t* out, int size) {
    return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &when, nullptr, out, size,
                           nullptr);
  });
  const std::string weekday = LocaleText([&](wchar_t* out, int size) {
    return GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, L"dddd", out, size, nullptr);
  });
  const std::string time = LocaleText([&](wchar_t* out, int size) {
    return GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, 0, &when, nullptr, out, size);
  });
  return date + " " + weekday + "  " + time;
}

}  // namespace windows_source

std::unique_ptr<SystemSource> MakeSystemSource(const LinuxRoots&) {
  return windows_source::MakeWindowsSystemSource(windows_source::IpHelperApi::Load());
}

}  // namespace mirel
