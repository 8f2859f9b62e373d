// The HTTP side of a WebDAV server, shared by the address book and the calendar client: the
// login sent with every request, redirects, the certificate the user trusts, the errors a user
// can act on; and the search for the home of the user's collections that both begin with.
#pragma once

#include "sync/multistatus.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
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
    NotCalendarServer,    // no calendar service found there
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

// The kinds of request made, each counted.
enum class DavRequest { Propfind, SyncCollection, Multiget, Put, Delete, Get, MkCalendar };

inline constexpr int kDavRequestKinds = static_cast<int>(DavRequest::MkCalendar) + 1;

// An element name of a request body: its namespace and local name.
using DavName = std::pair<QString, QString>;

// What to look for when searching a user's home: the well-known address of the service
// (RFC 6764), the principal's property that names the home, and what a collection of the kind is.
struct DavHomeSearch {
    QString wellKnown;                        // "/.well-known/carddav"
    DavName homeSet;                          // the property asked for
    std::optional<QUrl> DavProperties::*home; // where the reader puts it
    bool DavProperties::*isWanted;            // a collection of the kind looked for
    std::vector<DavName> alsoAsk;             // of each address tried, beside those two
};

struct DavHomeFound {
    std::optional<SyncError> error; // a request failed: nothing else is set
    std::optional<QUrl> home;
    // The first address tried that is itself a collection of the kind looked for: what there is
    // when the server names no home.
    std::optional<DavResponse> given;
    QUrl where;      // where the search began, for a message
    QString problem; // why no home was found, for a log
};

// One server, one login: every request a client makes goes through here, and is counted.
class DavSession : public QObject {
    Q_OBJECT

public:
    struct Request {
        DavRequest kind;
        QByteArray method;
        QUrl url;
        QByteArray depth{}; // none sent when empty
        QByteArray body{};
        QByteArray contentType = "application/xml; charset=utf-8"; // sent with a body only
        std::vector<std::pair<QByteArray, QByteArray>> headers{};  // If-Match, If-None-Match
        int redirects = 0;
    };

    struct Answer {
        int status = 0; // HTTP status; 0 with `error` set
        QByteArray body;
        QUrl url;                       // the address that answered, after any redirects
        QString etag;                   // its ETag header, as given
        std::optional<SyncError> error; // the request failed, or the server refused the password
    };

    explicit DavSession(ServerLogin login, QObject* parent = nullptr);
    // Requests still running end without their callbacks: nobody is left to hear them.
    ~DavSession() override;

    const ServerLogin& login() const { return login_; }

    // Sends `request` and calls `then` once with its answer, from the event loop. Redirects are
    // followed here (each counted as another request); an answer is an error only when no status
    // came, or it is 401, or a redirect that is not followed.
    void send(Request request, std::function<void(const Answer&)> then);

    // Searches the address given, the well-known address and "/" in turn for the current user's
    // principal and its home. `done` is called once, later, from the event loop.
    void findHome(DavHomeSearch search, std::function<void(const DavHomeFound&)> done);

    // Requests sent so far (a redirect followed counts as another).
    int requestCount() const;
    int requestCount(DavRequest kind) const { return counts_[static_cast<int>(kind)]; }

signals:
    // After each answer (or failure: status 0), before the client acts on it.
    void requestFinished(kivo::sync::DavRequest kind, int httpStatus);

private:
    struct ReplyState;
    struct HomeSearch;

    void sent(Request request, QNetworkReply* reply, std::function<void(const Answer&)> then,
              std::shared_ptr<ReplyState> state);
    void tryHomeCandidate(std::shared_ptr<HomeSearch> s);
    void readPrincipal(std::shared_ptr<HomeSearch> s, const QUrl& principal);

    ServerLogin login_;
    QNetworkAccessManager manager_;
    std::array<int, kDavRequestKinds> counts_{};
};

// A PROPFIND body asking for the properties named.
QByteArray propfindBody(const std::vector<DavName>& props);

inline DavName davName(const char* name) {
    return {kDavNs, QString::fromLatin1(name)};
}

// What the user typed, made an address: a bare host means https, the safe default.
QUrl serverAddress(const QString& typed);

// A percent-decoded path with one "/" at its end, so that a collection compares equal however
// the server wrote it.
QString collectionPath(const QUrl& url);

SyncError syncError(SyncErrorKind kind, QString message, QString detail);
// An error status where another was expected.
SyncError serverError(const QUrl& url, int status);
// A body that does not read.
SyncError unreadable(const QUrl& url, const QString& why);

} // namespace kivo::sync
