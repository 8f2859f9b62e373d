// A real Radicale for the tests: its own config, users and storage in a temporary folder, on a
// port of 127.0.0.1 it picks itself; and the few requests a test makes to fill it.
#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

namespace kivo::sync::test {

class RadicaleServer {
public:
    static constexpr const char* kUser = "alice";
    static constexpr const char* kPassword = "c0rrect horse:battery";

    RadicaleServer();
    ~RadicaleServer();

    // Starts Radicale (over TLS with a self-signed certificate made here) and returns once it
    // says it is ready; false, with the reason in `error()`, when it does not start.
    bool start(bool tls = false);
    // Kills the server and waits for it to be gone.
    void stop();

    quint16 port() const { return port_; }
    qint64 processId() const { return process_ ? process_->processId() : 0; }
    // "http://127.0.0.1:<port>" (https with TLS), without a path.
    QString origin() const;
    // The certificate's SHA-256 fingerprint as openssl reckons it (hex, lower case).
    QString certificateSha256() const { return fingerprint_; }
    const QString& error() const { return error_; }

    // Requests as the test user; each returns the HTTP status (0: no answer).
    // An extended MKCOL; `type` is the collection's kind beside DAV:collection.
    int mkAddressBook(const QString& path, const QString& displayName,
                      const QByteArray& type = "C:addressbook");
    // A MKCALENDAR of a calendar that takes the components named ("VEVENT,VTODO").
    int mkCalendar(const QString& path, const QString& displayName,
                   const QByteArray& components = "VEVENT");
    int put(const QString& path, const QByteArray& vcard);
    int remove(const QString& path);
    // A REPORT goes with Depth 1; `answer` (when given) gets the answer's body.
    int request(const QByteArray& method, const QString& path, const QByteArray& body,
                const QByteArray& contentType, QByteArray* answer = nullptr);

private:
    bool makeCertificate();

    QTemporaryDir dir_;
    std::unique_ptr<QProcess> process_;
    quint16 port_ = 0;
    bool tls_ = false;
    QString fingerprint_;
    QString error_;
};

// Python's own web server on a free port of 127.0.0.1, serving an empty folder: a server that
// knows nothing of address books.
class PlainWebServer {
public:
    PlainWebServer();
    ~PlainWebServer();
    quint16 port() const { return port_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    quint16 port_ = 0;
};

// Adds an alarm and a description to the event `uid` of a calendar, through python3-caldav, as
// another client of the server would; false when that failed.
bool addAlarmWithCaldav(const QString& calendarUrl, const QString& uid);

// Cards written by python3-vobject from one JSON object each (see vobject_cards.py).
std::vector<QByteArray> vobjectCards(const std::vector<QByteArray>& jsonCards);

// Runs `start`, handing it a function to call with the result, and the event loop until that
// function is called. The limit only ends a test that would otherwise hang: nothing here waits
// for time to pass.
template <class Result, class Start> Result waitFor(Start start, int limitMs = 120000) {
    QEventLoop loop;
    std::optional<Result> result;
    start([&](const Result& r) {
        result = r;
        loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(limitMs);
    if (!result)
        loop.exec();
    EXPECT_TRUE(result.has_value()) << "no result within " << limitMs << " ms";
    return result.value_or(Result{});
}

} // namespace kivo::sync::test
