// What kivo keeps of an account's contacts: the file read back as written, read as a records file
// by every other reader, and the changes of a sync applied with the user's choices kept.
#include "sync/contacts_file.h"

#include "core/records_file.h"
#include "core/temp_folder.h"
#include "support/record_builder.h"
#include "support/record_printer.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

using test::record;

ContactRecord contact(std::string href, std::string kind, PersonRecord r, bool hidden = false) {
    return {std::move(href), "\"e1\"", "uid-" + r.name, std::move(kind), hidden, std::move(r)};
}

bool operator==(const ContactRecord& a, const ContactRecord& b) {
    return a.href == b.href && a.etag == b.etag && a.uid == b.uid && a.kind == b.kind &&
           a.hidden == b.hidden && a.record == b.record;
}

TEST(ContactsFileTest, ReadsBackWhatItWroteAndOtherReadersSeeOnlyTheShownRecords) {
    ContactsFile file;
    file.books = {{"/dav/anna/contacts/", "http://radicale.org/ns/sync/7"}, {"/dav/work/", ""}};
    file.records = {
        contact("/dav/anna/contacts/a.vcf", "BDAY", record("Anna, \"the\" first", 12, 6, 1996)),
        // Server texts with tabs, line ends and percent signs stay on their line.
        contact("/dav/x/b%20c.vcf", "X-ABDATE:Wed\tding\r\n100%",
                record("Bob", 29, 2, 0, {.type = AnnualEvent, .email = "bob@example.org"})),
        contact("/dav/x/hidden.vcf", "BDAY", record("Hidden", 1, 1, 1980), true),
    };
    const std::string bytes = formatContactsFile(file);
    const ContactsFile back = parseContactsFile(bytes);
    EXPECT_EQ(back.books.size(), 2u);
    EXPECT_EQ(back.books[0].syncToken, "http://radicale.org/ns/sync/7");
    EXPECT_EQ(back.books[1].href, "/dav/work/");
    ASSERT_EQ(back.records.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_TRUE(back.records[i] == file.records[i]) << i;

    // To a reader of records the file is a records file with the shown records alone.
    test::TempFolder folder;
    const std::string path = (folder.path() / contactsFileName("1")).string();
    ASSERT_TRUE(writeContactsFile(path, file));
    RecordList records;
    std::string mailPath;
    ASSERT_TRUE(readRecordsFile(path, records, mailPath));
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].name, "Anna, \"the\" first");
    EXPECT_EQ(records[1].email, "bob@example.org");

    // A damaged file loses its damaged lines only.
    const std::string damaged = "#@contact\ttoo\tfew\r\nLost,01011990,1,-1,7,0,0,,0,1,\r\n" +
                                bytes + "#@contact\t/last.vcf\te\tu\tBDAY\r\n";
    EXPECT_EQ(parseContactsFile(damaged).records.size(), 3u);
}

TEST(ContactsFileTest, ASyncKeepsTheUsersOwnChoicesAndFollowsTheServer) {
    ContactsFile file;
    file.records = {
        contact("/a.vcf", "BDAY",
                record("Anna", 12, 6, 1996,
                       {.daysInAdvance = 3, .icon = 9, .skipYear = 2026, .dontPrint = true})),
        contact("/a.vcf", "ANNIVERSARY", record("Anna", 1, 5, 2015, {.type = AnnualEvent})),
        contact("/b.vcf", "BDAY", record("Bob", 2, 2, 1980), true),
        contact("/gone.vcf", "BDAY", record("Gone", 3, 3, 1970)),
        contact("/same.vcf", "BDAY", record("Same", 4, 4, 1960)),
    };
    // Anna moved her birthday and dropped her anniversary; Bob's name changed (hidden, stays
    // hidden); Carol is new; Gone was deleted on the server.
    std::vector<ServerContact> changed = {
        {"/a.vcf", "\"e2\"", "uid-Anna", {{"BDAY", record("Anna Smith", 13, 6, 1996)}}},
        {"/b.vcf",
         "\"e2\"",
         "uid-Bob",
         {{"BDAY", record("Robert", 2, 2, 1980)}, {"X-ABDATE:Met", record("Robert", 9, 9, 2000)}}},
        {"/c.vcf", "\"e1\"", "uid-Carol", {{"BDAY", record("Carol", 5, 5, 0)}}},
    };
    applyContactChanges(file, changed, {"/gone.vcf"});

    std::vector<std::string> shown;
    for (const ContactRecord& r : file.records)
        shown.push_back(r.record.name + " " + r.kind + (r.hidden ? " hidden" : ""));
    EXPECT_EQ(shown, (std::vector<std::string>{"Anna Smith BDAY", "Robert BDAY hidden", "Same BDAY",
                                               "Robert X-ABDATE:Met", "Carol BDAY"}));
    const PersonRecord& anna = file.records[0].record;
    EXPECT_EQ(anna.day, 13);
    EXPECT_EQ(anna.daysInAdvance, 3);
    EXPECT_EQ(anna.icon, 9);
    EXPECT_EQ(anna.skipYear, 2026);
    EXPECT_TRUE(anna.dontPrint);
    EXPECT_EQ(file.records[0].etag, "\"e2\"");
    EXPECT_EQ(file.records[2].etag, "\"e1\""); // untouched
}

} // namespace
} // namespace kivo
