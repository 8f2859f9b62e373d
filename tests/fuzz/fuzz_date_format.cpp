// Fuzzes the display date format: a locale pattern of d, M and y runs with separators becomes a
// format that prints the date in that order, and formatDate prints any format as a plain reading
// of %d, %m, %Y and %% would (every other "%" as it stands), or nothing when it does not fit.
#include "engine/date_text.h"
#include "fuzz_support.h"

#include <fuzzer/FuzzedDataProvider.h>

using namespace kivo;
using namespace kivo::fuzz;

namespace {

std::string twoDigits(int n) {
    return std::string(1, static_cast<char>('0' + n / 10)) + static_cast<char>('0' + n % 10);
}

// The reading of a format that formatDate promises, for years 1000..9999. Like any C format, the
// format ends at a zero byte.
std::string expectedText(const std::string& whole, int year, int month, int day) {
    const std::string format = whole.substr(0, whole.find('\0'));
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (format[i] != '%') {
            out += format[i];
        } else if (next == 'd' || next == 'm' || next == 'Y' || next == '%') {
            out += next == 'd'   ? twoDigits(day)
                   : next == 'm' ? twoDigits(month)
                   : next == 'Y' ? std::to_string(year)
                                 : std::string("%");
            ++i;
        } else {
            out += '%';
        }
    }
    return out.size() < 128 ? out : std::string();
}

bool separator(char c) {
    return c == '/' || c == '.' || c == '-' || c == ' ' || c == ',';
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const int year = in.ConsumeIntegralInRange(1000, 9999);
    const int month = in.ConsumeIntegralInRange(1, 12);
    const int day = in.ConsumeIntegralInRange(1, 28);
    const Date date = makeDate(year, month, day);
    const std::string pattern = in.ConsumeRandomLengthString(64);
    const std::string format = in.ConsumeRemainingBytesAsString();

    FUZZ_REQUIRE(formatDate(format, date) == expectedText(format, year, month, day),
                 "a format prints as its plain reading");
    FUZZ_REQUIRE(formatDate(format, Date{std::chrono::year{year}, std::chrono::month{2},
                                         std::chrono::day{30}})
                     .empty(),
                 "an impossible date prints nothing");

    const std::string converted = dateFormatFromLocalePattern(pattern);
    FUZZ_REQUIRE(converted.find(':') == std::string::npos, "no colon is left");
    const std::string shown = formatDate(converted, date);
    FUZZ_REQUIRE(shown.size() < 128, "a date fits its buffer");

    // A pattern made only of d, M and y runs and separators prints those parts in its order.
    bool plain = !pattern.empty();
    std::string expected;
    for (std::size_t i = 0; i < pattern.size() && plain; ++i) {
        const char c = pattern[i];
        if (separator(c)) {
            expected += c;
        } else if (c == 'd' || c == 'M' || c == 'y') {
            if (i == 0 || pattern[i - 1] != c)
                expected += c == 'd'   ? twoDigits(day)
                            : c == 'M' ? twoDigits(month)
                                       : std::to_string(year);
        } else {
            plain = false;
        }
    }
    if (plain && expected.size() < 128)
        FUZZ_REQUIRE(shown == expected, "a plain pattern prints its parts in its order");
    return 0;
}
