#include "shell/win32/dpi.h"

#include "platform/windows/system_library.h"

namespace mirel::win32 {

UINT WindowDpi(HWND window) {
  // Windows 10 1607 and later; looked up, so that the program still starts
  // on older systems, where the screen's DPI is the one there is.
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(reinterpret_cast<void*>(
      GetProcAddress(windows_source::LoadSystemLibrary(L"user32.dll"), "GetDpiForWindow")));
  if (window != nullptr && getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi != 0) return dpi;
  }
  HDC screen = GetDC(nullptr);
  const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

int WholeScale(UINT dpi) {
  const int scale = static_cast<int>((dpi * 2 + 96) / 192);
  return scale < 1 ? 1 : scale;
}

}  // namespace mirel::win32
