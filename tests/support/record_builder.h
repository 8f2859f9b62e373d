// Records built in a line for the tests: the windows' builder with every field at hand, the daily
// run's, which only cares when a birthday falls and how far ahead it is announced, and a record's
// stored fields alone.
#pragma once

#include "core/person_record.h"

#include <string>
#include <utility>

namespace kivo::test {

// Everything of a record beyond its name and date. The defaults are the icon and warning the
// tests do not care about; a test names only what it checks, e.g. {.type = AnnualEvent}.
struct RecordFields {
    int type = Birthday;
    int daysInAdvance = 7;
    int icon = 4;
    std::string email = {}; // "= {}" keeps g++ quiet about lists that leave it out
    int skipYear = -1;
    bool infoOnly = false;
    bool dontPrint = false;
    int leapling = 1;
};

inline PersonRecord record(std::string name, int day, int month, int year, RecordFields more = {}) {
    PersonRecord r;
    r.name = std::move(name);
    r.day = day;
    r.month = month;
    r.year = year;
    r.type = more.type;
    r.daysInAdvance = more.daysInAdvance;
    r.icon = more.icon;
    r.email = std::move(more.email);
    r.skipYear = more.skipYear;
    r.infoOnly = more.infoOnly;
    r.dontPrint = more.dontPrint;
    r.leapling = more.leapling;
    return r;
}

// A birthday in 1990 announced `daysInAdvance` days ahead; every other field as a new record.
inline PersonRecord lookingAhead(std::string name, int day, int month, int daysInAdvance) {
    PersonRecord r;
    r.name = std::move(name);
    r.day = day;
    r.month = month;
    r.year = 1990;
    r.daysInAdvance = daysInAdvance;
    return r;
}

// The record as the records file keeps it: the derived values (age, days until, next year) set
// back to "not computed", so that a record read back compares equal to the one written.
inline PersonRecord stored(PersonRecord r) {
    r.age = -1;
    r.daysUntil = -1;
    r.nextYear = -1;
    return r;
}

} // namespace kivo::test
