// The desktop notification of a run's reminders, over Qt D-Bus.
#include "platform/desktop_notification.h"

#include "platform/system_services.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QVariantMap>

namespace kivo {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// The urgency levels of the interface's "urgency" hint, which it takes as a byte.
constexpr uchar kNormal = 1;
constexpr uchar kCritical = 2;

// The application as the service names it, and its icon of the desktop's icon theme.
const QString kApplication = QStringLiteral("kivo");

} // namespace

DesktopNotification::DesktopNotification(const QDBusConnection& bus) : bus_(bus) {}

DesktopNotification::~DesktopNotification() = default;

std::optional<QStringList> DesktopNotification::capabilities() {
    // The first call also starts a service that the bus starts on demand; one that does not
    // answer it in time is taken for none.
    const QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                             QStringLiteral("GetCapabilities"));
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kAnswerMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply.arguments().value(0).toStringList();
}

QString DesktopNotification::bodyText(const ReminderNotice& notice, bool markup) {
    QStringList lines;
    for (const ReminderNotice::Line& line : notice.body) {
        QString text = toQtShown(line.text);
        // A name may hold "&" or "<": as markup it is escaped, so that it shows as typed.
        if (markup) {
            text = text.toHtmlEscaped();
            if (line.today)
                text = QStringLiteral("<b>%1</b>").arg(text);
        }
        lines.append(text);
    }
    return lines.join(QLatin1Char('\n'));
}

bool DesktopNotification::show(const ReminderNotice& notice) {
    if (!bus_.isConnected())
        return false;
    const std::optional<QStringList> served = capabilities();
    if (!served)
        return false;
    const bool markup = served->contains(QStringLiteral("body-markup"));

    // Listening before the notification exists, so that no quick click is missed.
    connectSignals();
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"),
                 QVariant::fromValue(notice.dueToday ? kCritical : kNormal));
    hints.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kDesktopEntry));
    const QString showAll = toQtShown(notice.showAllAction);
    const QStringList actions{QString::fromLatin1(kClick),   showAll,
                              QString::fromLatin1(kShowAll), showAll,
                              QString::fromLatin1(kSetup),   toQtShown(notice.setupAction)};
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << kApplication << uint(0) << kApplication << toQtShown(notice.summary)
         << bodyText(notice, markup) << actions << hints << int(-1); // the service's own timeout
    const QDBusMessage reply = bus_.call(call, QDBus::Block, kAnswerMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    id_ = reply.arguments().constFirst().toUInt();
    waiting_ = true;
    return true;
}

void DesktopNotification::connectSignals() {
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(onActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(onNotificationClosed(uint, uint)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActivationToken"), this,
                 SLOT(onActivationToken(uint, QString)));
    // A service that leaves the bus (its desktop ended) takes the notification with it.
    serviceWatch_ = std::make_unique<QDBusServiceWatcher>(
        kService, bus_, QDBusServiceWatcher::WatchForUnregistration);
    connect(serviceWatch_.get(), &QDBusServiceWatcher::serviceUnregistered, this,
            [this] { finish(NoticeOutcome::Ended); });
}

void DesktopNotification::withdraw() {
    if (!waiting_)
        return;
    waiting_ = false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                       QStringLiteral("CloseNotification"));
    call << id_;
    // Answered before the run goes on: a run that ends next would otherwise leave with the
    // message unsent, and the notification on the screen.
    bus_.call(call, QDBus::Block, kAnswerMs);
}

void DesktopNotification::onActionInvoked(uint id, const QString& action) {
    if (id != id_)
        return; // another program's notification
    if (action == QLatin1String(kSetup))
        finish(NoticeOutcome::ShowSetup);
    else if (action == QLatin1String(kClick) || action == QLatin1String(kShowAll))
        finish(NoticeOutcome::ShowReminders);
}

void DesktopNotification::onNotificationClosed(uint id, uint) {
    if (id == id_)
        finish(NoticeOutcome::Ended);
}

void DesktopNotification::onActivationToken(uint id, const QString& token) {
    if (id == id_)
        activationToken_ = token;
}

void DesktopNotification::finish(NoticeOutcome outcome) {
    if (!waiting_)
        return;
    waiting_ = false;
    emit answered(outcome);
}

} // namespace kivo
