// kivo's yearly events on a calendar of the account's server: the calendar holds one event per
// published record, as the calendar export writes it, and nothing else that kivo put there; what
// others put there is never touched. Only what changed since the last publish is sent.
#pragma once

#include "core/person_record.h"
#include "exchange/calendar_format.h"
#include "sync/caldav_client.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kivo::sync {

// An event kivo put on the calendar, as the server confirmed it.
struct PublishedEvent {
    std::string name; // the resource's name in the calendar: "<uid>.ics"
    std::string uid;
    std::string etag; // given at kivo's last write; empty when the server named none
    std::string hash; // of the event kivo wrote, its time stamp apart
    std::string key;  // the record it was made of (name, date and type), to find it when changed
    bool operator==(const PublishedEvent&) const = default;
};

// What the account's publish file keeps: the calendar and the events kivo put on it.
struct PublishedCalendar {
    std::string calendarUrl;
    std::vector<PublishedEvent> events;
    bool operator==(const PublishedCalendar&) const = default;
};

// "kivo-published-<id>.ini", in the data folder beside the account's contacts file.
std::string publishedFileName(const std::string& accountId);
std::string formatPublishedFile(const PublishedCalendar& file);
PublishedCalendar parsePublishedFile(std::string_view bytes);
// A missing or unreadable file reads as nothing published.
PublishedCalendar readPublishedFile(const std::string& path);
bool writePublishedFile(const std::string& path, const PublishedCalendar& file,
                        std::string* error = nullptr);

// A record to publish, with the UID the calendar export gives it.
struct WantedEvent {
    const PersonRecord* record = nullptr;
    std::string uid;
    std::string category;
    std::string key;
};
// The records to publish: every dated record, or only the user's own (not those of address books).
std::vector<WantedEvent> wantedEvents(const RecordList& records, const Categories& categories,
                                      bool ownRecordsOnly);

struct PublishOutcome {
    std::optional<SyncError> error; // the first failure; what went before it is kept
    int created = 0;
    int changed = 0;
    int deleted = 0;
    int unchanged = 0;
    int requests = 0;
};

// One publish to one calendar, from the state the publish file keeps. The events' writes run a
// few at a time; a write refused because the event changed on the server takes the server's
// version, puts kivo's fields into it and tries again (a few times at most).
class CalendarPublisher : public QObject {
public:
    CalendarPublisher(CalDavClient& client, std::string statePath, QObject* parent = nullptr);
    ~CalendarPublisher() override;

    // Lists the calendar, sends what changed and writes the publish file; `done` is called once,
    // later, from the event loop. The records must outlive the publish.
    void start(const QString& calendarUrl, std::vector<WantedEvent> wanted, std::int64_t stampUtc,
               std::function<void(const PublishOutcome&)> done);
    // Ends the publish at once, without `done`: what the server confirmed so far is written to the
    // publish file, and the rest goes at the next publish. Ending the publisher does the same.
    void stop();

    // The most writes under way at once.
    static constexpr int kInFlight = 4;

private:
    struct Run;
    void listed(const EventListing& listing);
    void sendNext();
    void put(std::size_t op, const QString& ifMatch);
    void remove(std::size_t op, const QString& ifMatch);
    void opDone(std::size_t op, std::optional<SyncError> error);
    void finish();
    void writeState();

    CalDavClient& client_;
    std::string statePath_;
    std::unique_ptr<Run> run_;
};

} // namespace kivo::sync
