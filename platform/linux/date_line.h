// The date line of the clock item: short date, " ", full weekday name, "  ",
// long time, in the user's locale.
#pragma once

#include <locale.h>

#include <ctime>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace mirel::linux_source {

// The strftime pattern of the date line for a locale name (as in LC_TIME) and
// that locale's own date and time formats (nl_langinfo D_FMT and T_FMT).
// The C locale and Japanese locales get the numeric "%Y/%m/%d" and
// "%H:%M:%S": glibc's Japanese forms spell 年月日 and 時分秒, which is the
// long date, not the short one that desktops there show; C's "%m/%d/%y" is
// ambiguous. Other locales use their own forms.
std::string DateLinePattern(std::string_view localeName, std::string_view dateFormat,
                            std::string_view timeFormat);

// The line for `when` with `pattern`, weekday and other names from `locale`
// ((locale_t)0 for the C locale).
std::string FormatDateLine(const std::tm& when, const std::string& pattern, locale_t locale);

// The line and its shorter forms (weekday abbreviated, weekday left out) for
// `when`, from one formatting so all three show the same instant. A pattern
// without the " %A  " of DateLinePattern has no shorter forms.
DateLineForms FormatDateLines(const std::tm& when, const std::string& pattern, locale_t locale);
// The two halves of it, for a caller that formats often: the pattern that
// formats all forms at once (empty without the weekday), made once, and the
// forms from a line formatted with it.
std::string DateLinesPattern(const std::string& pattern);
DateLineForms SplitDateLines(std::string_view formatted);

// The LC_TIME locale name the user chose (LC_ALL, LC_TIME, LANG), "C" if none.
std::string UserTimeLocaleName();

}  // namespace mirel::linux_source
