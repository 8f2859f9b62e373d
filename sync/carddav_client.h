// The CardDAV client: finds a user's address books on a server and reads what changed in one
// since the last sync, asynchronously on Qt Network.
#pragma once

#include "sync/account.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QNetworkReply;

namespace kivo::sync {

// What went wrong, in the few kinds a user can act on.
enum class SyncErrorKind {
    WrongPassword,        // 401: user name or password refused
    NoSuchServer,         // the host name does not resolve
    CannotConnect,        // refused, or the connection broke off
    Timeout,              // no answer within the transfer timeout
    UntrustedCertificate, // the system does not trust the certificate, nor did the user
    NotAddressBookServer, // no address book service found there
    ServerError,          // an error status, or an answer that does not read
};

struct SyncError {
    SyncErrorKind kind = SyncErrorKind::ServerError;
    QString message; // one sentence for the user
    QString detail;  // what happened, for a log: addresses and statuses, never the password
    // UntrustedCertificate: the SHA-256 fingerprint (hex, lower case) of the server's
    // certificate, which the user may choose to trust.
    QString certificateSha256;
};

// How to reach the server. The password is the caller's (from the keyring or asked for) and
// stays in memory only.
struct ServerLogin {
    QString serverUrl; // a bare host ("dav.example.org", https then) or any address
    QString userName;
    QString password;
    QString trustedCertificateSha256; // Account::trustedCertificateSha256
    int timeoutMs = 30000;            // for each request, from start to its last byte
};

struct DiscoveryResult {
    std::optional<SyncError> error;
    std::vector<AddressBook> addressBooks; // unchosen, without tokens
};

// A contact as the server holds it now.
struct ServerCard {
    QString href; // path on the server, percent-decoded
    QString etag;
    QString vcard;
    bool operator==(const ServerCard&) const = default;
};

// What changed in one address book since the state it was synced from.
struct AddressBookChanges {
    QString syncToken;               // to store for the next sync
    std::vector<ServerCard> changed; // added or changed, with their cards
    std::vector<QString> removed;    // hrefs of members gone from the server
    bool listedInFull = false;       // the whole collection was listed, not the changes

    // The address book as it stands after these changes: its new token and member ETags.
    void applyTo(AddressBook& book) const;
};

// A sync is all or nothing: either an error and no changes, or every change.
struct SyncResult {
    std::optional<SyncError> error;
    AddressBookChanges changes;
};

// The kinds of request made, each counted.
enum class DavRequest { Propfind, SyncCollection, Multiget };

class CardDavClient : public QObject {
    Q_OBJECT

public:
    explicit CardDavClient(ServerLogin login, QObject* parent = nullptr);
    ~CardDavClient() override;

    // Finds the user's address books: the well-known address (RFC 6764) or the one given, then
    // the current user's principal, its address book home, and the address books in it. `done`
    // is called once, later, from the event loop.
    void discover(std::function<void(const DiscoveryResult&)> done);

    // Reads what changed in `book` since its token and ETags: a sync-collection report where the
    // server has it (a full listing when it no longer knows the token), else a listing compared
    // by ETag; then the cards of what was added or changed, 100 to a request. `done` is called
    // once, later, from the event loop.
    void syncAddressBook(const AddressBook& book, std::function<void(const SyncResult&)> done);

    // Requests sent so far (a redirect followed counts as another).
    int requestCount() const;
    int requestCount(DavRequest kind) const { return counts_[static_cast<int>(kind)]; }

    // The most contacts fetched by one addressbook-multiget report.
    static constexpr int kMultigetBatch = 100;

signals:
    // After each answer (or failure: status 0), before the client acts on it.
    void requestFinished(kivo::sync::DavRequest kind, int httpStatus);

private:
    struct Request;
    struct Answer;
    struct ReplyState;
    struct Discovery;
    struct Sync;

    void send(Request request, std::function<void(const Answer&)> then);
    void sent(Request request, QNetworkReply* reply, std::function<void(const Answer&)> then,
              std::shared_ptr<ReplyState> state);

    void tryDiscoveryCandidate(std::shared_ptr<Discovery> d);
    void readPrincipal(std::shared_ptr<Discovery> d, const QUrl& principal);
    void listHome(std::shared_ptr<Discovery> d, const QUrl& home);

    void reportChanges(std::shared_ptr<Sync> s, const QString& token);
    void listCollection(std::shared_ptr<Sync> s);
    void fetchNextBatch(std::shared_ptr<Sync> s);

    ServerLogin login_;
    QNetworkAccessManager manager_;
    std::array<int, 3> counts_{};
};

} // namespace kivo::sync
