// Replacing a file through a temporary one: what a failure leaves behind.
#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;
using testing::ReadBytes;
using testing::TempFolder;

std::size_t EntriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST(AtomicFileTest, ReplacesTheWholeFileAndLeavesNoTemporary) {
  TempFolder folder;
  const fs::path file = folder.path() / PathFromUtf8("設定.ini");
  ASSERT_EQ(WriteFileAtomically(file, std::string(5000, 'a')), "");
  ASSERT_EQ(WriteFileAtomically(file, "short\r\n"), "");
  EXPECT_EQ(ReadBytes(file), "short\r\n");
  const std::string zeros("\0\r\n\x81\x40", 5);
  ASSERT_EQ(WriteFileAtomically(file, zeros), "");
  EXPECT_EQ(ReadBytes(file), zeros);
  EXPECT_EQ(EntriesIn(folder.path()), 1u);
}

TEST(AtomicFileTest, FailuresNameThePlaceAndLeaveNothingBehind) {
  TempFolder folder;
  const fs::path missing = folder.path() / "not-there" / "a.ini";
  const std::string noFolder = WriteFileAtomically(missing, "x");
  const std::string noFolderHead =
      "フォルダに一時ファイルを作れません (" + PathText(missing.parent_path()) + ": ";
  EXPECT_EQ(noFolder.rfind(noFolderHead, 0), 0u) << noFolder;
  EXPECT_GT(noFolder.size(), noFolderHead.size() + 1) << "the system's reason follows";
  EXPECT_EQ(noFolder.back(), ')') << noFolder;

  // A folder where the file should be: the rename fails, the folder stays.
  const fs::path occupied = folder.path() / "occupied";
  fs::create_directories(occupied / "inside");
  const std::string replaced = WriteFileAtomically(occupied, "x");
  EXPECT_EQ(replaced.rfind("ファイルを置き換えられません (" + PathText(occupied) + ": ", 0), 0u)
      << replaced;
  EXPECT_TRUE(fs::is_directory(occupied / "inside"));
  EXPECT_EQ(EntriesIn(folder.path()), 1u) << "the temporary file is gone";
}

}  // namespace
}  // namespace mirel
