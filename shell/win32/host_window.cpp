#include "shell/win32/host_window.h"

#include "platform/windows/wide_text.h"
#include "settings/settings_model.h"

namespace mirel::win32 {

HostWindow::~HostWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool HostWindow::Create(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &HostWindow::Proc;
  wc.hInstance = instance;
  wc.lpszClassName = kClassName;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
  hwnd_ = CreateWindowExW(0, kClassName, windows_source::Widen(kProgramTitle).c_str(),
                          WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, this);
  // An elevated program would not hear the unelevated taskbar otherwise.
  using ChangeFilterFn = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  if (auto change = reinterpret_cast<ChangeFilterFn>(reinterpret_cast<void*>(
          GetProcAddress(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx")));
      change != nullptr && hwnd_ != nullptr) {
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
    change(hwnd_, taskbarCreated_, kAllow, nullptr);
  }
  return hwnd_ != nullptr;
}

void HostWindow::StartTimer(Timer timer, int intervalMs) {
  SetTimer(hwnd_, static_cast<UINT_PTR>(timer), static_cast<UINT>(intervalMs < 1 ? 1 : intervalMs),
           nullptr);
}

void HostWindow::StopTimer(Timer timer) {
  KillTimer(hwnd_, static_cast<UINT_PTR>(timer));
}

LRESULT CALLBACK HostWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<HostWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT HostWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_TIMER:
      if (onTimer) onTimer(static_cast<Timer>(wParam));
      return 0;
    case kTrayMessage:
      if (onTray) onTray(static_cast<UINT>(LOWORD(lParam)));
      return 0;
    case kSocketMessage:
      if (onSocket) onSocket();
      return 0;
    case kSignalledMessage:
      if (onSignalled) onSignalled(wParam);
      return 0;
    case WM_CLOSE:
      // Closing the main window ends the program as "終了" does (which
      // ends the loop itself, the window going with the rest).
      if (onClose) onClose();
      return 0;
    case WM_ENDSESSION:
      if (wParam != 0 && onClose) onClose();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
    default:
      if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        if (onTaskbarCreated) onTaskbarCreated();
        return 0;
      }
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace mirel::win32
