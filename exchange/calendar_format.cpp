// The calendar files: categories, one calendar per record, and one calendar of every record.
#include "exchange/calendar_format.h"

#include "core/text_file.h"
#include "engine/occurrence.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <unordered_map>

namespace kivo {

namespace {

constexpr std::size_t kFoldAt = 75; // octets per line, the line end not counted

bool isUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        std::size_t more = 0;
        unsigned min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            more = 1, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            more = 2, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            more = 3, min = 0x10000;
        } else {
            return false;
        }
        if (i + more >= s.size())
            return false;
        unsigned code = c & (0x3F >> more);
        for (std::size_t k = 1; k <= more; ++k) {
            const auto t = static_cast<unsigned char>(s[i + k]);
            if ((t & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (t & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += more + 1;
    }
    return true;
}

void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Names typed on a Windows machine arrive in its code page; a calendar is UTF-8.
std::string toUtf8(std::string_view s) {
    if (isUtf8(s))
        return std::string(s);
    static constexpr unsigned short k80to9F[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        appendUtf8(out, c >= 0x80 && c < 0xA0 ? k80to9F[c - 0x80] : c);
    }
    return out;
}

// TEXT value escaping; control characters other than tab have no place in a TEXT value.
std::string escapeText(std::string_view s) {
    std::string out;
    for (const char c : toUtf8(s)) {
        switch (c) {
        case '\\':
        case ';':
        case ',':
            out += '\\';
            out += c;
            break;
        case '\n':
            out += "\\n";
            break;
        default:
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
                if (c != 0x7F)
                    out += c;
            break;
        }
    }
    return out;
}

// Appends a content line folded at 75 octets, never inside a UTF-8 character.
void appendFolded(std::string& out, std::string_view line) {
    std::size_t room = kFoldAt;
    while (line.size() > room) {
        std::size_t cut = room;
        while (cut > 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut;
        out.append(line.substr(0, cut));
        out += "\r\n ";
        line.remove_prefix(cut);
        room = kFoldAt - 1; // the leading space counts
    }
    out.append(line);
    out += "\r\n";
}

std::string dateText(Date date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d%02d%02d", yearOf(date), monthOf(date), dayOf(date));
    return text;
}

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = 0xcbf29ce484222325ULL) {
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3ULL;
    }
    return hash;
}

void appendEvent(std::string& out, const PersonRecord& r, std::string_view uid,
                 std::string_view stamp, std::string_view category) {
    const int year = r.year >= 1 && r.year <= 9999 ? r.year : kCalendarYearWhenUnknown;
    const Date start = countedDate(r, year);
    const Date end = Date{std::chrono::sys_days(start) + std::chrono::days(1)};
    std::string rule = "RRULE:FREQ=YEARLY;";
    char part[48];
    if (r.month == 2 && r.day >= 30) {
        // 30 and 31 February roll over into March by one day more in a common year than in a leap
        // year: the same day of the year.
        std::snprintf(part, sizeof part, "BYYEARDAY=%d", 31 + r.day);
    } else {
        std::snprintf(part, sizeof part, "BYMONTH=%d;BYMONTHDAY=%d", monthOf(start), dayOf(start));
    }
    rule += part;
    const bool birthday = r.type == Birthday || r.type == BirthdayUnknownAge;
    const std::string summary = birthday ? r.name + "'s Birthday" : r.name;

    out += "BEGIN:VEVENT\r\n";
    appendFolded(out, "UID:" + std::string(uid));
    appendFolded(out, "DTSTAMP:" + std::string(stamp));
    appendFolded(out, "DTSTART;VALUE=DATE:" + dateText(start));
    appendFolded(out, "DTEND;VALUE=DATE:" + dateText(end));
    appendFolded(out, rule);
    appendFolded(out, "SUMMARY:" + escapeText(summary));
    appendFolded(out, "CATEGORIES:" + escapeText(std::string(category)));
    out += "TRANSP:TRANSPARENT\r\n";
    out += "END:VEVENT\r\n";
}

} // namespace

Categories defaultCategories() {
    Categories categories;
    categories.fill("Birthday");
    return categories;
}

void parseCategories(std::string_view bytes, Categories& categories) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    const std::string_view text = bytes.substr(0, bytes.find('\x1A'));
    const TextEncoding encoding = encodingOf(text);
    TextLines lines(text);
    std::size_t i = 0;
    for (std::string_view line; lines.next(line); ++i)
        if (i < categories.size()) {
            categories[i].assign(line);
            decodeInPlace(categories[i], encoding);
        }
}

void readCategoriesFile(const std::string& path, Categories& categories) {
    TextFileLines lines;
    if (lines.open(path) != TextReadStatus::Ok)
        return;
    std::size_t i = 0;
    for (std::string_view line; lines.next(line); ++i)
        if (i < categories.size())
            categories[i].assign(line);
    // The names are decoded once the whole file has shown its encoding.
    for (std::size_t k = 0; k < std::min(i, categories.size()); ++k)
        decodeInPlace(categories[k], lines.encoding());
}

const std::string& categoryFor(const Categories& categories, int icon) {
    return icon >= 0 && icon < kCategoryCount ? categories[static_cast<std::size_t>(icon)]
                                              : categories[0];
}

std::string calendarName(std::string_view recordName) {
    std::string out;
    out.reserve(recordName.size());
    for (const char c : recordName)
        if (c != '"')
            out += c;
    return out;
}

std::optional<std::string> calendarFileName(std::string_view cleanedName) {
    if (cleanedName == "." || cleanedName == ".." ||
        cleanedName.find_first_of(std::string_view("/\\\0", 3)) != std::string_view::npos)
        return std::nullopt;
    return std::string(cleanedName) + ".ics";
}

std::string formatCalendarFile(std::string_view n, int day, int month, int year,
                               std::string_view category) {
    char date[96];
    std::snprintf(date, sizeof date, "DTSTART;VALUE=DATE:%04i%02i%02i\r\n", year, month, day);
    char rule[96];
    std::snprintf(rule, sizeof rule, "RRULE:FREQ=YEARLY;BYMONTHDAY=%02i;BYMONTH=%02i\r\n", day,
                  month);
    std::string out;
    out.reserve(320 + 2 * n.size() + category.size());
    out += "BEGIN:VCALENDAR\r\n"
           "PRODID:-//Velmik Software//Fennaro//EN\r\n"
           "VERSION:2.0\r\n"
           "METHOD:PUBLISH\r\n"
           "BEGIN:VEVENT\r\n"
           "CATEGORIES:";
    out += category;
    out += "\r\nCLASS:PUBLIC\r\nCONTACT:";
    out += n;
    out += "\r\n";
    out += date;
    out += "PRIORITY:5\r\n";
    out += rule;
    out += "SEQUENCE:0\r\nSUMMARY:";
    out += n;
    out += "'s Birthday\r\n"
           "TRANSP:TRANSPARENT\r\n"
           "END:VEVENT\r\n"
           "END:VCALENDAR\r\n";
    return out;
}

namespace {

// DTSTAMP's value: the time in UTC.
std::string stampText(std::int64_t stampUtc) {
    using namespace std::chrono;
    const sys_seconds stampTime{seconds(stampUtc)};
    const auto stampDay = floor<days>(stampTime);
    const hh_mm_ss clock{stampTime - stampDay};
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%sT%02d%02d%02dZ", dateText(Date{stampDay}).c_str(),
                  static_cast<int>(clock.hours().count()),
                  static_cast<int>(clock.minutes().count()),
                  static_cast<int>(clock.seconds().count()));
    return stamp;
}

} // namespace

std::vector<CalendarEvent> calendarEvents(const RecordList& records, const Categories& categories,
                                          std::int64_t stampUtc, std::size_t* left) {
    const std::string stamp = stampText(stampUtc);
    std::vector<CalendarEvent> events;
    events.reserve(records.size());
    // Records equal in name, date and type would share a UID; the second and later get their
    // place among them added, which stays the same as long as the list keeps its order.
    std::unordered_map<std::uint64_t, int> seen;
    std::size_t undated = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const PersonRecord& r = records[i];
        if (!hasUsableDate(r)) {
            ++undated;
            continue;
        }
        char key[64];
        std::snprintf(key, sizeof key, "|%d|%d|%d|%d", r.day, r.month, r.year, r.type);
        const std::uint64_t hash = fnv1a(key, fnv1a(r.name));
        const int repeat = seen[hash]++;
        char uid[64];
        if (repeat == 0)
            std::snprintf(uid, sizeof uid, "%016llx@kivo", static_cast<unsigned long long>(hash));
        else
            std::snprintf(uid, sizeof uid, "%016llx-%d@kivo", static_cast<unsigned long long>(hash),
                          repeat + 1);
        CalendarEvent& event = events.emplace_back();
        event.record = i;
        event.uid = uid;
        appendEvent(event.text, r, event.uid, stamp, categoryFor(categories, r.icon));
    }
    if (left)
        *left = undated;
    return events;
}

std::string formatCalendarEvent(const PersonRecord& record, std::string_view uid,
                                std::int64_t stampUtc, std::string_view category) {
    std::string out;
    appendEvent(out, record, uid, stampText(stampUtc), category);
    return out;
}

std::string calendarObject(std::string_view eventText) {
    std::string out = "BEGIN:VCALENDAR\r\n"
                      "VERSION:2.0\r\n"
                      "PRODID:-//Velmik Software//Fennaro//EN\r\n"
                      "CALSCALE:GREGORIAN\r\n";
    out += eventText;
    out += "END:VCALENDAR\r\n";
    return out;
}

std::string formatSingleCalendar(const RecordList& records, const Categories& categories,
                                 std::int64_t stampUtc, std::size_t* left) {
    const std::vector<CalendarEvent> events = calendarEvents(records, categories, stampUtc, left);
    std::string out;
    out.reserve(200 + records.size() * 300);
    out += "BEGIN:VCALENDAR\r\n"
           "VERSION:2.0\r\n"
           "PRODID:-//Velmik Software//Fennaro//EN\r\n"
           "CALSCALE:GREGORIAN\r\n"
           "METHOD:PUBLISH\r\n";
    for (const CalendarEvent& event : events)
        out += event.text;
    out += "END:VCALENDAR\r\n";
    return out;
}

namespace {

// The content lines of a calendar text, unfolded; CR LF or LF ends a line.
std::vector<std::string> unfoldedLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (!lines.empty() && !line.empty() && (line[0] == ' ' || line[0] == '\t'))
            lines.back().append(line.substr(1));
        else if (!line.empty())
            lines.emplace_back(line);
    }
    return lines;
}

// A content line's property name, upper case: what comes before the first ';' or ':'.
std::string propertyName(std::string_view line) {
    std::string name(line.substr(0, line.find_first_of(";:")));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return name;
}

std::string_view propertyValue(std::string_view line) {
    const std::size_t colon = line.find(':');
    return colon == std::string_view::npos ? std::string_view() : line.substr(colon + 1);
}

// What kivo writes into its events and so owns: a server's values of these give way to kivo's.
bool ownedByKivo(const std::string& name) {
    static constexpr std::string_view kOwned[] = {"DTSTAMP", "DTSTART", "DTEND",  "DURATION",
                                                  "RRULE",   "SUMMARY", "TRANSP", "CATEGORIES"};
    return std::find(std::begin(kOwned), std::end(kOwned), name) != std::end(kOwned);
}

} // namespace

std::optional<std::string> mergeCalendarObject(std::string_view server, std::string_view eventText,
                                               std::string_view uid) {
    const std::vector<std::string> lines = unfoldedLines(server);
    // The event to merge into: the VEVENT with the UID that is no override of one occurrence.
    std::size_t begin = lines.size();
    std::size_t end = lines.size();
    for (std::size_t i = 0; i < lines.size() && begin == lines.size(); ++i) {
        if (propertyName(lines[i]) != "BEGIN" || propertyValue(lines[i]) != "VEVENT")
            continue;
        bool hasUid = false;
        bool isOverride = false;
        int depth = 0;
        std::size_t k = i + 1;
        for (; k < lines.size(); ++k) {
            const std::string name = propertyName(lines[k]);
            if (name == "BEGIN")
                ++depth;
            else if (name == "END" && depth-- == 0)
                break;
            else if (depth == 0 && name == "UID")
                hasUid = propertyValue(lines[k]) == uid;
            else if (depth == 0 && name == "RECURRENCE-ID")
                isOverride = true;
        }
        if (k == lines.size())
            return std::nullopt; // cut off
        if (hasUid && !isOverride) {
            begin = i;
            end = k;
        }
        i = k;
    }
    if (begin == lines.size())
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < begin; ++i)
        if (propertyName(lines[i]) != "METHOD") // not in a stored calendar object
            appendFolded(out, lines[i]);
    out += "BEGIN:VEVENT\r\n";
    // kivo's own lines first, then whatever else the server's event holds, its alarms included.
    for (const std::string& line : unfoldedLines(eventText)) {
        const std::string name = propertyName(line);
        if (name != "BEGIN" && name != "END" && name != "UID")
            appendFolded(out, line);
    }
    int depth = 0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        const std::string name = propertyName(lines[i]);
        if (name == "BEGIN")
            ++depth;
        if (depth > 0 || !ownedByKivo(name))
            appendFolded(out, lines[i]);
        if (name == "END")
            --depth;
    }
    out += "END:VEVENT\r\n";
    for (std::size_t i = end + 1; i < lines.size(); ++i)
        appendFolded(out, lines[i]);
    return out;
}

} // namespace kivo
