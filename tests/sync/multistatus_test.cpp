// The multistatus reader knows elements by namespace whatever the prefix, resolves and decodes
// hrefs, and refuses broken or hostile bodies with a reason instead of reading half of them. (What
// discovery reads of a real server is tested against Radicale, and every input by the fuzz target.)
#include "sync/multistatus.h"

#include <gtest/gtest.h>

namespace kivo::sync {
namespace {

const QUrl kBase(QStringLiteral("http://127.0.0.1:5232/user/contacts/"));

Multistatus read(const char* xml) {
    QString error;
    const auto ms = readMultistatus(QByteArray(xml), kBase, &error);
    EXPECT_TRUE(ms.has_value()) << error.toStdString();
    return ms.value_or(Multistatus{});
}

TEST(Multistatus, SameAnswerWhateverThePrefixes) {
    // One answer written three ways: prefixes, default namespaces, and prefixes bound twice
    // (the inner binding wins); each must read as the same.
    const char* forms[] = {
        R"(<?xml version="1.0"?>
<d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:carddav">
 <d:response><d:href>/user/contacts/a%20b.vcf</d:href>
  <d:propstat><d:prop><d:getetag>"e1"</d:getetag><c:address-data><![CDATA[BEGIN:VCARD
END:VCARD
]]></c:address-data></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat>
  <d:propstat><d:prop><d:displayname/></d:prop><d:status>HTTP/1.1 404 Not Found</d:status></d:propstat>
 </d:response>
 <d:response><d:href>gone.vcf</d:href><d:status>HTTP/1.1 404 Not Found</d:status></d:response>
 <d:sync-token>http://radicale.org/ns/sync/7</d:sync-token>
</d:multistatus>)",
        R"(<multistatus xmlns="DAV:">
 <response><href>http://127.0.0.1:5232/user/contacts/a b.vcf</href>
  <propstat><prop><getetag> "e1" </getetag><address-data xmlns="urn:ietf:params:xml:ns:carddav">BEGIN:VCARD&#10;END:VCARD&#10;</address-data></prop><status>HTTP/1.1 200 OK</status></propstat>
  <propstat><prop><displayname/></prop><status>HTTP/1.1 404 Not Found</status></propstat>
 </response>
 <response><href>/user/contacts/gone.vcf</href><status>HTTP/1.1 404 Not Found</status></response>
 <unknown xmlns="urn:x"><sync-token>not this one</sync-token></unknown>
 <sync-token>http://radicale.org/ns/sync/7</sync-token>
</multistatus>)",
        R"(<D:multistatus xmlns:D="urn:x" xmlns:X="DAV:"><X:response xmlns:D="DAV:">
 <D:href>/user/contacts/a%20b.vcf</D:href>
 <D:propstat><D:prop><D:getetag>"e1"</D:getetag><E:address-data xmlns:E="urn:ietf:params:xml:ns:carddav">BEGIN:VCARD
END:VCARD
</E:address-data></D:prop><D:status>HTTP/1.1 200 OK</D:status></D:propstat>
 <D:propstat><D:prop><D:displayname/></D:prop><D:status>HTTP/1.1 404 Not Found</D:status></D:propstat>
</X:response><X:response><X:href>gone.vcf</X:href><X:status>HTTP/1.1 404 Not Found</X:status></X:response>
<X:sync-token>http://radicale.org/ns/sync/7</X:sync-token></D:multistatus>)",
    };
    DavProperties found;
    found.etag = QStringLiteral("\"e1\"");
    found.addressData = QStringLiteral("BEGIN:VCARD\nEND:VCARD\n");
    DavProperties missing;
    missing.displayName = QString();
    Multistatus want;
    want.syncToken = QStringLiteral("http://radicale.org/ns/sync/7");
    want.responses = {
        {QUrl(QStringLiteral("http://127.0.0.1:5232/user/contacts/a%20b.vcf")),
         0,
         {{200, found}, {404, missing}}},
        {QUrl(QStringLiteral("http://127.0.0.1:5232/user/contacts/gone.vcf")), 404, {}},
    };
    // The third form binds "D" to another namespace at the root: its root is no multistatus.
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const Multistatus got = read(forms[i]);
        EXPECT_EQ(got, want);
        ASSERT_EQ(got.responses.size(), 2u);
        EXPECT_EQ(got.responses[0].href.path(QUrl::FullyDecoded),
                  QStringLiteral("/user/contacts/a b.vcf"));
        EXPECT_EQ(got.responses[0].found().etag, found.etag);
        EXPECT_FALSE(got.responses[0].found().displayName.has_value());
    }
    QString error;
    EXPECT_FALSE(readMultistatus(forms[2], kBase, &error));
    EXPECT_TRUE(error.contains(QLatin1String("no multistatus"))) << error.toStdString();

    // One address is one key however the server escaped it.
    EXPECT_EQ(
        read(R"(<multistatus xmlns="DAV:"><response><href>/a#b#c</href></response></multistatus>)")
            .responses.at(0)
            .href,
        read(
            R"(<multistatus xmlns="DAV:"><response><href>/a#b%23c</href></response></multistatus>)")
            .responses.at(0)
            .href);
}

TEST(Multistatus, CalendarProperties) {
    // A home listed: whether each member is a calendar, and which take events. A calendar that
    // names no component set takes them all.
    const Multistatus ms =
        read(R"(<d:multistatus xmlns:d="DAV:" xmlns:c="urn:ietf:params:xml:ns:caldav">
 <d:response><d:href>/user/</d:href><d:propstat><d:prop><c:calendar-home-set><d:href>../home/</d:href>
  <d:href>/other/</d:href></c:calendar-home-set></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>
 <d:response><d:href>events/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/><c:calendar/></d:resourcetype>
  <c:supported-calendar-component-set><c:comp name="VTODO"/><c:comp name="vevent"/></c:supported-calendar-component-set>
  </d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>
 <d:response><d:href>tasks/</d:href><d:propstat><d:prop><d:resourcetype><d:collection/><c:calendar/></d:resourcetype>
  <c:supported-calendar-component-set><c:comp name="VTODO"/></c:supported-calendar-component-set>
  </d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>
 <d:response><d:href>any/</d:href><d:propstat><d:prop><d:resourcetype><c:calendar/></d:resourcetype></d:prop>
  <d:status>HTTP/1.1 200 OK</d:status></d:propstat><d:propstat><d:prop><c:supported-calendar-component-set/></d:prop>
  <d:status>HTTP/1.1 404 Not Found</d:status></d:propstat></d:response>
 <d:response><d:href>any/a.ics</d:href><d:propstat><d:prop><c:calendar-data>BEGIN:VCALENDAR&#13;
END:VCALENDAR&#13;
</c:calendar-data></d:prop><d:status>HTTP/1.1 200 OK</d:status></d:propstat></d:response>
</d:multistatus>)");
    std::vector<std::string> got;
    for (const DavResponse& r : ms.responses) {
        const DavProperties p = r.found();
        got.push_back(
            r.href.path().toStdString() + (p.isCalendar ? " calendar" : "") +
            (p.isCalendar && p.acceptsEvents.value_or(true) ? " events" : "") +
            (p.calendarHomeSet ? " home " + p.calendarHomeSet->toString().toStdString() : "") +
            (p.calendarData ? " " + p.calendarData->toStdString() : ""));
    }
    EXPECT_EQ(got, (std::vector<std::string>{
                       "/user/ home http://127.0.0.1:5232/user/home/",
                       "/user/contacts/events/ calendar events",
                       "/user/contacts/tasks/ calendar",
                       "/user/contacts/any/ calendar events",
                       "/user/contacts/any/a.ics BEGIN:VCALENDAR\r\nEND:VCALENDAR\r\n",
                   }));
}

TEST(Multistatus, BrokenAndHostileBodiesAreRefused) {
    struct Case {
        const char* why;
        const char* xml;
    };
    const Case cases[] = {
        {"empty", ""},
        {"not XML", "HTTP/1.1 500 oops"},
        {"HTML error page", "<html><body>Forbidden</body></html>"},
        {"cut off", R"(<multistatus xmlns="DAV:"><response><href>/a</href><propstat>)"},
        {"mismatched tags",
         R"(<multistatus xmlns="DAV:"><response><href>/a</response></multistatus>)"},
        {"undeclared prefix", R"(<d:multistatus><d:response/></d:multistatus>)"},
        {"response without href",
         R"(<multistatus xmlns="DAV:"><response><status>HTTP/1.1 200 OK</status></response></multistatus>)"},
        {"empty href",
         R"(<multistatus xmlns="DAV:"><response><href>  </href></response></multistatus>)"},
        {"garbage after the root", R"(<multistatus xmlns="DAV:"/><other/>)"},
        {"entity expansion bomb",
         R"(<!DOCTYPE m [<!ENTITY a "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa">
<!ENTITY b "&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;">
<!ENTITY c "&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;">
<!ENTITY d "&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;">]>
<multistatus xmlns="DAV:"><response><href>/a</href><propstat><prop><displayname>&d;&d;&d;</displayname></prop></propstat></response></multistatus>)"},
        {"external entity",
         R"(<!DOCTYPE m [<!ENTITY x SYSTEM "file:///etc/passwd">]><multistatus xmlns="DAV:"><response><href>/a</href><propstat><prop><displayname>&x;</displayname></prop></propstat></response></multistatus>)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        QString error;
        EXPECT_FALSE(readMultistatus(QByteArray(c.xml), kBase, &error).has_value());
        EXPECT_FALSE(error.isEmpty());
    }
    // Deep nesting of unknown elements is passed over without recursion.
    QByteArray deep = R"(<multistatus xmlns="DAV:"><response><href>/a</href><x>)";
    deep += QByteArray("<y>").repeated(100000) + QByteArray("</y>").repeated(100000);
    deep += "</x></response></multistatus>";
    EXPECT_EQ(readMultistatus(deep, kBase)->responses.size(), 1u);
}

} // namespace
} // namespace kivo::sync
