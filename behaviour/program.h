// The program's life from the first window to the last event, for any
// shell: start-up in its order, the refresh tick, the monitor window's
// place, size and upkeep, the popup menus, the "変更" buttons, the settings
// dialog's commands, a second start's request, and exit. Program decides;
// the shell (shell.h) does what only a window system can do and forwards
// its events here.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "behaviour/dialog_controls.h"
#include "behaviour/history_keeper.h"
#include "behaviour/messages.h"
#include "behaviour/popup_menu.h"
#include "behaviour/shell.h"
#include "behaviour/window_upkeep_rule.h"
#include "drawing/gradient.h"
#include "drawing/strip_font.h"
#include "platform/platform.h"
#include "readings/monitor_state.h"
#include "readings/network_burst.h"
#include "readings/registry.h"
#include "readings/sampling.h"
#include "readings/web_check_results.h"
#include "settings/settings_model.h"

namespace mirel {

class MonitorEngine;

struct ProgramEnvironment {
  // Where the program's own files are; the settings file is looked up there.
  std::filesystem::path executableDir;
  // Used instead of the looked-up settings file when set.
  std::optional<std::filesystem::path> settingsFile;
  // The per-user folder of the browser-settings store (UserConfigDir() when empty).
  std::filesystem::path configDir;
  // The machine and the browser settings; the real platform's when null.
  std::unique_ptr<SystemSource> system;
  std::unique_ptr<BrowserSettingsStore> store;
  // Opens the strip font (where a platform keeps it); StripFont::Open() when empty.
  std::function<StripFontLoad()> openFont;
  // Where the web check asks (scheme, host, folder), from the command line or
  // the environment; when empty, webcheck.base of preferences.conf in
  // configDir, then the build's default. With none, nothing is asked.
  std::string webCheckBase;
  // The traffic history's folder (UserDataDir() when empty); none is kept
  // without keepHistory (a tool that replays the program's start-up).
  std::filesystem::path dataDir;
  bool keepHistory = true;
};

class Program : private MenuActions, private DialogActions {
 public:
  Program(Shell& shell, ProgramEnvironment env);
  ~Program() override;
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Runs the start-up. Returns the exit status when the program must end
  // already (the settings file or the strip font could not be read: 1; exit
  // chosen while the start-up waited: 0), nullopt when the event loop runs.
  std::optional<int> Start();
  // The tray icon first, then the timers and windows; the loop ends with 0.
  void Exit() override;
  bool exiting() const { return exiting_; }

  // --- Events of the shell ------------------------------------------------------
  void RefreshTick();
  void UpkeepTick();
  // The monitor window was hidden or minimised (by anything).
  void MonitorHidden();
  // Enter (true) and leave (false) of the monitor window, where the shell
  // cannot tell the cursor's position.
  void PointerOverMonitor(bool over);
  // Moved or resized by the user or the window manager.
  void MonitorGeometryChanged();
  // A left click on the monitor window (after any drag), with the colour
  // (0x00BBGGRR) of the pixel under the press.
  void SwitchClicked(std::uint32_t colour);
  // A tray press or a right press on the monitor window: the menu to show.
  const MenuModel& OpenMenu(MenuOwner owner);
  void ChooseMenuEntry(MenuOwner owner, int id);
  // The descriptor given to Shell::WatchDescriptor is readable, or the
  // network timer fired.
  void NetworkReadable();
  // Another start of the program asked for the monitor.
  void BringToFront();
  // Where the settings dialog reports its controls.
  DialogEvents& dialog() { return dialogController_; }

  // --- What the shell shows ---------------------------------------------------
  const SettingsModel& settings() const override { return model_; }
  const GradientImages& gradients() const { return gradients_; }
  // The readings of the last tick.
  const MonitorState& readings() const;
  // The strip font (null before start-up opened it), for windows that draw
  // with it (the history's chart).
  const StripFont* stripFont() const { return font_.get(); }

  // --- The traffic history ------------------------------------------------------
  // Null before start-up; its store is null when there is no history.
  HistoryKeeper* history() { return history_.get(); }
  // Writes what the recorder holds now, so a view shows the figures to this moment.
  void FlushHistory();
  // The user's new choices for the history (limits, month start, retention,
  // what the totals strips show), kept in preferences.conf; empty on
  // success, else why they could not be kept (they apply all the same).
  std::string ChangeHistorySettings(const HistorySettings& settings);

 private:
  // MenuActions.
  std::string ReadCurrentProxy() override;
  bool ReadProxyInUse() override;
  void OpenOptions() override;
  void CopyIp() override;
  void ChooseProxy(std::size_t index, const std::string& caption) override;
  void OpenHistory() override;
  void UseProxy(bool on) override;
  // DialogActions.
  SettingsModel& model() override { return model_; }
  GradientImages& gradientImages() override { return gradients_; }
  std::optional<std::uint32_t> ChooseColour(std::uint32_t initial) override;
  void RefreshDialog(DialogParts parts) override;
  void RefreshIntervalChanged() override;
  void MouseOverModeChanged() override;
  void ToolbarShownChanged() override;
  void ClearGraph() override;
  void RepaintGraphBackground() override;
  void ResetTotal(int which) override;
  void ResetMonitorSize() override;
  void ResetMonitorPosition() override;
  void SaveSettings() override;
  void CloseDialog() override;
  void OpenHomePage() override;

  bool MouseOver() const;
  void SetRefreshInterval(int intervalMs);
  void ApplyGeometryFromModel();
  void SyncGeometryToModel();
  void KeepMonitorOnAScreen();
  void ApplyFit();
  void WatchNetwork();
  // What this session cannot give, said once per desktop.
  void TellSessionLimits();
  void RunWebCheck();
  void StartHistory();
  void TellHistory();
  // A menu choice failed: with the dialog closed, a notice (the same one
  // at most once in NoticeGate::kRepeatMs); with it open, its status line
  // has told already.
  void TellMenuFailure(const std::string& notice);
  std::filesystem::path PreferencesFile() const;

  Shell& shell_;
  ProgramEnvironment env_;
  SettingsModel model_;
  WebCheckResults web_;
  std::unique_ptr<TextCodec> codec_;
  std::unique_ptr<RegistryAccess> registry_;
  std::unique_ptr<TickSources> sources_;
  GradientImages gradients_;
  std::unique_ptr<StripFont> font_;
  std::unique_ptr<MonitorEngine> engine_;
  std::unique_ptr<HistoryKeeper> history_;
  std::uint64_t historyBatches_ = 0;
  std::filesystem::path settingsFile_;
  std::unique_ptr<NetworkWatch> netWatch_;
  NetworkBurst netBurst_;
  bool netWatchPaused_ = false;
  MonitorUpkeep upkeep_;
  DialogController dialogController_;
  std::array<MenuModel, 2> menus_;
  std::string toolbarCaption_;
  // The web check's address as start-up chose it, then as last saved.
  std::string webCheckBase_;
  std::string storedWebCheckBase_;
  NoticeGate notices_;

  int refreshMs_ = kRefreshStepMs;
  bool refreshRunning_ = false;
  bool exiting_ = false;
  bool dialogOpen_ = false;
  bool applyingGeometry_ = false;
  // False while the window is fitted to an empty stack: it keeps only the
  // thinnest height a window can have, and the settings say no height.
  bool hasDrawingArea_ = true;
};

}  // namespace mirel
