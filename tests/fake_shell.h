// A shell without windows: it keeps what Program asked of it (the monitor
// window's place and state, timers, tray, dialog) and logs the calls in
// order, so a test reads start-up and exit as a list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "behaviour/shell.h"

namespace mirel::fakes {

class FakeShell : public Shell {
 public:
  // What the calls left.
  std::vector<std::string> log;
  std::vector<std::string> messages;
  std::string clipboard;
  std::vector<std::string> openedUrls;
  bool trayShown = false;
  PixelRect monitor;
  bool monitorShown = false;
  bool monitorMinimised = false;
  bool topmost = false;
  bool resizable = false;
  int paintedHeight = -1;
  int paints = 0;
  bool toolbarShown = false;
  std::string toolbarCaption;
  int refreshMs = 0;  // 0: stopped
  int upkeepMs = 0;   // 0: stopped
  std::intptr_t watched = -1;
  int networkTimerMs = -1;  // -1: not pending
  bool dialogOpen = false;
  int dialogOpenings = 0;
  DialogOpening lastOpening;
  std::vector<DialogParts> refreshes;
  std::optional<int> quitStatus;
  std::vector<std::string> fetched;

  // What the calls answer.
  std::optional<PixelPoint> cursor;     // device pixels (ratio 1 here)
  std::optional<std::uint32_t> colour;  // the chooser's answer
  std::vector<ScreenArea> screens{{{0, 0, 1280, 800}, {0, 0, 1280, 772}, true}};
  std::function<FetchReply(const std::string& url)> fetch;  // fails when empty
  std::function<void()> onMessage;  // what the user does while a box is open
  bool showRefused = false;         // a window manager that does not let go
  bool trayPresent = true;          // a notification area to show the icon
  bool placesWindows = true;        // not a native Wayland client
  bool cursorKnown = true;
  bool veiled = false;
  std::vector<std::string> notices;

  void ShowMessage(MessageIcon, const std::string& text) override {
    log.push_back("message");
    messages.push_back(text);
    if (onMessage) onMessage();
  }
  void RaiseMessage() override { log.push_back("raise message"); }
  void ShowNotice(const std::string& text) override { notices.push_back(text); }
  bool TrayIconShown() override { return trayShown && trayPresent; }
  bool PlacesWindows() override { return placesWindows; }
  bool CursorPositionKnown() override { return cursorKnown; }
  void SetMonitorVeiled(bool on) override { veiled = on; }
  void SetClipboardText(const std::string& text) override { clipboard = text; }
  void OpenUrl(const std::string& url) override { openedUrls.push_back(url); }
  std::optional<std::uint32_t> ChooseColour(std::uint32_t) override { return colour; }
  FetchReply HttpGet(const std::string& url, std::chrono::milliseconds) override {
    if (fetched.empty()) log.push_back("web check");
    fetched.push_back(url);
    if (fetch) return fetch(url);
    FetchReply none;
    none.error = "offline";
    return none;
  }
  std::vector<ScreenArea> Screens() override { return screens; }
  void Quit(int status) override {
    log.push_back("quit");
    quitStatus = status;
  }
  void AddTrayIcon(const std::string&) override {
    log.push_back("tray on");
    trayShown = true;
  }
  void RemoveTrayIcon() override {
    log.push_back("tray off");
    trayShown = false;
  }
  void SetMonitorRect(const PixelRect& rect) override {
    log.push_back("place monitor");
    monitor = rect;
  }
  PixelRect MonitorRect() override { return monitor; }
  void ResizeMonitor(int width, int height) override {
    log.push_back("resize monitor");
    monitor.width = width;
    monitor.height = height;
  }
  void SetMonitorTopmost(bool on) override { topmost = on; }
  void SetMonitorResizable(bool on) override { resizable = on; }
  void ShowMonitor() override {
    if (showRefused) return;
    if (!MonitorShownOnScreen()) log.push_back("show monitor");
    monitorShown = true;
    monitorMinimised = false;
  }
  void HideMonitor() override {
    if (monitorShown) log.push_back("hide monitor");
    monitorShown = false;
  }
  void RaiseMonitor() override { log.push_back("raise monitor"); }
  bool MonitorShownOnScreen() override { return monitorShown && !monitorMinimised; }
  void PaintMonitor(const Canvas&, int height, const std::vector<RowSpan>*) override {
    paintedHeight = height;
    ++paints;
  }
  std::optional<PixelPoint> CursorPosition() override { return cursor; }
  PixelRect MonitorDeviceRect() override { return monitor; }
  void SetToolbarShown(bool shown) override { toolbarShown = shown; }
  void SetToolbarCaption(const std::string& caption) override { toolbarCaption = caption; }
  void StartRefreshTimer(int ms) override {
    if (refreshMs == 0) log.push_back("refresh timer");
    refreshMs = ms;
  }
  void StopRefreshTimer() override { refreshMs = 0; }
  void StartUpkeepTimer(int ms) override { upkeepMs = ms; }
  void StopUpkeepTimer() override { upkeepMs = 0; }
  void WatchDescriptor(std::intptr_t descriptor) override {
    if (watched < 0) log.push_back("watch network");
    watched = descriptor;
  }
  void StopWatchingDescriptor() override { watched = -1; }
  void StartNetworkTimer(int ms) override { networkTimerMs = ms; }
  void StopNetworkTimer() override { networkTimerMs = -1; }
  void OpenDialog(const DialogOpening& opening) override {
    dialogOpen = true;
    ++dialogOpenings;
    lastOpening = opening;
  }
  void CloseDialog() override { dialogOpen = false; }
  void RefreshDialog(DialogParts parts) override { refreshes.push_back(parts); }
};

}  // namespace mirel::fakes
