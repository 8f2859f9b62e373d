// Starting Radicale with a config of the test's own and waiting until it says it is ready.
#include "tests/sync/radicale_server.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QSslCertificate>
#include <QSslConfiguration>

namespace kivo::sync::test {

namespace {

// The system's own Python, which has Debian's radicale and vobject, whatever is first on PATH.
const QString kPython = QStringLiteral("/usr/bin/python3");

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Runs a program to its end and gives its standard output; empty when it fails.
QByteArray run(const QString& program, const QStringList& args, const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return {};
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        ADD_FAILURE() << program.toStdString()
                      << " failed: " << p.readAllStandardError().toStdString();
        return {};
    }
    return p.readAllStandardOutput();
}

} // namespace

RadicaleServer::RadicaleServer() = default;

RadicaleServer::~RadicaleServer() {
    stop();
}

QString RadicaleServer::origin() const {
    return QStringLiteral("%1://127.0.0.1:%2").arg(tls_ ? "https" : "http").arg(port_);
}

bool RadicaleServer::makeCertificate() {
    const QString key = dir_.filePath(QStringLiteral("key.pem"));
    const QString cert = dir_.filePath(QStringLiteral("cert.pem"));
    run(QStringLiteral("openssl"),
        {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert, "-days",
         "2", "-subj", "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1"});
    if (!QFile::exists(cert))
        return false;
    // "sha256 Fingerprint=AB:CD:...": openssl's reckoning, not Qt's.
    const QString out = QString::fromLatin1(
        run(QStringLiteral("openssl"), {"x509", "-in", cert, "-noout", "-fingerprint", "-sha256"}));
    fingerprint_ = out.section(QLatin1Char('='), 1).trimmed().remove(QLatin1Char(':')).toLower();
    return fingerprint_.size() == 64;
}

bool RadicaleServer::start(bool tls) {
    tls_ = tls;
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return false;
    }
    if (tls && !makeCertificate()) {
        error_ = QStringLiteral("no certificate made");
        return false;
    }
    const QString users = dir_.filePath(QStringLiteral("users"));
    const QString config = dir_.filePath(QStringLiteral("config"));
    // Port 0: the system picks a free one, and Radicale says which.
    QByteArray text = "[server]\nhosts = 127.0.0.1:0\n";
    if (tls)
        text += "ssl = True\ncertificate = " + dir_.filePath("cert.pem").toUtf8() +
                "\nkey = " + dir_.filePath("key.pem").toUtf8() + "\n";
    text += "[auth]\ntype = htpasswd\nhtpasswd_filename = " + users.toUtf8() +
            "\nhtpasswd_encryption = plain\n"
            "[rights]\ntype = owner_only\n"
            "[storage]\nfilesystem_folder = " +
            dir_.filePath(QStringLiteral("collections")).toUtf8() +
            "\n[web]\ntype = none\n[logging]\nlevel = info\n";
    if (!writeFile(users, QByteArray(kUser) + ":" + kPassword + "\n") || !writeFile(config, text)) {
        error_ = QStringLiteral("config not written");
        return false;
    }

    process_ = std::make_unique<QProcess>();
    process_->setProcessChannelMode(QProcess::MergedChannels);
    QEventLoop loop;
    QByteArray log;
    bool ready = false;
    QObject::connect(process_.get(), &QProcess::readyReadStandardOutput, &loop, [&] {
        log += process_->readAllStandardOutput();
        static const QRegularExpression listening(
            QStringLiteral("Listening on '\\[?127\\.0\\.0\\.1\\]?:(\\d+)'"));
        if (const auto m = listening.match(QString::fromUtf8(log)); m.hasMatch())
            port_ = static_cast<quint16>(m.captured(1).toUInt());
        if (port_ != 0 && log.contains("Radicale server ready")) {
            ready = true;
            loop.quit();
        }
    });
    QObject::connect(process_.get(), &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(process_.get(), &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer limit;
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(120000);
    process_->start(kPython, {"-m", "radicale", "--config", config});
    loop.exec();
    if (!ready) {
        error_ = QStringLiteral("Radicale did not start: ") + QString::fromUtf8(log);
        stop();
        return false;
    }
    // What it logs from now on is read and dropped, so that its pipe never fills.
    QObject::connect(process_.get(), &QProcess::readyReadStandardOutput, process_.get(),
                     [p = process_.get()] { p->readAllStandardOutput(); });
    return true;
}

void RadicaleServer::stop() {
    if (!process_)
        return;
    if (process_->state() != QProcess::NotRunning) {
        process_->kill();
        process_->waitForFinished(120000);
    }
    process_.reset();
}

int RadicaleServer::request(const QByteArray& method, const QString& path, const QByteArray& body,
                            const QByteArray& contentType, QByteArray* answer) {
    QNetworkAccessManager manager;
    QNetworkRequest r(QUrl(origin() + path));
    r.setRawHeader("Authorization", "Basic " + (QByteArray(kUser) + ":" + kPassword).toBase64());
    if (!contentType.isEmpty())
        r.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    if (method == "REPORT")
        r.setRawHeader("Depth", "1");
    QNetworkReply* reply = manager.sendCustomRequest(r, method, body);
    // The fixture trusts its own certificate, and only that.
    QObject::connect(reply, &QNetworkReply::sslErrors, reply,
                     [this, reply](const QList<QSslError>& e) {
                         const QByteArray digest = reply->sslConfiguration()
                                                       .peerCertificate()
                                                       .digest(QCryptographicHash::Sha256)
                                                       .toHex();
                         if (QString::fromLatin1(digest) == fingerprint_)
                             reply->ignoreSslErrors(e);
                     });
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (answer)
        *answer = reply->readAll();
    delete reply;
    return status;
}

int RadicaleServer::mkAddressBook(const QString& path, const QString& displayName,
                                  const QByteArray& type) {
    QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<D:mkcol xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"
         xmlns:CAL="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>
<D:resourcetype><D:collection/><)" +
                      type + R"(/></D:resourcetype>
<D:displayname>)";
    body += displayName.toHtmlEscaped().toUtf8() + "</D:displayname></D:prop></D:set></D:mkcol>";
    return request("MKCOL", path, body, "application/xml; charset=utf-8");
}

int RadicaleServer::mkCalendar(const QString& path, const QString& displayName,
                               const QByteArray& components) {
    QByteArray body = R"(<?xml version="1.0" encoding="utf-8"?>
<C:mkcalendar xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav"><D:set><D:prop>
<C:supported-calendar-component-set>)";
    for (const QByteArray& name : components.split(','))
        body += "<C:comp name=\"" + name + "\"/>";
    body += "</C:supported-calendar-component-set><D:displayname>" +
            displayName.toHtmlEscaped().toUtf8() +
            "</D:displayname></D:prop></D:set></C:mkcalendar>";
    return request("MKCALENDAR", path, body, "application/xml; charset=utf-8");
}

int RadicaleServer::put(const QString& path, const QByteArray& vcard) {
    return request("PUT", path, vcard, "text/vcard; charset=utf-8");
}

int RadicaleServer::remove(const QString& path) {
    return request("DELETE", path, {}, {});
}

PlainWebServer::PlainWebServer() {
    QEventLoop loop;
    QByteArray log;
    process_.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &loop, [&] {
        log += process_.readAllStandardOutput();
        static const QRegularExpression serving(
            QStringLiteral("Serving HTTP on 127\\.0\\.0\\.1 port (\\d+)"));
        if (const auto m = serving.match(QString::fromUtf8(log)); m.hasMatch()) {
            port_ = static_cast<quint16>(m.captured(1).toUInt());
            loop.quit();
        }
    });
    QObject::connect(&process_, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process_, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer limit;
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(120000);
    // Unbuffered, so that the line naming the port comes at once.
    process_.start(kPython, {"-u", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
                             dir_.path(), "0"});
    loop.exec();
    process_.disconnect();
    QObject::connect(&process_, &QProcess::readyReadStandardOutput, &process_,
                     [this] { process_.readAllStandardOutput(); });
    EXPECT_NE(port_, 0) << log.toStdString();
}

PlainWebServer::~PlainWebServer() {
    process_.kill();
    process_.waitForFinished(120000);
}

bool addAlarmWithCaldav(const QString& calendarUrl, const QString& uid) {
    const char* fixtures = std::getenv("KIVO_SYNC_TESTS");
    const QString script = QString::fromLocal8Bit(fixtures ? fixtures : "tests/sync") +
                           QStringLiteral("/caldav_alarm.py");
    QProcess p;
    p.start(kPython, {script, calendarUrl, QString::fromLatin1(RadicaleServer::kUser),
                      QString::fromLatin1(RadicaleServer::kPassword), uid});
    const bool ended = p.waitForFinished(120000);
    EXPECT_TRUE(ended && p.exitCode() == 0) << p.readAllStandardError().toStdString();
    return ended && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

std::vector<QByteArray> vobjectCards(const std::vector<QByteArray>& jsonCards) {
    const char* fixtures = std::getenv("KIVO_SYNC_TESTS");
    const QString script = QString::fromLocal8Bit(fixtures ? fixtures : "tests/sync") +
                           QStringLiteral("/vobject_cards.py");
    QByteArray input = "[";
    for (const QByteArray& wanted : jsonCards)
        input += (input.size() > 1 ? "," : "") + wanted;
    input += "]";
    const QJsonArray cards = QJsonDocument::fromJson(run(kPython, {script}, input)).array();
    std::vector<QByteArray> out;
    for (const auto& card : cards)
        out.push_back(card.toString().toUtf8());
    EXPECT_EQ(out.size(), jsonCards.size());
    return out;
}

} // namespace kivo::sync::test
