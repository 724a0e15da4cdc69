#include "behaviour/switch_toggle.h"

#include <gtest/gtest.h>

#include "drawing/canvas.h"
#include "fake_browser_store.h"
#include "settings/settings_model.h"

namespace mirel {
namespace {

using fakes::FakeBrowserStore;

struct Target {
  SwitchToggle toggle;
  const char* key;
  const char* value;
};

// In the order of SwitchReadouts.
const Target kTargets[] = {
    {SwitchToggle::kProxy, kInternetSettingsKey, "ProxyEnable"},
    {SwitchToggle::kActiveScripting, kZone3Key, "1400"},
    {SwitchToggle::kJavaApplet, kZone3Key, "1402"},
};

// The button colours as the strips' packed colour numbers (red in the low
// byte), one list per target in the order above.
const std::vector<std::uint32_t> kPackedSets[] = {
    {13029334, 526344, 13029332},
    {13031390, 1052688, 12898520, 1118481},
    {13555678, 1579032, 13358813, 1710618},
};

TEST(SwitchToggleTest, EveryButtonColourWritesTheOppositeOfTheReadout) {
  struct Readout {
    const char* text;
    std::uint32_t proxyValue;  // what the proxy switch gets
    std::uint32_t zoneValue;   // what a zone value gets
  };
  // A readout that was never refreshed is neither "ON" nor "OFF".
  const Readout readouts[] = {{"OFF", 1, 0}, {"ON", 0, 3}, {kLoadingText, 0, 3}, {"off", 0, 3}};
  for (std::size_t t = 0; t < std::size(kTargets); ++t) {
    for (std::uint32_t colour : kPackedSets[t]) {
      for (const Readout& r : readouts) {
        FakeBrowserStore store;
        RegistryAccess registry(store);
        SwitchReadouts shown{"ON", "ON", "ON"};
        std::string* readouts[] = {&shown.proxy, &shown.activeScripting, &shown.javaApplet};
        *readouts[t] = r.text;

        EXPECT_EQ(ApplySwitchToggle(registry, colour, shown), kTargets[t].toggle) << colour;
        ASSERT_EQ(store.setCalls, 1) << colour << " must toggle exactly one setting";
        const RegValue* v = store.Find(kTargets[t].key, kTargets[t].value);
        ASSERT_NE(v, nullptr) << colour;
        EXPECT_EQ(v->dword, t == 0 ? r.proxyValue : r.zoneValue) << colour << " " << r.text;
      }
    }
  }
}

TEST(SwitchToggleTest, TheSetsMatchTheButtonFaceAndTextColours) {
  // Faces and texts as the strip renderer paints them.
  EXPECT_EQ(ToggleForColour(Rgb(212, 207, 198)), SwitchToggle::kProxy);
  EXPECT_EQ(ToggleForColour(Rgb(8, 8, 8)), SwitchToggle::kProxy);
  EXPECT_EQ(ToggleForColour(Rgb(216, 208, 196)), SwitchToggle::kActiveScripting);
  EXPECT_EQ(ToggleForColour(Rgb(17, 17, 17)), SwitchToggle::kActiveScripting);
  EXPECT_EQ(ToggleForColour(Rgb(221, 214, 203)), SwitchToggle::kJavaApplet);
  EXPECT_EQ(ToggleForColour(Rgb(26, 26, 26)), SwitchToggle::kJavaApplet);
  // A pixel read from the displayed image converts back to the same colour.
  EXPECT_EQ(ToggleForColour(ToColour(ToPixel(Rgb(26, 26, 26)))), SwitchToggle::kJavaApplet);
}

TEST(SwitchToggleTest, OtherColoursWriteNothing) {
  const std::uint32_t others[] = {
      Rgb(8, 8, 9),           // one step off a text colour
      Rgb(213, 207, 198),     // between the two proxy faces
      Rgb(198, 207, 214),     // a face colour with red and blue swapped
      ToPixel(Rgb(8, 8, 8)),  // an unconverted pixel value
      0u,
      kWhite,
  };
  for (std::uint32_t colour : others) {
    FakeBrowserStore store;
    RegistryAccess registry(store);
    EXPECT_EQ(ApplySwitchToggle(registry, colour, SwitchReadouts{}), SwitchToggle::kNone) << colour;
    EXPECT_EQ(store.setCalls + store.createCalls, 0) << colour;
  }
}

TEST(SwitchToggleTest, FailedWriteIsReportedAndStillNamesTheButton) {
  FakeBrowserStore store;
  store.createOutcome = KeyDisposition::kFailed;
  RegistryAccess registry(store);
  int errors = 0;
  registry.onWriteError = [&] { ++errors; };
  EXPECT_EQ(ApplySwitchToggle(registry, Rgb(16, 16, 16), SwitchReadouts{"ON", "OFF", "ON"}),
            SwitchToggle::kActiveScripting);
  EXPECT_EQ(errors, 1);
}

TEST(MonitorPressTest, LeftDragsAndTogglesRightOpensTheMenuMiddleDoesNothing) {
  auto press = [](bool l, bool r, bool m) {
    const MonitorPress p = PressOnMonitor(l, r, m);
    return std::string(p.drag ? "drag" : "") + (p.menu ? "menu" : "") + (p.toggle ? "toggle" : "");
  };
  EXPECT_EQ(press(true, false, false), "dragtoggle");
  EXPECT_EQ(press(false, true, false), "menu");
  EXPECT_EQ(press(false, false, true), "");
  EXPECT_EQ(press(true, true, false), "drag") << "a drag, but neither menu nor toggle";
  EXPECT_EQ(press(false, true, true), "");
}

}  // namespace
}  // namespace mirel
