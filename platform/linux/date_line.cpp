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

std::string UserTimeLocaleName() {
  for (const char* var : {"LC_ALL", "LC_TIME", "LANG"}) {
    const char* value = std::getenv(var);
    if (value != nullptr && *value != '\0') return value;
  }
  return "C";
}

}  // namespace mirel::linux_source
