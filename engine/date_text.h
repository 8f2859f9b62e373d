// Date texts: the display format derived from the locale, and dates formatted with it.
#pragma once

#include "engine/occurrence.h"

#include <string>
#include <string_view>

namespace kivo {

// Turns a locale short-date pattern (letters d, M, y) into a strftime format of %d, %m and %Y:
// "dd/MM/yyyy" gives "%d/%m/%Y", "M/d/yy" gives "%m/%d/%Y".
std::string dateFormatFromLocalePattern(std::string_view pattern);

// The date formatted with `dateFormat` by strftime into 128 characters; empty when it does not fit
// or the date is not valid. Only %d, %m, %Y and %% are conversions: any other "%" is printed as
// it stands, so a format from outside cannot make strftime read a time of day or a time zone.
std::string formatDate(const std::string& dateFormat, Date date);

// Day of the week, 0 = Sunday .. 6 = Saturday.
int weekdayIndex(Date date);

} // namespace kivo
