// What a discovery found merges into the account without losing the user's choices or the last
// sync's state.
#include "sync/account.h"
#include "sync/account_store.h"

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

// The accounts as the settings keep them: read back as written, the sync's state left to the
// contacts file; a damaged entry is passed over, and a new account never takes a used id.
TEST(AccountStore, ReadsBackTheAccountsItWrote) {
    StoredAccount first{
        "1", {}, {QStringLiteral("2026-12-08 10:00"), true, QStringLiteral("3 new")}};
    first.account.serverUrl = QStringLiteral("dav.example.org");
    first.account.userName = QStringLiteral("anna ä/\\=x");
    first.account.addressBooks = {book("https://h/u/work/", "Work, \"mine\"", true, "", false),
                                  book("https://h/u/home/", "", false)};
    StoredAccount second{"3", {}, {}};
    second.account.serverUrl = QStringLiteral("https://127.0.0.1:5232/alice/");
    second.account.trustedCertificateSha256 = QStringLiteral("ab12");
    second.account.publishing = {true, QStringLiteral("https://h/cal/kivo/"),
                                 QStringLiteral("kivo"), true};
    MemorySettingsStore store;
    ASSERT_TRUE(writeAccounts(store, {first, second}));
    EXPECT_EQ(readAccounts(store), (std::vector<StoredAccount>{first, second}));
    EXPECT_EQ(newAccountId({first, second}), "2");
    // A sync's end goes to its own account alone.
    second.last = {QStringLiteral("2026-12-08 11:00"), false, QStringLiteral("not synced. 401")};
    ASSERT_TRUE(writeLastSync(store, "3", second.last));
    EXPECT_FALSE(writeLastSync(store, "9", second.last));
    EXPECT_EQ(readAccounts(store), (std::vector<StoredAccount>{first, second}));

    // One account removed: only the other is read.
    ASSERT_TRUE(writeAccounts(store, {second}));
    EXPECT_EQ(readAccounts(store), (std::vector<StoredAccount>{second}));
    // A count beyond the entries, and an entry without its server.
    store.setValue("accounts/count", "3");
    store.setValue("accounts/1/id", "7");
    EXPECT_EQ(readAccounts(store), (std::vector<StoredAccount>{second}));
    EXPECT_TRUE(readAccounts(MemorySettingsStore()).empty());
}

} // namespace
} // namespace kivo::sync
