#include "readings/registry.h"

#include <gtest/gtest.h>

#include "fake_browser_store.h"

namespace mirel {
namespace {

using fakes::FakeBrowserStore;

constexpr const char* kKey = "Software\\Test";

struct ReadCase {
  const char* label;
  RegValue::Kind kind;
  std::string text;
  std::uint32_t dword;
  std::string expected;
};

TEST(RegistryReadTest, EachKindReadsAsItsText) {
  const ReadCase cases[] = {
      {"string", RegValue::Kind::kString, "proxy.example:8080", 0, "proxy.example:8080"},
      {"string cut at first zero", RegValue::Kind::kString, std::string("ab\0cd", 5), 0, "ab"},
      {"string starting with zero", RegValue::Kind::kString, std::string("\0x", 2), 0, ""},
      {"dword 0", RegValue::Kind::kDword, "", 0, "0"},
      {"dword 3", RegValue::Kind::kDword, "", 3, "3"},
      {"dword high bit is unsigned", RegValue::Kind::kDword, "", 0xFFFFFFFFu, "4294967295"},
      {"binary leading bytes", RegValue::Kind::kBinary, std::string("\x01\0\0\0", 4), 0, "\x01"},
      {"binary zero first", RegValue::Kind::kBinary, std::string("\0\x01", 2), 0, ""},
      {"untyped data", RegValue::Kind::kNone, "xy", 0, "xy"},
  };
  for (const ReadCase& c : cases) {
    FakeBrowserStore store;
    store.keys[kKey]["v"] = RegValue{c.kind, c.text, c.dword};
    RegistryAccess registry(store);
    EXPECT_EQ(registry.ReadRegValue(kKey, "v"), c.expected) << c.label;
  }
}

TEST(RegistryReadTest, MissingKeyOrValueIsEmptyAndSilent) {
  FakeBrowserStore store;
  store.PutDword(kKey, "present", 1);
  RegistryAccess registry(store);
  int errors = 0;
  registry.onWriteError = [&] { ++errors; };
  EXPECT_EQ(registry.ReadRegValue(kKey, "absent"), "");
  EXPECT_EQ(registry.ReadRegValue("Software\\Nowhere", "present"), "");
  EXPECT_EQ(errors, 0);
  EXPECT_EQ(store.createCalls, 0) << "a read must not create keys";
}

TEST(RegistryWriteTest, StoresSignExtendedDwordCreatingTheKey) {
  const std::pair<std::int16_t, std::uint32_t> cases[] = {
      {0, 0u}, {3, 3u}, {-1, 0xFFFFFFFFu}, {-32768, 0xFFFF8000u}, {32767, 0x7FFFu}};
  for (auto [in, stored] : cases) {
    FakeBrowserStore store;
    RegistryAccess registry(store);
    int errors = 0;
    registry.onWriteError = [&] { ++errors; };
    EXPECT_TRUE(registry.WriteRegDword(kZone3Key, "1400", in));
    const RegValue* v = store.Find(kZone3Key, "1400");
    ASSERT_NE(v, nullptr) << in;
    EXPECT_EQ(v->kind, RegValue::Kind::kDword);
    EXPECT_EQ(v->dword, stored) << in;
    EXPECT_EQ(store.createCalls, 1);
    EXPECT_EQ(errors, 0) << "a created key is no failure for a number write";
  }
}

TEST(RegistryWriteTest, FailuresAreReportedOnceAndReturnFalse) {
  struct Case {
    const char* label;
    KeyDisposition create;
    bool failSets;
    int expectedSets;
  };
  const Case cases[] = {
      {"key cannot be created", KeyDisposition::kFailed, false, 0},
      {"value cannot be set", KeyDisposition::kCreatedNew, true, 1},
  };
  for (const Case& c : cases) {
    FakeBrowserStore store;
    store.createOutcome = c.create;
    store.failSets = c.failSets;
    RegistryAccess registry(store);
    int errors = 0;
    registry.onWriteError = [&] { ++errors; };
    EXPECT_FALSE(registry.WriteRegDword(kInternetSettingsKey, "ProxyEnable", 1)) << c.label;
    EXPECT_EQ(errors, 1) << c.label;
    EXPECT_EQ(store.setCalls, c.expectedSets) << c.label;
    EXPECT_EQ(store.Find(kInternetSettingsKey, "ProxyEnable"), nullptr) << c.label;
  }
}

}  // namespace
}  // namespace mirel
