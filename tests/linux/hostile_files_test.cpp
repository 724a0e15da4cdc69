// Files the program reads, replaced by something that is not a file: a FIFO
// (whose open would wait for a writer for ever), a link to a device that
// never ends, a sparse file of gigabytes. Every reader answers at once,
// reads next to nothing, and treats the thing as damaged.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>

#include "platform/atomic_file.h"
#include "platform/linux/browser_store_linux.h"
#include "settings/settings_file.h"
#include "settings/user_preferences.h"
#include "tests/settings_test_support.h"

namespace mirel {
namespace {

namespace fs = std::filesystem;

std::uint64_t BytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  return 0;
}

// The three shapes in a file's place, one after the other.
void ForEachHostileShape(const fs::path& file, const std::function<void(const char*)>& check) {
  fs::remove(file);
  ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
  check("FIFO");
  fs::remove(file);
  fs::create_symlink("/dev/zero", file);
  check("/dev/zero");
  fs::remove(file);
  { std::ofstream(file) << "x"; }
  fs::resize_file(file, 3ull << 30);
  check("3 GB sparse file");
}

TEST(HostileFilesTest, NoReaderBlocksOrReadsWhatIsNotARealFile) {
  // Whatever blocks ends the test here rather than hanging it.
  ::alarm(30);
  testing::TempFolder folder;
  const auto codec = MakeAnsiCodec();

  const fs::path settings = folder.path() / PathFromUtf8(kSettingsFileName);
  ForEachHostileShape(settings, [&](const char* shape) {
    const auto start = std::chrono::steady_clock::now();
    const std::uint64_t before = BytesRead();
    SettingsModel model;
    const LoadResult loaded = LoadSettings(settings, *codec, model);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << shape;
    EXPECT_LT(BytesRead() - before, 64u * 1024) << shape;
    EXPECT_FALSE(loaded.ok) << shape;
    EXPECT_NE(loaded.error.find(PathText(settings)), std::string::npos) << loaded.error;
    const bool tooLarge = loaded.error.find("大きすぎます") != std::string::npos;
    const bool notAFile = loaded.error.find("通常のファイルではありません") != std::string::npos;
    EXPECT_TRUE(tooLarge || notAFile) << shape << ": " << loaded.error;
  });

  const fs::path preferences = folder.path() / "preferences.conf";
  ForEachHostileShape(preferences, [&](const char* shape) {
    const auto start = std::chrono::steady_clock::now();
    const PreferencesLoad loaded = LoadUserPreferences(preferences);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << shape;
    EXPECT_NE(loaded.error.find(PathText(preferences)), std::string::npos) << shape;
  });

  // The browser settings: read as empty, and kept aside before a write
  // replaces them with a real file.
  const fs::path reg = BrowserSettingsFile(folder.path());
  int kept = 0;
  ForEachHostileShape(reg, [&](const char* shape) {
    auto store = MakeLinuxBrowserSettingsStore(folder.path(), DesktopProxyUse::kNever);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(store->Query("S", "1400").has_value()) << shape;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500)) << shape;
    ASSERT_TRUE(store->SetDword("S", "1400", 3)) << shape;
    EXPECT_EQ(store->Query("S", "1400")->dword, 3u) << shape;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(reg))) << shape;
    ++kept;
    fs::path aside = reg;
    aside += kept == 1 ? std::string(".damaged") : ".damaged-" + std::to_string(kept);
    EXPECT_TRUE(fs::exists(fs::symlink_status(aside))) << shape << ": not kept as " << aside;
  });
  ::alarm(0);
}

}  // namespace
}  // namespace mirel
