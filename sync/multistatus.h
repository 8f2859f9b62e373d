// The WebDAV multistatus answer (207) of an address book or calendar server, read into plain
// values.
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>
#include <vector>

namespace kivo::sync {

// The namespaces of the elements read here and of the requests' bodies.
inline const QString kDavNs = QStringLiteral("DAV:");
inline const QString kCardDavNs = QStringLiteral("urn:ietf:params:xml:ns:carddav");
inline const QString kCalDavNs = QStringLiteral("urn:ietf:params:xml:ns:caldav");

// The properties a client of an address book or calendar server asks for; each is empty when not
// given.
struct DavProperties {
    std::optional<QString> etag; // getetag, as given (quotes kept: it is compared, never read)
    bool isCollection = false;   // resourcetype holds collection
    bool isAddressBook = false;  // resourcetype holds CardDAV's addressbook
    bool isCalendar = false;     // resourcetype holds CalDAV's calendar
    std::optional<QString> displayName;
    std::optional<QUrl> currentUserPrincipal; // its href, resolved
    std::optional<QUrl> addressBookHomeSet;   // its first href, resolved
    std::optional<QUrl> calendarHomeSet;      // its first href, resolved
    std::optional<QString> syncToken;
    std::optional<QString> addressData;  // the vCard text
    std::optional<QString> calendarData; // the iCalendar text
    bool supportsSyncCollection = false; // supported-report-set lists sync-collection
    // supported-calendar-component-set lists VEVENT. A calendar that does not give the set takes
    // every component: `acceptsEvents.value_or(true)`.
    std::optional<bool> acceptsEvents;
    bool operator==(const DavProperties&) const = default;
};

// One propstat: properties and the status they share (200 found, 404 not there, ...).
struct DavPropStat {
    int status = 0; // the HTTP code of its status line; 0 when it has none that reads
    DavProperties properties;
    bool operator==(const DavPropStat&) const = default;
};

// One response: a resource and what the server says of it.
struct DavResponse {
    QUrl href;      // percent-decoded and resolved against the address the request went to
    int status = 0; // a status of the resource itself (404: a member gone, in a sync report)
    std::vector<DavPropStat> propStats;
    bool operator==(const DavResponse&) const = default;

    // The properties of every propstat with a 2xx status, together.
    DavProperties found() const;
};

struct Multistatus {
    std::vector<DavResponse> responses;
    std::optional<QString> syncToken; // the report's own sync-token (sync-collection)
    bool operator==(const Multistatus&) const = default;
};

// Reads a multistatus body. Elements are known by their namespace, whatever prefix the server
// chose; anything unknown is passed over. Hrefs are resolved against `requestUrl`. Returns
// nothing, with the reason in `error`, for a body that is not well-formed XML, not a multistatus,
// or has a response without an href; never fails otherwise, on any input.
std::optional<Multistatus> readMultistatus(const QByteArray& body, const QUrl& requestUrl,
                                           QString* error = nullptr);

// Whether an error body (DAV:error) names the precondition `name` of the DAV: namespace, as a
// server refusing a sync token does with valid-sync-token.
bool hasDavPrecondition(const QByteArray& body, const QString& name);

// The condition an error body (DAV:error) names first, by its local name whatever its namespace
// ("no-uid-conflict"); empty when the body names none.
QString errorCondition(const QByteArray& body);

// The HTTP code of a status line such as "HTTP/1.1 404 Not Found"; 0 when it does not read.
int statusLineCode(const QString& line);

} // namespace kivo::sync
