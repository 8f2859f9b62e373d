// The accounts as the settings keep them ("kivo.conf", or the registry on Windows): server, user,
// the certificate the user chose to trust and the address books with the user's choice of them.
// What a sync leaves behind (tokens, versions) is in each account's contacts file, and the
// password in the keyring.
#pragma once

#include "core/app_settings.h"
#include "sync/account.h"

#include <string>
#include <vector>

namespace kivo::sync {

// How the last sync of an account ended: for the accounts dialog, and so that a failure is told
// once rather than at every sync that fails the same way.
struct LastSync {
    QString time; // local date and time, "yyyy-MM-dd HH:mm"; empty: never synced
    bool ok = false;
    QString result; // what changed, or why it failed
    bool operator==(const LastSync&) const = default;
};

struct StoredAccount {
    // Names the account's contacts file ("kivo-contacts-<id>.ini") and its keyring entry; never
    // reused for another account.
    std::string id;
    Account account;
    LastSync last;
    bool operator==(const StoredAccount&) const = default;
};

// The accounts in the order they were added; none when the settings hold none. An account whose
// values are damaged (no id or no server) is passed over.
std::vector<StoredAccount> readAccounts(const SettingsStore& store);
// Writes the accounts over those stored; false when the store could not take them.
bool writeAccounts(SettingsStore& store, const std::vector<StoredAccount>& accounts);
// Writes the last sync of the account with the id and nothing else, since a sync and the setup
// window may both be writing the settings; false when there is no such account or the store
// could not take it.
bool writeLastSync(SettingsStore& store, const std::string& accountId, const LastSync& last);
// An id that no account in `accounts` has.
std::string newAccountId(const std::vector<StoredAccount>& accounts);

} // namespace kivo::sync
