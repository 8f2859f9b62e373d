// What the list compares when it sorts a column: leading numbers and dates read from cell texts.
#pragma once

#include <QLocale>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

namespace kivo {

// The ways a column's cells are compared, numbered as the setup window declares them.
enum class SortKind : std::uint8_t {
    Text = 0,       // case-sensitive text
    TextNoCase = 1, // text ignoring case
    WholeNumber = 2,
    Date = 3,
    None = 4, // every pair counts as equal
    RealNumber = 5,
    DateAlso = 6, // compared like Date
};
inline constexpr std::uint8_t kMaxSortKind = 6;

// The leading decimal integer of a text, read as atol reads it: blanks, a sign, digits; 0 when
// there are none. Saturates instead of overflowing.
long long leadingLong(QStringView text);

// The leading number of a text, read as atof reads it (decimal or hexadecimal, "inf", "nan"),
// always with '.' as the decimal point whatever the process locale; 0 when there is none.
double leadingDouble(QStringView text);

// The order of day, month and year in a date text; each entry is 'd', 'm' or 'y'.
using DateOrder = std::array<char, 3>;

// The order of %d, %m and %Y (or %y) in a strftime format; day, month, year when it names fewer.
DateOrder dateOrderFromFormat(QStringView format);

// The order of the fields in the locale's short date pattern.
DateOrder dateOrderFromLocale(const QLocale& locale);

// A date text as a number that grows with the date (year * 10000 + month * 100 + day), or nothing
// when the text is no real calendar date. Numeric dates are read in `order` with any punctuation
// between the fields; two-digit years count from 1930 to 2029. Texts with letters (month names)
// are tried with the default locale's date formats.
std::optional<std::int64_t> dateKey(QStringView text, const DateOrder& order);

} // namespace kivo
