// The CardDAV client against a real Radicale on 127.0.0.1: discovery, first and incremental
// syncs with their request counts, the full listing when the token is gone, each kind of error,
// and cards of every date form written by python3-vobject.
#include "sync/account_store.h"
#include "sync/account_sync.h"
#include "sync/carddav_client.h"
#include "sync/contact_records.h"
#include "sync/contacts_file.h"
#include "sync/sync_all.h"
#include "tests/sync/radicale_server.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>

namespace kivo::sync {
namespace {

using test::RadicaleServer;
using test::waitFor;

const QString kBook = QStringLiteral("/alice/contacts/");
const QString kPassword = QString::fromLatin1(RadicaleServer::kPassword);

QByteArray cardJson(const QString& uid, const QString& bday) {
    return QStringLiteral(R"({"uid": "%1", "fn": "Person %1", "bday": "%2"})")
        .arg(uid, bday)
        .toUtf8();
}

// "b d | c": the file names (UIDs) of the contacts changed, then of those removed, each sorted.
std::string summary(const AddressBookChanges& c) {
    QStringList changed, removed;
    for (const ServerCard& contact : c.changed)
        changed << contact.href.section('/', -1).chopped(4);
    for (const QString& href : c.removed)
        removed << href.section('/', -1).chopped(4);
    changed.sort();
    removed.sort();
    return (changed.join(' ') + " | " + removed.join(' ')).toStdString();
}

class CardDavSync : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
    }

    ServerLogin login(QString url = {}, QString password = kPassword, int timeoutMs = 60000) const {
        return {url.isEmpty() ? server.origin() : url,
                QString::fromLatin1(RadicaleServer::kUser),
                password,
                {},
                timeoutMs};
    }
    AddressBook book() const {
        AddressBook b;
        b.url = server.origin() + kBook;
        b.supportsSyncCollection = true;
        return b;
    }
    SyncResult sync(CardDavClient& client, const AddressBook& b) {
        return waitFor<SyncResult>([&](auto done) { client.syncAddressBook(b, done); });
    }
    // Puts cards written by vobject; each is named after its UID.
    void putCards(const std::vector<QByteArray>& described) {
        const auto cards = test::vobjectCards(described);
        if (cards.size() > 10) {
            // Many in one request: the whole address book, which Radicale names the same way.
            ASSERT_EQ(server.put(kBook, std::accumulate(cards.begin(), cards.end(), QByteArray())),
                      201);
            return;
        }
        for (std::size_t i = 0; i < cards.size(); ++i) {
            const QString uid = QString::fromUtf8(described[i]).section(QLatin1Char('"'), 3, 3);
            ASSERT_EQ(server.put(kBook + uid + ".vcf", cards[i]), 201) << uid.toStdString();
        }
    }

    RadicaleServer server;
};

TEST_F(CardDavSync, DiscoveryFromAnyAddressOnTheServer) {
    ASSERT_EQ(server.mkAddressBook("/alice/family/", QStringLiteral("Family & Friends")), 201);
    // A collection that is no address book is not offered.
    ASSERT_EQ(server.mkAddressBook("/alice/dates/", QStringLiteral("Dates"), "CAL:calendar"), 201);
    const struct {
        QString start;
        int requests; // PROPFINDs, redirects included
    } cases[] = {
        // The bare host: /.well-known/carddav, its redirect to "/", principal, home.
        {server.origin(), 4},
        // An address with a path is asked first; the principal names its home at once.
        {server.origin() + "/alice/", 2},
        {server.origin() + kBook, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.start.toStdString());
        CardDavClient client(login(c.start));
        const auto result = waitFor<DiscoveryResult>([&](auto done) { client.discover(done); });
        ASSERT_FALSE(result.error) << result.error->detail.toStdString();
        QStringList found;
        for (const AddressBook& b : result.addressBooks)
            found << b.url + " " + b.displayName + (b.supportsSyncCollection ? " +sync" : "");
        found.sort();
        EXPECT_EQ(found, QStringList({server.origin() + kBook + " Contacts +sync",
                                      server.origin() + "/alice/family/ Family & Friends +sync"}));
        EXPECT_EQ(client.requestCount(DavRequest::Propfind), c.requests);
        EXPECT_EQ(client.requestCount(), c.requests);
    }
}

TEST_F(CardDavSync, ChangesOnTheServerAreSeenWithOneReport) {
    // More cards than one multiget takes, so that the first sync fetches in batches.
    std::vector<QByteArray> described;
    for (int i = 0; i < 2 * CardDavClient::kMultigetBatch + 5; ++i)
        described.push_back(
            cardJson(QStringLiteral("c%1").arg(i, 3, 10, QLatin1Char('0')), "1980-01-15"));
    putCards(described);
    CardDavClient client(login());
    AddressBook state = book();
    const SyncResult first = sync(client, state);
    ASSERT_FALSE(first.error) << first.error->detail.toStdString();
    EXPECT_EQ(first.changes.changed.size(), described.size());
    EXPECT_TRUE(first.changes.removed.empty() && first.changes.listedInFull);
    EXPECT_EQ(client.requestCount(DavRequest::SyncCollection), 1);
    EXPECT_EQ(client.requestCount(DavRequest::Multiget), 3);
    EXPECT_EQ(client.requestCount(), 4);
    first.changes.applyTo(state);

    const struct {
        std::vector<QByteArray> put; // new or changed cards
        QStringList deleted;
        std::string seen;
    } steps[] = {
        {{}, {}, " | "},
        {{cardJson("new", "--0415")}, {}, "new | "},
        {{cardJson("c007", "1981-02-16")}, {}, "c007 | "},
        {{}, {"c010"}, " | c010"},
        {{cardJson("c020", "1990-12-31"), cardJson("late", "2000-02-29")},
         {"c021", "new"},
         "c020 late | c021 new"},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.seen);
        putCards(step.put);
        for (const QString& uid : step.deleted)
            ASSERT_EQ(server.remove(kBook + uid + ".vcf"), 200);
        CardDavClient next(login());
        const SyncResult r = sync(next, state);
        ASSERT_FALSE(r.error) << r.error->detail.toStdString();
        EXPECT_EQ(summary(r.changes), step.seen);
        EXPECT_FALSE(r.changes.listedInFull);
        // The token moves on with every change, and stays when there was none.
        EXPECT_EQ(r.changes.syncToken == state.syncToken, step.put.empty() && step.deleted.empty());
        EXPECT_EQ(next.requestCount(DavRequest::SyncCollection), 1);
        EXPECT_EQ(next.requestCount(), r.changes.changed.empty() ? 1 : 2);
        r.changes.applyTo(state);
        // What the state now knows is what the server holds: a listing finds nothing new.
        AddressBook listed = state;
        listed.supportsSyncCollection = false;
        CardDavClient lister(login());
        EXPECT_EQ(summary(sync(lister, listed).changes), " | ");
        EXPECT_EQ(lister.requestCount(), 1);
    }
}

// The account's sync writes the contacts file once with every change, keeps what the user chose
// for a record, and writes nothing when the server fails part-way.
TEST_F(CardDavSync, AccountSyncWritesTheContactsFileWholeOrNotAtAll) {
    putCards({cardJson("anna", "1980-06-12"), cardJson("bob", "--0415")});
    QTemporaryDir folder;
    const std::string path = folder.filePath("kivo-contacts-1.ini").toStdString();
    Account account;
    account.addressBooks = {book()};
    account.addressBooks[0].chosen = true;
    NewContactRecords fresh;
    fresh.defaults.daysInAdvance = 14;
    fresh.anniversaryWord = "anniversary";
    const auto syncOnce = [&](CardDavClient& client) {
        return waitFor<AccountSyncOutcome>(
            [&](auto done) { syncAccount(client, account, path, fresh, done); });
    };
    const auto names = [&] {
        ContactsFile file;
        bool missing = false;
        readContactsFile(path, file, missing);
        std::vector<std::string> shown;
        for (const ContactRecord& r : file.records)
            shown.push_back(r.record.name + " " + std::to_string(r.record.day) + "." +
                            std::to_string(r.record.month) + " ahead " +
                            std::to_string(r.record.daysInAdvance));
        return shown;
    };

    CardDavClient first(login());
    ASSERT_FALSE(syncOnce(first).error);
    EXPECT_EQ(names(),
              (std::vector<std::string>{"Person anna 12.6 ahead 14", "Person bob 15.4 ahead 14"}));
    // The user's choice for Anna, as a run of kivo saves it.
    ContactsFile file;
    bool missing = false;
    readContactsFile(path, file, missing);
    file.records[0].record.daysInAdvance = 3;
    ASSERT_TRUE(writeContactsFile(path, file));

    putCards({cardJson("anna", "1980-06-13"), cardJson("carol", "1990-01-01")});
    ASSERT_EQ(server.remove(kBook + "bob.vcf"), 200);
    CardDavClient second(login());
    const AccountSyncOutcome changed = syncOnce(second);
    ASSERT_FALSE(changed.error) << changed.error->detail.toStdString();
    EXPECT_EQ(names(),
              (std::vector<std::string>{"Person anna 13.6 ahead 3", "Person carol 1.1 ahead 14"}));
    EXPECT_EQ(second.requestCount(DavRequest::SyncCollection), 1);
    EXPECT_EQ(second.requestCount(), 2);

    // Nothing changed: one request, and the file as it was.
    const QByteArray before = [&] {
        QFile f(QString::fromStdString(path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    CardDavClient third(login());
    ASSERT_FALSE(syncOnce(third).error);
    EXPECT_EQ(third.requestCount(), 1);

    // The server gone: an error, and the file untouched.
    putCards({cardJson("dora", "1970-03-03")});
    server.stop();
    CardDavClient fourth(login());
    EXPECT_TRUE(syncOnce(fourth).error);
    QFile after(QString::fromStdString(path));
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_EQ(after.readAll(), before);
}

// The daily timer's sync: every account in turn, the passwords asked of the keyring; an account
// without one is told and passed over, and the others sync all the same.
TEST_F(CardDavSync, EveryAccountSyncsInTurnAndOneWithoutPasswordIsTold) {
    putCards({cardJson("anna", "1980-06-12")});
    QTemporaryDir folder;
    StoredAccount noPassword{"1", {}, {}};
    noPassword.account.serverUrl = server.origin();
    StoredAccount alice{"2", {}, {}};
    alice.account.serverUrl = server.origin();
    alice.account.userName = QString::fromLatin1(RadicaleServer::kUser);
    alice.account.addressBooks = {book()};
    alice.account.addressBooks[0].chosen = true;
    MemorySettingsStore settings;
    ASSERT_TRUE(writeAccounts(settings, {noPassword, alice}));

    SyncAllSetup setup;
    setup.settings = &settings;
    setup.dataFolder = folder.path().toStdString() + "/";
    setup.password = [](const std::string& id, std::string& reason) -> std::optional<std::string> {
        if (id == "2")
            return kPassword.toStdString();
        reason = "No password in the keyring.";
        return std::nullopt;
    };
    std::vector<AccountReport> reports;
    setup.report = [&](const AccountReport& report) { reports.push_back(report); };
    const bool all = waitFor<bool>([&](auto done) { syncAllAccounts(setup, done); });
    EXPECT_FALSE(all);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].line.find("not synced. No password in the keyring"), std::string::npos);
    EXPECT_TRUE(reports[0].newFailure);
    EXPECT_NE(reports[1].line.find("1 contacts new or changed"), std::string::npos)
        << reports[1].line;
    // Each account's last sync is kept; the same failure at the next sync is not new.
    const std::vector<StoredAccount> stored = readAccounts(settings);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_FALSE(stored[0].last.ok);
    EXPECT_TRUE(stored[1].last.ok);
    EXPECT_TRUE(stored[1].last.result.startsWith(QLatin1String("1 contacts new or changed")));
    reports.clear();
    waitFor<bool>([&](auto done) { syncAllAccounts(setup, done); });
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_FALSE(reports[0].newFailure);
    ContactsFile file;
    bool missing = false;
    ASSERT_EQ(readContactsFile(setup.dataFolder + "kivo-contacts-2.ini", file, missing),
              TextReadStatus::Ok);
    ASSERT_EQ(file.records.size(), 1u);
    EXPECT_EQ(file.records[0].record.name, "Person anna");
    EXPECT_FALSE(QFile::exists(folder.filePath("kivo-contacts-1.ini")));
}

TEST_F(CardDavSync, FullListingWhenTheTokenIsNotKnown) {
    putCards(
        {cardJson("a", "1970-01-01"), cardJson("b", "1971-02-02"), cardJson("c", "1972-03-03")});
    CardDavClient first(login());
    AddressBook state = book();
    sync(first, state).changes.applyTo(state);
    ASSERT_EQ(state.etags.size(), 3u);
    // Since then: "b" changed, "c" deleted, "d" added; and the state remembers a contact the
    // server never had.
    putCards({cardJson("b", "1971-02-03"), cardJson("d", "1973-04-04")});
    ASSERT_EQ(server.remove(kBook + "c.vcf"), 200);
    state.etags[kBook + "ghost.vcf"] = QStringLiteral("\"old\"");

    const struct {
        QString token;
        bool syncCollection;
        int reports, propfinds;
    } cases[] = {
        {QStringLiteral("http://radicale.org/ns/sync/0000"), true, 1, 1}, // never given
        {state.syncToken, false, 0, 1},                                   // no report at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reports);
        AddressBook b = state;
        b.syncToken = c.token;
        b.supportsSyncCollection = c.syncCollection;
        CardDavClient client(login());
        const SyncResult r = sync(client, b);
        ASSERT_FALSE(r.error) << r.error->detail.toStdString();
        EXPECT_TRUE(r.changes.listedInFull);
        EXPECT_EQ(summary(r.changes), "b d | c ghost");
        EXPECT_EQ(client.requestCount(DavRequest::SyncCollection), c.reports);
        EXPECT_EQ(client.requestCount(DavRequest::Propfind), c.propfinds);
        EXPECT_EQ(client.requestCount(DavRequest::Multiget), 1);
        // The listing brings a token the server knows: the next sync is one report again.
        r.changes.applyTo(b);
        b.supportsSyncCollection = true;
        CardDavClient again(login());
        EXPECT_EQ(summary(sync(again, b).changes), " | ");
        EXPECT_EQ(again.requestCount(), 1);
    }
}

TEST_F(CardDavSync, ErrorsHaveTheirKindAndChangeNothing) {
    putCards({cardJson("a", "1970-01-01"), cardJson("b", "1971-02-02")});
    QTcpServer silent; // takes connections, never answers
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    test::PlainWebServer web;
    quint16 closedPort = 0; // taken from the system, then let go
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    const QString local = QStringLiteral("http://127.0.0.1:%1");
    const struct {
        ServerLogin login;
        SyncErrorKind kind;
    } cases[] = {
        // Radicale answers a wrong password after a pause of its own.
        {login({}, QStringLiteral("guess")), SyncErrorKind::WrongPassword},
        {login(local.arg(closedPort)), SyncErrorKind::CannotConnect},
        {login(local.arg(silent.serverPort()), kPassword, 500), SyncErrorKind::Timeout},
        {login(local.arg(web.port())), SyncErrorKind::NotAddressBookServer},
        // A bare host means TLS, which this server does not speak.
        {login(QStringLiteral("127.0.0.1:%1").arg(server.port())), SyncErrorKind::CannotConnect},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.login.serverUrl.toStdString());
        CardDavClient discovering(c.login);
        const auto found = waitFor<DiscoveryResult>([&](auto done) { discovering.discover(done); });
        ASSERT_TRUE(found.error);
        EXPECT_EQ(found.error->kind, c.kind) << found.error->detail.toStdString();
        EXPECT_TRUE(found.addressBooks.empty());
        // Neither message nor detail ever shows the password.
        EXPECT_FALSE(found.error->message.isEmpty() || found.error->message.contains(kPassword) ||
                     found.error->detail.contains(kPassword));

        CardDavClient syncing(c.login);
        AddressBook b = book();
        const QString origin = c.login.serverUrl;
        b.url = QUrl(origin.contains("://") ? origin : "https://" + origin)
                    .resolved(QUrl(kBook))
                    .toString();
        const SyncResult r = sync(syncing, b);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->kind, c.kind) << r.error->detail.toStdString();
        EXPECT_EQ(summary(r.changes) + r.changes.syncToken.toStdString(), " | ");
    }

    // The server goes away between the report and the cards: an error, and nothing of the report.
    CardDavClient client(login());
    QObject::connect(&client, &CardDavClient::requestFinished, &client, [&](DavRequest kind, int) {
        if (kind == DavRequest::SyncCollection)
            server.stop();
    });
    const SyncResult cut = sync(client, book());
    ASSERT_TRUE(cut.error);
    EXPECT_EQ(cut.error->kind, SyncErrorKind::CannotConnect) << cut.error->detail.toStdString();
    EXPECT_EQ(summary(cut.changes) + cut.changes.syncToken.toStdString(), " | ");
    EXPECT_EQ(client.requestCount(DavRequest::Multiget), 1);
}

TEST_F(CardDavSync, CardsOfEveryDateFormBecomeRecords) {
    putCards({
        R"({"uid": "v3-full", "fn": "Vera Three", "bday": "1975-05-20", "email": "vera@example.com",
            "x_anniversary": "2001-06-30"})",
        R"({"uid": "v4-dashes", "fn": "Four Dashes", "version": "4.0", "bday": "--04-15",
            "anniversary": "20100612"})",
        R"({"uid": "v4-compact", "fn": "Four Compact", "version": "4.0", "bday": "--0415"})",
        R"({"uid": "apple-omit", "fn": "Omit Param", "bday": "1604-12-24",
            "bday_params": {"X-APPLE-OMIT-YEAR": "1604"}})",
        R"({"uid": "apple-bare", "fn": "Bare Sixteen", "bday": "1604-03-01",
            "abdates": [["2015-09-12", "_$!<Anniversary>!$_"], ["1604-11-03", "Name day"]]})",
        R"({"uid": "leap-year", "fn": "Leap Year", "bday": "1988-02-29"})",
        R"({"uid": "leap-noyear", "fn": "Leap Noyear", "version": "4.0", "bday": "--0229"})",
        R"({"uid": "no-date", "fn": "No Date"})",
        R"({"uid": "twice", "fn": "Twice Named", "abdates": [["2001-06-06", "Name day"],
            ["2002-07-07", "Name day"], ["2003-08-08", ""]]})",
    });
    CardDavClient client(login());
    SyncResult r = sync(client, book());
    ASSERT_FALSE(r.error);
    ASSERT_EQ(r.changes.changed.size(), 9u);
    std::sort(r.changes.changed.begin(), r.changes.changed.end(),
              [](const auto& a, const auto& b) { return a.href < b.href; });
    PersonRecord defaults;
    defaults.daysInAdvance = 9;
    std::vector<std::string> got;
    for (const ServerCard& c : r.changes.changed) {
        const ServerContact contact = contactOfCard(c.href.toStdString(), c.etag.toStdString(),
                                                    c.vcard.toStdString(), defaults, "Anniversary");
        EXPECT_EQ(contact.href + contact.etag, (c.href + c.etag).toStdString());
        for (const ContactDate& date : contact.dates) {
            const PersonRecord& p = date.record;
            got.push_back(contact.uid + "|" + date.kind + "|" + p.name + "|" + p.email + "|" +
                          std::to_string(p.year) + "-" + std::to_string(p.month) + "-" +
                          std::to_string(p.day) + "|" + std::to_string(p.type) + "|" +
                          std::to_string(p.daysInAdvance));
        }
    }
    EXPECT_EQ(got,
              (std::vector<std::string>{
                  "apple-bare|BDAY|Bare Sixteen||0-3-1|0|9",
                  "apple-bare|ANNIVERSARY|Bare Sixteen (Anniversary)||2015-9-12|3|9",
                  "apple-bare|X-ABDATE:Name day|Bare Sixteen (Name day)||0-11-3|3|9",
                  "apple-omit|BDAY|Omit Param||0-12-24|0|9",
                  "leap-noyear|BDAY|Leap Noyear||0-2-29|0|9",
                  "leap-year|BDAY|Leap Year||1988-2-29|0|9",
                  // Each record says which date of its contact it is, once.
                  "twice|X-ABDATE:Name day|Twice Named (Name day)||2001-6-6|3|9",
                  "twice|X-ABDATE:Name day #2|Twice Named (Name day)||2002-7-7|3|9",
                  "twice|ANNIVERSARY|Twice Named (Anniversary)||2003-8-8|3|9",
                  "v3-full|BDAY|Vera Three|vera@example.com|1975-5-20|0|9",
                  "v3-full|ANNIVERSARY|Vera Three (Anniversary)|vera@example.com|2001-6-30|3|9",
                  "v4-compact|BDAY|Four Compact||0-4-15|0|9",
                  "v4-dashes|BDAY|Four Dashes||0-4-15|0|9",
                  "v4-dashes|ANNIVERSARY|Four Dashes (Anniversary)||2010-6-12|3|9",
              }));
}

TEST(CardDavTls, SelfSignedCertificateIsTrustedOnlyByItsFingerprint) {
    RadicaleServer server;
    ASSERT_TRUE(server.start(true)) << server.error().toStdString();
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
    const QString mine = server.certificateSha256();
    QString other = mine;
    other[0] = other[0] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
    for (const QString& trusted : {QString(), other, mine.toUpper()}) {
        SCOPED_TRACE(trusted.toStdString());
        // A bare host and port: https.
        CardDavClient client({QStringLiteral("127.0.0.1:%1").arg(server.port()),
                              QString::fromLatin1(RadicaleServer::kUser), kPassword, trusted,
                              60000});
        const auto result = waitFor<DiscoveryResult>([&](auto done) { client.discover(done); });
        if (trusted == mine.toUpper()) {
            ASSERT_FALSE(result.error) << result.error->detail.toStdString();
            ASSERT_EQ(result.addressBooks.size(), 1u);
            EXPECT_EQ(result.addressBooks[0].url, server.origin() + kBook);
        } else {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->kind, SyncErrorKind::UntrustedCertificate);
            EXPECT_EQ(result.error->certificateSha256, mine);
            EXPECT_TRUE(result.error->message.contains(mine));
            EXPECT_EQ(client.requestCount(), 1);
        }
    }
}

} // namespace
} // namespace kivo::sync
