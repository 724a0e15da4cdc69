// The per-user preferences file: what a save keeps, what a load refuses.
#include "settings/user_preferences.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;

TEST(UserPreferencesTest, ASaveKeepsWhatItDoesNotKnowAndChangesKeysInPlace) {
  TempFolder folder;
  const fs::path file = folder.path() / "sub" / kPreferencesFileName;
  EXPECT_EQ(LoadUserPreferences(file).error, "");  // not there yet: defaults

  UserPreferences p = UserPreferences::Parse(
      "# written by hand\r\nwebcheck.base = http://a.test\nfuture.key=  x y \nnot a line\n"
      "history.days = 40\nhistory.days = 45\n");
  EXPECT_EQ(p.Get("future.key"), "x y");
  EXPECT_EQ(p.GetNumber("history.days"), 45);  // the last line of a key wins
  EXPECT_EQ(p.GetNumber("webcheck.base"), std::nullopt);
  EXPECT_EQ(p.GetOr("missing", "d"), "d");
  EXPECT_FALSE(p.Set("webcheck.base", "http://b.test\nx = y"));
  EXPECT_FALSE(p.Set("a=b", "1"));
  EXPECT_TRUE(p.Set("webcheck.base", " http://b.test "));
  EXPECT_TRUE(p.Set("new.key", "1"));
  p.Remove("history.days");
  ASSERT_EQ(SaveUserPreferences(file, p), "");
  EXPECT_EQ(ReadBytes(file),
            "# written by hand\nwebcheck.base = http://b.test\nfuture.key=  x y \nnot a line\n"
            "new.key = 1\n");
  EXPECT_EQ(LoadUserPreferences(file).preferences.Get("webcheck.base"), "http://b.test");

  // Not a regular file, or far larger than a real one: refused, named, left alone.
  const fs::path dir = folder.path() / "dir.conf";
  fs::create_directory(dir);
  EXPECT_NE(LoadUserPreferences(dir).error.find("dir.conf"), std::string::npos);
  testing::WriteBytes(file, std::string(kPreferencesMaxBytes + 1, 'a'));
  const PreferencesLoad big = LoadUserPreferences(file);
  EXPECT_NE(big.error.find(kPreferencesFileName), std::string::npos);
  EXPECT_EQ(big.preferences.Get("webcheck.base"), std::nullopt);
}

}  // namespace
}  // namespace mirel
