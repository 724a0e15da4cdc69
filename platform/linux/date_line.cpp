#include "platform/linux/date_line.h"

#include <cstdlib>

namespace mirel::linux_source {

namespace {

bool IsCLocale(std::string_view name) {
  return name.empty() || name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0;
}

}  // namespace

std::string DateLinePattern(std::string_view localeName, std::string_view dateFormat,
                            std::string_view timeFormat) {
  std::string date = "%Y/%m/%d";
  std::string time = "%H:%M:%S";
  bool numericForms = IsCLocale(localeName) || localeName.rfind("ja", 0) == 0;
  if (!numericForms) {
    if (!dateFormat.empty()) date = dateFormat;
    if (!timeFormat.empty()) time = timeFormat;
  }
  return date + " %A  " + time;
}

std::string FormatDateLine(const std::tm& when, const std::string& pattern, locale_t locale) {
  char buffer[256];
  std::size_t n = 0;
  if (locale != static_cast<locale_t>(0)) {
    n = strftime_l(buffer, sizeof buffer, pattern.c_str(), &when, locale);
  } else {
    locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    n = strftime_l(buffer, sizeof buffer, pattern.c_str(), &when, c);
    freelocale(c);
  }
  return std::string(buffer, n);
}

namespace {

constexpr std::string_view kWeekday = " %A  ";
// Splits the date, both weekday names and the time of one formatted line; no
// locale's names contain it.
constexpr char kCut = '\x1f';

}  // namespace

std::string DateLinesPattern(const std::string& pattern) {
  const std::size_t at = pattern.find(kWeekday);
  if (at == std::string::npos) return {};
  return pattern.substr(0, at) + kCut + "%A" + kCut + "%a" + kCut +
         pattern.substr(at + kWeekday.size());
}

DateLineForms SplitDateLines(std::string_view formatted) {
  std::string_view part[4];
  for (int i = 0; i < 3; ++i) {
    const std::size_t cut = formatted.find(kCut);
    if (cut == std::string_view::npos) return {std::string(formatted), {}, {}};
    part[i] = formatted.substr(0, cut);
    formatted.remove_prefix(cut + 1);
  }
  part[3] = formatted;
  auto line = [&](std::string_view weekday) {
    std::string out;
    out.reserve(part[0].size() + weekday.size() + part[3].size() + 3);
    out.append(part[0]);
    if (!weekday.empty()) out.append(" ").append(weekday);
    return out.append("  ").append(part[3]);
  };
  return {line(part[1]), line(part[2]), line({})};
}

DateLineForms FormatDateLines(const std::tm& when, const std::string& pattern, locale_t locale) {
  const std::string joined = DateLinesPattern(pattern);
  if (joined.empty()) return {FormatDateLine(when, pattern, locale), {}, {}};
  return SplitDateLines(FormatDateLine(when, joined, locale));
}

std::string UserTimeLocaleName() {
  for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

}  // namespace mirel::linux_source
