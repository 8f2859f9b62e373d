// Fuzzes the multistatus reader: it reads or refuses with a reason, never crashes, gives hrefs
// that are addresses and statuses that are HTTP codes, and what it read, written out again,
// reads back the same.
#include "fuzz_support.h"
#include "sync/multistatus.h"

#include <QXmlStreamWriter>

using namespace kivo::sync;

namespace {

const QString kDav = QStringLiteral("DAV:");
const QString kCard = QStringLiteral("urn:ietf:params:xml:ns:carddav");
const QString kCal = QStringLiteral("urn:ietf:params:xml:ns:caldav");

// Text as XML keeps it: a carriage return written as it is would be read back as a line feed,
// so it goes as a character reference, which QXmlStreamWriter does not make of itself.
void writeText(QXmlStreamWriter& xml, const QString& ns, const QString& name, const QString& text) {
    xml.writeStartElement(ns, name);
    const QStringList pieces = text.split(QLatin1Char('\r'));
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            xml.writeEntityReference(QStringLiteral("#13"));
        xml.writeCharacters(pieces[i]);
    }
    xml.writeEndElement();
}

void writeHref(QXmlStreamWriter& xml, const QString& ns, const QString& name, const QUrl& url) {
    xml.writeStartElement(ns, name);
    writeText(xml, kDav, QStringLiteral("href"), url.toString(QUrl::FullyEncoded));
    xml.writeEndElement();
}

void writeProperties(QXmlStreamWriter& xml, const DavProperties& p) {
    xml.writeStartElement(kDav, QStringLiteral("prop"));
    if (p.etag)
        writeText(xml, kDav, QStringLiteral("getetag"), *p.etag);
    if (p.isCollection || p.isAddressBook || p.isCalendar) {
        xml.writeStartElement(kDav, QStringLiteral("resourcetype"));
        if (p.isCollection)
            xml.writeEmptyElement(kDav, QStringLiteral("collection"));
        if (p.isAddressBook)
            xml.writeEmptyElement(kCard, QStringLiteral("addressbook"));
        if (p.isCalendar)
            xml.writeEmptyElement(kCal, QStringLiteral("calendar"));
        xml.writeEndElement();
    }
    if (p.displayName)
        writeText(xml, kDav, QStringLiteral("displayname"), *p.displayName);
    if (p.currentUserPrincipal)
        writeHref(xml, kDav, QStringLiteral("current-user-principal"), *p.currentUserPrincipal);
    if (p.addressBookHomeSet)
        writeHref(xml, kCard, QStringLiteral("addressbook-home-set"), *p.addressBookHomeSet);
    if (p.syncToken)
        writeText(xml, kDav, QStringLiteral("sync-token"), *p.syncToken);
    if (p.addressData)
        writeText(xml, kCard, QStringLiteral("address-data"), *p.addressData);
    if (p.calendarHomeSet)
        writeHref(xml, kCal, QStringLiteral("calendar-home-set"), *p.calendarHomeSet);
    if (p.calendarData)
        writeText(xml, kCal, QStringLiteral("calendar-data"), *p.calendarData);
    if (p.acceptsEvents) {
        xml.writeStartElement(kCal, QStringLiteral("supported-calendar-component-set"));
        xml.writeEmptyElement(kCal, QStringLiteral("comp"));
        xml.writeAttribute(QStringLiteral("name"),
                           *p.acceptsEvents ? QStringLiteral("VEVENT") : QStringLiteral("VTODO"));
        xml.writeEndElement();
    }
    if (p.supportsSyncCollection) {
        xml.writeStartElement(kDav, QStringLiteral("supported-report-set"));
        xml.writeEmptyElement(kDav, QStringLiteral("sync-collection"));
        xml.writeEndElement();
    }
    xml.writeEndElement();
}

QString statusLine(int code) {
    return QStringLiteral("HTTP/1.1 %1 X").arg(code);
}

QByteArray written(const Multistatus& ms) {
    QByteArray out;
    QXmlStreamWriter xml(&out);
    xml.writeStartDocument();
    xml.writeNamespace(kDav, QStringLiteral("d"));
    xml.writeNamespace(kCard, QStringLiteral("c"));
    xml.writeNamespace(kCal, QStringLiteral("cal"));
    xml.writeStartElement(kDav, QStringLiteral("multistatus"));
    for (const DavResponse& r : ms.responses) {
        xml.writeStartElement(kDav, QStringLiteral("response"));
        writeText(xml, kDav, QStringLiteral("href"), r.href.toString(QUrl::FullyEncoded));
        if (r.status != 0)
            writeText(xml, kDav, QStringLiteral("status"), statusLine(r.status));
        for (const DavPropStat& ps : r.propStats) {
            xml.writeStartElement(kDav, QStringLiteral("propstat"));
            writeProperties(xml, ps.properties);
            if (ps.status != 0)
                writeText(xml, kDav, QStringLiteral("status"), statusLine(ps.status));
            xml.writeEndElement();
        }
        xml.writeEndElement();
    }
    if (ms.syncToken)
        writeText(xml, kDav, QStringLiteral("sync-token"), *ms.syncToken);
    xml.writeEndElement();
    xml.writeEndDocument();
    return out;
}

bool httpCode(int status) {
    return status == 0 || (status >= 100 && status <= 999);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray body(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QUrl base(QStringLiteral("http://127.0.0.1:5232/user/contacts/"));
    QString error;
    const auto ms = readMultistatus(body, base, &error);
    hasDavPrecondition(body, QStringLiteral("valid-sync-token"));
    errorCondition(body);
    if (!ms) {
        FUZZ_REQUIRE(!error.isEmpty(), "a refusal says why");
        return 0;
    }
    for (const DavResponse& r : ms->responses) {
        FUZZ_REQUIRE(r.href.isValid(), "an href is an address");
        FUZZ_REQUIRE(httpCode(r.status), "a response's status is an HTTP code");
        for (const DavPropStat& ps : r.propStats)
            FUZZ_REQUIRE(httpCode(ps.status), "a propstat's status is an HTTP code");
    }
    const QByteArray again = written(*ms);
    QString againError;
    const auto reread = readMultistatus(again, base, &againError);
    if (!reread || !(*reread == *ms)) {
        std::fprintf(stderr, "written:\n%s\nerror: %s\n", again.constData(),
                     againError.toUtf8().constData());
        FUZZ_REQUIRE(false, "what was read, written again, reads back the same");
    }
    return 0;
}
