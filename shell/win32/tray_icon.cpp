#include "shell/win32/tray_icon.h"

#include <algorithm>

namespace mirel::win32 {

NOTIFYICONDATAW TrayIcon::Data() const {
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof data;
  data.hWnd = host_;
  data.uID = 1;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = callbackMessage_;
  data.hIcon = icon_;
  // A tip that does not fit is cut.
  const std::size_t n = std::min(tip_.size(), std::size(data.szTip) - 1);
  std::copy_n(tip_.begin(), n, data.szTip);
  return data;
}

void TrayIcon::Add(const std::wstring& tip) {
  tip_ = tip;
  NOTIFYICONDATAW data = Data();
  // Without a taskbar yet (a start at log-on) the call fails and the icon
  // comes with the taskbar's "TaskbarCreated": it counts as added either way.
  shown_ = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
  added_ = true;
}

void TrayIcon::Remove() {
  if (!added_) return;
  NOTIFYICONDATAW data = Data();
  Shell_NotifyIconW(NIM_DELETE, &data);
  added_ = false;
  shown_ = false;
}

bool TrayIcon::Notify(const std::wstring& title, const std::wstring& text) {
  if (!added_ || !shown_) return false;
  NOTIFYICONDATAW data = Data();
  data.uFlags = NIF_INFO;
  data.dwInfoFlags = NIIF_WARNING;
  std::copy_n(title.begin(), std::min(title.size(), std::size(data.szInfoTitle) - 1),
              data.szInfoTitle);
  std::copy_n(text.begin(), std::min(text.size(), std::size(data.szInfo) - 1), data.szInfo);
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void TrayIcon::Readd() {
  if (!added_) return;
  NOTIFYICONDATAW data = Data();
  // The old icon died with the old taskbar; a stale one is replaced.
  shown_ =
      Shell_NotifyIconW(NIM_ADD, &data) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

}  // namespace mirel::win32
