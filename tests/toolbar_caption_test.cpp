#include "drawing/toolbar_caption.h"

#include <gtest/gtest.h>

namespace mirel {
namespace {

TEST(ToolbarCaptionTest, ChosenReadingsInFixedOrder) {
  MonitorState state;
  state.Text(100) = "37%";
  state.memoryText = "200MB/511MB";
  state.Text(101) = "メモリ使用率200MB/511MB";
  state.Text(102) = "12Kbyte/秒";
  state.Text(103) = "3Kbyte/秒";

  struct Case {
    bool shown, cpu, mem, rx, tx;
    const char* caption;
  } cases[] = {
      {true, true, true, true, true, "37% 200MB/511MB 12Kbyte/秒受 3Kbyte/秒送 "},
      {false, true, true, true, true, "Mirel君9x"},
      {true, false, false, false, false, "Mirel君9x"},
      {true, false, true, false, false, "200MB/511MB "},
      {true, true, false, false, true, "37% 3Kbyte/秒送 "},
      {true, false, false, true, false, "12Kbyte/秒受 "},
  };
  for (const Case& c : cases) {
    SettingsModel m;
    m.toolbarShown = c.shown;
    m.toolbarCpu = c.cpu;
    m.toolbarMemory = c.mem;
    m.toolbarReceive = c.rx;
    m.toolbarSend = c.tx;
    EXPECT_EQ(ToolbarCaption(m, state), c.caption);
  }
}

TEST(ToolbarCaptionTest, TextsAsTheTickLeftThem) {
  SettingsModel m;
  m.toolbarShown = true;
  m.toolbarReceive = true;
  m.toolbarSend = true;
  MonitorState first;  // no rate exists on the first tick
  EXPECT_EQ(ToolbarCaption(m, first), "Now　Loading・・・受 Now　Loading・・・送 ");

  m.toolbarReceive = false;
  MonitorState later;
  later.Text(103) = "0Kbit/秒";
  EXPECT_EQ(ToolbarCaption(m, later), "0Kbit/秒送 ");
}

}  // namespace
}  // namespace mirel
