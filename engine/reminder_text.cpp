// Reminder wording: the lines of the reminder window and the person editor's sample.
#include "engine/reminder_text.h"

#include "engine/date_text.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace kivo {

namespace {

constexpr int kRandomMax = 32767;

// The wording of one record type: its ahead, today and tomorrow forms and its past forms.
struct TypeWording {
    const char* ahead;
    const char* today;
    const char* tomorrow;
    const char* yesterday;
    const char* daysAgo;
};

constexpr std::array<TypeWording, 4> kWording{{
    {"%s will be %s on %s %s (%s)", "%s is %s today", "%s is %s tomorrow",
     "%s had a birthday yesterday", "%s had a birthday %i days ago"},
    {"%s on %s %s (%s)", "%s today", "%s tomorrow", "%s yesterday", "%s %i days ago"},
    {"%s has a birthday on %s %s (%s)", "%s has a birthday today", "%s has a birthday tomorrow",
     "%s had a birthday yesterday", "%s had a birthday %i days ago"},
    {"%s %s on %s %s (%s)", "%s %s today", "%s %s tomorrow", "%s yesterday", "%s %i days ago"},
}};

constexpr const char* kDaysPhrase = "in %i days";
constexpr const char* kSampleDate = "01/01/11";

const TypeWording* wordingOf(int type) {
    if (type < 0 || type >= static_cast<int>(kWording.size()))
        return nullptr;
    return &kWording[static_cast<std::size_t>(type)];
}

// Looks the built-in format up and fills it.
std::string fill(const TextTable& texts, const char* builtIn,
                 const std::vector<std::string>& args) {
    return fillFormat(lookUpText(texts, builtIn), builtIn, args);
}

// The placeholder kinds of a format ('s' or 'i', in order), or nothing when it holds any other
// "%" sequence, a lone "%" at its end included.
std::optional<std::string> placeholderKinds(const std::string& format) {
    std::string kinds;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%')
            continue;
        if (i + 1 >= format.size())
            return std::nullopt;
        const char next = format[++i];
        if (next == 's' || next == 'i')
            kinds += next;
        else if (next != '%')
            return std::nullopt;
    }
    return kinds;
}

// Fills a format whose "%" sequences are known to be "%s", "%i" or "%%".
std::string substitute(const std::string& format, const std::vector<std::string>& args) {
    std::string out;
    out.reserve(format.size() + 32);
    std::size_t used = 0;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%' || i + 1 >= format.size()) {
            out += format[i];
            continue;
        }
        const char next = format[++i];
        if (next == '%') {
            out += '%';
        } else if (next == 's' || next == 'i') {
            if (used < args.size())
                out += args[used];
            ++used;
        } else {
            out += '%';
            out += next;
        }
    }
    return out;
}

// The number at the start of a text by atoi's rules (leading blanks, a sign, digits; 0 when
// there are none), held within int range instead of overflowing.
int leadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT_MAX)
        value = INT_MAX;
    return static_cast<int>(value);
}

// Upper-cases the first byte when it is an ASCII lower-case letter; other bytes of the code page
// are left as they are, whatever the process's C locale says.
void capitaliseFirst(std::string& text) {
    if (!text.empty() && text[0] >= 'a' && text[0] <= 'z')
        text[0] = static_cast<char>(text[0] - 'a' + 'A');
}

std::string daysPhrase(const TextTable& texts, int days) {
    return fill(texts, kDaysPhrase, {std::to_string(days)});
}

// The ahead form of a type with its pieces; empty for an unknown type.
std::string aheadForm(const TextTable& texts, int type, const std::string& name,
                      const std::string& ageNumber, const std::string& ordinal,
                      const std::string& weekday, const std::string& date,
                      const std::string& days) {
    const TypeWording* wording = wordingOf(type);
    if (wording == nullptr)
        return std::string();
    switch (type) {
    case Birthday:
        return fill(texts, wording->ahead, {name, ageNumber, weekday, date, days});
    case AnnualEventWithStart:
        return fill(texts, wording->ahead, {ordinal, name, weekday, date, days});
    default:
        return fill(texts, wording->ahead, {name, weekday, date, days});
    }
}

// The today (or tomorrow) form of a type; empty for an unknown type.
std::string nearForm(const TextTable& texts, int type, bool today, const std::string& name,
                     const std::string& ageNumber, const std::string& ordinal) {
    const TypeWording* wording = wordingOf(type);
    if (wording == nullptr)
        return std::string();
    const char* format = today ? wording->today : wording->tomorrow;
    switch (type) {
    case Birthday:
        return fill(texts, format, {name, ageNumber});
    case AnnualEventWithStart:
        return fill(texts, format, {ordinal, name});
    default:
        return fill(texts, format, {name});
    }
}

std::string upcomingLine(const DueEntry& entry, ReminderContext& context) {
    const PersonRecord& record = *entry.record;
    const int d = entry.distance;
    const Date shown = ShownDate(record);
    const std::string ageNumber = std::to_string(record.age);
    const std::string ordinal = MakeOrdinal(context.texts, ageNumber);

    std::string text;
    if (d == 0 || d == 1) {
        // The today and tomorrow forms keep the name's own case.
        text = nearForm(context.texts, record.type, d == 0, record.name, ageNumber, ordinal);
    } else {
        text = aheadForm(context.texts, record.type, record.name, ageNumber, ordinal,
                         WeekdayName(context.locale, shown), formatDate(context.dateFormat, shown),
                         daysPhrase(context.texts, d));
        capitaliseFirst(text);
    }
    if (!context.presets.empty()) {
        const int r = context.random.next();
        text.insert(0, context.presets[presetIndex(r, context.presets.size(), context.random)]);
    }
    return " " + text;
}

std::string pastLine(const DueEntry& entry, const TextTable& texts) {
    const PersonRecord& record = *entry.record;
    const TypeWording* wording = wordingOf(record.type);
    std::string text;
    if (wording != nullptr) {
        const int k = entry.distance;
        text = k == 1 ? fill(texts, wording->yesterday, {record.name})
                      : fill(texts, wording->daysAgo, {record.name, std::to_string(k)});
    }
    return "    " + text;
}

} // namespace

std::string EnglishLocaleNames::dayName(int dayOfWeek) const {
    static constexpr std::array<const char*, 7> names{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};
    if (dayOfWeek < 0 || dayOfWeek >= static_cast<int>(names.size()))
        return std::string();
    return names[static_cast<std::size_t>(dayOfWeek)];
}

std::string EnglishLocaleNames::monthName(int month) const {
    static constexpr std::array<const char*, 12> names{
        "January", "February", "March",     "April",   "May",      "June",
        "July",    "August",   "September", "October", "November", "December"};
    if (month < 1 || month > static_cast<int>(names.size()))
        return std::string();
    return names[static_cast<std::size_t>(month - 1)];
}

std::string EnglishLocaleNames::abbreviatedDayName(int dayOfWeek) const {
    return dayName(dayOfWeek).substr(0, 3);
}

StdRandomSource::StdRandomSource(unsigned seed) {
    std::srand(seed);
}

int StdRandomSource::next() {
    // The draw is defined on 0..32767. A library whose RAND_MAX is larger (2^31 - 1 with glibc)
    // yields a power of two of values, so keeping the low 15 bits stays uniform.
    return std::rand() % (kRandomMax + 1);
}

std::size_t presetIndex(int r, std::size_t n, RandomSource& random) {
    if (n == 0)
        return 0;
    const std::size_t range = static_cast<std::size_t>(kRandomMax);
    if (n <= range) {
        const std::size_t step = range / n;
        const std::size_t index = static_cast<std::size_t>(r < 0 ? 0 : r) / step;
        return index < n ? index : n - 1;
    }
    // More lines than values of one draw: join 15-bit draws, r first, into a number of 30 (or 60)
    // bits and take it uniformly modulo n, drawing again when it falls in the uneven top part.
    const int chunks = n <= (std::size_t{1} << 30) ? 2 : 4;
    const std::uint64_t span = std::uint64_t{1} << (15 * chunks);
    const std::uint64_t limit = span - span % n;
    auto join = [&](int first) {
        std::uint64_t value = static_cast<std::uint64_t>(first) & 0x7fff;
        for (int i = 1; i < chunks; ++i)
            value = (value << 15) | (static_cast<std::uint64_t>(random.next()) & 0x7fff);
        return value;
    };
    std::uint64_t value = join(r);
    // A source that keeps returning the top values must not hold the reminder window forever.
    for (int attempt = 0; value >= limit && attempt < 64; ++attempt)
        value = join(random.next());
    return static_cast<std::size_t>(value % n);
}

std::string MakeOrdinal(const TextTable& texts, const std::string& number) {
    if (number == "11" || number == "12" || number == "13")
        return lookUpText(texts, number + "th");
    const char last = number.empty() ? '\0' : number.back();
    switch (last) {
    case '1':
        return number + lookUpText(texts, "st");
    case '2':
        return number + lookUpText(texts, "nd");
    case '3':
        return number + lookUpText(texts, "rd");
    default:
        return number + lookUpText(texts, "th");
    }
}

std::string WeekdayName(const LocaleNames& locale, Date date) {
    if (!date.ok())
        return std::string();
    return locale.dayName(weekdayIndex(date));
}

std::string ComposeReminderLine(const DueEntry& entry, ReminderContext& context) {
    if (entry.record == nullptr)
        return std::string();
    return entry.kind == DueKind::Past ? pastLine(entry, context.texts)
                                       : upcomingLine(entry, context);
}

std::vector<std::string> ComposeReminderLines(const DueSelection& due, ReminderContext& context) {
    std::vector<std::string> lines(due.entries.size());
    for (std::size_t i = due.entries.size(); i-- > 0;)
        if (due.entries[i].kind == DueKind::Upcoming)
            lines[i] = ComposeReminderLine(due.entries[i], context);
    for (std::size_t i = 0; i < due.entries.size(); ++i)
        if (due.entries[i].kind == DueKind::Past)
            lines[i] = ComposeReminderLine(due.entries[i], context);
    return lines;
}

std::string SampleReminder(const TextTable& texts, const LocaleNames& locale, int type,
                           const std::string& nameText, const std::string& daysText, Date picked,
                           const std::string& previous) {
    if (wordingOf(type) == nullptr)
        return previous;
    return aheadForm(texts, type, nameText, "XX", "XXxx", WeekdayName(locale, picked), kSampleDate,
                     daysPhrase(texts, leadingNumber(daysText)));
}

std::string fillFormat(const std::string& lookedUp, const std::string& builtIn,
                       const std::vector<std::string>& args) {
    const std::optional<std::string> wanted = placeholderKinds(builtIn);
    const std::optional<std::string> given = placeholderKinds(lookedUp);
    // A translation may drop trailing placeholders but not add or change any.
    const bool usable = given && wanted && given->size() <= wanted->size() &&
                        std::equal(given->begin(), given->end(), wanted->begin());
    return substitute(usable ? lookedUp : builtIn, args);
}

} // namespace kivo
