// The month page laid out in device pixels of the printable area.
#include "printing/month_page.h"

#include "engine/date_text.h"
#include "engine/occurrence.h"

#include <chrono>

namespace kivo {

namespace {

constexpr const char* kDemiFace = "Franklin Gothic Demi";
constexpr const char* kBookFace = "Franklin Gothic Book";

// A size in tenths of a point as a character height in pixels at `dpi`, rounded as the system's
// MulDiv rounds (half away from zero).
int pixelsForTenths(int tenths, int dpi) {
    const long long product = static_cast<long long>(tenths) * dpi;
    const long long half = 360;
    return static_cast<int>(product >= 0 ? (product + half) / 720 : (product - half) / 720);
}

PageFontSpec fontSpec(const char* face, int tenths, int dpi) {
    return {face, tenths, pixelsForTenths(tenths, dpi)};
}

bool isWeekend(int dayOfWeek) {
    return dayOfWeek == 0 || dayOfWeek == 6;
}

// The record's day and month as they are compared with a row of `month`/`day` in `year`.
bool fallsOn(const PersonRecord& r, int year, int month, int day) {
    if (!hasUsableDate(r))
        return false;
    int recordDay = r.day;
    int recordMonth = r.month;
    if (month == 3 && day == 1) {
        // A day the record's month lacks in this year (29 February of a common year) carries over
        // into the next month, so a leapling is printed on 1 March then.
        const Date normalised = makeDate(year, r.month, r.day);
        if (monthOf(normalised) != r.month) {
            recordDay = dayOf(normalised);
            recordMonth = monthOf(normalised);
        }
    }
    return recordMonth == month && recordDay == day;
}

std::string nameWithAge(const PersonRecord& r, int year) {
    if (r.type != Birthday || r.year == 0)
        return r.name;
    return r.name + " (" + std::to_string(year - r.year) + ")";
}

} // namespace

const PageFontSpec& MonthPage::font(PageFont which) const {
    switch (which) {
    case PageFont::Title:
        return titleFont;
    case PageFont::Day:
        return dayFont;
    case PageFont::Names:
        break;
    }
    return namesFont;
}

int daysInMonth(int month, int year) {
    using namespace std::chrono;
    const year_month_day_last last{
        std::chrono::year{year}, month_day_last{std::chrono::month{static_cast<unsigned>(month)}}};
    return static_cast<int>(static_cast<unsigned>(last.day()));
}

std::string ordinalSuffix(const TextTable& texts, int day) {
    switch (day) {
    case 1:
    case 21:
    case 31:
        return lookUpText(texts, "st");
    case 2:
    case 22:
        return lookUpText(texts, "nd");
    case 3:
    case 23:
        return lookUpText(texts, "rd");
    default:
        break;
    }
    return day >= 4 && day <= 30 ? lookUpText(texts, "th") : std::string();
}

std::string namesOfDay(const RecordList& records, int year, int month, int day) {
    std::string names;
    for (const PersonRecord& r : records) {
        if (r.dontPrint || !fallsOn(r, year, month, day))
            continue;
        if (!names.empty())
            names += ", ";
        names += nameWithAge(r, year);
    }
    return names;
}

MonthPage layoutMonthPage(const MonthPageRequest& request, const RecordList& records,
                          const TextTable& texts, const LocaleNames& locale) {
    const int W = request.width;
    const int R = request.height / 35;
    const int M = W / 20;
    const int dpi = request.screenDpi;

    MonthPage page;
    page.rowHeight = R;
    page.margin = M;
    page.days = daysInMonth(request.month, request.year);
    page.titleFont = fontSpec(kDemiFace, 8 * R, dpi);
    page.dayFont = fontSpec(kDemiFace, 3 * R, dpi);
    page.namesFont = request.printLarge ? fontSpec(kBookFace, 3 * R, dpi)
                                        : fontSpec(kBookFace, static_cast<int>(1.5 * R), dpi);

    page.texts.push_back({locale.monthName(request.month) + " " + std::to_string(request.year),
                          {M, 0, W, 3 * R},
                          PageFont::Title,
                          PageAlign::TopLeft});

    // The weekday column starts a little right of the margin: 1.15 as a single-precision factor.
    const int weekdayLeft = static_cast<int>(static_cast<double>(M) * static_cast<double>(1.15f));
    for (int i = 1; i <= page.days; ++i) {
        const int T = (i + 2) * R;
        const int weekday = weekdayIndex(makeDate(request.year, request.month, i));
        if (isWeekend(weekday))
            page.fills.push_back({{M, T, W - M, T + R}, kWeekendGrey, kWeekendGrey, kWeekendGrey});
        page.texts.push_back({locale.abbreviatedDayName(weekday),
                              {weekdayLeft, T, W, T + R},
                              PageFont::Day,
                              PageAlign::CentreLeft});
        page.texts.push_back({std::to_string(i) + ordinalSuffix(texts, i),
                              {W / 9, T, W, T + R},
                              PageFont::Day,
                              PageAlign::CentreLeft});
    }

    // Small names sit in the lower third of their row; large ones fill it.
    const int namesLeft = request.printLarge ? W / 5 : static_cast<int>(W / 5.5);
    const int namesDrop = request.printLarge ? 0 : static_cast<int>(R / 1.5);
    for (int l = 1; l <= page.days; ++l) {
        std::string names = namesOfDay(records, request.year, request.month, l);
        if (names.empty())
            continue;
        const int T = (l + 2) * R;
        page.texts.push_back({std::move(names),
                              {namesLeft, T + namesDrop, W, T + R},
                              PageFont::Names,
                              PageAlign::CentreLeft});
    }

    for (int k = 0; k <= page.days; ++k)
        page.rules.push_back({M, W - M, 3 * R + k * R});
    return page;
}

} // namespace kivo
