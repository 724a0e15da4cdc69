// Loading a DLL of Windows itself by its full path in the system folder, so
// that a file of the same name beside the program is never taken instead.
#pragma once

#include <windows.h>

namespace mirel::windows_source {

// The DLL from the system folder, or nullptr. It stays loaded.
HMODULE LoadSystemLibrary(const wchar_t* name);

}  // namespace mirel::windows_source
