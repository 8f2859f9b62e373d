// The CardDAV client: each step a request whose answer starts the next, the state of a discovery
// or sync carried along, the result handed over only at the end.
#include "sync/carddav_client.h"

#include "sync/multistatus.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QXmlStreamWriter>

#include <algorithm>
#include <map>
#include <set>

namespace kivo::sync {

namespace {

// A server that redirects more often than this is going round in circles.
constexpr int kMaxRedirects = 5;
// No answer of an address book server comes near this; a bigger one is refused, not kept.
constexpr qint64 kMaxAnswerBytes = 256LL * 1024 * 1024;
// A sync report answers in pages on a big collection; more than this is a server in a loop.
constexpr int kMaxReportPages = 1000;

const QString kCardDav = QStringLiteral("urn:ietf:params:xml:ns:carddav");

// A percent-decoded path with one "/" at its end, so that a collection compares equal however
// the server wrote it.
QString collectionPath(const QUrl& url) {
    QString path = url.path(QUrl::FullyDecoded);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString memberPath(const QUrl& url) {
    return url.path(QUrl::FullyDecoded);
}

// The address of a decoded member path on the collection's server, encoded for a request body.
QString encodedPath(const QString& decodedPath) {
    QUrl url;
    url.setPath(decodedPath, QUrl::DecodedMode);
    return url.path(QUrl::FullyEncoded);
}

// What the user typed, made an address: a bare host means https, the safe default.
QUrl serverAddress(const QString& typed) {
    QString text = typed.trimmed();
    if (!text.contains(QLatin1String("://")))
        text.prepend(QLatin1String("https://"));
    return QUrl(text, QUrl::TolerantMode);
}

QString normalFingerprint(QString hex) {
    hex.remove(QLatin1Char(':'));
    return hex.trimmed().toLower();
}

QByteArray propfindBody(std::initializer_list<std::pair<QString, QString>> props) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(QStringLiteral("DAV:"), QStringLiteral("d"));
    xml.writeNamespace(kCardDav, QStringLiteral("card"));
    xml.writeStartElement(QStringLiteral("DAV:"), QStringLiteral("propfind"));
    xml.writeStartElement(QStringLiteral("DAV:"), QStringLiteral("prop"));
    for (const auto& [ns, name] : props)
        xml.writeEmptyElement(ns, name);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

std::pair<QString, QString> dav(const char* name) {
    return {QStringLiteral("DAV:"), QString::fromLatin1(name)};
}
std::pair<QString, QString> card(const char* name) {
    return {kCardDav, QString::fromLatin1(name)};
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
    xml.writeNamespace(kCardDav, QStringLiteral("card"));
    xml.writeStartElement(kCardDav, QStringLiteral("addressbook-multiget"));
    xml.writeStartElement(QStringLiteral("DAV:"), QStringLiteral("prop"));
    xml.writeEmptyElement(QStringLiteral("DAV:"), QStringLiteral("getetag"));
    xml.writeEmptyElement(kCardDav, QStringLiteral("address-data"));
    xml.writeEndElement();
    for (const QString& path : paths)
        xml.writeTextElement(QStringLiteral("DAV:"), QStringLiteral("href"), encodedPath(path));
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

SyncError error(SyncErrorKind kind, QString message, QString detail) {
    return {kind, std::move(message), std::move(detail), {}};
}

SyncError serverError(const QUrl& url, int status) {
    return error(SyncErrorKind::ServerError,
                 QStringLiteral("The server answered with an error (HTTP %1).").arg(status),
                 QStringLiteral("%1 answered %2").arg(url.toDisplayString()).arg(status));
}

SyncError unreadable(const QUrl& url, const QString& why) {
    return error(SyncErrorKind::ServerError,
                 QStringLiteral("The server's answer could not be read."),
                 QStringLiteral("%1: %2").arg(url.toDisplayString(), why));
}

SyncError notAddressBookServer(const QUrl& url, const QString& why) {
    return error(
        SyncErrorKind::NotAddressBookServer,
        QStringLiteral("The server at %1 is not an address book (CardDAV) server.").arg(url.host()),
        why);
}

} // namespace

struct CardDavClient::Request {
    DavRequest kind;
    QByteArray method;
    QUrl url;
    QByteArray depth;
    QByteArray body;
    int redirects = 0;
};

struct CardDavClient::Answer {
    int status = 0; // HTTP status; 0 with `error` set
    QByteArray body;
    QUrl url;                       // the address that answered, after any redirects
    std::optional<SyncError> error; // the request failed, or the server refused the password
};

struct CardDavClient::ReplyState {
    QByteArray body;
    QString certificateSha256; // of a certificate refused
    bool tooLarge = false;
};

// A discovery goes through the places an address book service may be found, in order.
struct CardDavClient::Discovery {
    std::function<void(const DiscoveryResult&)> done;
    std::vector<QUrl> candidates;
    std::size_t next = 0;
    std::optional<AddressBook> givenBook; // the address given is an address book itself
    QString lastProblem;
};

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
    : QObject(parent), login_(std::move(login)) {
    // Redirects are followed here, keeping method and body, which Qt would not for PROPFIND.
    manager_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

CardDavClient::~CardDavClient() {
    // A sync still running ends without its callback: nobody is left to hear it.
    for (QNetworkReply* reply : manager_.findChildren<QNetworkReply*>()) {
        reply->disconnect(this);
        reply->abort();
    }
}

int CardDavClient::requestCount() const {
    return counts_[0] + counts_[1] + counts_[2];
}

void CardDavClient::send(Request request, std::function<void(const Answer&)> then) {
    QNetworkRequest r(request.url);
    r.setHeader(QNetworkRequest::ContentTypeHeader,
                QByteArrayLiteral("application/xml; charset=utf-8"));
    r.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("kivo"));
    if (!request.depth.isEmpty())
        r.setRawHeader("Depth", request.depth);
    // Sent with every request, so that no request goes out without it and none is answered 401
    // first; Qt's own cache of credentials is kept out of it.
    r.setRawHeader("Authorization",
                   "Basic " +
                       (login_.userName + QLatin1Char(':') + login_.password).toUtf8().toBase64());
    r.setAttribute(QNetworkRequest::AuthenticationReuseAttribute, QNetworkRequest::Manual);
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setTransferTimeout(login_.timeoutMs);
    ++counts_[static_cast<int>(request.kind)];
    QNetworkReply* reply = manager_.sendCustomRequest(r, request.method, request.body);
    sent(std::move(request), reply, std::move(then), std::make_shared<ReplyState>());
}

void CardDavClient::sent(Request request, QNetworkReply* reply,
                         std::function<void(const Answer&)> then,
                         std::shared_ptr<ReplyState> state) {
    connect(reply, &QNetworkReply::sslErrors, this,
            [this, reply, state](const QList<QSslError>& errors) {
                const QSslCertificate certificate = reply->sslConfiguration().peerCertificate();
                const QString fingerprint =
                    QString::fromLatin1(certificate.digest(QCryptographicHash::Sha256).toHex());
                // Only the very certificate the user chose to trust gets past the system's verdict.
                if (!certificate.isNull() && !login_.trustedCertificateSha256.isEmpty() &&
                    fingerprint == normalFingerprint(login_.trustedCertificateSha256))
                    reply->ignoreSslErrors(errors);
                else
                    state->certificateSha256 = fingerprint;
            });
    connect(reply, &QNetworkReply::readyRead, this, [reply, state] {
        if (state->tooLarge || !reply->isOpen())
            return;
        state->body += reply->readAll();
        if (state->body.size() > kMaxAnswerBytes) {
            state->tooLarge = true;
            state->body.clear();
            reply->abort();
        }
    });
    connect(
        reply, &QNetworkReply::finished, this,
        [this, reply, state, request = std::move(request), then = std::move(then)]() mutable {
            reply->deleteLater();
            if (!state->tooLarge && reply->isOpen())
                state->body += reply->readAll();
            Answer answer;
            answer.url = request.url;
            answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            answer.body = std::move(state->body);
            emit requestFinished(request.kind, answer.status);

            const QString where = request.url.toDisplayString();
            if (state->tooLarge) {
                answer.error = unreadable(
                    request.url, QStringLiteral("answer over %1 bytes").arg(kMaxAnswerBytes));
            } else if (answer.status == 0) {
                const auto e = reply->error();
                const QString detail =
                    QStringLiteral("%1 %2: %3")
                        .arg(QString::fromLatin1(request.method), where, reply->errorString());
                if (!state->certificateSha256.isEmpty()) {
                    answer.error = error(
                        SyncErrorKind::UntrustedCertificate,
                        QStringLiteral("The server's certificate is not trusted by this system "
                                       "(SHA-256 fingerprint %1).")
                            .arg(state->certificateSha256),
                        detail);
                    answer.error->certificateSha256 = state->certificateSha256;
                } else if (e == QNetworkReply::HostNotFoundError) {
                    answer.error = error(
                        SyncErrorKind::NoSuchServer,
                        QStringLiteral("No server named %1 was found. Check the server address.")
                            .arg(request.url.host()),
                        detail);
                } else if (e == QNetworkReply::TimeoutError ||
                           e == QNetworkReply::OperationCanceledError) {
                    // The client aborts only what ran past the transfer timeout; an answer too
                    // large was dealt with above.
                    answer.error =
                        error(SyncErrorKind::Timeout,
                              QStringLiteral("The server did not answer in time."), detail);
                } else {
                    answer.error =
                        error(SyncErrorKind::CannotConnect,
                              QStringLiteral("The server at %1 could not be reached, or the "
                                             "connection to it broke off.")
                                  .arg(request.url.host()),
                              detail);
                }
            } else if (answer.status == 401) {
                answer.error =
                    error(SyncErrorKind::WrongPassword,
                          QStringLiteral("The server did not accept the user name or password."),
                          QStringLiteral("%1 answered 401").arg(where));
            } else if (answer.status >= 300 && answer.status < 400 && answer.status != 304) {
                const QUrl location =
                    reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
                const QUrl target = request.url.resolved(location);
                if (location.isEmpty() || !target.isValid() || request.redirects >= kMaxRedirects) {
                    answer.error = serverError(request.url, answer.status);
                } else if (request.url.scheme() == QLatin1String("https") &&
                           target.scheme() != QLatin1String("https")) {
                    // The password never leaves a secure connection for a plain one.
                    answer.error = error(
                        SyncErrorKind::ServerError,
                        QStringLiteral("The server sent kivo from a secure connection "
                                       "to an insecure one; kivo did not follow."),
                        QStringLiteral("%1 redirects to %2").arg(where, target.toDisplayString()));
                } else {
                    request.url = target;
                    ++request.redirects;
                    send(std::move(request), std::move(then));
                    return;
                }
            }
            then(answer);
        });
}

// Discovery ------------------------------------------------------------------------------------

void CardDavClient::discover(std::function<void(const DiscoveryResult&)> done) {
    auto d = std::make_shared<Discovery>();
    d->done = std::move(done);
    const QUrl given = serverAddress(login_.serverUrl);
    if (!given.isValid() || given.host().isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [d, typed = login_.serverUrl] {
                DiscoveryResult result;
                result.error = error(SyncErrorKind::NoSuchServer,
                                     QStringLiteral("\"%1\" is not a server address.").arg(typed),
                                     QStringLiteral("unusable address"));
                d->done(result);
            },
            Qt::QueuedConnection);
        return;
    }
    const QString path = given.path();
    if (!path.isEmpty() && path != QLatin1String("/"))
        d->candidates.push_back(given);
    d->candidates.push_back(given.resolved(QUrl(QStringLiteral("/.well-known/carddav"))));
    d->candidates.push_back(given.resolved(QUrl(QStringLiteral("/"))));
    tryDiscoveryCandidate(d);
}

void CardDavClient::tryDiscoveryCandidate(std::shared_ptr<Discovery> d) {
    if (d->next >= d->candidates.size()) {
        DiscoveryResult result;
        if (d->givenBook)
            result.addressBooks.push_back(*d->givenBook);
        else
            result.error = notAddressBookServer(d->candidates.front(), d->lastProblem);
        d->done(result);
        return;
    }
    const QUrl url = d->candidates[d->next++];
    send({DavRequest::Propfind, "PROPFIND", url, "0",
          propfindBody({dav("current-user-principal"), card("addressbook-home-set"),
                        dav("resourcetype"), dav("displayname"), dav("supported-report-set")})},
         [this, d](const Answer& a) {
             if (a.error) {
                 d->done({a.error, {}});
                 return;
             }
             QString why;
             const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
             if (!ms || ms->responses.empty()) {
                 d->lastProblem = QStringLiteral("%1 answered %2 %3")
                                      .arg(a.url.toDisplayString())
                                      .arg(a.status)
                                      .arg(why);
                 tryDiscoveryCandidate(d);
                 return;
             }
             const DavProperties p = ms->responses.front().found();
             if (p.isAddressBook && !d->givenBook)
                 d->givenBook = AddressBook{ms->responses.front().href.toString(QUrl::FullyEncoded),
                                            p.displayName.value_or(QString()),
                                            false,
                                            p.supportsSyncCollection,
                                            {},
                                            {}};
             if (p.addressBookHomeSet)
                 listHome(d, *p.addressBookHomeSet);
             else if (p.currentUserPrincipal)
                 readPrincipal(d, *p.currentUserPrincipal);
             else {
                 d->lastProblem =
                     QStringLiteral("%1 names no principal").arg(a.url.toDisplayString());
                 tryDiscoveryCandidate(d);
             }
         });
}

void CardDavClient::readPrincipal(std::shared_ptr<Discovery> d, const QUrl& principal) {
    send({DavRequest::Propfind, "PROPFIND", principal, "0",
          propfindBody({card("addressbook-home-set")})},
         [this, d](const Answer& a) {
             if (a.error) {
                 d->done({a.error, {}});
                 return;
             }
             QString why;
             const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
             std::optional<QUrl> home;
             if (ms && !ms->responses.empty())
                 home = ms->responses.front().found().addressBookHomeSet;
             if (!home) {
                 DiscoveryResult result;
                 // The address given was an address book: that one at least is there.
                 if (d->givenBook) {
                     result.addressBooks.push_back(*d->givenBook);
                     d->done(result);
                     return;
                 }
                 result.error = notAddressBookServer(
                     a.url, QStringLiteral("principal %1 (%2) has no address book home %3")
                                .arg(a.url.toDisplayString())
                                .arg(a.status)
                                .arg(why));
                 d->done(result);
                 return;
             }
             listHome(d, *home);
         });
}

void CardDavClient::listHome(std::shared_ptr<Discovery> d, const QUrl& home) {
    send({DavRequest::Propfind, "PROPFIND", home, "1",
          propfindBody({dav("resourcetype"), dav("displayname"), dav("supported-report-set")})},
         [d](const Answer& a) {
             DiscoveryResult result;
             if (a.error) {
                 result.error = a.error;
                 d->done(result);
                 return;
             }
             QString why;
             const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
             if (!ms) {
                 result.error =
                     a.status == 207 ? unreadable(a.url, why) : serverError(a.url, a.status);
                 d->done(result);
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
             d->done(result);
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
    send({DavRequest::SyncCollection, "REPORT", s->url, "0", syncCollectionBody(token)},
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
    send({DavRequest::Propfind, "PROPFIND", s->url, "1",
          propfindBody({dav("getetag"), dav("resourcetype"), dav("sync-token")})},
         [this, s](const Answer& a) {
             if (a.error) {
                 s->finish(a.error);
                 return;
             }
             if (a.status == 404) {
                 s->finish(error(SyncErrorKind::ServerError,
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
    send({DavRequest::Multiget, "REPORT", s->url, "0", multigetBody(batch)}, [this, s, batch](
                                                                                 const Answer& a) {
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
