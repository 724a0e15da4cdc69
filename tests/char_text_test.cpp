#include "settings/char_text.h"

#include <gtest/gtest.h>

namespace mirel {
namespace {

TEST(CharTextTest, StrictDecodingRefusesOverlongSurrogateAndOutOfRangeForms) {
  const char* malformed[] = {
      "\xC0\xAF",          // overlong '/'
      "\xC1\xBF",          // overlong U+007F
      "\xE0\x9A\x83",      // overlong U+0683
      "\xE0\x80\xAF",      // overlong '/'
      "\xF0\x8F\xBF\xBF",  // overlong U+FFFF
      "\xED\xA0\x80",      // the surrogate U+D800
      "\xF4\x90\x80\x80",  // U+110000
      "\xF5\x80\x80\x80",  // lead byte past U+10FFFF
      "a\x80",             // a stray continuation byte
      "\xE3\x81",          // a sequence cut short
  };
  for (const char* text : malformed) {
    EXPECT_FALSE(DecodeUtf8(text).has_value()) << testing::PrintToString(std::string(text));
  }
  // The edges of the valid ranges still decode.
  EXPECT_EQ(
      DecodeUtf8("\xC2\x80\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"),
      (std::u32string{0x80, 0x800, 0xD7FF, 0xE000, 0x10000, 0x10FFFF}));
  EXPECT_EQ(DecodeUtf8("設定\xEF\xBF\xBD"), (std::u32string{U'設', U'定', 0xFFFD}));
}

TEST(CharTextTest, CountAndSliceAgreeOnMalformedBytes) {
  const std::string texts[] = {"a\x80", "\x80\x80", "ab\xE3\x81", "\xE0\x9A\x83z", "x\xF0\x9F\x99"};
  for (const std::string& text : texts) {
    const int count = CharacterCount(text);
    std::string joined;
    for (int k = 0; k < count; ++k) {
      std::string one = CharSlice(text, static_cast<std::size_t>(k), 1);
      EXPECT_FALSE(one.empty()) << testing::PrintToString(text) << " character " << k;
      joined += one;
    }
    EXPECT_EQ(joined, text) << "the characters cover the text exactly";
    EXPECT_EQ(CharSlice(text, static_cast<std::size_t>(count), 5), "");
  }
  EXPECT_EQ(CharacterCount("a\x80"), 2);
  EXPECT_EQ(CharSlice("a\x80", 1, 1), "\x80");
  EXPECT_EQ(CharSlice("ＩＰアドレス", 2, 3), "アドレ");
}

}  // namespace
}  // namespace mirel
