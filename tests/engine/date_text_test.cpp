// The display date format from locale patterns, date formatting and weekdays.
#include "calendar_oracle.h"
#include "engine/date_text.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace kivo {
namespace {

using test::CivilDay;

TEST(DateFormatFromLocalePattern, PatternsOfSeveralLocales) {
    const std::pair<const char*, const char*> cases[] = {
        {"dd/MM/yyyy", "%d/%m/%Y"},    // United Kingdom
        {"M/d/yy", "%m/%d/%Y"},        // United States: two-digit year becomes four
        {"yyyy-MM-dd", "%Y-%m-%d"},    // Sweden, ISO
        {"dd.MM.yy", "%d.%m.%Y"},      // Germany, short
        {"d. MMMM yyyy", "%d. %m %Y"}, // month name becomes a number
        {"yyyy/M/d", "%Y/%m/%d"},      // Japan
        {"dd:MM:yyyy", "%d.%m.%Y"},    // colons become dots
        {"HH::mm", "HH..mm"},          // every colon, runs included; other letters stay
        {"dddd, MMMM d, yyyy", "%d, %m %d, %Y"},
        {"Dd/mM/YyY", "D%d/m%m/Y%YY"}, // letters are case-sensitive
        {"d/M/y", "%d/%m/%Y"},
        {"ddddddd", "%d"},
        {"", ""},
    };
    for (const auto& [pattern, expected] : cases)
        EXPECT_EQ(dateFormatFromLocalePattern(pattern), expected) << pattern;
}

TEST(DateFormatFromLocalePattern, InsertedTextIsNotReplacedAgain) {
    // "d" becomes "%d"; a later "M" or "y" step must not touch what earlier steps inserted,
    // and bytes of other scripts pass through.
    EXPECT_EQ(dateFormatFromLocalePattern("yyyy\xe5\xb9\xb4M\xe6\x9c\x88"
                                          "d\xe6\x97\xa5"),
              "%Y\xe5\xb9\xb4%m\xe6\x9c\x88%d\xe6\x97\xa5");
    EXPECT_EQ(dateFormatFromLocalePattern("d' de 'MMMM' de 'yyyy"), "%d' %de '%m' %de '%Y");
}

TEST(FormatDate, NumericFieldsInTheGivenOrder) {
    const Date date = CivilDay{2026, 6, 12}.date();
    EXPECT_EQ(formatDate("%d/%m/%Y", date), "12/06/2026");
    EXPECT_EQ(formatDate("%m/%d/%Y", date), "06/12/2026");
    EXPECT_EQ(formatDate("%Y-%m-%d", CivilDay{1900, 1, 1}.date()), "1900-01-01");
    EXPECT_EQ(formatDate("100%%", date), "100%");
    EXPECT_EQ(formatDate("", date), "");
    EXPECT_EQ(formatDate("%d/%m/%Y", Date{}), "");
}

TEST(FormatDate, OtherConversionsArePrintedAsTheyStand) {
    const Date date = CivilDay{2026, 6, 12}.date();
    EXPECT_EQ(formatDate("%A %H:%M %Z %n %d", date), "%A %H:%M %Z %n 12");
    EXPECT_EQ(formatDate("%d.%", date), "12.%");
}

TEST(FormatDate, TextThatDoesNotFitIn128CharactersIsEmpty) {
    const Date date = CivilDay{2026, 6, 12}.date();
    const std::string fits(127 - 2, 'x');
    EXPECT_EQ(formatDate(fits + "%d", date), fits + "12");
    EXPECT_EQ(formatDate(fits + "x%d", date), "");
}

TEST(WeekdayIndex, FollowsTheSevenDayCycleFrom1900To2101) {
    // 1 January 1900 was a Monday.
    int expected = 1;
    for (CivilDay day{1900, 1, 1}; day.y <= 2101; day = day.next()) {
        ASSERT_EQ(weekdayIndex(day.date()), expected) << day;
        expected = (expected + 1) % 7;
    }
}

} // namespace
} // namespace kivo
