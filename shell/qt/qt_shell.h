// The Qt shell: the windows, the tray icon, the menus, the timers and the
// HTTP client of the Linux program, as the operations of the seam
// (behaviour/shell.h). It decides nothing: every event goes to Program.
//
//   QtShell shell;
//   Program program(shell, env);
//   shell.Connect(program);
//   program.Start(); QApplication::exec();
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "behaviour/shell.h"

namespace mirel {

class HttpFetcher;
class MonitorWindow;
class PopupMenuQt;
class Program;
class SettingsDialog;
class ToolbarWindow;
class TrayIcon;

class QtShell : public QObject, public Shell {
 public:
  QtShell();
  ~QtShell() override;

  // Every event of the windows and timers goes to `program` from now on.
  void Connect(Program& program);

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
  bool PlacesWindows() override;
  bool CursorPositionKnown() override;
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

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The tray menu at the host's position, or (natively on Wayland, where no
  // client can place a menu on the screen) below the monitor window.
  void OpenTrayMenu(QPoint at);

  Program* program_ = nullptr;
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<MonitorWindow> monitor_;
  std::unique_ptr<ToolbarWindow> toolbar_;
  std::unique_ptr<PopupMenuQt> trayMenu_;
  std::unique_ptr<PopupMenuQt> monitorMenu_;
  std::unique_ptr<SettingsDialog> dialog_;
  std::unique_ptr<HttpFetcher> fetcher_;
  std::unique_ptr<QSocketNotifier> notifier_;
  QTimer refreshTimer_;
  QTimer upkeepTimer_;
  QTimer networkTimer_;
  bool monitorShownOnce_ = false;
  // What the session lets the windows do (behaviour/desktop_session.h).
  bool nativeWayland_ = false;
  bool cursorKnown_ = true;
};

// A message box of the program: the whole text, as plain text, selectable.
std::unique_ptr<QMessageBox> MakeMessageBox(QMessageBox::Icon icon, const QString& text);

// The cursor position in device pixels, straight from the display server
// where Qt's own position would be rounded to device-independent pixels.
QPoint NativeCursorPos();

}  // namespace mirel
