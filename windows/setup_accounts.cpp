// The setup window and the address book accounts: "Sync...", and the sync in the background while
// the window is open.
#include "windows/accounts_dlg.h"
#include "windows/kivo_dlg.h"

#include "platform/password_store.h"
#include "platform/system_services.h"
#include "sync/sync_all.h"

#include <QEvent>
#include <QTimer>

namespace kivo {

void CKivoDlg::openAccounts() {
    if (!passwords)
        return;
    CAccountsDlg dialog(platform_, *passwords, this);
    dialog.dataFolder = dataFolder;
    dialog.newRecords = {newRecordDefaults(), text("Anniversary")};
    dialog.text = [this](const char* builtIn) { return qtext(builtIn); };
    dialog.load();
    runAccounts(dialog);
    if (dialog.contactsChanged())
        contactsPending_ = true;
}

void CKivoDlg::syncInBackground() {
    if (!passwords || backgroundSync_ || sync::readAccounts(platform_.settingsStore).empty())
        return;
    backgroundSync_ = std::make_unique<QObject>();
    sync::SyncAllSetup setup;
    setup.settings = &platform_.settingsStore;
    setup.dataFolder = dataFolder;
    setup.newRecords = {newRecordDefaults(), text("Anniversary")};
    setup.owner = backgroundSync_.get();
    PasswordStore* keyring = passwords;
    setup.password = [keyring](const std::string& id, std::string& reason) {
        return readKeptPassword(*keyring, id, reason);
    };
    setup.report = [this](const sync::AccountReport& report) {
        if (report.outcome.contactsChanged + report.outcome.contactsRemoved > 0)
            contactsPending_ = true;
        if (report.newFailure)
            syncFailures_.push_back(report.line);
    };
    sync::syncAllAccounts(setup, [this](bool) {
        // The sync's owner is not ended inside its own call back.
        QTimer::singleShot(0, this, [this] {
            backgroundSync_.reset();
            followSync();
        });
    });
}

void CKivoDlg::followContacts() {
    contactsPending_ = true;
    followSync();
}

void CKivoDlg::followSync() {
    if (!isVisible() || !canRefreshNow())
        return; // waits for the window to be free again
    if (contactsPending_) {
        contactsPending_ = false;
        if (reloadContacts)
            refreshList([this] {
                reloadContacts();
                return true;
            });
    }
    if (!syncFailures_.empty()) {
        std::string lines;
        for (const std::string& line : syncFailures_)
            lines += "\n" + line;
        syncFailures_.clear();
        platform_.messages.warning(text("An address book could not be synced:") + "\n" + lines);
    }
}

void CKivoDlg::changeEvent(QEvent* event) {
    KivoDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (refreshPending_)
            followRecordsFile();
        followSync();
    }
}

} // namespace kivo
