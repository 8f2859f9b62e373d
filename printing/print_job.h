// Painting month pages and printing a year or a month as one job, one page per month.
#pragma once

#include "printing/month_page.h"

#include <QFont>
#include <QString>

class QPainter;
class QPrinter;

namespace kivo {

// The font a page font is drawn in: the named face where it is installed, else a face of the
// same proportions (DejaVu Sans Bold for the demi face, DejaVu Sans Condensed for the book face),
// at the wanted character height in device pixels.
QFont pageFont(const PageFontSpec& wanted, PageFont which);

// Draws a laid-out page with the painter's origin at the top left of the printable area.
void paintMonthPage(QPainter& painter, const MonthPage& page);

// What a printed calendar shows besides its year and months.
struct PrintContent {
    const RecordList& records;
    const TextTable& texts;
    const LocaleNames& locale;
    bool printLarge = false;
    int screenDpi = 96;
};

// Marks the whole year instead of one month.
inline constexpr int kWholeYear = -1;

// The job's document name: "2026" for a year, "3 - 2026" for March of it.
QString printDocumentName(int year, int month);

// One job on the printer: the twelve months of `year` in order, or the one `month` (1..12).
// Returns whether the printer accepted the job; nothing is reported to the user either way.
bool printDates(QPrinter& printer, int year, int month, const PrintContent& content);

} // namespace kivo
