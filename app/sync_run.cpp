#include "app/sync_run.h"

#include "core/records_file.h"
#include "platform/password_store.h"
#include "sync/sync_all.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <cstdio>
#include <filesystem>

namespace kivo {

namespace {

// The data folder as a run finds it: the working folder when the records file is there, else the
// per-user folder.
std::string dataFolderOf(const Platform& platform) {
    const std::string working = platform.folders.workingFolder();
    std::error_code ignored;
    if (std::filesystem::exists(std::filesystem::path(working + kRecordsFileName), ignored))
        return working;
    return platform.folders.userDataFolder();
}

std::optional<std::string> passwordOf(PasswordStore& keyring, const std::string& accountId,
                                      std::string& reason) {
    std::string password;
    std::string failure;
    switch (keyring.read(accountId, password, &failure)) {
    case PasswordStore::Result::Ok:
        return password;
    case PasswordStore::Result::NotFound:
        reason = "no password is stored for it; enter it in kivo's setup window (Sync...)";
        break;
    case PasswordStore::Result::NoKeyring:
        reason = "this desktop has no keyring to keep its password; sync it from kivo's setup "
                 "window, which asks for it";
        break;
    case PasswordStore::Result::Failed:
        reason = "the keyring did not give its password: " + failure;
        break;
    }
    return std::nullopt;
}

} // namespace

int syncAccounts(int& argc, char** argv, StartPlatform& platform) {
    QCoreApplication application(argc, argv);
    // Without stored settings there is no account either, and nothing is written.
    AppSettings settings;
    if (platform.store.keyExists())
        readSettings(settings, platform.store, "");
    KeyringPasswordStore keyring;

    sync::SyncAllSetup setup;
    setup.settings = &platform.store;
    setup.dataFolder = dataFolderOf(platform.platform);
    // New records start as the setup window's defaults for new records.
    setup.newRecords.defaults.icon = settings.defaultIcon;
    setup.newRecords.defaults.daysInAdvance = settings.daysAhead;
    setup.newRecords.anniversaryWord = "Anniversary";
    setup.password = [&](const std::string& id, std::string& reason) {
        return passwordOf(keyring, id, reason);
    };
    setup.report = [](const sync::AccountReport& report) {
        std::fprintf(stderr, "kivo: %s\n", report.line.c_str());
    };

    bool allSynced = false;
    QEventLoop loop;
    sync::syncAllAccounts(setup, [&](bool all) {
        allSynced = all;
        loop.quit();
    });
    loop.exec();
    return allSynced ? 0 : 1;
}

} // namespace kivo
