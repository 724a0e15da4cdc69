#include "drawing/strips.h"

#include <gtest/gtest.h>

#include <string>

#include "behaviour/switch_toggle.h"
#include "drawing/gradient.h"

namespace mirel {
namespace {

const StripFont& Font() {
  static StripFontLoad load = StripFont::Open();
  if (!load.font) ADD_FAILURE() << load.error;
  return *load.font;
}

constexpr StripColours kColours{Rgb(0, 0, 64), Rgb(255, 255, 0)};

// A reference strip: background, then each text at the position the layout
// gives it, drawn straight with the font.
struct Text {
  int x;
  std::string text;
};
Canvas Reference(std::initializer_list<Text> texts, std::uint32_t back = kColours.back,
                 std::uint32_t ink = kColours.text) {
  Canvas c(kStripWidth, kStripHeight, back);
  for (const Text& t : texts) Font().Draw(c, t.x, 1, t.text, ink);
  return c;
}

void ExpectSame(const Canvas& a, const Canvas& b, int fromX = 0, int toX = kStripWidth) {
  ASSERT_EQ(a.height(), b.height());
  for (int y = 0; y < a.height(); ++y)
    for (int x = fromX; x < toX; ++x)
      ASSERT_EQ(a.GetPixel(x, y), b.GetPixel(x, y)) << "at " << x << "," << y;
}

TEST(StripsTest, ValueTextPositions) {
  struct Case {
    int key;
    const char* text;
    int x;
  } cases[] = {
      {100, "50%", 137},
      {100, "100%", 131},
      {101, "メモリ使用率200MB/511MB", 0},
      {102, "1234Kbyte/秒", 84},
      {103, "0Kbit/秒", 108},
      {104, "接続不能", 96},
      {104, "再起動後に表示", 68},
      {104, "203.0.113.9", 94},
      {104, "Now　Loading・・・", 76},
      {105, "192.168.1.5", 94},
      {106, "proxy.example:3128", 47},
      {107, "ON", 138},
      {108, "OFF", 132},
      {110, "1.177MB", 108},
      {111, "0", 144},
      {114, "2026/12/07 月曜日  12:34:56", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(ValueTextX(c.key, c.text), c.x) << c.key << " " << c.text;
}

TEST(StripsTest, WhichStripsAreDrawn) {
  std::array<bool, kShownSlots> shown{};
  shown[5] = true;  // 105
  struct Case {
    int key, graphSource;
    bool drawn;
  } cases[] = {
      {100, 0, false}, {100, 1, true},  {101, 2, true},  {101, 1, false}, {102, 3, true},
      {103, 4, true},  {103, 3, false}, {105, 0, true},  {106, 0, false}, {104, 1, false},
      {114, 4, false}, {99, 0, false},  {121, 0, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(StripDrawn(c.key, shown, c.graphSource), c.drawn) << c.key << "/" << c.graphSource;
}

TEST(StripsTest, ProcessorStripBarLabelAndValue) {
  Canvas gradient(kStripWidth, kStripHeight);
  for (int x = 0; x < kStripWidth; ++x) gradient.FillRect(x, 0, 1, kStripHeight, Rgb(x, 100, 0));
  Canvas strip;
  DrawItemStrip(strip, Font(), 100, "50%", kColours, &gradient, 78);

  // Row 0 lies above every text: the bar covers exactly columns 0-77.
  for (int x = 0; x < kStripWidth; ++x)
    EXPECT_EQ(strip.GetPixel(x, 0), x < 78 ? Rgb(x, 100, 0) : kColours.back) << x;
  // The value at x = 155 - 18 = 137 and the label at 0, drawn over the bar.
  Canvas expected = Reference({{0, "ＣＰＵ使用率"}, {137, "50%"}});
  expected.BitBlt(0, 0, 78, kStripHeight, gradient, 0, 0);
  Font().Draw(expected, 0, 1, "ＣＰＵ使用率", kColours.text);
  ExpectSame(strip, expected);
}

TEST(StripsTest, BarWidthsOutsideTheStrip) {
  Canvas gradient(kStripWidth, kStripHeight, Rgb(200, 0, 0));
  for (int width : {-5, 0, 400}) {
    Canvas strip;
    DrawItemStrip(strip, Font(), 102, "-3Kbyte/秒", kColours, &gradient, width);
    const std::uint32_t want = width > 0 ? Rgb(200, 0, 0) : kColours.back;
    EXPECT_EQ(strip.GetPixel(0, 0), want) << width;
    EXPECT_EQ(strip.GetPixel(156, 0), want) << width;
    EXPECT_EQ(strip.width(), kStripWidth);
  }
  // Items without a bar ignore a gradient handed to them.
  Canvas strip;
  DrawItemStrip(strip, Font(), 110, "0", kColours, &gradient, 100);
  EXPECT_EQ(strip.GetPixel(10, 0), kColours.back);
}

TEST(StripsTest, TextStripsMatchTheLayout) {
  struct Case {
    int key;
    std::string value;
    std::initializer_list<Text> texts;
  } cases[] = {
      {101, "メモリ使用率201MB/512MB", {{0, "メモリ使用率201MB/512MB"}}},
      {102, "1234Kbyte/秒", {{0, "受信量"}, {84, "1234Kbyte/秒"}}},
      {104, "接続不能", {{0, "IPアドレス"}, {96, "接続不能"}}},
      // Past the right edge at 160 - 66: moved left to end at the edge.
      {105, "192.168.1.5", {{0, "LAN側IP "}, {91, "192.168.1.5"}}},
      {104, "255.255.255.255", {{0, "IPアドレス"}, {67, "255.255.255.255"}}},
      {102, "Now　Loading・・・", {{0, "受信量"}, {157 - 108, "Now　Loading・・・"}}},
      // A value wider than the strip starts left of 0 and is cut there; the
      // label gives way to it.
      {106,
       "a-very-long-proxy.example.org:8080",
       {{155 - 6 * 34, "a-very-long-proxy.example.org:8080"}}},
      {114, "2026/12/07 Mon  12:34:56", {{3, "2026/12/07 Mon  12:34:56"}}},
  };
  for (const Case& c : cases) {
    Canvas strip(kStripWidth, kStripHeight, Rgb(1, 1, 1));  // old content is cleared
    DrawItemStrip(strip, Font(), c.key, c.value, kColours);
    SCOPED_TRACE(c.value);
    ExpectSame(strip, Reference(c.texts));
  }
}

TEST(StripsTest, DateLineTooWideKeepsItsSeconds) {
  // 162 pixels would lose the last digits at x = 3; the double blank closes
  // up and the line moves left just enough to fit.
  Canvas strip;
  DrawItemStrip(strip, Font(), 114, "2026/12/07 月曜日  12:34:56", kColours);
  ExpectSame(strip, Reference({{1, "2026/12/07 月曜日 12:34:56"}}));
}

TEST(StripsTest, DateLineInEnglishKeepsTheWholeTime) {
  struct Case {
    DateLineForms forms;
    int x;
    std::string drawn;
  } cases[] = {
      // 168 pixels, 162 with one blank: the abbreviated weekday fits at 3.
      {{"2026/12/08 Tuesday  09:49:05", "2026/12/08 Tue  09:49:05", "2026/12/08  09:49:05"},
       3,
       "2026/12/08 Tue  09:49:05"},
      {{"2026/12/09 Wednesday  09:49:05", "2026/12/09 Wed  09:49:05", "2026/12/09  09:49:05"},
       3,
       "2026/12/09 Wed  09:49:05"},
      // 156 with one blank: the full weekday, moved left.
      {{"2026/12/07 Monday  12:34:56", "2026/12/07 Mon  12:34:56", "2026/12/07  12:34:56"},
       1,
       "2026/12/07 Monday 12:34:56"},
      // A long date form: too wide even abbreviated, so no weekday.
      {{"09 December 2026 Wednesday  09:49:05", "09 December 2026 Wed  09:49:05",
        "09 December 2026  09:49:05"},
       157 - 6 * 25,
       "09 December 2026 09:49:05"},
      // No shorter form and too wide: the time stays whole, the start goes.
      {{"2026/12/08 Tuesday  09:49:05", "", ""}, 157 - 162, "2026/12/08 Tuesday 09:49:05"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.forms.full);
    Canvas strip;
    DrawDateStrip(strip, Font(), c.forms, kColours);
    ExpectSame(strip, Reference({{c.x, c.drawn}}));
  }
}

TEST(StripsTest, SwitchImagesHaveExactColours) {
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const SwitchColours& c = kSwitchColours[static_cast<std::size_t>(i)];
    Canvas img = MakeSwitchImage(i);
    ASSERT_EQ(img.width(), 29);
    ASSERT_EQ(img.height(), 14);
    int leftInk = 0, rightInk = 0;
    for (int y = 0; y < 14; ++y) {
      EXPECT_EQ(img.GetPixel(0, y), Rgb(255, 255, 255));
      EXPECT_EQ(img.GetPixel(27, y), i < 2 ? Rgb(128, 128, 128) : c.face);
      EXPECT_EQ(img.GetPixel(28, y), Rgb(64, 64, 64));
      for (int x = 1; x < 27; ++x) {
        const std::uint32_t p = img.GetPixel(x, y);
        if (p == c.face) continue;
        ASSERT_EQ(p, c.text) << x << "," << y;
        EXPECT_TRUE(y >= 1 && y <= 11 && x >= 3 && x <= 25) << x << "," << y;
        (x <= 14 ? leftInk : rightInk)++;
      }
    }
    // Two characters, each with a real shape.
    EXPECT_GT(leftInk, 25);
    EXPECT_GT(rightInk, 25);
  }
  EXPECT_EQ(kSwitchColours[0].face, Rgb(212, 207, 198));
  EXPECT_EQ(kSwitchColours[1].text, Rgb(17, 17, 17));
  EXPECT_EQ(kSwitchColours[2].face, Rgb(221, 214, 203));
}

TEST(StripsTest, EveryButtonPixelIsRecognisedAsItsButton) {
  // A click is attributed by the colour under the cursor alone.
  const SwitchToggle expected[] = {SwitchToggle::kProxy, SwitchToggle::kActiveScripting,
                                   SwitchToggle::kJavaApplet};
  for (int i = 0; i < 3; ++i) {
    Canvas img = MakeSwitchImage(i);
    for (int y = 0; y < kSwitchHeight; ++y)
      for (int x = 1; x < 27; ++x)
        ASSERT_EQ(ToggleForColour(img.GetPixel(x, y)), expected[i]) << i << ": " << x << "," << y;
  }
}

TEST(StripsTest, SwitchImageIsPaintedOverTheTexts) {
  Canvas image = MakeSwitchImage(1);
  Canvas strip;
  DrawItemStrip(strip, Font(), 108, "OFF", kColours, nullptr, 0, &image);
  ExpectSame(strip, Reference({{0, "ＡＳ状態"}, {132, "OFF"}}), 0, 100);
  ExpectSame(strip, Reference({{0, "ＡＳ状態"}, {132, "OFF"}}), 129, kStripWidth);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 29; ++x) ASSERT_EQ(strip.GetPixel(100 + x, y), image.GetPixel(x, y));
}

// Label and value on a strip where the value begins inside the label: the
// label's pixels left of clip, then the value whole.
Canvas ClippedReference(const char* label, int clip, int valueX, const std::string& value) {
  Canvas full = Reference({{0, label}});
  Canvas c(kStripWidth, kStripHeight, kColours.back);
  c.BitBlt(0, 0, clip, kStripHeight, full, 0, 0);
  Font().Draw(c, valueX, 1, value, kColours.text);
  return c;
}

TEST(StripsTest, ValueOverItsLabelWinsAndTheLabelStopsBeforeIt) {
  struct Case {
    int key;
    std::string value;
    int valueX;
  } cases[] = {
      {106, "proxy.example.co.jp:8080", 155 - 6 * 24},  // 11: inside "ＰＲＯＸＹ"
      {104, kLoadingText, 157 - 108},                   // 49: inside "IPアドレス"
      {110, "123456.789MB", 150 - 6 * 12},              // 78: past "総受信量"
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Canvas strip;
    DrawItemStrip(strip, Font(), c.key, c.value, kColours);
    const int labelWidth = Font().TextWidth(StripLabel(c.key));
    if (labelWidth <= c.valueX) {  // no overlap: as the layout puts them
      ExpectSame(strip, Reference({{0, StripLabel(c.key)}, {c.valueX, c.value}}));
      continue;
    }
    ExpectSame(strip, ClippedReference(StripLabel(c.key), c.valueX - 1, c.valueX, c.value));
    // The column before the value is free of the label's ink, and every
    // pixel of the value is there.
    Canvas valueOnly = Reference({{c.valueX, c.value}});
    for (int y = 0; y < kStripHeight; ++y) {
      EXPECT_EQ(strip.GetPixel(c.valueX - 1, y), valueOnly.GetPixel(c.valueX - 1, y));
      for (int x = c.valueX; x < kStripWidth; ++x) {
        if (valueOnly.GetPixel(x, y) == kColours.text) {
          ASSERT_EQ(strip.GetPixel(x, y), kColours.text) << x << "," << y;
        }
      }
    }
  }
}

TEST(StripsTest, MemoryFiguresStayWholeOnBigMachines) {
  struct Case {
    std::string value, drawn;
  } cases[] = {
      // Fits: as before.
      {"メモリ使用率9999MB/16000MB", "メモリ使用率9999MB/16000MB"},
      // 162 pixels: the label gives up whole characters at its end.
      {"メモリ使用率12000MB/24105MB", "メモリ使用12000MB/24105MB"},
      {"メモリ使用率100000MB/128000MB", "メモリ使100000MB/128000MB"},
      {"メモリ使用率1000000MB/1048576MB", "メモリ1000000MB/1048576MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    Canvas strip;
    DrawItemStrip(strip, Font(), 101, c.value, kColours, nullptr, 0);
    ExpectSame(strip, Reference({{0, c.drawn}}));
  }
}

TEST(StripsTest, DiskNamesEndBeforeTheFigures) {
  struct Case {
    std::string name;
    int room;
    std::string fitted;
  } cases[] = {
      {"/", 6, "/"},
      {" /", 26, " /"},
      {"C:", 46, "C:"},
      {"/mnt/backup", 200, "/mnt/backup"},  // room enough: the whole path
      {"/mnt/backup", 40, "backup"},
      {"/mnt/backup/", 30, "backu"},
      {" /home", 26, "home"},
      {" /home", 23, "hom"},
      {"/home/ユーザー", 30, "ユー"},
      {" /srv", 5, ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FitDiskName(Font(), c.name, c.room), c.fitted) << c.name << " in " << c.room;
}

TEST(StripsTest, DiskStripOfALongMountPointAndOfAGoneDrive) {
  DiskTexts gb{" /home", "14.4", "39.0", "63%", 63};
  Canvas strip;
  DrawDiskStrip(strip, Font(), gb, 0, kColours, nullptr, 0);
  // "14.4GB/" starts at 26; the name ends 3 pixels or more before it.
  ExpectSame(strip, Reference({{0, "hom"}, {76, "39.0GB"}, {26, "14.4GB/"}, {132, "63%"}}));

  DiskTexts mb{"/mnt/backup", "1234", "40000", "3%", 3};
  DrawDiskStrip(strip, Font(), mb, 1, kColours, nullptr, 0);
  ExpectSame(strip, Reference({{1, "bac"}, {77, "40000MB"}, {23, "1234MB/"}, {138, "3%"}}));

  // 1000 GB or more free: the free figure ends where the total begins, and
  // the name makes room for it.
  DiskTexts big{" /mnt/backup", "1149.7", "8726.0", "69%", 69};
  DrawDiskStrip(strip, Font(), big, 0, kColours, nullptr, 0);
  ExpectSame(strip, Reference({{0, "b"}, {64, "8726.0GB"}, {10, "1149.7GB/"}, {132, "69%"}}));

  // Gone: its name and nothing else, no bar.
  Canvas gradient(kStripWidth, kStripHeight, Rgb(0, 90, 0));
  DiskTexts gone{" /mnt/backup", "", "", "", 0, false};
  DrawDiskStrip(strip, Font(), gone, 0, kColours, &gradient, 0);
  ExpectSame(strip, Reference({{0, " /mnt/backup"}}));
}

TEST(StripsTest, DiskStripInBothUnits) {
  Canvas gradient(kStripWidth, kStripHeight, Rgb(0, 90, 0));
  DiskTexts gb{" /", "14.4", "39.0", "63%", 63};
  Canvas strip;
  DrawDiskStrip(strip, Font(), gb, 0, kColours, &gradient, 99);
  Canvas expected(kStripWidth, kStripHeight, kColours.back);
  expected.FillRect(0, 0, 99, kStripHeight, Rgb(0, 90, 0));
  for (const Text& t : {Text{0, " /"}, Text{76, "39.0GB"}, Text{26, "14.4GB/"}, Text{132, "63%"}})
    Font().Draw(expected, t.x, 1, t.text, kColours.text);
  ExpectSame(strip, expected);

  DiskTexts mb{"C:", "14800", "40000", "63%", 63};
  DrawDiskStrip(strip, Font(), mb, 1, kColours, nullptr, 99);
  ExpectSame(strip, Reference({{1, "C:"}, {77, "40000MB"}, {17, "14800MB/"}, {132, "63%"}}));
}

TEST(StripsTest, NoticeConditions) {
  struct Case {
    const char* state;
    const char* version;
    bool autoCheck;
    bool active;
  } cases[] = {
      {"ok", "319", true, true},     {"ok", "318", true, false}, {"ok", "319", false, false},
      {"no", "999", true, false},    {"OK", "400", true, false}, {"ok", " 320 ", true, true},
      {"ok", "320beta", true, true}, {"ok", "", true, false},    {"ok", "abc", true, false},
      {"ok", "318.5", true, true},
  };
  for (const Case& c : cases) {
    WebCheckResults web;
    web.pageState = c.state;
    web.latestVersion = c.version;
    EXPECT_EQ(NoticeActive(web, c.autoCheck), c.active) << c.state << " " << c.version;
  }
}

TEST(StripsTest, NoticeScrollsTwentyPixelsATick) {
  const std::string twelve = "新しいバージョンです！！";
  ASSERT_EQ(CharacterCount(twelve), 12);
  std::int16_t scroll = 0;
  Canvas strip;
  for (int tick = 0; tick < 13; ++tick) {
    const int x = tick == 12 ? 150 : 150 - 20 * tick;
    DrawNoticeStrip(strip, Font(), twelve, scroll);
    SCOPED_TRACE(tick);
    ExpectSame(strip, Reference({{x, twelve}}, kNoticeRectColour, kNoticeTextColour));
  }
  EXPECT_EQ(scroll, 1);
  // An empty notice does not count up without end.
  std::int16_t empty = 0;
  for (int i = 0; i < 5; ++i) DrawNoticeStrip(strip, Font(), "", empty);
  EXPECT_EQ(empty, 0);
}

}  // namespace
}  // namespace mirel
