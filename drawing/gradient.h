// Gradient bar images: the bars of the processor, memory, rate and disk
// strips are the left part of these prepared 157 × 13 images.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "drawing/canvas.h"
#include "readings/rates.h"  // kStripWidth
#include "settings/settings_model.h"

namespace mirel {

inline constexpr int kStripHeight = 13;
// What a cleared item preview shows (an item without a gradient is selected).
inline constexpr std::uint32_t kPreviewClearColour = kWhite;

struct GradientImages {
  std::array<Canvas, 4> items;  // keys "100".."103"
  std::vector<Canvas> drives;   // one per drive row
  Canvas itemPreview;           // Picture2 of the dialog
  Canvas drivePreview;          // Picture4 of the dialog
};

// The common rendering: empty colour texts become "16777215" (the row keeps
// them), the gradient is painted into preview and copied into target.
void RenderGradient(std::string& startColor, std::string& endColor, Canvas& preview,
                    Canvas& target);
// The selected item row: keys 100-103 render into their image and set the
// colour button captions to "開始色"/"終点色"; other keys set both captions to
// "色変更不可" and clear the preview. No selection: nothing happens.
void DrawItemGradient(SettingsModel& model, GradientImages& images);
// The selected drive row into its image.
void DrawDriveGradient(SettingsModel& model, GradientImages& images);
// Start-up: every drive row and every item row 100-103 into its image, then
// the previews of the selected rows.
void RenderAllGradients(SettingsModel& model, GradientImages& images);

}  // namespace mirel
