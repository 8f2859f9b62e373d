// The sync of stored accounts, as `kivo --sync` runs it from the daily timer and the setup window
// runs it in the background: the passwords from the caller, a report for each account, and each
// account's last sync kept in the settings.
#pragma once

#include "core/app_settings.h"
#include "sync/account_store.h"
#include "sync/account_sync.h"
#include "sync/calendar_publish.h"

#include <functional>
#include <optional>
#include <string>

namespace kivo::sync {

struct SyncAllSetup {
    SettingsStore* settings = nullptr; // where the accounts are, and their last syncs go
    std::string dataFolder;            // where their contacts files are (ends with "/")
    NewContactRecords newRecords;
    // The account's password, or nothing with the reason (no keyring, none stored).
    std::function<std::optional<std::string>(const std::string& accountId, std::string& reason)>
        password;
    // Told of each account synced: what its sync did, or why it did not.
    std::function<void(const struct AccountReport&)> report;
    // The sync ends, with nothing written and nothing told, once this object is gone (a window
    // that closed); none: it runs to its end.
    QObject* owner = nullptr;
    // Only the calendars of the accounts that publish, not their address books, and no report or
    // last sync for the others: the publish of what a window changed, as the run ends.
    bool publishOnly = false;
};

struct AccountReport {
    std::string accountId;
    bool synced = false;
    std::optional<SyncError> error; // why the server side failed, when it did
    AccountSyncOutcome outcome;
    std::optional<PublishOutcome> published; // when the account publishes to a calendar
    // One line: "alice at dav.example.org: 3 contacts new or changed, 0 gone, 2 requests", or
    // "...: not synced. <why>".
    std::string line;
    LastSync last; // as kept for the account
    // A failure unlike the one the account's last sync ended with: worth telling the user. The
    // same failure again is not told twice.
    bool newFailure = false;
};

// The records a calendar gets: the records file's and the address books' as the data folder
// (ending with "/") holds them.
RecordList recordsToPublish(const std::string& dataFolder);

// Syncs one stored account (its address books, then its calendar when it publishes), keeps how it
// ended as the account's last sync, and calls `done` once, from the event loop.
void syncStoredAccount(const SyncAllSetup& setup, const StoredAccount& account,
                       std::function<void(const AccountReport&)> done);

// Syncs the accounts one after another, reports each, and calls `done` once, from the event
// loop, with whether every one of them synced.
void syncAllAccounts(const SyncAllSetup& setup, std::function<void(bool allSynced)> done);

} // namespace kivo::sync
