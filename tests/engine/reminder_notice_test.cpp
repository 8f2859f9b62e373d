// The notification of a run's reminders: the window's lines without their indent, at most five
// and a count of the rest, the one line as its summary, and attention asked for today's.
#include "calendar_oracle.h"
#include "engine/reminder_notice.h"
#include "tests/support/record_builder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {

void PrintTo(const ReminderNotice::Line& line, std::ostream* out) {
    *out << '"' << line.text << '"' << (line.today ? " (today)" : "");
}

namespace {

using Line = ReminderNotice::Line;

struct NoticeCase {
    const char* what;
    // (name, type, day, month) of records due on Sunday 7 June 2026, each announced 7 days ahead.
    std::vector<std::tuple<const char*, int, int, int>> records;
    int pastDays;
    TextTable texts;
    std::string summary;
    std::vector<Line> body;
    bool dueToday;
};

TEST(ComposeReminderNotice, ShortensTheWindowsLinesToANotification) {
    const TextTable german = {{"and %i more", "und %i weitere"},
                              {"Birthdays and events", "Geburtstage und Termine"},
                              {"%s tomorrow", "%s morgen"}};
    const std::vector<std::tuple<const char*, int, int, int>> week = {
        {"Mo", AnnualEvent, 8, 6},  {"Tu", AnnualEvent, 9, 6},  {"We", AnnualEvent, 10, 6},
        {"Th", AnnualEvent, 11, 6}, {"Fr", AnnualEvent, 12, 6}, {"Sa", AnnualEvent, 13, 6},
        {"Su", AnnualEvent, 14, 6}};
    const NoticeCase cases[] = {
        {"one line is the summary",
         {{"anna", Birthday, 12, 6}},
         0,
         {},
         "Anna will be 36 on Friday 12/06/2026 (in 5 days)",
         {},
         false},
        {"today's line asks for attention",
         {{"Wedding", AnnualEventWithStart, 8, 6}, {"anna", Birthday, 7, 6}},
         0,
         {},
         "Birthdays and events",
         {{"anna is 36 today", true}, {"25th Wedding tomorrow", false}},
         true},
        {"a past line keeps its place and is never today's",
         {{"Dinner", AnnualEvent, 6, 6}, {"Bo", AnnualEvent, 8, 6}},
         2,
         {},
         "Birthdays and events",
         {{"Dinner yesterday", false}, {"Bo tomorrow", false}},
         false},
        {"five lines, then the rest counted, in the user's words",
         week,
         0,
         german,
         "Geburtstage und Termine",
         {{"Mo morgen", false},
          {"Tu on Tuesday 09/06/2026 (in 2 days)", false},
          {"We on Wednesday 10/06/2026 (in 3 days)", false},
          {"Th on Thursday 11/06/2026 (in 4 days)", false},
          {"Fr on Friday 12/06/2026 (in 5 days)", false},
          {"und 2 weitere", false}},
         false},
    };
    for (const NoticeCase& c : cases) {
        SCOPED_TRACE(c.what);
        const Date today = test::CivilDay{2026, 6, 7}.date();
        RecordList records;
        for (const auto& [name, type, day, month] : c.records) {
            PersonRecord& r =
                records.append(test::record(name, day, month, type == Birthday ? 1990 : 2001,
                                            {.type = type, .daysInAdvance = 7}));
            ComputeOccurrence(r, today);
        }
        const std::string dateFormat = "%d/%m/%Y";
        const std::vector<std::string> presets;
        EnglishLocaleNames locale;
        StdRandomSource random(1);
        ReminderContext context{c.texts, dateFormat, presets, locale, random};
        const ReminderNotice notice =
            composeReminderNotice(SelectDue(records, today, c.pastDays, today), context);
        EXPECT_EQ(notice.summary, c.summary);
        EXPECT_EQ(notice.body, c.body);
        EXPECT_EQ(notice.dueToday, c.dueToday);
        EXPECT_EQ(notice.showAllAction, "Show all");
        EXPECT_EQ(notice.setupAction, "Setup");
    }
}

} // namespace
} // namespace kivo
