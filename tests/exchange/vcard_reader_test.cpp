// Contacts of every vCard version and date form become records; broken cards are skipped and
// counted, and no input makes the reader fail.
#include "exchange/vcard_reader.h"

#include "tests/support/record_builder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace kivo {
namespace {

std::string fixture(const std::string& name) {
    const char* folder = std::getenv("KIVO_FIXTURES");
    std::ifstream in(std::string(folder ? folder : "tests/fixtures") + "/vcard/" + name,
                     std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// What a test looks at of a record: name, e-mail, date, type.
struct Got {
    std::string name, email;
    int year, month, day, type;
    bool operator==(const Got&) const = default;
};
std::ostream& operator<<(std::ostream& os, const Got& g) {
    return os << g.name << "|" << g.email << "|" << g.year << "-" << g.month << "-" << g.day << "|"
              << g.type;
}

// The icon and warning that every imported contact is given.
PersonRecord defaults() {
    return test::record("", 0, 0, 0, {.daysInAdvance = 10, .icon = 5});
}

std::vector<Got> read(const std::string& bytes, VCardImportCounts& n) {
    RecordList records;
    n = readVCards(bytes, defaults(), "Anniversary", records);
    std::vector<Got> out;
    for (const PersonRecord& r : records) {
        EXPECT_EQ(r.icon, 5);
        EXPECT_EQ(r.daysInAdvance, 10);
        EXPECT_EQ(r.skipYear, -1);
        out.push_back({r.name, r.email, r.year, r.month, r.day, r.type});
    }
    EXPECT_EQ(n.added, out.size());
    return out;
}

TEST(VCardReader, EveryVersionAndDateForm) {
    struct File {
        const char* name;
        std::vector<Got> records;
        std::size_t skipped;
    };
    const int B = Birthday, A = AnnualEventWithStart;
    const File files[] = {
        {"v21.vcf",
         {{"J\xC3\xBCrgen M\xC3\xBCller-Schmid", "juergen@example.com", 1980, 3, 7, B},
          {"Dr. Anna Maria M\xC3\xBCller", "", 1975, 5, 20, B}},
         1},
        // Quoted-printable values of version 2.1 that go on after a "=" at the line end.
        {"v21_soft_breaks.vcf",
         {{"J\xC3\xBCrgen M\xC3\xBCller-Schmid", "juergen@example.com", 0, 3, 7, B}},
         0},
        {"v30.vcf",
         {{"Johnny Appleseed with a name long enough to be folded in two", "johnny@example.com", 0,
           12, 24, B},
          {"Johnny Appleseed with a name long enough to be folded in two (Anniversary)",
           "johnny@example.com", 2005, 6, 18, A},
          {"Kate O, Brien; Jr.", "kate@example.com", 1980, 3, 7, B},
          {"Lucy Leap", "", 1984, 2, 29, B},
          {"lower case", "", 1990, 1, 31, B}},
         0},
        {"v40.vcf",
         {{"Year Unknown", "", 0, 3, 7, B},
          {"Dashes Only", "", 0, 3, 7, B},
          {"Dashes Only (Anniversary)", "", 2010, 6, 12, A},
          {"Zoe Z. Zeta PhD", "zoe@example.com", 1999, 12, 31, B},
          {"Only Anniversary (Anniversary)", "", 2001, 9, 9, A}},
         0},
        // Apple's labelled dates and its year 1604 for "no year", Evolution's anniversary, and the
        // same anniversary given twice kept once.
        {"apple.vcf",
         {{"Bao Nguyen", "", 0, 4, 15, B},
          {"Bao Nguyen (Anniversary)", "", 2012, 9, 1, A},
          {"Bao Nguyen (Name day)", "", 0, 11, 3, A},
          {"Bao Nguyen (Other)", "", 2019, 2, 28, A},
          {"Evolution Pair (Anniversary)", "", 1999, 7, 10, A},
          {"Evolution Pair (Anniversary)", "", 2000, 1, 1, A},
          {"Leap Day Without Year", "", 0, 2, 29, B}},
         0},
        // No date, a text date, 29 February of a common year, month 13, no name, a card that
        // never ended and one cut off at the end: only the good card after the broken one stays.
        {"broken.vcf", {{"Good After Broken", "", 1970, 1, 3, B}}, 6},
    };
    for (const File& f : files) {
        SCOPED_TRACE(f.name);
        VCardImportCounts n;
        EXPECT_EQ(read(fixture(f.name), n), f.records);
        EXPECT_EQ(n.skipped, f.skipped);
    }
}

TEST(VCardReader, DateValues) {
    struct Case {
        const char* value;
        bool ok;
        int year, month, day;
    };
    const Case cases[] = {
        {"1980-03-07", true, 1980, 3, 7},
        {"19800307", true, 1980, 3, 7},
        {"1980-03-07T00:00:00Z", true, 1980, 3, 7},
        {"--0307", true, 0, 3, 7},
        {"--03-07", true, 0, 3, 7},
        {"--0229", true, 0, 2, 29},
        {"2000-02-29", true, 2000, 2, 29},
        {"1900-02-29", false, 0, 0, 0},
        {"1980-04-31", false, 0, 0, 0},
        {"1980-00-10", false, 0, 0, 0},
        {"1980-03", false, 0, 0, 0},
        {"---07", false, 0, 0, 0},
        {"1980-3-7", false, 0, 0, 0},
        {"", false, 0, 0, 0},
        {"19800307T", true, 1980, 3, 7},
        {"abcd-ef-gh", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        int y = -1, m = -1, d = -1;
        EXPECT_EQ(parseVCardDate(c.value, y, m, d), c.ok);
        if (c.ok) {
            EXPECT_EQ(std::tuple(y, m, d), std::tuple(c.year, c.month, c.day));
        }
    }
}

TEST(VCardReader, ContactsKeepTheirUid) {
    std::size_t skipped = 99;
    const auto contacts = readVCardContacts(fixture("apple.vcf"), skipped);
    std::vector<std::string> uids;
    for (const VCardContact& c : contacts)
        uids.push_back(c.uid);
    EXPECT_EQ(uids, (std::vector<std::string>{"4F1C6A2E-0B6D-4C57-9A1E-2B3C4D5E6F70", "evo-1",
                                              "urn:uuid:9a1c"}));
    EXPECT_EQ(skipped, 0u);
}

TEST(VCardReader, MangledInputNeverFails) {
    // Every fixture cut at every length, and with bytes flipped at random: the reader ends, and
    // what it counts stays within the lines given.
    std::mt19937 random(7);
    for (const char* name :
         {"v21.vcf", "v21_soft_breaks.vcf", "v30.vcf", "v40.vcf", "apple.vcf", "broken.vcf"}) {
        const std::string bytes = fixture(name);
        for (std::size_t cut = 0; cut <= bytes.size(); ++cut) {
            std::string mangled = bytes.substr(0, cut);
            if (cut % 3 == 0 && !mangled.empty())
                mangled[random() % mangled.size()] = static_cast<char>(random());
            RecordList records;
            const VCardImportCounts n = readVCards(mangled, defaults(), "A", records);
            EXPECT_EQ(n.added, records.size());
            // A card takes at least two lines, BEGIN and END or the end of the text.
            const auto lines = std::count(mangled.begin(), mangled.end(), '\n') + 1;
            EXPECT_LE(n.skipped, static_cast<std::size_t>(lines));
        }
    }
}

} // namespace
} // namespace kivo
