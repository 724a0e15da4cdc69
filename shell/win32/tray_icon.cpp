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

void TrayIcon::Readd() {
  if (!added_) return;
  NOTIFYICONDATAW data = Data();
  // The old icon died with the old taskbar; a stale one is replaced.
  shown_ =
      Shell_NotifyIconW(NIM_ADD, &data) != FALSE || Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

}  // namespace mirel::win32
