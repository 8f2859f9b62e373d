// The display date format built from the locale's short-date pattern, and dates formatted with it.
#include "engine/date_text.h"

#include <array>
#include <ctime>
#include <utility>

namespace kivo {

namespace {

// Replaces the first occurrence again and again until none is left: a run of letters shrinks to
// one (or every colon becomes a dot).
void replaceCollapsing(std::string& text, std::string_view find, std::string_view with) {
    for (auto pos = text.find(find); pos != std::string::npos; pos = text.find(find)) {
        std::string joined = text.substr(0, pos);
        joined += with;
        joined += std::string_view(text).substr(pos + find.size());
        text = std::move(joined);
    }
}

// Replaces from left to right, searching on after the inserted text, which is never replaced.
void replaceAll(std::string& text, std::string_view find, std::string_view with) {
    std::string out;
    std::size_t from = 0;
    for (auto pos = text.find(find); pos != std::string::npos; pos = text.find(find, from)) {
        out.append(text, from, pos - from);
        out += with;
        from = pos + find.size();
    }
    out.append(text, from, std::string::npos);
    text = std::move(out);
}

// strftime is only ever given the numeric day, month and year: any other conversion would read
// fields that a bare calendar date does not have (time of day, time zone), and an unknown one is
// undefined. Such a "%" is printed as it stands.
std::string numericOnly(const std::string& format) {
    std::string safe;
    safe.reserve(format.size() + 8);
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            safe += format[i];
            continue;
        }
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (next == 'd' || next == 'm' || next == 'Y' || next == '%') {
            safe += '%';
            safe += next;
            ++i;
        } else {
            safe += "%%";
        }
    }
    return safe;
}

} // namespace

std::string dateFormatFromLocalePattern(std::string_view pattern) {
    std::string format(pattern);
    replaceCollapsing(format, "dd", "d");
    replaceCollapsing(format, "yy", "y");
    replaceCollapsing(format, "MM", "M");
    replaceAll(format, "d", "%d");
    replaceAll(format, "M", "%m");
    replaceAll(format, "y", "%Y");
    replaceCollapsing(format, ":", ".");
    return format;
}

std::string formatDate(const std::string& dateFormat, Date date) {
    if (!date.ok())
        return std::string();
    std::tm fields{};
    fields.tm_year = static_cast<int>(date.year()) - 1900;
    fields.tm_mon = static_cast<int>(static_cast<unsigned>(date.month())) - 1;
    fields.tm_mday = static_cast<int>(static_cast<unsigned>(date.day()));
    fields.tm_wday = weekdayIndex(date);
    const std::chrono::sys_days firstOfYear{date.year() / std::chrono::January / 1};
    fields.tm_yday = static_cast<int>((std::chrono::sys_days{date} - firstOfYear).count());
    fields.tm_isdst = -1;

    std::array<char, 128> buffer{};
    const std::size_t length =
        std::strftime(buffer.data(), buffer.size(), numericOnly(dateFormat).c_str(), &fields);
    return std::string(buffer.data(), length);
}

int weekdayIndex(Date date) {
    return static_cast<int>(std::chrono::weekday{std::chrono::sys_days{date}}.c_encoding());
}

} // namespace kivo
