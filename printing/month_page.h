// One printed month as data: every filled band, text and rule of the page for a printable area of
// W by H device pixels, so that the layout is checked in numbers and painted on any device.
#pragma once

#include "core/person_record.h"
#include "core/text_table.h"
#include "engine/reminder_text.h"

#include <string>
#include <vector>

namespace kivo {

// From (left, top) to (right, bottom), right and bottom outside, in device pixels.
struct PageRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PageRect&) const = default;
};

enum class PageFont { Title, Day, Names };

// A font as the page asks for it: a face, a size in tenths of a point, and the character height
// in device pixels that size gives at the screen's resolution.
struct PageFontSpec {
    std::string face;
    int tenthsOfPoint = 0;
    int pixelHeight = 0;
};

enum class PageAlign {
    TopLeft,    // the title
    CentreLeft, // every row text: left-aligned, vertically centred
};

struct PageFill {
    PageRect rect;
    int red = 0, green = 0, blue = 0;
};

// One line of text, cut at the rectangle's edges; nothing wraps.
struct PageText {
    std::string text; // bytes as stored (names) or as the locale gives them
    PageRect rect;
    PageFont font = PageFont::Names;
    PageAlign align = PageAlign::CentreLeft;
};

// A thin black horizontal line from x1 to x2 (x2 not drawn) at y.
struct PageRule {
    int x1 = 0;
    int x2 = 0;
    int y = 0;
};

struct MonthPage {
    int rowHeight = 0; // R: H / 35
    int margin = 0;    // M: W / 20
    int days = 0;      // D: rows of day lines
    PageFontSpec titleFont, dayFont, namesFont;
    // Painted in this order: the fills lie under the texts, the rules over both.
    std::vector<PageFill> fills;
    std::vector<PageText> texts;
    std::vector<PageRule> rules;

    const PageFontSpec& font(PageFont which) const;
};

struct MonthPageRequest {
    int width = 0;  // W: printable width in device pixels
    int height = 0; // H: printable height
    int year = 0;
    int month = 1;
    bool printLarge = false;
    int screenDpi = 96; // the font sizes are converted with the screen's resolution
};

// The weekend rows' shade.
inline constexpr int kWeekendGrey = 200;

// Days of the month in the Gregorian calendar.
int daysInMonth(int month, int year);
// "st", "nd", "rd" or "th" for a day number 1..31, looked up in the text table; empty otherwise.
std::string ordinalSuffix(const TextTable& texts, int day);
// What is printed on one day's row: the names of the records of that day in list order, joined
// by ", ", a dated birthday with the age reached in `year`. On 1 March the dates a record's year
// lacks (29 February of a common year) are counted as their carried-over day.
std::string namesOfDay(const RecordList& records, int year, int month, int day);
// The whole page of one month.
MonthPage layoutMonthPage(const MonthPageRequest& request, const RecordList& records,
                          const TextTable& texts, const LocaleNames& locale);

} // namespace kivo
