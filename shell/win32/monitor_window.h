// The window the user sees: the composed strips on a borderless, caption-less
// tool window (no taskbar button), topmost when the settings say so. A left
// press drags it (and, on a "変更" button, toggles after the drag); a right
// press opens the menu; in the resizable mode its right and lower edges
// resize it.
//
// Sizes and places in the program's pixels: device pixels divided by the
// whole scale of the desktop (dpi.h), which the stack is stretched by.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <vector>

#include "drawing/canvas.h"
#include "drawing/graph.h"

namespace mirel::win32 {

class MonitorWindow {
 public:
  static constexpr const wchar_t* kClassName = L"mirel9x.Monitor";

  MonitorWindow() = default;
  ~MonitorWindow();
  MonitorWindow(const MonitorWindow&) = delete;
  MonitorWindow& operator=(const MonitorWindow&) = delete;

  // Owned by the host window: it goes with it and has no taskbar button.
  bool Create(HINSTANCE instance, HWND owner, const wchar_t* title);
  HWND hwnd() const { return hwnd_; }

  // Device pixels per program pixel.
  int scale() const { return scale_; }
  // The scale follows the desktop's (set again when the DPI changes).
  void SetScale(int scale) { scale_ = scale < 1 ? 1 : scale; }

  // Place and size in program pixels.
  void SetRect(int x, int y, int width, int height);
  RECT Rect() const;  // program pixels: left, top, right, bottom
  void Resize(int width, int height);
  // Device pixels.
  RECT DeviceRect() const;

  void SetTopmost(bool topmost);
  void SetResizable(bool resizable) { resizable_ = resizable; }
  void Show();
  void Hide();
  void Raise();
  // Shown and not minimised.
  bool ShownOnScreen() const;
  // Veiled, it stays shown but see-through, and a press does nothing.
  void SetVeiled(bool veiled);

  // Shows the top `height` rows of canvas stretched to the window. The canvas
  // is painted from directly where it fits the window's device pixels one to
  // one, so it must outlive the next call. With `changed`, only those rows
  // are repainted where that is possible.
  void Paint(const Canvas& canvas, int height, const std::vector<RowSpan>* changed);
  // The colour value (0x00BBGGRR) of the shown pixel at a client position
  // in device pixels; 0 outside.
  std::uint32_t ColourAt(int x, int y) const;

  // A left press (after any drag it started), with the colour under the press.
  std::function<void(std::uint32_t colour)> onLeftClick;
  // A right press, at its screen position in device pixels.
  std::function<void(POINT screen)> onRightPress;
  std::function<void()> onGeometryChanged;
  // Hidden or minimised by anything (another program, "show desktop").
  std::function<void()> onHidden;
  std::function<void()> onClose;
  // The monitor's DPI changed (the window moved to another monitor).
  std::function<void(UINT dpi)> onDpiChanged;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Restretch();
  void OnPaint();
  LRESULT HitTest(LPARAM lParam) const;
  // A button went down: drag, menu and toggle as the buttons held decide.
  void Press(WPARAM wParam, LPARAM lParam);

  HWND hwnd_ = nullptr;
  int scale_ = 1;
  bool resizable_ = true;
  const Canvas* canvas_ = nullptr;
  int canvasHeight_ = 0;
  bool oneToOne_ = false;
  // The stack stretched to the client area, kept between ticks so that no
  // tick allocates; the colour under a press is read from it.
  Canvas scaled_;
  bool hiding_ = false;
  bool veiled_ = false;
};

}  // namespace mirel::win32
