// The program's hidden main window: it owns nothing the user sees, but
// receives what is meant for the program as a whole: the tray icon's mouse
// messages, the timers, the taskbar's restart (to put the icon back), the
// network socket's notices and the end of the session. A hidden top-level
// window rather than a message-only one, since the taskbar's restart is
// broadcast to top-level windows only.
#pragma once

#include <windows.h>

#include <functional>

namespace mirel::win32 {

class HostWindow {
 public:
  // Its class name: the installer finds a running monitor by it, to end it.
  static constexpr const wchar_t* kClassName = L"mirel9x.Host";
  // The tray icon's callback; lParam is the mouse message.
  static constexpr UINT kTrayMessage = WM_APP + 2;
  // The network socket is readable.
  static constexpr UINT kSocketMessage = WM_APP + 3;
  // A watched kernel object was signalled; wParam is its number.
  static constexpr UINT kSignalledMessage = WM_APP + 4;

  enum class Timer : UINT_PTR { kRefresh = 1, kUpkeep = 2, kNetwork = 3 };

  HostWindow() = default;
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  bool Create(HINSTANCE instance);
  HWND hwnd() const { return hwnd_; }

  void StartTimer(Timer timer, int intervalMs);
  void StopTimer(Timer timer);

  std::function<void(Timer)> onTimer;
  std::function<void(UINT mouseMessage)> onTray;
  std::function<void()> onTaskbarCreated;
  std::function<void()> onSocket;
  std::function<void(WPARAM which)> onSignalled;
  // Closed by the system (a log-off, a task manager's "end task").
  std::function<void()> onClose;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  UINT taskbarCreated_ = 0;
};

}  // namespace mirel::win32
