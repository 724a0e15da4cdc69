// The icon and version resource that the program carries (linked into this
// test as well).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/windows/wide_text.h"
#include "settings/settings_model.h"

namespace mirel {
namespace {

class VersionResource : public testing::Test {
 protected:
  void SetUp() override {
    wchar_t file[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, file, MAX_PATH), 0u);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    ASSERT_GT(size, 0u) << "no version resource";
    data_.resize(size);
    ASSERT_TRUE(GetFileVersionInfoW(file, 0, size, data_.data()));
  }
  std::string Text(const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\041104B0\\") + name;
    if (!VerQueryValueW(data_.data(), path.c_str(), &value, &length) || length == 0) return {};
    return windows_source::Narrow(static_cast<const wchar_t*>(value));
  }
  std::vector<BYTE> data_;
};

TEST_F(VersionResource, VersionAndNamesAreTheProgramsOwn) {
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(data_.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(HIWORD(fixed->dwFileVersionMS), kVersionNumber / 100);
  EXPECT_EQ(LOWORD(fixed->dwFileVersionMS), kVersionNumber % 100);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
  EXPECT_EQ("Ver" + Text(L"FileVersion"), kVersionLabel);
  EXPECT_EQ(Text(L"ProductVersion"), kVersionLabel);
  EXPECT_EQ(Text(L"FileDescription"), kProgramTitle) << "Japanese text survives the resource";
  EXPECT_EQ(Text(L"ProductName"), kProgramTitle);
}

// The icon group as Explorer and the window manager read it: one image per
// size, each a bitmap (or PNG) of the size the group says. Read with the
// resource calls alone; drawing it would bring up a display driver.
#pragma pack(push, 2)
struct IconGroupEntry {
  BYTE width;
  BYTE height;
  BYTE colours;
  BYTE reserved;
  WORD planes;
  WORD bitCount;
  DWORD bytes;
  WORD id;
};
struct IconGroupHeader {
  WORD reserved;
  WORD type;
  WORD count;
};
#pragma pack(pop)

TEST(IconResource, EverySizeOfTheGroupIsThere) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC group = FindResourceW(self, L"IDI_ICON1", RT_GROUP_ICON);
  ASSERT_NE(group, nullptr);
  const auto* header = static_cast<const IconGroupHeader*>(LockResource(LoadResource(self, group)));
  ASSERT_NE(header, nullptr);
  EXPECT_EQ(header->type, 1) << "an icon, not a cursor";
  ASSERT_EQ(SizeofResource(self, group),
            sizeof(IconGroupHeader) + header->count * sizeof(IconGroupEntry));
  const auto* entries = reinterpret_cast<const IconGroupEntry*>(header + 1);
  std::vector<int> sizes;
  for (WORD i = 0; i < header->count; ++i) {
    const IconGroupEntry& e = entries[i];
    sizes.push_back(e.width);
    HRSRC image = FindResourceW(self, MAKEINTRESOURCEW(e.id), RT_ICON);
    ASSERT_NE(image, nullptr) << e.id;
    EXPECT_EQ(SizeofResource(self, image), e.bytes);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(self, image)));
    ASSERT_NE(bytes, nullptr);
    if (std::memcmp(bytes, "\x89PNG", 4) == 0) continue;
    const auto* bitmap = reinterpret_cast<const BITMAPINFOHEADER*>(bytes);
    EXPECT_EQ(bitmap->biSize, sizeof(BITMAPINFOHEADER));
    EXPECT_EQ(bitmap->biWidth, e.width);
    EXPECT_EQ(bitmap->biHeight, 2 * e.height) << "image and mask";
  }
  std::sort(sizes.begin(), sizes.end());
  EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64}));
}

}  // namespace
}  // namespace mirel
