// What a discovery found merges into the account without losing the user's choices or the last
// sync's state; a contact's records each say which of its dates they are.
#include "sync/account.h"
#include "sync/contact_records.h"

#include <gtest/gtest.h>

namespace kivo::sync {
namespace {

AddressBook book(const char* url, const char* name, bool chosen = false, const char* token = "",
                 bool syncCollection = true) {
    AddressBook b;
    b.url = QString::fromLatin1(url);
    b.displayName = QString::fromLatin1(name);
    b.chosen = chosen;
    b.supportsSyncCollection = syncCollection;
    b.syncToken = QString::fromLatin1(token);
    if (*token)
        b.etags[b.url + "a.vcf"] = QStringLiteral("\"1\"");
    return b;
}

TEST(Account, DiscoveryMergesIntoWhatWasKnown) {
    Account account;
    account.addressBooks = {book("https://h/u/work/", "Work", true, "t1"),
                            book("https://h/u/old/", "Old", true, "t2"),
                            book("https://h/u/home/", "Home", false, "t3")};
    mergeDiscovered(account, {book("https://h/u/new/", "New", true, "server-side"),
                              book("https://h/u/home/", "Home renamed"),
                              book("https://h/u/work/", "Work", false, "", false)});
    // The server's order; "old" is gone; "new" comes unchosen and without state whatever the
    // discovery said; "home" keeps its state and takes its new name; "work" keeps its choice and
    // ETags but no longer has a token, since the server stopped offering the sync report.
    AddressBook fresh = book("https://h/u/new/", "New");
    AddressBook home = book("https://h/u/home/", "Home renamed", false, "t3");
    AddressBook work = book("https://h/u/work/", "Work", true, "t1", false);
    work.syncToken.clear();
    EXPECT_EQ(account.addressBooks, (std::vector<AddressBook>{fresh, home, work}));
}

TEST(ContactRecords, EachDateNamesItsOccasion) {
    const char* card = "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:x-1\r\nFN:Mia\r\nBDAY:--0101\r\n"
                       "ANNIVERSARY:2000-05-05\r\n"
                       "item1.X-ABDATE:2001-06-06\r\nitem1.X-ABLabel:Name day\r\n"
                       "item2.X-ABDATE:2002-07-07\r\nitem2.X-ABLabel:Name day\r\n"
                       "item3.X-ABDATE:2003-08-08\r\nEND:VCARD\r\n"
                       "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:No Uid\r\nBDAY:19991231\r\nEND:VCARD\r\n";
    std::vector<std::pair<std::string, std::string>> got;
    for (const ContactRecord& r : contactRecords(card, PersonRecord{}, "Jubilee"))
        got.emplace_back(r.uid + "|" + r.occasion, r.record.name);
    const std::vector<std::pair<std::string, std::string>> want = {
        {"x-1|birthday", "Mia"},
        {"x-1|anniversary", "Mia (Jubilee)"},
        {"x-1|Name day", "Mia (Name day)"},
        {"x-1|Name day #2", "Mia (Name day)"},
        {"x-1|anniversary #2", "Mia (Jubilee)"},
        {"|birthday", "No Uid"},
    };
    EXPECT_EQ(got, want);
}

} // namespace
} // namespace kivo::sync
