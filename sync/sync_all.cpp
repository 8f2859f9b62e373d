#include "sync/sync_all.h"

#include "core/records_file.h"
#include "sync/calendar_publish.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QPointer>
#include <QTimer>

#include <memory>

namespace kivo::sync {

namespace {

struct OneRun {
    SyncAllSetup setup;
    StoredAccount stored;
    QPointer<CardDavClient> client; // the owner's, when there is an owner
    QPointer<CalDavClient> calendarClient;
    ServerLogin login;
    RecordList records; // what the calendar gets, as the files hold it after the contacts' sync
    std::function<void(const AccountReport&)> done;

    // What the run's calls from the event loop go to: with the owner, they end with it.
    QObject* context() const { return setup.owner ? setup.owner : QCoreApplication::instance(); }
};

void finishOne(const std::shared_ptr<OneRun>& run, AccountReport report, const QString& result) {
    const std::string name = run->stored.account.userName.toStdString() + " at " +
                             run->stored.account.serverUrl.toStdString();
    report.accountId = run->stored.id;
    report.line = name + ": " + result.toStdString();
    LastSync last;
    last.time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    last.ok = report.synced;
    last.result = result;
    const LastSync& before = run->stored.last;
    report.newFailure = !report.synced && !(!before.ok && before.result == result);
    report.last = last;
    writeLastSync(*run->setup.settings, run->stored.id, last);
    // The client is not ended inside its own call back.
    QTimer::singleShot(0, run->context(), [run, report] {
        delete run->client.data();
        delete run->calendarClient.data();
        run->done(report);
    });
}

QString publishedText(const PublishOutcome& p) {
    return QStringLiteral("calendar: %1 new, %2 changed, %3 removed, %4 requests")
        .arg(p.created)
        .arg(p.changed)
        .arg(p.deleted)
        .arg(p.requests);
}

// After the contacts: the account's calendar gets the records as the files now hold them.
void publishThen(const std::shared_ptr<OneRun>& run, AccountReport report, QString result) {
    const CalendarPublishing& publishing = run->stored.account.publishing;
    if (!publishing.on || publishing.calendarUrl.isEmpty()) {
        finishOne(run, report, result);
        return;
    }
    run->records = recordsToPublish(run->setup.dataFolder);
    Categories categories = defaultCategories();
    readCategoriesFile(run->setup.dataFolder + kCategoriesFileName, categories);
    run->calendarClient = new CalDavClient(run->login, run->setup.owner);
    auto* publisher = new CalendarPublisher(
        *run->calendarClient, run->setup.dataFolder + publishedFileName(run->stored.id),
        run->calendarClient);
    publisher->start(publishing.calendarUrl,
                     wantedEvents(run->records, categories, publishing.ownRecordsOnly),
                     QDateTime::currentSecsSinceEpoch(),
                     [run, report, result](const PublishOutcome& outcome) mutable {
                         report.published = outcome;
                         if (outcome.error) {
                             report.synced = false;
                             report.error = outcome.error;
                             result = QStringLiteral("not synced. %1").arg(outcome.error->message);
                         } else {
                             result = result.isEmpty()
                                          ? publishedText(outcome)
                                          : result + QStringLiteral("; ") + publishedText(outcome);
                         }
                         finishOne(run, report, result);
                     });
}

} // namespace

RecordList recordsToPublish(const std::string& dataFolder) {
    RecordList records;
    std::string mailPath;
    readRecordsFile(dataFolder + kRecordsFileName, records, mailPath);
    const std::vector<std::string> paths = contactsFilesIn(dataFolder);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        ContactsFile file;
        bool missing = false;
        if (readContactsFile(paths[i], file, missing) == TextReadStatus::Ok)
            appendContactRecords(file, static_cast<std::int16_t>(i + 1), records);
    }
    return records;
}

void syncStoredAccount(const SyncAllSetup& setup, const StoredAccount& account,
                       std::function<void(const AccountReport&)> done) {
    auto run = std::make_shared<OneRun>();
    run->setup = setup;
    run->stored = account;
    run->done = std::move(done);
    std::string reason;
    const std::optional<std::string> password = setup.password(account.id, reason);
    if (!password) {
        finishOne(run, AccountReport{},
                  QStringLiteral("not synced. %1").arg(QString::fromStdString(reason)));
        return;
    }
    run->login = {account.account.serverUrl, account.account.userName,
                  QString::fromStdString(*password), account.account.trustedCertificateSha256};
    if (setup.publishOnly) {
        AccountReport report;
        report.synced = true;
        publishThen(run, report, QString());
        return;
    }
    run->client = new CardDavClient(run->login, setup.owner);
    syncAccount(*run->client, account.account, setup.dataFolder + contactsFileName(account.id),
                setup.newRecords, [run](const AccountSyncOutcome& outcome) {
                    AccountReport report;
                    report.outcome = outcome;
                    report.error = outcome.error;
                    report.synced = !outcome.error;
                    if (outcome.error) {
                        finishOne(run, report,
                                  QStringLiteral("not synced. %1").arg(outcome.error->message));
                        return;
                    }
                    publishThen(run, report,
                                QStringLiteral("%1 contacts new or changed, %2 gone, %3 requests")
                                    .arg(outcome.contactsChanged)
                                    .arg(outcome.contactsRemoved)
                                    .arg(outcome.requests));
                });
}

namespace {

struct AllRun {
    SyncAllSetup setup;
    std::vector<StoredAccount> accounts;
    std::size_t next = 0;
    bool allSynced = true;
    std::function<void(bool)> done;
};

void syncNextAccount(const std::shared_ptr<AllRun>& run) {
    if (run->next == run->accounts.size()) {
        run->done(run->allSynced);
        return;
    }
    syncStoredAccount(run->setup, run->accounts[run->next++], [run](const AccountReport& report) {
        run->allSynced = run->allSynced && report.synced;
        if (run->setup.report)
            run->setup.report(report);
        syncNextAccount(run);
    });
}

} // namespace

void syncAllAccounts(const SyncAllSetup& setup, std::function<void(bool allSynced)> done) {
    auto run = std::make_shared<AllRun>();
    run->setup = setup;
    run->accounts = readAccounts(*setup.settings);
    if (setup.publishOnly)
        std::erase_if(run->accounts, [](const StoredAccount& a) {
            return !a.account.publishing.on || a.account.publishing.calendarUrl.isEmpty();
        });
    run->done = std::move(done);
    QTimer::singleShot(0, setup.owner ? setup.owner : QCoreApplication::instance(),
                       [run] { syncNextAccount(run); });
}

} // namespace kivo::sync
