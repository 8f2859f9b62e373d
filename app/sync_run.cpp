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
        return readKeptPassword(keyring, id, reason);
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
