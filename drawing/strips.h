// The 157 × 13 item strips: label at the left, value text towards the right,
// a bar copied from a gradient image, the "変更" switch images and the
// scrolling new-version notice.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "drawing/canvas.h"
#include "drawing/strip_font.h"
#include "readings/monitor_state.h"
#include "readings/sampling.h"
#include "readings/web_check_results.h"

namespace mirel {

// Item strips are drawn in this order on every tick; the disk strips and the
// notice follow.
inline constexpr std::array<int, 13> kStripDrawOrder = {100, 101, 102, 103, 105, 106, 107,
                                                        108, 109, 110, 111, 104, 114};

struct StripColours {
  std::uint32_t back = 0;
  std::uint32_t text = 0;
};

// The label drawn at (0, 1), or nullptr when the item has none.
const char* StripLabel(int key);
// Where the value text starts: a constant less 6 pixels per character. (A
// text that would then run past the right edge is drawn further left.)
int ValueTextX(int key, std::string_view valueText);

// Strips 100-103 are drawn when their item is shown or the graph follows
// their quantity; every other strip only when shown.
bool StripDrawn(int key, const std::array<bool, kShownSlots>& shownFlags, int graphSource);

// One item strip (every key but 112 and 113). gradient and barWidth give the
// bar of keys 100-103 (no bar for a null gradient or a width of 0 or less);
// switchImage is painted at (100, 0) after the texts.
void DrawItemStrip(Canvas& strip, const StripFont& font, int key, std::string_view valueText,
                   StripColours colours, const Canvas* gradient = nullptr, int barWidth = 0,
                   const Canvas* switchImage = nullptr);

// A traffic limit is used up: a small red corner at the top right of the
// receive and send strips, beside the values' end (they end at x 150).
inline constexpr std::uint32_t kLimitMarkColour = Rgb(232, 32, 32);
inline constexpr int kLimitMarkSize = 5;
void DrawLimitMark(Canvas& strip);

// The date strip (key 114): the full line, or a shorter form of it where the
// full one does not fit.
void DrawDateStrip(Canvas& strip, const StripFont& font, const DateLineForms& forms,
                   StripColours colours);

// One disk strip; hddUnit 0 is GB, 1 is MB. A drive without figures shows
// its name alone.
void DrawDiskStrip(Canvas& strip, const StripFont& font, const DiskTexts& texts, int hddUnit,
                   StripColours colours, const Canvas* gradient, int barWidth);

// The drive name as it fits in `room` pixels: whole when it fits, else the
// last part of its path without leading blanks (" /mnt/backup" -> "backup",
// "/" stays "/") cut to the characters that fit.
std::string FitDiskName(const StripFont& font, std::string_view name, int room);

// --- Switch images ----------------------------------------------------------

// The monitor window recognises a click on a button by the colour under the
// cursor, so these colours are exact.
inline constexpr int kSwitchWidth = 29;
inline constexpr int kSwitchHeight = 14;
inline constexpr int kSwitchX = 100;
inline constexpr std::uint32_t kSwitchHighlight = Rgb(255, 255, 255);  // column 0
inline constexpr std::uint32_t kSwitchShadow = Rgb(128, 128, 128);     // column 27
inline constexpr std::uint32_t kSwitchDarkShadow = Rgb(64, 64, 64);    // column 28

struct SwitchColours {
  std::uint32_t face;
  std::uint32_t text;
  bool shadowColumn;  // column 27 is kSwitchShadow rather than face colour
};
// Image 0: proxy switch (107), 1: Active Scripting (108), 2: Java (109).
inline constexpr std::array<SwitchColours, 3> kSwitchColours = {{
    {Rgb(212, 207, 198), Rgb(8, 8, 8), true},
    {Rgb(216, 208, 196), Rgb(17, 17, 17), true},
    {Rgb(221, 214, 203), Rgb(26, 26, 26), false},
}};

Canvas MakeSwitchImage(int index);

// --- New-version notice -----------------------------------------------------

inline constexpr std::uint32_t kNoticeRectColour = 0xFFFF80;  // red 128, green and blue 255
inline constexpr std::uint32_t kNoticeTextColour = Rgb(0, 0, 128);

// The page said "ok", its version is newer than this program's and the user
// asked for the check.
bool NoticeActive(const WebCheckResults& web, bool versionCheckAuto);
// Draws the notice 20 pixels further left each time, starting again at
// x = 150 after as many ticks as it has characters.
void DrawNoticeStrip(Canvas& strip, const StripFont& font, std::string_view notice,
                     std::int16_t& noticeScroll);

}  // namespace mirel
