#include "sync/sync_all.h"

#include "sync/account_store.h"

#include <QTimer>

#include <memory>

namespace kivo::sync {

namespace {

struct AllRun {
    SyncAllSetup setup;
    std::vector<StoredAccount> accounts;
    std::size_t next = 0;
    bool allSynced = true;
    std::unique_ptr<CardDavClient> client;
    std::function<void(bool)> done;
};

void syncNextAccount(const std::shared_ptr<AllRun>& run) {
    if (run->next == run->accounts.size()) {
        run->done(run->allSynced);
        return;
    }
    const StoredAccount& stored = run->accounts[run->next++];
    const std::string name =
        stored.account.userName.toStdString() + " at " + stored.account.serverUrl.toStdString();
    std::string reason;
    const std::optional<std::string> password = run->setup.password(stored.id, reason);
    if (!password) {
        run->allSynced = false;
        run->setup.report(name + ": not synced, " + reason);
        QTimer::singleShot(0, [run] { syncNextAccount(run); });
        return;
    }
    ServerLogin login{stored.account.serverUrl, stored.account.userName,
                      QString::fromStdString(*password), stored.account.trustedCertificateSha256};
    run->client = std::make_unique<CardDavClient>(login);
    syncAccount(*run->client, stored.account, run->setup.dataFolder + contactsFileName(stored.id),
                run->setup.newRecords, [run, name](const AccountSyncOutcome& outcome) {
                    if (outcome.error) {
                        run->allSynced = false;
                        run->setup.report(name + ": not synced, " +
                                          outcome.error->message.toStdString());
                    } else {
                        run->setup.report(name + ": " + std::to_string(outcome.contactsChanged) +
                                          " contacts new or changed, " +
                                          std::to_string(outcome.contactsRemoved) + " gone, " +
                                          std::to_string(outcome.requests) + " requests");
                    }
                    // The client is not ended inside its own call back.
                    QTimer::singleShot(0, [run] {
                        run->client.reset();
                        syncNextAccount(run);
                    });
                });
}

} // namespace

void syncAllAccounts(const SyncAllSetup& setup, std::function<void(bool allSynced)> done) {
    auto run = std::make_shared<AllRun>();
    run->setup = setup;
    run->accounts = readAccounts(*setup.settings);
    run->done = std::move(done);
    QTimer::singleShot(0, [run] { syncNextAccount(run); });
}

} // namespace kivo::sync
