// The CalDAV client: discovery through the session's home search and one listing of the home;
// each event request a single one whose status says what became of it.
#include "sync/caldav_client.h"

#include "sync/multistatus.h"

#include <QXmlStreamWriter>

#include <set>

namespace kivo::sync {

namespace {

// Names taken since the home was listed are rare; a server that says every name is taken is
// refusing to make calendars at all.
constexpr int kMaxCalendarTries = 5;

const QByteArray kCalendarType = QByteArrayLiteral("text/calendar; charset=utf-8");

// A collection's address as clients keep it: percent-encoded, with one "/" at its end.
QString collectionUrl(QUrl url) {
    const QString path = url.path(QUrl::FullyEncoded);
    if (!path.endsWith(QLatin1Char('/')))
        url.setPath(path + QLatin1Char('/'), QUrl::StrictMode);
    return url.toString(QUrl::FullyEncoded);
}

QUrl memberUrl(const QString& calendarUrl, const QString& name) {
    QString url = calendarUrl;
    if (!url.endsWith(QLatin1Char('/')))
        url += QLatin1Char('/');
    return QUrl(url + QString::fromLatin1(QUrl::toPercentEncoding(name)), QUrl::StrictMode);
}

// The path segment of a new calendar: the name in lower case, letters and digits kept, every
// run of anything else one "-", so that the address reads like the name.
QString pathSegment(const QString& displayName) {
    QString segment;
    for (const QChar c : displayName.toLower()) {
        if (c.isLetterOrNumber())
            segment += c;
        else if (!segment.isEmpty() && !segment.endsWith(QLatin1Char('-')))
            segment += QLatin1Char('-');
    }
    while (segment.endsWith(QLatin1Char('-')))
        segment.chop(1);
    return segment.isEmpty() ? QStringLiteral("calendar") : segment;
}

QByteArray mkcalendarBody(const QString& displayName) {
    QByteArray body;
    QXmlStreamWriter xml(&body);
    xml.writeStartDocument();
    xml.writeNamespace(kDavNs, QStringLiteral("d"));
    xml.writeNamespace(kCalDavNs, QStringLiteral("cal"));
    xml.writeStartElement(kCalDavNs, QStringLiteral("mkcalendar"));
    xml.writeStartElement(kDavNs, QStringLiteral("set"));
    xml.writeStartElement(kDavNs, QStringLiteral("prop"));
    xml.writeTextElement(kDavNs, QStringLiteral("displayname"), displayName);
    xml.writeStartElement(kCalDavNs, QStringLiteral("supported-calendar-component-set"));
    xml.writeEmptyElement(kCalDavNs, QStringLiteral("comp"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("VEVENT"));
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndElement();
    xml.writeEndDocument();
    return body;
}

SyncError notCalendarServer(const QUrl& url, const QString& why) {
    return syncError(
        SyncErrorKind::NotCalendarServer,
        QStringLiteral("The server at %1 is not a calendar (CalDAV) server.").arg(url.host()), why);
}

// An error status, with the condition the server names for it (no-uid-conflict, ...).
SyncError refused(const char* method, const DavSession::Answer& a) {
    const QString condition = errorCondition(a.body);
    SyncError e = serverError(a.url, a.status);
    e.detail = QStringLiteral("%1 %2 answered %3")
                   .arg(QLatin1String(method), a.url.toDisplayString())
                   .arg(a.status);
    if (!condition.isEmpty()) {
        e.message = QStringLiteral("The server answered with an error (HTTP %1, %2).")
                        .arg(a.status)
                        .arg(condition);
        e.detail += QStringLiteral(": ") + condition;
    }
    return e;
}

bool success(int status) {
    return status >= 200 && status < 300;
}

} // namespace

struct CalDavClient::NewCalendar {
    std::function<void(std::optional<SyncError>, QString)> done;
    QUrl home;
    QString displayName;
    QString segment;
    std::set<QString> taken; // the home's members' segments, in lower case
    int number = 1;          // of the next name to try; 1 is the segment alone
    int tries = 0;
};

CalDavClient::CalDavClient(ServerLogin login, QObject* parent)
    : QObject(parent), session_(std::move(login)) {
    connect(&session_, &DavSession::requestFinished, this, &CalDavClient::requestFinished);
}

// The session, going with the client, ends what is still running without its callback.
CalDavClient::~CalDavClient() = default;

// Discovery ------------------------------------------------------------------------------------

void CalDavClient::discoverCalendars(std::function<void(const CalendarDiscovery&)> done) {
    session_.findHome({QStringLiteral("/.well-known/caldav"),
                       {kCalDavNs, QStringLiteral("calendar-home-set")},
                       &DavProperties::calendarHomeSet,
                       &DavProperties::isCalendar,
                       {davName("resourcetype"),
                        davName("displayname"),
                        {kCalDavNs, QStringLiteral("supported-calendar-component-set")}}},
                      [this, done](const DavHomeFound& found) {
                          if (found.home) {
                              listHome(done, *found.home);
                              return;
                          }
                          CalendarDiscovery result;
                          result.error = found.error;
                          // The address given was a calendar: that one at least is there, but
                          // no home to make another in.
                          const DavProperties p =
                              found.given ? found.given->found() : DavProperties();
                          if (found.given && !found.error && p.acceptsEvents.value_or(true))
                              result.calendars.push_back({collectionUrl(found.given->href),
                                                          p.displayName.value_or(QString())});
                          else if (!found.error)
                              result.error = notCalendarServer(found.where, found.problem);
                          done(result);
                      });
}

void CalDavClient::listHome(std::function<void(const CalendarDiscovery&)> done, const QUrl& home) {
    session_.send({DavRequest::Propfind, "PROPFIND", home, "1",
                   propfindBody({davName("resourcetype"),
                                 davName("displayname"),
                                 {kCalDavNs, QStringLiteral("supported-calendar-component-set")}})},
                  [done](const Answer& a) {
                      CalendarDiscovery result;
                      QString why;
                      const auto ms =
                          a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
                      if (a.error)
                          result.error = a.error;
                      else if (!ms)
                          result.error = a.status == 207 ? unreadable(a.url, why)
                                                         : serverError(a.url, a.status);
                      if (result.error) {
                          done(result);
                          return;
                      }
                      result.home = collectionUrl(a.url);
                      for (const DavResponse& r : ms->responses) {
                          const DavProperties p = r.found();
                          if (p.isCalendar && p.acceptsEvents.value_or(true))
                              result.calendars.push_back(
                                  {collectionUrl(r.href), p.displayName.value_or(QString())});
                      }
                      done(result);
                  });
}

// A new calendar --------------------------------------------------------------------------------

// The home is listed first, and the first name none of its members has is made. Servers do not
// answer MKCALENDAR on a taken name alike (405, or 403 or 409 with or without
// DAV:resource-must-be-null), and a plain 403 or 405 is also what a server says that makes no
// calendars at all: trying names until one goes through could not tell the two apart. Only a
// name the server says is taken (DAV:resource-must-be-null), as when another client made it since
// the listing, is passed over for the next, a few times at most.
void CalDavClient::makeCalendar(const QString& home, const QString& displayName,
                                std::function<void(std::optional<SyncError>, QString)> done) {
    auto c = std::make_shared<NewCalendar>();
    c->done = std::move(done);
    c->home = QUrl(collectionUrl(QUrl(home, QUrl::StrictMode)), QUrl::StrictMode);
    c->displayName = displayName;
    c->segment = pathSegment(displayName);
    session_.send(
        {DavRequest::Propfind, "PROPFIND", c->home, "1", propfindBody({davName("resourcetype")})},
        [this, c](const Answer& a) {
            QString why;
            const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
            if (a.error || !ms) {
                c->done(a.error           ? *a.error
                        : a.status == 207 ? unreadable(a.url, why)
                                          : serverError(a.url, a.status),
                        {});
                return;
            }
            const QString self = collectionPath(a.url);
            for (const DavResponse& r : ms->responses) {
                const QString path = collectionPath(r.href);
                if (path.size() > self.size() && path.startsWith(self))
                    c->taken.insert(path.mid(self.size()).chopped(1).toLower());
            }
            tryCalendarName(c);
        });
}

void CalDavClient::tryCalendarName(std::shared_ptr<NewCalendar> c) {
    QString name;
    do {
        name = c->number == 1 ? c->segment : QStringLiteral("%1-%2").arg(c->segment).arg(c->number);
        ++c->number;
    } while (c->taken.count(name.toLower()));
    ++c->tries;
    const QUrl url = c->home.resolved(
        QUrl(QString::fromLatin1(QUrl::toPercentEncoding(name)) + QLatin1Char('/')));
    session_.send(
        {DavRequest::MkCalendar, "MKCALENDAR", url, {}, mkcalendarBody(c->displayName)},
        [this, c, name](const Answer& a) {
            if (a.error) {
                c->done(a.error, {});
            } else if (success(a.status)) {
                c->done(std::nullopt, collectionUrl(a.url));
            } else if ((a.status == 405 || a.status == 403 || a.status == 409) &&
                       hasDavPrecondition(a.body, QStringLiteral("resource-must-be-null")) &&
                       c->tries < kMaxCalendarTries) {
                c->taken.insert(name.toLower());
                tryCalendarName(c);
            } else {
                c->done(refused("MKCALENDAR", a), {});
            }
        });
}

// Events ---------------------------------------------------------------------------------------

void CalDavClient::listEvents(const QString& calendarUrl,
                              std::function<void(const EventListing&)> done) {
    session_.send(
        {DavRequest::Propfind, "PROPFIND", QUrl(calendarUrl, QUrl::StrictMode), "1",
         propfindBody({davName("getetag"), davName("resourcetype")})},
        [done](const Answer& a) {
            EventListing listing;
            QString why;
            const auto ms = a.status == 207 ? readMultistatus(a.body, a.url, &why) : std::nullopt;
            if (a.error) {
                listing.error = a.error;
            } else if (a.status == 404) {
                listing.error =
                    syncError(SyncErrorKind::ServerError,
                              QStringLiteral("The calendar is no longer on the server."),
                              QStringLiteral("%1 answered 404").arg(a.url.toDisplayString()));
            } else if (a.status == 405 || a.status == 501) {
                // No WebDAV there at all.
                listing.error = notCalendarServer(a.url, QStringLiteral("PROPFIND %1 answered %2")
                                                             .arg(a.url.toDisplayString())
                                                             .arg(a.status));
            } else if (!ms) {
                listing.error =
                    a.status == 207 ? unreadable(a.url, why) : serverError(a.url, a.status);
            }
            if (listing.error) {
                done(listing);
                return;
            }
            const QString self = collectionPath(a.url);
            for (const DavResponse& r : ms->responses) {
                const DavProperties p = r.found();
                const QString path = r.href.path(QUrl::FullyDecoded);
                const QString name = path.mid(self.size());
                if (!path.startsWith(self) || name.isEmpty() || name.contains(QLatin1Char('/')) ||
                    p.isCollection)
                    continue;
                listing.events.push_back({name, p.etag.value_or(QString())});
            }
            done(listing);
        });
}

void CalDavClient::putEvent(const QString& calendarUrl, const QString& name,
                            const QByteArray& calendarObject, const QString& ifMatch,
                            std::function<void(const PutOutcome&)> done) {
    DavSession::Request put{DavRequest::Put, "PUT",        memberUrl(calendarUrl, name), {},
                            calendarObject,  kCalendarType};
    if (ifMatch.isEmpty())
        put.headers.push_back({"If-None-Match", "*"});
    else
        put.headers.push_back({"If-Match", ifMatch.toLatin1()});
    session_.send(std::move(put), [this, done](const Answer& a) {
        PutOutcome outcome;
        if (a.error)
            outcome.error = a.error;
        else if (a.status == 412)
            outcome.preconditionFailed = true;
        else if (!success(a.status))
            outcome.error = refused("PUT", a);
        else if (a.etag.isEmpty()) {
            // The server changed what it stored, or does not say: its listing's ETag is the one.
            askEtag(a.url, done);
            return;
        } else
            outcome.etag = a.etag;
        done(outcome);
    });
}

void CalDavClient::askEtag(const QUrl& url, std::function<void(const PutOutcome&)> done) {
    session_.send({DavRequest::Propfind, "PROPFIND", url, "0", propfindBody({davName("getetag")})},
                  [done](const Answer& a) {
                      // The event is written whatever this answer is: without an ETag, it reads
                      // as changed at the next listing, which is no error now.
                      PutOutcome outcome;
                      const auto ms = a.status == 207 && !a.error ? readMultistatus(a.body, a.url)
                                                                  : std::nullopt;
                      if (ms && !ms->responses.empty())
                          outcome.etag = ms->responses.front().found().etag.value_or(QString());
                      done(outcome);
                  });
}

void CalDavClient::getEvent(const QString& calendarUrl, const QString& name,
                            std::function<void(const GetOutcome&)> done) {
    session_.send({DavRequest::Get, "GET", memberUrl(calendarUrl, name)}, [done](const Answer& a) {
        GetOutcome outcome;
        if (a.error)
            outcome.error = a.error;
        else if (a.status == 404)
            outcome.missing = true;
        else if (!success(a.status))
            outcome.error = refused("GET", a);
        else {
            outcome.etag = a.etag;
            outcome.body = a.body;
        }
        done(outcome);
    });
}

void CalDavClient::deleteEvent(const QString& calendarUrl, const QString& name,
                               const QString& ifMatch,
                               std::function<void(const DeleteOutcome&)> done) {
    DavSession::Request remove{DavRequest::Delete, "DELETE", memberUrl(calendarUrl, name)};
    if (!ifMatch.isEmpty())
        remove.headers.push_back({"If-Match", ifMatch.toLatin1()});
    session_.send(std::move(remove), [done](const Answer& a) {
        DeleteOutcome outcome;
        if (a.error)
            outcome.error = a.error;
        else if (a.status == 412)
            outcome.preconditionFailed = true;
        else if (!success(a.status) && a.status != 404) // gone already: as good as deleted
            outcome.error = refused("DELETE", a);
        done(outcome);
    });
}

} // namespace kivo::sync
