// The calendar files: the categories file, the one-file-per-record calendar and the single
// calendar of every record.
#pragma once

#include "core/person_record.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

inline constexpr const char* kCategoriesFileName = "categories.ini";
inline constexpr int kCategoryCount = 64;
using Categories = std::array<std::string, kCategoryCount>;

// Every category "Birthday".
Categories defaultCategories();
// Line i (from 0) of the categories text names the category of icon i; lines past 63 are read and
// ignored, icons without a line keep what they had. Text-mode lines: CR LF or LF ends a line and a
// Ctrl-Z the text; nothing else is trimmed.
void parseCategories(std::string_view bytes, Categories& categories);
// The same from a file; a missing or unreadable file leaves the categories read so far.
void readCategoriesFile(const std::string& path, Categories& categories);
// The category of an icon: its own for 0..63, otherwise that of icon 0.
const std::string& categoryFor(const Categories& categories, int icon);

// The name a record's calendar file is made from: its name without double quotes.
std::string calendarName(std::string_view recordName);
// The file name (without folder) for a cleaned name, or nothing when the name would leave the
// data folder or name another folder: a path separator (either slash), "." or "..", or a NUL.
std::optional<std::string> calendarFileName(std::string_view cleanedName);

// The sixteen lines of one record's calendar file, each ending with CR LF.
std::string formatCalendarFile(std::string_view cleanedName, int day, int month, int year,
                               std::string_view category);

// The year a record without a year starts its series in the single calendar: a leap year, so
// that a 29 February has its first day.
inline constexpr int kCalendarYearWhenUnknown = 2000;

// One calendar holding every dated record as a yearly all-day event, by RFC 5545: UTF-8 text as
// held, TEXT escaping, lines folded at 75 octets, a UID made from the record's name, date and type
// (so it is the same at every export until the record changes), and DTSTAMP `stampUtc` (seconds
// since 1970). Records without a usable date have no day to put in a calendar and are left out;
// `left` (when given) receives their number.
std::string formatSingleCalendar(const RecordList& records, const Categories& categories,
                                 std::int64_t stampUtc, std::size_t* left = nullptr);

// One record's yearly event as the single calendar holds it.
struct CalendarEvent {
    std::size_t record = 0; // the record's place in the list the event was made from
    std::string uid;
    std::string text; // from "BEGIN:VEVENT" to "END:VEVENT", each line ending with CR LF
};

// The events of the single calendar, one per dated record in list order, with its UIDs.
std::vector<CalendarEvent> calendarEvents(const RecordList& records, const Categories& categories,
                                          std::int64_t stampUtc, std::size_t* left = nullptr);
// One record's event with a UID of the caller's: an event published once keeps its UID when its
// record changes, since a calendar server lets no event change its UID.
std::string formatCalendarEvent(const PersonRecord& record, std::string_view uid,
                                std::int64_t stampUtc, std::string_view category);
// An event as a calendar server stores it: a calendar of its own, without METHOD, which stored
// calendar objects must not have (RFC 4791).
std::string calendarObject(std::string_view eventText);
// The server's calendar object with kivo's event put into it: of the VEVENT with the UID (not an
// override of one occurrence), the properties kivo writes (DTSTAMP, DTSTART, DTEND or DURATION,
// RRULE, SUMMARY, TRANSP, CATEGORIES) take the values of `eventText`, and everything else the
// server holds stays: alarms, a description, a colour, other events. Nothing when `server` holds
// no such event or is cut off.
std::optional<std::string> mergeCalendarObject(std::string_view server, std::string_view eventText,
                                               std::string_view uid);

} // namespace kivo
