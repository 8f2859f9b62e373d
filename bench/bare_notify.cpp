// The yardstick of bench_notification: a Qt program that sends one desktop notification over Qt
// D-Bus, in the plainest way, and ends once the call returns.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"),
        QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    call << QStringLiteral("bare") << uint(0) << QString() << QStringLiteral("Birthdays and events")
         << QStringLiteral("Anna is 30 today") << QStringList() << QVariantMap() << int(-1);
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call);
    return reply.type() == QDBusMessage::ReplyMessage ? 0 : 1;
}
