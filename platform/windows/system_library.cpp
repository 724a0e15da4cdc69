#include "platform/windows/system_library.h"

#include <string>

namespace mirel::windows_source {

HMODULE LoadSystemLibrary(const wchar_t* name) {
  std::wstring path(MAX_PATH, L'\0');
  UINT n = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
  if (n >= path.size()) {
    path.assign(n, L'\0');
    n = GetSystemDirectoryW(path.data(), static_cast<UINT>(path.size()));
  }
  if (n == 0 || n >= path.size()) return nullptr;
  path.resize(n);
  path += L'\\';
  path += name;
  return LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

}  // namespace mirel::windows_source
