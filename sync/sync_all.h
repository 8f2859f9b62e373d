// The sync of every account, as `kivo --sync` runs it from the daily timer: no window, the
// passwords from the keyring, one line said for each account.
#pragma once

#include "core/app_settings.h"
#include "sync/account_sync.h"

#include <functional>
#include <optional>
#include <string>

namespace kivo::sync {

struct SyncAllSetup {
    const SettingsStore* settings = nullptr; // where the accounts are
    std::string dataFolder;                  // where their contacts files are (ends with "/")
    NewContactRecords newRecords;
    // The account's password, or nothing with the reason (no keyring, none stored).
    std::function<std::optional<std::string>(const std::string& accountId, std::string& reason)>
        password;
    // Told one line for each account: what its sync did, or why it did not.
    std::function<void(const std::string& line)> report;
};

// Syncs the accounts one after another and calls `done` once, from the event loop, with whether
// every one of them synced.
void syncAllAccounts(const SyncAllSetup& setup, std::function<void(bool allSynced)> done);

} // namespace kivo::sync
