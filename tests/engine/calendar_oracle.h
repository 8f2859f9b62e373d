// A plain day-stepping calendar that the engine's date arithmetic is checked against.
#pragma once

#include "engine/occurrence.h"

#include <ostream>
#include <vector>

namespace kivo::test {

// One calendar day, moved one day at a time; knows nothing but month lengths.
struct CivilDay {
    int y = 0;
    int m = 1;
    int d = 1;

    static bool leap(int year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }
    static int monthLength(int year, int month) {
        static const int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
        return month == 2 && leap(year) ? 29 : lengths[month - 1];
    }

    CivilDay next() const {
        if (d < monthLength(y, m))
            return {y, m, d + 1};
        if (m < 12)
            return {y, m + 1, 1};
        return {y + 1, 1, 1};
    }
    CivilDay previous() const {
        if (d > 1)
            return {y, m, d - 1};
        if (m > 1)
            return {y, m - 1, monthLength(y, m - 1)};
        return {y - 1, 12, 31};
    }
    CivilDay stepped(int days) const {
        CivilDay day = *this;
        for (; days > 0; --days)
            day = day.next();
        for (; days < 0; ++days)
            day = day.previous();
        return day;
    }

    // Built field by field, without any of the engine's arithmetic.
    Date date() const {
        return Date{std::chrono::year{y}, std::chrono::month{static_cast<unsigned>(m)},
                    std::chrono::day{static_cast<unsigned>(d)}};
    }
    bool operator==(const CivilDay&) const = default;
    bool matches(Date date) const {
        return static_cast<int>(date.year()) == y &&
               static_cast<unsigned>(date.month()) == static_cast<unsigned>(m) &&
               static_cast<unsigned>(date.day()) == static_cast<unsigned>(d);
    }
};

inline std::ostream& operator<<(std::ostream& out, const CivilDay& day) {
    return out << day.y << '-' << day.m << '-' << day.d;
}

// Every day from 1 January of `firstYear` to 31 December of `lastYear`, in order.
inline std::vector<CivilDay> daysOfYears(int firstYear, int lastYear) {
    std::vector<CivilDay> days;
    for (CivilDay day{firstYear, 1, 1}; day.y <= lastYear; day = day.next())
        days.push_back(day);
    return days;
}

} // namespace kivo::test
