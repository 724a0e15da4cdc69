#include "shell/win32/win32_shell.h"

#include <commdlg.h>
#include <shellapi.h>
#include <winsock2.h>

#include <cstring>

#include "platform/windows/wide_text.h"
#include "settings/settings_model.h"
#include "shell/win32/dpi.h"
#include "shell/win32/popup_menu_win32.h"

namespace mirel::win32 {

namespace {

using windows_source::Widen;

HICON LoadProgramIcon(HINSTANCE instance, int size) {
  return static_cast<HICON>(
      LoadImageW(instance, L"IDI_ICON1", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

PixelRect ToPixelRect(const RECT& r) {
  return PixelRect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

// Positions may be negative (a monitor left of the primary one).
LONG Down(LONG v, int scale) {
  return v >= 0 ? v / scale : -((-v + scale - 1) / scale);
}

RECT Divided(const RECT& r, int scale) {
  return RECT{Down(r.left, scale), Down(r.top, scale),
              Down(r.left, scale) + (r.right - r.left) / scale,
              Down(r.top, scale) + (r.bottom - r.top) / scale};
}

}  // namespace

Win32Shell::Win32Shell(HINSTANCE instance)
    : instance_(instance), http_([this](MSG& msg) { return PreTranslate(msg); }) {}

Win32Shell::~Win32Shell() {
  for (const std::unique_ptr<Watch>& watch : watched_) {
    // Waits for a callback that runs meanwhile.
    if (watch->wait != nullptr) UnregisterWaitEx(watch->wait, INVALID_HANDLE_VALUE);
  }
  dialog_.reset();
  history_.reset();
  tray_.reset();
  if (icon_ != nullptr) DestroyIcon(icon_);
  if (smallIcon_ != nullptr) DestroyIcon(smallIcon_);
}

bool Win32Shell::Create() {
  icon_ = LoadProgramIcon(instance_, 48);
  smallIcon_ = LoadProgramIcon(instance_, GetSystemMetrics(SM_CXSMICON));
  if (!host_.Create(instance_)) return false;
  host_.onTimer = [this](HostWindow::Timer timer) {
    if (program_ == nullptr) return;
    if (timer == HostWindow::Timer::kRefresh) program_->RefreshTick();
    if (timer == HostWindow::Timer::kUpkeep) program_->UpkeepTick();
    if (timer == HostWindow::Timer::kNetwork) {
      host_.StopTimer(HostWindow::Timer::kNetwork);  // once
      program_->NetworkReadable();
    }
  };
  host_.onTray = [this](UINT mouse) {
    // A left or a right press opens the same menu; moves and releases nothing.
    if (mouse != WM_LBUTTONDOWN && mouse != WM_RBUTTONDOWN) return;
    POINT at{};
    GetCursorPos(&at);
    OpenMenu(MenuOwner::kTray, at);
  };
  host_.onTaskbarCreated = [this] {
    if (tray_) tray_->Readd();
  };
  host_.onSocket = [this] {
    if (program_ != nullptr) program_->NetworkReadable();
  };
  host_.onClose = [this] {
    if (program_ != nullptr) program_->Exit();
  };
  host_.onSignalled = [this](WPARAM which) {
    if (which >= watched_.size()) return;
    Watch& watch = *watched_[which];
    if (watch.signalled) watch.signalled();
    Arm(watch);
  };
  tray_ = std::make_unique<TrayIcon>(host_.hwnd(), HostWindow::kTrayMessage, smallIcon_);

  const std::wstring title = Widen(kProgramTitle);
  if (!monitor_.Create(instance_, host_.hwnd(), title.c_str())) return false;
  monitor_.SetScale(WholeScale(WindowDpi(monitor_.hwnd())));
  monitor_.onLeftClick = [this](std::uint32_t colour) {
    if (program_ != nullptr) program_->SwitchClicked(colour);
  };
  monitor_.onRightPress = [this](POINT at) { OpenMenu(MenuOwner::kMonitor, at); };
  monitor_.onGeometryChanged = [this] {
    if (program_ != nullptr) program_->MonitorGeometryChanged();
  };
  monitor_.onHidden = [this] {
    if (program_ != nullptr) program_->MonitorHidden();
  };
  monitor_.onClose = [this] {
    if (program_ != nullptr) program_->Exit();
  };
  monitor_.onDpiChanged = [this](UINT dpi) {
    // The window keeps its size in the program's pixels at the new scale.
    const RECT before = monitor_.Rect();
    monitor_.SetScale(WholeScale(dpi));
    monitor_.Resize(before.right - before.left, before.bottom - before.top);
    if (program_ != nullptr) program_->MonitorGeometryChanged();
  };

  const PixelRect bar = ToolbarWindowRect();
  const int scale = monitor_.scale();
  const RECT device{bar.x * scale, bar.y * scale, (bar.x + bar.width) * scale,
                    (bar.y + bar.height) * scale};
  return toolbar_.Create(instance_, smallIcon_, device, title);
}

int Win32Shell::Run() {
  MSG msg;
  BOOL got;
  while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
    if (got == -1) return 1;
    if (PreTranslate(msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

void Win32Shell::WatchHandle(HANDLE handle, std::function<void()> signalled) {
  auto watch = std::make_unique<Watch>();
  watch->shell = this;
  watch->index = watched_.size();
  watch->object = handle;
  watch->signalled = std::move(signalled);
  watched_.push_back(std::move(watch));
  Arm(*watched_.back());
}

void Win32Shell::Arm(Watch& watch) {
  if (watch.wait != nullptr) UnregisterWait(watch.wait);
  watch.wait = nullptr;
  // Once: the object may stay signalled until the handler has run.
  RegisterWaitForSingleObject(
      &watch.wait, watch.object,
      [](void* context, BOOLEAN) {
        const auto* w = static_cast<const Watch*>(context);
        PostMessageW(w->shell->host_.hwnd(), HostWindow::kSignalledMessage, w->index, 0);
      },
      &watch, INFINITE, WT_EXECUTEONLYONCE);
}

bool Win32Shell::PreTranslate(MSG& msg) {
  return (dialog_ && dialog_->PreTranslate(msg)) || (history_ && history_->PreTranslate(msg));
}

HWND Win32Shell::ModalOwner() const {
  if (dialog_ && IsWindowVisible(dialog_->hwnd())) return dialog_->hwnd();
  return nullptr;
}

void Win32Shell::OpenMenu(MenuOwner owner, POINT at) {
  if (program_ == nullptr) return;
  const MenuModel& menu = program_->OpenMenu(owner);
  // The menu needs a foreground window to close on a click elsewhere and to
  // take the keyboard; where windows are X windows (Wine) a hidden one cannot
  // be that, so the monitor window serves whenever it is shown.
  HWND window = monitor_.ShownOnScreen() ? monitor_.hwnd() : host_.hwnd();
  const int id = TrackMenu(window, menu, at);
  if (id != 0) program_->ChooseMenuEntry(owner, id);
}

// --- The desktop ----------------------------------------------------------------

void Win32Shell::ShowMessage(MessageIcon icon, const std::string& text) {
  ++messageBoxes_;
  // The system's modal loop keeps the timers and the tray icon working.
  MessageBoxW(
      ModalOwner(), Widen(text).c_str(), Widen(kProgramTitle).c_str(),
      MB_OK | MB_SETFOREGROUND | (icon == MessageIcon::kError ? MB_ICONERROR : MB_ICONINFORMATION));
  --messageBoxes_;
}

void Win32Shell::RaiseMessage() {
  if (messageBoxes_ == 0) return;
  struct Search {
    HWND dialog;
    HWND found;
  } search{dialog_ ? dialog_->hwnd() : nullptr, nullptr};
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* s = reinterpret_cast<Search*>(data);
        wchar_t name[16] = {};
        GetClassNameW(hwnd, name, 16);
        if (hwnd != s->dialog && IsWindowVisible(hwnd) && std::wstring(name) == L"#32770") {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  if (search.found != nullptr) SetForegroundWindow(search.found);
}

void Win32Shell::ShowNotice(const std::string& text) {
  // The tray icon's balloon, as the taskbar shows it; where the icon could
  // not be added, a message box of its own thread (the monitor goes on
  // while it is open).
  if (tray_ && tray_->Notify(Widen(kProgramTitle), Widen(text))) return;
  auto* notice = new std::wstring(Widen(text));
  HANDLE thread = CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        std::unique_ptr<std::wstring> message(static_cast<std::wstring*>(p));
        MessageBoxW(nullptr, message->c_str(), Widen(kProgramTitle).c_str(),
                    MB_OK | MB_ICONINFORMATION | MB_SETFOREGROUND);
        return 0;
      },
      notice, 0, nullptr);
  if (thread == nullptr) {
    delete notice;
    return;
  }
  CloseHandle(thread);
}

void Win32Shell::SetClipboardText(const std::string& text) {
  const std::wstring wide = Widen(text);
  if (!OpenClipboard(host_.hwnd())) return;
  EmptyClipboard();
  const std::size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
    if (void* p = GlobalLock(memory)) {
      std::memcpy(p, wide.c_str(), bytes);
      GlobalUnlock(memory);
      // The clipboard owns it from now on; on failure it is ours to free.
      if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
    } else {
      GlobalFree(memory);
    }
  }
  CloseClipboard();
}

void Win32Shell::OpenUrl(const std::string& url) {
  HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
  ShellExecuteW(ModalOwner(), L"open", Widen(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  SetCursor(before);
}

std::optional<std::uint32_t> Win32Shell::ChooseColour(std::uint32_t initial) {
  CHOOSECOLORW chooser{};
  chooser.lStructSize = sizeof chooser;
  chooser.hwndOwner = ModalOwner();
  // COLORREF and the program's colour values are both 0x00BBGGRR.
  chooser.rgbResult = static_cast<COLORREF>(initial & 0xFFFFFFu);
  chooser.lpCustColors = customColours_;
  chooser.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ANYCOLOR;
  if (!ChooseColorW(&chooser)) return std::nullopt;
  return static_cast<std::uint32_t>(chooser.rgbResult & 0xFFFFFFu);
}

FetchReply Win32Shell::HttpGet(const std::string& url, std::chrono::milliseconds timeout) {
  return http_.Get(url, timeout);
}

std::vector<ScreenArea> Win32Shell::Screens() {
  struct Collect {
    int scale;
    std::vector<ScreenArea> screens;
  } collect{monitor_.scale(), {}};
  EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
        auto* c = reinterpret_cast<Collect*>(data);
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (GetMonitorInfoW(monitor, &info)) {
          c->screens.push_back({ToPixelRect(Divided(info.rcMonitor, c->scale)),
                                ToPixelRect(Divided(info.rcWork, c->scale)),
                                (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&collect));
  return collect.screens;
}

void Win32Shell::Quit(int status) {
  if (history_) history_->Hide();
  PostQuitMessage(status);
}

// --- Notification area -------------------------------------------------------------

void Win32Shell::AddTrayIcon(const std::string& tip) {
  tray_->Add(Widen(tip));
}

void Win32Shell::RemoveTrayIcon() {
  tray_->Remove();
}

bool Win32Shell::TrayIconShown() {
  return tray_->shown();
}

// --- The monitor window --------------------------------------------------------------

void Win32Shell::SetMonitorRect(const PixelRect& rect) {
  monitor_.SetRect(rect.x, rect.y, rect.width, rect.height);
}

PixelRect Win32Shell::MonitorRect() {
  return ToPixelRect(monitor_.Rect());
}

void Win32Shell::ResizeMonitor(int width, int height) {
  monitor_.Resize(width, height);
}

void Win32Shell::SetMonitorTopmost(bool topmost) {
  monitor_.SetTopmost(topmost);
}

void Win32Shell::SetMonitorResizable(bool resizable) {
  monitor_.SetResizable(resizable);
}

void Win32Shell::ShowMonitor() {
  monitor_.Show();
}

void Win32Shell::HideMonitor() {
  monitor_.Hide();
}

void Win32Shell::RaiseMonitor() {
  monitor_.Raise();
}

bool Win32Shell::MonitorShownOnScreen() {
  return monitor_.ShownOnScreen();
}

void Win32Shell::SetMonitorVeiled(bool veiled) {
  monitor_.SetVeiled(veiled);
}

void Win32Shell::PaintMonitor(const Canvas& canvas, int height,
                              const std::vector<RowSpan>* changed) {
  monitor_.Paint(canvas, height, changed);
}

std::optional<PixelPoint> Win32Shell::CursorPosition() {
  POINT p{};
  if (!GetCursorPos(&p)) return std::nullopt;
  return PixelPoint{p.x, p.y};
}

PixelRect Win32Shell::MonitorDeviceRect() {
  return ToPixelRect(monitor_.DeviceRect());
}

// --- The toolbar window ----------------------------------------------------------------

void Win32Shell::SetToolbarShown(bool shown) {
  toolbar_.SetShown(shown);
}

void Win32Shell::SetToolbarCaption(const std::string& caption) {
  toolbar_.SetCaption(Widen(caption));
}

// --- Timers ------------------------------------------------------------------------------

void Win32Shell::StartRefreshTimer(int intervalMs) {
  host_.StartTimer(HostWindow::Timer::kRefresh, intervalMs);
}

void Win32Shell::StopRefreshTimer() {
  host_.StopTimer(HostWindow::Timer::kRefresh);
}

void Win32Shell::StartUpkeepTimer(int intervalMs) {
  host_.StartTimer(HostWindow::Timer::kUpkeep, intervalMs);
}

void Win32Shell::StopUpkeepTimer() {
  host_.StopTimer(HostWindow::Timer::kUpkeep);
}

void Win32Shell::WatchDescriptor(std::intptr_t descriptor) {
  StopWatchingDescriptor();
  socket_ = descriptor;
  WSAAsyncSelect(static_cast<SOCKET>(socket_), host_.hwnd(), HostWindow::kSocketMessage, FD_READ);
}

void Win32Shell::StopWatchingDescriptor() {
  if (socket_ < 0) return;
  WSAAsyncSelect(static_cast<SOCKET>(socket_), host_.hwnd(), 0, 0);
  socket_ = -1;
}

void Win32Shell::StartNetworkTimer(int delayMs) {
  host_.StartTimer(HostWindow::Timer::kNetwork, delayMs);
}

void Win32Shell::StopNetworkTimer() {
  host_.StopTimer(HostWindow::Timer::kNetwork);
}

// --- The settings dialog ------------------------------------------------------------------

void Win32Shell::OpenDialog(const DialogOpening& opening) {
  if (program_ == nullptr) return;
  if (!dialog_) {
    // Built on first use: an idle monitor need not carry six pages of controls.
    dialog_ = std::make_unique<SettingsDialog>(instance_, host_.hwnd(), icon_, program_->dialog(),
                                               program_->settings(), program_->gradients());
    if (!dialog_->Create()) {
      dialog_.reset();
      return;
    }
  }
  dialog_->Open(opening, monitor_.scale());
}

void Win32Shell::OpenHistoryWindow() {
  if (program_ == nullptr || program_->stripFont() == nullptr) return;
  if (!history_) {
    // Built on first use, as the dialog is.
    history_ = std::make_unique<HistoryWindow>(instance_, icon_, *program_);
    if (!history_->Create(monitor_.scale())) {
      history_.reset();
      return;
    }
  }
  history_->Open();
}

void Win32Shell::HistoryWritten() {
  if (history_) history_->Refresh();
}

bool Win32Shell::NotifyFromTray(const std::string& text) {
  return tray_ && tray_->Notify(Widen(std::string("通信履歴 - ") + kProgramTitle), Widen(text));
}

void Win32Shell::CloseDialog() {
  if (dialog_) dialog_->Close();
}

void Win32Shell::RefreshDialog(DialogParts parts) {
  if (dialog_) dialog_->Refresh(parts);
}

}  // namespace mirel::win32
