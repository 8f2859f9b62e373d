// Occurrence arithmetic: next date, days until it, age reached, and the due selection.
#pragma once

#include "core/person_record.h"
#include "core/records_file.h"

#include <chrono>
#include <vector>

namespace kivo {

// A local calendar date. Day counts are differences of sys_days: exact calendar days, whatever
// the time zone and daylight saving.
using Date = std::chrono::year_month_day;

// The date (year, month, day) with a day that the month lacks rolled over into the next month
// (31 April gives 1 May, 29 February of a common year gives 1 March), as mktime normalises.
// Months outside 1..12 and days outside the month carry the same way (month 13 is January of the
// next year, day 0 the last day of the previous month).
Date makeDate(int year, int month, int day);
// The parts of a date as plain numbers.
inline int yearOf(Date date) {
    return static_cast<int>(date.year());
}
inline int monthOf(Date date) {
    return static_cast<int>(static_cast<unsigned>(date.month()));
}
inline int dayOf(Date date) {
    return static_cast<int>(static_cast<unsigned>(date.day()));
}
int daysBetween(Date from, Date to); // to - from, in calendar days

// True when the record's day and month can be computed: day 1..31 and month 1..12. Any other
// record has no date: it is not computed, its derived fields stay -1, and it is never due.
bool hasUsableDate(const PersonRecord& record);

// The day a record's date is counted on in `year`: its own day, except that a 29 February counts
// on 28 February (leapling 0) or 1 March (any other leapling) in every year.
Date countedDate(const PersonRecord& record, int year);

// Fills nextYear, daysUntil and age of the record for the reference day.
void ComputeOccurrence(PersonRecord& record, Date today);

// ComputeOccurrence for every record of the list; records that share a date share the work.
void ComputeOccurrences(RecordList& records, Date today);
// Appends the rest of the file's records to `records` (see RecordsFileReader::appendRest) and
// computes the derived values of each as ComputeOccurrences does, while it is read.
void appendComputedRecords(RecordsFileReader& file, RecordList& records, std::string& mailPath,
                           Date today);
// Appends, computed, only the rest of the file's records that SelectDue may select with the same
// `pastDays` and `now`: what the reminder window needs of a file too large to hold whole twice.
// See RecordsFileReader::appendKept for their places and the snapshot.
void appendShownRecords(RecordsFileReader& file, RecordList& records, std::string& mailPath,
                        Date today, int pastDays, Date now);

// True when the date's (month, day) comes earlier in the year than today's; years are ignored.
bool IsBeforeToday(Date date, Date today);

// The date shown for the record's next occurrence: the counted day in nextYear, so that the
// weekday, the date and the day count of a reminder always agree.
Date ShownDate(const PersonRecord& record);

enum class DueKind { Upcoming, Past };

struct DueEntry {
    PersonRecord* record = nullptr;
    DueKind kind = DueKind::Upcoming;
    int distance = 0;       // days until (upcoming) or days ago (past)
    int occurrenceYear = 0; // the calendar year of the occurrence this entry is about
};

struct DueSelection {
    std::vector<DueEntry> entries; // in the reminder window's order, top to bottom
    bool anyUpcoming = false;
};

// True when the record is due as an upcoming reminder: it is not for information only, has a
// usable date, its next occurrence is at most its own days of advance warning (and a year) away,
// and that year is not skipped. Reads the derived fields, so ComputeOccurrence must have run.
bool isUpcomingDue(const PersonRecord& record);

// Whether any record of an open records file is due as an upcoming reminder on `today`: the due
// test of a run's start, which alone decides whether a log-on run shows anything. Reads the file
// from its first line until a record is due, or through to its end (see
// RecordsFileReader::findDue); each record is read and tested exactly as the record list is.
bool anyUpcomingDue(RecordsFileReader& file, Date today);

// The largest past window that is honoured; a longer one is cut to it (about a hundred years).
inline constexpr int kMaxPastDays = 36600;

// Selects the due entries: past ones (k days before `now`, k = pastDays..1, oldest first), then
// upcoming ones by increasing distance; within one kind and distance, reverse list order.
// `today` is the run's reference day (the derived fields were computed against it); `now` is the
// current local date, which the past part counts from.
DueSelection SelectDue(RecordList& records, Date today, int pastDays, Date now);

} // namespace kivo
