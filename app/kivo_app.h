// The application object: the whole daily run, from loading through the windows to saving.
#pragma once

#include "core/app_settings.h"
#include "core/person_record.h"
#include "core/records_file.h"
#include "core/text_table.h"
#include "engine/occurrence.h"
#include "engine/reminder_notice.h"
#include "engine/reminder_text.h"
#include "platform/platform.h"
#include "sync/contacts_file.h"

#include <memory>
#include <string>
#include <vector>

namespace kivo {

// The command line of the daily timer's run: a daily run that shows its reminders as a
// notification, and nothing on a day that already showed them.
inline constexpr const char* kTimerArgument = "--timer";

// What the start of a run decided, before any window code is loaded or any display is asked for.
// Whatever can make a run open a window belongs in here, so that the run without a window and the
// run with windows can never disagree.
struct StartDecision {
    // The window the run opens first, or none: the run then ends at once and needs no display.
    enum class Window { None, Reminder, Setup };
    Window firstWindow = Window::None;
    // Something must be said before the run ends (a records file that cannot be read), which
    // needs the desktop even when no window of the run opens.
    bool tellsUser = false;
    // The reminders go to the desktop's notification service first (the timer's run, or the
    // user's choice); the reminder window opens when no service takes them or the user asks.
    bool byNotice = false;

    bool opensWindow() const { return firstWindow != Window::None || tellsUser; }
};

class CKivoApp {
public:
    explicit CKivoApp(Platform& platform);

    // The whole run in this process: start(), then the windows or the end without them. The
    // command line's only meaning is whether it is empty. Returns false, as there is nothing left
    // to run after it.
    bool InitInstance(const std::string& commandLine);

    // Start-up up to the decision whether any window opens. Of the platform it uses only the
    // clock, the folders, the locale and the settings store, so it runs before the GUI exists.
    StartDecision start(const std::string& commandLine);
    // For a run that only decides whether a window opens, and leaves any run with a window to
    // another start: start() then reads the records file no further than the first due record.
    bool decidesOnly = false;
    // The end of a run that opens no window: the settings are written, the records untouched.
    void endWithoutWindows();
    // The window loop and the end of the run, after start() decided that a window opens. Built
    // with the windows, and needs the application of the GUI.
    void runWindows();

    // The notification of the reminders that start() decided to send (byNotice): reads the
    // records and texts that the windows would read.
    ReminderNotice reminderNotice();
    // What became of the notification. Unless it was not shown, the day's reminders count as
    // shown; after Ended the run ends with endWithoutWindows(), otherwise with runWindows(),
    // which then opens the window the user asked for (the setup window alone after ShowSetup).
    void noticeAnswered(NoticeOutcome outcome);

    RecordList records;
    TextTable texts;
    AppSettings settings;
    Date today{};
    // Whether the per-user data folder exists to keep the records in; false only on systems too
    // old to have one, where they stay in the working folder.
    bool newShell = false;
    std::string dataFolder;
    std::vector<std::string> presets;

    // What the last run did, for whoever wants to know (tests, diagnostics).
    struct RunReport {
        bool firstRun = false;
        int reminderWindowsShown = 0; // reminder windows opened (including those ending at once)
        int setupWindowsShown = 0;
        bool recordsWritten = false;
        bool recordsWriteFailed = false;
        int recordsMerged = 0;          // saves that went into a file another program had changed
        bool recordsUnreadable = false; // told at start; no records are saved in this run
        bool recordsBackupMade = false; // a Ctrl-Z had cut text off the file that was replaced
        bool remindedByNotice = false;  // a notification service took the reminders
    };
    const RunReport& lastRun() const { return report_; }

private:
    void startUp();
    RecordsFileOutcome findRecordsFile(bool* anyUpcomingDue);
    RecordsFileOutcome readThrough(const std::string& path, bool* anyUpcomingDue);
    void tellRecordsUnreadable();
    void claimDataFolder();
    bool keepCutOffText(const std::string& path);
    // The window a pass of the window loop starts with, by the command line, the first-run rule
    // and the once-a-day rule.
    StartDecision::Window windowOfPass() const;
    // Whether the run shows no reminders today: by the once-a-day rule for a log-on run, and for
    // the timer's run when a run of the day already showed them.
    bool heldBack() const;
    bool onceADayHoldsBack() const;
    std::string todayKey() const;
    void loadRecordsAndTexts();
    // Reads the whole records file into the list that held only the reminder window's records,
    // after saving what the run changed of those.
    void completeList(bool& recordsChanged);
    // Shows the reminder window; returns whether the user asked for the setup window.
    bool showReminderWindow(bool& recordsChanged);
    void showSetupWindow(bool& recordsChanged);
    void saveEverything(bool recordsChanged);
    // Sends the records saved at the end of a run with windows to the calendars of the accounts
    // that publish; whatever has not gone after kPublishAfterWindowsMs goes at the next sync.
    void publishSavedRecords();
    static constexpr int kPublishAfterWindowsMs = 20000;
    void saveRecords(const std::string& path);
    // Whether a record of the accounts' contacts files is due: the quiet run's look at them.
    bool anyContactDue() const;
    // Reads the contacts files and appends their shown records to `list`, computed.
    void loadContactRecords(RecordList& list, bool readFiles);
    // Reads the contacts files again after a sync or an account's removal while the setup window
    // is open: the list's records of them are replaced, and what the run changed of them (not
    // saved yet) stays changed.
    void reloadContactRecords();
    // Saves the user's own choices on the contacts' records into their files.
    void saveContactChoices();
    // Reads the records file again once it changed on disk while the setup window is open;
    // returns whether the list now holds what the file holds.
    bool reloadRecordsChangedOutside();
    // Copies of the records file that a sync tool made beside it and the user was not told of
    // yet; remembers them as told.
    std::vector<std::string> conflictCopiesToTell();
    void tellMerge(const std::string& path, const MergedRecords& merged, bool removedOutside);

    Platform& platform_;
    std::unique_ptr<RandomSource> random_;
    std::string commandLine_;
    bool timerRun_ = false;
    // The user asked for the setup window from the notification: it opens alone.
    bool setupOnly_ = false;
    // Reminders were shown in this run (a notification, or a reminder window with lines); the day
    // is stored as the one that showed them.
    bool remindersShown_ = false;
    bool recordsAndTextsLoaded_ = false;
    RecordsFileReader recordsFile_;
    // Whether start() read the record list already, with the records' derived values, in its pass
    // over the records file.
    bool listLoaded_ = false;
    // The list holds only the records the reminder window may show (and the accounts' records),
    // their places and the snapshot counted among them alone. A save merges the changes into the
    // file, and the setup window first has the list completed.
    bool listPartial_ = false;
    std::size_t recordsBeforeStart_ = 0;
    bool firstRun_ = false;
    RecordsFileOutcome recordsOutcome_;
    // The records file as the list was read from it, to learn at the save whether someone else
    // wrote it since.
    RecordsFileSnapshot recordsSnapshot_;
    // The contacts files of the data folder as the run read them, in the order of their records'
    // source numbers (the first is source 1).
    std::vector<std::string> contactsPaths_;
    std::vector<ContactsFile> contactsRead_;
    std::string unreadableRecordsPath_;
    std::unique_ptr<FolderInUse> folderInUse_;
    RunReport report_;
};

} // namespace kivo
