// The toolbar window: a window off the screen whose only content is its
// caption, so what the user sees of it is its taskbar button carrying the
// chosen readings.
#pragma once

#include <windows.h>

#include <string>

namespace mirel::win32 {

class ToolbarWindow {
 public:
  static constexpr const wchar_t* kClassName = L"mirel9x.Toolbar";

  ToolbarWindow() = default;
  ~ToolbarWindow();
  ToolbarWindow(const ToolbarWindow&) = delete;
  ToolbarWindow& operator=(const ToolbarWindow&) = delete;

  // At `rect` (device pixels), hidden.
  bool Create(HINSTANCE instance, HICON icon, const RECT& rect, const std::wstring& caption);
  HWND hwnd() const { return hwnd_; }

  void SetShown(bool shown);
  void SetCaption(const std::wstring& caption);

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  RECT rect_{};
  std::wstring caption_;
};

}  // namespace mirel::win32
