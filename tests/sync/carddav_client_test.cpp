// The CardDAV client against a real Radicale on 127.0.0.1: discovery, first and incremental
// syncs with their request counts, the full listing when the token is gone, each kind of error,
// and cards of every date form written by python3-vobject.
#include "sync/carddav_client.h"
#include "sync/contact_records.h"
#include "tests/sync/radicale_server.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace kivo::sync {
namespace {

using test::RadicaleServer;
using test::waitFor;

const QString kBook = QStringLiteral("/alice/contacts/");

QByteArray cardJson(const QString& uid, const QString& name, const QString& bday) {
    return QStringLiteral(R"({"uid": "%1", "fn": "%2", "bday": "%3"})")
        .arg(uid, name, bday)
        .toUtf8();
}

class CardDavSync : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.error().toStdString(); }

    ServerLogin login(QString password = QString::fromLatin1(RadicaleServer::kPassword)) const {
        return {server.origin(),
                QString::fromLatin1(RadicaleServer::kUser),
                std::move(password),
                {},
                30000};
    }
    AddressBook book(QString path = kBook) const {
        AddressBook b;
        b.url = server.origin() + path;
        b.supportsSyncCollection = true;
        return b;
    }
    SyncResult sync(CardDavClient& client, const AddressBook& b) {
        return waitFor<SyncResult>([&](auto done) { client.syncAddressBook(b, done); });
    }
    // Puts cards written by vobject; the href is the UID with ".vcf".
    void putCards(const std::vector<QByteArray>& specs, const QString& into = kBook) {
        const auto cards = test::vobjectCards(specs);
        if (cards.size() > 10) {
            // Many at once: the whole address book in one request (Radicale names each card
            // after its UID all the same).
            QByteArray all;
            for (const QByteArray& card : cards)
                all += card;
            ASSERT_EQ(server.put(into, all), 201);
            return;
        }
        for (std::size_t i = 0; i < cards.size(); ++i) {
            const QString uid = QString::fromUtf8(specs[i]).section(QLatin1Char('"'), 3, 3);
            ASSERT_EQ(server.put(into + uid + ".vcf", cards[i]), 201) << uid.toStdString();
        }
    }

    RadicaleServer server;
};

// Paths of the changed contacts, sorted.
std::vector<QString> changedPaths(const AddressBookChanges& c) {
    std::vector<QString> paths;
    for (const ServerContact& contact : c.changed)
        paths.push_back(contact.href);
    std::sort(paths.begin(), paths.end());
    return paths;
}

std::vector<QString> sorted(std::vector<QString> v) {
    std::sort(v.begin(), v.end());
    return v;
}

TEST_F(CardDavSync, DiscoveryFromAnyAddressOnTheServer) {
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
    ASSERT_EQ(
        server.mkAddressBook(QStringLiteral("/alice/family/"), QStringLiteral("Family & Friends")),
        201);
    // A collection that is no address book is not offered.
    ASSERT_EQ(server.mkAddressBook(QStringLiteral("/alice/dates/"), QStringLiteral("Calendar"),
                                   "CAL:calendar"),
              201);

    struct Case {
        QString start;
        int requests; // PROPFINDs, redirects included
    };
    const Case cases[] = {
        // The bare host: /.well-known/carddav, its redirect to "/", principal, home.
        {server.origin(), 4},
        {server.origin() + "/", 4},
        // An address with a path is asked first: the principal's names its home at once.
        {server.origin() + "/alice/", 2},
        {server.origin() + kBook, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start.toStdString());
        ServerLogin l = login();
        l.serverUrl = c.start;
        CardDavClient client(l);
        const auto result = waitFor<DiscoveryResult>([&](auto done) { client.discover(done); });
        ASSERT_FALSE(result.error) << result.error->detail.toStdString();
        std::map<QString, QString> names;
        for (const AddressBook& b : result.addressBooks) {
            EXPECT_TRUE(b.supportsSyncCollection);
            EXPECT_FALSE(b.chosen);
            names[b.url] = b.displayName;
        }
        EXPECT_EQ(names,
                  (std::map<QString, QString>{
                      {server.origin() + kBook, QStringLiteral("Contacts")},
                      {server.origin() + "/alice/family/", QStringLiteral("Family & Friends")}}));
        EXPECT_EQ(client.requestCount(), c.requests);
        EXPECT_EQ(client.requestCount(DavRequest::Propfind), c.requests);
    }
}

TEST_F(CardDavSync, ChangesOnTheServerAreSeenWithOneReport) {
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
    // More cards than one multiget takes, so that the first sync fetches in batches.
    std::vector<QByteArray> specs;
    for (int i = 0; i < 2 * CardDavClient::kMultigetBatch + 5; ++i)
        specs.push_back(cardJson(QStringLiteral("c%1").arg(i, 3, 10, QLatin1Char('0')),
                                 QStringLiteral("Person %1").arg(i), QStringLiteral("1980-01-15")));
    putCards(specs);

    CardDavClient client(login());
    AddressBook state = book();
    SyncResult first = sync(client, state);
    ASSERT_FALSE(first.error) << first.error->detail.toStdString();
    EXPECT_EQ(first.changes.changed.size(), specs.size());
    EXPECT_TRUE(first.changes.removed.empty());
    EXPECT_TRUE(first.changes.listedInFull);
    EXPECT_EQ(client.requestCount(DavRequest::SyncCollection), 1);
    EXPECT_EQ(client.requestCount(DavRequest::Multiget), 3);
    EXPECT_EQ(client.requestCount(DavRequest::Propfind), 0);
    first.changes.applyTo(state);

    struct Step {
        const char* what;
        std::vector<QByteArray> put;  // new or changed cards
        std::vector<QString> deleted; // UIDs
        std::vector<QString> changed; // paths expected changed
        std::vector<QString> removed; // paths expected removed
    };
    const Step steps[] = {
        {"nothing changed", {}, {}, {}, {}},
        {"one added", {cardJson("new", "Newcomer", "--0415")}, {}, {kBook + "new.vcf"}, {}},
        {"one changed",
         {cardJson("c007", "Person Seven", "1981-02-16")},
         {},
         {kBook + "c007.vcf"},
         {}},
        {"one deleted", {}, {"c010"}, {}, {kBook + "c010.vcf"}},
        {"added, changed and deleted at once",
         {cardJson("c020", "Person Twenty", "1990-12-31"),
          cardJson("late", "Late Comer", "2000-02-29")},
         {"c021", "new"},
         {kBook + "c020.vcf", kBook + "late.vcf"},
         {kBook + "c021.vcf", kBook + "new.vcf"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        putCards(step.put);
        for (const QString& uid : step.deleted)
            ASSERT_EQ(server.remove(kBook + uid + ".vcf"), 200);
        CardDavClient next(login());
        const SyncResult r = sync(next, state);
        ASSERT_FALSE(r.error) << r.error->detail.toStdString();
        EXPECT_EQ(changedPaths(r.changes), sorted(step.changed));
        EXPECT_EQ(sorted(r.changes.removed), sorted(step.removed));
        EXPECT_FALSE(r.changes.listedInFull);
        // The token moves on with every change, and stays when there was none.
        EXPECT_EQ(r.changes.syncToken == state.syncToken, step.put.empty() && step.deleted.empty());
        EXPECT_EQ(next.requestCount(DavRequest::SyncCollection), 1);
        EXPECT_EQ(next.requestCount(DavRequest::Multiget), step.changed.empty() ? 0 : 1);
        EXPECT_EQ(next.requestCount(), next.requestCount(DavRequest::SyncCollection) +
                                           next.requestCount(DavRequest::Multiget));
        // The card that came is the one written now.
        for (const ServerContact& c : r.changes.changed)
            EXPECT_TRUE(
                c.vcard.contains(QStringLiteral("UID:") + c.href.section('/', -1).chopped(4)))
                << c.vcard.toStdString();
        r.changes.applyTo(state);
        // What the state now knows is what the server holds: a listing finds nothing new.
        AddressBook listed = state;
        listed.supportsSyncCollection = false;
        CardDavClient lister(login());
        const SyncResult check = sync(lister, listed);
        ASSERT_FALSE(check.error);
        EXPECT_TRUE(check.changes.changed.empty() && check.changes.removed.empty());
        EXPECT_EQ(lister.requestCount(), 1);
    }
}

TEST_F(CardDavSync, FullListingWhenTheTokenIsNotKnown) {
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
    putCards({cardJson("a", "Anna", "1970-01-01"), cardJson("b", "Bert", "1971-02-02"),
              cardJson("c", "Cleo", "1972-03-03")});
    CardDavClient first(login());
    AddressBook state = book();
    sync(first, state).changes.applyTo(state);
    ASSERT_EQ(state.etags.size(), 3u);
    // Since then: "b" changed, "c" deleted, "d" added; the state also remembers a contact the
    // server never had.
    putCards({cardJson("b", "Bert", "1971-02-03"), cardJson("d", "Dora", "1973-04-04")});
    ASSERT_EQ(server.remove(kBook + "c.vcf"), 200);
    state.etags[kBook + "ghost.vcf"] = QStringLiteral("\"old\"");

    struct Case {
        const char* what;
        QString token;
        bool supportsSyncCollection;
        int reports, propfinds;
    };
    const Case cases[] = {
        {"a token the server never gave", QStringLiteral("http://radicale.org/ns/sync/0000"), true,
         1, 1},
        {"a server without sync-collection", state.syncToken, false, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AddressBook b = state;
        b.syncToken = c.token;
        b.supportsSyncCollection = c.supportsSyncCollection;
        CardDavClient client(login());
        const SyncResult r = sync(client, b);
        ASSERT_FALSE(r.error) << r.error->detail.toStdString();
        EXPECT_TRUE(r.changes.listedInFull);
        EXPECT_EQ(changedPaths(r.changes),
                  (std::vector<QString>{kBook + "b.vcf", kBook + "d.vcf"}));
        EXPECT_EQ(sorted(r.changes.removed),
                  (std::vector<QString>{kBook + "c.vcf", kBook + "ghost.vcf"}));
        EXPECT_EQ(client.requestCount(DavRequest::SyncCollection), c.reports);
        EXPECT_EQ(client.requestCount(DavRequest::Propfind), c.propfinds);
        EXPECT_EQ(client.requestCount(DavRequest::Multiget), 1);
        // The listing brings a token the server knows: the next sync is a report again.
        AddressBook after = b;
        r.changes.applyTo(after);
        after.supportsSyncCollection = true;
        CardDavClient again(login());
        const SyncResult quiet = sync(again, after);
        ASSERT_FALSE(quiet.error);
        EXPECT_TRUE(quiet.changes.changed.empty() && quiet.changes.removed.empty());
        EXPECT_EQ(again.requestCount(), 1);
    }
}

// A server on 127.0.0.1 that takes connections and never answers.
class SilentServer {
public:
    SilentServer() {
        server_.listen(QHostAddress::LocalHost);
        QObject::connect(&server_, &QTcpServer::newConnection, &server_, [this] {
            while (QTcpSocket* s = server_.nextPendingConnection())
                s->setParent(&server_);
        });
    }
    quint16 port() const { return server_.serverPort(); }

private:
    QTcpServer server_;
};

TEST_F(CardDavSync, ErrorsHaveTheirKindAndChangeNothing) {
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
    putCards({cardJson("a", "Anna", "1970-01-01"), cardJson("b", "Bert", "1971-02-02")});

    SilentServer silent;
    test::PlainWebServer web;
    // A port nobody listens on: taken from the system, then let go.
    quint16 closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    struct Case {
        const char* what;
        QString url;
        QString password;
        SyncErrorKind kind;
        int timeoutMs = 60000; // Radicale answers a wrong password after a pause of its own
    };
    const QString password = QString::fromLatin1(RadicaleServer::kPassword);
    const Case cases[] = {
        {"wrong password", server.origin(), QStringLiteral("guess"), SyncErrorKind::WrongPassword},
        {"nothing listening", QStringLiteral("http://127.0.0.1:%1").arg(closedPort), password,
         SyncErrorKind::CannotConnect},
        {"no answer", QStringLiteral("http://127.0.0.1:%1").arg(silent.port()), password,
         SyncErrorKind::Timeout, 500},
        {"a web server, no address books", QStringLiteral("http://127.0.0.1:%1/").arg(web.port()),
         password, SyncErrorKind::NotAddressBookServer},
        {"TLS to a plain server", QStringLiteral("127.0.0.1:%1").arg(server.port()), password,
         SyncErrorKind::CannotConnect},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ServerLogin l = login(c.password);
        l.serverUrl = c.url;
        l.timeoutMs = c.timeoutMs;
        CardDavClient discovering(l);
        const auto found = waitFor<DiscoveryResult>([&](auto done) { discovering.discover(done); });
        ASSERT_TRUE(found.error);
        EXPECT_EQ(found.error->kind, c.kind) << found.error->detail.toStdString();
        EXPECT_FALSE(found.error->message.isEmpty());
        EXPECT_TRUE(found.addressBooks.empty());
        // Neither message nor detail ever shows the password.
        EXPECT_FALSE(found.error->message.contains(c.password) ||
                     found.error->detail.contains(c.password));

        CardDavClient syncing(l);
        AddressBook b = book();
        b.url = QUrl(c.url.contains("://") ? c.url : "https://" + c.url)
                    .resolved(QUrl(kBook))
                    .toString();
        const SyncResult r = sync(syncing, b);
        ASSERT_TRUE(r.error);
        EXPECT_EQ(r.error->kind, c.kind) << r.error->detail.toStdString();
        EXPECT_TRUE(r.changes.changed.empty() && r.changes.removed.empty() &&
                    r.changes.syncToken.isEmpty());
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
    EXPECT_TRUE(cut.changes.changed.empty() && cut.changes.removed.empty() &&
                cut.changes.syncToken.isEmpty());
    EXPECT_EQ(client.requestCount(DavRequest::Multiget), 1);
}

TEST_F(CardDavSync, CardsOfEveryDateFormBecomeRecords) {
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
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
    });
    CardDavClient client(login());
    const SyncResult r = sync(client, book());
    ASSERT_FALSE(r.error);
    ASSERT_EQ(r.changes.changed.size(), 8u);

    struct Want {
        std::string uid, occasion, name, email;
        int year, month, day, type;
        bool operator==(const Want&) const = default;
    };
    const int B = Birthday, A = AnnualEventWithStart;
    std::vector<Want> want = {
        {"apple-bare", "birthday", "Bare Sixteen", "", 0, 3, 1, B},
        {"apple-bare", "anniversary", "Bare Sixteen (Anniversary)", "", 2015, 9, 12, A},
        {"apple-bare", "Name day", "Bare Sixteen (Name day)", "", 0, 11, 3, A},
        {"apple-omit", "birthday", "Omit Param", "", 0, 12, 24, B},
        {"leap-noyear", "birthday", "Leap Noyear", "", 0, 2, 29, B},
        {"leap-year", "birthday", "Leap Year", "", 1988, 2, 29, B},
        {"v3-full", "birthday", "Vera Three", "vera@example.com", 1975, 5, 20, B},
        {"v3-full", "anniversary", "Vera Three (Anniversary)", "vera@example.com", 2001, 6, 30, A},
        {"v4-compact", "birthday", "Four Compact", "", 0, 4, 15, B},
        {"v4-dashes", "birthday", "Four Dashes", "", 0, 4, 15, B},
        {"v4-dashes", "anniversary", "Four Dashes (Anniversary)", "", 2010, 6, 12, A},
    };
    PersonRecord defaults;
    defaults.icon = 3;
    defaults.daysInAdvance = 9;
    std::vector<Want> got;
    std::vector<ServerContact> contacts = r.changes.changed;
    std::sort(contacts.begin(), contacts.end(),
              [](const auto& a, const auto& b) { return a.href < b.href; });
    for (const ServerContact& c : contacts)
        for (const ContactRecord& cr :
             contactRecords(c.vcard.toStdString(), defaults, "Anniversary")) {
            EXPECT_EQ(cr.record.icon, 3);
            EXPECT_EQ(cr.record.daysInAdvance, 9);
            got.push_back({cr.uid, cr.occasion, cr.record.name, cr.record.email, cr.record.year,
                           cr.record.month, cr.record.day, cr.record.type});
        }
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i)
        EXPECT_TRUE(got[i] == want[i])
            << i << ": " << got[i].uid << " " << got[i].occasion << " " << got[i].name << " "
            << got[i].year << "-" << got[i].month << "-" << got[i].day;
}

TEST(CardDavTls, SelfSignedCertificateIsTrustedOnlyByItsFingerprint) {
    RadicaleServer server;
    ASSERT_TRUE(server.start(true)) << server.error().toStdString();
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Contacts")), 201);
    struct Case {
        const char* what;
        QString trusted;
        bool found;
    };
    QString otherFingerprint = server.certificateSha256();
    otherFingerprint[0] =
        otherFingerprint[0] == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
    const Case cases[] = {
        {"nothing trusted", {}, false},
        {"another certificate trusted", otherFingerprint, false},
        {"this certificate trusted", server.certificateSha256().toUpper(), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // A bare host and port: https.
        CardDavClient client({QStringLiteral("127.0.0.1:%1").arg(server.port()),
                              QString::fromLatin1(RadicaleServer::kUser),
                              QString::fromLatin1(RadicaleServer::kPassword), c.trusted, 30000});
        const auto result = waitFor<DiscoveryResult>([&](auto done) { client.discover(done); });
        if (c.found) {
            ASSERT_FALSE(result.error) << result.error->detail.toStdString();
            ASSERT_EQ(result.addressBooks.size(), 1u);
            EXPECT_EQ(result.addressBooks[0].url, server.origin() + kBook);
        } else {
            ASSERT_TRUE(result.error);
            EXPECT_EQ(result.error->kind, SyncErrorKind::UntrustedCertificate);
            EXPECT_EQ(result.error->certificateSha256, server.certificateSha256());
            EXPECT_TRUE(result.error->message.contains(server.certificateSha256()));
            EXPECT_EQ(client.requestCount(), 1);
        }
    }
}

} // namespace
} // namespace kivo::sync
