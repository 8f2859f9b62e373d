// The accounts dialog, opened by "Sync..." in the setup window: the address book accounts whose
// contacts' birthdays become records, each with its server, user name and password, the address
// books to read, and how its last sync ended.
#pragma once

#include "platform/platform.h"
#include "sync/account_store.h"
#include "sync/account_sync.h"
#include "sync/caldav_client.h"

#include <QDialog>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace kivo {

class PasswordStore;

class CAccountsDlg : public QDialog {
public:
    // `passwords` is the keyring; the dialog owns neither it nor the platform.
    CAccountsDlg(Platform& platform, PasswordStore& passwords, QWidget* parent = nullptr);
    ~CAccountsDlg() override;

    // Set by the creator before the dialog opens.
    std::string dataFolder; // where the contacts files are (ends with the separator)
    sync::NewContactRecords newRecords;
    // Translates a built-in text; by default the text itself.
    std::function<QString(const char*)> text;

    // Reads the accounts and shows the first, or an empty form for a new one when there is none.
    void load();

    // "Test": finds the account's address books on the server with what the form holds.
    void test();
    // "Sync now": the account's chosen address books into its contacts file.
    void syncNow();
    // "Remove": the account, its contacts file and its password, once the user confirmed.
    void removeAccount();

    // Whether the records of any account changed here (a sync brought changes, an account or an
    // address book was removed): the setup window then reloads them.
    bool contactsChanged() const { return contactsChanged_; }
    // Whether a request to the server is under way.
    bool busy() const { return busy_; }

    QComboBox* accountBox() const { return accountBox_; }
    QLineEdit* serverEdit() const { return serverEdit_; }
    QLineEdit* userEdit() const { return userEdit_; }
    QLineEdit* passwordEdit() const { return passwordEdit_; }
    QListWidget* bookList() const { return bookList_; }
    QLabel* statusLabel() const { return status_; }
    QLabel* lastSyncLabel() const { return lastSync_; }
    QPushButton* testButton() const { return testButton_; }
    QPushButton* syncButton() const { return syncButton_; }
    QPushButton* removeButton() const { return removeButton_; }
    QCheckBox* publishCheck() const { return publishCheck_; }
    QComboBox* calendarBox() const { return calendarBox_; }
    QCheckBox* ownOnlyCheck() const { return ownOnlyCheck_; }

private:
    // The account being edited: a stored one, or a new one not stored until it first connects.
    sync::StoredAccount& current();
    bool isNew() const;
    void showAccount(int index);
    void showBooks();
    void showLastSync();
    void takeBookChoices();
    // The form's server and user name into the current account; false (and said) without a
    // server.
    bool takeForm();
    // The password for a request: as typed, else from the keyring; nothing (and said) without one.
    std::optional<QString> password();
    void keepPassword(const QString& typed);
    void store();
    void setBusy(bool busy, const QString& what = {});
    void say(const QString& message, bool failure = false);
    // Offers to trust the certificate of an UntrustedCertificate error; true when the user did,
    // and the fingerprint is kept with the account.
    bool offerToTrust(const sync::SyncError& error);
    // Finds the account's address books on the server; `retry` runs once the user chose to
    // trust the server's certificate, `then` once the books are known.
    void discover(const QString& password, const std::function<void()>& retry,
                  const std::function<void()>& then);
    void discovered(const std::vector<sync::AddressBook>& books, const QString& typedPassword,
                    const std::function<void()>& then);

    // The calendar: "Publish to calendar", which calendar, which records.
    void buildPublishing();
    void showPublishing();
    void takePublishing();
    // Finds the account's calendars and where a new one can be made.
    void discoverCalendars(const QString& password, const std::function<void()>& then);
    // Makes the calendar named kivo when the user chose a new one, then goes on.
    void makeCalendarThen(const QString& password, const std::function<void()>& then);
    // Publish was turned off: offers to remove kivo's events from the calendar.
    void publishTurnedOff();
    // Another calendar was chosen: offers to remove kivo's events from the one it leaves.
    void calendarChanged();
    // The publishing the settings hold for the account shown: what kivo did until now.
    sync::CalendarPublishing storedPublishing();
    // Asks whether kivo's events go from the calendar `was` published to, and removes them if so.
    void offerToRemoveEvents(const sync::CalendarPublishing& was);
    // Removes kivo's events from the calendar it published to, then runs `then`; a failure is
    // said, and `then` does not run.
    void removeKivoEvents(const sync::CalendarPublishing& was, const std::function<void()>& then);
    // The account gone from kivo: its settings, its files and its password.
    void forgetAccount(const sync::StoredAccount& removed);

    Platform& platform_;
    PasswordStore& passwords_;
    std::vector<sync::StoredAccount> accounts_;
    sync::StoredAccount newAccount_;
    int shown_ = -1; // index into accounts_, or -1 for the new account
    bool contactsChanged_ = false;
    bool busy_ = false;
    // Ends every request under way when the dialog goes, before their answers could reach it.
    std::unique_ptr<QObject> requests_;

    std::vector<std::pair<QLabel*, const char*>> captions_;
    QComboBox* accountBox_ = nullptr;
    QLineEdit* serverEdit_ = nullptr;
    QLineEdit* userEdit_ = nullptr;
    QLineEdit* passwordEdit_ = nullptr;
    QLabel* keyringNote_ = nullptr;
    QListWidget* bookList_ = nullptr;
    QLabel* lastSync_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* testButton_ = nullptr;
    QPushButton* syncButton_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QCheckBox* publishCheck_ = nullptr;
    QComboBox* calendarBox_ = nullptr;
    QCheckBox* ownOnlyCheck_ = nullptr;
    std::vector<sync::Calendar> calendars_; // found on the server
    QString calendarHome_;                  // where a new calendar is made
};

} // namespace kivo
