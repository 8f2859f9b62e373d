// The CalDAV client (RFC 4791): finds a user's calendars on a server, makes one, and reads,
// writes and deletes the events in it one by one, each guarded by its ETag; asynchronously on
// Qt Network, through the same session kind as the address book client.
#pragma once

#include "sync/dav_session.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kivo::sync {

struct Calendar {
    QString url; // absolute, percent-encoded, ends with "/"
    QString displayName;
};

struct CalendarDiscovery {
    std::optional<SyncError> error;
    QString home;                    // the calendar home's absolute URL, where calendars are made
    std::vector<Calendar> calendars; // those that take events
};

// A member of a calendar.
struct EventResource {
    QString name; // its last path segment, percent-decoded ("abc@kivo.ics")
    QString etag;
};

struct EventListing {
    std::optional<SyncError> error;
    std::vector<EventResource> events;
};

struct PutOutcome {
    std::optional<SyncError> error;
    bool preconditionFailed = false; // 412: there is one already, or it changed on the server
    // The event's new ETag; empty when the server named none, not even when asked after the put.
    QString etag;
};

struct GetOutcome {
    std::optional<SyncError> error;
    bool missing = false; // 404
    QString etag;
    QByteArray body;
};

struct DeleteOutcome {
    std::optional<SyncError> error;
    bool preconditionFailed = false; // 412: it changed on the server
};

// Every `done` below is called once, later, from the event loop, and never after the client is
// gone: requests still running then end without it.
class CalDavClient : public QObject {
    Q_OBJECT

public:
    explicit CalDavClient(ServerLogin login, QObject* parent = nullptr);
    ~CalDavClient() override;

    // Finds the calendar home as the address book client finds its home (the address given, the
    // well-known address, "/"), and the calendars in it that take events.
    void discoverCalendars(std::function<void(const CalendarDiscovery&)> done);

    // Makes a calendar for events only under `home`, named `displayName`, at a path made of the
    // name ("kivo/"), or of the name and a number when that is taken ("kivo-2/"). `done` gets
    // the new calendar's URL.
    void makeCalendar(const QString& home, const QString& displayName,
                      std::function<void(std::optional<SyncError>, QString url)> done);

    // The events of a calendar with their ETags; not its sub-collections.
    void listEvents(const QString& calendarUrl, std::function<void(const EventListing&)> done);

    // Writes the event `name` of the calendar: a new one when `ifMatch` is empty (there must be
    // none of that name yet), else over the version whose ETag `ifMatch` is.
    void putEvent(const QString& calendarUrl, const QString& name, const QByteArray& calendarObject,
                  const QString& ifMatch, std::function<void(const PutOutcome&)> done);

    void getEvent(const QString& calendarUrl, const QString& name,
                  std::function<void(const GetOutcome&)> done);

    // Deletes the event `name`, only the version whose ETag `ifMatch` is unless that is empty.
    // One already gone counts as deleted.
    void deleteEvent(const QString& calendarUrl, const QString& name, const QString& ifMatch,
                     std::function<void(const DeleteOutcome&)> done);

    // Requests sent so far (a redirect followed counts as another).
    int requestCount() const { return session_.requestCount(); }
    int requestCount(DavRequest kind) const { return session_.requestCount(kind); }

signals:
    // After each answer (or failure: status 0), before the client acts on it.
    void requestFinished(kivo::sync::DavRequest kind, int httpStatus);

private:
    using Answer = DavSession::Answer;
    struct NewCalendar;

    void listHome(std::function<void(const CalendarDiscovery&)> done, const QUrl& home);
    void tryCalendarName(std::shared_ptr<NewCalendar> c);
    void askEtag(const QUrl& url, std::function<void(const PutOutcome&)> done);

    DavSession session_;
};

} // namespace kivo::sync
