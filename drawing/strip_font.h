// The 12-pixel bitmap font of the strips. Every text position of the strips
// assumes 6 pixels per half-width character and 12 per full-width one, so
// the glyphs come from two fixed-cell bitmap fonts: shnm6x12a for ASCII in
// front of b12 for everything else. Glyphs are drawn monochrome with a
// transparent background.
#pragma once

#include <cstdint>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "drawing/canvas.h"
#include "settings/char_text.h"

namespace mirel {

inline constexpr const char* kAsciiFontPath = "/usr/share/fonts/X11/misc/shnm6x12a.pcf.gz";
inline constexpr const char* kAsciiFontPackage = "xfonts-shinonome";
inline constexpr const char* kFallbackFontPath = "/usr/share/fonts/X11/misc/b12.pcf.gz";
inline constexpr const char* kFallbackFontPackage = "xfonts-efont-unicode";

inline constexpr int kHalfWidthAdvance = 6;
inline constexpr int kFullWidthAdvance = 12;
inline constexpr int kCellHeight = 12;

class StripFont;

struct StripFontLoad {
  std::unique_ptr<StripFont> font;  // null on failure
  std::string error;                // names the file and the package to install
};

class StripFont {
 public:
  // The fonts at their Debian paths.
  static StripFontLoad Open();
  // The same font files in `folder`: where a Windows installation keeps them
  // (its "fonts" folder beside the program), as Windows has no copy of its own.
  static StripFontLoad OpenFromFolder(const std::filesystem::path& folder);
  // A compressed font is inflated once into cacheDir (the user's cache
  // folder when empty) and read from there, so that it costs neither the
  // inflation at every start nor private memory; where that folder cannot be
  // written, the font is inflated into memory. A copy that another program
  // shortens or rewrites meanwhile is noticed before the next glyph is read
  // from it, and made again.
  static StripFontLoad Open(const std::filesystem::path& asciiFont, const std::string& asciiPackage,
                            const std::filesystem::path& fallbackFont,
                            const std::string& fallbackPackage,
                            const std::filesystem::path& cacheDir = {});

  // The user's cache folder for inflated fonts ($XDG_CACHE_HOME/mirel9x or
  // ~/.cache/mirel9x); empty when neither is known.
  static std::filesystem::path DefaultCacheDir();

  ~StripFont();
  StripFont(const StripFont&) = delete;
  StripFont& operator=(const StripFont&) = delete;

  // Draws UTF-8 text with its cell top at y, starting at x, in colour
  // (0x00BBGGRR); pixels outside the glyphs are left alone, the canvas edges
  // clip, and so does clipRight: no pixel at or right of it is drawn. A
  // character that neither font has is drawn as a box. Returns the x after
  // the text.
  int Draw(Canvas& canvas, int x, int y, std::string_view text, std::uint32_t colour,
           int clipRight = std::numeric_limits<int>::max()) const;

  // Width in pixels of the text as Draw lays it out.
  int TextWidth(std::string_view text) const;

  // Whether a font holds a glyph for the code point.
  bool HasGlyph(char32_t codePoint) const;

 private:
  struct Impl;
  explicit StripFont(std::unique_ptr<Impl> impl);
  // fromFolder: a missing file is to be copied, not installed.
  static StripFontLoad Open(const std::filesystem::path& asciiFont, const std::string& asciiPackage,
                            const std::filesystem::path& fallbackFont,
                            const std::string& fallbackPackage,
                            const std::filesystem::path& cacheDir, bool fromFolder);
  std::unique_ptr<Impl> impl_;
};

}  // namespace mirel
