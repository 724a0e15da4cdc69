// The platform's code page 932 codec: the same bytes on every platform, for
// every kind of text the settings file holds, and nothing replaced quietly.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "platform/atomic_file.h"
#include "platform/platform.h"
#include "settings/settings_file.h"

namespace mirel {
namespace {

class CodecTest : public testing::Test {
 protected:
  std::unique_ptr<TextCodec> codec_ = MakeAnsiCodec();
};

// Characters whose CP932 bytes are fixed by the code page itself, including
// the NEC and IBM extensions that Windows files contain.
TEST_F(CodecTest, KnownCharactersHaveTheirCodePageBytes) {
  const std::pair<std::string, std::string> cases[] = {
      {"設定", "\x90\xDD\x92\xE8"},
      {"～", "\x81\x60"},  // FULLWIDTH TILDE, not WAVE DASH
      {"－", "\x81\x7C"},
      {"∥", "\x81\x61"},
      {"￢", "\x81\xCA"},
      {"①", "\x87\x40"},  // NEC special characters
      {"Ⅰ", "\x87\x54"},
      {"㈱", "\x87\x8A"},
      {"ⅰ", "\xFA\x40"},  // IBM extensions
      {"髙", "\xFB\xFC"},
      {"ｶﾅ", "\xB6\xC5"},  // half-width katakana: one byte each
      {"a\\b~", "a\\b~"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
      {"", ""},
  };
  for (const auto& [utf8, ansi] : cases) {
    EXPECT_EQ(codec_->ToAnsi(utf8), ansi) << utf8;
    EXPECT_EQ(codec_->FromAnsi(ansi), utf8) << utf8;
  }
  // Two codes for one character: both read, the first one is written.
  EXPECT_EQ(codec_->FromAnsi("\x87\x9A"), "∵");
  EXPECT_EQ(codec_->ToAnsi("∵"), "\x81\xE6");
}

TEST_F(CodecTest, WhatHasNoFormIsRefusedNotReplaced) {
  // Nor written as a look-alike that reads back as another character.
  for (const char* utf8 :
       {"café", "🙂", "€", "한국어", "¥", "¬", "—", "\xff", "\xe3\x81", "ok \xc3"}) {
    EXPECT_EQ(codec_->ToAnsi(utf8), std::nullopt) << utf8;
  }
  for (const char* ansi : {"\x81", "abc\x81", "\x81\x20", "\x81\x7F"}) {
    EXPECT_EQ(codec_->FromAnsi(ansi), std::nullopt) << testing::PrintToString(ansi);
  }
}

// Every kind of line of a settings file: numbers in print form, packed
// strings, colour slots and proxy entries in any script the user may type.
TEST_F(CodecTest, SettingsTextsRoundTrip) {
  const std::string lines[] = {
      " 1 ",
      "-150 ",
      " 2.5 ",
      "100113104114101102103105106107108109110111112",
      "16777215    255         ",
      "proxy.example:8080",
      "http=ｈｏｓｔ:3128;https=host:443",
      "プロキシ.example:8080 （社内）",
      "ｼｬﾅｲ proxy ～ ①② Ⅹ ㈱ 髙橋 ⅰⅱ ￢",
      "\\\\server\\share ~user",
  };
  for (const std::string& line : lines) {
    std::optional<std::string> ansi = codec_->ToAnsi(line);
    ASSERT_TRUE(ansi.has_value()) << line;
    EXPECT_EQ(codec_->FromAnsi(*ansi), line);
  }
}

TEST_F(CodecTest, InstalledSettingsFileRoundTripsByteForByte) {
  const std::filesystem::path file =
      std::filesystem::path(MIREL_SOURCE_DIR) / "data" / PathFromUtf8(kSettingsFileName);
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << PathText(file);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::optional<std::string> utf8 = codec_->FromAnsi(bytes);
  ASSERT_TRUE(utf8.has_value());
  EXPECT_EQ(codec_->ToAnsi(*utf8), bytes);
}

}  // namespace
}  // namespace mirel
