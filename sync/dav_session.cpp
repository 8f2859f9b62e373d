// The session: one QNetworkAccessManager, each request given the login and followed through
// redirects by hand; the home search a chain of PROPFINDs whose answers pick the next.
#include "sync/dav_session.h"

#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QXmlStreamWriter>

namespace kivo::sync {

namespace {

// A server that redirects more often than this is going round in circles.
constexpr int kMaxRedirects = 5;
// No answer of a DAV server comes near this; a bigger one is refused, not kept.
constexpr qint64 kMaxAnswerBytes = 256LL * 1024 * 1024;

QString normalFingerprint(QString hex) {
    hex.remove(QLatin1Char(':'));
    return hex.trimmed().toLower();
}

} // namespace

QUrl serverAddress(const QString& typed) {
    QString text = typed.trimmed();
    if (!text.contains(QLatin1String("://")))
        text.prepend(QLatin1String("https://"));
    return QUrl(text, QUrl::TolerantMode);
}

QString collectionPath(const QUrl& url) {
    QString path = url.path(QUrl::FullyDecoded);
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QByteArray propfindBody(const std::vector<DavName>& props) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(kDavNs, QStringLiteral("d"));
    xml.writeNamespace(kCardDavNs, QStringLiteral("card"));
    xml.writeNamespace(kCalDavNs, QStringLiteral("cal"));
    xml.writeStartElement(kDavNs, QStringLiteral("propfind"));
    xml.writeStartElement(kDavNs, QStringLiteral("prop"));
    for (const auto& [ns, name] : props)
        xml.writeEmptyElement(ns, name);
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

SyncError syncError(SyncErrorKind kind, QString message, QString detail) {
    return {kind, std::move(message), std::move(detail), {}};
}

SyncError serverError(const QUrl& url, int status) {
    return syncError(SyncErrorKind::ServerError,
                     QStringLiteral("The server answered with an error (HTTP %1).").arg(status),
                     QStringLiteral("%1 answered %2").arg(url.toDisplayString()).arg(status));
}

SyncError unreadable(const QUrl& url, const QString& why) {
    return syncError(SyncErrorKind::ServerError,
                     QStringLiteral("The server's answer could not be read."),
                     QStringLiteral("%1: %2").arg(url.toDisplayString(), why));
}

struct DavSession::ReplyState {
    QByteArray body;
    QString certificateSha256; // of a certificate refused
    bool tooLarge = false;
};

// A home search goes through the places a service may be found, in order.
struct DavSession::HomeSearch {
    DavHomeSearch search;
    std::function<void(const DavHomeFound&)> done;
    std::vector<QUrl> candidates;
    std::size_t next = 0;
    DavHomeFound found;
};

DavSession::DavSession(ServerLogin login, QObject* parent)
    : QObject(parent), login_(std::move(login)) {
    // Redirects are followed here, keeping method and body, which Qt would not for PROPFIND.
    manager_.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

DavSession::~DavSession() {
    for (QNetworkReply* reply : manager_.findChildren<QNetworkReply*>()) {
        reply->disconnect(this);
        reply->abort();
    }
}

int DavSession::requestCount() const {
    int all = 0;
    for (int n : counts_)
        all += n;
    return all;
}

void DavSession::send(Request request, std::function<void(const Answer&)> then) {
    QNetworkRequest r(request.url);
    if (!request.body.isEmpty())
        r.setHeader(QNetworkRequest::ContentTypeHeader, request.contentType);
    r.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("kivo"));
    if (!request.depth.isEmpty())
        r.setRawHeader("Depth", request.depth);
    for (const auto& [name, value] : request.headers)
        r.setRawHeader(name, value);
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

void DavSession::sent(Request request, QNetworkReply* reply,
                      std::function<void(const Answer&)> then, std::shared_ptr<ReplyState> state) {
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
            answer.etag = QString::fromLatin1(reply->rawHeader("ETag")).trimmed();
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
                    answer.error = syncError(
                        SyncErrorKind::UntrustedCertificate,
                        QStringLiteral("The server's certificate is not trusted by this system "
                                       "(SHA-256 fingerprint %1).")
                            .arg(state->certificateSha256),
                        detail);
                    answer.error->certificateSha256 = state->certificateSha256;
                } else if (e == QNetworkReply::HostNotFoundError) {
                    answer.error = syncError(
                        SyncErrorKind::NoSuchServer,
                        QStringLiteral("No server named %1 was found. Check the server address.")
                            .arg(request.url.host()),
                        detail);
                } else if (e == QNetworkReply::TimeoutError ||
                           e == QNetworkReply::OperationCanceledError) {
                    // The session aborts only what ran past the transfer timeout; an answer too
                    // large was dealt with above.
                    answer.error =
                        syncError(SyncErrorKind::Timeout,
                                  QStringLiteral("The server did not answer in time."), detail);
                } else {
                    answer.error =
                        syncError(SyncErrorKind::CannotConnect,
                                  QStringLiteral("The server at %1 could not be reached, or the "
                                                 "connection to it broke off.")
                                      .arg(request.url.host()),
                                  detail);
                }
            } else if (answer.status == 401) {
                answer.error = syncError(
                    SyncErrorKind::WrongPassword,
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
                    answer.error = syncError(
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

// Home search -----------------------------------------------------------------------------------

void DavSession::findHome(DavHomeSearch search, std::function<void(const DavHomeFound&)> done) {
    auto s = std::make_shared<HomeSearch>();
    s->search = std::move(search);
    s->done = std::move(done);
    const QUrl given = serverAddress(login_.serverUrl);
    if (!given.isValid() || given.host().isEmpty()) {
        QMetaObject::invokeMethod(
            this,
            [s, typed = login_.serverUrl] {
                DavHomeFound found;
                found.error =
                    syncError(SyncErrorKind::NoSuchServer,
                              QStringLiteral("\"%1\" is not a server address.").arg(typed),
                              QStringLiteral("unusable address"));
                s->done(found);
            },
            Qt::QueuedConnection);
        return;
    }
    const QString path = given.path();
    if (!path.isEmpty() && path != QLatin1String("/"))
        s->candidates.push_back(given);
    s->candidates.push_back(given.resolved(QUrl(s->search.wellKnown)));
    s->candidates.push_back(given.resolved(QUrl(QStringLiteral("/"))));
    s->found.where = s->candidates.front();
    tryHomeCandidate(s);
}

void DavSession::tryHomeCandidate(std::shared_ptr<HomeSearch> s) {
    if (s->next >= s->candidates.size()) {
        s->done(s->found);
        return;
    }
    const QUrl url = s->candidates[s->next++];
    std::vector<DavName> props = {davName("current-user-principal"), s->search.homeSet};
    props.insert(props.end(), s->search.alsoAsk.begin(), s->search.alsoAsk.end());
    send({DavRequest::Propfind, "PROPFIND", url, "0", propfindBody(props)}, [this,
                                                                             s](const Answer& a) {
        if (a.error) {
            s->done({a.error, {}, {}, {}, {}});
            return;
        }
        QString why;
        const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
        if (!ms || ms->responses.empty()) {
            s->found.problem = QStringLiteral("%1 answered %2 %3")
                                   .arg(a.url.toDisplayString())
                                   .arg(a.status)
                                   .arg(why);
            tryHomeCandidate(s);
            return;
        }
        const DavProperties p = ms->responses.front().found();
        if (p.*s->search.isWanted && !s->found.given)
            s->found.given = ms->responses.front();
        if (const auto& home = p.*s->search.home) {
            s->found.home = home;
            s->done(s->found);
        } else if (p.currentUserPrincipal) {
            readPrincipal(s, *p.currentUserPrincipal);
        } else {
            s->found.problem = QStringLiteral("%1 names no principal").arg(a.url.toDisplayString());
            tryHomeCandidate(s);
        }
    });
}

void DavSession::readPrincipal(std::shared_ptr<HomeSearch> s, const QUrl& principal) {
    send({DavRequest::Propfind, "PROPFIND", principal, "0", propfindBody({s->search.homeSet})},
         [s](const Answer& a) {
             if (a.error) {
                 s->done({a.error, {}, {}, {}, {}});
                 return;
             }
             QString why;
             const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
             if (ms && !ms->responses.empty())
                 s->found.home = ms->responses.front().found().*s->search.home;
             if (!s->found.home) {
                 s->found.where = a.url;
                 s->found.problem = QStringLiteral("principal %1 (%2) names no home %3")
                                        .arg(a.url.toDisplayString())
                                        .arg(a.status)
                                        .arg(why);
             }
             s->done(s->found);
         });
}

} // namespace kivo::sync
