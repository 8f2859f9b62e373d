// Wording of reminder lines, ordinals, presets, the sample reminder and translated formats.
#include "calendar_oracle.h"
#include "engine/reminder_text.h"
#include "tests/support/record_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <set>
#include <string>
#include <vector>

namespace kivo {
namespace {

using test::CivilDay;

// Hands out queued values, then 0; counts the draws.
class ScriptedRandom : public RandomSource {
public:
    explicit ScriptedRandom(std::deque<int> values = {}) : values_(std::move(values)) {}
    int next() override {
        ++draws;
        if (values_.empty())
            return 0;
        const int value = values_.front();
        values_.pop_front();
        return value;
    }
    int draws = 0;

private:
    std::deque<int> values_;
};

// Short names, so that a test sees which day was asked for.
class TestLocale : public LocaleNames {
public:
    std::string dayName(int dayOfWeek) const override { return "Day" + std::to_string(dayOfWeek); }
    std::string monthName(int month) const override { return "Month" + std::to_string(month); }
};

// One run's world: records computed against `today`, and everything a line needs.
struct Fixture {
    TextTable texts;
    std::string dateFormat = "%d/%m/%Y";
    std::vector<std::string> presets;
    EnglishLocaleNames locale;
    ScriptedRandom random;
    Date today = CivilDay{2026, 6, 7}.date(); // a Sunday; 12 June 2026 is a Friday
    RecordList records;

    PersonRecord& add(const std::string& name, int type, int day, int month, int year) {
        PersonRecord& stored = records.append(
            test::record(name, day, month, year, {.type = type, .daysInAdvance = 365}));
        ComputeOccurrence(stored, today);
        return stored;
    }

    std::string upcoming(PersonRecord& record) {
        ReminderContext context{texts, dateFormat, presets, locale, random};
        return ComposeReminderLine({&record, DueKind::Upcoming, record.daysUntil, record.nextYear},
                                   context);
    }
    std::string past(PersonRecord& record, int daysAgo) {
        ReminderContext context{texts, dateFormat, presets, locale, random};
        return ComposeReminderLine({&record, DueKind::Past, daysAgo, 2026}, context);
    }
};

TEST(ComposeReminderLine, WordsTheExamplesOfTheDailyRun) {
    Fixture f;
    const PersonRecord& anna = f.add("anna", Birthday, 12, 6, 1996);
    const PersonRecord& annaToday = f.add("anna", Birthday, 7, 6, 1996);
    const PersonRecord& wedding = f.add("Wedding anniversary", AnnualEventWithStart, 8, 6, 2001);
    PersonRecord& dinner = f.add("Club dinner", AnnualEvent, 5, 6, 0);
    dinner.daysInAdvance = 7; // its next occurrence is a year away

    // Reminder lines run through the selection, as the reminder window gets them.
    const DueSelection due = SelectDue(f.records, f.today, 2, f.today);
    std::vector<std::string> lines;
    for (const DueEntry& entry : due.entries) {
        ReminderContext context{f.texts, f.dateFormat, f.presets, f.locale, f.random};
        lines.push_back(ComposeReminderLine(entry, context));
    }
    const std::vector<std::string> expected = {
        "    Club dinner 2 days ago",
        " anna is 30 today",
        " 25th Wedding anniversary tomorrow",
        " Anna will be 30 on Friday 12/06/2026 (in 5 days)",
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(anna.daysUntil, 5);
    EXPECT_EQ(annaToday.daysUntil, 0);
    EXPECT_EQ(wedding.daysUntil, 1);
    EXPECT_EQ(dinner.daysUntil, 363);
    EXPECT_EQ(f.random.draws, 0); // no pre.ini, nothing drawn
}

TEST(ComposeReminderLine, FormsOfEveryTypeAheadTodayTomorrowAndPast) {
    Fixture f;
    struct Case {
        int type;
        const char* ahead;
        const char* today;
        const char* tomorrow;
        const char* yesterday;
        const char* daysAgo;
    };
    const Case cases[] = {
        {Birthday, " Bo will be 41 on Friday 12/06/2026 (in 5 days)", " bo is 41 today",
         " bo is 41 tomorrow", "    bo had a birthday yesterday",
         "    bo had a birthday 3 days ago"},
        {AnnualEvent, " Bo on Friday 12/06/2026 (in 5 days)", " bo today", " bo tomorrow",
         "    bo yesterday", "    bo 3 days ago"},
        {BirthdayUnknownAge, " Bo has a birthday on Friday 12/06/2026 (in 5 days)",
         " bo has a birthday today", " bo has a birthday tomorrow",
         "    bo had a birthday yesterday", "    bo had a birthday 3 days ago"},
        {AnnualEventWithStart, " 41st bo on Friday 12/06/2026 (in 5 days)", " 41st bo today",
         " 41st bo tomorrow", "    bo yesterday", "    bo 3 days ago"},
        {4, " ", " ", " ", "    ", "    "},
        {-1, " ", " ", " ", "    ", "    "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        EXPECT_EQ(f.upcoming(f.add("bo", c.type, 12, 6, 1985)), c.ahead);
        EXPECT_EQ(f.upcoming(f.add("bo", c.type, 7, 6, 1985)), c.today);
        EXPECT_EQ(f.upcoming(f.add("bo", c.type, 8, 6, 1985)), c.tomorrow);
        EXPECT_EQ(f.past(f.add("bo", c.type, 6, 6, 1985), 1), c.yesterday);
        EXPECT_EQ(f.past(f.add("bo", c.type, 4, 6, 1985), 3), c.daysAgo);
    }
}

TEST(ComposeReminderLine, OnlyAnAsciiLowerCaseFirstByteIsRaised) {
    Fixture f;
    EXPECT_EQ(f.upcoming(f.add("\xe9milie", AnnualEvent, 12, 6, 0)),
              " \xe9milie on Friday 12/06/2026 (in 5 days)");
    EXPECT_EQ(f.upcoming(f.add("3 kings", AnnualEvent, 12, 6, 0)),
              " 3 kings on Friday 12/06/2026 (in 5 days)");
    // Type 3 starts with the ordinal, so the name keeps its case.
    EXPECT_EQ(f.upcoming(f.add("club", AnnualEventWithStart, 12, 6, 2016)),
              " 10th club on Friday 12/06/2026 (in 5 days)");
}

TEST(ComposeReminderLine, UnknownYearShowsMinusOne) {
    Fixture f;
    EXPECT_EQ(f.upcoming(f.add("Ann", Birthday, 10, 6, 0)),
              " Ann will be -1 on Wednesday 10/06/2026 (in 3 days)");
    EXPECT_EQ(f.upcoming(f.add("Fair", AnnualEventWithStart, 9, 6, 0)),
              " -1st Fair on Tuesday 09/06/2026 (in 2 days)");
}

TEST(ComposeReminderLine, LeaplingDateWeekdayAndCountAgree) {
    Fixture f;
    f.today = CivilDay{2027, 2, 20}.date();
    PersonRecord& feb28 = f.add("Leo", Birthday, 29, 2, 2000);
    feb28.leapling = 0;
    ComputeOccurrence(feb28, f.today);
    EXPECT_EQ(f.upcoming(feb28), " Leo will be 27 on Sunday 28/02/2027 (in 8 days)");
    EXPECT_EQ(f.upcoming(f.add("Mia", Birthday, 29, 2, 2000)),
              " Mia will be 27 on Monday 01/03/2027 (in 9 days)");
}

TEST(ComposeReminderLine, DateThatDoesNotFitLeavesAnEmptyPiece) {
    Fixture f;
    f.dateFormat = std::string(200, '-') + "%d";
    EXPECT_EQ(f.upcoming(f.add("Anna", Birthday, 12, 6, 1996)),
              " Anna will be 30 on Friday  (in 5 days)");
}

TEST(ComposeReminderLine, PresetsArePutBeforeUpcomingLinesOnly) {
    Fixture f;
    f.presets = {"Hey! ", "", "Look: "};
    PersonRecord& anna = f.add("anna", Birthday, 12, 6, 1996);
    f.random = ScriptedRandom({0, 10922, 32767});
    EXPECT_EQ(f.upcoming(anna), " Hey! Anna will be 30 on Friday 12/06/2026 (in 5 days)");
    EXPECT_EQ(f.upcoming(anna), " Anna will be 30 on Friday 12/06/2026 (in 5 days)"); // empty line
    EXPECT_EQ(f.upcoming(f.add("anna", Birthday, 7, 6, 1996)), " Look: anna is 30 today");
    EXPECT_EQ(f.random.draws, 3);
    EXPECT_EQ(f.past(anna, 2), "    anna had a birthday 2 days ago");
    EXPECT_EQ(f.random.draws, 3);
}

TEST(PresetIndex, DrawFormulaAtItsBoundaries) {
    ScriptedRandom unused;
    EXPECT_EQ(presetIndex(32767, 1, unused), 0u);
    EXPECT_EQ(presetIndex(16382, 2, unused), 0u);
    EXPECT_EQ(presetIndex(16383, 2, unused), 1u);
    EXPECT_EQ(presetIndex(32767, 2, unused), 1u); // 32767 / 16383 = 2, taken as the last line
    EXPECT_EQ(presetIndex(10921, 3, unused), 0u);
    EXPECT_EQ(presetIndex(10922, 3, unused), 1u);
    EXPECT_EQ(presetIndex(32766, 3, unused), 2u);
    EXPECT_EQ(presetIndex(20000, 16384, unused), 16383u); // divisor 1: the top half is the last
    EXPECT_EQ(presetIndex(1234, 16384, unused), 1234u);
    EXPECT_EQ(presetIndex(32767, 32767, unused), 32766u);
    EXPECT_EQ(unused.draws, 0);
}

TEST(PresetIndex, MoreLinesThanRandomValuesStillReachEveryPart) {
    // 32768 lines and more: the formula's divisor would be 0.
    ScriptedRandom scripted({5});
    EXPECT_EQ(presetIndex(1, 40000, scripted), (32768u + 5u) % 40000u);
    ScriptedRandom stuck({32767, 32767, 32767, 32767, 32767, 32767, 32767, 32767});
    EXPECT_LT(presetIndex(32767, 40000, stuck), 40000u); // the top values are drawn again

    StdRandomSource random(12345);
    const std::size_t n = 100000;
    std::vector<int> quarters(4, 0);
    for (int i = 0; i < 200000; ++i) {
        const std::size_t index = presetIndex(random.next(), n, random);
        ASSERT_LT(index, n);
        ++quarters[index * 4 / n];
    }
    for (int count : quarters)
        EXPECT_NEAR(count, 50000, 2500);
}

TEST(StdRandomSource, ValuesSpanTheRandRangeAndRepeatForASeed) {
    StdRandomSource first(42);
    std::vector<int> values;
    for (int i = 0; i < 5000; ++i)
        values.push_back(first.next());
    for (int v : values)
        ASSERT_TRUE(v >= 0 && v <= 32767) << v;
    EXPECT_GT(*std::max_element(values.begin(), values.end()), 30000);
    EXPECT_LT(*std::min_element(values.begin(), values.end()), 2000);
    StdRandomSource again(42);
    for (int v : values)
        ASSERT_EQ(again.next(), v);
}

TEST(MakeOrdinal, OnlyTheWholeTextsElevenToThirteenAreExceptions) {
    const TextTable none;
    const std::pair<const char*, const char*> cases[] = {
        {"1", "1st"},     {"2", "2nd"},     {"3", "3rd"},   {"4", "4th"},   {"11", "11th"},
        {"12", "12th"},   {"13", "13th"},   {"21", "21st"}, {"22", "22nd"}, {"111", "111st"},
        {"112", "112nd"}, {"113", "113rd"}, {"0", "0th"},   {"-1", "-1st"}, {"011", "011st"},
        {"-11", "-11st"}, {"100", "100th"}, {"", "th"},
    };
    for (const auto& [number, expected] : cases)
        EXPECT_EQ(MakeOrdinal(none, number), expected) << number;
}

TEST(MakeOrdinal, EndingsAndWholeWordsAreLookedUp) {
    const TextTable french = {{"ST", "er"}, {"th", "e"}, {"11th", "onzi\xe8me"}, {"nd", "e"}};
    EXPECT_EQ(MakeOrdinal(french, "1"), "1er");
    EXPECT_EQ(MakeOrdinal(french, "2"), "2e");
    EXPECT_EQ(MakeOrdinal(french, "3"), "3rd");
    EXPECT_EQ(MakeOrdinal(french, "11"), "onzi\xe8me");
    EXPECT_EQ(MakeOrdinal(french, "12"), "12th");
    EXPECT_EQ(MakeOrdinal(french, "7"), "7e");
}

TEST(WeekdayName, AsksTheLocaleForTheDayOfTheDate) {
    const TestLocale locale;
    EXPECT_EQ(WeekdayName(locale, CivilDay{2026, 6, 7}.date()), "Day0");
    EXPECT_EQ(WeekdayName(locale, CivilDay{2026, 6, 13}.date()), "Day6");
    EXPECT_EQ(WeekdayName(locale, Date{}), "");
    const EnglishLocaleNames english;
    EXPECT_EQ(WeekdayName(english, CivilDay{2024, 2, 29}.date()), "Thursday");
}

TEST(SampleReminder, AlwaysTheAheadFormWithPlaceholders) {
    const TextTable none;
    const TestLocale locale;
    const Date picked = CivilDay{1990, 4, 3}.date(); // a Tuesday
    EXPECT_EQ(SampleReminder(none, locale, 0, "eve", "14", picked),
              "eve will be XX on Day2 01/01/11 (in 14 days)");
    EXPECT_EQ(SampleReminder(none, locale, 1, "", " 7 days", picked),
              " on Day2 01/01/11 (in 7 days)");
    EXPECT_EQ(SampleReminder(none, locale, 2, "eve", "abc", picked),
              "eve has a birthday on Day2 01/01/11 (in 0 days)");
    EXPECT_EQ(SampleReminder(none, locale, 3, "eve", "-3", picked),
              "XXxx eve on Day2 01/01/11 (in -3 days)");
    EXPECT_EQ(SampleReminder(none, locale, 0, "eve", "99999999999", picked),
              "eve will be XX on Day2 01/01/11 (in 2147483647 days)");
    EXPECT_EQ(SampleReminder(none, locale, 4, "eve", "1", picked, "as before"), "as before");
}

TEST(FillFormat, TranslationsMayDropTrailingPlaceholdersButNotAddOrChange) {
    const std::string builtIn = "%s is %s tomorrow";
    const std::vector<std::string> args = {"Anna", "30"};
    EXPECT_EQ(fillFormat("%s wird morgen %s", builtIn, args), "Anna wird morgen 30");
    EXPECT_EQ(fillFormat("Morgen: %s", builtIn, args), "Morgen: Anna");
    EXPECT_EQ(fillFormat("Tomorrow!", builtIn, args), "Tomorrow!");
    EXPECT_EQ(fillFormat("100%% %s", builtIn, args), "100% Anna");

    // Unusable translations: the built-in text is filled instead.
    for (const char* hostile :
         {"%s %s %s", "%s is %d", "%n%s", "%5s %s", "%s %s %", "%", "%i", "%s %i", "%-s", "%ls"})
        EXPECT_EQ(fillFormat(hostile, builtIn, args), "Anna is 30 tomorrow") << hostile;

    EXPECT_EQ(fillFormat("in %i Tagen", "in %i days", {"4"}), "in 4 Tagen");
    EXPECT_EQ(fillFormat("in %s Tagen", "in %i days", {"4"}), "in 4 days");
}

TEST(ComposeReminderLine, TranslatedFormatsFollowTheBuiltInArgumentOrder) {
    Fixture f;
    f.texts = {{"%s %s on %s %s (%s)", "%s: %s"},
               {"IN %I DAYS", "dans %i jours"},
               {"%s had a birthday %i days ago", "%s %s %s %s"},
               {"%s will be %s on %s %s (%s)", "%s %s %s %s %s %s %n"},
               {"%s is %s today", "%d"},
               {"%s yesterday", "gestern %"}};
    EXPECT_EQ(f.upcoming(f.add("Club", AnnualEventWithStart, 12, 6, 2016)), " 10th: Club");
    EXPECT_EQ(f.upcoming(f.add("Ed", AnnualEvent, 12, 6, 0)),
              " Ed on Friday 12/06/2026 (dans 5 jours)");
    EXPECT_EQ(f.upcoming(f.add("Ed", Birthday, 12, 6, 2000)),
              " Ed will be 26 on Friday 12/06/2026 (dans 5 jours)");
    EXPECT_EQ(f.upcoming(f.add("Ed", Birthday, 7, 6, 2000)), " Ed is 26 today");
    EXPECT_EQ(f.past(f.add("Ed", Birthday, 1, 6, 2000), 6), "    Ed had a birthday 6 days ago");
    EXPECT_EQ(f.past(f.add("Ed", AnnualEvent, 6, 6, 2000), 1), "    Ed yesterday");
}

} // namespace
} // namespace kivo
