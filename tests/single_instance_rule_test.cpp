#include "behaviour/single_instance_rule.h"

#include <gtest/gtest.h>

#include <map>

namespace mirel {
namespace {

TEST(SingleInstanceRuleTest, OneNamePerUserAndDisplay) {
  EXPECT_EQ(InstanceName(1000, ":0"), "mirel9x-1000-_0");
  EXPECT_EQ(InstanceName(1000, ":0.1"), "mirel9x-1000-_0") << "screen of :0";
  EXPECT_NE(InstanceName(1001, ":0"), InstanceName(1000, ":0"));
  EXPECT_NE(InstanceName(1000, ":1"), InstanceName(1000, ":0"));
  EXPECT_EQ(InstanceName(1000, "host.test:10.0"), "mirel9x-1000-host.test_10");
  EXPECT_EQ(InstanceName(1000, "wayland-0"), "mirel9x-1000-wayland-0");
  EXPECT_EQ(InstanceName(1000, "../x/y"), "mirel9x-1000-.._x_y");
  EXPECT_EQ(InstanceName(1000, std::nullopt), "mirel9x-1000");
  EXPECT_EQ(InstanceName(2, "user name"), "mirel9x-2-user_name");  // a Windows session and user

  const std::map<std::string, std::string> env = {{"DISPLAY", ":5"}, {"WAYLAND_DISPLAY", "w-1"}};
  auto lookup = [&env](const char* name) -> std::optional<std::string> {
    auto it = env.find(name);
    return it == env.end() ? std::nullopt : std::optional(it->second);
  };
  EXPECT_EQ(SessionDisplay(std::string(":7"), lookup), ":7");
  EXPECT_EQ(SessionDisplay(std::nullopt, lookup), ":5");
  EXPECT_EQ(SessionDisplay(std::nullopt,
                           [](const char* name) -> std::optional<std::string> {
                             if (std::string(name) == "WAYLAND_DISPLAY") return "w-1";
                             return std::nullopt;
                           }),
            "w-1");
}

TEST(SingleInstanceRuleTest, ASecondStartEndsWithWhatItsClaimGot) {
  EXPECT_TRUE(AfterClaim(InstanceClaim::kFirst, "/run/x.lock").run);
  const ClaimOutcome forwarded = AfterClaim(InstanceClaim::kForwarded, "/run/x.lock");
  EXPECT_FALSE(forwarded.run);
  EXPECT_EQ(forwarded.exitStatus, 0);
  EXPECT_EQ(forwarded.message, "");
  const ClaimOutcome stuck = AfterClaim(InstanceClaim::kUnreachable, "/run/x.lock");
  EXPECT_FALSE(stuck.run);
  EXPECT_EQ(stuck.exitStatus, 1);
  EXPECT_EQ(stuck.message, "mirel9x: すでに起動しているモニタが応答しません (/run/x.lock)\n");
}

}  // namespace
}  // namespace mirel
