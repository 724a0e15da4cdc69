// The Windows system source against the live system it runs on (Wine in the
// cross build), and its rules against fake IP Helper calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "platform/windows/system_library.h"
#include "platform/windows/system_source_windows.h"
#include "platform/windows/wide_text.h"
#include "readings/sampling.h"

namespace mirel {
namespace {

using namespace windows_source;

FILETIME Ft(std::uint64_t ticks) {
  return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

TEST(WindowsProcessorTest, KernelTimeIncludesIdleTime) {
  const CpuTimes t = CpuTimesFromSystemTimes(Ft(600), Ft(800), Ft(200));
  EXPECT_EQ(t.total, 1000u);
  EXPECT_EQ(t.busy, 400u);
  // Beyond 32 bits: the high halves count.
  const CpuTimes big = CpuTimesFromSystemTimes(Ft(3ull << 32), Ft(4ull << 32), Ft(1ull << 32));
  EXPECT_EQ(big.total, 5ull << 32);
  EXPECT_EQ(big.busy, 2ull << 32);
  EXPECT_EQ(CpuBusyPercent(t, CpuTimesFromSystemTimes(Ft(650), Ft(900), Ft(300))), 75);
}

TEST(WindowsProcessorTest, LiveShareIsAPercentage) {
  auto source = MakeSystemSource();
  std::optional<int> sinceBoot = source->ReadCpuPercent();
  ASSERT_TRUE(sinceBoot.has_value());
  EXPECT_GE(*sinceBoot, 0);
  EXPECT_LE(*sinceBoot, 100);
  // Keep a processor busy until the system's times move on.
  std::optional<int> share;
  const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  volatile std::uint64_t sink = 0;
  while (!share && std::chrono::steady_clock::now() < until) {
    for (int i = 0; i < 1000000; ++i) sink = sink + static_cast<std::uint64_t>(i);
    share = source->ReadCpuPercent();
  }
  ASSERT_TRUE(share.has_value()) << "the system times never moved";
  EXPECT_GE(*share, 0);
  EXPECT_LE(*share, 100);
}

TEST(WindowsMemoryTest, LiveTotalsInSixtyFourBits) {
  MemoryReading m = MakeSystemSource()->ReadMemory();
  EXPECT_GT(m.totalBytes, 16ull << 20);
  EXPECT_GT(m.availBytes, 0u);
  EXPECT_LE(m.availBytes, m.totalBytes);
}

// --- Interfaces --------------------------------------------------------------

// Sends `bytes` bytes of UDP datagrams to a socket of our own on 127.0.0.1.
void LoopbackTraffic(std::size_t bytes) {
  WSADATA wsa;
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  SOCKET rx = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  SOCKET tx = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  ASSERT_NE(rx, INVALID_SOCKET);
  ASSERT_NE(tx, INVALID_SOCKET);
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(rx, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
  int length = sizeof at;
  ASSERT_EQ(getsockname(rx, reinterpret_cast<sockaddr*>(&at), &length), 0);
  std::string datagram(1000, 'x');
  char buffer[2000];
  for (std::size_t sent = 0; sent < bytes; sent += datagram.size()) {
    ASSERT_EQ(sendto(tx, datagram.data(), static_cast<int>(datagram.size()), 0,
                     reinterpret_cast<sockaddr*>(&at), sizeof at),
              static_cast<int>(datagram.size()));
    ASSERT_EQ(recv(rx, buffer, sizeof buffer, 0), static_cast<int>(datagram.size()));
  }
  closesocket(rx);
  closesocket(tx);
  WSACleanup();
}

const InterfaceRow* Loopback(const std::vector<InterfaceRow>& rows) {
  auto it = std::find_if(rows.begin(), rows.end(),
                         [](const InterfaceRow& r) { return r.type == kIfTypeLoopback; });
  return it == rows.end() ? nullptr : &*it;
}

IpHelperApi NarrowOnly() {
  IpHelperApi api = IpHelperApi::Load();
  api.getIfTable2 = nullptr;
  api.getIfEntry2 = nullptr;
  api.freeMibTable = nullptr;
  return api;
}

TEST(WindowsInterfaceTest, LiveTableStartsWithLoopbackAndTheOldCallsAgree) {
  IpHelperApi api = IpHelperApi::Load();
  ASSERT_TRUE(api.HasWideCounters()) << "this system has the 64-bit calls";
  std::vector<InterfaceRow> wide = MakeWindowsSystemSource(api)->LoadInterfaceTable();
  std::vector<InterfaceRow> narrow = MakeWindowsSystemSource(NarrowOnly())->LoadInterfaceTable();
  ASSERT_FALSE(wide.empty());
  ASSERT_NE(Loopback(wide), nullptr);
  for (const auto* rows : {&wide, &narrow}) {
    ASSERT_FALSE(rows->empty());
    EXPECT_EQ(rows->front().type, kIfTypeLoopback);
  }
  EXPECT_TRUE(std::is_sorted(narrow.begin() + 1, narrow.end(),
                             [](const auto& a, const auto& b) { return a.index < b.index; }));
  // The new table leaves out filter drivers only: every row it has, the old
  // table has too, with the same type and description.
  std::map<std::uint32_t, const InterfaceRow*> byIndex;
  for (const InterfaceRow& r : narrow) byIndex[r.index] = &r;
  for (const InterfaceRow& r : wide) {
    ASSERT_TRUE(byIndex.count(r.index)) << r.description;
    EXPECT_EQ(byIndex[r.index]->type, r.type) << r.description;
    EXPECT_EQ(byIndex[r.index]->description, r.description);
    EXPECT_FALSE(r.description.empty()) << r.index;
  }
}

TEST(WindowsInterfaceTest, CountersNeverGoBackAndSeeOurTraffic) {
  constexpr std::size_t kSent = 200 * 1000;
  struct Path {
    const char* name;
    IpHelperApi api;
    bool wide;
  };
  for (const Path& path :
       {Path{"64-bit", IpHelperApi::Load(), true}, Path{"32-bit", NarrowOnly(), false}}) {
    SCOPED_TRACE(path.name);
    auto source = MakeWindowsSystemSource(path.api);
    std::vector<InterfaceRow> rows = source->LoadInterfaceTable();
    const InterfaceRow* lo = Loopback(rows);
    ASSERT_NE(lo, nullptr);

    std::vector<std::optional<OctetCounters>> before;
    for (const InterfaceRow& r : rows) before.push_back(source->ReadCounters(r));
    LoopbackTraffic(kSent);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      std::optional<OctetCounters> after = source->ReadCounters(rows[i]);
      ASSERT_TRUE(before[i] && after) << rows[i].description;
      EXPECT_EQ(after->wide, path.wide);
      // 32-bit counters may wrap: their difference is taken modulo 2^32.
      auto delta = [&](std::uint64_t a, std::uint64_t b) {
        return path.wide ? b - a : static_cast<std::uint32_t>(b - a);
      };
      if (path.wide) {
        EXPECT_GE(after->rx, before[i]->rx) << rows[i].description;
        EXPECT_GE(after->tx, before[i]->tx) << rows[i].description;
      } else {
        EXPECT_LE(after->rx, 0xFFFFFFFFu);
      }
      if (&rows[i] == lo) {
        EXPECT_GE(delta(before[i]->rx, after->rx), kSent);
        EXPECT_GE(delta(before[i]->tx, after->tx), kSent);
      }
    }
    InterfaceRow gone;
    gone.index = 0x7FFFFFF0;
    EXPECT_FALSE(source->ReadCounters(gone).has_value());
  }
}

// Scripted IP Helper calls, for what the live system cannot show: filter
// drivers, descriptions beyond ASCII, a missing 64-bit call, IPv6 routes.
struct FakeIpHelper {
  struct Row {
    ULONG index;
    ULONG type;
    std::wstring description;
    std::uint64_t luidIndex = 0;  // the LUID's per-type number
    bool hardware = false;
    bool filter = false;
  };
  static inline std::vector<Row> rows;
  static inline DWORD table2Result = NO_ERROR;
  static inline int tablesFreed = 0;
  static inline DWORD bestV4 = 0, bestV6 = 0;  // 0: no route

  static DWORD WINAPI GetIfTable2(PMIB_IF_TABLE2* table) {
    if (table2Result != NO_ERROR) return table2Result;
    const std::size_t size =
        offsetof(MIB_IF_TABLE2, Table) + (rows.size() + 1) * sizeof(MIB_IF_ROW2);
    auto* t = static_cast<MIB_IF_TABLE2*>(std::calloc(1, size));
    t->NumEntries = static_cast<ULONG>(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      MIB_IF_ROW2& r = t->Table[i];
      r.InterfaceIndex = rows[i].index;
      r.Type = rows[i].type;
      rows[i].description.copy(r.Description, std::size(r.Description) - 1);
      r.InterfaceLuid.Value = (std::uint64_t{rows[i].type} << 48) | (rows[i].luidIndex << 24);
      r.InterfaceAndOperStatusFlags.HardwareInterface = rows[i].hardware;
      r.InterfaceAndOperStatusFlags.FilterInterface = rows[i].filter;
    }
    *table = t;
    return NO_ERROR;
  }
  static VOID WINAPI FreeMibTable(PVOID memory) {
    ++tablesFreed;
    std::free(memory);
  }
  static DWORD WINAPI GetIfEntry2(PMIB_IF_ROW2 row) {
    if (row->InterfaceIndex != 7) return ERROR_FILE_NOT_FOUND;
    row->InOctets = 5ull << 32;
    row->OutOctets = (6ull << 32) + 1;
    return NO_ERROR;
  }
  // The 32-bit table: descriptions are ANSI bytes of the length given, not
  // necessarily ending in a zero.
  static DWORD WINAPI GetIfTable(PMIB_IFTABLE table, PULONG size, BOOL) {
    const ULONG needed = static_cast<ULONG>(sizeof(MIB_IFTABLE) + 2 * sizeof(MIB_IFROW));
    if (table == nullptr || *size < needed) {
      *size = needed;
      return ERROR_INSUFFICIENT_BUFFER;
    }
    table->dwNumEntries = 2;
    MIB_IFROW& eth = table->table[0];
    eth = MIB_IFROW{};
    eth.dwIndex = 5;
    eth.dwType = kIfTypeEthernet;
    std::memcpy(eth.bDescr, "eth0GARBAGE", 11);
    eth.dwDescrLen = 4;
    MIB_IFROW& lo = table->table[1];
    lo = MIB_IFROW{};
    lo.dwIndex = 2;
    lo.dwType = kIfTypeLoopback;
    std::memcpy(lo.bDescr, "lo", 3);
    lo.dwDescrLen = 3;  // with its zero
    return NO_ERROR;
  }
  static DWORD WINAPI GetIfEntry(PMIB_IFROW row) {
    row->dwInOctets = 0xFFFFFFF0u;
    row->dwOutOctets = 12;
    return NO_ERROR;
  }
  static DWORD WINAPI GetBestInterface(IPAddr destination, PDWORD index) {
    if (destination != 0 || bestV4 == 0) return ERROR_NOT_FOUND;
    *index = bestV4;
    return NO_ERROR;
  }
  static DWORD WINAPI GetBestInterfaceEx(sockaddr* destination, PDWORD index) {
    if (destination->sa_family != AF_INET6 || bestV6 == 0) return ERROR_NOT_FOUND;
    *index = bestV6;
    return NO_ERROR;
  }

  static IpHelperApi Api() {
    IpHelperApi api;
    api.getIfTable2 = &GetIfTable2;
    api.getIfEntry2 = &GetIfEntry2;
    api.freeMibTable = &FreeMibTable;
    api.getIfTable = &GetIfTable;
    api.getIfEntry = &GetIfEntry;
    api.getBestInterface = &GetBestInterface;
    api.getBestInterfaceEx = &GetBestInterfaceEx;
    return api;
  }
  static void Reset() {
    // In index order, as the system lists them; index 4 is a USB adapter
    // plugged in after the others were installed.
    rows = {{1, kIfTypeLoopback, L"Loopback Pseudo-Interface 1", 1},
            {2, kIfTypeEthernet, L"WAN Miniport (IP)", 1},
            {3, kIfTypeWireless, L"無線 LAN アダプター", 1, true},
            {4, kIfTypeEthernet, L"USB Ethernet", 8, true},
            {7, kIfTypeEthernet, L"Intel(R) Ethernet", 2, true},
            {9, kIfTypeEthernet, L"Intel(R) Ethernet-WFP Native MAC Layer LightWeight Filter-0000",
             3, true, true}};
    table2Result = NO_ERROR;
    tablesFreed = 0;
    bestV4 = bestV6 = 0;
  }
};

std::vector<std::uint32_t> Indexes(const std::vector<InterfaceRow>& rows) {
  std::vector<std::uint32_t> out;
  for (const InterfaceRow& r : rows) out.push_back(r.index);
  return out;
}

TEST(WindowsInterfaceTest, WideTableInAnOrderThatOutlastsARestart) {
  FakeIpHelper::Reset();
  auto source = MakeWindowsSystemSource(FakeIpHelper::Api());
  std::vector<InterfaceRow> rows = source->LoadInterfaceTable();
  // Loopback, the hardware by LUID (Ethernet before wireless, the adapter
  // installed first before the one plugged in later), then the WAN miniport;
  // the filter driver left out.
  EXPECT_EQ(Indexes(rows), (std::vector<std::uint32_t>{1, 7, 4, 3, 2}));
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3].description, "無線 LAN アダプター");
  EXPECT_EQ(rows[3].type, kIfTypeWireless);
  EXPECT_EQ(FakeIpHelper::tablesFreed, 1);

  // The indexes differ after a restart; the order does not.
  for (FakeIpHelper::Row& r : FakeIpHelper::rows) r.index += 20;
  std::vector<InterfaceRow> again = source->LoadInterfaceTable();
  ASSERT_EQ(again.size(), rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(again[i].description, rows[i].description) << i;
  }

  FakeIpHelper::Reset();
  std::optional<OctetCounters> c = source->ReadCounters(rows[1]);
  ASSERT_TRUE(c.has_value());
  EXPECT_EQ(c->rx, 5ull << 32);
  EXPECT_EQ(c->tx, (6ull << 32) + 1);
  EXPECT_TRUE(c->wide);
  EXPECT_FALSE(source->ReadCounters(rows[0]).has_value());
}

TEST(WindowsInterfaceTest, OldCallsWhenTheNewTableFailsOrIsMissing) {
  FakeIpHelper::Reset();
  FakeIpHelper::table2Result = ERROR_NOT_ENOUGH_MEMORY;
  std::vector<InterfaceRow> rows =
      MakeWindowsSystemSource(FakeIpHelper::Api())->LoadInterfaceTable();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].index, 2u) << "loopback first";
  EXPECT_EQ(rows[0].description, "lo");
  EXPECT_EQ(rows[1].description, "eth0") << "only the bytes the length gives";

  IpHelperApi old = FakeIpHelper::Api();
  old.getIfTable2 = nullptr;
  auto source = MakeWindowsSystemSource(old);
  rows = source->LoadInterfaceTable();
  ASSERT_EQ(Indexes(rows), (std::vector<std::uint32_t>{2, 5}));
  std::optional<OctetCounters> c = source->ReadCounters(rows[1]);
  ASSERT_TRUE(c.has_value());
  EXPECT_EQ(c->rx, 0xFFFFFFF0u);
  EXPECT_EQ(c->tx, 12u);
  EXPECT_FALSE(c->wide) << "32-bit counters: the core tracks their wraps";
}

TEST(WindowsInterfaceTest, DefaultRouteIsIpv4FirstThenIpv6) {
  FakeIpHelper::Reset();
  auto source = MakeWindowsSystemSource(FakeIpHelper::Api());
  std::vector<InterfaceRow> rows = source->LoadInterfaceTable();  // indexes 1, 7, 4, 3, 2
  EXPECT_FALSE(source->DefaultRouteInterface(rows).has_value());
  FakeIpHelper::bestV6 = 3;
  EXPECT_EQ(source->DefaultRouteInterface(rows), 3u);
  FakeIpHelper::bestV4 = 7;
  EXPECT_EQ(source->DefaultRouteInterface(rows), 1u);
  FakeIpHelper::bestV4 = 9;  // a row the table left out
  EXPECT_FALSE(source->DefaultRouteInterface(rows).has_value());
}

// The host's default route, where the host's /proc is visible (under Wine).
std::optional<std::string> HostDefaultRouteName() {
  std::ifstream route("Z:\\proc\\net\\route");
  if (!route) return std::nullopt;
  std::string line;
  std::getline(route, line);  // the heading
  while (std::getline(route, line)) {
    std::istringstream fields(line);
    std::string name, destination, gateway, flags, refs, use, metric, mask;
    fields >> name >> destination >> gateway >> flags >> refs >> use >> metric >> mask;
    if (destination == "00000000" && mask == "00000000") return name;
  }
  return std::nullopt;
}

TEST(WindowsInterfaceTest, DefaultRouteIsARowOfTheTable) {
  auto source = MakeSystemSource();
  std::vector<InterfaceRow> rows = source->LoadInterfaceTable();
  std::optional<std::size_t> routed = source->DefaultRouteInterface(rows);
  std::optional<std::string> host = HostDefaultRouteName();
  if (host) {
    // Wine names the interfaces after the host's.
    ASSERT_TRUE(routed.has_value()) << *host;
    EXPECT_EQ(rows[*routed].description, *host);
  }
  if (routed) {
    ASSERT_LT(*routed, rows.size());
    EXPECT_NE(rows[*routed].type, kIfTypeLoopback);
  }
  EXPECT_FALSE(source->DefaultRouteInterface({}).has_value()) << "no rows, no position";
}

// --- Adapters ----------------------------------------------------------------

TEST(WindowsAdapterTest, LiveTableHasDottedAddresses) {
  AdapterTable table = MakeSystemSource()->LoadAdapterTable();
  ASSERT_TRUE(table.status == AdapterTableStatus::kOk ||
              table.status == AdapterTableStatus::kNoAdapters)
      << static_cast<int>(table.status);
  if (table.status == AdapterTableStatus::kNoAdapters) GTEST_SKIP() << "no adapters here";
  ASSERT_FALSE(table.entries.empty());
  for (const AdapterEntry& e : table.entries) {
    EXPECT_FALSE(e.description.empty());
    unsigned a, b, c, d;
    char rest;
    EXPECT_EQ(std::sscanf(e.ipAddress.c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &rest), 4)
        << e.ipAddress;
  }
}

// A scripted GetAdaptersInfo: each call answers with the next result; the
// size it reports is the size of `records` adapters.
struct ScriptedAdapters {
  static inline std::vector<DWORD> results;
  static inline std::size_t call = 0;
  static inline std::size_t records = 2;
  static inline std::vector<ULONG> sizesSeen;

  static DWORD WINAPI Call(PIP_ADAPTER_INFO info, PULONG size) {
    sizesSeen.push_back(*size);
    const DWORD result = call < results.size() ? results[call] : ERROR_GEN_FAILURE;
    ++call;
    const ULONG needed = static_cast<ULONG>(records * sizeof(IP_ADAPTER_INFO));
    if (result == ERROR_BUFFER_OVERFLOW) *size = needed;
    if (result == NO_ERROR && info != nullptr) {
      if (*size < needed) return ERROR_BUFFER_OVERFLOW;
      for (std::size_t i = 0; i < records; ++i) {
        IP_ADAPTER_INFO& a = info[i];
        a = IP_ADAPTER_INFO{};
        a.Next = i + 1 < records ? &info[i + 1] : nullptr;
        std::snprintf(a.Description, sizeof a.Description, "Adapter %zu", i);
        if (i > 0) std::snprintf(a.IpAddressList.IpAddress.String, 16, "10.0.0.%zu", i);
      }
    }
    return result;
  }
  static void Reset(std::vector<DWORD> script, std::size_t n = 2) {
    results = std::move(script);
    call = 0;
    records = n;
    sizesSeen.clear();
  }
};

TEST(WindowsAdapterTest, SizeFirstThenTheRecordsInOrder) {
  ScriptedAdapters::Reset({ERROR_BUFFER_OVERFLOW, NO_ERROR}, 3);
  AdapterTable table = ReadAdapterTable(&ScriptedAdapters::Call);
  EXPECT_EQ(table.status, AdapterTableStatus::kOk);
  ASSERT_EQ(table.entries.size(), 3u);
  EXPECT_EQ(table.entries[0].description, "Adapter 0");
  EXPECT_EQ(table.entries[0].ipAddress, "0.0.0.0") << "no address yet";
  EXPECT_EQ(table.entries[2].ipAddress, "10.0.0.2");
  EXPECT_EQ(ScriptedAdapters::sizesSeen.front(), 0u) << "the first call only asks the size";
}

TEST(WindowsAdapterTest, FailuresOfTheFirstCallKeepTheirMeaning) {
  const std::pair<DWORD, AdapterTableStatus> cases[] = {
      {ERROR_NOT_SUPPORTED, AdapterTableStatus::kNotSupported},
      {ERROR_INVALID_PARAMETER, AdapterTableStatus::kInvalidParameter},
      {ERROR_NO_DATA, AdapterTableStatus::kNoAdapters},
      {ERROR_GEN_FAILURE, AdapterTableStatus::kOtherFailure},
      {NO_ERROR, AdapterTableStatus::kOtherFailure},  // no size asked for: nothing to read
  };
  for (const auto& [code, status] : cases) {
    ScriptedAdapters::Reset({code});
    AdapterTable table = ReadAdapterTable(&ScriptedAdapters::Call);
    EXPECT_EQ(table.status, status) << code;
    EXPECT_TRUE(table.entries.empty()) << code;
    EXPECT_EQ(ScriptedAdapters::call, 1u) << code;
  }
}

TEST(WindowsAdapterTest, SecondCallFailingIsSilentAndAGrownListIsReadAgain) {
  // Adapters gone between the two calls: no message, no rows.
  ScriptedAdapters::Reset({ERROR_BUFFER_OVERFLOW, ERROR_NO_DATA});
  AdapterTable gone = ReadAdapterTable(&ScriptedAdapters::Call);
  EXPECT_EQ(gone.status, AdapterTableStatus::kOtherFailure);
  EXPECT_TRUE(gone.entries.empty());

  // One more adapter between the calls: the larger size is asked for again.
  ScriptedAdapters::Reset({ERROR_BUFFER_OVERFLOW, ERROR_BUFFER_OVERFLOW, NO_ERROR}, 4);
  AdapterTable grown = ReadAdapterTable(&ScriptedAdapters::Call);
  EXPECT_EQ(grown.status, AdapterTableStatus::kOk);
  EXPECT_EQ(grown.entries.size(), 4u);
  EXPECT_EQ(ScriptedAdapters::call, 3u);

  // But not for ever.
  ScriptedAdapters::Reset(std::vector<DWORD>(10, ERROR_BUFFER_OVERFLOW));
  EXPECT_EQ(ReadAdapterTable(&ScriptedAdapters::Call).status, AdapterTableStatus::kOtherFailure);
  EXPECT_LE(ScriptedAdapters::call, 5u);
}

// --- Drives ------------------------------------------------------------------

TEST(WindowsDriveTest, RowsAreTheFixedDisksWithoutAskingTheFloppies) {
  std::vector<std::wstring> asked;
  auto type = [&](const wchar_t* root) -> UINT {
    asked.push_back(root);
    switch (std::towupper(root[0])) {
      case L'A':
      case L'C':
      case L'E':
        return DRIVE_FIXED;
      case L'D':
        return DRIVE_CDROM;
      default:
        return DRIVE_REMOTE;
    }
  };
  const std::wstring strings(L"A:\\\0B:\\\0C:\\\0D:\\\0e:\\\0F:\\\0\0", 25);
  EXPECT_EQ(FixedDriveRows(strings, type), (std::vector<std::string>{"C", "E"}));
  EXPECT_EQ(asked, (std::vector<std::wstring>{L"C:\\", L"D:\\", L"e:\\", L"F:\\"}));
  EXPECT_TRUE(FixedDriveRows(std::wstring(L"\0", 1), type).empty());
}

TEST(WindowsDriveTest, RowTextNamesTheDriveInLowerCase) {
  EXPECT_EQ(DriveRootOf("C"), L"c:\\");
  EXPECT_EQ(DriveRootOf("c:"), L"c:\\");
  EXPECT_EQ(DriveRootOf("D:\\"), L"d:\\");
  for (const char* bad : {"", ":", "CC", "C:\\Windows", "1", "/", "ｃ"}) {
    EXPECT_EQ(DriveRootOf(bad), L"") << bad;
  }
}

TEST(WindowsDriveTest, LiveDrivesHaveSpaceAndAMissingOneShowsNoFigures) {
  auto source = MakeSystemSource();
  std::vector<std::string> rows = source->ListFixedDrives();
  ASSERT_FALSE(rows.empty());
  for (const std::string& row : rows) {
    ASSERT_EQ(row.size(), 1u) << row;
    EXPECT_TRUE(row[0] >= 'C' && row[0] <= 'Z') << row;
    std::optional<DriveSpace> space = source->ReadDriveSpace(row);
    ASSERT_TRUE(space.has_value()) << row;
    EXPECT_GT(space->totalBytes, 0u) << row;
    EXPECT_LE(space->freeBytes, space->totalBytes) << row;
    EXPECT_EQ(space->name, row + ":");
    std::optional<DriveSpace> lower = source->ReadDriveSpace(std::string(1, char(row[0] | 0x20)));
    ASSERT_TRUE(lower.has_value());
    EXPECT_EQ(lower->name, space->name);
    EXPECT_EQ(lower->totalBytes, space->totalBytes);
  }

  // A letter that names no drive: its strip shows its own name and no
  // figures, never those of the drive read before it.
  const DWORD present = GetLogicalDrives();
  char missing = 0;
  for (char c = 'Y'; c >= 'C' && !missing; --c) {
    if (!(present & (1u << (c - 'A')))) missing = c;
  }
  ASSERT_NE(missing, 0);
  EXPECT_FALSE(source->ReadDriveSpace(std::string(1, missing)).has_value());

  MonitorState state;
  DriveRow first, second;
  first.text = rows[0];
  second.text = std::string(1, missing);
  DiskTexts a = ReadDiskTexts(state, *source, first, 1);
  DiskTexts b = ReadDiskTexts(state, *source, second, 1);
  EXPECT_TRUE(a.hasFigures);
  EXPECT_EQ(a.name, rows[0] + ":");
  EXPECT_FALSE(b.hasFigures);
  EXPECT_EQ(b.name, std::string(1, missing));
  EXPECT_TRUE(b.total.empty()) << b.total;
}

// A DLL named like a system one, put beside the program, is never loaded.
TEST(WindowsSystemLibraryTest, ComesFromTheSystemFolder) {
  wchar_t system[MAX_PATH] = {};
  ASSERT_GT(GetSystemDirectoryW(system, MAX_PATH), 0u);
  for (const wchar_t* name : {L"iphlpapi.dll", L"wininet.dll"}) {
    HMODULE module = LoadSystemLibrary(name);
    ASSERT_NE(module, nullptr);
    wchar_t file[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(module, file, MAX_PATH), 0u);
    EXPECT_TRUE(std::filesystem::equivalent(std::filesystem::path(file).parent_path(), system))
        << windows_source::Narrow(file);
  }
  EXPECT_EQ(LoadSystemLibrary(L"no-such-library-mirel9x.dll"), nullptr);
}

// Where the settings go when the program's folder cannot take them.
TEST(WindowsUserFolderTest, AFolderOfItsOwnInTheRoamingProfile) {
  wchar_t appData[MAX_PATH] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH), 0u);
  const std::filesystem::path dir = UserConfigDir();
  EXPECT_EQ(dir.filename(), std::filesystem::path(L"mirel9x"));
  EXPECT_TRUE(std::filesystem::equivalent(dir.parent_path(), appData)) << dir.string();
}

}  // namespace
}  // namespace mirel
