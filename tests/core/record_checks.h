// Field-by-field comparison of records, for the tests of the records file's writer and reader.
#pragma once

#include "core/person_record.h"

#include <gtest/gtest.h>

namespace kivo::test {

// Every field the records file stores; the derived ones are not part of the file.
inline void expectSameStoredFields(const PersonRecord& a, const PersonRecord& b) {
    EXPECT_EQ(a.name, b.name);
    EXPECT_EQ(a.day, b.day);
    EXPECT_EQ(a.month, b.month);
    EXPECT_EQ(a.year, b.year);
    EXPECT_EQ(a.icon, b.icon);
    EXPECT_EQ(a.skipYear, b.skipYear);
    EXPECT_EQ(a.daysInAdvance, b.daysInAdvance);
    EXPECT_EQ(a.type, b.type);
    EXPECT_EQ(a.infoOnly, b.infoOnly);
    EXPECT_EQ(a.email, b.email);
    EXPECT_EQ(a.dontPrint, b.dontPrint);
    EXPECT_EQ(a.leapling, b.leapling);
}

// Every field, the derived ones included.
inline void expectSameRecord(const PersonRecord& a, const PersonRecord& b) {
    expectSameStoredFields(a, b);
    EXPECT_EQ(a.age, b.age);
    EXPECT_EQ(a.daysUntil, b.daysUntil);
    EXPECT_EQ(a.nextYear, b.nextYear);
}

} // namespace kivo::test
