// The daily run: load, decide which window the user sees, show the windows, save.
#include "app/kivo_app.h"

#include "engine/date_text.h"
#include "windows/kivo_dlg.h"
#include "windows/reminder_dlg.h"

namespace kivo {

namespace {
// Records that share a day, month and leapling share their next occurrence, so a pass over many
// records computes it once per such date. Only what the due test reads is filled in: the next
// year and the days until it.
class NextOccurrences {
public:
    explicit NextOccurrences(Date today) : today_(today) {}

    void fill(PersonRecord& record) {
        const bool shared = hasUsableDate(record) && (record.leapling == 0 || record.leapling == 1);
        if (!shared) {
            ComputeOccurrence(record, today_);
            return;
        }
        Known& known = known_[record.leapling][record.month - 1][record.day - 1];
        if (!known.computed) {
            PersonRecord date;
            date.day = record.day;
            date.month = record.month;
            date.leapling = record.leapling;
            ComputeOccurrence(date, today_);
            known = {true, date.nextYear, date.daysUntil};
        }
        record.nextYear = known.nextYear;
        record.daysUntil = known.daysUntil;
    }

private:
    struct Known {
        bool computed = false;
        int nextYear = -1;
        int daysUntil = -1;
    };
    Date today_;
    Known known_[2][12][31];
};

} // namespace

CKivoApp::CKivoApp(Platform& platform) : platform_(platform) {}

std::string CKivoApp::todayKey() const {
    return dayKey(yearOf(today), monthOf(today), dayOf(today));
}

bool CKivoApp::InitInstance(const std::string& commandLine) {
    report_ = RunReport{};
    startUp();
    RecordsFileReader recordsFile;
    // 9. The records file. When nothing but the reminder window can open, its records are tested
    // for being due in the same pass, since that alone then decides whether anything is shown.
    bool anyUpcomingDue = false;
    const bool dueDecides = commandLine.empty() && !onceADayHoldsBack();
    firstRun_ = !findRecordsFile(recordsFile, dueDecides ? &anyUpcomingDue : nullptr);
    report_.firstRun = firstRun_;
    if (endsWithoutAnyWindow(commandLine, anyUpcomingDue)) {
        saveEverything(false);
        return false;
    }
    loadRecordsAndTexts(recordsFile);
    recordsFile.close();
    runWindows(commandLine);
    return false;
}

// Start-up up to the records file, and the stored settings: everything that a run needs before it
// can tell whether any window opens.
void CKivoApp::startUp() {
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
    // 11. The stored settings (written at once with defaults when there are none). They are read
    // before the records file, since the once-a-day rule alone can decide that nothing is shown.
    readSettings(settings, platform_.settingsStore, todayKey());
}

// The records file from the working directory or else from the per-user folder; false when
// neither could be read whole, which makes the run a first run.
bool CKivoApp::findRecordsFile(RecordsFileReader& recordsFile, bool* anyUpcomingDue) {
    if (readThrough(dataFolder + kRecordsFileName, recordsFile, anyUpcomingDue))
        return true;
    if (newShell) {
        dataFolder = platform_.folders.userDataFolder();
        platform_.folders.makeFolder(dataFolder);
    }
    return readThrough(dataFolder + kRecordsFileName, recordsFile, anyUpcomingDue);
}

// Reads the file through to learn whether it can be read whole. With `anyUpcomingDue` given, its
// records are tested on the way, each read into the same record, until one is due.
bool CKivoApp::readThrough(const std::string& path, RecordsFileReader& recordsFile,
                           bool* anyUpcomingDue) const {
    if (anyUpcomingDue)
        *anyUpcomingDue = false;
    if (recordsFile.open(path) != TextReadStatus::Ok)
        return false;
    if (anyUpcomingDue) {
        PersonRecord record;
        std::string mailPath; // the run's own is set when the list is built
        NextOccurrences nextOccurrences(today);
        while (!*anyUpcomingDue && recordsFile.next(record, mailPath, RecordFields::DueTest)) {
            nextOccurrences.fill(record);
            *anyUpcomingDue = isUpcomingDue(record);
        }
    }
    return recordsFile.finish() == TextReadStatus::Ok;
}

// Whether the run can end before the record list is even built. With an empty command line and
// records found, the reminder window is the only one that can open: the once-a-day rule may hold
// it back, and it ends by itself, unseen and changing nothing, when no upcoming entry is due. That
// is the usual log-on run, and then nothing but the settings is written.
bool CKivoApp::endsWithoutAnyWindow(const std::string& commandLine, bool anyUpcomingDue) {
    if (!commandLine.empty() || firstRun_)
        return false;
    if (onceADayHoldsBack())
        return true;
    if (anyUpcomingDue)
        return false;
    ++report_.reminderWindowsShown; // it opened and ended at once
    return true;
}

bool CKivoApp::onceADayHoldsBack() const {
    return settings.onceADay && settings.lastRun == todayKey();
}

void CKivoApp::loadRecordsAndTexts(RecordsFileReader& recordsFile) {
    // 9. The records, from the file found above.
    if (recordsFile.rewind())
        recordsFile.appendRest(records, settings.mailPath);
    // 10. The text table.
    loadTextTable(platform_.folders.workingFolder(), dataFolder, texts);
    // 12. The derived values of every record.
    for (PersonRecord& record : records)
        ComputeOccurrence(record, today);
}

void CKivoApp::runWindows(const std::string& commandLine) {
    bool recordsChanged = false;
    bool keepGoing = true;
    while (true) {
        bool goToSetup = false;
        if (!commandLine.empty() || firstRun_) {
            goToSetup = true;
        } else if (onceADayHoldsBack()) {
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
    writeSettings(settings, platform_.settingsStore, todayKey());
    records.clear();
    texts.clear();
}

} // namespace kivo
