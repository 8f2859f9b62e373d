// Records compared field by field, and the record list: ownership, stable addresses, order kept on
// removal.
#include "core/person_record.h"

#include "tests/support/record_builder.h"
#include "tests/support/record_printer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>
#include <vector>

namespace kivo {
namespace {

static_assert(std::forward_iterator<RecordList::iterator>);
static_assert(std::forward_iterator<RecordList::const_iterator>);

// Every field takes part in the comparison, the derived ones too: the tests compare whole records
// and must see a difference in any of them.
TEST(PersonRecord, EqualOnlyWhenEveryFieldIs) {
    const PersonRecord base = test::record("Anna", 7, 3, 1980, {.email = "anna@example.org"});
    const std::vector<std::pair<const char*, std::function<void(PersonRecord&)>>> changes = {
        {"name", [](PersonRecord& r) { r.name += 'a'; }},
        {"day", [](PersonRecord& r) { ++r.day; }},
        {"month", [](PersonRecord& r) { ++r.month; }},
        {"year", [](PersonRecord& r) { ++r.year; }},
        {"icon", [](PersonRecord& r) { ++r.icon; }},
        {"skipYear", [](PersonRecord& r) { r.skipYear = 2030; }},
        {"daysInAdvance", [](PersonRecord& r) { ++r.daysInAdvance; }},
        {"type", [](PersonRecord& r) { r.type = AnnualEvent; }},
        {"infoOnly", [](PersonRecord& r) { r.infoOnly = true; }},
        {"dontPrint", [](PersonRecord& r) { r.dontPrint = true; }},
        {"age", [](PersonRecord& r) { r.age = 46; }},
        {"daysUntil", [](PersonRecord& r) { r.daysUntil = 3; }},
        {"nextYear", [](PersonRecord& r) { r.nextYear = 2026; }},
        {"email", [](PersonRecord& r) { r.email.clear(); }},
        {"leapling", [](PersonRecord& r) { r.leapling = 0; }},
    };
    EXPECT_EQ(PersonRecord(base), base);
    for (const auto& [field, change] : changes) {
        PersonRecord other = base;
        change(other);
        EXPECT_NE(other, base) << field;
    }
}

RecordList listOf(std::initializer_list<const char*> names) {
    RecordList list;
    for (const char* name : names) {
        PersonRecord record;
        record.name = name;
        list.append(std::move(record));
    }
    return list;
}

TEST(RecordList, RemovingFromTheMiddleKeepsOrderAndAddresses) {
    RecordList list = listOf({"Anna", "Ben", "Cleo", "Dan"});
    PersonRecord* cleo = &list[2];
    for (int i = 0; i < 100; ++i)
        list.append(PersonRecord{}); // growth must not move records that windows point at
    EXPECT_EQ(&list[2], cleo);

    EXPECT_TRUE(list.remove(&list[1]));
    EXPECT_EQ(list.size(), 103u);
    EXPECT_EQ(list[0].name, "Anna");
    EXPECT_EQ(list[1].name, "Cleo");
    EXPECT_EQ(list[2].name, "Dan");
    EXPECT_EQ(&list[1], cleo);
    EXPECT_EQ(list.indexOf(cleo), 1);
}

TEST(RecordList, RemoveOfUnknownRecordChangesNothing) {
    RecordList list = listOf({"Anna", "Ben"});
    PersonRecord stranger;
    EXPECT_FALSE(list.remove(&stranger));
    EXPECT_FALSE(list.remove(nullptr));
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(list.indexOf(&stranger), -1);
    EXPECT_FALSE(list.contains(&stranger));
}

TEST(RecordList, IteratesInListOrderWithStandardAlgorithms) {
    RecordList list = listOf({"Anna", "Ben", "Cleo"});
    EXPECT_EQ(std::distance(list.begin(), list.end()), 3);
    auto it = std::find_if(list.begin(), list.end(),
                           [](const PersonRecord& r) { return r.name == "Ben"; });
    ASSERT_NE(it, list.end());
    EXPECT_EQ(&*it, &list[1]);
    list.clear();
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(list.begin(), list.end());
}

} // namespace
} // namespace kivo
