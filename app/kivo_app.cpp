// The daily run: load, decide which window the user sees, show the windows, save.
#include "app/kivo_app.h"

#include "core/records_file.h"
#include "engine/date_text.h"
#include "windows/kivo_dlg.h"
#include "windows/reminder_dlg.h"

namespace kivo {

namespace {
int yearOf(Date d) { return static_cast<int>(d.year()); }
int monthOf(Date d) { return static_cast<int>(static_cast<unsigned>(d.month())); }
int dayOf(Date d) { return static_cast<int>(static_cast<unsigned>(d.day())); }
} // namespace

CKivoApp::CKivoApp(Platform& platform) : platform_(platform) {}

bool CKivoApp::InitInstance(const std::string& commandLine) {
    report_ = RunReport{};
    loadEverything();
    runWindows(commandLine);
    return false;
}

void CKivoApp::loadEverything() {
    // 1. The reference day: the whole run counts from the day on which it started.
    today = platform_.clock.currentDate();
    // 2. The random seed; it only picks reminder prefixes.
    random_ = std::make_unique<StdRandomSource>(
        static_cast<unsigned>(platform_.clock.currentTime() & 0xFFFFFFFFu));
    // 3. The display date format, from the locale's short date pattern.
    settings.dateFormat = dateFormatFromLocalePattern(platform_.locale.shortDatePattern());
    // 4. The records file and the stored settings may set these next.
    settings.mailPath.clear();
    settings.sortColumn = 0;
    // 5., 6. The system: whether the per-user data folder exists; the screen resolution is the
    // platform's own.
    newShell = platform_.folders.newShell();
    // 7., 8. "pre.ini" is always read from the working directory.
    dataFolder = platform_.folders.workingFolder();
    readPresets(dataFolder + "pre.ini", presets);
    // 9. The records, from the working directory or the per-user folder.
    firstRun_ = !readRecordsFromDataFolder();
    report_.firstRun = firstRun_;
    // 10. The text table.
    loadTextTable(platform_.folders.workingFolder(), dataFolder, texts);
    // 11. The stored settings (written at once with defaults when there are none).
    const std::string todayKey = dayKey(yearOf(today), monthOf(today), dayOf(today));
    readSettings(settings, platform_.settingsStore, todayKey);
    // 12. The derived values of every record.
    for (PersonRecord& record : records)
        ComputeOccurrence(record, today);
}

bool CKivoApp::readRecordsFromDataFolder() {
    if (readRecordsFile(dataFolder + kRecordsFileName, records, settings.mailPath))
        return true;
    // Whatever a failed read left behind is dropped, so that the next folder's file is not
    // mixed with part of another.
    records.clear();
    settings.mailPath.clear();
    if (newShell) {
        dataFolder = platform_.folders.userDataFolder();
        platform_.folders.makeFolder(dataFolder);
    }
    return readRecordsFile(dataFolder + kRecordsFileName, records, settings.mailPath);
}

void CKivoApp::runWindows(const std::string& commandLine) {
    bool recordsChanged = false;
    bool keepGoing = true;
    const std::string todayKey = dayKey(yearOf(today), monthOf(today), dayOf(today));
    while (true) {
        bool goToSetup = false;
        if (!commandLine.empty() || firstRun_) {
            goToSetup = true;
        } else if (settings.onceADay && settings.lastRun == todayKey) {
            keepGoing = false;
        } else {
            goToSetup = showReminderWindow(recordsChanged);
            if (!goToSetup)
                keepGoing = false;
        }
        if (goToSetup) {
            showSetupWindow(recordsChanged);
            firstRun_ = false;
        }
        if (!commandLine.empty() || !keepGoing)
            break;
    }
    saveEverything(recordsChanged);
}

bool CKivoApp::showReminderWindow(bool& recordsChanged) {
    ++report_.reminderWindowsShown;
    // The window would end itself before being shown; building it is skipped at log-on when
    // nothing upcoming is due, which keeps that run close to the cost of starting Qt.
    if (!SelectDue(records, today, settings.pastDays, platform_.clock.currentDate()).anyUpcoming)
        return false;
    CReminderDlg dialog(platform_, *random_);
    dialog.records = &records;
    dialog.texts = &texts;
    dialog.settings = &settings;
    dialog.presets = &presets;
    dialog.today = today;
    dialog.setupRequested = -1;
    dialog.DoModal();
    if (dialog.modified)
        recordsChanged = true;
    return dialog.setupRequested == 1;
}

void CKivoApp::showSetupWindow(bool& recordsChanged) {
    ++report_.setupWindowsShown;
    CKivoDlg dialog(platform_);
    dialog.records = &records;
    dialog.texts = &texts;
    dialog.settings = &settings;
    dialog.dataFolder = dataFolder;
    dialog.DoModal();
    if (dialog.modified)
        recordsChanged = true;
}

void CKivoApp::saveEverything(bool recordsChanged) {
    if (recordsChanged) {
        const std::string path = dataFolder + kRecordsFileName;
        std::string error;
        if (writeRecordsFile(path, records, settings.mailPath, &error)) {
            report_.recordsWritten = true;
        } else {
            // The previous file is still intact; the user must know that this run's changes
            // are not in it.
            report_.recordsWriteFailed = true;
            platform_.messages.error("The records could not be saved to \"" + path + "\".\n\n" +
                                     error + "\n\nThe previous file was left unchanged.");
        }
    }
    writeSettings(settings, platform_.settingsStore,
                  dayKey(yearOf(today), monthOf(today), dayOf(today)));
    records.clear();
    texts.clear();
}

} // namespace kivo
