// The icon in the notification area. Its mouse messages go to the host
// window (HostWindow::kTrayMessage); the shell opens the menu from there.
// When the taskbar restarts (Explorer crashed or was restarted), the icon
// is gone with it and is added again.
#pragma once

#include <windows.h>
// After windows.h.
#include <shellapi.h>

#include <string>

namespace mirel::win32 {

class TrayIcon {
 public:
  TrayIcon(HWND host, UINT callbackMessage, HICON icon)
      : host_(host), callbackMessage_(callbackMessage), icon_(icon) {}
  ~TrayIcon() { Remove(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  void Add(const std::wstring& tip);
  void Remove();
  // The taskbar restarted: the icon again, if it was there.
  void Readd();
  bool added() const { return added_; }
  // Whether a notification area took the icon (the last add succeeded).
  bool shown() const { return shown_; }

 private:
  NOTIFYICONDATAW Data() const;

  HWND host_;
  UINT callbackMessage_;
  HICON icon_;
  std::wstring tip_;
  bool added_ = false;
  bool shown_ = false;
};

}  // namespace mirel::win32
