// Occurrence arithmetic and due selection, checked against a day-stepping calendar.
#include "calendar_oracle.h"
#include "engine/date_text.h"
#include "engine/occurrence.h"
#include "tests/support/record_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>

namespace kivo {
namespace {

using test::CivilDay;
using test::daysOfYears;

Date ymd(int y, int m, int d) {
    return CivilDay{y, m, d}.date();
}

TEST(MakeDate, RollsDaysTheMonthLacksIntoTheNextMonth) {
    for (int year : {1900, 1901, 2000, 2023, 2024, 2100}) {
        for (int month = 1; month <= 12; ++month) {
            for (int day = 1; day <= 31; ++day) {
                const CivilDay expected = CivilDay{year, month, 1}.stepped(day - 1);
                EXPECT_TRUE(expected.matches(makeDate(year, month, day)))
                    << year << '-' << month << '-' << day << " should be " << expected;
            }
        }
    }
}

TEST(MakeDate, OutOfRangeMonthsAndDaysCarryLikeMktime) {
    for (int month = -14; month <= 26; ++month) {
        // The first of the month, reached by stepping month by month from January.
        CivilDay first{2024, 1, 1};
        for (int i = 1; i < month; ++i)
            first = first.stepped(CivilDay::monthLength(first.y, first.m));
        for (int i = month; i < 1; ++i)
            first = first.previous().stepped(
                1 - CivilDay::monthLength(first.previous().y, first.previous().m));
        for (int day = -40; day <= 70; day += 3) {
            const CivilDay expected = first.stepped(day - 1);
            EXPECT_TRUE(expected.matches(makeDate(2024, month, day)))
                << "2024-" << month << '-' << day << " should be " << expected;
        }
    }
}

TEST(MakeDate, DaysBetweenCountsCalendarDays) {
    const std::vector<CivilDay> days = daysOfYears(1899, 1901);
    for (std::size_t i = 0; i < days.size(); i += 37)
        for (std::size_t j = 0; j < days.size(); j += 53)
            ASSERT_EQ(daysBetween(days[i].date(), days[j].date()),
                      static_cast<int>(j) - static_cast<int>(i))
                << days[i] << " to " << days[j];
}

// For every day of three-year spans around 1900, 2000, 2024 and 2100, and every (month, day)
// a record can hold, the next occurrence is the first counted day reached by stepping forward.
TEST(ComputeOccurrence, MatchesDayByDayStepping) {
    struct RecordCase {
        int month;
        int day;
        int leapling;
    };
    std::vector<RecordCase> cases;
    for (int month = 1; month <= 12; ++month)
        for (int day = 1; day <= 31; ++day)
            cases.push_back({month, day, 1});
    for (int leapling : {0, -1, 5})
        cases.push_back({2, 29, leapling});

    int failures = 0;
    for (int firstYear : {1899, 1999, 2023, 2099}) {
        const std::vector<CivilDay> days = daysOfYears(firstYear, firstYear + 2);
        std::map<std::tuple<int, int, int>, std::size_t> indexOf;
        for (std::size_t i = 0; i < days.size(); ++i)
            indexOf[{days[i].y, days[i].m, days[i].d}] = i;

        for (const RecordCase& rc : cases) {
            // The counted day in each year of the span, reached by stepping from the first of
            // the record's month (a 29 February counts on 28 February or 1 March).
            std::vector<std::size_t> counted;
            for (int y = firstYear; y <= firstYear + 2; ++y) {
                if (rc.month == 2 && rc.day == 29)
                    counted.push_back(rc.leapling == 0 ? indexOf.at({y, 2, 28})
                                                       : indexOf.at({y, 3, 1}));
                else
                    counted.push_back(indexOf.at({y, rc.month, 1}) + (rc.day - 1));
            }
            PersonRecord record = test::record("x", rc.day, rc.month, (rc.day % 2) ? 1950 : 0,
                                               {.leapling = rc.leapling});
            for (std::size_t t = 0; days[t].y <= firstYear + 1; ++t) {
                const std::size_t next = *std::lower_bound(counted.begin(), counted.end(), t);
                ComputeOccurrence(record, days[t].date());
                const int expectedYear = days[next].y;
                const int expectedAge = record.year != 0 ? expectedYear - record.year : -1;
                const bool ok = record.daysUntil == static_cast<int>(next - t) &&
                                record.nextYear == expectedYear && record.age == expectedAge &&
                                days[next].matches(ShownDate(record));
                if (!ok && ++failures <= 10)
                    ADD_FAILURE() << "record " << rc.day << '/' << rc.month << " leapling "
                                  << rc.leapling << " on " << days[t] << ": got daysUntil "
                                  << record.daysUntil << " nextYear " << record.nextYear << " age "
                                  << record.age << ", expected " << next - t << ' ' << expectedYear
                                  << ' ' << expectedAge;
            }
        }
    }
    EXPECT_EQ(failures, 0);
}

TEST(ComputeOccurrence, LeaplingOnTwentyNinthFebruaryOfALeapYear) {
    PersonRecord feb28 = test::record("x", 29, 2, 2000, {.leapling = 0});
    PersonRecord mar1 = test::record("x", 29, 2, 2000);
    ComputeOccurrence(feb28, ymd(2024, 2, 29));
    ComputeOccurrence(mar1, ymd(2024, 2, 29));
    EXPECT_EQ(feb28.daysUntil, 365);
    EXPECT_EQ(feb28.nextYear, 2025);
    EXPECT_EQ(feb28.age, 25);
    EXPECT_EQ(mar1.daysUntil, 1);
    EXPECT_EQ(mar1.nextYear, 2024);
    EXPECT_TRUE((CivilDay{2024, 3, 1}.matches(ShownDate(mar1))));
    EXPECT_TRUE((CivilDay{2025, 2, 28}.matches(ShownDate(feb28))));
}

TEST(ComputeOccurrence, TurnOfTheYear) {
    PersonRecord newYear = test::record("x", 1, 1, 1990);
    ComputeOccurrence(newYear, ymd(2025, 12, 31));
    EXPECT_EQ(newYear.daysUntil, 1);
    EXPECT_EQ(newYear.nextYear, 2026);
    EXPECT_EQ(newYear.age, 36);

    PersonRecord today = test::record("x", 31, 12, 2030);
    ComputeOccurrence(today, ymd(2025, 12, 31));
    EXPECT_EQ(today.daysUntil, 0);
    EXPECT_EQ(today.nextYear, 2025);
    EXPECT_EQ(today.age, -5); // a year in the future is not checked
}

TEST(ComputeOccurrence, RecordWithoutUsableDateGetsMinusOneAndIsNeverDue) {
    RecordList records;
    for (auto [day, month] : {std::pair{0, 5}, {5, 0}, {-1, -1}, {32, 1}, {1, 13}, {-3, 4}}) {
        PersonRecord record = test::record("x", day, month, 1980);
        record.age = record.daysUntil = record.nextYear = 77;
        record.daysInAdvance = 365;
        ComputeOccurrence(record, ymd(2024, 6, 1));
        EXPECT_EQ(record.age, -1) << day << '/' << month;
        EXPECT_EQ(record.daysUntil, -1);
        EXPECT_EQ(record.nextYear, -1);
        EXPECT_FALSE(hasUsableDate(record));
        EXPECT_FALSE(ShownDate(record).ok());
        records.append(record);
    }
    const DueSelection due = SelectDue(records, ymd(2024, 6, 1), kMaxPastDays, ymd(2024, 6, 1));
    EXPECT_TRUE(due.entries.empty());
    EXPECT_FALSE(due.anyUpcoming);
}

TEST(IsBeforeToday, ComparesMonthThenDayAndIgnoresYears) {
    const Date today = ymd(2024, 6, 15);
    EXPECT_TRUE(IsBeforeToday(ymd(2030, 5, 20), today));
    EXPECT_TRUE(IsBeforeToday(ymd(1990, 6, 14), today));
    EXPECT_FALSE(IsBeforeToday(ymd(1990, 6, 15), today));
    EXPECT_FALSE(IsBeforeToday(ymd(1990, 6, 16), today));
    EXPECT_FALSE(IsBeforeToday(ymd(2000, 7, 1), today));
}

// The selection as first described: visit distances 365..0 then past days 1..N, each over the
// records in list order, inserting every new line at the top.
DueSelection naiveSelection(RecordList& records, int pastDays, CivilDay now) {
    std::deque<DueEntry> lines;
    DueSelection result;
    auto candidate = [](const PersonRecord& r) {
        return !r.infoOnly && r.day != 0 && r.month != 0;
    };
    for (int d = 365; d >= 0; --d) {
        for (PersonRecord& r : records) {
            if (candidate(r) && d <= r.daysInAdvance && r.daysUntil == d &&
                r.nextYear != r.skipYear) {
                lines.push_front({&r, DueKind::Upcoming, d, r.nextYear});
                result.anyUpcoming = true;
            }
        }
    }
    const int n = std::min(pastDays, kMaxPastDays);
    CivilDay day = now;
    for (int k = 1; k <= n; ++k) {
        day = day.previous();
        for (PersonRecord& r : records)
            if (candidate(r) && r.day == day.d && r.month == day.m && r.skipYear != day.y)
                lines.push_front({&r, DueKind::Past, k, day.y});
    }
    result.entries.assign(lines.begin(), lines.end());
    return result;
}

std::string describe(const DueEntry& e, const RecordList& records) {
    std::ostringstream out;
    out << "#" << records.indexOf(e.record) << (e.kind == DueKind::Past ? " past " : " upcoming ")
        << e.distance << " in " << e.occurrenceYear;
    return out.str();
}

void expectSameSelection(const DueSelection& actual, const DueSelection& expected,
                         const RecordList& records) {
    EXPECT_EQ(actual.anyUpcoming, expected.anyUpcoming);
    ASSERT_EQ(actual.entries.size(), expected.entries.size());
    for (std::size_t i = 0; i < actual.entries.size(); ++i) {
        const DueEntry& a = actual.entries[i];
        const DueEntry& e = expected.entries[i];
        ASSERT_TRUE(a.record == e.record && a.kind == e.kind && a.distance == e.distance &&
                    a.occurrenceYear == e.occurrenceYear)
            << "line " << i << ": got " << describe(a, records) << ", expected "
            << describe(e, records);
    }
}

RecordList randomRecords(std::size_t count, unsigned seed) {
    std::mt19937 rng(seed);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    const int odd[] = {0, -1, 32, 45};
    const int advance[] = {-1, 0, 1, 2, 5, 30, 200, 365, 400};
    RecordList records;
    for (std::size_t i = 0; i < count; ++i) {
        PersonRecord r;
        r.name = "r" + std::to_string(i);
        const int shape = pick(0, 19);
        r.month = shape == 0 ? pick(-1, 0) : shape == 1 ? 13 : pick(1, 12);
        r.day = shape == 2 ? odd[pick(0, 3)] : pick(1, 31);
        if (shape == 3 || shape == 4) {
            r.month = 2;
            r.day = 29;
        }
        r.leapling = pick(0, 1);
        r.year = pick(0, 3) == 0 ? 0 : pick(1900, 2020);
        r.daysInAdvance = advance[pick(0, 8)];
        r.infoOnly = pick(0, 9) == 0;
        records.append(std::move(r));
    }
    return records;
}

// Several runs: past windows over leap days and year ends, a run that goes on past midnight,
// windows that are empty, negative, or beyond the largest one honoured.
TEST(SelectDue, GivesTheSameLinesAsVisitingEveryDistanceAndDay) {
    struct Scenario {
        CivilDay today;
        CivilDay now;
        int pastDays;
        std::size_t records;
    };
    const Scenario scenarios[] = {
        {{2024, 2, 27}, {2024, 2, 27}, 3, 600},     {{2025, 1, 2}, {2025, 1, 3}, 10, 600},
        {{2024, 12, 30}, {2024, 12, 30}, 800, 400}, {{2100, 3, 1}, {2100, 3, 1}, 0, 600},
        {{1900, 2, 28}, {1900, 2, 28}, -4, 300},    {{2000, 3, 1}, {2000, 3, 1}, 40000, 120},
        {{2023, 12, 31}, {2023, 12, 31}, 366, 500},
    };
    unsigned seed = 7;
    for (const Scenario& s : scenarios) {
        SCOPED_TRACE(testing::Message()
                     << "today " << s.today << " now " << s.now << " past " << s.pastDays);
        RecordList records = randomRecords(s.records, seed++);
        std::size_t i = 0;
        for (PersonRecord& r : records) {
            ComputeOccurrence(r, s.today.date());
            if (i % 7 == 0)
                r.skipYear = r.nextYear;
            else if (i % 11 == 0)
                r.skipYear = s.now.y - static_cast<int>(i % 3);
            ++i;
        }
        const DueSelection expected = naiveSelection(records, s.pastDays, s.now);
        const auto pastLines =
            std::count_if(expected.entries.begin(), expected.entries.end(),
                          [](const DueEntry& e) { return e.kind == DueKind::Past; });
        ASSERT_TRUE(expected.anyUpcoming); // the comparison is about real lines
        ASSERT_EQ(pastLines > 0, s.pastDays > 0);
        const DueSelection actual = SelectDue(records, s.today.date(), s.pastDays, s.now.date());
        expectSameSelection(actual, expected, records);
    }
}

// The start-up test of a single record must agree with the window's selection, record by record.
TEST(IsUpcomingDue, HoldsForExactlyTheRecordsSelectDueListsAsUpcoming) {
    const CivilDay days[] = {{2024, 2, 28},  {2024, 2, 29}, {2025, 2, 28}, {2025, 3, 1},
                             {2023, 12, 31}, {2024, 1, 1},  {2100, 2, 28}, {2026, 6, 7}};
    unsigned seed = 31;
    for (const CivilDay& today : days) {
        SCOPED_TRACE(testing::Message() << "today " << today);
        RecordList records = randomRecords(400, seed++);
        std::size_t i = 0;
        for (PersonRecord& r : records) {
            ComputeOccurrence(r, today.date());
            if (i % 5 == 0)
                r.skipYear = r.nextYear;
            else if (i % 9 == 0)
                r.skipYear = r.nextYear + 1;
            ++i;
        }
        const DueSelection selection = SelectDue(records, today.date(), 3, today.date());
        std::size_t upcoming = 0;
        for (const PersonRecord& r : records) {
            const bool listed = std::any_of(
                selection.entries.begin(), selection.entries.end(),
                [&r](const DueEntry& e) { return e.record == &r && e.kind == DueKind::Upcoming; });
            EXPECT_EQ(isUpcomingDue(r), listed) << r.name;
            upcoming += listed;
        }
        EXPECT_GT(upcoming, 0u);
        EXPECT_EQ(selection.anyUpcoming, upcoming > 0);
    }
}

TEST(SelectDue, PastWindowIsCutToTheLargestHonoured) {
    const CivilDay now{2026, 6, 1};
    const CivilDay last = now.stepped(-kMaxPastDays);
    const CivilDay beyond = last.previous();
    RecordList records;
    PersonRecord& inside =
        records.append(test::record("x", last.d, last.m, 0, {.daysInAdvance = 0}));
    records.append(test::record("x", beyond.d, beyond.m, 0, {.daysInAdvance = 0}));
    for (PersonRecord& r : records)
        ComputeOccurrence(r, now.date());
    const DueSelection due = SelectDue(records, now.date(), kMaxPastDays + 1, now.date());
    ASSERT_FALSE(due.entries.empty());
    EXPECT_EQ(due.entries.front().record, &inside);
    EXPECT_EQ(due.entries.front().distance, kMaxPastDays);
    EXPECT_EQ(due.entries.front().occurrenceYear, last.y);
    EXPECT_TRUE(SelectDue(records, now.date(), -1, now.date()).entries.empty());
}

TEST(SelectDue, PastWindowCrossesTheYearOldestFirst) {
    RecordList records;
    PersonRecord& jan1 = records.append(test::record("x", 1, 1, 0, {.daysInAdvance = 0}));
    PersonRecord& dec31 = records.append(test::record("x", 31, 12, 0, {.daysInAdvance = 0}));
    PersonRecord& dec30 = records.append(test::record("x", 30, 12, 0, {.daysInAdvance = 0}));
    records.append(test::record("x", 29, 12, 0, {.daysInAdvance = 0}));
    for (PersonRecord& r : records)
        ComputeOccurrence(r, ymd(2026, 1, 2));
    const DueSelection due = SelectDue(records, ymd(2026, 1, 2), 3, ymd(2026, 1, 2));
    ASSERT_EQ(due.entries.size(), 3u);
    EXPECT_EQ(due.entries[0].record, &dec30);
    EXPECT_EQ(due.entries[0].distance, 3);
    EXPECT_EQ(due.entries[0].occurrenceYear, 2025);
    EXPECT_EQ(due.entries[1].record, &dec31);
    EXPECT_EQ(due.entries[1].distance, 2);
    EXPECT_EQ(due.entries[2].record, &jan1);
    EXPECT_EQ(due.entries[2].occurrenceYear, 2026);
    EXPECT_FALSE(due.anyUpcoming); // past lines alone
}

TEST(SelectDue, SkipYearSilencesOnlyTheOccurrenceOfThatYear) {
    RecordList records;
    PersonRecord& yesterday = records.append(test::record("x", 9, 3, 0, {.daysInAdvance = 0}));
    PersonRecord& soon = records.append(test::record("x", 20, 3, 0, {.daysInAdvance = 0}));
    soon.daysInAdvance = 30;
    for (PersonRecord& r : records)
        ComputeOccurrence(r, ymd(2026, 3, 10));

    // Silencing the upcoming occurrence leaves the past line of a record due yesterday.
    yesterday.skipYear = yesterday.nextYear; // 2027
    soon.skipYear = soon.nextYear;           // 2026
    DueSelection due = SelectDue(records, ymd(2026, 3, 10), 1, ymd(2026, 3, 10));
    ASSERT_EQ(due.entries.size(), 1u);
    EXPECT_EQ(due.entries[0].record, &yesterday);
    EXPECT_EQ(due.entries[0].kind, DueKind::Past);

    // Silencing the past line (its year is 2026) drops it; next year's reminder comes back.
    yesterday.skipYear = 2026;
    EXPECT_TRUE(SelectDue(records, ymd(2026, 3, 10), 1, ymd(2026, 3, 10)).entries.empty());
    ComputeOccurrence(soon, ymd(2027, 3, 1));
    due = SelectDue(records, ymd(2027, 3, 1), 0, ymd(2027, 3, 1));
    ASSERT_EQ(due.entries.size(), 1u);
    EXPECT_EQ(due.entries[0].record, &soon);
    EXPECT_EQ(due.entries[0].occurrenceYear, 2027);
    EXPECT_TRUE(due.anyUpcoming);
}

TEST(SelectDue, LongPastWindowListsARecordOncePerYear) {
    RecordList records;
    PersonRecord& r = records.append(test::record("x", 15, 5, 0, {.daysInAdvance = 0}));
    PersonRecord& leapDay =
        records.append(test::record("x", 29, 2, 0, {.daysInAdvance = 0, .leapling = 0}));
    ComputeOccurrence(r, ymd(2026, 6, 1));
    ComputeOccurrence(leapDay, ymd(2026, 6, 1));
    const DueSelection due = SelectDue(records, ymd(2026, 6, 1), 4 * 365, ymd(2026, 6, 1));
    std::vector<std::pair<const PersonRecord*, int>> got;
    for (const DueEntry& e : due.entries)
        got.emplace_back(e.record, e.occurrenceYear);
    // A 29 February gets a past line only in a leap year, with no leapling substitution.
    const std::vector<std::pair<const PersonRecord*, int>> expected = {
        {&r, 2023}, {&leapDay, 2024}, {&r, 2024}, {&r, 2025}, {&r, 2026}};
    EXPECT_EQ(got, expected);
}

// Sets TZ, or removes it when `zone` is null, and has the C library read it again.
void setTimeZone(const char* zone) {
#if defined(_WIN32)
    _putenv_s("TZ", zone ? zone : ""); // an empty value removes it
    _tzset();
#else
    if (zone)
        setenv("TZ", zone, 1);
    else
        unsetenv("TZ");
    tzset();
#endif
}

// The zones switched between (daylight saving, half- and three-quarter-hour offsets) as TZ names
// them: the zone database's names, or on Windows, which has no database, the C runtime's form of
// name, hours west of UTC and daylight name (daylight saving on the United States' dates).
#if defined(_WIN32)
constexpr const char* kUtc = "UTC0";
constexpr const char* kNewYork = "EST5EDT";
constexpr const char* kBerlin = "CET-1CEST";
constexpr const char* kLordHowe = "LHS-10:30LHD";
constexpr const char* kKathmandu = "NPT-5:45";
#else
constexpr const char* kUtc = "UTC";
constexpr const char* kNewYork = "America/New_York";
constexpr const char* kBerlin = "Europe/Berlin";
constexpr const char* kLordHowe = "Australia/Lord_Howe";
constexpr const char* kKathmandu = "Asia/Kathmandu";
#endif

// Sets TZ for the lifetime of the object and puts the previous value back.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ"))
            previous_ = old;
        setTimeZone(zone);
    }
    ~ScopedTimeZone() { setTimeZone(previous_ ? previous_->c_str() : nullptr); }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

std::string occurrenceFingerprint() {
    std::ostringstream out;
    RecordList records = randomRecords(200, 99);
    for (const CivilDay& today : daysOfYears(2024, 2024)) {
        if (today.d != 1 && today.d != 31 && !(today.m == 3 && today.d > 20))
            continue;
        for (PersonRecord& r : records) {
            ComputeOccurrence(r, today.date());
            out << r.daysUntil << ',' << r.nextYear << ',' << formatDate("%d/%m/%Y", ShownDate(r))
                << ';';
        }
        out << SelectDue(records, today.date(), 40, today.date()).entries.size() << '\n';
    }
    return out.str();
}

TEST(TimeZones, ResultsDoNotDependOnTheZone) {
    const std::string reference = occurrenceFingerprint();
    for (const char* zone : {kUtc, kNewYork, kBerlin, kLordHowe, kKathmandu}) {
        ScopedTimeZone tz(zone);
        EXPECT_EQ(occurrenceFingerprint(), reference) << zone;
    }
}

// Local midnights built with the daylight-saving flag 0, as the C library builds them, lie whole
// days apart across every daylight-saving change; the calendar-day count agrees with them.
TEST(TimeZones, DayCountsAgreeWithStandardTimeMidnights) {
    for (const char* zone : {kNewYork, kBerlin, kLordHowe}) {
        ScopedTimeZone tz(zone);
        const std::vector<CivilDay> days = daysOfYears(2024, 2025);
        auto midnight = [](const CivilDay& day) {
            std::tm fields{};
            fields.tm_year = day.y - 1900;
            fields.tm_mon = day.m - 1;
            fields.tm_mday = day.d;
            fields.tm_isdst = 0;
            return std::mktime(&fields);
        };
        const std::time_t start = midnight(days.front());
        for (const CivilDay& day : days) {
            const long long seconds = static_cast<long long>(midnight(day) - start);
            ASSERT_EQ(seconds % 86400, 0) << zone << ' ' << day;
            ASSERT_EQ(daysBetween(days.front().date(), day.date()), seconds / 86400)
                << zone << ' ' << day;
        }
    }
}

} // namespace
} // namespace kivo
