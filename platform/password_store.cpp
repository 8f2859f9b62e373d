#include "platform/password_store.h"

#include "platform/system_services.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QStringList>
#endif

namespace kivo {

namespace {

const QString kService = QStringLiteral("kivo");

// Whether a keyring service is on the session bus or can be started there: the Secret Service
// (GNOME, KeePassXC and others) or KDE's wallet. Without one, QtKeychain's failures say only
// that something went wrong, and the user must learn that there is no keyring.
bool keyringReachable() {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QStringList services = {QStringLiteral("org.freedesktop.secrets"),
                                  QStringLiteral("org.kde.kwalletd6"),
                                  QStringLiteral("org.kde.kwalletd5")};
    for (const QString& service : services)
        if (bus.interface()->isServiceRegistered(service))
            return true;
    const QDBusReply<QStringList> activatable = bus.call(QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("ListActivatableNames")));
    if (!activatable.isValid())
        return false;
    for (const QString& service : services)
        if (activatable.value().contains(service))
            return true;
    return false;
#else
    return true; // the system's own credential store is always there
#endif
}

// Starts the job and waits for its end, then maps its error.
PasswordStore::Result runJob(QKeychain::Job& job, const std::string& account, std::string* reason) {
    if (!keyringReachable()) {
        if (reason)
            *reason = "No keyring is available on this desktop.";
        return PasswordStore::Result::NoKeyring;
    }
    job.setAutoDelete(false);
    // A password is never written to a plain file when no keyring is there.
    job.setInsecureFallback(false);
    job.setKey(toQt(account));
    QEventLoop loop;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, &QEventLoop::quit);
    job.start();
    loop.exec();
    if (reason)
        *reason = fromQt(job.errorString());
    switch (job.error()) {
    case QKeychain::NoError:
        return PasswordStore::Result::Ok;
    case QKeychain::EntryNotFound:
        return PasswordStore::Result::NotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return PasswordStore::Result::NoKeyring;
    default:
        return PasswordStore::Result::Failed;
    }
}

} // namespace

PasswordStore::Result KeyringPasswordStore::read(const std::string& account, std::string& password,
                                                 std::string* reason) {
    QKeychain::ReadPasswordJob job(kService);
    const Result result = runJob(job, account, reason);
    password = result == Result::Ok ? fromQt(job.textData()) : std::string();
    return result;
}

PasswordStore::Result KeyringPasswordStore::write(const std::string& account,
                                                  const std::string& password,
                                                  std::string* reason) {
    QKeychain::WritePasswordJob job(kService);
    job.setTextData(toQt(password));
    return runJob(job, account, reason);
}

PasswordStore::Result KeyringPasswordStore::remove(const std::string& account,
                                                   std::string* reason) {
    QKeychain::DeletePasswordJob job(kService);
    const Result result = runJob(job, account, reason);
    return result == Result::NotFound ? Result::Ok : result;
}

std::optional<std::string> readKeptPassword(PasswordStore& store, const std::string& account,
                                            std::string& reason) {
    std::string password;
    std::string failure;
    switch (store.read(account, password, &failure)) {
    case PasswordStore::Result::Ok:
        return password;
    case PasswordStore::Result::NotFound:
        reason = "No password is kept for it: enter it under Sync... in kivo's setup window.";
        break;
    case PasswordStore::Result::NoKeyring:
        reason = "This desktop has no keyring to keep its password: sync it in kivo's setup "
                 "window under Sync..., which asks for it.";
        break;
    case PasswordStore::Result::Failed:
        reason = "The keyring did not give its password: " + failure;
        break;
    }
    return std::nullopt;
}

} // namespace kivo
