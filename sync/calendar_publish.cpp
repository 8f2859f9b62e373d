#include "sync/calendar_publish.h"

#include "core/content_hash.h"
#include "core/safe_save.h"
#include "core/text_file.h"
#include "sync/tag_lines.h"

#include <QRegularExpression>

#include <cstdio>
#include <map>
#include <unordered_map>

namespace kivo::sync {

namespace {

constexpr std::string_view kHeader =
    "# kivo: the events it put on a calendar of this account, to send only what changed. kivo "
    "rewrites this file.";
constexpr std::string_view kCalendarTag = "#@calendar\t";
constexpr std::string_view kEventTag = "#@event\t";

// A write refused because the event changed on the server is tried again this often at most.
constexpr int kMaxAttempts = 3;

std::string recordKey(const PersonRecord& r) {
    char date[64];
    std::snprintf(date, sizeof date, "%d.%d.%d.%d", r.day, r.month, r.year, r.type);
    return r.name + '\n' + date;
}

std::string_view keyName(std::string_view key) {
    return key.substr(0, key.rfind('\n'));
}

std::string_view keyDate(std::string_view key) {
    const std::size_t cut = key.rfind('\n');
    return cut == std::string_view::npos ? std::string_view() : key.substr(cut + 1);
}

std::string hashText(std::string_view text) {
    char hex[24];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(contentHashOf(text)));
    return hex;
}

// The names kivo gives its events: what the calendar export makes a UID, and ".ics".
bool isKivoEventName(const QString& name) {
    static const QRegularExpression kivoName(QStringLiteral("^[0-9a-f]{16}(-[0-9]+)*@kivo\\.ics$"));
    return kivoName.match(name).hasMatch();
}

// A write or delete that met a newer version on the server at every attempt.
SyncError keptChanging(const std::string& name) {
    return {SyncErrorKind::ServerError,
            QStringLiteral("An event kept changing on the server while kivo sent it; kivo tries "
                           "again at the next sync."),
            QString::fromStdString(name),
            {}};
}

} // namespace

std::string publishedFileName(const std::string& accountId) {
    return "kivo-published-" + accountId + ".ini";
}

std::string formatPublishedFile(const PublishedCalendar& file) {
    std::string out;
    appendTextLine(out, kHeader);
    appendTextLine(out, tagLine(kCalendarTag, {file.calendarUrl}));
    for (const PublishedEvent& e : file.events)
        appendTextLine(out, tagLine(kEventTag, {e.name, e.uid, e.etag, e.hash, e.key}));
    return out;
}

PublishedCalendar parsePublishedFile(std::string_view bytes) {
    PublishedCalendar file;
    TextLines lines(textOfFile(bytes));
    std::string_view line;
    while (lines.next(line)) {
        if (line.starts_with(kCalendarTag)) {
            const std::vector<std::string> fields = splitFields(line.substr(kCalendarTag.size()));
            if (fields.size() == 1)
                file.calendarUrl = fields[0];
        } else if (line.starts_with(kEventTag)) {
            std::vector<std::string> f = splitFields(line.substr(kEventTag.size()));
            if (f.size() == 5 && !f[0].empty())
                file.events.push_back({f[0], f[1], f[2], f[3], f[4]});
        }
    }
    return file;
}

PublishedCalendar readPublishedFile(const std::string& path) {
    std::string bytes;
    bool missing = false;
    return readFileBytes(path, bytes, missing) == TextReadStatus::Ok ? parsePublishedFile(bytes)
                                                                     : PublishedCalendar{};
}

bool writePublishedFile(const std::string& path, const PublishedCalendar& file,
                        std::string* error) {
    return replaceFileAtomically(path, formatPublishedFile(file), error);
}

std::vector<WantedEvent> wantedEvents(const RecordList& records, const Categories& categories,
                                      bool ownRecordsOnly) {
    std::vector<WantedEvent> wanted;
    // The UIDs are the export's, made of the records in list order; the texts are made later.
    for (const CalendarEvent& e : calendarEvents(records, categories, 0)) {
        const PersonRecord& r = records[e.record];
        if (ownRecordsOnly && r.source != 0)
            continue;
        wanted.push_back({&r, e.uid, categoryFor(categories, r.icon), recordKey(r)});
    }
    return wanted;
}

// One write or delete of the publish.
struct Op {
    bool isPut = true;
    bool creates = false;  // a new event, not one kivo wrote before
    PublishedEvent event;  // a put: what the publish file keeps once it is confirmed
    std::string eventText; // a put: kivo's VEVENT
    std::string merged;    // a put after a refusal: the server's version with kivo's event in it
    QString serverEtag;    // a delete: the ETag the listing gave
    int attempts = 0;
};

struct CalendarPublisher::Run {
    QString url;
    std::int64_t stamp = 0;
    std::vector<WantedEvent> wanted;
    std::function<void(const PublishOutcome&)> done;
    int requestsBefore = 0;
    std::map<std::string, PublishedEvent> state; // by name: what the server holds of kivo's
    std::vector<Op> ops;
    std::size_t next = 0;
    int inFlight = 0;
    PublishOutcome outcome;
    bool stateChanged = false;
};

CalendarPublisher::CalendarPublisher(CalDavClient& client, std::string statePath, QObject* parent)
    : QObject(parent), client_(client), statePath_(std::move(statePath)) {}

CalendarPublisher::~CalendarPublisher() {
    // Ended with its owner (a timeout, a window closed): what was confirmed is noted all the same.
    stop();
}

void CalendarPublisher::start(const QString& calendarUrl, std::vector<WantedEvent> wanted,
                              std::int64_t stampUtc,
                              std::function<void(const PublishOutcome&)> done) {
    run_ = std::make_unique<Run>();
    run_->url = calendarUrl;
    run_->stamp = stampUtc;
    run_->wanted = std::move(wanted);
    run_->done = std::move(done);
    run_->requestsBefore = client_.requestCount();
    const PublishedCalendar before = readPublishedFile(statePath_);
    // What kivo put on another calendar is that calendar's: this one starts from nothing.
    if (before.calendarUrl == calendarUrl.toStdString())
        for (const PublishedEvent& e : before.events)
            run_->state[e.name] = e;
    else
        run_->stateChanged = true;
    const Run* run = run_.get();
    client_.listEvents(calendarUrl, [this, run](const EventListing& listing) {
        if (run == run_.get())
            listed(listing);
    });
}

void CalendarPublisher::listed(const EventListing& listing) {
    Run& run = *run_;
    if (listing.error) {
        run.outcome.error = listing.error;
        finish();
        return;
    }
    std::unordered_map<std::string, QString> onServer;
    for (const EventResource& e : listing.events)
        onServer[e.name.toStdString()] = e.etag;

    // Each wanted record finds the event kivo made of it before: by the same name, date and type;
    // else, for a record changed since, by its name alone or its date alone where that is unique.
    std::vector<const PublishedEvent*> known;
    for (const auto& [name, e] : run.state)
        known.push_back(&e);
    std::vector<int> pairOf(run.wanted.size(), -1);
    std::vector<bool> taken(known.size(), false);
    std::unordered_multimap<std::string, std::size_t> byKey;
    for (std::size_t k = 0; k < known.size(); ++k)
        byKey.emplace(known[k]->key, k);
    for (std::size_t w = 0; w < run.wanted.size(); ++w) {
        auto [first, last] = byKey.equal_range(run.wanted[w].key);
        // The lowest place among equals first, so that twins keep their events in order.
        std::size_t best = known.size();
        for (auto it = first; it != last; ++it)
            if (!taken[it->second] && it->second < best)
                best = it->second;
        if (best < known.size()) {
            pairOf[w] = static_cast<int>(best);
            taken[best] = true;
        }
    }
    const auto pairBy = [&](std::string_view (*part)(std::string_view)) {
        std::map<std::string_view, std::pair<std::vector<std::size_t>, std::vector<std::size_t>>>
            groups;
        for (std::size_t w = 0; w < run.wanted.size(); ++w)
            if (pairOf[w] < 0)
                groups[part(run.wanted[w].key)].first.push_back(w);
        for (std::size_t k = 0; k < known.size(); ++k)
            if (!taken[k])
                groups[part(known[k]->key)].second.push_back(k);
        for (const auto& [value, sides] : groups)
            if (sides.first.size() == 1 && sides.second.size() == 1) {
                pairOf[sides.first[0]] = static_cast<int>(sides.second[0]);
                taken[sides.second[0]] = true;
            }
    };
    pairBy(keyName);
    pairBy(keyDate);

    std::unordered_map<std::string, bool> usedUid;
    for (std::size_t k = 0; k < known.size(); ++k)
        if (taken[k])
            usedUid[known[k]->uid] = true;
    std::unordered_map<std::string, bool> wantedName;
    for (std::size_t w = 0; w < run.wanted.size(); ++w) {
        const WantedEvent& want = run.wanted[w];
        Op op;
        if (pairOf[w] >= 0) {
            const PublishedEvent& was = *known[static_cast<std::size_t>(pairOf[w])];
            op.event = was;
            op.creates = !onServer.contains(was.name);
        } else {
            // A new event, under the export's UID unless a changed record's event keeps that one.
            std::string uid = want.uid;
            for (int n = 2; usedUid.contains(uid); ++n)
                uid = want.uid + "-" + std::to_string(n);
            usedUid[uid] = true;
            op.event.uid = uid;
            op.event.name = uid + ".ics";
            op.creates = true;
        }
        wantedName[op.event.name] = true;
        const std::string unstamped =
            formatCalendarEvent(*want.record, op.event.uid, 0, want.category);
        const std::string hash = hashText(unstamped);
        if (!op.creates && hash == op.event.hash && want.key == op.event.key) {
            ++run.outcome.unchanged;
            continue;
        }
        op.event.hash = hash;
        op.event.key = want.key;
        op.eventText = formatCalendarEvent(*want.record, op.event.uid, run.stamp, want.category);
        run.ops.push_back(std::move(op));
    }
    // Events of records no longer published go; one the server no longer has is gone already.
    for (std::size_t k = 0; k < known.size(); ++k) {
        if (taken[k])
            continue;
        const auto there = onServer.find(known[k]->name);
        if (there == onServer.end()) {
            run.state.erase(known[k]->name);
            run.stateChanged = true;
            continue;
        }
        Op op;
        op.isPut = false;
        op.event = *known[k];
        op.serverEtag = there->second;
        run.ops.push_back(std::move(op));
    }
    // So do events kivo made that it has no record of (a publish cut off before it could note
    // them): their names say they are kivo's.
    for (const EventResource& e : listing.events) {
        const std::string name = e.name.toStdString();
        if (!run.state.contains(name) && !wantedName.contains(name) && isKivoEventName(e.name)) {
            Op op;
            op.isPut = false;
            op.event.name = name;
            op.serverEtag = e.etag;
            run.ops.push_back(std::move(op));
        }
    }
    sendNext();
}

void CalendarPublisher::sendNext() {
    Run& run = *run_;
    while (!run.outcome.error && run.inFlight < kInFlight && run.next < run.ops.size()) {
        const std::size_t op = run.next++;
        ++run.inFlight;
        const Op& o = run.ops[op];
        if (o.isPut)
            put(op, o.creates ? QString() : QString::fromStdString(o.event.etag));
        else
            remove(op, QString::fromStdString(o.event.etag).isEmpty()
                           ? o.serverEtag
                           : QString::fromStdString(o.event.etag));
    }
    if (run.inFlight == 0 && (run.outcome.error || run.next == run.ops.size()))
        finish();
}

void CalendarPublisher::put(std::size_t op, const QString& ifMatch) {
    const Run* run = run_.get();
    Op& o = run_->ops[op];
    client_.putEvent(
        run_->url, QString::fromStdString(o.event.name),
        QByteArray::fromStdString(o.merged.empty() ? calendarObject(o.eventText) : o.merged),
        ifMatch, [this, run, op](const PutOutcome& answer) {
            if (run != run_.get())
                return;
            Op& o = run_->ops[op];
            if (answer.error) {
                opDone(op, answer.error);
                return;
            }
            if (!answer.preconditionFailed) {
                o.event.etag = answer.etag.toStdString();
                run_->state[o.event.name] = o.event;
                run_->stateChanged = true;
                ++(o.creates ? run_->outcome.created : run_->outcome.changed);
                opDone(op, std::nullopt);
                return;
            }
            // Someone changed the event on the server (or it is there already): kivo's fields go
            // into the server's version, and what else it holds stays.
            if (++o.attempts > kMaxAttempts) {
                opDone(op, keptChanging(o.event.name));
                return;
            }
            client_.getEvent(run_->url, QString::fromStdString(o.event.name),
                             [this, run, op](const GetOutcome& got) {
                                 if (run != run_.get())
                                     return;
                                 Op& o = run_->ops[op];
                                 if (got.error) {
                                     opDone(op, got.error);
                                     return;
                                 }
                                 if (got.missing) {
                                     o.creates = true;
                                     put(op, QString());
                                     return;
                                 }
                                 // A version that holds no event of this UID is replaced.
                                 o.merged = mergeCalendarObject(got.body.toStdString(), o.eventText,
                                                                o.event.uid)
                                                .value_or(std::string());
                                 // Without an ETag to match, the write is refused again and
                                 // counts as another attempt.
                                 put(op, got.etag.isEmpty() ? QStringLiteral("\"\"") : got.etag);
                             });
        });
}

void CalendarPublisher::remove(std::size_t op, const QString& ifMatch) {
    const Run* run = run_.get();
    client_.deleteEvent(run_->url, QString::fromStdString(run_->ops[op].event.name), ifMatch,
                        [this, run, op](const DeleteOutcome& answer) {
                            if (run != run_.get())
                                return;
                            Op& o = run_->ops[op];
                            if (answer.error) {
                                opDone(op, answer.error);
                                return;
                            }
                            if (!answer.preconditionFailed) {
                                run_->state.erase(o.event.name);
                                run_->stateChanged = true;
                                ++run_->outcome.deleted;
                                opDone(op, std::nullopt);
                                return;
                            }
                            // Changed on the server since: the record is gone all the same, so
                            // the event goes in whatever version the server has now.
                            if (++o.attempts > kMaxAttempts) {
                                opDone(op, keptChanging(o.event.name));
                                return;
                            }
                            client_.getEvent(run_->url, QString::fromStdString(o.event.name),
                                             [this, run, op](const GetOutcome& got) {
                                                 if (run != run_.get())
                                                     return;
                                                 if (got.error)
                                                     opDone(op, got.error);
                                                 else if (got.missing)
                                                     opDone(op, std::nullopt);
                                                 else
                                                     remove(op, got.etag);
                                             });
                        });
}

void CalendarPublisher::opDone(std::size_t, std::optional<SyncError> error) {
    --run_->inFlight;
    if (error && !run_->outcome.error)
        run_->outcome.error = std::move(error);
    sendNext();
}

void CalendarPublisher::writeState() {
    Run& run = *run_;
    if (!run.stateChanged)
        return;
    PublishedCalendar file;
    file.calendarUrl = run.url.toStdString();
    for (const auto& [name, e] : run.state)
        file.events.push_back(e);
    std::string reason;
    if (!writePublishedFile(statePath_, file, &reason) && !run.outcome.error)
        run.outcome.error = SyncError{SyncErrorKind::ServerError,
                                      QStringLiteral("kivo could not note what it published: %1")
                                          .arg(QString::fromStdString(reason)),
                                      QString::fromStdString(statePath_),
                                      {}};
}

void CalendarPublisher::finish() {
    writeState();
    run_->outcome.requests = client_.requestCount() - run_->requestsBefore;
    const PublishOutcome outcome = run_->outcome;
    auto done = std::move(run_->done);
    run_.reset();
    done(outcome);
}

void CalendarPublisher::stop() {
    if (!run_)
        return;
    writeState();
    run_.reset();
}

} // namespace kivo::sync
