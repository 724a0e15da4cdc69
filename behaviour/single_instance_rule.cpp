#include "behaviour/single_instance_rule.h"

namespace mirel {

std::string InstanceName(unsigned id, const std::optional<std::string>& place) {
  std::string session = place.value_or("");
  // ":0.1" and ":0" are the same display.
  const std::size_t colon = session.rfind(':');
  const std::size_t dot = session.rfind('.');
  if (colon != std::string::npos && dot != std::string::npos && dot > colon) session.resize(dot);
  std::string name = "mirel9x-" + std::to_string(id);
  if (!session.empty()) name += '-';
  for (const char c : session) {
    const bool plain = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                       c == '-' || c == '.';
    name += plain ? c : '_';
  }
  return name;
}

std::optional<std::string> SessionDisplay(const std::optional<std::string>& displayOption,
                                          const EnvironmentLookup& env) {
  if (displayOption) return displayOption;
  if (!env) return std::nullopt;
  if (std::optional<std::string> x11 = env("DISPLAY")) return x11;
  return env("WAYLAND_DISPLAY");
}

ClaimOutcome AfterClaim(InstanceClaim claim, const std::string& lockPath) {
  switch (claim) {
    case InstanceClaim::kFirst:
      return {true, 0, {}};
    case InstanceClaim::kForwarded:
      return {false, 0, {}};
    case InstanceClaim::kUnreachable:
      break;
  }
  return {false, 1, "mirel9x: すでに起動しているモニタが応答しません (" + lockPath + ")\n"};
}

}  // namespace mirel
