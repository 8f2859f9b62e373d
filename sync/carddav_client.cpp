// The CardDAV client: each step a request whose answer starts the next, the state of a discovery
// or sync carried along, the result handed over only at the end.
#include "sync/carddav_client.h"

#include "sync/multistatus.h"

#include <QXmlStreamWriter>

#include <algorithm>
#include <map>
#include <set>

namespace kivo::sync {

namespace {

// A sync report answers in pages on a big collection; more than this is a server in a loop.
constexpr int kMaxReportPages = 1000;

QString memberPath(const QUrl& url) {
    return url.path(QUrl::FullyDecoded);
}

// The address of a decoded member path on the collection's server, encoded for a request body.
QString encodedPath(const QString& decodedPath) {
    QUrl url;
    url.setPath(decodedPath, QUrl::DecodedMode);
    return url.path(QUrl::FullyEncoded);
}

QByteArray syncCollectionBody(const QString& token) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(QStringLiteral("DAV:"), QStringLiteral("d"));
    xml.writeStartElement(QStringLiteral("DAV:"), QStringLiteral("sync-collection"));
    xml.writeTextElement(QStringLiteral("DAV:"), QStringLiteral("sync-token"), token);
    xml.writeTextElement(QStringLiteral("DAV:"), QStringLiteral("sync-level"), QStringLiteral("1"));
    xml.writeStartElement(QStringLiteral("DAV:"), QStringLiteral("prop"));
    xml.writeEmptyElement(QStringLiteral("DAV:"), QStringLiteral("getetag"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

QByteArray multigetBody(const std::vector<QString>& paths) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(QStringLiteral("DAV:"), QStringLiteral("d"));
    xml.writeNamespace(kCardDavNs, QStringLiteral("card"));
    xml.writeStartElement(kCardDavNs, QStringLiteral("addressbook-multiget"));
    xml.writeStartElement(QStringLiteral("DAV:"), QStringLiteral("prop"));
    xml.writeEmptyElement(QStringLiteral("DAV:"), QStringLiteral("getetag"));
    xml.writeEmptyElement(kCardDavNs, QStringLiteral("address-data"));
    xml.writeEndElement();
    for (const QString& path : paths)
        xml.writeTextElement(QStringLiteral("DAV:"), QStringLiteral("href"), encodedPath(path));
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

SyncError notAddressBookServer(const QUrl& url, const QString& why) {
    return syncError(
        SyncErrorKind::NotAddressBookServer,
        QStringLiteral("The server at %1 is not an address book (CardDAV) server.").arg(url.host()),
        why);
}

} // namespace

struct CardDavClient::Sync {
    std::function<void(const SyncResult&)> done;
    AddressBook book;
    QUrl url;
    AddressBookChanges changes;
    std::map<QString, QString> toFetch; // path -> ETag the listing gave
    std::set<QString> listed;           // members seen by a full listing
    std::vector<QString> pending;       // paths still to fetch, in order
    std::size_t fetched = 0;
    int pages = 0;

    void finish(std::optional<SyncError> e) {
        SyncResult result;
        if (e)
            result.error = std::move(e);
        else
            result.changes = std::move(changes);
        done(result);
    }
};

void AddressBookChanges::applyTo(AddressBook& book) const {
    book.syncToken = syncToken;
    for (const QString& href : removed)
        book.etags.erase(href);
    for (const ServerCard& c : changed)
        book.etags[c.href] = c.etag;
}

CardDavClient::CardDavClient(ServerLogin login, QObject* parent)
    : QObject(parent), session_(std::move(login)) {
    connect(&session_, &DavSession::requestFinished, this, &CardDavClient::requestFinished);
}

// The session, going with the client, ends a sync still running without its callback.
CardDavClient::~CardDavClient() = default;

// Discovery ------------------------------------------------------------------------------------

void CardDavClient::discover(std::function<void(const DiscoveryResult&)> done) {
    session_.findHome(
        {QStringLiteral("/.well-known/carddav"),
         {kCardDavNs, QStringLiteral("addressbook-home-set")},
         &DavProperties::addressBookHomeSet,
         &DavProperties::isAddressBook,
         {davName("resourcetype"), davName("displayname"), davName("supported-report-set")}},
        [this, done](const DavHomeFound& found) {
            if (found.home) {
                listHome(done, *found.home);
                return;
            }
            DiscoveryResult result;
            result.error = found.error;
            // The address given was an address book: that one at least is there.
            if (found.given && !found.error)
                result.addressBooks.push_back({found.given->href.toString(QUrl::FullyEncoded),
                                               found.given->found().displayName.value_or(QString()),
                                               false,
                                               found.given->found().supportsSyncCollection,
                                               {},
                                               {}});
            else if (!found.error)
                result.error = notAddressBookServer(found.where, found.problem);
            done(result);
        });
}

void CardDavClient::listHome(std::function<void(const DiscoveryResult&)> done, const QUrl& home) {
    session_.send({DavRequest::Propfind, "PROPFIND", home, "1",
                   propfindBody({davName("resourcetype"), davName("displayname"),
                                 davName("supported-report-set")})},
                  [done](const Answer& a) {
                      DiscoveryResult result;
                      if (a.error) {
                          result.error = a.error;
                          done(result);
                          return;
                      }
                      QString why;
                      const auto ms =
                          a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
                      if (!ms) {
                          result.error = a.status == 207 ? unreadable(a.url, why)
                                                         : serverError(a.url, a.status);
                          done(result);
                          return;
                      }
                      for (const DavResponse& r : ms->responses) {
                          const DavProperties p = r.found();
                          if (p.isAddressBook)
                              result.addressBooks.push_back({r.href.toString(QUrl::FullyEncoded),
                                                             p.displayName.value_or(QString()),
                                                             false,
                                                             p.supportsSyncCollection,
                                                             {},
                                                             {}});
                      }
                      done(result);
                  });
}

// Sync -----------------------------------------------------------------------------------------

void CardDavClient::syncAddressBook(const AddressBook& book,
                                    std::function<void(const SyncResult&)> done) {
    auto s = std::make_shared<Sync>();
    s->done = std::move(done);
    s->book = book;
    s->url = QUrl(book.url, QUrl::StrictMode);
    if (book.supportsSyncCollection)
        reportChanges(s, book.syncToken);
    else
        listCollection(s);
}

void CardDavClient::reportChanges(std::shared_ptr<Sync> s, const QString& token) {
    session_.send(
        {DavRequest::SyncCollection, "REPORT", s->url, "0", syncCollectionBody(token)},
        [this, s, token](const Answer& a) {
            if (a.error) {
                s->finish(a.error);
                return;
            }
            if ((a.status == 403 || a.status == 409) &&
                hasDavPrecondition(a.body, QStringLiteral("valid-sync-token"))) {
                // The server no longer knows the token: everything is listed and compared.
                s->changes = {};
                s->toFetch.clear();
                listCollection(s);
                return;
            }
            if (a.status != 207) {
                // A server that does not answer the report at all is listed instead.
                if (a.status == 400 || a.status == 403 || a.status == 405 || a.status == 501)
                    listCollection(s);
                else
                    s->finish(serverError(a.url, a.status));
                return;
            }
            QString why;
            const auto ms = readMultistatus(a.body, a.url, &why);
            if (!ms || !ms->syncToken || ms->syncToken->isEmpty()) {
                s->finish(unreadable(a.url, ms ? QStringLiteral("no sync-token") : why));
                return;
            }
            const QString self = collectionPath(s->url);
            bool truncated = false;
            for (const DavResponse& r : ms->responses) {
                const QString path = memberPath(r.href);
                if (collectionPath(r.href) == self) {
                    truncated = truncated || r.status == 507; // more to come with the new token
                    continue;
                }
                if (!path.startsWith(self))
                    continue;
                if (r.status == 404) {
                    s->toFetch.erase(path);
                    s->listed.erase(path);
                    if (s->book.etags.count(path))
                        s->changes.removed.push_back(path);
                    continue;
                }
                const DavProperties p = r.found();
                if (!p.etag || p.isCollection)
                    continue;
                s->listed.insert(path);
                const auto known = s->book.etags.find(path);
                if (known == s->book.etags.end() || known->second != *p.etag)
                    s->toFetch[path] = *p.etag;
                else
                    s->toFetch.erase(path);
            }
            s->changes.syncToken = *ms->syncToken;
            if (truncated && ++s->pages < kMaxReportPages && *ms->syncToken != token) {
                reportChanges(s, *ms->syncToken);
                return;
            }
            if (s->book.syncToken.isEmpty()) {
                // A report without a token lists every member: whatever it left out is gone.
                s->changes.listedInFull = true;
                for (const auto& [path, etag] : s->book.etags)
                    if (!s->listed.count(path))
                        s->changes.removed.push_back(path);
            }
            fetchNextBatch(s);
        });
}

void CardDavClient::listCollection(std::shared_ptr<Sync> s) {
    session_.send(
        {DavRequest::Propfind, "PROPFIND", s->url, "1",
         propfindBody({davName("getetag"), davName("resourcetype"), davName("sync-token")})},
        [this, s](const Answer& a) {
            if (a.error) {
                s->finish(a.error);
                return;
            }
            if (a.status == 404) {
                s->finish(
                    syncError(SyncErrorKind::ServerError,
                              QStringLiteral("The address book is no longer on the server."),
                              QStringLiteral("%1 answered 404").arg(a.url.toDisplayString())));
                return;
            }
            if (a.status == 405 || a.status == 501) {
                // No WebDAV there at all.
                s->finish(notAddressBookServer(a.url, QStringLiteral("PROPFIND %1 answered %2")
                                                          .arg(a.url.toDisplayString())
                                                          .arg(a.status)));
                return;
            }
            QString why;
            const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
            if (!ms) {
                s->finish(a.status == 207 ? unreadable(a.url, why) : serverError(a.url, a.status));
                return;
            }
            const QString self = collectionPath(s->url);
            std::set<QString> listed;
            for (const DavResponse& r : ms->responses) {
                const DavProperties p = r.found();
                if (collectionPath(r.href) == self) {
                    s->changes.syncToken = p.syncToken.value_or(QString());
                    continue;
                }
                const QString path = memberPath(r.href);
                if (!path.startsWith(self) || p.isCollection || !p.etag)
                    continue;
                listed.insert(path);
                const auto known = s->book.etags.find(path);
                if (known == s->book.etags.end() || known->second != *p.etag)
                    s->toFetch[path] = *p.etag;
            }
            for (const auto& [path, etag] : s->book.etags)
                if (!listed.count(path))
                    s->changes.removed.push_back(path);
            s->changes.listedInFull = true;
            fetchNextBatch(s);
        });
}

void CardDavClient::fetchNextBatch(std::shared_ptr<Sync> s) {
    if (s->pending.empty() && s->fetched == 0)
        for (const auto& [path, etag] : s->toFetch)
            s->pending.push_back(path);
    if (s->fetched >= s->pending.size()) {
        s->finish(std::nullopt);
        return;
    }
    const std::size_t end = std::min(s->pending.size(), s->fetched + kMultigetBatch);
    std::vector<QString> batch(s->pending.begin() + static_cast<std::ptrdiff_t>(s->fetched),
                               s->pending.begin() + static_cast<std::ptrdiff_t>(end));
    s->fetched = end;
    session_.send(
        {DavRequest::Multiget, "REPORT", s->url, "0", multigetBody(batch)},
        [this, s, batch](const Answer& a) {
            if (a.error) {
                s->finish(a.error);
                return;
            }
            QString why;
            const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
            if (!ms) {
                s->finish(a.status == 207 ? unreadable(a.url, why) : serverError(a.url, a.status));
                return;
            }
            std::set<QString> wanted(batch.begin(), batch.end());
            for (const DavResponse& r : ms->responses) {
                const QString path = memberPath(r.href);
                if (!wanted.erase(path))
                    continue;
                const DavProperties p = r.found();
                if (p.addressData) {
                    // The ETag that goes with these bytes, if the server says; else the listing's.
                    s->changes.changed.push_back(
                        {path, p.etag.value_or(s->toFetch[path]), *p.addressData});
                } else if (r.status == 404 ||
                           std::any_of(r.propStats.begin(), r.propStats.end(),
                                       [](const DavPropStat& ps) { return ps.status == 404; })) {
                    // Deleted since the listing.
                    if (s->book.etags.count(path))
                        s->changes.removed.push_back(path);
                } else {
                    s->finish(unreadable(a.url, QStringLiteral("no card for %1").arg(path)));
                    return;
                }
            }
            if (!wanted.empty()) {
                s->finish(unreadable(
                    a.url, QStringLiteral("%1 cards asked for were not in the answer, %2 the first")
                               .arg(wanted.size())
                               .arg(*wanted.begin())));
                return;
            }
            fetchNextBatch(s);
        });
}

} // namespace kivo::sync
