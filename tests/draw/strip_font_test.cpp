#include "drawing/strip_font.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

namespace mirel {
namespace {

const StripFont& Font() {
  static StripFontLoad load = StripFont::Open();
  if (!load.font) ADD_FAILURE() << load.error;
  return *load.font;
}

constexpr std::uint32_t kBack = Rgb(10, 20, 30);
constexpr std::uint32_t kInk = Rgb(250, 240, 230);

Canvas Drawn(std::string_view text, int x = 0, int width = 160, int height = 13) {
  Canvas c(width, height, kBack);
  Font().Draw(c, x, 1, text, kInk);
  return c;
}

int InkCount(const Canvas& c) {
  int n = 0;
  for (int y = 0; y < c.height(); ++y)
    for (int x = 0; x < c.width(); ++x) n += c.GetPixel(x, y) == kInk;
  return n;
}

TEST(StripFontTest, AdvancesAreSixAndTwelvePixels) {
  struct Case {
    const char* text;
    int width;
  } cases[] = {
      {"", 0},
      {"A", 6},
      {"50%", 18},
      {"変", 12},
      {"ＣＰＵ使用率", 72},
      {"Javaアプレット状態", 4 * 6 + 7 * 12},
      {"1234Kbyte/秒", 10 * 6 + 12},
      {"Now　Loading・・・", 3 * 6 + 12 + 7 * 6 + 3 * 12},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Font().TextWidth(c.text), c.width) << c.text;
    Canvas canvas(200, 13);
    EXPECT_EQ(Font().Draw(canvas, 7, 1, c.text, kInk), 7 + c.width) << c.text;
  }
}

TEST(StripFontTest, GlyphsStayInTheTwelveRowCellAndAreMonochrome) {
  // Letters with descenders, tall full-width forms and kana: nothing above
  // the cell top at y = 1, nothing below the strip, and no pixel that is
  // neither the background nor the exact text colour.
  Canvas c = Drawn("Agjy|_ＣＰＵ使用率曜変更・");
  int ink = 0;
  for (int x = 0; x < c.width(); ++x) EXPECT_EQ(c.GetPixel(x, 0), kBack) << "x=" << x;
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) {
      const std::uint32_t p = c.GetPixel(x, y);
      ASSERT_TRUE(p == kBack || p == kInk) << x << "," << y;
      ink += p == kInk;
    }
  }
  EXPECT_GT(ink, 100);
}

TEST(StripFontTest, BackgroundIsTransparent) {
  Canvas c(40, 13, kBack);
  c.FillRect(0, 0, 20, 13, Rgb(1, 2, 3));
  Font().Draw(c, 0, 1, "8888", kInk);
  int kept = 0;
  for (int y = 0; y < 13; ++y) {
    for (int x = 0; x < 40; ++x) {
      const std::uint32_t p = c.GetPixel(x, y);
      if (p == kInk) continue;
      EXPECT_EQ(p, x < 20 ? Rgb(1, 2, 3) : kBack) << x << "," << y;
      ++kept;
    }
  }
  EXPECT_GT(kept, 300);
}

TEST(StripFontTest, TextIsCutAtTheCanvasEdges) {
  // Text from a negative x shows the same pixels as its visible tail drawn
  // from where that tail starts.
  Canvas cut = Drawn("AB受C", -6, 40);
  Canvas tail = Drawn("B受C", 0, 40);
  for (int y = 0; y < 13; ++y)
    for (int x = 0; x < 40; ++x) ASSERT_EQ(cut.GetPixel(x, y), tail.GetPixel(x, y));
  // Right edge and a canvas shorter than the cell: no write outside.
  Canvas small(10, 5, kBack);
  EXPECT_EQ(Font().Draw(small, 4, 1, "WWWW", kInk), 28);
  EXPECT_GT(InkCount(small), 0);
}

TEST(StripFontTest, CharacterWithoutGlyphDrawsAVisibleBox) {
  const char32_t missing = 0x10FFFD;  // private use, in neither font
  ASSERT_FALSE(Font().HasGlyph(missing));
  ASSERT_TRUE(Font().HasGlyph(U'曜'));
  Canvas c = Drawn("\xF4\x8F\xBF\xBD");
  EXPECT_GT(InkCount(c), 10);
  EXPECT_EQ(Font().TextWidth("\xF4\x8F\xBF\xBD"), 6);
  // Malformed UTF-8 still draws something and never reads past the end.
  EXPECT_GT(InkCount(Drawn("\xE6\x97")), 0);
}

TEST(StripFontTest, CharacterCountCountsCodePoints) {
  struct Case {
    const char* text;
    int count;
  } cases[] = {
      {"", 0},
      {"50%", 3},
      {"1234Kbyte/秒", 11},
      {"接続不能", 4},
      {"再起動後に表示", 7},
      {"\xF0\x9F\x98\x80", 1},
      {"\xE6\x97", 2},
      {"a\x80z", 3},
  };
  for (const Case& c : cases) EXPECT_EQ(CharacterCount(c.text), c.count) << c.text;
}

TEST(StripFontTest, MissingOrBrokenFontIsAnErrorNamingThePackage) {
  const auto dir = std::filesystem::temp_directory_path() / "mirel_strip_font_test";
  std::filesystem::create_directories(dir);
  const auto junk = dir / "junk.pcf.gz";
  { std::ofstream(junk) << "not a font"; }

  StripFontLoad missing =
      StripFont::Open(kAsciiFontPath, kAsciiFontPackage, dir / "nothing.pcf.gz", "pkg-b");
  EXPECT_EQ(missing.font, nullptr);
  EXPECT_NE(missing.error.find("nothing.pcf.gz"), std::string::npos) << missing.error;
  EXPECT_NE(missing.error.find("pkg-b"), std::string::npos) << missing.error;

  StripFontLoad broken = StripFont::Open(junk, "pkg-a", kFallbackFontPath, kFallbackFontPackage);
  EXPECT_EQ(broken.font, nullptr);
  EXPECT_NE(broken.error.find("pkg-a"), std::string::npos) << broken.error;
  std::filesystem::remove_all(dir);
}

// A Windows installation carries the two font files in a folder of its own.
TEST(StripFontTest, FontsFromAFolderAreTheSameFonts) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / "mirel_strip_font_folder_test";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(kAsciiFontPath, dir / fs::path(kAsciiFontPath).filename());

  StripFontLoad half = StripFont::OpenFromFolder(dir);
  EXPECT_EQ(half.font, nullptr);
  EXPECT_NE(half.error.find((dir / "b12.pcf.gz").string()), std::string::npos) << half.error;
  EXPECT_NE(half.error.find(kFallbackFontPackage), std::string::npos) << half.error;

  fs::copy_file(kFallbackFontPath, dir / fs::path(kFallbackFontPath).filename());
  StripFontLoad load = StripFont::OpenFromFolder(dir);
  ASSERT_NE(load.font, nullptr) << load.error;
  const std::string text = "CPU 37% メモリ";
  Canvas a(160, 13, kBack), b(160, 13, kBack);
  Font().Draw(a, 0, 1, text, kInk);
  load.font->Draw(b, 0, 1, text, kInk);
  EXPECT_TRUE(std::equal(a.data(), a.data() + 160 * 13, b.data()));
  EXPECT_GT(InkCount(b), 0);
  fs::remove_all(dir);
}

TEST(StripFontTest, CompressedFontsAreInflatedOnceIntoTheCacheAndReadFromThere) {
  const auto cache =
      std::filesystem::temp_directory_path() / ("mirel_font_cache_" + std::to_string(::getpid()));
  std::filesystem::remove_all(cache);
  auto open = [&] {
    return StripFont::Open(kAsciiFontPath, kAsciiFontPackage, kFallbackFontPath,
                           kFallbackFontPackage, cache);
  };
  auto draw = [](const StripFont& font) {
    Canvas c(157, 13, 0);
    font.Draw(c, 0, 1, "ＣＰＵ使用率 37% 受信量", Rgb(255, 255, 255));
    return std::vector<std::uint32_t>(c.data(), c.data() + 157 * 13);
  };
  auto cachedFiles = [&] {
    std::vector<std::filesystem::path> files;
    for (const auto& e : std::filesystem::directory_iterator(cache)) files.push_back(e.path());
    std::sort(files.begin(), files.end());
    return files;
  };

  StripFontLoad first = open();
  ASSERT_NE(first.font, nullptr) << first.error;
  const std::vector<std::filesystem::path> files = cachedFiles();
  ASSERT_EQ(files.size(), 2u);  // one inflated copy per font, no temporary left
  EXPECT_GT(std::filesystem::file_size(files[0]), 100000u);  // b12, inflated
  EXPECT_EQ(files[0].filename().string().rfind("b12.pcf-", 0), 0u);
  EXPECT_EQ(files[1].filename().string().rfind("shnm6x12a.pcf-", 0), 0u);

  // Opened from the copy: the same glyphs.
  StripFontLoad second = open();
  ASSERT_NE(second.font, nullptr) << second.error;
  EXPECT_EQ(draw(*second.font), draw(*first.font));
  EXPECT_EQ(cachedFiles(), files);

  // A damaged copy is not used, and is made again.
  { std::ofstream(files[0], std::ios::trunc) << "damaged"; }
  StripFontLoad third = open();
  ASSERT_NE(third.font, nullptr) << third.error;
  EXPECT_EQ(draw(*third.font), draw(*first.font));
  EXPECT_GT(std::filesystem::file_size(files[0]), 100000u);

  // A folder that cannot hold the copy (a file is in the way): the font
  // still opens, from memory.
  std::filesystem::remove_all(cache);
  { std::ofstream(cache) << "in the way"; }
  StripFontLoad fourth = open();
  ASSERT_NE(fourth.font, nullptr) << fourth.error;
  EXPECT_EQ(draw(*fourth.font), draw(*first.font));
  std::filesystem::remove(cache);
}

// A cleaner, `cp` or `rsync --inplace` may shorten or rewrite the cached copy
// while the monitor runs: the next glyph still comes out right (and the
// program does not crash), and the copy is made again.
TEST(StripFontTest, ACachedCopyChangedUnderTheProgramIsNoticedAndMadeAgain) {
  namespace fs = std::filesystem;
  const fs::path cache =
      fs::temp_directory_path() / ("mirel_font_change_" + std::to_string(::getpid()));
  fs::remove_all(cache);
  StripFontLoad load = StripFont::Open(kAsciiFontPath, kAsciiFontPackage, kFallbackFontPath,
                                       kFallbackFontPackage, cache);
  ASSERT_NE(load.font, nullptr) << load.error;
  fs::path copy;
  for (const auto& e : fs::directory_iterator(cache))
    if (e.path().filename().string().rfind("b12.pcf-", 0) == 0) copy = e.path();
  ASSERT_FALSE(copy.empty());
  const std::uintmax_t size = fs::file_size(copy);
  auto same = [&](std::string_view text) {
    Canvas a(40, 13, kBack), b(40, 13, kBack);
    Font().Draw(a, 0, 1, text, kInk);
    load.font->Draw(b, 0, 1, text, kInk);
    return std::equal(a.data(), a.data() + 40 * 13, b.data()) && InkCount(b) > 0;
  };
  EXPECT_TRUE(same("受信"));

  fs::resize_file(copy, 4096);
  EXPECT_TRUE(same("量")) << "a glyph read after the copy was shortened";
  EXPECT_EQ(fs::file_size(copy), size) << "made again";

  {  // noise of the same size, written in place
    std::fstream f(copy, std::ios::in | std::ios::out | std::ios::binary);
    std::string noise(size, '\0');
    for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>(i * 7919 >> 3);
    f.write(noise.data(), static_cast<std::streamsize>(noise.size()));
  }
  EXPECT_TRUE(same("送")) << "a glyph read after the copy was overwritten";
  StripFontLoad again = StripFont::Open(kAsciiFontPath, kAsciiFontPackage, kFallbackFontPath,
                                        kFallbackFontPackage, cache);
  ASSERT_NE(again.font, nullptr) << again.error;
  Canvas a(40, 13, kBack), b(40, 13, kBack);
  Font().Draw(a, 0, 1, "秒", kInk);
  again.font->Draw(b, 0, 1, "秒", kInk);
  EXPECT_TRUE(std::equal(a.data(), a.data() + 40 * 13, b.data())) << "the copy made again is whole";

  // A FIFO in the copy's place is not opened (which would wait for a
  // writer): it is replaced.
  fs::remove(copy);
  ASSERT_EQ(::mkfifo(copy.c_str(), 0600), 0);
  ::alarm(30);
  StripFontLoad fifo = StripFont::Open(kAsciiFontPath, kAsciiFontPackage, kFallbackFontPath,
                                       kFallbackFontPackage, cache);
  ::alarm(0);
  ASSERT_NE(fifo.font, nullptr) << fifo.error;
  EXPECT_TRUE(fs::is_regular_file(copy));
  fs::remove_all(cache);
}

}  // namespace
}  // namespace mirel
