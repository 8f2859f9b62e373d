// Numbers read from text the way the C runtime's atoi, atol and atof read them, without their
// undefined behaviour on overflow and without depending on the process's locale.
#pragma once

#include <charconv>
#include <climits>
#include <cmath>
#include <cstddef>
#include <string_view>
#include <system_error>

namespace kivo {

namespace number_text_detail {

// Blanks as the "C" locale's isspace knows them.
inline bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Skips the leading blanks and an optional sign; returns whether the sign was a minus.
inline bool skipBlanksAndSign(std::string_view text, std::size_t& i) {
    while (i < text.size() && isBlank(text[i]))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return text[i++] == '-';
    return false;
}

// Leading blanks, an optional sign and the digits after it; the value saturates at `lowest` or
// `highest`, as strtol does at its limits, so a long digit string can never overflow.
inline long long leadingInteger(std::string_view text, long long lowest, long long highest) {
    std::size_t i = 0;
    const bool negative = skipBlanksAndSign(text, i);
    long long value = 0;
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const int digit = text[i] - '0';
        if (negative) {
            if (value < (lowest + digit) / 10)
                value = lowest;
            else
                value = value * 10 - digit;
        } else {
            if (value > (highest - digit) / 10)
                value = highest;
            else
                value = value * 10 + digit;
        }
    }
    return value;
}

} // namespace number_text_detail

// atoi: leading blanks, optional sign, digits up to the first non-digit; 0 without digits. Values
// beyond the range of int give INT_MIN or INT_MAX.
inline int atoiLike(std::string_view text) {
    return static_cast<int>(number_text_detail::leadingInteger(text, INT_MIN, INT_MAX));
}

// atol: as atoiLike, in the range of long.
inline long atolLike(std::string_view text) {
    return static_cast<long>(number_text_detail::leadingInteger(text, LONG_MIN, LONG_MAX));
}

// atof: leading blanks, optional sign, then the longest decimal number ("12", "1.5", ".5",
// "2e3"); 0 when there is none. The decimal point is always "." whatever the locale says, so
// lists sort alike on every machine; huge exponents give infinity, tiny ones 0.
inline double atofLike(std::string_view text) {
    std::size_t i = 0;
    const bool negative = number_text_detail::skipBlanksAndSign(text, i);
    // from_chars does not take a sign of its own here: a second sign makes the text no number.
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        return 0.0;
    double value = 0.0;
    const char* first = text.data() + i;
    const char* last = text.data() + text.size();
    const auto result = std::from_chars(first, last, value, std::chars_format::general);
    if (result.ec == std::errc::invalid_argument)
        return 0.0;
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone then; strtod gives infinity or zero. Tell them apart
        // by the exponent's sign.
        std::string_view number(first, static_cast<std::size_t>(result.ptr - first));
        const auto e = number.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    }
    return negative ? -value : value;
}

} // namespace kivo
