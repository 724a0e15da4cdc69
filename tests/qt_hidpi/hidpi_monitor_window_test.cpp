// The monitor window at a device pixel ratio of 2: the stack is doubled
// pixel for pixel, a press reads the colour of the device pixel under it
// (half-pixel positions included), and mouse-over hiding finds the edges the
// user sees.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include "behaviour/window_upkeep_rule.h"
#include "shell/qt/monitor_window.h"
#include "shell/qt/qt_shell.h"

namespace mirel {
namespace {

constexpr std::uint32_t kWhite = Rgb(255, 255, 255);
constexpr std::uint32_t kFace = Rgb(212, 207, 198);
constexpr std::uint32_t kText = Rgb(8, 8, 8);
constexpr std::uint32_t kShadow = Rgb(128, 128, 128);
constexpr std::uint32_t kBack = Rgb(0, 0, 64);

// One strip with a button at x 100..128: white left column, face, a text
// column at 113, the shadow column at 127; a black separator row; every
// pixel of the stack differs from its right and lower neighbour somewhere.
Canvas ButtonCanvas() {
  Canvas c(158, 27, kBack);
  c.FillRect(100, 0, 29, 13, kFace);
  c.FillRect(100, 0, 1, 13, kWhite);
  c.FillRect(113, 0, 1, 13, kText);
  c.FillRect(127, 0, 1, 13, kShadow);
  c.FillRect(0, 13, 158, 1, 0);
  for (int x = 0; x < 158; x += 2) c.SetPixel(x, 20, Rgb(x, 255 - x, 7));
  return c;
}

// Press and release at a position with a fraction, as a device pixel of the
// right half of a window pixel arrives.
std::vector<std::uint32_t> Click(MonitorWindow& w, QPointF at) {
  std::vector<std::uint32_t> clicked;
  w.onLeftClick = [&](std::uint32_t colour) { clicked.push_back(colour); };
  const QPointF global = w.mapToGlobal(at);
  QMouseEvent press(QEvent::MouseButtonPress, at, global, Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, global, Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&w, &release);
  return clicked;
}

TEST(HiDpiMonitorWindowTest, StackIsDoubledPixelForPixel) {
  MonitorWindow w;
  w.SetResizable(false);
  w.setGeometry(100, 50, 158, 27);
  w.show();
  ASSERT_DOUBLE_EQ(w.devicePixelRatioF(), 2.0);
  const Canvas canvas = ButtonCanvas();
  w.ShowCanvas(canvas, 27);
  const QImage shown = w.displayed();
  ASSERT_EQ(shown.size(), QSize(316, 54));
  EXPECT_DOUBLE_EQ(shown.devicePixelRatio(), 2.0);
  for (int y = 0; y < 54; ++y)
    for (int x = 0; x < 316; ++x)
      ASSERT_EQ(ToColour(shown.pixel(x, y) & 0xFFFFFFu), canvas.GetPixel(x / 2, y / 2))
          << x << "," << y;
}

TEST(HiDpiMonitorWindowTest, ColourUnderThePressIsTheDevicePixelUnderIt) {
  MonitorWindow w;
  w.SetResizable(false);
  w.setGeometry(100, 50, 158, 27);
  w.show();
  const Canvas canvas = ButtonCanvas();
  w.ShowCanvas(canvas, 27);
  const struct {
    QPointF at;
    std::uint32_t colour;
  } presses[] = {
      {{100.0, 5.0}, kWhite},   // device 200: left half of the white column
      {{100.5, 5.0}, kWhite},   // device 201: its right half, not the face beyond
      {{101.0, 5.0}, kFace},    // device 202
      {{113.5, 12.5}, kText},   // the text column's last device pixel
      {{126.5, 3.5}, kFace},    // device 253: still the face, not the shadow
      {{127.0, 3.5}, kShadow},  // device 254
      {{40.5, 13.5}, 0},        // the separator's lower device row
      {{40.5, 12.5}, kBack},
  };
  for (const auto& p : presses) {
    EXPECT_EQ(w.ColourAt(p.at), p.colour) << p.at.x() << "," << p.at.y();
    const std::vector<std::uint32_t> clicked = Click(w, p.at);
    ASSERT_EQ(clicked.size(), 1u);
    EXPECT_EQ(clicked[0], p.colour) << p.at.x() << "," << p.at.y();
  }
}

// The shell's own windows, the cursor where the test puts it.
class CursorShell : public QtShell {
 public:
  PixelPoint cursor;
  std::optional<PixelPoint> CursorPosition() override { return cursor; }
};

TEST(HiDpiMonitorWindowTest, MouseOverEdgesAreTheDevicePixelsOfTheWindow) {
  CursorShell shell;
  shell.SetMonitorRect({100, 50, 158, 40});  // device pixels 200..515 × 100..179
  shell.ShowMonitor();
  MonitorUpkeep upkeep(shell);
  const struct {
    QPoint device;
    bool inside;
  } cases[] = {
      {{515, 120}, true}, {{516, 120}, false}, {{200, 120}, true}, {{199, 120}, false},
      {{300, 100}, true}, {{300, 99}, false},  {{300, 179}, true}, {{300, 180}, false},
  };
  for (const auto& c : cases) {
    shell.cursor = {1000, 1000};
    upkeep.Tick(true);  // shown again
    ASSERT_TRUE(shell.MonitorShownOnScreen());
    shell.cursor = {c.device.x(), c.device.y()};
    EXPECT_EQ(upkeep.Tick(true), c.inside ? UpkeepAction::kHide : UpkeepAction::kNone)
        << c.device.x() << "," << c.device.y();
  }
}

}  // namespace
}  // namespace mirel
