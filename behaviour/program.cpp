#include "behaviour/program.h"

#include <algorithm>
#include <utility>

#include "behaviour/command_line.h"
#include "behaviour/desktop_session.h"
#include "behaviour/messages.h"
#include "behaviour/settings_commands.h"
#include "behaviour/switch_toggle.h"
#include "drawing/monitor_engine.h"
#include "readings/web_check.h"
#include "settings/item_catalogue.h"
#include "settings/settings_file.h"
#include "settings/user_preferences.h"

namespace mirel {

Program::Program(Shell& shell, ProgramEnvironment env)
    : shell_(shell), env_(std::move(env)), upkeep_(shell), dialogController_(*this) {
  codec_ = MakeAnsiCodec();
  if (!env_.system) env_.system = MakeSystemSource();
  if (env_.configDir.empty()) env_.configDir = UserConfigDir();
  if (!env_.store) env_.store = MakeBrowserSettingsStore(env_.configDir);
  if (!env_.openFont) env_.openFont = [] { return StripFont::Open(); };
  registry_ = std::make_unique<RegistryAccess>(*env_.store);
  registry_->onWriteError = [this] { shell_.ShowMessage(MessageIcon::kError, kErrorText); };
  sources_ = std::unique_ptr<TickSources>(new TickSources{*env_.system, *registry_, web_, {}, {}});
}

Program::~Program() = default;

const MonitorState& Program::readings() const {
  static const MonitorState kNone;
  return engine_ ? engine_->state() : kNone;
}

bool Program::MouseOver() const {
  return model_.mouseOverOption() == MouseOverMode::kHideUnderCursor;
}

// --- Start and exit -------------------------------------------------------------

std::optional<int> Program::Start() {
  // The tray icon comes first, so the program is reachable even while a
  // message box of the start-up is open.
  shell_.AddTrayIcon(kProgramTitle);

  // The watch opens before the table is read, so no change falls between.
  WatchNetwork();
  LoadInterfaceTable(model_, *sources_);

  settingsFile_ = env_.settingsFile ? *env_.settingsFile : ResolveSettingsPath(env_.executableDir);
  const LoadResult loaded = LoadSettings(settingsFile_, *codec_, model_);
  if (!loaded.ok) {
    shell_.RemoveTrayIcon();
    shell_.ShowMessage(MessageIcon::kError, loaded.error);
    return 1;
  }
  StripFontLoad font = env_.openFont();
  if (!font.font) {
    shell_.RemoveTrayIcon();
    shell_.ShowMessage(MessageIcon::kError, font.error);
    return 1;
  }
  font_ = std::move(font.font);

  // What the settings file applies to the windows and the timer.
  shell_.SetMonitorTopmost(model_.alwaysOnTopOption() == AlwaysOnTop::kOn);
  shell_.SetMonitorResizable(model_.drawModeOption() == DrawMode::kResizable);
  ApplyGeometryFromModel();
  KeepMonitorOnAScreen();
  SetRefreshInterval(RefreshIntervalMs(model_));

  // The current proxy, shown in the dialog's proxy field.
  model_.proxyText = ProxGet(*registry_);
  // The web check's address, shown in the dialog's field (a file we cannot
  // read gives none).
  webCheckBase_ =
      ChooseWebCheckBase(env_.webCheckBase, LoadUserPreferences(PreferencesFile()).preferences);
  model_.webCheckBase = storedWebCheckBase_ = webCheckBase_;

  model_.resizePending = false;
  BuildDriveRows(model_, env_.system->ListFixedDrives(), loaded.packed);
  BuildItemRows(model_, loaded.packed);
  RenderAllGradients(model_, gradients_);
  ApplyMenuVisibility(model_);
  ApplyToolbarRule(model_);
  shell_.SetToolbarShown(model_.toolbarShown);

  engine_ = std::make_unique<MonitorEngine>(model_, *sources_, gradients_, *font_);
  TakeStartBaselines(engine_->state(), *sources_, MonotonicNowMs());
  refreshRunning_ = true;
  shell_.StartRefreshTimer(refreshMs_);
  upkeep_.Start(MouseOver());

  sources_->adapters = env_.system->LoadAdapterTable();
  const std::string adapterMessage = AdapterMessage(sources_->adapters.status);
  if (!adapterMessage.empty()) shell_.ShowMessage(MessageIcon::kError, adapterMessage);
  if (exiting_) return 0;

  shell_.PaintMonitor(engine_->composed(), engine_->composedHeight(), nullptr);
  shell_.ShowMonitor();
  StartHistory();
  TellSessionLimits();

  // Last: the web check, which waits with the event loop running, so the
  // timers and the menus keep working meanwhile.
  RunWebCheck();
  if (exiting_) return 0;
  return std::nullopt;
}

std::filesystem::path Program::PreferencesFile() const {
  return env_.configDir / kPreferencesFileName;
}

void Program::TellSessionLimits() {
  const std::filesystem::path file = PreferencesFile();
  PreferencesLoad prefs = LoadUserPreferences(file);
  if (!prefs.error.empty()) return;  // a file we cannot read is not overwritten
  bool told = false;
  if (!shell_.TrayIconShown() && TellOnce(prefs.preferences, kToldNoTrayKey, ProcessEnvironment)) {
    shell_.ShowNotice(kNoTrayText);
    told = true;
  }
  if (!shell_.PlacesWindows() &&
      TellOnce(prefs.preferences, kToldNativeWaylandKey, ProcessEnvironment)) {
    shell_.ShowNotice(kNativeWaylandText);
    told = true;
  }
  if (told) (void)SaveUserPreferences(file, prefs.preferences);
}

// --- The traffic history ----------------------------------------------------------

void Program::StartHistory() {
  if (!env_.keepHistory) return;
  // Without a preferences file (or with one that cannot be read) the
  // history keeps its defaults.
  const PreferencesLoad prefs = LoadUserPreferences(env_.configDir / kPreferencesFileName);
  const std::filesystem::path folder = env_.dataDir.empty() ? UserDataDir() : env_.dataDir;
  history_ =
      std::make_unique<HistoryKeeper>(*env_.system, folder / kHistoryFileName,
                                      ReadHistorySettings(prefs.preferences), WallClockNowMs());
  sources_->historyTotals = [this](const InterfaceRow& row) {
    return history_->TotalsFigure(row, WallClockNowMs());
  };
  historyBatches_ = history_->batches();
  TellHistory();
}

void Program::TellHistory() {
  for (const HistoryMessage& m : history_->TakeMessages()) {
    if (m.kind == HistoryMessage::Kind::kProblem) {
      shell_.ShowNotice(m.text);
    } else {
      shell_.NotifyFromTray(m.text);  // else the history window shows it
    }
  }
}

void Program::FlushHistory() {
  if (!history_ || exiting_) return;
  history_->Flush(WallClockNowMs());
  historyBatches_ = history_->batches();
  TellHistory();
}

void Program::OpenHistory() {
  shell_.OpenHistoryWindow();
}

std::string Program::ChangeHistorySettings(const HistorySettings& settings) {
  if (history_) history_->SetSettings(settings, WallClockNowMs());
  if (history_) TellHistory();
  const std::filesystem::path file = env_.configDir / kPreferencesFileName;
  PreferencesLoad prefs = LoadUserPreferences(file);
  // A file that cannot be read is not overwritten with only these keys.
  if (!prefs.error.empty()) return prefs.error;
  WriteHistorySettings(settings, prefs.preferences);
  return SaveUserPreferences(file, prefs.preferences);
}

void Program::RunWebCheck() {
  // No address (or one that cannot be asked): nothing to ask, and nothing
  // failed; the strip says so rather than 接続不能.
  if (!IsUsableWebCheckBase(webCheckBase_)) {
    web_.globalIp = kNotConfiguredText;
    return;
  }
  const std::string base = webCheckBase_;
  const Fetch fetch = [this, &base](const std::string& path, bool) {
    return shell_.HttpGet(WebCheckUrl(base, path), kWebCheckTimeout);
  };
  mirel::RunWebCheck(model_, *codec_, fetch, web_);
}

void Program::Exit() {
  if (exiting_) return;
  exiting_ = true;
  // The icon goes first: nothing may be left in the notification area.
  shell_.RemoveTrayIcon();
  // The last reading and batch of the history, whatever ends the program.
  if (history_) history_->Close(WallClockNowMs());
  refreshRunning_ = false;
  shell_.StopRefreshTimer();
  if (netWatch_) {
    shell_.StopWatchingDescriptor();
    shell_.StopNetworkTimer();
  }
  upkeep_.Stop();
  shell_.HideMonitor();
  dialogOpen_ = false;
  shell_.CloseDialog();
  shell_.SetToolbarShown(false);
  shell_.Quit(0);
}

void Program::BringToFront() {
  if (exiting_) return;
  // A message box that start-up (or a command) waits in comes along: it may
  // be what keeps the monitor from showing.
  shell_.RaiseMessage();
  // Before start-up shows the monitor, it shows it itself.
  if (!engine_) return;
  shell_.ShowMonitor();
  shell_.RaiseMonitor();
}

// --- The ticks -----------------------------------------------------------------

void Program::SetRefreshInterval(int intervalMs) {
  const int ms = std::max(1, intervalMs);
  if (ms == refreshMs_) return;
  refreshMs_ = ms;
  if (refreshRunning_) shell_.StartRefreshTimer(refreshMs_);
}

void Program::RefreshTick() {
  if (!engine_ || exiting_) return;
  if (history_) {
    // A reading and a batch at the first tick of each minute; the mark of a
    // used-up limit on the rate strips as of the last batch.
    history_->Tick(WallClockNowMs());
    engine_->state().overLimit =
        history_->AnyOverLimit() && history_->OverLimit(ChosenInterfaceName(model_, *sources_));
    if (history_->batches() != historyBatches_) {
      historyBatches_ = history_->batches();
      shell_.HistoryWritten();
    }
    TellHistory();
  }
  engine_->Tick(refreshMs_);
  shell_.SetMonitorResizable(model_.drawModeOption() == DrawMode::kResizable);
  if (engine_->fit) ApplyFit();
  // Once per tick, after any fit, so the stack is scaled once; only the rows
  // that changed are repainted.
  shell_.PaintMonitor(engine_->composed(), engine_->composedHeight(), &engine_->changedRows());
  if (engine_->toolbarCaption() != toolbarCaption_) {
    toolbarCaption_ = engine_->toolbarCaption();
    shell_.SetToolbarCaption(toolbarCaption_);
  }
  // The mouse-over choice may have changed meanwhile.
  upkeep_.Sync(MouseOver());
}

void Program::UpkeepTick() {
  if (!exiting_) upkeep_.Tick(MouseOver());
}

void Program::MonitorHidden() {
  upkeep_.WindowHidden();
}

void Program::PointerOverMonitor(bool over) {
  if (!exiting_) upkeep_.PointerOver(over, MouseOver());
}

// --- The monitor window's place ----------------------------------------------------

void Program::ApplyGeometryFromModel() {
  applyingGeometry_ = true;
  shell_.SetMonitorRect(MonitorRectFromTwips(model_.display));
  applyingGeometry_ = false;
}

void Program::SyncGeometryToModel() {
  if (applyingGeometry_) return;  // the model is the source right now
  model_.display = TwipsFromMonitorRect(shell_.MonitorRect(), hasDrawingArea_);
}

void Program::MonitorGeometryChanged() {
  SyncGeometryToModel();
}

void Program::KeepMonitorOnAScreen() {
  PixelRect rect = shell_.MonitorRect();
  if (const std::optional<PixelPoint> corner = BroughtOntoAScreen(rect, shell_.Screens())) {
    rect.x = corner->x;
    rect.y = corner->y;
    applyingGeometry_ = true;
    shell_.SetMonitorRect(rect);
    applyingGeometry_ = false;
  }
}

void Program::ApplyFit() {
  const WindowFit fit = *engine_->fit;
  engine_->fit.reset();
  model_.display.height = fit.heightTwips;
  model_.display.width = fit.widthTwips;
  model_.display.scaleHeight = fit.scaleHeight;
  const int width = engine_->composed().width();
  if (width <= 0) return;
  // No strip at all: the window keeps no drawing area, only the thinnest
  // height a window can have, and shows nothing.
  hasDrawingArea_ = fit.scaleHeight > 0;
  const int height = hasDrawingArea_ ? fit.scaleHeight : 1;
  // Only the size: the position may be in the middle of a drag. Resizes
  // only when the size differs, so the fixed size mode's fit on every tick
  // costs a comparison.
  const PixelRect now = shell_.MonitorRect();
  if (now.width == width && now.height == height) return;
  applyingGeometry_ = true;
  shell_.ResizeMonitor(width, height);
  applyingGeometry_ = false;
}

// --- Mouse and menus ----------------------------------------------------------------

void Program::SwitchClicked(std::uint32_t colour) {
  if (!engine_ || exiting_) return;
  const MonitorState& state = engine_->state();
  ApplySwitchToggle(*registry_, colour,
                    {state.Text(ItemKey::kProxySwitch), state.Text(ItemKey::kActiveScripting),
                     state.Text(ItemKey::kJavaApplet)});
}

const MenuModel& Program::OpenMenu(MenuOwner owner) {
  MenuModel& menu = menus_[static_cast<std::size_t>(owner)];
  menu = BuildMenu(*this);
  return menu;
}

void Program::ChooseMenuEntry(MenuOwner owner, int id) {
  if (exiting_) return;
  // A copy: what the entry does may open a menu again.
  const MenuModel menu = menus_[static_cast<std::size_t>(owner)];
  mirel::ChooseMenuEntry(*this, menu, id);
}

std::string Program::ReadCurrentProxy() {
  return ProxGet(*registry_);
}

bool Program::ReadProxyInUse() {
  return ProxyInUse(*registry_);
}

void Program::TellMenuFailure(const std::string& notice) {
  // With the dialog open, its status line tells.
  if (!dialogOpen_ && notices_.Pass(notice, MonotonicNowMs())) shell_.ShowNotice(notice);
}

void Program::CopyIp() {
  const std::string text = IpCopyText(web_.globalIp);
  shell_.SetClipboardText(text);
  if (text != kNoAddressText) return;
  const std::string notice = IpUnknownNotice(web_.globalIp);
  if (dialogOpen_) {
    model_.statusText = notice;
    shell_.RefreshDialog(DialogPart::kStatus);
  }
  TellMenuFailure(notice);
}

void Program::ChooseProxy(std::size_t index, const std::string& caption) {
  // A key that had to be created says "エラー" in the status line but holds
  // the choice: only a choice that was not stored is a failure to tell.
  const bool stored = ChooseProxyEntry(registry_->store(), model_, index, caption);
  shell_.RefreshDialog(DialogPart::kProxyText | DialogPart::kStatus);
  if (!stored) TellMenuFailure(ProxySwitchFailedNotice(caption));
}

void Program::UseProxy(bool on) {
  // The write of the proxy switch's "変更" button, reported as a menu's.
  const bool stored = registry_->StoreDword(kInternetSettingsKey, "ProxyEnable", on ? 1 : 0);
  model_.statusText = !stored ? kErrorText : on ? kProxyOnText : kProxyOffText;
  shell_.RefreshDialog(DialogPart::kStatus);
  if (!stored) TellMenuFailure(ProxyUseFailedNotice(on));
}

void Program::OpenOptions() {
  model_.statusText.clear();
  // The drive list shows the file systems mounted now, not only those of the
  // start; rows keep their settings by drive, so their images follow them.
  RefreshDriveRows(model_, env_.system->ListFixedDrives());
  RenderAllGradients(model_, gradients_);
  // "ＯＮ" makes the dialog topmost; "ＯＦＦ" leaves it as an earlier opening
  // made it.
  dialogOpen_ = true;
  shell_.OpenDialog({model_.alwaysOnTopOption() == AlwaysOnTop::kOn,
                     {model_.dialogLeft / kTwipsPerPixel, model_.dialogTop / kTwipsPerPixel}});
}

// --- The network ---------------------------------------------------------------------

void Program::WatchNetwork() {
  netWatch_ = env_.system->WatchNetwork();
  if (!netWatch_ || netWatch_->Descriptor() < 0) {
    netWatch_.reset();
    return;  // read at start-up only
  }
  shell_.WatchDescriptor(netWatch_->Descriptor());
}

void Program::NetworkReadable() {
  if (!netWatch_ || exiting_) return;
  const std::int64_t now = MonotonicNowMs();
  netBurst_.Drained(netWatch_->Drain(), now);
  if (std::optional<NetworkChanges> due = netBurst_.TakeDue(now)) {
    const NetworkUpdate update = ApplyNetworkChanges(model_, *sources_, *due);
    // An open dialog shows the list and the choice as they are now.
    if (update.listChanged || update.choiceChanged) shell_.RefreshDialog(DialogPart::kInterfaces);
  }
  // While a burst is gathered, the watch is drained when it is checked
  // rather than at every notice.
  const bool gathering = netBurst_.Gathering();
  if (gathering != netWatchPaused_) {
    netWatchPaused_ = gathering;
    if (gathering) {
      shell_.StopWatchingDescriptor();
    } else {
      shell_.WatchDescriptor(netWatch_->Descriptor());
    }
  }
  if (gathering)
    shell_.StartNetworkTimer(
        static_cast<int>(std::max<std::int64_t>(0, netBurst_.CheckAt() - now)));
}

// --- What the dialog's commands need -------------------------------------------------

std::optional<std::uint32_t> Program::ChooseColour(std::uint32_t initial) {
  return shell_.ChooseColour(initial);
}

void Program::RefreshDialog(DialogParts parts) {
  shell_.RefreshDialog(parts);
}

void Program::RefreshIntervalChanged() {
  SetRefreshInterval(RefreshIntervalMs(model_));
}

void Program::MouseOverModeChanged() {
  upkeep_.Sync(MouseOver());
}

void Program::ToolbarShownChanged() {
  shell_.SetToolbarShown(model_.toolbarShown);
}

void Program::ClearGraph() {
  if (engine_) engine_->ClearGraph();
}

void Program::RepaintGraphBackground() {
  if (engine_) engine_->RepaintGraphBackground();
}

void Program::ResetTotal(int which) {
  if (engine_) mirel::ResetTotal(engine_->state(), which);
}

void Program::ResetMonitorSize() {
  ResetWindowSize(model_, engine_ ? engine_->composedHeight() : 0);
  ApplyGeometryFromModel();
}

void Program::ResetMonitorPosition() {
  ResetWindowPosition(model_);
  ApplyGeometryFromModel();
}

void Program::SaveSettings() {
  // The window's place as it is now, whatever moved it.
  SyncGeometryToModel();
  const bool saved = SaveCommand(model_, settingsFile_, *codec_);
  // The web check's address lives in preferences.conf; that file is
  // written only when the field was changed.
  if (model_.webCheckBase == storedWebCheckBase_) return;
  const std::string failure = StoreWebCheckBase(PreferencesFile(), model_.webCheckBase);
  if (!failure.empty()) {
    // A failure of the settings file says more; it stays in the line.
    if (saved) model_.statusText = failure;
    return;
  }
  storedWebCheckBase_ = model_.webCheckBase;
  // Asked at the next start, which the strip now says instead of 未設定.
  if (web_.globalIp == kNotConfiguredText && !storedWebCheckBase_.empty())
    web_.globalIp = kRestartToShowText;
}

void Program::CloseDialog() {
  dialogOpen_ = false;
  shell_.CloseDialog();
  // Back from the dialog: the monitor shows again (restored if it was
  // minimised), on top or not as chosen.
  shell_.ShowMonitor();
  shell_.SetMonitorTopmost(model_.alwaysOnTopOption() == AlwaysOnTop::kOn);
  SetRefreshInterval(RefreshIntervalMs(model_));
  upkeep_.Sync(MouseOver());
}

void Program::OpenHomePage() {
  shell_.OpenUrl(kHomePage);
}

}  // namespace mirel
