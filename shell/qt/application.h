// Start-up, the two timers and exit: the program's life from the first
// window to the last event.
#pragma once

#include <QMessageBox>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "drawing/gradient.h"
#include "platform/platform.h"
#include "readings/network_burst.h"
#include "readings/registry.h"
#include "readings/sampling.h"
#include "readings/web_check_results.h"
#include "settings/settings_file.h"
#include "settings/settings_model.h"
#include "shell/qt/popup_menu_qt.h"

namespace mirel {

class MonitorEngine;
class MonitorWindow;
class SettingsDialog;
class StripFont;
class ToolbarWindow;
class TrayIcon;
class WindowUpkeep;

struct AppEnvironment {
  // Where the program's own files are; the settings file is looked up there.
  std::filesystem::path executableDir;
  // Used instead of the looked-up settings file when set.
  std::optional<std::filesystem::path> settingsFile;
  // The per-user folder of the browser-settings store.
  std::filesystem::path configDir;
  // Replaced by tests: the real platform otherwise.
  std::unique_ptr<SystemSource> system;
  std::unique_ptr<BrowserSettingsStore> store;
  // The start-up web check; the real one over HTTP when empty.
  std::function<void(const SettingsModel&, const TextCodec&, WebCheckResults&)> webCheck;
  // A message box; a modal QMessageBox when empty.
  std::function<void(QMessageBox::Icon, const QString& text)> message;
  // A word to the user that needs no answer; a QMessageBox that does not
  // wait (the monitor goes on meanwhile) when empty.
  std::function<void(const QString& text)> notice;
  // Where the web check asks (scheme, host, folder); the build's default when empty.
  std::string webCheckBase;
};

// No Q_OBJECT: it has no signals or slots of its own.
class Application : public QObject {
 public:
  explicit Application(AppEnvironment env, QObject* parent = nullptr);
  ~Application() override;

  // Runs the start-up. Returns the exit status when the program must end
  // already (the settings file could not be read: 1; exit chosen while the
  // start-up waited: 0), nullopt when the event loop should run.
  std::optional<int> Start();
  // Tray icon first, then the windows, then the event loop ends with 0.
  void Exit();
  bool exiting() const { return exiting_; }

  // Another start of the program asked for the monitor: show it, in front.
  void BringToFront();

  // The start-up message box: the whole text, as plain text, selectable.
  static std::unique_ptr<QMessageBox> MakeMessageBox(QMessageBox::Icon icon, const QString& text);

  // One refresh tick, as the refresh timer runs it.
  void RefreshTick();

  // Menu actions, shared by both menus.
  std::vector<ProxyMenuItem> ProxyItems();
  void ChooseProxy(int index, const std::string& caption);
  void CopyIp();
  void OpenOptions();
  // A left click on the monitor window, with the colour under the press.
  void ToggleByColour(std::uint32_t colour);

  SettingsModel& model() { return model_; }
  WebCheckResults& web() { return web_; }
  RegistryAccess& registry() { return *registry_; }
  MonitorEngine* engine() { return engine_.get(); }
  MonitorWindow& monitor() { return *monitor_; }
  ToolbarWindow& toolbar() { return *toolbar_; }
  TrayIcon& tray() { return *tray_; }
  PopupMenuQt& trayMenu() { return *trayMenu_; }
  PopupMenuQt& monitorMenu() { return *monitorMenu_; }
  WindowUpkeep& upkeep() { return *upkeep_; }
  QTimer& refreshTimer() { return refreshTimer_; }
  // Null until "オプション" first opens it.
  SettingsDialog* dialog() { return dialog_.get(); }
  const std::filesystem::path& settingsFile() const { return settingsFile_; }

  // The adapter-table messages; empty for a status that shows none.
  static QString AdapterMessage(AdapterTableStatus status);

 private:
  void ShowMessage(QMessageBox::Icon icon, const QString& text);
  void SetRefreshInterval(int intervalMs);
  void ApplyMonitorGeometryFromModel();
  void SyncMonitorGeometryToModel();
  void ApplyFit();
  void CreateDialog();
  // Interfaces, routes and addresses: watched from the event loop, so the
  // choice and the LAN address follow the machine without any polling.
  void WatchNetwork();
  void NetworkChanged();
  // What this session cannot give, said once per desktop.
  void TellSessionLimits();
  void ShowNotice(const QString& text);
  // The tray menu at the host's position, or (natively on Wayland, where
  // no client can place a menu on the screen) below the monitor window.
  void OpenTrayMenu(QPoint at);

  AppEnvironment env_;
  SettingsModel model_;
  WebCheckResults web_;
  std::unique_ptr<TextCodec> codec_;
  std::unique_ptr<RegistryAccess> registry_;
  std::unique_ptr<TickSources> sources_;
  GradientImages gradients_;
  std::unique_ptr<StripFont> font_;
  std::unique_ptr<MonitorEngine> engine_;
  std::filesystem::path settingsFile_;

  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<MonitorWindow> monitor_;
  std::unique_ptr<ToolbarWindow> toolbar_;
  std::unique_ptr<PopupMenuQt> trayMenu_;
  std::unique_ptr<PopupMenuQt> monitorMenu_;
  std::unique_ptr<WindowUpkeep> upkeep_;
  std::unique_ptr<SettingsDialog> dialog_;
  QTimer refreshTimer_;
  std::unique_ptr<NetworkWatch> netWatch_;
  std::unique_ptr<QSocketNotifier> netNotifier_;
  NetworkBurst netBurst_;
  QTimer netBurstTimer_;

  bool exiting_ = false;
  bool nativeWayland_ = false;
  bool applyingGeometry_ = false;
};

}  // namespace mirel
