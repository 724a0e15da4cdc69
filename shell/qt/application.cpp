#include "shell/qt/application.h"

#include <QApplication>
#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>
#include <QWindow>

#include "behaviour/desktop_session.h"
#include "behaviour/popup_menu.h"
#include "behaviour/settings_commands.h"
#include "behaviour/switch_toggle.h"
#include "drawing/monitor_engine.h"
#include "drawing/strip_font.h"
#include "readings/web_check.h"
#include "settings/item_catalogue.h"
#include "settings/user_preferences.h"
#include "shell/qt/command_line.h"
#include "shell/qt/http_fetcher.h"
#include "shell/qt/monitor_window.h"
#include "shell/qt/settings_dialog.h"
#include "shell/qt/toolbar_window.h"
#include "shell/qt/tray_icon.h"
#include "shell/qt/window_upkeep.h"

namespace mirel {

Application::Application(AppEnvironment env, QObject* parent)
    : QObject(parent), env_(std::move(env)) {
  codec_ = MakeAnsiCodec();
  if (!env_.system) env_.system = MakeSystemSource();
  if (env_.configDir.empty()) env_.configDir = UserConfigDir();
  if (!env_.store) env_.store = MakeBrowserSettingsStore(env_.configDir);
  registry_ = std::make_unique<RegistryAccess>(*env_.store);
  registry_->onWriteError = [this] {
    ShowMessage(QMessageBox::Critical, QString::fromUtf8(kErrorText));
  };
  sources_ = std::unique_ptr<TickSources>(new TickSources{*env_.system, *registry_, web_, {}, {}});

  tray_ = std::make_unique<TrayIcon>();
  monitor_ = std::make_unique<MonitorWindow>();
  toolbar_ = std::make_unique<ToolbarWindow>();

  PopupMenuHooks hooks;
  hooks.proxyItems = [this] { return ProxyItems(); };
  hooks.proxyChosen = [this](int k, const std::string& caption) { ChooseProxy(k, caption); };
  hooks.options = [this] { OpenOptions(); };
  hooks.copyIp = [this] { CopyIp(); };
  hooks.exit = [this] { Exit(); };
  hooks.ipCopyVisible = [this] { return model_.ipCopyEntryVisible; };
  hooks.proxyVisible = [this] { return model_.proxyEntryVisible; };
  trayMenu_ = std::make_unique<PopupMenuQt>(hooks);
  monitorMenu_ = std::make_unique<PopupMenuQt>(hooks);
  monitorMenu_->menu()->setObjectName("mnuPop2");

  tray_->onMenuRequested = [this](QPoint at) { OpenTrayMenu(at); };
  monitor_->onRightPress = [this](QPoint at) { monitorMenu_->Popup(at); };
  monitor_->onLeftClick = [this](std::uint32_t colour) { ToggleByColour(colour); };
  monitor_->onClose = [this] { Exit(); };
  monitor_->onGeometryChanged = [this] { SyncMonitorGeometryToModel(); };

  upkeep_ =
      std::make_unique<WindowUpkeep>(*monitor_, [this] { return model_.mouseOverMode() == 1; });

  // What the session lets the window do (see desktop_session.h).
  const std::string platform = QGuiApplication::platformName().toStdString();
  const bool wayland = IsWaylandSession(ProcessEnvironment);
  nativeWayland_ = wayland && platform.rfind("wayland", 0) == 0;
  if (!CursorPositionKnown(platform, wayland)) {
    monitor_->UseSeeThroughVeil();
    upkeep_->SetCursorKnown(false);
  }
  monitor_->SetFixedSizeHints(nativeWayland_);
  monitor_->onPointerOver = [this](bool over) { upkeep_->PointerOver(over); };
  connect(&refreshTimer_, &QTimer::timeout, this, [this] { RefreshTick(); });
}

Application::~Application() = default;

void Application::ShowMessage(QMessageBox::Icon icon, const QString& text) {
  if (env_.message) {
    env_.message(icon, text);
    return;
  }
  MakeMessageBox(icon, text)->exec();
}

std::unique_ptr<QMessageBox> Application::MakeMessageBox(QMessageBox::Icon icon,
                                                         const QString& text) {
  auto box =
      std::make_unique<QMessageBox>(icon, QString::fromUtf8(kProgramTitle), text, QMessageBox::Ok);
  // Error texts carry file names and values from the settings file: never
  // markup, and the user may want to copy them.
  box->setTextFormat(Qt::PlainText);
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return box;
}

QString Application::AdapterMessage(AdapterTableStatus status) {
  switch (status) {
    case AdapterTableStatus::kNotSupported:
      return QStringLiteral("このバージョンのOSでこの機能はサポートされていません");
    case AdapterTableStatus::kInvalidParameter:
      return QStringLiteral("出力バッファへのアクセスが許可されていないか、パラメータが不正です");
    case AdapterTableStatus::kNoAdapters:
      return QStringLiteral("このコンピュータにはアダプタ情報が存在しません");
    case AdapterTableStatus::kOk:
    case AdapterTableStatus::kOtherFailure:
      break;
  }
  return {};
}

std::optional<int> Application::Start() {
  // The tray icon comes first, so the program is reachable even while a
  // message box of the start-up is open.
  tray_->Add();

  // The watch opens before the table is read, so no change falls between.
  WatchNetwork();
  LoadInterfaceTable(model_, *sources_);

  settingsFile_ = env_.settingsFile ? *env_.settingsFile : ResolveSettingsPath(env_.executableDir);
  const LoadResult loaded = LoadSettings(settingsFile_, *codec_, model_);
  if (!loaded.ok) {
    tray_->Remove();
    ShowMessage(QMessageBox::Critical, QString::fromStdString(loaded.error));
    return 1;
  }
#ifdef _WIN32
  StripFontLoad font = StripFont::OpenFromFolder(env_.executableDir / "fonts");
#else
  StripFontLoad font = StripFont::Open();
#endif
  if (!font.font) {
    tray_->Remove();
    ShowMessage(QMessageBox::Critical, QString::fromStdString(font.error));
    return 1;
  }
  font_ = std::move(font.font);

  // What the settings file applies to the windows and the timer.
  monitor_->SetAlwaysOnTop(model_.alwaysOnTop() == 0);
  monitor_->SetResizable(model_.drawMode() == 0);
  ApplyMonitorGeometryFromModel();
  monitor_->KeepOnAScreen();
  SetRefreshInterval(model_.updateInterval * 500);

  // The current proxy, shown in the dialog's proxy field.
  model_.proxyText = ProxGet(*registry_);

  model_.resizePending = false;
  BuildDriveRows(model_, env_.system->ListFixedDrives(), loaded.packed);
  BuildItemRows(model_, loaded.packed);
  RenderAllGradients(model_, gradients_);
  ApplyMenuVisibility(model_);

  if (!model_.toolbarShown) {
    model_.toolbarCpu = model_.toolbarMemory = model_.toolbarReceive = model_.toolbarSend = false;
    model_.toolbarBoxesEnabled = false;
  }
  toolbar_->SetShown(model_.toolbarShown);

  engine_ = std::make_unique<MonitorEngine>(model_, *sources_, gradients_, *font_);
  TakeStartBaselines(engine_->state(), *sources_, MonotonicNowMs());
  refreshTimer_.start();
  upkeep_->Start();

  sources_->adapters = env_.system->LoadAdapterTable();
  const QString adapterMessage = AdapterMessage(sources_->adapters.status);
  if (!adapterMessage.isEmpty()) ShowMessage(QMessageBox::Critical, adapterMessage);
  if (exiting_) return 0;

  monitor_->ShowCanvas(engine_->composed(), engine_->composedHeight());
  monitor_->show();
  monitor_->ReapplyPosition();
  TellSessionLimits();

  // Last: the web check, which waits in a local event loop, so the timers and
  // the menus keep working meanwhile.
  if (env_.webCheck) {
    env_.webCheck(model_, *codec_, web_);
  } else {
    HttpFetcher fetcher(env_.webCheckBase.empty() ? std::string(kDefaultWebCheckBase)
                                                  : env_.webCheckBase);
    RunWebCheck(model_, *codec_, fetcher.AsFetch(), web_);
  }
  if (exiting_) return 0;
  return std::nullopt;
}

void Application::ShowNotice(const QString& text) {
  if (env_.notice) {
    env_.notice(text);
    return;
  }
  QMessageBox* box = MakeMessageBox(QMessageBox::Information, text).release();
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

void Application::TellSessionLimits() {
  const std::filesystem::path file = env_.configDir / kPreferencesFileName;
  PreferencesLoad prefs = LoadUserPreferences(file);
  if (!prefs.error.empty()) return;  // a file we cannot read is not overwritten
  bool told = false;
  if (!tray_->Shown() && TellOnce(prefs.preferences, kToldNoTrayKey, ProcessEnvironment)) {
    ShowNotice(QString::fromUtf8(kNoTrayText));
    told = true;
  }
  if (nativeWayland_ && TellOnce(prefs.preferences, kToldNativeWaylandKey, ProcessEnvironment)) {
    ShowNotice(QString::fromUtf8(kNativeWaylandText));
    told = true;
  }
  if (told) (void)SaveUserPreferences(file, prefs.preferences);
}

void Application::OpenTrayMenu(QPoint at) {
  if (nativeWayland_) {
    // A popup of the monitor window, below it: the compositor places it
    // there, where a menu of its own would be a window in the middle. Qt
    // can open a popup only once the program has had a press; before that
    // the right click on the monitor is the way (said once at start).
    if (!monitor_->hadPress()) return;
    QMenu* menu = trayMenu_->menu();
    menu->winId();
    if (menu->windowHandle() != nullptr && monitor_->windowHandle() != nullptr)
      menu->windowHandle()->setTransientParent(monitor_->windowHandle());
    at = monitor_->mapToGlobal(QPoint(0, monitor_->height()));
  }
  trayMenu_->Popup(at);
}

void Application::CreateDialog() {
  DialogHooks hooks;
  hooks.setRefreshInterval = [this](int ms) { SetRefreshInterval(ms); };
  hooks.setToolbarWindowShown = [this](bool shown) { toolbar_->SetShown(shown); };
  hooks.clearGraph = [this] { engine_->ClearGraph(); };
  hooks.graphBackColourChanged = [this] { engine_->RepaintGraphBackground(); };
  hooks.syncGeometryToModel = [this] { SyncMonitorGeometryToModel(); };
  hooks.applyGeometryFromModel = [this] { ApplyMonitorGeometryFromModel(); };
  hooks.composedHeight = [this] { return engine_->composedHeight(); };
  hooks.resetTotal = [this](int which) { ResetTotal(engine_->state(), which); };
  hooks.menusChanged = [] {};  // both menus read the visibility on opening
  hooks.closed = [this] {
    // Back from the dialog: the monitor shows again (restored if it was
    // minimised), on top or not as chosen.
    monitor_->ShowRestored();
    monitor_->SetAlwaysOnTop(model_.alwaysOnTop() == 0);
    SetRefreshInterval(model_.updateInterval * 500);
    upkeep_->Sync();
  };
  dialog_ = std::make_unique<SettingsDialog>(model_, gradients_, settingsFile_, hooks, nullptr);
}

void Application::WatchNetwork() {
  netWatch_ = env_.system->WatchNetwork();
  if (!netWatch_ || netWatch_->Descriptor() < 0) {
    netWatch_.reset();
    return;  // read at start-up only
  }
  netNotifier_ = std::make_unique<QSocketNotifier>(static_cast<qintptr>(netWatch_->Descriptor()),
                                                   QSocketNotifier::Read);
  connect(netNotifier_.get(), &QSocketNotifier::activated, this, [this] { NetworkChanged(); });
  netBurstTimer_.setSingleShot(true);
  // A coarse timer may fire a little early, before the burst is due.
  netBurstTimer_.setTimerType(Qt::PreciseTimer);
  connect(&netBurstTimer_, &QTimer::timeout, this, [this] { NetworkChanged(); });
}

void Application::NetworkChanged() {
  if (!netWatch_ || exiting_) return;
  const std::int64_t now = MonotonicNowMs();
  netBurst_.Drained(netWatch_->Drain(), now);
  if (std::optional<NetworkChanges> due = netBurst_.TakeDue(now)) {
    const NetworkUpdate update = ApplyNetworkChanges(model_, *sources_, *due);
    // An open dialog shows the list and the choice as they are now.
    if (dialog_ && (update.listChanged || update.choiceChanged)) dialog_->RefreshInterfaceList();
  }
  // While a burst is gathered, the watch is drained when it is checked
  // rather than at every notice.
  netNotifier_->setEnabled(!netBurst_.Gathering());
  if (netBurst_.Gathering()) {
    netBurstTimer_.start(static_cast<int>(std::max<std::int64_t>(0, netBurst_.CheckAt() - now)));
  }
}

void Application::SetRefreshInterval(int intervalMs) {
  refreshTimer_.setInterval(std::max(1, intervalMs));
}

void Application::RefreshTick() {
  if (!engine_ || exiting_) return;
  engine_->Tick(refreshTimer_.interval());
  monitor_->SetResizable(model_.drawMode() == 0);
  if (engine_->fit) ApplyFit();
  // Once per tick, after any fit, so the stack is scaled once; only the rows
  // that changed are repainted.
  monitor_->ShowCanvas(engine_->composed(), engine_->composedHeight(), &engine_->changedRows());
  toolbar_->SetCaption(engine_->toolbarCaption());
  // The mouse-over choice may have changed in the dialog meanwhile.
  upkeep_->Sync();
}

void Application::ApplyFit() {
  const WindowFit fit = *engine_->fit;
  engine_->fit.reset();
  applyingGeometry_ = true;
  model_.display.height = fit.heightTwips;
  model_.display.width = fit.widthTwips;
  model_.display.scaleHeight = fit.scaleHeight;
  // Only the size: the position may be in the middle of a drag. Resizes
  // only when the size differs, so the fixed size mode's fit on every tick
  // costs a comparison.
  monitor_->FitToCanvas(engine_->composed().width(), fit.scaleHeight);
  applyingGeometry_ = false;
}

void Application::ApplyMonitorGeometryFromModel() {
  applyingGeometry_ = true;
  monitor_->ApplyGeometryTwips(model_.display);
  applyingGeometry_ = false;
}

void Application::SyncMonitorGeometryToModel() {
  if (applyingGeometry_) return;  // the model is the source right now
  model_.display = monitor_->GeometryTwips();
}

std::vector<ProxyMenuItem> Application::ProxyItems() {
  const PopupMenuModel menu = BuildPopupMenu(*registry_, model_);
  std::vector<ProxyMenuItem> items;
  items.reserve(menu.proxyEntries.size());
  for (const ProxyMenuEntry& e : menu.proxyEntries) items.push_back({e.caption, e.checked});
  return items;
}

void Application::ChooseProxy(int index, const std::string& caption) {
  ChooseProxyEntry(registry_->store(), model_, static_cast<std::size_t>(index), caption);
  if (dialog_) dialog_->RefreshFromModel();  // proxy field and status line
}

void Application::ToggleByColour(std::uint32_t colour) {
  if (!engine_) return;
  const MonitorState& state = engine_->state();
  ApplySwitchToggle(*registry_, colour, {state.Text(107), state.Text(108), state.Text(109)});
}

void Application::CopyIp() {
  QGuiApplication::clipboard()->setText(QString::fromStdString(IpCopyText(web_.globalIp)));
}

void Application::OpenOptions() {
  model_.statusText.clear();
  // The drive list shows the file systems mounted now, not only those of the
  // start; rows keep their settings by drive, so their images follow them.
  RefreshDriveRows(model_, env_.system->ListFixedDrives());
  RenderAllGradients(model_, gradients_);
  // The dialog is built on first use: the model holds every setting, and an
  // idle monitor should not carry six pages of widgets and their fonts.
  if (!dialog_)
    CreateDialog();
  else
    dialog_->RefreshFromModel();
  dialog_->Open();
}

void Application::BringToFront() {
  if (exiting_) return;
  // A message box that start-up (or a command) waits in comes along: it may
  // be what keeps the monitor from showing.
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->raise();
    modal->activateWindow();
  }
  // Before start-up shows the monitor, it shows it itself.
  if (!engine_) return;
  monitor_->setWindowState(monitor_->windowState() & ~Qt::WindowMinimized);
  monitor_->show();
  monitor_->raise();
  monitor_->activateWindow();
}

void Application::Exit() {
  if (exiting_) return;
  exiting_ = true;
  // The icon goes first: nothing may be left in the notification area.
  tray_->Remove();
  refreshTimer_.stop();
  if (netNotifier_) netNotifier_->setEnabled(false);
  netBurstTimer_.stop();
  upkeep_->Stop();
  monitor_->hide();
  if (dialog_) dialog_->hide();
  toolbar_->hide();
  QCoreApplication::exit(0);
}

}  // namespace mirel
