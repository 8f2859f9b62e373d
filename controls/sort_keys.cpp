// Leading numbers and dates read from cell texts, the keys of the list's column sort.
#include "controls/sort_keys.h"

#include <QDate>
#include <QString>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <limits>
#include <string>

namespace kivo {

namespace {

bool isBlank(QChar c) {
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\v' || u == '\f' || u == '\r';
}

bool isAsciiDigit(QChar c) {
    return c.unicode() >= '0' && c.unicode() <= '9';
}

qsizetype skipBlanks(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && isBlank(text[i]))
        ++i;
    return i;
}

bool isHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// from_chars leaves the value alone when it is out of range; atof gives infinity for a number
// too large and zero for one too small. The magnitude is told from the count of integer digits
// (or the leading zeros of the fraction) and the exponent.
double outOfRangeValue(const char* first, const char* last, bool hex) {
    const char expMark = hex ? 'p' : 'e';
    const int digitWeight = hex ? 4 : 1; // hexadecimal exponents count in bits
    long long intDigits = 0;
    long long fracZeros = 0;
    bool leading = true;
    bool inFraction = false;
    const char* p = first;
    for (; p != last && (*p | 0x20) != expMark; ++p) {
        if (*p == '.') {
            inFraction = true;
        } else if (leading && *p == '0') {
            if (inFraction)
                ++fracZeros;
        } else {
            leading = false;
            if (!inFraction)
                ++intDigits;
        }
    }
    long long exponent = 0;
    if (p != last) {
        ++p;
        bool negative = false;
        if (p != last && (*p == '+' || *p == '-'))
            negative = *p++ == '-';
        for (; p != last && *p >= '0' && *p <= '9'; ++p)
            if (exponent < 1'000'000'000)
                exponent = exponent * 10 + (*p - '0');
        if (negative)
            exponent = -exponent;
    }
    const long long magnitude = (intDigits > 0 ? intDigits : -fracZeros) * digitWeight + exponent;
    return magnitude > 0 ? std::numeric_limits<double>::infinity() : 0.0;
}

std::optional<std::int64_t> keyOf(int y, int m, int d) {
    const std::chrono::year_month_day date{std::chrono::year{y},
                                           std::chrono::month{static_cast<unsigned>(m)},
                                           std::chrono::day{static_cast<unsigned>(d)}};
    if (m < 1 || m > 12 || d < 1 || d > 31 || !date.ok())
        return std::nullopt;
    return std::int64_t{y} * 10000 + m * 100 + d;
}

// Dates with month names are left to the locale, as the platform's date parser would do.
std::optional<std::int64_t> localeDateKey(QStringView text) {
    const QLocale locale;
    const QString trimmed = text.toString().trimmed();
    for (const auto format : {QLocale::ShortFormat, QLocale::LongFormat}) {
        const QDate date = locale.toDate(trimmed, format);
        if (date.isValid())
            return keyOf(date.year(), date.month(), date.day());
    }
    return std::nullopt;
}

} // namespace

long long leadingLong(QStringView text) {
    qsizetype i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    constexpr long long limit = std::numeric_limits<long long>::max();
    long long value = 0;
    bool saturated = false;
    for (; i < text.size() && isAsciiDigit(text[i]); ++i) {
        const int digit = text[i].unicode() - '0';
        if (value > (limit - digit) / 10)
            saturated = true;
        else
            value = value * 10 + digit;
    }
    if (saturated)
        return negative ? std::numeric_limits<long long>::min() : limit;
    return negative ? -value : value;
}

double leadingDouble(QStringView text) {
    qsizetype i = skipBlanks(text);
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::string ascii;
    for (; i < text.size() && text[i].unicode() < 128 && !isBlank(text[i]); ++i)
        ascii.push_back(static_cast<char>(text[i].unicode()));

    const char* first = ascii.data();
    const char* last = first + ascii.size();
    bool hex = false;
    if (ascii.size() > 2 && first[0] == '0' && (first[1] | 0x20) == 'x' &&
        (isHexDigit(first[2]) || first[2] == '.')) {
        hex = true;
        first += 2;
    }
    if (first == last || *first == '+' || *first == '-')
        return 0.0;
    double value = 0.0;
    const auto [end, error] = std::from_chars(
        first, last, value, hex ? std::chars_format::hex : std::chars_format::general);
    if (error == std::errc::invalid_argument)
        return 0.0;
    if (error == std::errc::result_out_of_range)
        value = outOfRangeValue(first, end, hex);
    return negative ? -value : value;
}

DateOrder dateOrderFromFormat(QStringView format) {
    DateOrder order{};
    int found = 0;
    for (qsizetype i = 0; i + 1 < format.size() && found < 3; ++i) {
        if (format[i] != u'%')
            continue;
        qsizetype k = i + 1;
        if (format[k] == u'#' && k + 1 < format.size()) // the Windows runtime's "no leading zero"
            ++k;
        char field = 0;
        switch (format[k].unicode()) {
        case 'd':
            field = 'd';
            break;
        case 'm':
            field = 'm';
            break;
        case 'Y':
        case 'y':
            field = 'y';
            break;
        default:
            break;
        }
        i = k;
        if (field != 0 &&
            std::find(order.begin(), order.begin() + found, field) == order.begin() + found)
            order[found++] = field;
    }
    if (found < 3)
        return {'d', 'm', 'y'};
    return order;
}

DateOrder dateOrderFromLocale(const QLocale& locale) {
    const QString pattern = locale.dateFormat(QLocale::ShortFormat);
    DateOrder order{};
    int found = 0;
    bool quoted = false;
    for (qsizetype i = 0; i < pattern.size() && found < 3;) {
        const QChar c = pattern[i];
        qsizetype run = 1;
        while (i + run < pattern.size() && pattern[i + run] == c)
            ++run;
        if (c == u'\'') {
            quoted = !quoted;
        } else if (!quoted) {
            char field = 0;
            if (c == u'd' && run <= 2) // "ddd" and longer are weekday names
                field = 'd';
            else if (c == u'M')
                field = 'm';
            else if (c == u'y')
                field = 'y';
            if (field != 0 &&
                std::find(order.begin(), order.begin() + found, field) == order.begin() + found)
                order[found++] = field;
        }
        i += run;
    }
    if (found < 3)
        return {'d', 'm', 'y'};
    return order;
}

std::optional<std::int64_t> dateKey(QStringView text, const DateOrder& order) {
    std::array<int, 3> values{};
    std::array<int, 3> digits{};
    int fields = 0;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (isAsciiDigit(c)) {
            if (fields == 3)
                return std::nullopt;
            int value = 0;
            int count = 0;
            for (; i < text.size() && isAsciiDigit(text[i]); ++i, ++count)
                if (value < 100000) // anything longer is no day, month or year anyway
                    value = value * 10 + (text[i].unicode() - '0');
            values[fields] = value;
            digits[fields] = count;
            ++fields;
            continue;
        }
        if (c.isLetter())
            return localeDateKey(text);
        ++i; // punctuation or blanks between the fields
    }
    if (fields != 3)
        return std::nullopt;
    int y = 0;
    int m = 0;
    int d = 0;
    for (int k = 0; k < 3; ++k) {
        if (order[k] == 'y') {
            y = values[k];
            if (digits[k] <= 2)
                y += y < 30 ? 2000 : 1900;
        } else if (order[k] == 'm') {
            m = values[k];
        } else {
            d = values[k];
        }
    }
    if (y < 100 || y > 9999)
        return std::nullopt;
    return keyOf(y, m, d);
}

} // namespace kivo
