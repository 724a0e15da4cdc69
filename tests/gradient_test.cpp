#include "drawing/gradient.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace mirel {
namespace {

struct Rgb3 {
  int r, g, b;
};
Rgb3 At(const Canvas& c, int x, int y = 0) {
  const std::uint32_t v = c.GetPixel(x, y);
  return {static_cast<int>(v & 0xFF), static_cast<int>((v >> 8) & 0xFF),
          static_cast<int>((v >> 16) & 0xFF)};
}

Canvas Render(std::string start, std::string end) {
  Canvas preview(kStripWidth, kStripHeight), target(kStripWidth, kStripHeight);
  RenderGradient(start, end, preview, target);
  return target;
}

TEST(GradientTest, BlackToWhiteStopsShortOfWhite) {
  Canvas img = Render("0", "16777215");
  // 169 columns over a 157-pixel image: column 156 is 156/169 of the way.
  for (int y = 0; y < kStripHeight; ++y) {
    EXPECT_EQ(img.GetPixel(0, y), 0u);
    EXPECT_EQ(img.GetPixel(156, y), Rgb(235, 235, 235));
  }
  // Grey, never falling, every column the same from top to bottom.
  for (int x = 1; x < kStripWidth; ++x) {
    const Rgb3 prev = At(img, x - 1), cur = At(img, x);
    EXPECT_TRUE(cur.r == cur.g && cur.g == cur.b) << x;
    EXPECT_GE(cur.r, prev.r) << x;
    EXPECT_LE(cur.r - prev.r, 2) << x;
    for (int y = 1; y < kStripHeight; ++y) ASSERT_EQ(img.GetPixel(x, y), img.GetPixel(x, 0));
  }
}

TEST(GradientTest, ChannelsRunIndependently) {
  // Red to blue: red falls as blue rises, green stays 0; halves of the
  // per-column step are rounded, so the sum stays within one of 255.
  Canvas img = Render("255", std::to_string(255 << 16));
  EXPECT_EQ(img.GetPixel(0, 0), Rgb(255, 0, 0));
  EXPECT_EQ(At(img, 156).b, 235);
  EXPECT_EQ(At(img, 156).r, 20);  // 255 - 235.38
  for (int x = 0; x < kStripWidth; ++x) {
    const Rgb3 c = At(img, x);
    EXPECT_EQ(c.g, 0);
    EXPECT_LE(std::abs(c.r + c.b - 255), 1) << x;
  }
}

TEST(GradientTest, PlainBarAndColourTexts) {
  struct Case {
    std::string start, end;
    std::uint32_t first, last;
    std::string startAfter, endAfter;
  } cases[] = {
      {"255", "255", Rgb(255, 0, 0), Rgb(255, 0, 0), "255", "255"},
      // Saved rows carry trailing blanks; they do not change the colour.
      {"65280   ", "65280 ", Rgb(0, 255, 0), Rgb(0, 255, 0), "65280   ", "65280 "},
      // Empty texts stand for white and the row keeps "16777215".
      {"", "", kWhite, kWhite, "16777215", "16777215"},
      {"", "0", kWhite, Rgb(20, 20, 20), "16777215", "0"},
  };
  for (Case& c : cases) {
    Canvas preview, target;
    RenderGradient(c.start, c.end, preview, target);
    EXPECT_EQ(target.width(), kStripWidth);
    EXPECT_EQ(target.height(), kStripHeight);
    EXPECT_EQ(target.GetPixel(0, 6), c.first) << c.startAfter;
    EXPECT_EQ(target.GetPixel(156, 6), c.last) << c.startAfter;
    EXPECT_EQ(c.start, c.startAfter);
    EXPECT_EQ(c.end, c.endAfter);
    // The preview shows what the image holds.
    EXPECT_EQ(preview.GetPixel(100, 3), target.GetPixel(100, 3));
  }
}

SettingsModel ModelWithItems() {
  SettingsModel m;
  const char* keys[] = {"100", "101", "102", "103", "104", "113"};
  for (const char* k : keys) m.items.push_back({std::string("item") + k, k, "0", "16777215", true});
  m.drives.push_back({"/", "ハードディスク", "255", "255", true});
  m.drives.push_back({"/home", "ハードディスク", "", "", true});
  return m;
}

TEST(GradientTest, ItemWithoutGradientGreysOutTheColourButtons) {
  SettingsModel m = ModelWithItems();
  GradientImages images;
  for (Canvas& c : images.items) c.Resize(kStripWidth, kStripHeight, Rgb(1, 2, 3));
  images.itemPreview.Resize(kStripWidth, kStripHeight, Rgb(9, 9, 9));

  m.selectedItem = 4;  // "104"
  DrawItemGradient(m, images);
  EXPECT_EQ(m.startColourCaption, "色変更不可");
  EXPECT_EQ(m.endColourCaption, "色変更不可");
  EXPECT_EQ(images.itemPreview.GetPixel(50, 5), kPreviewClearColour);
  for (const Canvas& c : images.items) EXPECT_EQ(c.GetPixel(156, 12), Rgb(1, 2, 3));

  m.selectedItem = 2;  // "102" renders into its own image only
  DrawItemGradient(m, images);
  EXPECT_EQ(m.startColourCaption, "開始色");
  EXPECT_EQ(m.endColourCaption, "終点色");
  EXPECT_EQ(images.items[2].GetPixel(156, 0), Rgb(235, 235, 235));
  EXPECT_EQ(images.items[1].GetPixel(156, 0), Rgb(1, 2, 3));
  EXPECT_EQ(images.itemPreview.GetPixel(156, 0), Rgb(235, 235, 235));

  // No selection (or one past the end): nothing changes.
  m.startColourCaption = "x";
  for (int sel : {-1, 6}) {
    m.selectedItem = sel;
    DrawItemGradient(m, images);
    EXPECT_EQ(m.startColourCaption, "x");
  }
}

TEST(GradientTest, StartUpRendersEveryImage) {
  SettingsModel m = ModelWithItems();
  m.selectedItem = 5;  // the graph: previews cleared, captions greyed
  m.selectedDrive = 0;
  GradientImages images;
  RenderAllGradients(m, images);
  ASSERT_EQ(images.drives.size(), 2u);
  EXPECT_EQ(images.drives[0].GetPixel(80, 4), Rgb(255, 0, 0));
  EXPECT_EQ(images.drives[1].GetPixel(80, 4), kWhite);
  EXPECT_EQ(m.drives[1].startColor, "16777215");
  for (const Canvas& c : images.items) EXPECT_EQ(c.GetPixel(156, 0), Rgb(235, 235, 235));
  EXPECT_EQ(images.drivePreview.GetPixel(80, 4), Rgb(255, 0, 0));
  EXPECT_EQ(m.startColourCaption, "色変更不可");

  m.selectedDrive = 1;
  m.drives[1].endColor = "0";
  DrawDriveGradient(m, images);
  EXPECT_EQ(images.drives[1].GetPixel(0, 0), kWhite);
  EXPECT_EQ(images.drives[1].GetPixel(156, 0), Rgb(20, 20, 20));
  EXPECT_EQ(images.drives[0].GetPixel(80, 4), Rgb(255, 0, 0));
}

}  // namespace
}  // namespace mirel
