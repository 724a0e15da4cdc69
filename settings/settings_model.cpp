#include "settings/settings_model.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>

namespace mirel {

namespace {

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

int RefreshIntervalMs(const SettingsModel& model) {
  // The file and the slider keep the value in 1..20; a model filled some
  // other way must still not spin the timer.
  return std::clamp(model.updateInterval, 1, 20) * kRefreshStepMs;
}

bool ParseLenientNumber(std::string_view text, double& out) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  std::size_t i = 0;
  if (text[i] == '-' || text[i] == '+') ++i;
  bool digits = false;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
    ++i;
    digits = true;
  }
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
      ++i;
      digits = true;
    }
  }
  if (!digits || i != text.size()) return false;
  out = std::strtod(std::string(text).c_str(), nullptr);
  return std::isfinite(out);
}

std::uint32_t ParseColourText(std::string_view text) {
  double value = 0;
  // Out-of-range values read as 0 too: converting them would be undefined.
  if (!ParseLenientNumber(text, value) || value < 0 || value >= 4294967295.5) return 0;
  return static_cast<std::uint32_t>(std::nearbyint(value)) & 0xFFFFFFu;
}

int SettingsModel::OptionIndex(int recordIndex) const {
  double value = 0;
  if (!ParseLenientNumber(record[recordIndex], value)) return 0;
  value = std::nearbyint(value);
  if (value < -1e9 || value > 1e9) return 0;  // no group has such an index
  return static_cast<int>(value);
}

std::uint32_t SettingsModel::Colour(int recordIndex) const {
  return ParseColourText(record[recordIndex]);
}

}  // namespace mirel
