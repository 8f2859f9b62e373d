// Occurrence arithmetic on calendar dates, and the due selection in one pass over the records.
#include "engine/occurrence.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace kivo {

namespace {

using std::chrono::day;
using std::chrono::days;
using std::chrono::month;
using std::chrono::sys_days;
using std::chrono::year;

constexpr int kMaxUpcomingDistance = 365;

bool isEligible(const PersonRecord& record) {
    return !record.infoOnly && hasUsableDate(record);
}

// Orders `items` (already in reverse list order) into `out` by ascending `key(item)` in 0..maxKey
// with a stable counting sort, so that equal keys keep their reverse list order.
template <typename Item, typename KeyFn>
void appendSortedByKey(const std::vector<Item>& items, int maxKey, KeyFn key,
                       std::vector<DueEntry>& out) {
    std::vector<std::size_t> start(static_cast<std::size_t>(maxKey) + 2, 0);
    for (const Item& item : items)
        ++start[static_cast<std::size_t>(key(item)) + 1];
    for (std::size_t i = 1; i < start.size(); ++i)
        start[i] += start[i - 1];
    const std::size_t base = out.size();
    out.resize(base + items.size());
    for (const Item& item : items)
        out[base + start[static_cast<std::size_t>(key(item))]++] = item;
}

// Upcoming entries: each record is due at most once, at distance daysUntil.
void selectUpcoming(RecordList& records, DueSelection& selection) {
    std::vector<DueEntry> due;
    for (std::size_t i = records.size(); i-- > 0;) {
        PersonRecord& record = records[i];
        if (isUpcomingDue(record))
            due.push_back({&record, DueKind::Upcoming, record.daysUntil, record.nextYear});
    }
    selection.anyUpcoming = !due.empty();
    appendSortedByKey(
        due, kMaxUpcomingDistance, [](const DueEntry& e) { return e.distance; }, selection.entries);
}

// Past entries: the days k = 1..pastDays before `now`, indexed by their (month, day), so that each
// record looks up its own days instead of every record being tested once per day.
void selectPast(RecordList& records, int pastDays, Date now, DueSelection& selection) {
    struct PastDay {
        int k;
        int year;
    };
    std::array<std::vector<PastDay>, 12 * 31> byMonthDay;
    const sys_days from{now};
    for (int k = 1; k <= pastDays; ++k) {
        const Date date{from - days{k}};
        byMonthDay[static_cast<std::size_t>((monthOf(date) - 1) * 31 + dayOf(date) - 1)].push_back(
            {k, yearOf(date)});
    }

    std::vector<DueEntry> due;
    for (std::size_t i = records.size(); i-- > 0;) {
        PersonRecord& record = records[i];
        if (!isEligible(record))
            continue;
        const auto& slot =
            byMonthDay[static_cast<std::size_t>((record.month - 1) * 31 + record.day - 1)];
        for (const PastDay& past : slot) {
            // Silencing a past line sets skipYear to the year of that occurrence.
            if (record.skipYear == past.year)
                continue;
            due.push_back({&record, DueKind::Past, past.k, past.year});
        }
    }
    // Oldest first: the key runs from pastDays - k = 0 (k = pastDays) upwards.
    appendSortedByKey(
        due, pastDays - 1, [pastDays](const DueEntry& e) { return pastDays - e.distance; },
        selection.entries);
}

// Records that share a day, month and leapling share their next occurrence, so a pass over many
// records computes it once per such date. Only what the due test reads is filled in: the next
// year and the days until it.
class NextOccurrences {
public:
    explicit NextOccurrences(Date today) : today_(today) {}

    void fill(PersonRecord& record) {
        const bool shared = hasUsableDate(record) && (record.leapling == 0 || record.leapling == 1);
        if (!shared) {
            ComputeOccurrence(record, today_);
            return;
        }
        Known& known = known_[record.leapling][record.month - 1][record.day - 1];
        if (!known.computed) {
            PersonRecord date;
            date.day = record.day;
            date.month = record.month;
            date.leapling = record.leapling;
            ComputeOccurrence(date, today_);
            known = {true, date.nextYear, date.daysUntil};
        }
        record.nextYear = known.nextYear;
        record.daysUntil = known.daysUntil;
    }

    // All that ComputeOccurrence fills in.
    void fillAll(PersonRecord& record) {
        fill(record);
        record.age = record.year != 0 && record.nextYear != -1 ? record.nextYear - record.year : -1;
    }

    // The fewest days until each date, whichever day a 29 February counts on (leapling 0 or any
    // other value).
    NearestDays nearestDays() {
        NearestDays nearest{};
        PersonRecord date;
        for (date.month = 1; date.month <= 12; ++date.month) {
            for (date.day = 1; date.day <= 31; ++date.day) {
                int fewest = kMaxUpcomingDistance;
                for (date.leapling = 0; date.leapling <= 1; ++date.leapling) {
                    fill(date);
                    fewest = std::min(fewest, date.daysUntil);
                }
                nearest[date.month - 1][date.day - 1] = static_cast<std::uint16_t>(fewest);
            }
        }
        return nearest;
    }

private:
    struct Known {
        bool computed = false;
        int nextYear = -1;
        int daysUntil = -1;
    };
    Date today_;
    Known known_[2][12][31];
};

// The full reading and test of one record line that the quick look could not pass over.
class RecordLineDueTest final : public DueLineTest {
public:
    explicit RecordLineDueTest(Date today) : occurrences_(today) {}

    NearestDays nearestDays() { return occurrences_.nearestDays(); }

    bool isDue(std::string_view line) override {
        parseRecordLine(line, record_, RecordFields::DueTest);
        occurrences_.fill(record_);
        return isUpcomingDue(record_);
    }

private:
    NextOccurrences occurrences_;
    PersonRecord record_;
};

} // namespace

void ComputeOccurrences(RecordList& records, Date today) {
    NextOccurrences occurrences(today);
    for (PersonRecord& record : records)
        occurrences.fillAll(record);
}

void appendComputedRecords(RecordsFileReader& file, RecordList& records, std::string& mailPath,
                           Date today) {
    NextOccurrences occurrences(today);
    file.appendRest(records, mailPath,
                    [&occurrences](PersonRecord& record) { occurrences.fillAll(record); });
}

void appendShownRecords(RecordsFileReader& file, RecordList& records, std::string& mailPath,
                        Date today, int pastDays, Date now) {
    // The (month, day) of each of the past days the selection looks back on.
    std::array<std::array<bool, 31>, 12> pastDay{};
    const sys_days from{now};
    for (int k = 1; k <= std::min(pastDays, kMaxPastDays); ++k) {
        const Date date{from - days{k}};
        pastDay[monthOf(date) - 1][dayOf(date) - 1] = true;
    }
    NextOccurrences occurrences(today);
    file.appendKept(records, mailPath, [&](PersonRecord& record) {
        occurrences.fillAll(record);
        return isUpcomingDue(record) ||
               (isEligible(record) && pastDay[record.month - 1][record.day - 1]);
    });
}

bool anyUpcomingDue(RecordsFileReader& file, Date today) {
    RecordLineDueTest test(today);
    const NearestDays nearest = test.nearestDays();
    return file.findDue(nearest, test);
}

Date makeDate(int y, int m, int d) {
    // Months beyond 1..12 carry into the year first, then the day offset is added to the first of
    // the month: exactly what mktime does with out-of-range fields.
    const int monthIndex = m - 1;
    const int carry = monthIndex >= 0 ? monthIndex / 12 : -((11 - monthIndex) / 12);
    const int normalisedMonth = monthIndex - carry * 12 + 1;
    const Date first{year{y + carry}, month{static_cast<unsigned>(normalisedMonth)}, day{1}};
    return Date{sys_days{first} + days{d - 1}};
}

int daysBetween(Date from, Date to) {
    return static_cast<int>((sys_days{to} - sys_days{from}).count());
}

bool hasUsableDate(const PersonRecord& record) {
    return record.day >= 1 && record.day <= 31 && record.month >= 1 && record.month <= 12;
}

Date countedDate(const PersonRecord& record, int y) {
    if (record.month == 2 && record.day == 29)
        return record.leapling == 0 ? makeDate(y, 2, 28) : makeDate(y, 3, 1);
    return makeDate(y, record.month, record.day);
}

void ComputeOccurrence(PersonRecord& record, Date today) {
    if (!hasUsableDate(record)) {
        record.nextYear = -1;
        record.daysUntil = -1;
        record.age = -1;
        return;
    }
    const int thisYear = yearOf(today);
    Date candidate = countedDate(record, thisYear);
    if (IsBeforeToday(candidate, today))
        candidate = countedDate(record, thisYear + 1);
    record.daysUntil = daysBetween(today, candidate);
    record.nextYear = yearOf(candidate);
    record.age = record.year != 0 ? record.nextYear - record.year : -1;
}

bool IsBeforeToday(Date date, Date today) {
    if (date.month() != today.month())
        return date.month() < today.month();
    return date.day() < today.day();
}

Date ShownDate(const PersonRecord& record) {
    if (!hasUsableDate(record))
        return Date{};
    return countedDate(record, record.nextYear);
}

bool isUpcomingDue(const PersonRecord& record) {
    if (!isEligible(record))
        return false;
    const int d = record.daysUntil;
    if (d < 0 || d > kMaxUpcomingDistance || d > record.daysInAdvance)
        return false;
    return record.nextYear != record.skipYear;
}

DueSelection SelectDue(RecordList& records, Date /*today*/, int pastDays, Date now) {
    // The upcoming part reads the derived fields, which already hold the counts for `today`.
    DueSelection selection;
    if (pastDays > kMaxPastDays)
        pastDays = kMaxPastDays;
    if (pastDays >= 1)
        selectPast(records, pastDays, now, selection);
    selectUpcoming(records, selection);
    return selection;
}

} // namespace kivo
