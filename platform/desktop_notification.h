// A run's reminders as a notification of the desktop's notification service (the freedesktop
// Notifications interface on the session bus), and what the user does with it.
#pragma once

#include "engine/reminder_notice.h"

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QDBusServiceWatcher;

namespace kivo {

class DesktopNotification : public QObject {
    Q_OBJECT

public:
    // How long the service may take to answer before the run shows the reminder window instead.
    // It covers a service that the bus starts only when asked (dunst, for one).
    static constexpr int kAnswerMs = 5000;
    // The menu entry, which the desktop groups the notification with.
    static constexpr const char* kDesktopEntry = "example.velmik.kivo";
    // The action keys: "default" is a click on the notification itself.
    static constexpr const char* kClick = "default";
    static constexpr const char* kShowAll = "show-all";
    static constexpr const char* kSetup = "setup";

    explicit DesktopNotification(const QDBusConnection& bus);
    ~DesktopNotification() override;

    // Sends the notice. False when no service took it: none on the bus, an error, or no answer
    // within kAnswerMs. Marked up (today's lines in bold) only for a service that says it takes
    // body markup.
    bool show(const ReminderNotice& notice);
    // Takes a shown notification off the screen, waiting at most kAnswerMs for the service;
    // answered() then reports nothing more.
    void withdraw();
    // The token the service gave with an action, for the window that it opens; empty when none.
    const QString& activationToken() const { return activationToken_; }

signals:
    // Once, after show() succeeded: what the user did, or that it ended without an action (closed,
    // expired, or its service left the bus).
    void answered(kivo::NoticeOutcome outcome);

private slots:
    // The service's signals. Qt D-Bus connects them by their names only, hence slots.
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);
    void onActivationToken(uint id, const QString& token);

private:
    // The notice's body as sent, plain or marked up.
    static QString bodyText(const ReminderNotice& notice, bool markup);
    // What the service says it can show; nothing when there is no service to ask.
    std::optional<QStringList> capabilities();
    void connectSignals();
    void finish(NoticeOutcome outcome);

    QDBusConnection bus_;
    std::unique_ptr<QDBusServiceWatcher> serviceWatch_;
    uint id_ = 0;
    bool waiting_ = false; // shown, and not yet answered or withdrawn
    QString activationToken_;
};

} // namespace kivo
