// The per-record calendar file byte for byte, the categories file, the file names a record may
// give, and the single calendar's folding, escaping, rules and UIDs.
#include "exchange/calendar_format.h"

#include "engine/occurrence.h"
#include "tests/support/record_builder.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <set>

namespace kivo {
namespace {

using test::record;

TEST(CalendarFile, SixteenLinesByteForByte) {
    EXPECT_EQ(formatCalendarFile("Anna", 7, 3, 1980, "Birthday"),
              "BEGIN:VCALENDAR\r\n"
              "PRODID:-//Velmik Software//Fennaro//EN\r\n"
              "VERSION:2.0\r\n"
              "METHOD:PUBLISH\r\n"
              "BEGIN:VEVENT\r\n"
              "CATEGORIES:Birthday\r\n"
              "CLASS:PUBLIC\r\n"
              "CONTACT:Anna\r\n"
              "DTSTART;VALUE=DATE:19800307\r\n"
              "PRIORITY:5\r\n"
              "RRULE:FREQ=YEARLY;BYMONTHDAY=07;BYMONTH=03\r\n"
              "SEQUENCE:0\r\n"
              "SUMMARY:Anna's Birthday\r\n"
              "TRANSP:TRANSPARENT\r\n"
              "END:VEVENT\r\n"
              "END:VCALENDAR\r\n");
    // No year, a 29 February, and a name written without escaping.
    const std::string noYear = formatCalendarFile("Jo JJ Smith; a,b", 29, 2, 0, "");
    EXPECT_NE(noYear.find("\r\nCATEGORIES:\r\n"), std::string::npos);
    EXPECT_NE(noYear.find("\r\nDTSTART;VALUE=DATE:00000229\r\n"), std::string::npos);
    EXPECT_NE(noYear.find("\r\nRRULE:FREQ=YEARLY;BYMONTHDAY=29;BYMONTH=02\r\n"), std::string::npos);
    EXPECT_NE(noYear.find("\r\nSUMMARY:Jo JJ Smith; a,b's Birthday\r\n"), std::string::npos);
    EXPECT_NE(noYear.find("\r\nCONTACT:Jo JJ Smith; a,b\r\n"), std::string::npos);
}

TEST(CalendarFile, NamesThatStayInTheDataFolder) {
    EXPECT_EQ(calendarName("Jo \"JJ\" Smith"), "Jo JJ Smith");
    const std::pair<const char*, const char*> cases[] = {
        {"Jo JJ Smith", "Jo JJ Smith.ics"},
        {"", ".ics"},
        {"...", "....ics"},
        {".hidden", ".hidden.ics"},
        {"a:b?", "a:b?.ics"}, // the system decides whether it can be created
        {"../../.bashrc", nullptr},
        {"a/b", nullptr},
        {"a\\b", nullptr},
        {"..", nullptr},
        {".", nullptr},
        {"/etc/passwd", nullptr},
    };
    for (const auto& [name, file] : cases) {
        SCOPED_TRACE(name);
        const auto got = calendarFileName(name);
        if (file)
            EXPECT_EQ(got.value_or("<none>"), file);
        else
            EXPECT_FALSE(got.has_value());
    }
    EXPECT_FALSE(calendarFileName(std::string("a\0b", 3)).has_value());
}

TEST(CalendarFile, CategoriesByLineWithBirthdayForTheRest) {
    Categories c = defaultCategories();
    parseCategories("Family\r\nWork\n\n Club \r\x1AIgnored\r\n", c);
    EXPECT_EQ(c[0], "Family");
    EXPECT_EQ(c[1], "Work");
    EXPECT_EQ(c[2], "");
    EXPECT_EQ(c[3], " Club "); // a lone CR ends the line too
    EXPECT_EQ(c[4], "Birthday");
    EXPECT_EQ(c[63], "Birthday");
    EXPECT_EQ(categoryFor(c, 1), "Work");
    EXPECT_EQ(categoryFor(c, 64), "Family");
    EXPECT_EQ(categoryFor(c, -1), "Family");

    std::string many;
    for (int i = 0; i < 70; ++i)
        many += "C" + std::to_string(i) + "\n";
    Categories d = defaultCategories();
    parseCategories(many, d);
    EXPECT_EQ(d[63], "C63");
    // A file in Windows-1252 is decoded, one in UTF-8 kept as it is.
    Categories e = defaultCategories();
    parseCategories("F\xE4milie\r\n", e);
    EXPECT_EQ(e[0], "F\xC3\xA4milie");
    parseCategories("F\xC3\xA4milie\r\n", e);
    EXPECT_EQ(e[0], "F\xC3\xA4milie");
    Categories untouched = defaultCategories();
    readCategoriesFile("/nonexistent/categories.ini", untouched);
    EXPECT_EQ(untouched, defaultCategories());
}

// The unfolded content lines of one event, by property name (parameters included in the key
// up to the colon).
std::vector<std::string> unfold(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find("\r\n", pos);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF";
        if (end == std::string::npos)
            break;
        std::string line = text.substr(pos, end - pos);
        EXPECT_LE(line.size(), 75u) << line;
        if (!line.empty() && line[0] == ' ')
            lines.back() += line.substr(1);
        else
            lines.push_back(line);
        pos = end + 2;
    }
    return lines;
}

TEST(SingleCalendar, EventsWithFoldingEscapingRulesAndStableUids) {
    RecordList records;
    records.append(record("Anna", 7, 3, 1980, {.icon = 0}));
    records.append(record("Leap; on the 28th", 29, 2, 1984, {.icon = 0, .leapling = 0}));
    records.append(record("Leap, on 1 March", 29, 2, 0, {.type = BirthdayUnknownAge, .icon = 0}));
    records.append(record("Feb 30", 30, 2, 1990, {.type = AnnualEvent, .icon = 0}));
    records.append(record("No date", 0, 0, 1990, {.icon = 0}));
    records.append(record(std::string(60, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9" + "\\end", 1, 1, 2001,
                          {.type = AnnualEventWithStart, .icon = 70}));
    records.append(record("Anna", 7, 3, 1980, {.icon = 0})); // same as the first
    records.append(record("Cp1252 \xE9", 31, 4, 1999, {.icon = 0}));
    Categories categories = defaultCategories();
    categories[0] = "Family, friends";

    std::size_t left = 0;
    const std::string text = formatSingleCalendar(records, categories, 1780790400, &left);
    EXPECT_EQ(left, 1u);
    const auto lines = unfold(text);
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[0], "BEGIN:VCALENDAR");
    EXPECT_EQ(lines.back(), "END:VCALENDAR");

    std::vector<std::vector<std::string>> events;
    for (const std::string& line : lines) {
        if (line == "BEGIN:VEVENT")
            events.emplace_back();
        else if (!events.empty() && line != "END:VEVENT" && line != "END:VCALENDAR")
            events.back().push_back(line);
    }
    ASSERT_EQ(events.size(), 7u);
    const auto prop = [](const std::vector<std::string>& ev, const std::string& key) {
        for (const std::string& l : ev)
            if (l.compare(0, key.size() + 1, key + ":") == 0 ||
                l.compare(0, key.size() + 1, key + ";") == 0)
                return l;
        return std::string("<none>");
    };
    EXPECT_EQ(prop(events[0], "DTSTART"), "DTSTART;VALUE=DATE:19800307");
    EXPECT_EQ(prop(events[0], "DTEND"), "DTEND;VALUE=DATE:19800308");
    EXPECT_EQ(prop(events[0], "RRULE"), "RRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=7");
    EXPECT_EQ(prop(events[0], "SUMMARY"), "SUMMARY:Anna's Birthday");
    EXPECT_EQ(prop(events[0], "CATEGORIES"), "CATEGORIES:Family\\, friends");
    EXPECT_EQ(prop(events[0], "DTSTAMP"), "DTSTAMP:20260607T000000Z");
    // The leapling's day in every year, as the reminders count it.
    EXPECT_EQ(prop(events[1], "DTSTART"), "DTSTART;VALUE=DATE:19840228");
    EXPECT_EQ(prop(events[1], "RRULE"), "RRULE:FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=28");
    EXPECT_EQ(prop(events[1], "SUMMARY"), "SUMMARY:Leap\\; on the 28th's Birthday");
    EXPECT_EQ(prop(events[2], "DTSTART"), "DTSTART;VALUE=DATE:20000301");
    EXPECT_EQ(prop(events[2], "RRULE"), "RRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=1");
    EXPECT_EQ(prop(events[3], "RRULE"), "RRULE:FREQ=YEARLY;BYYEARDAY=61");
    EXPECT_EQ(prop(events[3], "SUMMARY"), "SUMMARY:Feb 30");
    EXPECT_EQ(prop(events[4], "SUMMARY"),
              "SUMMARY:" + std::string(60, 'x') + "\xC3\xA9\xC3\xA9\xC3\xA9\\\\end");
    EXPECT_EQ(prop(events[4], "CATEGORIES"), "CATEGORIES:Family\\, friends");
    EXPECT_EQ(prop(events[6], "SUMMARY"), "SUMMARY:Cp1252 \xC3\xA9's Birthday");
    EXPECT_EQ(prop(events[6], "DTSTART"), "DTSTART;VALUE=DATE:19990501");

    // Folding never cuts a UTF-8 character: every physical line is valid on its own.
    for (std::size_t pos = 0; (pos = text.find("\r\n ", pos)) != std::string::npos; pos += 3)
        EXPECT_NE(static_cast<unsigned char>(text[pos + 3]) & 0xC0, 0x80);

    // UIDs are unique in the file and the same at the next export.
    std::set<std::string> uids;
    for (const auto& ev : events)
        uids.insert(prop(ev, "UID"));
    EXPECT_EQ(uids.size(), events.size());
    const std::string again = formatSingleCalendar(records, categories, 1790000000);
    for (const std::string& uid : uids)
        EXPECT_NE(again.find(uid + "\r\n"), std::string::npos) << uid;
}

// An event as a calendar server stores it, and kivo's event put into what the server holds: kivo's
// fields win, everything another program added stays.
TEST(CalendarObject, StoredWithoutMethodAndMergedIntoTheServersCopy) {
    RecordList records;
    records.append(record("Anna", 7, 3, 1980, {.icon = 0}));
    const std::vector<CalendarEvent> events = calendarEvents(records, defaultCategories(), 0);
    ASSERT_EQ(events.size(), 1u);
    const CalendarEvent& ours = events[0];
    EXPECT_EQ(calendarObject(ours.text).find("METHOD"), std::string::npos);
    EXPECT_EQ(formatCalendarEvent(records[0], ours.uid, 0, "Birthday"), ours.text);

    // As a phone left it: LF line ends, a folded description, an alarm, a colour, the old date, an
    // override of one occurrence, and another program's event.
    const std::string server =
        "BEGIN:VCALENDAR\nVERSION:2.0\nPRODID:-//Phone//EN\nMETHOD:PUBLISH\n"
        "BEGIN:VEVENT\nUID:" +
        ours.uid +
        "\nDTSTART;VALUE=DATE:19800306\nDTEND;VALUE=DATE:19800307\n"
        "RRULE:FREQ=YEARLY\nSUMMARY:Old\nDESCRIPTION:Bring\n  cake\nCOLOR:red\n"
        "BEGIN:VALARM\nACTION:DISPLAY\nTRIGGER:-P1D\nSUMMARY:alarm's own\nEND:VALARM\n"
        "END:VEVENT\n"
        "BEGIN:VEVENT\nUID:" +
        ours.uid +
        "\nRECURRENCE-ID;VALUE=DATE:20260306\nSUMMARY:Moved\nEND:VEVENT\n"
        "BEGIN:VEVENT\nUID:other\nSUMMARY:Not ours\nEND:VEVENT\nEND:VCALENDAR\n";
    const std::optional<std::string> merged = mergeCalendarObject(server, ours.text, ours.uid);
    ASSERT_TRUE(merged.has_value());
    const std::vector<std::string> lines = unfold(*merged);
    const auto count = [&](const std::string& line) {
        return std::count(lines.begin(), lines.end(), line);
    };
    for (const char* kept : {"PRODID:-//Phone//EN", "DESCRIPTION:Bring cake", "COLOR:red",
                             "TRIGGER:-P1D", "SUMMARY:alarm's own", "SUMMARY:Moved",
                             "SUMMARY:Not ours", "RRULE:FREQ=YEARLY;BYMONTH=3;BYMONTHDAY=7",
                             "DTSTART;VALUE=DATE:19800307", "SUMMARY:Anna's Birthday"})
        EXPECT_EQ(count(kept), 1) << kept;
    for (const char* gone :
         {"METHOD:PUBLISH", "SUMMARY:Old", "DTSTART;VALUE=DATE:19800306", "RRULE:FREQ=YEARLY"})
        EXPECT_EQ(count(gone), 0) << gone;
    EXPECT_EQ(count("UID:" + ours.uid), 2);

    // Nothing to merge into: no event with the UID, or a text cut off inside it.
    EXPECT_FALSE(mergeCalendarObject("BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n", ours.text, ours.uid));
    EXPECT_FALSE(mergeCalendarObject(server.substr(0, server.find("COLOR")), ours.text, ours.uid));
}

} // namespace
} // namespace kivo
