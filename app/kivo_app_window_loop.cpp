// The daily run's window loop: the reminder window and the setup window, one after another.
#include "app/kivo_app.h"

#include "platform/password_store.h"
#include "sync/sync_all.h"
#include "windows/kivo_dlg.h"
#include "windows/reminder_dlg.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>

namespace kivo {

bool CKivoApp::InitInstance(const std::string& commandLine) {
    if (start(commandLine).opensWindow())
        runWindows();
    else
        endWithoutWindows();
    return false;
}

void CKivoApp::runWindows() {
    loadRecordsAndTexts();
    bool recordsChanged = false;
    while (true) {
        const StartDecision::Window window = windowOfPass();
        bool goToSetup = window == StartDecision::Window::Setup;
        if (window == StartDecision::Window::Reminder)
            goToSetup = showReminderWindow(recordsChanged);
        if (goToSetup) {
            showSetupWindow(recordsChanged);
            firstRun_ = false;
        }
        // The reminder window ends the run unless it asked for the setup window, which then
        // leads back to it; a command line, or the notification's "Setup", ends it after the
        // setup window.
        if (!commandLine_.empty() || setupOnly_ || !goToSetup)
            break;
    }
    saveEverything(recordsChanged);
    if (recordsChanged && report_.recordsWritten)
        publishSavedRecords();
}

void CKivoApp::publishSavedRecords() {
    KeyringPasswordStore keyring;
    sync::SyncAllSetup setup;
    setup.settings = &platform_.settingsStore;
    setup.dataFolder = dataFolder;
    setup.publishOnly = true;
    setup.password = [&keyring](const std::string& id, std::string& reason) {
        return readKeptPassword(keyring, id, reason);
    };
    QEventLoop loop;
    // Owns the publish: a server that takes too long gets the rest at the next sync.
    auto owner = std::make_unique<QObject>();
    setup.owner = owner.get();
    sync::syncAllAccounts(setup, [&loop](bool) { loop.quit(); });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    limit.start(kPublishAfterWindowsMs);
    loop.exec();
}

bool CKivoApp::showReminderWindow(bool& recordsChanged) {
    ++report_.reminderWindowsShown;
    CReminderDlg dialog(platform_, *random_);
    dialog.records = &records;
    dialog.texts = &texts;
    dialog.settings = &settings;
    dialog.presets = &presets;
    dialog.today = today;
    dialog.setupRequested = -1;
    dialog.DoModal();
    if (dialog.reminded)
        remindersShown_ = true;
    if (dialog.modified)
        recordsChanged = true;
    return dialog.setupRequested == 1;
}

void CKivoApp::showSetupWindow(bool& recordsChanged) {
    ++report_.setupWindowsShown;
    completeList(recordsChanged);
    CKivoDlg dialog(platform_);
    dialog.records = &records;
    dialog.texts = &texts;
    dialog.settings = &settings;
    dialog.dataFolder = dataFolder;
    // The list follows the records file while nothing in this run changed the records; after
    // that the save puts the run's changes into whatever the file holds then.
    if (recordsOutcome_.state != RecordsFileState::Unreadable) {
        dialog.recordsPath = dataFolder + kRecordsFileName;
        dialog.reloadRecords = [this, &recordsChanged] {
            return !recordsChanged && reloadRecordsChangedOutside();
        };
    }
    dialog.conflictCopies = conflictCopiesToTell();
    // The accounts sync while the window is open, their passwords from the keyring.
    KeyringPasswordStore keyring;
    dialog.passwords = &keyring;
    dialog.reloadContacts = [this] { reloadContactRecords(); };
    dialog.DoModal();
    if (dialog.modified)
        recordsChanged = true;
}

} // namespace kivo
