// The daily run up to the decision whether any window opens, and its end: load, decide, save.
// The window loop is in kivo_app_windows.cpp, with the windows.
#include "app/kivo_app.h"

#include "engine/date_text.h"

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

StartDecision CKivoApp::start(const std::string& commandLine) {
    report_ = RunReport{};
    commandLine_ = commandLine;
    startUp();
    // 9. The records file. When nothing but the reminder window can open, its records are tested
    // for being due in the same pass, since that alone then decides whether anything is shown.
    bool anyUpcomingDue = false;
    const bool dueDecides = commandLine.empty() && !onceADayHoldsBack();
    firstRun_ = !findRecordsFile(dueDecides ? &anyUpcomingDue : nullptr);
    report_.firstRun = firstRun_;
    StartDecision decision{windowOfPass()};
    if (decision.firstWindow == StartDecision::Window::Reminder && !anyUpcomingDue) {
        // The reminder window would end by itself, unseen and changing nothing: the usual log-on
        // run, which needs neither the record list nor a display.
        ++report_.reminderWindowsShown;
        decision.firstWindow = StartDecision::Window::None;
    }
    return decision;
}

void CKivoApp::endWithoutWindows() {
    recordsFile_.close();
    saveEverything(false);
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
bool CKivoApp::findRecordsFile(bool* anyUpcomingDue) {
    if (readThrough(dataFolder + kRecordsFileName, anyUpcomingDue))
        return true;
    if (newShell) {
        dataFolder = platform_.folders.userDataFolder();
        platform_.folders.makeFolder(dataFolder);
    }
    return readThrough(dataFolder + kRecordsFileName, anyUpcomingDue);
}

// Reads the file through to learn whether it can be read whole. With `anyUpcomingDue` given, its
// records are tested on the way, each read into the same record, until one is due.
bool CKivoApp::readThrough(const std::string& path, bool* anyUpcomingDue) {
    if (anyUpcomingDue)
        *anyUpcomingDue = false;
    if (recordsFile_.open(path) != TextReadStatus::Ok)
        return false;
    if (anyUpcomingDue) {
        PersonRecord record;
        std::string mailPath; // the run's own is set when the list is built
        NextOccurrences nextOccurrences(today);
        while (!*anyUpcomingDue && recordsFile_.next(record, mailPath, RecordFields::DueTest)) {
            nextOccurrences.fill(record);
            *anyUpcomingDue = isUpcomingDue(record);
        }
    }
    return recordsFile_.finish() == TextReadStatus::Ok;
}

StartDecision::Window CKivoApp::windowOfPass() const {
    if (!commandLine_.empty() || firstRun_)
        return StartDecision::Window::Setup;
    if (onceADayHoldsBack())
        return StartDecision::Window::None;
    return StartDecision::Window::Reminder;
}

bool CKivoApp::onceADayHoldsBack() const {
    return settings.onceADay && settings.lastRun == todayKey();
}

void CKivoApp::loadRecordsAndTexts() {
    // 9. The records, from the file found above.
    if (recordsFile_.rewind())
        recordsFile_.appendRest(records, settings.mailPath);
    recordsFile_.close();
    // 10. The text table.
    loadTextTable(platform_.folders.workingFolder(), dataFolder, texts);
    // 12. The derived values of every record.
    for (PersonRecord& record : records)
        ComputeOccurrence(record, today);
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
