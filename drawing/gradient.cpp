#include "drawing/gradient.h"

#include <algorithm>
#include <cmath>

namespace mirel {

namespace {

constexpr const char* kWhiteText = "16777215";

struct Channels {
  int r, g, b;
};

Channels Split(std::uint32_t colour) {
  return {static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
          static_cast<int>((colour >> 16) & 0xFF)};
}

void EnsureSize(Canvas& c) {
  if (c.width() != kStripWidth || c.height() != kStripHeight)
    c.Resize(kStripWidth, kStripHeight, kWhite);
}

int Channel(int x, float step, int start) {
  // Single-precision steps and half-to-even rounding decide which grey a
  // column gets; the default rounding mode is to nearest, ties to even.
  const float value = static_cast<float>(x) * step + static_cast<float>(start);
  return static_cast<int>(std::nearbyint(value));
}

int ItemKey(const ItemRow& row) {
  double key = 0;
  if (!ParseLenientNumber(row.key, key)) return -1;
  return static_cast<int>(key);
}

bool HasImage(int key) {
  return key >= 100 && key <= 103;
}

}  // namespace

void RenderGradient(std::string& startColor, std::string& endColor, Canvas& preview,
                    Canvas& target) {
  if (startColor.empty()) startColor = kWhiteText;
  if (endColor.empty()) endColor = kWhiteText;
  const Channels s = Split(ParseColourText(startColor));
  const Channels e = Split(ParseColourText(endColor));
  EnsureSize(preview);
  EnsureSize(target);

  // The column count comes from the preview's height, not its width, so the
  // last visible column stops short of the end colour.
  const int n = 13 * preview.height();
  const float stepR = static_cast<float>(static_cast<double>(e.r - s.r) / n);
  const float stepG = static_cast<float>(static_cast<double>(e.g - s.g) / n);
  const float stepB = static_cast<float>(static_cast<double>(e.b - s.b) / n);
  const int visible = std::min(n, preview.width());
  for (int x = 0; x < visible; ++x) {
    const std::uint32_t colour =
        Rgb(Channel(x, stepR, s.r), Channel(x, stepG, s.g), Channel(x, stepB, s.b));
    preview.FillRect(x, 0, 1, preview.height(), colour);
  }
  target.BitBlt(0, 0, preview.width(), preview.height(), preview, 0, 0);
}

void DrawItemGradient(SettingsModel& model, GradientImages& images) {
  if (model.selectedItem < 0 || model.selectedItem >= static_cast<int>(model.items.size())) return;
  ItemRow& row = model.items[static_cast<std::size_t>(model.selectedItem)];
  const int key = ItemKey(row);
  if (HasImage(key)) {
    RenderGradient(row.startColor, row.endColor, images.itemPreview,
                   images.items[static_cast<std::size_t>(key - 100)]);
    model.startColourCaption = "開始色";
    model.endColourCaption = "終点色";
  } else {
    model.startColourCaption = "色変更不可";
    model.endColourCaption = "色変更不可";
    EnsureSize(images.itemPreview);
    images.itemPreview.Clear(kPreviewClearColour);
  }
}

void DrawDriveGradient(SettingsModel& model, GradientImages& images) {
  if (model.selectedDrive < 0 || model.selectedDrive >= static_cast<int>(model.drives.size()))
    return;
  const auto r = static_cast<std::size_t>(model.selectedDrive);
  if (images.drives.size() < model.drives.size()) images.drives.resize(model.drives.size());
  DriveRow& row = model.drives[r];
  RenderGradient(row.startColor, row.endColor, images.drivePreview, images.drives[r]);
}

void RenderAllGradients(SettingsModel& model, GradientImages& images) {
  images.drives.resize(model.drives.size());
  for (std::size_t r = 0; r < model.drives.size(); ++r) {
    RenderGradient(model.drives[r].startColor, model.drives[r].endColor, images.drivePreview,
                   images.drives[r]);
  }
  for (ItemRow& row : model.items) {
    const int key = ItemKey(row);
    if (!HasImage(key)) continue;
    RenderGradient(row.startColor, row.endColor, images.itemPreview,
                   images.items[static_cast<std::size_t>(key - 100)]);
  }
  DrawDriveGradient(model, images);
  DrawItemGradient(model, images);
}

}  // namespace mirel
