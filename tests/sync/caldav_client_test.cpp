// The CalDAV client against a real Radicale on 127.0.0.1: discovery of the calendars that take
// events, new calendars under a free name, and events written, read and deleted, each guarded by
// its ETag and each one request.
#include "sync/caldav_client.h"
#include "tests/sync/radicale_server.h"

#include <gtest/gtest.h>

namespace kivo::sync {
namespace {

using test::RadicaleServer;
using test::waitFor;

ServerLogin login(const QString& url) {
    return {url, RadicaleServer::kUser, RadicaleServer::kPassword, {}, 60000};
}

// Every event here has one UID, so that a second resource of it is refused.
QByteArray event(const char* summary) {
    return QByteArray("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//kivo//tests//EN\r\n"
                      "BEGIN:VEVENT\r\nUID:a@kivo\r\nDTSTAMP:20240101T000000Z\r\n"
                      "DTSTART;VALUE=DATE:20240315\r\nRRULE:FREQ=YEARLY\r\nSUMMARY:") +
           summary + "\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
}

class CalDav : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.start()) << server.error().toStdString(); }
    RadicaleServer server;
};

// "path name, ... (N requests)" of the calendars a discovery from `start` finds under `home`.
std::string discovered(const QString& start, const QString& home) {
    CalDavClient client(login(start));
    const auto d = waitFor<CalendarDiscovery>([&](auto done) { client.discoverCalendars(done); });
    if (d.error)
        return d.error->kind == SyncErrorKind::NotCalendarServer ? "no calendar server"
                                                                 : d.error->detail.toStdString();
    QStringList all;
    for (const Calendar& c : d.calendars)
        all << c.url.mid(home.size()) + " " + c.displayName;
    all.sort();
    return QStringLiteral("%1 (%2 requests%3)")
        .arg(all.join(", "))
        .arg(client.requestCount(DavRequest::Propfind))
        .arg(d.home == home ? "" : ", another home")
        .toStdString();
}

TEST_F(CalDav, DiscoveryOffersCalendarsForEventsAndNewOnesGetAFreeName) {
    ASSERT_EQ(server.mkAddressBook("/alice/contacts/", QStringLiteral("Contacts")), 201);
    ASSERT_EQ(server.mkCalendar("/alice/dates/", QStringLiteral("Dates & Days")), 201);
    ASSERT_EQ(server.mkCalendar("/alice/tasks/", QStringLiteral("Tasks"), "VTODO"), 201);
    ASSERT_EQ(server.mkCalendar("/alice/both/", QStringLiteral("Both"), "VTODO,VEVENT"), 201);
    const QString home = server.origin() + "/alice/";
    test::PlainWebServer web;
    const struct {
        QString start;
        std::string found;
    } cases[] = {
        // The bare host: /.well-known/caldav, its redirect to "/", principal, home.
        {server.origin(), "both/ Both, dates/ Dates & Days (4 requests)"},
        {home, "both/ Both, dates/ Dates & Days (2 requests)"},
        {home + "dates/", "both/ Both, dates/ Dates & Days (3 requests)"},
        {QStringLiteral("http://127.0.0.1:%1").arg(web.port()), "no calendar server"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(discovered(c.start, home), c.found) << c.start.toStdString();

    // Each new calendar: a listing of the home, then one MKCALENDAR of a name not taken.
    CalDavClient client(login(server.origin()));
    for (const auto& [name, made] : {std::pair("kivo", "kivo/"), std::pair("kivo", "kivo-2/"),
                                     std::pair("Dates & Days!", "dates-days/")}) {
        using Made = std::pair<std::optional<SyncError>, QString>;
        const Made got = waitFor<Made>([&](auto done) {
            client.makeCalendar(home, QString::fromUtf8(name),
                                [done](std::optional<SyncError> e, QString url) {
                                    done({e, url});
                                });
        });
        ASSERT_FALSE(got.first) << got.first->detail.toStdString();
        EXPECT_EQ(got.second, home + made);
    }
    EXPECT_EQ(client.requestCount(DavRequest::MkCalendar), 3);
    EXPECT_EQ(client.requestCount(), 6);
    EXPECT_EQ(discovered(server.origin(), home),
              "both/ Both, dates-days/ Dates & Days!, dates/ Dates & Days, kivo-2/ kivo, "
              "kivo/ kivo (4 requests)");
}

TEST_F(CalDav, EventsChangeOnlyFromTheVersionTheirEtagNames) {
    ASSERT_EQ(server.mkCalendar("/alice/kivo/", QStringLiteral("kivo")), 201);
    const QString calendar = server.origin() + "/alice/kivo/";
    CalDavClient client(login(server.origin()));
    QString current, stale; // the event's ETag now, and the one before
    enum Match { Create, Current, Stale };
    const struct {
        DavRequest kind;
        const char* name;
        const char* summary; // of the event put
        Match match;
        QString seen;
    } steps[] = {
        {DavRequest::Put, "a@kivo.ics", "one", Create, "written"},
        {DavRequest::Put, "a@kivo.ics", "one", Create, "412"},
        {DavRequest::Put, "a@kivo.ics", "two", Current, "written"},
        {DavRequest::Put, "a@kivo.ics", "three", Stale, "412"},
        {DavRequest::Put, "b.ics", "one", Create, "error no-uid-conflict"},
        {DavRequest::Get, "a@kivo.ics", nullptr, Create, "current two"},
        {DavRequest::Propfind, nullptr, nullptr, Create, "a@kivo.ics current"},
        {DavRequest::Delete, "a@kivo.ics", nullptr, Stale, "412"},
        {DavRequest::Delete, "a@kivo.ics", nullptr, Current, "deleted"},
        {DavRequest::Get, "a@kivo.ics", nullptr, Create, "missing"},
        {DavRequest::Delete, "a@kivo.ics", nullptr, Create, "deleted"},
        {DavRequest::Propfind, nullptr, nullptr, Create, ""},
    };
    int sent = 0;
    for (const auto& s : steps) {
        SCOPED_TRACE(sent);
        const QString name = s.name;
        const QString ifMatch = s.match == Current ? current : s.match == Stale ? stale : QString();
        const int before = client.requestCount(s.kind);
        QString seen;
        const auto failed = [&](const std::optional<SyncError>& e, bool precondition) {
            if (e)
                seen = "error " + e->detail.section(": ", -1);
            else if (precondition)
                seen = "412";
            return e || precondition;
        };
        if (s.kind == DavRequest::Put) {
            const auto put = waitFor<PutOutcome>([&](auto done) {
                client.putEvent(calendar, name, event(s.summary), ifMatch, done);
            });
            if (!failed(put.error, put.preconditionFailed)) {
                EXPECT_FALSE(put.etag.isEmpty() || put.etag == current);
                std::tie(stale, current) = std::pair(current, put.etag);
                seen = "written";
            }
        } else if (s.kind == DavRequest::Get) {
            const auto got =
                waitFor<GetOutcome>([&](auto done) { client.getEvent(calendar, name, done); });
            const QString summary = QString(got.body).section("SUMMARY:", 1).section("\r\n", 0, 0);
            if (!failed(got.error, false))
                seen = got.missing ? "missing"
                                   : (got.etag == current ? "current " : "other ") + summary;
        } else if (s.kind == DavRequest::Delete) {
            const auto deleted = waitFor<DeleteOutcome>(
                [&](auto done) { client.deleteEvent(calendar, name, ifMatch, done); });
            if (!failed(deleted.error, deleted.preconditionFailed))
                seen = "deleted";
        } else {
            const auto listing =
                waitFor<EventListing>([&](auto done) { client.listEvents(calendar, done); });
            failed(listing.error, false);
            for (const EventResource& e : listing.events)
                seen += e.name + (e.etag == current ? " current" : " other");
        }
        EXPECT_EQ(seen, s.seen);
        // One request each, a write's ETag coming with its answer.
        EXPECT_EQ(client.requestCount(s.kind), before + 1);
        EXPECT_EQ(client.requestCount(), ++sent);
    }
}

} // namespace
} // namespace kivo::sync
