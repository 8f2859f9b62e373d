// The CardDAV client: finds a user's address books on a server and reads what changed in one
// since the last sync, asynchronously on Qt Network.
#pragma once

#include "sync/account.h"
#include "sync/dav_session.h"

#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kivo::sync {

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
    int requestCount() const { return session_.requestCount(); }
    int requestCount(DavRequest kind) const { return session_.requestCount(kind); }

    // The most contacts fetched by one addressbook-multiget report.
    static constexpr int kMultigetBatch = 100;

signals:
    // After each answer (or failure: status 0), before the client acts on it.
    void requestFinished(kivo::sync::DavRequest kind, int httpStatus);

private:
    using Answer = DavSession::Answer;
    struct Sync;

    void listHome(std::function<void(const DiscoveryResult&)> done, const QUrl& home);

    void reportChanges(std::shared_ptr<Sync> s, const QString& token);
    void listCollection(std::shared_ptr<Sync> s);
    void fetchNextBatch(std::shared_ptr<Sync> s);

    DavSession session_;
};

} // namespace kivo::sync
