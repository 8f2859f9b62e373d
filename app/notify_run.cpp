// The run's reminders as a desktop notification, and the wait for what the user does with it.
#include "app/notify_run.h"

#include "app/single_instance.h"
#include "platform/desktop_notification.h"
#include "platform/system_services.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QSocketNotifier>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace kivo {

namespace {

// Until the end of the notice's day: its words ("tomorrow", "in 3 days") hold for that day alone.
int msecsLeftOfDay(Date day) {
    const QDateTime end = toQDate(day).addDays(1).startOfDay();
    const qint64 left = QDateTime::currentDateTime().msecsTo(end);
    return static_cast<int>(std::clamp<qint64>(left, 0, 24 * 60 * 60 * 1000));
}

// A window opened by the user's action is let to the front: the desktop gave a token for it.
void passActivationToken(const QString& token) {
    if (token.isEmpty())
        return;
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    qputenv(wayland ? "XDG_ACTIVATION_TOKEN" : "DESKTOP_STARTUP_ID", token.toUtf8());
}

// Shows the notice and waits for what becomes of it.
NoticeOutcome showAndWait(DesktopNotification& notification, const ReminderNotice& notice,
                          StartPlatform& platform) {
    if (!notification.show(notice))
        return NoticeOutcome::NotShown;
    NoticeOutcome outcome = NoticeOutcome::Ended;
    QEventLoop loop;
    QObject::connect(&notification, &DesktopNotification::answered, &loop,
                     [&](NoticeOutcome answer) {
                         outcome = answer;
                         loop.quit();
                     });
    // A start from the menu asks for the window meanwhile: it gets the setup window, as it would
    // have had it, and the notification goes.
    std::unique_ptr<QSocketNotifier> raising;
    if (platform.raiseRequests >= 0) {
        raising = std::make_unique<QSocketNotifier>(platform.raiseRequests, QSocketNotifier::Read);
        QObject::connect(raising.get(), &QSocketNotifier::activated, &loop, [&] {
            takeRaiseRequests(platform.raiseRequests);
            notification.withdraw();
            outcome = NoticeOutcome::ShowSetup;
            loop.quit();
        });
    }
    QTimer endOfDay;
    endOfDay.setSingleShot(true);
    QObject::connect(&endOfDay, &QTimer::timeout, &loop, [&] {
        notification.withdraw();
        outcome = NoticeOutcome::Ended;
        loop.quit();
    });
    endOfDay.start(msecsLeftOfDay(notice.day));
    loop.exec();
    if (outcome == NoticeOutcome::ShowReminders || outcome == NoticeOutcome::ShowSetup)
        passActivationToken(notification.activationToken());
    return outcome;
}

} // namespace

NoticeOutcome notifyReminders(int& argc, char** argv, const ReminderNotice& notice,
                              StartPlatform& platform) {
    (void)argc;
    // On the program's name alone: the options of the command line are for the windows'
    // application, which may follow once this one is gone.
    int coreArgc = 1;
    QCoreApplication application(coreArgc, argv);
    // A connection to the session bus of the notification's own, closed before this application
    // ends. The bus's default connection belongs to the application under which it is made: made
    // here, it would hold back every message to the windows' application, and outlive it unfreed.
    const QString connection = QStringLiteral("kivo-notification");
    NoticeOutcome outcome = NoticeOutcome::NotShown;
    {
        DesktopNotification notification(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, connection));
        outcome = showAndWait(notification, notice, platform);
    }
    QDBusConnection::disconnectFromBus(connection);
    return outcome;
}

} // namespace kivo
