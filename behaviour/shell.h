// The seam between the program's behaviour and a shell (shell/qt/, the
// Win32 shell): everything that only a window system can do. The behaviour
// (Program, program.h) decides; a shell implements these operations and
// forwards its events to Program, nothing else.
//
//   shell                                     Program (behaviour/)
//   ─────                                     ────────────────────
//   main: Program program(shell, env);        Start(): tray, settings file,
//         program.Start(), event loop           windows, timers, web check
//   refresh timer fires            ────────►  RefreshTick()
//   upkeep timer fires             ────────►  UpkeepTick()
//   monitor hidden or minimised    ────────►  MonitorHidden()
//   monitor moved or resized       ────────►  MonitorGeometryChanged()
//   pointer onto / off the monitor ────────►  PointerOverMonitor(over)
//   left click (colour under it)   ────────►  SwitchClicked(colour)
//   tray press / right press       ────────►  OpenMenu(owner) → build, show
//   menu entry chosen              ────────►  ChooseMenuEntry(owner, id)
//   monitor window closed          ────────►  Exit()
//   network descriptor readable    ────────►  NetworkReadable()
//   network timer fires            ────────►  NetworkReadable()
//   a second start asks for us     ────────►  BringToFront()
//   dialog control changed         ────────►  Program::dialog() (DialogEvents)
//   Program calls back through the operations below, synchronously.
//
// Pixels are the window system's own coordinates (device-independent where
// it scales), except where "device pixels" is said.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "behaviour/dialog_controls.h"
#include "behaviour/monitor_geometry.h"
#include "drawing/canvas.h"
#include "drawing/graph.h"
#include "readings/web_check.h"

namespace mirel {

enum class MessageIcon { kError, kInformation };

// How the settings dialog opens.
struct DialogOpening {
  // Made topmost ("常に手前に表示" ＯＮ); false leaves it as it was.
  bool makeTopmost = false;
  // Where it opens the first time (its position is remembered in the settings).
  PixelPoint position;
};

class Shell {
 public:
  virtual ~Shell() = default;

  // --- The desktop -----------------------------------------------------------
  // A modal message box titled with the program's name; returns once the
  // user closed it. Timers and menus keep working meanwhile.
  virtual void ShowMessage(MessageIcon icon, const std::string& text) = 0;
  // Brings a message box that is open to the front (a second start).
  virtual void RaiseMessage() = 0;
  // A word to the user that needs no answer (a menu choice that failed, what
  // the session cannot give): a message from the tray icon where a tray
  // shows it, else a small message box; shown without waiting, the monitor
  // goes on meanwhile.
  virtual void ShowNotice(const std::string& text) = 0;
  virtual void SetClipboardText(const std::string& text) = 0;
  // Opens the page in the user's browser (busy pointer meanwhile).
  virtual void OpenUrl(const std::string& url) = 0;
  // The system's colour chooser, starting at `initial` (0x00BBGGRR);
  // nullopt when the user cancelled.
  virtual std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) = 0;
  // One blocking HTTP GET that keeps the event loop running while it waits;
  // fails on no connection, an error status, a body over kMaxReplyBytes, the
  // time-out, or a nested call while one waits.
  virtual FetchReply HttpGet(const std::string& url, std::chrono::milliseconds timeout) = 0;
  // The screens of the desktop.
  virtual std::vector<ScreenArea> Screens() = 0;
  // Ends the event loop with this status.
  virtual void Quit(int status) = 0;

  // --- Notification area -------------------------------------------------------
  virtual void AddTrayIcon(const std::string& tip) = 0;
  virtual void RemoveTrayIcon() = 0;
  // Whether some notification area shows the icon now.
  virtual bool TrayIconShown() = 0;

  // --- What the session lets the program do ---------------------------------------
  // Whether the window system lets the program place its windows and keep
  // them on top (not a native Wayland client: the compositor decides).
  virtual bool PlacesWindows() = 0;
  // Whether CursorPosition can be trusted (not on a Wayland session). Where
  // not, the shell reports Program::PointerOverMonitor from the window's
  // enter and leave, and the mouse-over mode veils the window instead of
  // hiding it, since a hidden window never learns that the pointer left.
  virtual bool CursorPositionKnown() = 0;

  // --- The monitor window --------------------------------------------------------
  // Place and size. SetMonitorRect is also remembered as the place asked for
  // (a window manager may move a window it maps; the shell may insist).
  virtual void SetMonitorRect(const PixelRect& rect) = 0;
  virtual PixelRect MonitorRect() = 0;
  // Only the size: the position may be in the middle of a drag.
  virtual void ResizeMonitor(int width, int height) = 0;
  virtual void SetMonitorTopmost(bool topmost) = 0;
  // Whether the lower and right edges resize the window.
  virtual void SetMonitorResizable(bool resizable) = 0;
  // Shows the window, restoring it when minimised; it shows its last image.
  virtual void ShowMonitor() = 0;
  virtual void HideMonitor() = 0;
  // To the front and active (a second start asked for the monitor).
  virtual void RaiseMonitor() = 0;
  // Shown and not minimised: what the user can see of it, whatever covers it.
  virtual bool MonitorShownOnScreen() = 0;
  // Veiled, the window stays shown but shows nothing (see-through), and a
  // press on it neither drags nor switches; unveiled, its picture again.
  virtual void SetMonitorVeiled(bool veiled) = 0;
  // The top `height` rows of `canvas`, stretched to the window. The canvas
  // outlives the next call. `changed` (may be null) lists the rows that differ
  // from the previous call's, so that only they need painting.
  virtual void PaintMonitor(const Canvas& canvas, int height,
                            const std::vector<RowSpan>* changed) = 0;
  // The cursor in device pixels; nullopt where the window system does not
  // tell (see CursorPositionKnown).
  virtual std::optional<PixelPoint> CursorPosition() = 0;
  // The monitor window in the device pixels of CursorPosition.
  virtual PixelRect MonitorDeviceRect() = 0;

  // --- The toolbar window --------------------------------------------------------
  // Shown at ToolbarWindowRect() (off the screen: its task-bar entry is what
  // the user sees), or hidden.
  virtual void SetToolbarShown(bool shown) = 0;
  virtual void SetToolbarCaption(const std::string& caption) = 0;

  // --- Timers -----------------------------------------------------------------
  // Program::RefreshTick every intervalMs, from now on (restarts a running timer).
  virtual void StartRefreshTimer(int intervalMs) = 0;
  virtual void StopRefreshTimer() = 0;
  // Program::UpkeepTick every intervalMs, precisely, from now on.
  virtual void StartUpkeepTimer(int intervalMs) = 0;
  virtual void StopUpkeepTimer() = 0;
  // Program::NetworkReadable whenever the descriptor (a socket) is readable;
  // called again after StopWatchingDescriptor, it watches again.
  virtual void WatchDescriptor(std::intptr_t descriptor) = 0;
  virtual void StopWatchingDescriptor() = 0;
  // Program::NetworkReadable once, delayMs from now (a pending one is
  // replaced): a burst of network notices is checked then.
  virtual void StartNetworkTimer(int delayMs) = 0;
  virtual void StopNetworkTimer() = 0;

  // --- The traffic history ------------------------------------------------------
  // Shows the history window in front, with its figures read afresh.
  virtual void OpenHistoryWindow() = 0;
  // The history was written: an open history window reads it again.
  virtual void HistoryWritten() = 0;
  // A traffic limit's notice, as a notification of the tray icon; false
  // where the desktop shows none (the history window shows the limits).
  virtual bool NotifyFromTray(const std::string& text) = 0;

  // --- The settings dialog -----------------------------------------------------
  // Shows it with every control read from the model (built on first use,
  // bound to Program::dialog()), restored, in front, on a screen.
  virtual void OpenDialog(const DialogOpening& opening) = 0;
  // Hides it; every control keeps its state.
  virtual void CloseDialog() = 0;
  // Reads these parts again from the model; nothing while it was never opened.
  virtual void RefreshDialog(DialogParts parts) = 0;
};

}  // namespace mirel
