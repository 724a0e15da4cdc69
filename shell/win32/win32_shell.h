// The Win32 shell: the program's windows (the hidden host window, the
// monitor window, the tray icon, the toolbar window, the settings dialog)
// and what else only Windows can do (message boxes, the clipboard, the
// colour chooser, HTTP), behind the behaviour's Shell interface. It forwards
// every event to Program and decides nothing itself.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "behaviour/program.h"
#include "behaviour/shell.h"
#include "shell/win32/host_window.h"
#include "shell/win32/http_client.h"
#include "shell/win32/monitor_window.h"
#include "shell/win32/settings_dialog.h"
#include "shell/win32/toolbar_window.h"
#include "shell/win32/tray_icon.h"

namespace mirel::win32 {

class Win32Shell : public Shell {
 public:
  explicit Win32Shell(HINSTANCE instance);
  ~Win32Shell() override;

  // Creates the windows (all hidden); false when Windows refused one.
  bool Create();
  // The program the events go to; set before the event loop runs.
  void Attach(Program& program) { program_ = &program; }
  // The message loop; returns the status given to Quit.
  int Run();
  // Calls `signalled` on this thread whenever the kernel object is
  // signalled, through a message to the host window, so that it is heard in
  // every loop that dispatches messages (a message box's, a menu's).
  void WatchHandle(HANDLE handle, std::function<void()> signalled);

  // Shell.
  void ShowMessage(MessageIcon icon, const std::string& text) override;
  void RaiseMessage() override;
  void ShowNotice(const std::string& text) override;
  void SetClipboardText(const std::string& text) override;
  void OpenUrl(const std::string& url) override;
  std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) override;
  FetchReply HttpGet(const std::string& url, std::chrono::milliseconds timeout) override;
  std::vector<ScreenArea> Screens() override;
  void Quit(int status) override;
  void AddTrayIcon(const std::string& tip) override;
  void RemoveTrayIcon() override;
  bool TrayIconShown() override;
  bool PlacesWindows() override { return true; }
  bool CursorPositionKnown() override { return true; }
  void SetMonitorRect(const PixelRect& rect) override;
  PixelRect MonitorRect() override;
  void ResizeMonitor(int width, int height) override;
  void SetMonitorTopmost(bool topmost) override;
  void SetMonitorResizable(bool resizable) override;
  void ShowMonitor() override;
  void HideMonitor() override;
  void RaiseMonitor() override;
  bool MonitorShownOnScreen() override;
  void SetMonitorVeiled(bool veiled) override;
  void PaintMonitor(const Canvas& canvas, int height, const std::vector<RowSpan>* changed) override;
  std::optional<PixelPoint> CursorPosition() override;
  PixelRect MonitorDeviceRect() override;
  void SetToolbarShown(bool shown) override;
  void SetToolbarCaption(const std::string& caption) override;
  void StartRefreshTimer(int intervalMs) override;
  void StopRefreshTimer() override;
  void StartUpkeepTimer(int intervalMs) override;
  void StopUpkeepTimer() override;
  void WatchDescriptor(std::intptr_t descriptor) override;
  void StopWatchingDescriptor() override;
  void StartNetworkTimer(int delayMs) override;
  void StopNetworkTimer() override;
  void OpenDialog(const DialogOpening& opening) override;
  void CloseDialog() override;
  void RefreshDialog(DialogParts parts) override;

 private:
  void OpenMenu(MenuOwner owner, POINT at);
  bool PreTranslate(MSG& msg);
  struct Watch;
  // Waits (again) for a watched object on the system's wait thread.
  void Arm(Watch& watch);
  // The window that owns whatever the program shows modally.
  HWND ModalOwner() const;

  HINSTANCE instance_;
  Program* program_ = nullptr;
  HICON icon_ = nullptr;
  HICON smallIcon_ = nullptr;
  HostWindow host_;
  MonitorWindow monitor_;
  ToolbarWindow toolbar_;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<SettingsDialog> dialog_;
  HttpClient http_;
  std::intptr_t socket_ = -1;
  struct Watch {
    Win32Shell* shell = nullptr;
    std::size_t index = 0;
    HANDLE object = nullptr;
    HANDLE wait = nullptr;
    std::function<void()> signalled;
  };
  std::vector<std::unique_ptr<Watch>> watched_;
  COLORREF customColours_[16] = {};
  int messageBoxes_ = 0;
};

}  // namespace mirel::win32
