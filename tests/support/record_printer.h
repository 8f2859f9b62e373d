// How GoogleTest shows a record that differs from the one expected: every field by name, texts
// quoted with their unprintable bytes escaped, so that a failing EXPECT_EQ says which field it was.
#pragma once

#include "core/person_record.h"

#include <gtest/gtest-printers.h>

#include <ostream>

namespace kivo {

// Found by GoogleTest through the record's namespace.
inline void PrintTo(const PersonRecord& r, std::ostream* os) {
    *os << "{name " << ::testing::PrintToString(r.name) << ", day " << r.day << ", month "
        << r.month << ", year " << r.year << ", icon " << r.icon << ", skipYear " << r.skipYear
        << ", daysInAdvance " << r.daysInAdvance << ", type " << r.type << ", infoOnly "
        << r.infoOnly << ", email " << ::testing::PrintToString(r.email) << ", dontPrint "
        << r.dontPrint << ", leapling " << r.leapling << ", age " << r.age << ", daysUntil "
        << r.daysUntil << ", nextYear " << r.nextYear << "}";
}

} // namespace kivo
