// The month page in numbers: rows, margins, fonts, shaded weekends, rules and the names of each
// day.
#include "printing/month_page.h"

#include "tests/support/record_builder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace kivo {
namespace {

using test::record;

MonthPage layout(int width, int height, int year, int month, bool large = false,
                 const RecordList* records = nullptr, const TextTable& texts = {}) {
    static const RecordList none;
    static const EnglishLocaleNames english;
    MonthPageRequest request;
    request.width = width;
    request.height = height;
    request.year = year;
    request.month = month;
    request.printLarge = large;
    return layoutMonthPage(request, records ? *records : none, texts, english);
}

const PageText* textOnRow(const MonthPage& page, PageFont font, int row, int left) {
    for (const PageText& t : page.texts)
        if (t.font == font && t.rect.left == left && t.rect.bottom == (row + 3) * page.rowHeight)
            return &t;
    return nullptr;
}

// The same printable area at 300 and at 600 dots per inch: every measure doubles (give or take the
// truncations), so the page looks the same on both printers.
TEST(MonthPage, GeometryAtTwoPrinterResolutions) {
    struct Expected {
        int width, height;
        int R, M, weekdayLeft, dayLeft, namesLeft, namesDrop, largeLeft;
        int titlePx, dayPx, namesPx, largePx;
    };
    for (const Expected& e : {
             Expected{2400, 3400, 97, 120, 137, 266, 436, 64, 480, 103, 39, 19, 39},
             Expected{4800, 6800, 194, 240, 275, 533, 872, 129, 960, 207, 78, 39, 78},
         }) {
        SCOPED_TRACE(e.width);
        RecordList records;
        records.append(record("Anna", 14, 3, 1996));
        const MonthPage page = layout(e.width, e.height, 2026, 3, false, &records);
        EXPECT_EQ(page.rowHeight, e.R);
        EXPECT_EQ(page.margin, e.M);
        EXPECT_EQ(page.days, 31);
        EXPECT_EQ(page.titleFont.pixelHeight, e.titlePx);
        EXPECT_EQ(page.dayFont.pixelHeight, e.dayPx);
        EXPECT_EQ(page.namesFont.pixelHeight, e.namesPx);
        EXPECT_EQ(page.titleFont.face, "Franklin Gothic Demi");
        EXPECT_EQ(page.namesFont.face, "Franklin Gothic Book");

        ASSERT_FALSE(page.texts.empty());
        EXPECT_EQ(page.texts.front().text, "March 2026");
        EXPECT_EQ(page.texts.front().rect, (PageRect{e.M, 0, e.width, 3 * e.R}));
        EXPECT_EQ(page.texts.front().align, PageAlign::TopLeft);

        // Row 14: the weekday, the day number and the names in the lower third of the row.
        const int T = 16 * e.R;
        const PageText* weekday = textOnRow(page, PageFont::Day, 14, e.weekdayLeft);
        const PageText* number = textOnRow(page, PageFont::Day, 14, e.dayLeft);
        const PageText* names = textOnRow(page, PageFont::Names, 14, e.namesLeft);
        ASSERT_TRUE(weekday && number && names);
        EXPECT_EQ(weekday->text, "Sat");
        EXPECT_EQ(weekday->rect, (PageRect{e.weekdayLeft, T, e.width, T + e.R}));
        EXPECT_EQ(number->text, "14th");
        EXPECT_EQ(names->text, "Anna (30)");
        EXPECT_EQ(names->rect, (PageRect{e.namesLeft, T + e.namesDrop, e.width, T + e.R}));

        // The rules: one above the first day and one under each, the last at 34 R.
        ASSERT_EQ(page.rules.size(), 32u);
        for (int k = 0; k <= 31; ++k) {
            EXPECT_EQ(page.rules[k].y, (3 + k) * e.R);
            EXPECT_EQ(page.rules[k].x1, e.M);
            EXPECT_EQ(page.rules[k].x2, e.width - e.M);
        }
        EXPECT_LE(page.rules.back().y + e.R, e.height);

        // Large names: twice the height, the whole row, from a fifth of the width.
        const MonthPage large = layout(e.width, e.height, 2026, 3, true, &records);
        EXPECT_EQ(large.namesFont.pixelHeight, e.largePx);
        const PageText* bigNames = textOnRow(large, PageFont::Names, 14, e.largeLeft);
        ASSERT_TRUE(bigNames);
        EXPECT_EQ(bigNames->rect, (PageRect{e.largeLeft, T, e.width, T + e.R}));
    }
    // A margin of 20 puts the weekday at 22: the factor 1.15 is a single-precision number.
    const MonthPage narrow = layout(400, 700, 2026, 3);
    EXPECT_EQ(narrow.margin, 20);
    EXPECT_NE(textOnRow(narrow, PageFont::Day, 1, 22), nullptr);
}

// Saturday and Sunday rows are shaded across the ruled width; the weekday is the calendar's.
TEST(MonthPage, WeekendRowsAreShadedAndWeekdaysFollowTheCalendar) {
    const MonthPage page = layout(2000, 3500, 2026, 3); // R = 100, M = 100
    std::vector<int> shadedDays;
    for (const PageFill& fill : page.fills) {
        EXPECT_EQ(fill.rect.left, 100);
        EXPECT_EQ(fill.rect.right, 1900);
        EXPECT_EQ(fill.rect.bottom - fill.rect.top, 100);
        EXPECT_EQ(fill.red, 200);
        EXPECT_EQ(fill.green, 200);
        EXPECT_EQ(fill.blue, 200);
        shadedDays.push_back(fill.rect.top / 100 - 2);
    }
    // Independent of the page: step the days of March 2026 with the standard calendar.
    std::vector<int> weekendDays;
    const std::vector<std::string> shortNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    for (int d = 1; d <= 31; ++d) {
        const std::chrono::weekday wd{
            std::chrono::sys_days{std::chrono::year{2026} / std::chrono::March / d}};
        if (wd == std::chrono::Saturday || wd == std::chrono::Sunday)
            weekendDays.push_back(d);
        const PageText* weekday = textOnRow(page, PageFont::Day, d, 114);
        ASSERT_TRUE(weekday);
        EXPECT_EQ(weekday->text, shortNames[wd.c_encoding()]) << d;
    }
    EXPECT_EQ(shadedDays, weekendDays);
}

// The number of rows follows the Gregorian calendar, including the century rule.
TEST(MonthPage, MonthLengthsAndDayNumberSuffixes) {
    struct Case {
        int year, month, days;
    };
    for (const Case& c :
         {Case{2028, 2, 29}, Case{2027, 2, 28}, Case{2000, 2, 29}, Case{2100, 2, 28},
          Case{1900, 2, 28}, Case{2026, 4, 30}, Case{2026, 12, 31}}) {
        EXPECT_EQ(daysInMonth(c.month, c.year), c.days) << c.year << "-" << c.month;
        const MonthPage page = layout(2000, 3500, c.year, c.month);
        EXPECT_EQ(page.days, c.days);
        EXPECT_EQ(page.rules.size(), static_cast<std::size_t>(c.days + 1));
        EXPECT_EQ(page.rules.back().y, (c.days + 3) * 100);
    }

    const TextTable none;
    std::string days;
    for (int d : {0, 1, 2, 3, 4, 11, 12, 13, 20, 21, 22, 23, 24, 30, 31, 32})
        days += std::to_string(d) + ordinalSuffix(none, d) + " ";
    EXPECT_EQ(days, "0 1st 2nd 3rd 4th 11th 12th 13th 20th 21st 22nd 23rd 24th 30th 31st 32 ");

    // A translated "st" changes the 1st, 21st and 31st and nothing else.
    const TextTable german{{"ST", "."}};
    const MonthPage page = layout(2000, 3500, 2026, 1, false, nullptr, german);
    std::vector<std::string> numbers;
    for (int d : {1, 2, 21, 31})
        numbers.push_back(textOnRow(page, PageFont::Day, d, 222)->text);
    EXPECT_EQ(numbers, (std::vector<std::string>{"1.", "2nd", "21.", "31."}));
}

// What each day's row lists: records in list order, ages for dated birthdays only, the leapling
// on 29 February or 1 March by the year, nothing marked "Don't print this".
TEST(MonthPage, NamesOfADay) {
    RecordList records;
    records.append(record("Anna", 14, 3, 1996));
    records.append(record("Ben", 14, 3, 1980, {.dontPrint = true}));
    records.append(record("Club dinner", 14, 3, 2001, {.type = AnnualEvent}));
    records.append(record("Cleo", 14, 3, 0));
    records.append(record("Dora", 14, 3, 1990, {.infoOnly = true}));
    records.append(record("Eve", 14, 3, 1970, {.type = BirthdayUnknownAge}));
    records.append(record("Fair", 14, 3, 1999, {.type = AnnualEventWithStart}));
    records.append(record("Lea", 29, 2, 2000));
    records.append(record("Jan", 5, 1, 1990));
    records.append(record("Baby", 5, 1, 2027));
    records.append(record("Mar", 1, 3, 1950));
    // Dates no row can hold are never printed, not even carried over onto 1 March.
    records.append(record("No day", 0, 3, 1990));
    records.append(record("No month", 1, 0, 1990));
    records.append(record("Negative", -1, -1, 1990));
    records.append(record("Day 32", 32, 2, 1990));

    struct Case {
        int year, month, day;
        const char* names;
    };
    for (const Case& c : {
             Case{2026, 3, 14, "Anna (30), Club dinner, Cleo, Dora (36), Eve, Fair"},
             Case{2027, 2, 28, ""},
             Case{2027, 3, 1, "Lea (27), Mar (77)"},
             Case{2028, 2, 29, "Lea (28)"},
             Case{2028, 3, 1, "Mar (78)"},
             Case{2100, 3, 1, "Lea (100), Mar (150)"},
             Case{2027, 1, 5, "Jan (37), Baby (0)"},
             Case{2026, 1, 5, "Jan (36), Baby (-1)"},
             Case{2026, 3, 15, ""},
         }) {
        EXPECT_EQ(namesOfDay(records, c.year, c.month, c.day), c.names)
            << c.year << "-" << c.month << "-" << c.day;
    }

    // February 2100 has no 29th row, so the leapling is printed once, on 1 March.
    int leaRows = 0;
    for (int month : {2, 3}) {
        const MonthPage page = layout(2000, 3500, 2100, month, false, &records);
        for (const PageText& t : page.texts)
            leaRows += t.font == PageFont::Names && t.text.find("Lea") != std::string::npos;
    }
    EXPECT_EQ(leaRows, 1);
}

} // namespace
} // namespace kivo
