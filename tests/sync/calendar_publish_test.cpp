// Publishing the records to a calendar of Radicale on 127.0.0.1: only what changed is sent, an
// event another client changed keeps that client's additions, a publish cut off is completed
// without duplicates, and Radicale's own expansion puts every event on the day kivo counts.
#include "sync/calendar_publish.h"

#include "engine/occurrence.h"
#include "support/record_builder.h"
#include "tests/sync/radicale_server.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <set>

namespace kivo::sync {
namespace {

using test::RadicaleServer;
using test::waitFor;

const QString kCalendar = QStringLiteral("/alice/kivo/");

struct Publish : ::testing::Test {
    RadicaleServer server;
    QTemporaryDir folder;
    RecordList records;
    std::string statePath;

    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_EQ(server.mkCalendar(kCalendar, QStringLiteral("kivo")), 201);
        statePath = folder.filePath(QStringLiteral("published.ini")).toStdString();
    }
    QString url() const { return server.origin() + kCalendar; }
    ServerLogin login() const {
        return {server.origin(),
                QString::fromLatin1(RadicaleServer::kUser),
                QString::fromLatin1(RadicaleServer::kPassword),
                {},
                30000};
    }
    // One publish of `records`; `during` may act on the client before it starts.
    PublishOutcome
    publish(const std::function<void(CalDavClient&, CalendarPublisher&)>& during = {}) {
        CalDavClient client(login());
        CalendarPublisher publisher(client, statePath);
        if (during)
            during(client, publisher);
        return waitFor<PublishOutcome>([&](auto done) {
            publisher.start(url(), wantedEvents(records, defaultCategories(), false), 1780790400,
                            done);
        });
    }
    // The events on the server, by name.
    std::set<std::string> onServer() {
        CalDavClient client(login());
        const EventListing listing =
            waitFor<EventListing>([&](auto done) { client.listEvents(url(), done); });
        EXPECT_FALSE(listing.error);
        std::set<std::string> names;
        for (const EventResource& e : listing.events)
            names.insert(e.name.toStdString());
        return names;
    }
    std::string eventText(const std::string& name) {
        CalDavClient client(login());
        return waitFor<GetOutcome>(
                   [&](auto done) { client.getEvent(url(), QString::fromStdString(name), done); })
            .body.toStdString();
    }
};

std::string counts(const PublishOutcome& o) {
    return std::to_string(o.created) + " new, " + std::to_string(o.changed) + " changed, " +
           std::to_string(o.deleted) + " removed, " + std::to_string(o.unchanged) + " unchanged, " +
           std::to_string(o.requests) + " requests" +
           (o.error ? ", " + o.error->detail.toStdString() : "");
}

TEST_F(Publish, OnlyWhatChangedIsSentAndTheServerHoldsExactlyTheRecords) {
    records.append(kivo::test::record("Anna", 12, 6, 1990));
    records.append(kivo::test::record("Ben", 3, 1, 1985));
    records.append(kivo::test::record("Cleo", 20, 9, 0, {.type = BirthdayUnknownAge}));
    records.append(kivo::test::record("No date", 0, 0, 1990));
    // An event another program put on the calendar is never touched.
    ASSERT_EQ(server.request("PUT", kCalendar + "other.ics",
                             "BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:x\r\nBEGIN:VEVENT\r\n"
                             "UID:other\r\nDTSTAMP:20260101T000000Z\r\nDTSTART;VALUE=DATE:"
                             "20260101\r\nSUMMARY:Not kivo's\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n",
                             "text/calendar"),
              201);

    // The listing, then one write per record; then the listing alone.
    EXPECT_EQ(counts(publish()), "3 new, 0 changed, 0 removed, 0 unchanged, 4 requests");
    EXPECT_EQ(counts(publish()), "0 new, 0 changed, 0 removed, 3 unchanged, 1 requests");
    const std::set<std::string> first = onServer();
    ASSERT_EQ(first.size(), 4u);
    const std::string anna = *std::find_if(first.begin(), first.end(), [&](const auto& name) {
        return eventText(name).find("Anna's Birthday") != std::string::npos;
    });

    // Anna's date changed, Ben deleted, Dora added: one request each after the listing, and
    // Anna's event keeps its name and UID.
    records[0].day = 13;
    records.remove(&records[1]);
    records.append(kivo::test::record("Dora", 1, 2, 1970));
    EXPECT_EQ(counts(publish()), "1 new, 1 changed, 1 removed, 1 unchanged, 4 requests");
    const std::set<std::string> now = onServer();
    EXPECT_EQ(now.size(), 4u);
    EXPECT_TRUE(now.contains(anna));
    EXPECT_TRUE(now.contains("other.ics"));
    EXPECT_NE(eventText(anna).find("DTSTART;VALUE=DATE:19900613"), std::string::npos);
    EXPECT_NE(eventText("other.ics").find("Not kivo's"), std::string::npos);

    // Another client adds an alarm to Anna's event; kivo's next change keeps it.
    ASSERT_TRUE(test::addAlarmWithCaldav(url(), QString::fromStdString(anna).chopped(4)));
    records[0].day = 14;
    const PublishOutcome merged = publish();
    EXPECT_EQ(merged.changed, 1) << counts(merged);
    const std::string text = eventText(anna);
    EXPECT_NE(text.find("DTSTART;VALUE=DATE:19900614"), std::string::npos) << text;
    EXPECT_NE(text.find("Buy a present"), std::string::npos) << text;
    EXPECT_NE(text.find("Added on the phone"), std::string::npos) << text;

    // Publishing nothing removes kivo's events and only those.
    records.clear();
    EXPECT_EQ(publish().deleted, 3);
    EXPECT_EQ(onServer(), std::set<std::string>{"other.ics"});
}

TEST_F(Publish, ACutOffPublishIsCompletedWithoutDuplicates) {
    for (int i = 0; i < 12; ++i)
        records.append(
            kivo::test::record("Person " + std::to_string(i), 1 + i, 1 + i % 12, 1980 + i));
    // Cut off after five writes, with others under way, as a timeout does.
    int writes = 0; // counted after the call that starts the publish has returned
    const PublishOutcome cut = waitFor<PublishOutcome>([&](auto done) {
        auto* client = new CalDavClient(login());
        auto* publisher = new CalendarPublisher(*client, statePath, client);
        QObject::connect(client, &CalDavClient::requestFinished, client,
                         [&, client, publisher, done](DavRequest kind, int) {
                             if (kind == DavRequest::Put && ++writes == 5) {
                                 publisher->stop();
                                 client->deleteLater();
                                 done(PublishOutcome{});
                             }
                         });
        publisher->start(url(), wantedEvents(records, defaultCategories(), false), 0,
                         [](const PublishOutcome&) { ADD_FAILURE() << "not cut off"; });
    });
    EXPECT_FALSE(cut.error);
    // The fifth answer came after the cut: four are noted.
    EXPECT_EQ(readPublishedFile(statePath).events.size(), 4u);
    const PublishOutcome rest = publish();
    EXPECT_FALSE(rest.error) << counts(rest);
    EXPECT_EQ(rest.created + rest.changed + rest.unchanged, 12) << counts(rest);
    EXPECT_EQ(onServer().size(), 12u);
    EXPECT_EQ(readPublishedFile(statePath).events.size(), 12u);

    // The server gone: an error, and what was noted stays.
    const PublishedCalendar before = readPublishedFile(statePath);
    server.stop();
    records.append(kivo::test::record("Late", 1, 1, 2000));
    EXPECT_TRUE(publish().error.has_value());
    EXPECT_EQ(readPublishedFile(statePath), before);
}

// Radicale's time-range query finds each event on the day the reminders count on in every year
// from 2024 to 2032, and not on the day before.
TEST_F(Publish, TheServerFindsEveryEventOnTheCountedDay) {
    records.append(kivo::test::record("Leap on the 28th", 29, 2, 1984, {.leapling = 0}));
    records.append(kivo::test::record("Leap on 1 March", 29, 2, 1988));
    records.append(kivo::test::record("Leap without year", 29, 2, 0, {.leapling = 0}));
    records.append(kivo::test::record("Thirty-first of April", 31, 4, 1970));
    records.append(kivo::test::record("Thirtieth of February", 30, 2, 1990, {.type = AnnualEvent}));
    ASSERT_FALSE(publish().error);
    const auto found = [&](Date day) {
        const auto stamp = [](Date d) {
            char text[24];
            std::snprintf(text, sizeof text, "%04d%02d%02dT000000Z", yearOf(d), monthOf(d),
                          dayOf(d));
            return std::string(text);
        };
        const Date next{std::chrono::sys_days(day) + std::chrono::days(1)};
        const std::string body =
            "<C:calendar-query xmlns:D=\"DAV:\" xmlns:C=\"urn:ietf:params:xml:ns:caldav\">"
            "<D:prop><C:calendar-data/></D:prop><C:filter><C:comp-filter name=\"VCALENDAR\">"
            "<C:comp-filter name=\"VEVENT\"><C:time-range start=\"" +
            stamp(day) + "\" end=\"" + stamp(next) +
            "\"/></C:comp-filter></C:comp-filter></C:filter></C:calendar-query>";
        QByteArray answer;
        server.request("REPORT", kCalendar, QByteArray::fromStdString(body), "application/xml",
                       &answer);
        return answer.toStdString();
    };
    for (int year = 2024; year <= 2032; ++year) {
        for (const PersonRecord& r : records) {
            const Date day = countedDate(r, year);
            const std::string summary = r.name + (r.type == AnnualEvent ? "" : "'s Birthday");
            SCOPED_TRACE(summary + " in " + std::to_string(year));
            EXPECT_NE(found(day).find(summary), std::string::npos);
            EXPECT_EQ(found(Date{std::chrono::sys_days(day) - std::chrono::days(1)}).find(summary),
                      std::string::npos);
        }
    }
}

} // namespace
} // namespace kivo::sync
