// The multistatus reader: one pass of QXmlStreamReader, elements matched by namespace and name.
#include "sync/multistatus.h"

#include <QXmlStreamReader>

namespace kivo::sync {

namespace {

bool is(const QXmlStreamReader& xml, const QString& ns, QLatin1StringView name) {
    return xml.namespaceUri() == ns && xml.name() == name;
}

// The text of the current element, child elements passed over, for values such as an ETag or
// a vCard. Leaves the reader on the element's end.
QString textOf(QXmlStreamReader& xml) {
    QString text;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        switch (xml.readNext()) {
        case QXmlStreamReader::StartElement:
            ++depth;
            break;
        case QXmlStreamReader::EndElement:
            --depth;
            break;
        case QXmlStreamReader::Characters:
        case QXmlStreamReader::EntityReference:
            if (depth == 1)
                text += xml.text();
            break;
        default:
            break;
        }
    }
    return text;
}

// An href as a server writes it (percent-encoded, often relative) made into an address.
std::optional<QUrl> resolve(const QString& text, const QUrl& base) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QUrl relative(trimmed, QUrl::TolerantMode);
    if (!relative.isValid())
        return std::nullopt;
    // Through its encoded form once, so that one address is one value however the server
    // escaped it: QUrl keeps a raw "#" inside a fragment apart from "%23", and hrefs are keys.
    return QUrl::fromEncoded(base.resolved(relative).toEncoded());
}

// The first DAV:href inside the current element (current-user-principal, addressbook-home-set).
std::optional<QUrl> hrefInside(QXmlStreamReader& xml, const QUrl& base) {
    std::optional<QUrl> href;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement) {
            --depth;
        } else if (token == QXmlStreamReader::StartElement) {
            if (!href && is(xml, kDavNs, QLatin1StringView("href")))
                href = resolve(textOf(xml), base);
            else
                ++depth;
        }
    }
    return href;
}

void readResourceType(QXmlStreamReader& xml, DavProperties& p) {
    while (xml.readNextStartElement()) {
        if (is(xml, kDavNs, QLatin1StringView("collection")))
            p.isCollection = true;
        else if (is(xml, kCardDavNs, QLatin1StringView("addressbook")))
            p.isAddressBook = true;
        else if (is(xml, kCalDavNs, QLatin1StringView("calendar")))
            p.isCalendar = true;
        xml.skipCurrentElement();
    }
}

// supported-report-set: supported-report / report / <the report>, at any depth below.
void readSupportedReports(QXmlStreamReader& xml, DavProperties& p) {
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            ++depth;
            if (is(xml, kDavNs, QLatin1StringView("sync-collection")))
                p.supportsSyncCollection = true;
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
}

// supported-calendar-component-set: a comp element for each kind of component, by its name.
void readComponentSet(QXmlStreamReader& xml, DavProperties& p) {
    p.acceptsEvents = false;
    while (xml.readNextStartElement()) {
        if (is(xml, kCalDavNs, QLatin1StringView("comp")) &&
            xml.attributes()
                    .value(QLatin1StringView("name"))
                    .trimmed()
                    .compare(QLatin1StringView("VEVENT"), Qt::CaseInsensitive) == 0)
            p.acceptsEvents = true;
        xml.skipCurrentElement();
    }
}

void readProp(QXmlStreamReader& xml, const QUrl& base, DavProperties& p) {
    while (xml.readNextStartElement()) {
        if (is(xml, kDavNs, QLatin1StringView("getetag")))
            p.etag = textOf(xml).trimmed();
        else if (is(xml, kDavNs, QLatin1StringView("resourcetype")))
            readResourceType(xml, p);
        else if (is(xml, kDavNs, QLatin1StringView("displayname")))
            p.displayName = textOf(xml);
        else if (is(xml, kDavNs, QLatin1StringView("current-user-principal")))
            p.currentUserPrincipal = hrefInside(xml, base);
        else if (is(xml, kCardDavNs, QLatin1StringView("addressbook-home-set")))
            p.addressBookHomeSet = hrefInside(xml, base);
        else if (is(xml, kDavNs, QLatin1StringView("sync-token")))
            p.syncToken = textOf(xml).trimmed();
        else if (is(xml, kCardDavNs, QLatin1StringView("address-data")))
            p.addressData = textOf(xml);
        else if (is(xml, kCalDavNs, QLatin1StringView("calendar-home-set")))
            p.calendarHomeSet = hrefInside(xml, base);
        else if (is(xml, kCalDavNs, QLatin1StringView("calendar-data")))
            p.calendarData = textOf(xml);
        else if (is(xml, kCalDavNs, QLatin1StringView("supported-calendar-component-set")))
            readComponentSet(xml, p);
        else if (is(xml, kDavNs, QLatin1StringView("supported-report-set")))
            readSupportedReports(xml, p);
        else
            xml.skipCurrentElement();
    }
}

DavPropStat readPropStat(QXmlStreamReader& xml, const QUrl& base) {
    DavPropStat ps;
    while (xml.readNextStartElement()) {
        if (is(xml, kDavNs, QLatin1StringView("prop")))
            readProp(xml, base, ps.properties);
        else if (is(xml, kDavNs, QLatin1StringView("status")))
            ps.status = statusLineCode(textOf(xml));
        else
            xml.skipCurrentElement();
    }
    return ps;
}

// A response; the form that gives one status for several hrefs becomes one response per href.
bool readResponse(QXmlStreamReader& xml, const QUrl& base, std::vector<DavResponse>& out,
                  QString& error) {
    std::vector<QUrl> hrefs;
    DavResponse response;
    while (xml.readNextStartElement()) {
        if (is(xml, kDavNs, QLatin1StringView("href"))) {
            const QString text = textOf(xml);
            const auto href = resolve(text, base);
            if (!href) {
                error = QStringLiteral("a response names no usable address (\"%1\")")
                            .arg(text.trimmed().left(80));
                return false;
            }
            hrefs.push_back(*href);
        } else if (is(xml, kDavNs, QLatin1StringView("propstat"))) {
            response.propStats.push_back(readPropStat(xml, base));
        } else if (is(xml, kDavNs, QLatin1StringView("status"))) {
            response.status = statusLineCode(textOf(xml));
        } else {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        return false;
    if (hrefs.empty()) {
        error = QStringLiteral("a response names no address");
        return false;
    }
    for (QUrl& href : hrefs) {
        response.href = std::move(href);
        out.push_back(response);
    }
    return true;
}

void merge(DavProperties& into, const DavProperties& from) {
    const auto take = [](auto& to, const auto& value) {
        if (!to && value)
            to = value;
    };
    take(into.etag, from.etag);
    take(into.displayName, from.displayName);
    take(into.currentUserPrincipal, from.currentUserPrincipal);
    take(into.addressBookHomeSet, from.addressBookHomeSet);
    take(into.syncToken, from.syncToken);
    take(into.addressData, from.addressData);
    take(into.calendarHomeSet, from.calendarHomeSet);
    take(into.calendarData, from.calendarData);
    if (!into.acceptsEvents)
        into.acceptsEvents = from.acceptsEvents;
    into.isCollection = into.isCollection || from.isCollection;
    into.isAddressBook = into.isAddressBook || from.isAddressBook;
    into.isCalendar = into.isCalendar || from.isCalendar;
    into.supportsSyncCollection = into.supportsSyncCollection || from.supportsSyncCollection;
}

} // namespace

DavProperties DavResponse::found() const {
    DavProperties all;
    for (const DavPropStat& ps : propStats)
        if (ps.status >= 200 && ps.status < 300)
            merge(all, ps.properties);
    return all;
}

int statusLineCode(const QString& line) {
    // "HTTP/1.1 200 OK": the code is the second word, three digits.
    const QStringList words = line.simplified().split(QLatin1Char(' '));
    if (words.size() < 2 || !words[0].startsWith(QLatin1String("HTTP/")) || words[1].size() != 3)
        return 0;
    bool ok = false;
    const int code = words[1].toInt(&ok);
    return ok && code >= 100 ? code : 0;
}

std::optional<Multistatus> readMultistatus(const QByteArray& body, const QUrl& requestUrl,
                                           QString* error) {
    QXmlStreamReader xml(body);
    Multistatus result;
    QString problem;
    const auto fail = [&](const QString& why) -> std::optional<Multistatus> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    // Up to the root. No server sends a document type; one that does is refused whole, with the
    // entities it could define (expanding to gigabytes, or naming files of this machine).
    while (!xml.atEnd() && xml.readNext() != QXmlStreamReader::StartElement) {
        if (xml.tokenType() == QXmlStreamReader::DTD)
            return fail(QStringLiteral("the answer has a document type declaration"));
    }
    if (!xml.isStartElement()) {
        return fail(xml.hasError() ? QStringLiteral("unreadable XML: %1").arg(xml.errorString())
                                   : QStringLiteral("an empty answer"));
    }
    if (!is(xml, kDavNs, QLatin1StringView("multistatus")))
        return fail(QStringLiteral("the answer is no multistatus but <%1>").arg(xml.name()));
    while (xml.readNextStartElement()) {
        if (is(xml, kDavNs, QLatin1StringView("response"))) {
            if (!readResponse(xml, requestUrl, result.responses, problem))
                break;
        } else if (is(xml, kDavNs, QLatin1StringView("sync-token"))) {
            result.syncToken = textOf(xml).trimmed();
        } else {
            xml.skipCurrentElement();
        }
    }
    // Whatever follows the root must still be well-formed: a body cut short is an error.
    while (problem.isEmpty() && !xml.atEnd())
        xml.readNext();
    if (!problem.isEmpty())
        return fail(problem);
    if (xml.hasError() && xml.error() != QXmlStreamReader::PrematureEndOfDocumentError)
        return fail(QStringLiteral("unreadable XML at line %1: %2")
                        .arg(xml.lineNumber())
                        .arg(xml.errorString()));
    if (xml.hasError())
        return fail(QStringLiteral("the answer ends too early"));
    return result;
}

bool hasDavPrecondition(const QByteArray& body, const QString& name) {
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !is(xml, kDavNs, QLatin1StringView("error")))
        return false;
    while (xml.readNextStartElement()) {
        if (xml.namespaceUri() == kDavNs && xml.name() == name)
            return true;
        xml.skipCurrentElement();
    }
    return false;
}

QString errorCondition(const QByteArray& body) {
    QXmlStreamReader xml(body);
    if (!xml.readNextStartElement() || !is(xml, kDavNs, QLatin1StringView("error")))
        return {};
    return xml.readNextStartElement() ? xml.name().toString() : QString();
}

} // namespace kivo::sync
