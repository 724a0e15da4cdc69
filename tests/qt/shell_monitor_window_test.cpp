// The monitor window: the colour under a press is the colour shown there,
// whatever the window size; left, right and middle presses; close.
#include <gtest/gtest.h>

#include <QTest>

#include "shell/qt/monitor_window.h"
#include "shell/qt/toolbar_window.h"

namespace mirel {
namespace {

constexpr std::uint32_t kFace = Rgb(212, 207, 198);
constexpr std::uint32_t kText = Rgb(8, 8, 8);
constexpr std::uint32_t kBack = Rgb(0, 0, 64);

// A 158 × 27 stack: one strip whose "button" (x 100..128, y 0..12) has a
// face with a text-coloured block in it, a separator row, another strip.
Canvas ButtonCanvas() {
  Canvas c(158, 40, Rgb(255, 0, 0));  // rows past the composed height
  c.FillRect(0, 0, 158, 27, kBack);
  c.FillRect(100, 0, 29, 13, kFace);
  c.FillRect(108, 3, 12, 7, kText);
  c.FillRect(0, 13, 158, 1, 0);
  return c;
}

struct Press {
  QPoint at;
  std::uint32_t expected;
};

TEST(ShellMonitorWindowTest, ColourUnderThePressMatchesTheScaledImageAtSeveralSizes) {
  const Canvas canvas = ButtonCanvas();
  const QSize sizes[] = {{158, 27}, {316, 54}, {237, 40}, {120, 20}};
  for (const QSize size : sizes) {
    MonitorWindow w;
    w.SetResizable(false);  // no resize border at the bottom row
    w.resize(size);
    w.ShowCanvas(canvas, 27);
    w.show();
    ASSERT_EQ(w.displayed().size(), size);
    const double sx = size.width() / 158.0;
    const double sy = size.height() / 27.0;
    auto at = [&](double x, double y) {
      return QPoint(static_cast<int>(x * sx), static_cast<int>(y * sy));
    };
    const Press presses[] = {{at(101.5, 1.5), kFace},
                             {at(113.5, 6.5), kText},
                             {at(20.5, 6.5), kBack},
                             {at(20.5, 20.5), kBack},
                             // The last row shows the last composed row, never the rows below it.
                             {QPoint(5, size.height() - 1), kBack}};
    for (const Press& p : presses) {
      std::vector<std::uint32_t> clicked;
      w.onLeftClick = [&](std::uint32_t colour) { clicked.push_back(colour); };
      QTest::mouseClick(&w, Qt::LeftButton, {}, p.at);
      ASSERT_EQ(clicked.size(), 1u) << size.width() << "x" << size.height();
      EXPECT_EQ(clicked[0], p.expected)
          << "at " << p.at.x() << "," << p.at.y() << " in " << size.width() << "x" << size.height();
      EXPECT_EQ(w.ColourAt(p.at), ToColour(w.displayed().pixel(p.at)));
    }
  }
}

TEST(ShellMonitorWindowTest, DragThenToggleUsesThePressPosition) {
  const Canvas canvas = ButtonCanvas();
  MonitorWindow w;
  w.setGeometry(200, 100, 158, 27);
  w.ShowCanvas(canvas, 27);
  w.show();
  std::vector<std::uint32_t> clicked;
  w.onLeftClick = [&](std::uint32_t colour) { clicked.push_back(colour); };

  QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(113, 6));
  EXPECT_TRUE(clicked.empty());  // not before the drag has ended
  QTest::mouseMove(&w, QPoint(10, 20));
  QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(10, 20));
  ASSERT_EQ(clicked.size(), 1u);
  EXPECT_EQ(clicked[0], kText);
  EXPECT_NE(w.pos(), QPoint(200, 100));  // it moved
}

TEST(ShellMonitorWindowTest, ResizeBorderResizesAndNeverToggles) {
  const Canvas canvas = ButtonCanvas();
  MonitorWindow w;
  w.setGeometry(50, 50, 158, 27);
  w.ShowCanvas(canvas, 27);
  w.show();
  int clicks = 0;
  w.onLeftClick = [&](std::uint32_t) { ++clicks; };
  QTest::mousePress(&w, Qt::LeftButton, {}, QPoint(157, 26));
  QTest::mouseMove(&w, QPoint(207, 46));
  QTest::mouseRelease(&w, Qt::LeftButton, {}, QPoint(207, 46));
  EXPECT_EQ(w.size(), QSize(208, 47));
  EXPECT_EQ(w.pos(), QPoint(50, 50));
  EXPECT_EQ(w.displayed().size(), QSize(208, 47));  // rescaled to the new size
  EXPECT_EQ(clicks, 0);

  w.SetResizable(false);  // the fitted mode has no border
  QTest::mouseClick(&w, Qt::LeftButton, {}, QPoint(206, 45));
  EXPECT_EQ(clicks, 1);
}

TEST(ShellMonitorWindowTest, RightPressOpensTheMenuMiddlePressDoesNothing) {
  const Canvas canvas = ButtonCanvas();
  MonitorWindow w;
  w.resize(158, 27);
  w.ShowCanvas(canvas, 27);
  w.show();
  int left = 0, right = 0;
  w.onLeftClick = [&](std::uint32_t) { ++left; };
  w.onRightPress = [&](QPoint) { ++right; };
  QTest::mouseClick(&w, Qt::RightButton, {}, QPoint(113, 6));
  QTest::mouseClick(&w, Qt::MiddleButton, {}, QPoint(113, 6));
  EXPECT_EQ(right, 1);
  EXPECT_EQ(left, 0);
}

TEST(ShellMonitorWindowTest, ClosingReportsAndAnEmptyStackShowsNothing) {
  MonitorWindow w;
  EXPECT_TRUE(w.windowFlags() & Qt::FramelessWindowHint);
  EXPECT_TRUE((w.windowFlags() & Qt::WindowType_Mask) == Qt::Tool);
  w.Place(QRect(-101, 200, 158, 1));
  EXPECT_EQ(w.geometry(), QRect(-101, 200, 158, 1));
  const Canvas canvas = ButtonCanvas();
  w.ShowCanvas(canvas, 0);  // no strip shown: the window's one pixel row stays black
  w.show();
  EXPECT_TRUE(w.displayed().isNull());
  w.resize(158, 27);
  w.ShowCanvas(canvas, 27);
  EXPECT_EQ(w.displayed().size(), QSize(158, 27));

  int closed = 0;
  w.onClose = [&] { ++closed; };
  w.close();
  EXPECT_EQ(closed, 1);
}

TEST(ShellMonitorWindowTest, AlwaysOnTopFollowsTheSettingAndKeepsTheWindowShown) {
  MonitorWindow w;
  w.resize(20, 20);
  w.show();
  w.SetAlwaysOnTop(true);
  EXPECT_TRUE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w.isVisible());
  w.SetAlwaysOnTop(false);
  EXPECT_FALSE(w.windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_TRUE(w.isVisible());
}

TEST(ShellMonitorWindowTest, ToolbarWindowSitsOffScreenAndCarriesTheCaption) {
  ToolbarWindow t;
  EXPECT_EQ(t.geometry(), QRect(-1101, -76, 106, 65));
  t.SetCaption("37% 12Kbyte/秒受 ");
  EXPECT_EQ(t.windowTitle(), QStringLiteral("37% 12Kbyte/秒受 "));
  t.SetShown(true);
  EXPECT_TRUE(t.isVisible());
  EXPECT_EQ(t.pos(), QPoint(-1101, -76));
  t.SetShown(false);
  EXPECT_FALSE(t.isVisible());
}

}  // namespace
}  // namespace mirel
