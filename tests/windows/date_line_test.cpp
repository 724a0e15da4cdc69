// The date line in the user's locale. The cross build runs these once with
// the default locale (English, United States) and once in Japanese.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/windows/system_source_windows.h"
#include "platform/windows/wide_text.h"

namespace mirel {
namespace {

using ::testing::AnyOf;

std::string UserLocale() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH);
  return windows_source::Narrow(name);
}

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD weekday, WORD hour, WORD minute, WORD second) {
  SYSTEMTIME t{};
  t.wYear = year;
  t.wMonth = month;
  t.wDay = day;
  t.wDayOfWeek = weekday;
  t.wHour = hour;
  t.wMinute = minute;
  t.wSecond = second;
  return t;
}

// Short date, blank, full weekday name, two blanks, long time. The number of
// digits of the short date's month and day is the locale's (and the user's)
// choice, so either form is taken.
TEST(DateLineTest, ShortDateFullWeekdayLongTime) {
  const std::string locale = UserLocale();
  // The runs that set a locale say which one they expect to get.
  if (const char* expected = std::getenv("MIREL_EXPECT_LOCALE")) {
    ASSERT_EQ(locale, expected);
  }
  const std::string afternoon = windows_source::DateLineFor(At(2003, 4, 14, 1, 12, 34, 56));
  const std::string morning = windows_source::DateLineFor(At(2026, 12, 8, 2, 9, 5, 7));
  if (locale == "ja-JP") {
    EXPECT_THAT(afternoon, AnyOf("2003/4/14 月曜日  12:34:56", "2003/04/14 月曜日  12:34:56"));
    EXPECT_THAT(morning, AnyOf("2026/12/8 火曜日  9:05:07", "2026/12/08 火曜日  9:05:07",
                               "2026/12/8 火曜日  09:05:07", "2026/12/08 火曜日  09:05:07"));
  } else if (locale == "en-US") {
    EXPECT_EQ(afternoon, "4/14/2003 Monday  12:34:56 PM");
    EXPECT_EQ(morning, "12/8/2026 Tuesday  9:05:07 AM");
  } else {
    GTEST_SKIP() << "no expectations for the locale " << locale;
  }
}

TEST(DateLineTest, LiveLineIsTodays) {
  auto source = MakeSystemSource();
  SYSTEMTIME before{}, after{};
  GetLocalTime(&before);
  const std::string line = source->DateLine();
  GetLocalTime(&after);
  // The same text as for the clock's own time, unless the second changed.
  EXPECT_TRUE(line == windows_source::DateLineFor(before) ||
              line == windows_source::DateLineFor(after))
      << line;
  const std::string year = std::to_string(before.wYear);
  EXPECT_NE(line.find(year), std::string::npos) << line;
  EXPECT_NE(line.find("  "), std::string::npos) << line;
}

}  // namespace
}  // namespace mirel
