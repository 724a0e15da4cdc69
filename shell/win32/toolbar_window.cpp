#include "shell/win32/toolbar_window.h"

namespace mirel::win32 {

ToolbarWindow::~ToolbarWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool ToolbarWindow::Create(HINSTANCE instance, HICON icon, const RECT& rect,
                           const std::wstring& caption) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &ToolbarWindow::Proc;
  wc.hInstance = instance;
  wc.hIcon = icon;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  rect_ = rect;
  caption_ = caption;
  // Unowned and WS_EX_APPWINDOW: it has a taskbar button of its own.
  hwnd_ = CreateWindowExW(WS_EX_APPWINDOW, kClassName, caption.c_str(),
                          WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, rect.left,
                          rect.top, rect.right - rect.left, rect.bottom - rect.top, nullptr,
                          nullptr, instance, nullptr);
  return hwnd_ != nullptr;
}

void ToolbarWindow::SetShown(bool shown) {
  if ((IsWindowVisible(hwnd_) != FALSE) == shown) return;
  if (!shown) {
    ShowWindow(hwnd_, SW_HIDE);
    return;
  }
  // Back to its place off the screen, should it have been moved.
  SetWindowPos(hwnd_, nullptr, rect_.left, rect_.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

void ToolbarWindow::SetCaption(const std::wstring& caption) {
  if (caption == caption_) return;
  caption_ = caption;
  SetWindowTextW(hwnd_, caption_.c_str());
}

LRESULT CALLBACK ToolbarWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  // Only "ツールバーに表示する" in the dialog takes it away: a close from its
  // taskbar button leaves it where it is.
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace mirel::win32
