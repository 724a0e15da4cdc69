// The Windows system source: IP Helper, the kernel's memory and processor
// times, the drive list and the user's locale. The IP Helper entry points are
// looked up at run time, so the 64-bit interface calls can be missing (the
// table and counters then come from the 32-bit calls) and tests can hand in
// their own.
#pragma once

// clang-format off
#include <winsock2.h>
#include <ws2ipdef.h>
#include <iphlpapi.h>
#include <windows.h>
// clang-format on

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/cpu_times.h"
#include "platform/platform.h"

namespace mirel::windows_source {

struct IpHelperApi {
  decltype(&::GetIfTable2) getIfTable2 = nullptr;
  decltype(&::GetIfEntry2) getIfEntry2 = nullptr;
  decltype(&::FreeMibTable) freeMibTable = nullptr;
  decltype(&::GetIfTable) getIfTable = nullptr;
  decltype(&::GetIfEntry) getIfEntry = nullptr;
  decltype(&::GetBestInterface) getBestInterface = nullptr;
  decltype(&::GetBestInterfaceEx) getBestInterfaceEx = nullptr;
  decltype(&::GetAdaptersInfo) getAdaptersInfo = nullptr;

  // The entry points of iphlpapi.dll, which stays loaded from then on.
  static IpHelperApi Load();
  // Whether the 64-bit interface table and counters are there.
  bool HasWideCounters() const { return getIfTable2 && getIfEntry2 && freeMibTable; }
};

std::unique_ptr<SystemSource> MakeWindowsSystemSource(const IpHelperApi& api);

// GetSystemTimes counts idle time in the kernel time as well.
CpuTimes CpuTimesFromSystemTimes(const FILETIME& idle, const FILETIME& kernel,
                                 const FILETIME& user);

// The adapter table through GetAdaptersInfo: asked for its size first, then
// read; the three failures the user is told about keep their status.
AdapterTable ReadAdapterTable(decltype(&::GetAdaptersInfo) getAdaptersInfo);

// The drive rows from a GetLogicalDriveStrings buffer ("C:\", "D:\", each
// ending in a zero): the letter of each fixed disk, A: and B: passed over
// without asking (asking a floppy drive makes it seek).
std::vector<std::string> FixedDriveRows(std::wstring_view driveStrings,
                                        const std::function<UINT(const wchar_t* root)>& driveType);
// The root ("c:\") of a drive row's text ("C", "c:", "C:\"); empty when the
// text names no drive.
std::wstring DriveRootOf(std::string_view rowText);

// The date line for `when` in the user's locale.
std::string DateLineFor(const SYSTEMTIME& when);

}  // namespace mirel::windows_source
