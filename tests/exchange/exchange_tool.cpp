// Writes what kivo exports and reads, for the cross-checks with other programs' parsers:
//   exchange_tool calendars FOLDER   per-record calendar files, all.ics and expected.tsv
//   exchange_tool vcards FILE        the records read from a contacts file, one per line
#include "exchange/calendar_format.h"
#include "exchange/vcard_reader.h"

#include "engine/occurrence.h"
#include "tests/support/record_builder.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>

namespace {

using namespace kivo;
using test::record;

constexpr int kFirstYear = 2024;
constexpr int kLastYear = 2034; // eleven years of occurrences, three of them leap years

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string dateText(Date d) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d", yearOf(d), monthOf(d), dayOf(d));
    return text;
}

bool exists(int y, int m, int d) {
    const Date date = makeDate(y, m, d);
    return monthOf(date) == m && dayOf(date) == d;
}

int calendars(const std::string& folder) {
    RecordList records;
    records.append(record("Anna", 7, 3, 1980));
    records.append(record("New Year", 1, 1, 1950, {.type = AnnualEventWithStart}));
    records.append(record("Year end", 31, 12, 1999));
    records.append(record("Leap on the 28th", 29, 2, 1984, {.leapling = 0}));
    records.append(record("Leap on 1 March", 29, 2, 1988));
    records.append(record("Leap without year", 29, 2, 0, {.leapling = 0}));
    records.append(record("Thirtieth of February", 30, 2, 1990, {.type = AnnualEvent}));
    records.append(record("Thirty-first of February", 31, 2, 1991));
    records.append(record("Thirty-first of April", 31, 4, 1970));
    records.append(record("No year", 14, 7, 0, {.type = BirthdayUnknownAge}));
    records.append(record("Year one", 15, 8, 1));
    records.append(record("Commas, semicolons; and \\ backslashes", 2, 2, 2002, {.icon = 3}));
    records.append(record("J\xC3\xBCrgen M\xC3\xBCller-" + std::string(70, 'x') + " \xE2\x82\xAC",
                          9, 9, 1969));
    records.append(record("Anna", 7, 3, 1980)); // a twin of the first

    Categories categories = defaultCategories();
    categories[3] = "Family, friends";
    std::ostringstream expected;
    // Records of the same name write the same file, and the later one wins.
    std::map<std::string, std::string> perRecord;
    // Per-record files, for records whose stored date is a real day (a calendar program reads
    // nothing else). The file gives the
    // stored day, so a 29 February there falls in leap years only.
    for (const PersonRecord& r : records) {
        if (r.year < 1 || !exists(r.year, r.month, r.day))
            continue;
        const std::string name = calendarName(r.name);
        const auto file = calendarFileName(name);
        if (!file)
            continue;
        writeFile(folder + "/" + *file, formatCalendarFile(name, r.day, r.month, r.year,
                                                           categoryFor(categories, r.icon)));
        std::ostringstream line;
        line << "file\t" << *file << "\t" << name << "'s Birthday\t";
        for (int y = kFirstYear; y <= kLastYear; ++y) {
            if (!exists(y, r.month, r.day))
                continue;
            // Where the stored day exists, it is the day the reminders count on.
            const Date counted = countedDate(r, y);
            const bool leapDay = r.month == 2 && r.day == 29;
            line << dateText(leapDay ? makeDate(y, 2, 29) : counted) << ",";
        }
        perRecord[*file] = line.str();
    }
    for (const auto& [file, line] : perRecord)
        expected << line << "\n";
    // The single calendar: every event falls on the day the reminders count on, in every year.
    writeFile(folder + "/all.ics", formatSingleCalendar(records, categories, 1780790400));
    for (const PersonRecord& r : records) {
        const bool birthday = r.type == Birthday || r.type == BirthdayUnknownAge;
        expected << "all\tall.ics\t" << (birthday ? r.name + "'s Birthday" : r.name) << "\t";
        for (int y = kFirstYear; y <= kLastYear; ++y)
            expected << dateText(countedDate(r, y)) << ",";
        expected << "\n";
    }
    writeFile(folder + "/expected.tsv", expected.str());
    return 0;
}

int vcards(const std::string& path) {
    PersonRecord defaults;
    RecordList records;
    VCardImportCounts counts;
    if (readVCardFile(path, defaults, "Anniversary", records, counts) != TextReadStatus::Ok) {
        std::cerr << "cannot read " << path << "\n";
        return 2;
    }
    for (const PersonRecord& r : records)
        std::cout << r.name << "\t" << r.email << "\t" << r.year << "\t" << r.month << "\t" << r.day
                  << "\t" << r.type << "\n";
    std::cout << "skipped\t" << counts.skipped << "\n";
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string command = argc == 3 ? argv[1] : "";
    if (command == "calendars")
        return calendars(argv[2]);
    if (command == "vcards")
        return vcards(argv[2]);
    std::cerr << "usage: exchange_tool calendars FOLDER | vcards FILE\n";
    return 2;
}
