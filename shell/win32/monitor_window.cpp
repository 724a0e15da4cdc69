#include "shell/win32/monitor_window.h"

#include <windowsx.h>

#include <algorithm>

#include "behaviour/switch_toggle.h"

namespace mirel::win32 {

namespace {

constexpr int kResizeBorder = 4;  // device pixels along the right and bottom edges

constexpr DWORD kStyle = WS_POPUP | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW;

}  // namespace

MonitorWindow::~MonitorWindow() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

bool MonitorWindow::Create(HINSTANCE instance, HWND owner, const wchar_t* title) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &MonitorWindow::Proc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = kClassName;
  // No background brush: every pixel is painted from the canvas.
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  hwnd_ = CreateWindowExW(kExStyle, kClassName, title, kStyle, 0, 0, 1, 1, owner, nullptr, instance,
                          this);
  return hwnd_ != nullptr;
}

void MonitorWindow::SetRect(int x, int y, int width, int height) {
  SetWindowPos(hwnd_, nullptr, x * scale_, y * scale_, std::max(1, width) * scale_,
               std::max(1, height) * scale_, SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT MonitorWindow::Rect() const {
  RECT r = DeviceRect();
  // Positions may be negative (a monitor left of the primary one): floor.
  auto down = [this](LONG v) { return v >= 0 ? v / scale_ : -((-v + scale_ - 1) / scale_); };
  return RECT{down(r.left), down(r.top), down(r.left) + (r.right - r.left) / scale_,
              down(r.top) + (r.bottom - r.top) / scale_};
}

void MonitorWindow::Resize(int width, int height) {
  const int w = std::max(1, width) * scale_;
  const int h = std::max(1, height) * scale_;
  const RECT r = DeviceRect();
  // Every tick of the fixed size mode asks: a comparison when nothing changed.
  if (r.right - r.left == w && r.bottom - r.top == h) return;
  SetWindowPos(hwnd_, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

RECT MonitorWindow::DeviceRect() const {
  RECT r{};
  GetWindowRect(hwnd_, &r);
  return r;
}

void MonitorWindow::SetTopmost(bool topmost) {
  SetWindowPos(hwnd_, topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void MonitorWindow::Show() {
  if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
  ShowWindow(hwnd_, SW_SHOWNOACTIVATE);
}

void MonitorWindow::Hide() {
  // The program hides it itself (the mouse-over mode): not a hide to undo.
  hiding_ = true;
  ShowWindow(hwnd_, SW_HIDE);
  hiding_ = false;
}

void MonitorWindow::Raise() {
  Show();
  SetForegroundWindow(hwnd_);
  BringWindowToTop(hwnd_);
}

bool MonitorWindow::ShownOnScreen() const {
  return IsWindowVisible(hwnd_) && !IsIconic(hwnd_);
}

void MonitorWindow::SetVeiled(bool veiled) {
  if (veiled == veiled_) return;
  veiled_ = veiled;
  const LONG_PTR ex = GetWindowLongPtrW(hwnd_, GWL_EXSTYLE);
  if (veiled) {
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex | WS_EX_LAYERED);
    SetLayeredWindowAttributes(hwnd_, 0, 0, LWA_ALPHA);
  } else {
    SetWindowLongPtrW(hwnd_, GWL_EXSTYLE, ex & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    InvalidateRect(hwnd_, nullptr, FALSE);
  }
}

void MonitorWindow::Paint(const Canvas& canvas, int height, const std::vector<RowSpan>* changed) {
  const int clamped = std::clamp(height, 0, canvas.height());
  RECT client{};
  GetClientRect(hwnd_, &client);
  const bool same = canvas_ == &canvas && canvasHeight_ == clamped && oneToOne_ &&
                    client.right == canvas.width() && client.bottom == clamped;
  canvas_ = &canvas;
  canvasHeight_ = clamped;
  if (changed == nullptr || !same) {
    Restretch();
    InvalidateRect(hwnd_, nullptr, FALSE);
    return;
  }
  // One to one: the rows that changed are the window's rows.
  for (const RowSpan& span : *changed) {
    const RECT rows{0, std::max(span.top, 0), client.right, std::min(span.bottom, canvasHeight_)};
    if (rows.bottom > rows.top) InvalidateRect(hwnd_, &rows, FALSE);
  }
}

void MonitorWindow::Restretch() {
  oneToOne_ = false;
  RECT client{};
  GetClientRect(hwnd_, &client);
  if (canvas_ == nullptr || canvasHeight_ <= 0 || canvas_->width() <= 0 || client.right <= 0 ||
      client.bottom <= 0) {
    scaled_.Resize(0, 0);
    return;
  }
  if (client.right == canvas_->width() && client.bottom == canvasHeight_) {
    oneToOne_ = true;  // painted from the canvas itself
    scaled_.Resize(0, 0);
    return;
  }
  if (scaled_.width() != client.right || scaled_.height() != client.bottom)
    scaled_.Resize(client.right, client.bottom);
  scaled_.StretchFrom(*canvas_, canvas_->width(), canvasHeight_);
}

std::uint32_t MonitorWindow::ColourAt(int x, int y) const {
  if (oneToOne_ && canvas_ != nullptr) {
    if (x < 0 || y < 0 || x >= canvas_->width() || y >= canvasHeight_) return 0;
    return canvas_->GetPixel(x, y);
  }
  return scaled_.GetPixel(x, y);
}

void MonitorWindow::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(hwnd_, &ps);
  const Canvas* shown = oneToOne_ ? canvas_ : &scaled_;
  const int height = oneToOne_ ? canvasHeight_ : scaled_.height();
  if (shown == nullptr || shown->width() <= 0 || height <= 0) {
    FillRect(dc, &ps.rcPaint, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    EndPaint(hwnd_, &ps);
    return;
  }
  const int top = std::clamp<int>(ps.rcPaint.top, 0, height);
  const int bottom = std::clamp<int>(ps.rcPaint.bottom, 0, height);
  if (bottom > top) {
    // Only the exposed rows, as a picture of their own: 0xFFRRGGBB rows are
    // a top-down 32-bit DIB as they are.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = shown->width();
    info.bmiHeader.biHeight = -(bottom - top);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    SetDIBitsToDevice(dc, 0, top, static_cast<DWORD>(shown->width()),
                      static_cast<DWORD>(bottom - top), 0, 0, 0, static_cast<UINT>(bottom - top),
                      shown->data() + static_cast<std::ptrdiff_t>(top) * shown->width(), &info,
                      DIB_RGB_COLORS);
  }
  // Right of or below the picture (a window larger than the stack was
  // stretched to in the instant of a resize): black.
  RECT client{};
  GetClientRect(hwnd_, &client);
  HBRUSH black = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
  if (client.right > shown->width()) {
    RECT right{shown->width(), 0, client.right, client.bottom};
    FillRect(dc, &right, black);
  }
  if (client.bottom > height) {
    RECT below{0, height, client.right, client.bottom};
    FillRect(dc, &below, black);
  }
  EndPaint(hwnd_, &ps);
}

LRESULT MonitorWindow::HitTest(LPARAM lParam) const {
  if (!resizable_) return HTCLIENT;
  POINT p{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  const RECT r = DeviceRect();
  const bool right = p.x >= r.right - kResizeBorder;
  const bool bottom = p.y >= r.bottom - kResizeBorder;
  if (right && bottom) return HTBOTTOMRIGHT;
  if (right) return HTRIGHT;
  if (bottom) return HTBOTTOM;
  return HTCLIENT;
}

void MonitorWindow::Press(WPARAM wParam, LPARAM lParam) {
  if (veiled_) return;  // nothing to see, so nothing to drag or switch
  const MonitorPress press = PressOnMonitor((wParam & MK_LBUTTON) != 0, (wParam & MK_RBUTTON) != 0,
                                            (wParam & MK_MBUTTON) != 0);
  POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ClientToScreen(hwnd_, &screen);
  if (press.menu) {
    if (onRightPress) onRightPress(screen);
    return;
  }
  if (!press.drag) return;
  const std::uint32_t colour = ColourAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
  // The system moves the window with the mouse until the button is let go;
  // the call returns after that, and the toggle uses the press position.
  ReleaseCapture();
  SendMessageW(hwnd_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
  if (press.toggle && onLeftClick) onLeftClick(colour);
}

LRESULT CALLBACK MonitorWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* self =
        static_cast<MonitorWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->hwnd_ = hwnd;
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MonitorWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->Handle(message, wParam, lParam);
}

LRESULT MonitorWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // painted whole by WM_PAINT
    case WM_NCHITTEST:
      return HitTest(lParam);
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      Press(wParam, lParam);
      return 0;
    case WM_MOUSEACTIVATE:
      // A click drags or toggles; it need not take the focus from the
      // program the user works in.
      return MA_NOACTIVATE;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) {
        if (onHidden) onHidden();
        return 0;
      }
      Restretch();
      InvalidateRect(hwnd_, nullptr, FALSE);
      if (onGeometryChanged) onGeometryChanged();
      return 0;
    case WM_MOVE:
      if (onGeometryChanged) onGeometryChanged();
      return 0;
    case WM_SHOWWINDOW:
      if (wParam == FALSE && !hiding_ && onHidden) onHidden();
      break;
    case WM_DPICHANGED:
      // The size follows the whole scale of the new monitor; the position
      // is the one Windows suggests.
      if (onDpiChanged) {
        const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        onDpiChanged(HIWORD(wParam));
      }
      return 0;
    case WM_CLOSE:
      if (onClose) onClose();
      return 0;
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcW(hwnd_, message, wParam, lParam);
}

}  // namespace mirel::win32
