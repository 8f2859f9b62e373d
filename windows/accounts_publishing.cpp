// The accounts dialog's calendar: whether kivo publishes its events to one of the account's
// calendars, which one (or a new one named kivo), and which records.
#include "windows/accounts_dlg.h"

#include "platform/password_store.h"
#include "platform/system_services.h"
#include "sync/calendar_publish.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLabel>

namespace kivo {

namespace {

constexpr const char* kNewCalendarName = "kivo";

} // namespace

void CAccountsDlg::buildPublishing() {
    publishCheck_ = new QCheckBox(this);
    calendarBox_ = new QComboBox(this);
    ownOnlyCheck_ = new QCheckBox(this);
    connect(publishCheck_, &QCheckBox::clicked, this, [this](bool on) {
        calendarBox_->setEnabled(on);
        ownOnlyCheck_->setEnabled(on);
        if (!on)
            publishTurnedOff();
    });
    connect(calendarBox_, &QComboBox::activated, this, [this] { calendarChanged(); });
}

void CAccountsDlg::showPublishing() {
    const sync::CalendarPublishing& publishing = current().account.publishing;
    const QSignalBlocker quiet(calendarBox_);
    calendarBox_->clear();
    bool storedListed = publishing.calendarUrl.isEmpty();
    for (const sync::Calendar& calendar : calendars_) {
        calendarBox_->addItem(calendar.displayName.isEmpty() ? QUrl(calendar.url).path()
                                                             : calendar.displayName,
                              calendar.url);
        storedListed = storedListed || calendar.url == publishing.calendarUrl;
    }
    // The calendar chosen before stays on offer while the server has not been asked again.
    if (!storedListed)
        calendarBox_->insertItem(
            0, publishing.calendarName.isEmpty() ? publishing.calendarUrl : publishing.calendarName,
            publishing.calendarUrl);
    calendarBox_->addItem(text("A new calendar named kivo"), QString());
    const int chosen = calendarBox_->findData(publishing.calendarUrl);
    calendarBox_->setCurrentIndex(chosen >= 0 ? chosen : calendarBox_->count() - 1);
    publishCheck_->setChecked(publishing.on);
    ownOnlyCheck_->setChecked(publishing.ownRecordsOnly);
    calendarBox_->setEnabled(publishing.on);
    ownOnlyCheck_->setEnabled(publishing.on);
}

void CAccountsDlg::takePublishing() {
    sync::CalendarPublishing& publishing = current().account.publishing;
    publishing.on = publishCheck_->isChecked();
    publishing.ownRecordsOnly = ownOnlyCheck_->isChecked();
    publishing.calendarUrl = calendarBox_->currentData().toString();
    publishing.calendarName =
        publishing.calendarUrl.isEmpty() ? QString() : calendarBox_->currentText();
}

void CAccountsDlg::discoverCalendars(const QString& password, const std::function<void()>& then) {
    setBusy(true, text("Looking for your calendars on the server..."));
    sync::ServerLogin login{current().account.serverUrl, current().account.userName, password,
                            current().account.trustedCertificateSha256};
    auto* client = new sync::CalDavClient(login, requests_.get());
    const QString said = status_->text();
    client->discoverCalendars([this, client, then, said](const sync::CalendarDiscovery& found) {
        client->deleteLater();
        setBusy(false);
        // A server without calendars still syncs its address books.
        if (found.error) {
            say(said + QLatin1Char(' ') + text("No calendar was found:") + QLatin1Char(' ') +
                found.error->message);
        } else {
            calendars_ = found.calendars;
            calendarHome_ = found.home;
            takePublishing();
            showPublishing();
            say(said);
        }
        if (then)
            then();
    });
}

void CAccountsDlg::makeCalendarThen(const QString& password, const std::function<void()>& then) {
    if (calendarHome_.isEmpty()) {
        discoverCalendars(password, [this, password, then] {
            if (calendarHome_.isEmpty())
                say(text("The server has no place for a new calendar: choose one of its "
                         "calendars."),
                    true);
            else
                makeCalendarThen(password, then);
        });
        return;
    }
    setBusy(true, text("Making the calendar..."));
    sync::ServerLogin login{current().account.serverUrl, current().account.userName, password,
                            current().account.trustedCertificateSha256};
    auto* client = new sync::CalDavClient(login, requests_.get());
    client->makeCalendar(calendarHome_, QString::fromLatin1(kNewCalendarName),
                         [this, client, then](std::optional<sync::SyncError> error, QString url) {
                             client->deleteLater();
                             setBusy(false);
                             if (error) {
                                 say(error->message, true);
                                 return;
                             }
                             calendars_.push_back({url, QString::fromLatin1(kNewCalendarName)});
                             sync::CalendarPublishing& publishing = current().account.publishing;
                             publishing.calendarUrl = url;
                             publishing.calendarName = QString::fromLatin1(kNewCalendarName);
                             showPublishing();
                             store();
                             then();
                         });
}

sync::CalendarPublishing CAccountsDlg::storedPublishing() {
    for (const sync::StoredAccount& stored : sync::readAccounts(platform_.settingsStore))
        if (stored.id == current().id)
            return stored.account.publishing;
    return {};
}

void CAccountsDlg::publishTurnedOff() {
    if (isNew())
        return;
    const sync::CalendarPublishing was = storedPublishing();
    current().account.publishing.on = false;
    store();
    offerToRemoveEvents(was);
}

void CAccountsDlg::calendarChanged() {
    if (isNew())
        return;
    const sync::CalendarPublishing was = storedPublishing();
    takePublishing();
    if (current().account.publishing.calendarUrl == was.calendarUrl)
        return;
    store();
    // kivo's events would otherwise stay on the calendar left behind, with nobody to keep them.
    offerToRemoveEvents(was);
}

void CAccountsDlg::offerToRemoveEvents(const sync::CalendarPublishing& was) {
    if (!was.on || was.calendarUrl.isEmpty())
        return;
    const std::string statePath = dataFolder + sync::publishedFileName(current().id);
    const QString question =
        text("Remove kivo's events from the calendar \"%1\"? Events that others put there stay.")
            .arg(was.calendarName.isEmpty() ? was.calendarUrl : was.calendarName);
    if (!platform_.messages.question(fromQt(question))) {
        QFile::remove(toQt(statePath));
        return;
    }
    removeKivoEvents(was, [statePath] { QFile::remove(toQt(statePath)); });
}

void CAccountsDlg::removeKivoEvents(const sync::CalendarPublishing& was,
                                    const std::function<void()>& then) {
    const std::optional<QString> typed = password();
    if (!typed)
        return; // said why; the events stay
    setBusy(true, text("Removing kivo's events from the calendar..."));
    sync::ServerLogin login{current().account.serverUrl, current().account.userName, *typed,
                            current().account.trustedCertificateSha256};
    auto* client = new sync::CalDavClient(login, requests_.get());
    auto* publisher = new sync::CalendarPublisher(
        *client, dataFolder + sync::publishedFileName(current().id), client);
    publisher->start(
        was.calendarUrl, {}, QDateTime::currentSecsSinceEpoch(),
        [this, client, then](const sync::PublishOutcome& outcome) {
            client->deleteLater();
            setBusy(false);
            if (outcome.error) {
                say(outcome.error->message, true);
                return;
            }
            then();
            say(text("%1 events of kivo's were removed from the calendar.").arg(outcome.deleted));
        });
}

} // namespace kivo
