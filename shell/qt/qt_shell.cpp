#include "shell/qt/qt_shell.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QCursor>
#include <QDesktopServices>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QUrl>
#include <QWindow>
#include <cmath>
#include <iostream>

#include "behaviour/command_line.h"
#include "behaviour/desktop_session.h"
#include "behaviour/program.h"
#include "shell/qt/history_window.h"
#include "shell/qt/http_fetcher.h"
#include "shell/qt/monitor_window.h"
#include "shell/qt/popup_menu_qt.h"
#include "shell/qt/settings_dialog.h"
#include "shell/qt/toolbar_window.h"
#include "shell/qt/tray_icon.h"

#if defined(MIREL_HAVE_XCB)
#include <xcb/xcb.h>

#include <cstdlib>
#endif

namespace mirel {

namespace {

QRect ToQRect(const PixelRect& r) {
  return QRect(r.x, r.y, r.width, r.height);
}

PixelRect ToPixelRect(const QRect& r) {
  return {r.x(), r.y(), r.width(), r.height()};
}

QColor ToQColor(std::uint32_t colour) {
  return QColor(static_cast<int>(colour & 0xFFu), static_cast<int>((colour >> 8) & 0xFFu),
                static_cast<int>((colour >> 16) & 0xFFu));
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(QMessageBox::Icon icon, const QString& text) {
  auto box =
      std::make_unique<QMessageBox>(icon, QString::fromUtf8(kProgramTitle), text, QMessageBox::Ok);
  // Error texts carry file names and values from the settings file: never
  // markup, and the user may want to copy them.
  box->setTextFormat(Qt::PlainText);
  box->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return box;
}

QPoint NativeCursorPos() {
#if defined(MIREL_HAVE_XCB)
  if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()) {
    xcb_connection_t* connection = x11->connection();
    const xcb_setup_t* setup = xcb_get_setup(connection);
    xcb_screen_iterator_t screen = xcb_setup_roots_iterator(setup);
    if (screen.rem > 0) {
      xcb_query_pointer_reply_t* reply = xcb_query_pointer_reply(
          connection, xcb_query_pointer(connection, screen.data->root), nullptr);
      if (reply != nullptr) {
        const QPoint at(reply->root_x, reply->root_y);
        std::free(reply);
        return at;
      }
    }
  }
#endif
  // Elsewhere Qt's position, which is exact wherever the ratio is 1.
  const QPoint logical = QCursor::pos();
  const QScreen* screen = QGuiApplication::screenAt(logical);
  const qreal ratio = screen != nullptr ? screen->devicePixelRatio() : 1.0;
  return QPoint(static_cast<int>(std::lround(logical.x() * ratio)),
                static_cast<int>(std::lround(logical.y() * ratio)));
}

QtShell::QtShell()
    : tray_(std::make_unique<TrayIcon>(this)),
      monitor_(std::make_unique<MonitorWindow>()),
      toolbar_(std::make_unique<ToolbarWindow>()) {
  // A coarse timer may be put off to fire with the refresh timer, hundreds
  // of milliseconds late; this one runs only while the window needs it.
  upkeepTimer_.setTimerType(Qt::PreciseTimer);
  networkTimer_.setSingleShot(true);
  // A coarse timer may fire a little early, before a burst is due.
  networkTimer_.setTimerType(Qt::PreciseTimer);
  monitor_->installEventFilter(this);

  // What the session lets the window do.
  const std::string platform = QGuiApplication::platformName().toStdString();
  const bool wayland = IsWaylandSession(ProcessEnvironment);
  nativeWayland_ = wayland && platform.rfind("wayland", 0) == 0;
  cursorKnown_ = mirel::CursorPositionKnown(platform, wayland);
  if (!cursorKnown_) monitor_->UseSeeThroughVeil();
  monitor_->SetFixedSizeHints(nativeWayland_);
}

QtShell::~QtShell() {
  monitor_->removeEventFilter(this);
}

void QtShell::Connect(Program& program) {
  program_ = &program;
  auto menu = [&program](MenuOwner owner) {
    return std::make_unique<PopupMenuQt>(
        [&program, owner](int id) { program.ChooseMenuEntry(owner, id); });
  };
  trayMenu_ = menu(MenuOwner::kTray);
  trayMenu_->menu()->setObjectName("mnuPop");
  monitorMenu_ = menu(MenuOwner::kMonitor);
  monitorMenu_->menu()->setObjectName("mnuPop2");

  tray_->onMenuRequested = [this](QPoint at) { OpenTrayMenu(at); };
  monitor_->onRightPress = [this, &program](QPoint at) {
    monitorMenu_->Popup(program.OpenMenu(MenuOwner::kMonitor), at);
  };
  monitor_->onLeftClick = [&program](std::uint32_t colour) { program.SwitchClicked(colour); };
  monitor_->onClose = [&program] { program.Exit(); };
  monitor_->onGeometryChanged = [&program] { program.MonitorGeometryChanged(); };
  // Where the cursor's position is unknown, these tell the upkeep.
  monitor_->onPointerOver = [&program](bool over) { program.PointerOverMonitor(over); };
  connect(&refreshTimer_, &QTimer::timeout, this, [&program] { program.RefreshTick(); });
  connect(&upkeepTimer_, &QTimer::timeout, this, [&program] { program.UpkeepTick(); });
  connect(&networkTimer_, &QTimer::timeout, this, [&program] { program.NetworkReadable(); });
}

bool QtShell::eventFilter(QObject* watched, QEvent* event) {
  if (program_ != nullptr && watched == monitor_.get() &&
      (event->type() == QEvent::Hide || event->type() == QEvent::WindowStateChange)) {
    program_->MonitorHidden();
  }
  return false;
}

void QtShell::OpenTrayMenu(QPoint at) {
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
  trayMenu_->Popup(program_->OpenMenu(MenuOwner::kTray), at);
}

// --- The desktop -------------------------------------------------------------------

void QtShell::ShowMessage(MessageIcon icon, const std::string& text) {
  MakeMessageBox(icon == MessageIcon::kError ? QMessageBox::Critical : QMessageBox::Information,
                 QString::fromStdString(text))
      ->exec();
}

void QtShell::RaiseMessage() {
  if (QWidget* modal = QApplication::activeModalWidget()) {
    modal->raise();
    modal->activateWindow();
  }
}

void QtShell::ShowNotice(const std::string& text) {
  // Also on the standard error, which a session's log keeps.
  std::cerr << "mirel9x: " << text << "\n";
  // From the tray icon where a tray shows it; a small box that waits for
  // nothing elsewhere.
  if (tray_ && tray_->Shown() &&
      tray_->Notify(QString::fromUtf8(kProgramTitle), QString::fromStdString(text))) {
    return;
  }
  QMessageBox* box =
      MakeMessageBox(QMessageBox::Information, QString::fromStdString(text)).release();
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}

void QtShell::SetClipboardText(const std::string& text) {
  QGuiApplication::clipboard()->setText(QString::fromStdString(text));
}

void QtShell::OpenUrl(const std::string& url) {
  QGuiApplication::setOverrideCursor(Qt::WaitCursor);
  QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
  QGuiApplication::restoreOverrideCursor();
}

std::optional<std::uint32_t> QtShell::ChooseColour(std::uint32_t initial) {
  const QColor chosen = QColorDialog::getColor(ToQColor(initial), dialog_.get());
  if (!chosen.isValid()) return std::nullopt;
  return Rgb(chosen.red(), chosen.green(), chosen.blue());
}

FetchReply QtShell::HttpGet(const std::string& url, std::chrono::milliseconds timeout) {
  if (!fetcher_) fetcher_ = std::make_unique<HttpFetcher>();
  return fetcher_->GetUrl(url, timeout);
}

std::vector<ScreenArea> QtShell::Screens() {
  std::vector<ScreenArea> out;
  const QScreen* primary = QGuiApplication::primaryScreen();
  for (const QScreen* screen : QGuiApplication::screens()) {
    out.push_back({ToPixelRect(screen->geometry()), ToPixelRect(screen->availableGeometry()),
                   screen == primary});
  }
  return out;
}

void QtShell::Quit(int status) {
  if (history_) history_->hide();  // the monitor's other windows are hidden by then
  QCoreApplication::exit(status);
}

// --- Tray --------------------------------------------------------------------------

void QtShell::AddTrayIcon(const std::string& tip) {
  tray_->icon().setToolTip(QString::fromStdString(tip));
  tray_->Add();
}

void QtShell::RemoveTrayIcon() {
  tray_->Remove();
}

bool QtShell::TrayIconShown() {
  return tray_->Shown();
}

bool QtShell::PlacesWindows() {
  return !nativeWayland_;
}

bool QtShell::CursorPositionKnown() {
  return cursorKnown_;
}

// --- The monitor window ------------------------------------------------------------

void QtShell::SetMonitorRect(const PixelRect& rect) {
  monitor_->Place(ToQRect(rect));
}

PixelRect QtShell::MonitorRect() {
  return ToPixelRect(monitor_->geometry());
}

void QtShell::ResizeMonitor(int width, int height) {
  monitor_->SetSize(QSize(width, height));  // rescales through the resize event
}

void QtShell::SetMonitorTopmost(bool topmost) {
  monitor_->SetAlwaysOnTop(topmost);
}

void QtShell::SetMonitorResizable(bool resizable) {
  monitor_->SetResizable(resizable);
}

void QtShell::ShowMonitor() {
  monitor_->ShowRestored();
  // Some window managers move a window that is first shown at negative
  // coordinates: the place asked for is taken again.
  if (!monitorShownOnce_) {
    monitorShownOnce_ = true;
    monitor_->ReapplyPosition();
  }
}

void QtShell::HideMonitor() {
  monitor_->hide();
}

void QtShell::RaiseMonitor() {
  monitor_->raise();
  monitor_->activateWindow();
}

bool QtShell::MonitorShownOnScreen() {
  return monitor_->ShownOnScreen();
}

void QtShell::SetMonitorVeiled(bool veiled) {
  monitor_->SetVeiled(veiled);
}

void QtShell::PaintMonitor(const Canvas& canvas, int height, const std::vector<RowSpan>* changed) {
  monitor_->ShowCanvas(canvas, height, changed);
}

std::optional<PixelPoint> QtShell::CursorPosition() {
  if (!cursorKnown_) return std::nullopt;
  const QPoint at = NativeCursorPos();
  return PixelPoint{at.x(), at.y()};
}

PixelRect QtShell::MonitorDeviceRect() {
  const qreal ratio = monitor_->devicePixelRatioF();
  const QRect g = monitor_->geometry();
  auto device = [ratio](int v) { return static_cast<int>(std::lround(v * ratio)); };
  return {device(g.x()), device(g.y()), device(g.width()), device(g.height())};
}

// --- The toolbar window -------------------------------------------------------------

void QtShell::SetToolbarShown(bool shown) {
  toolbar_->SetShown(shown);
}

void QtShell::SetToolbarCaption(const std::string& caption) {
  toolbar_->SetCaption(caption);
}

// --- Timers ----------------------------------------------------------------------------

void QtShell::StartRefreshTimer(int intervalMs) {
  refreshTimer_.start(intervalMs);
}

void QtShell::StopRefreshTimer() {
  refreshTimer_.stop();
}

void QtShell::StartUpkeepTimer(int intervalMs) {
  upkeepTimer_.start(intervalMs);
}

void QtShell::StopUpkeepTimer() {
  upkeepTimer_.stop();
}

void QtShell::WatchDescriptor(std::intptr_t descriptor) {
  if (notifier_ && notifier_->socket() == static_cast<qintptr>(descriptor)) {
    notifier_->setEnabled(true);  // watched again after a burst
    return;
  }
  notifier_ =
      std::make_unique<QSocketNotifier>(static_cast<qintptr>(descriptor), QSocketNotifier::Read);
  connect(notifier_.get(), &QSocketNotifier::activated, this, [this] {
    if (program_ != nullptr) program_->NetworkReadable();
  });
}

void QtShell::StopWatchingDescriptor() {
  if (notifier_) notifier_->setEnabled(false);
}

void QtShell::StartNetworkTimer(int delayMs) {
  networkTimer_.start(delayMs);
}

void QtShell::StopNetworkTimer() {
  networkTimer_.stop();
}

// --- The settings dialog -----------------------------------------------------------

void QtShell::OpenDialog(const DialogOpening& opening) {
  if (program_ == nullptr) return;
  // Built on first use: the model holds every setting, and an idle monitor
  // should not carry six pages of widgets and their fonts.
  if (!dialog_) {
    dialog_ = std::make_unique<SettingsDialog>(program_->settings(), program_->gradients(),
                                               program_->dialog());
    dialog_->move(opening.position.x, opening.position.y);
  }
  dialog_->Open(opening.makeTopmost, Screens());
}

void QtShell::OpenHistoryWindow() {
  if (program_ == nullptr || program_->stripFont() == nullptr) return;
  // Built on first use, as the dialog is.
  if (!history_) {
    Program& program = *program_;
    HistoryWindowHooks hooks;
    hooks.store = [&program] { return program.history() ? program.history()->store() : nullptr; };
    hooks.unavailable = [&program] {
      return program.history() ? program.history()->Unavailable() : std::string();
    };
    hooks.flush = [&program] { program.FlushHistory(); };
    hooks.nowSeconds = [] { return WallClockNowMs() / 1000; };
    hooks.settings = [&program] {
      return program.history() ? program.history()->settings() : HistorySettings{};
    };
    hooks.settingsChanged = [&program](const HistorySettings& s) {
      return program.ChangeHistorySettings(s);
    };
    hooks.notificationsShown = [this] { return tray_->Shown(); };
    history_ = std::make_unique<HistoryWindow>(hooks, program.settings(), program.gradients(),
                                               *program.stripFont());
  }
  history_->Open();
}

void QtShell::HistoryWritten() {
  if (history_ && history_->isVisible()) history_->Refresh();
}

bool QtShell::NotifyFromTray(const std::string& text) {
  return tray_->Notify(QStringLiteral("通信履歴 - ") + QString::fromUtf8(kProgramTitle),
                       QString::fromStdString(text));
}

void QtShell::CloseDialog() {
  if (dialog_) dialog_->hide();
}

void QtShell::RefreshDialog(DialogParts parts) {
  if (dialog_) dialog_->Refresh(parts);
}

}  // namespace mirel
