// The daily run up to the decision whether any window opens, and its end: load, decide, save.
// The window loop is in kivo_app_window_loop.cpp, with the windows.
#include "app/kivo_app.h"

#include "core/text_encoding.h"
#include "engine/date_text.h"

#include <algorithm>

namespace kivo {

namespace {

// The names of the sync tools' copies of the records file that the user was told of, joined by
// a character no file name holds.
constexpr const char* kToldConflictCopiesKey = "toldcopies";
constexpr char kNameSeparator = '/';

std::vector<std::string> splitNames(const std::string& joined) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start < joined.size()) {
        const std::size_t end = std::min(joined.find(kNameSeparator, start), joined.size());
        if (end > start)
            names.push_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string joined;
    for (const std::string& name : names)
        joined += (joined.empty() ? "" : std::string(1, kNameSeparator)) + name;
    return joined;
}

} // namespace

CKivoApp::CKivoApp(Platform& platform) : platform_(platform) {}

std::string CKivoApp::todayKey() const {
    return dayKey(yearOf(today), monthOf(today), dayOf(today));
}

StartDecision CKivoApp::start(const std::string& commandLine) {
    report_ = RunReport{};
    timerRun_ = commandLine == kTimerArgument;
    // The timer's run is a daily run: its argument asks for no setup window.
    commandLine_ = timerRun_ ? std::string() : commandLine;
    setupOnly_ = false;
    remindersShown_ = false;
    recordsAndTextsLoaded_ = false;
    recordsBeforeStart_ = records.size();
    startUp();
    // The records file. When nothing but the reminder window can open, its records are tested
    // for being due in the same pass, since that alone then decides whether anything is shown.
    bool anyUpcomingDue = false;
    const bool dueDecides = commandLine_.empty() && !heldBack();
    recordsOutcome_ = findRecordsFile(dueDecides ? &anyUpcomingDue : nullptr);
    firstRun_ = recordsOutcome_.state == RecordsFileState::Missing;
    claimDataFolder();
    // The records of the accounts' address books remind as the records file's own do; a user
    // whose records all come from an address book has no records file, yet is past the first run.
    if (firstRun_ && !contactsFilesIn(dataFolder).empty())
        firstRun_ = false;
    report_.firstRun = firstRun_;
    if (dueDecides && !anyUpcomingDue && recordsOutcome_.state != RecordsFileState::Unreadable)
        anyUpcomingDue = anyContactDue();
    if (recordsOutcome_.state == RecordsFileState::Unreadable)
        tellRecordsUnreadable();
    StartDecision decision{windowOfPass()};
    decision.tellsUser = report_.recordsUnreadable;
    if (decision.firstWindow == StartDecision::Window::Reminder && !anyUpcomingDue &&
        !decision.tellsUser) {
        // The reminder window would end by itself, unseen and changing nothing: the usual log-on
        // run, which needs neither the record list nor a display.
        ++report_.reminderWindowsShown;
        decision.firstWindow = StartDecision::Window::None;
    }
    decision.byNotice = decision.firstWindow == StartDecision::Window::Reminder &&
                        !decision.tellsUser && (timerRun_ || settings.notifyReminders);
    return decision;
}

ReminderNotice CKivoApp::reminderNotice() {
    loadRecordsAndTexts();
    const DueSelection due =
        SelectDue(records, today, settings.pastDays, platform_.clock.currentDate());
    // The prefixes as the window shows them: a huge one is cut first.
    std::vector<std::string> shownPresets;
    shownPresets.reserve(presets.size());
    for (const std::string& preset : presets)
        shownPresets.push_back(shownText(preset));
    ReminderContext context{texts, settings.dateFormat, shownPresets, platform_.locale, *random_};
    ReminderNotice notice = composeReminderNotice(due, context);
    notice.day = today;
    return notice;
}

void CKivoApp::noticeAnswered(NoticeOutcome outcome) {
    if (outcome == NoticeOutcome::NotShown)
        return;
    remindersShown_ = true;
    report_.remindedByNotice = true;
    setupOnly_ = outcome == NoticeOutcome::ShowSetup;
}

void CKivoApp::endWithoutWindows() {
    recordsFile_.close();
    saveEverything(false);
}

// Start-up up to the records file, and the stored settings: everything that a run needs before it
// can tell whether any window opens.
void CKivoApp::startUp() {
    // The reference day: the whole run counts from the day on which it started.
    today = platform_.clock.currentDate();
    // The random seed; it only picks reminder prefixes.
    random_ = std::make_unique<StdRandomSource>(
        static_cast<unsigned>(platform_.clock.currentTime() & 0xFFFFFFFFu));
    // The display date format, from the locale's short date pattern.
    settings.dateFormat = dateFormatFromLocalePattern(platform_.locale.shortDatePattern());
    // The records file and the stored settings may set these next.
    settings.mailPath.clear();
    settings.sortColumn = 0;
    // Whether the per-user data folder exists; the screen resolution is the platform's own.
    newShell = platform_.folders.hasPerUserDataFolder();
    // "pre.ini" is always read from the working directory.
    dataFolder = platform_.folders.workingFolder();
    readPresets(dataFolder + "pre.ini", presets);
    // The stored settings (written at once with defaults when there are none). They are read
    // before the records file, since the once-a-day rule alone can decide that nothing is shown.
    readSettings(settings, platform_.settingsStore, todayKey());
}

// The records file from the working directory or else from the per-user folder. Only when there
// is no file in either is the run a first run; a file that exists but cannot be read is kept
// (with its path) so that the run tells the user and never saves over it.
RecordsFileOutcome CKivoApp::findRecordsFile(bool* anyUpcomingDue) {
    const std::string workingPath = dataFolder + kRecordsFileName;
    const RecordsFileOutcome working = readThrough(workingPath, anyUpcomingDue);
    if (working.state == RecordsFileState::Read)
        return working;
    if (newShell) {
        dataFolder = platform_.folders.userDataFolder();
        platform_.folders.makeFolder(dataFolder);
    }
    const std::string path = dataFolder + kRecordsFileName;
    const RecordsFileOutcome found = readThrough(path, anyUpcomingDue);
    if (found.state == RecordsFileState::Missing && working.state == RecordsFileState::Unreadable) {
        unreadableRecordsPath_ = workingPath;
        return working;
    }
    if (found.state == RecordsFileState::Unreadable)
        unreadableRecordsPath_ = path;
    return found;
}

// Reads the file through to learn whether it can be read whole. With `anyUpcomingDue` given, its
// records are tested on the way until one is due. When none is, the run ends without a window and
// without saving records, so the file's encoding, which only a save needs, is not looked for.
RecordsFileOutcome CKivoApp::readThrough(const std::string& path, bool* anyUpcomingDue) {
    if (anyUpcomingDue)
        *anyUpcomingDue = false;
    // Only what the file finally used holds ends up in the list.
    records.truncate(recordsBeforeStart_);
    recordsSnapshot_ = RecordsFileSnapshot{};
    recordsFile_.keepSnapshot(&recordsSnapshot_);
    settings.mailPath.clear();
    listLoaded_ = false;
    listPartial_ = false;
    if (recordsFile_.open(path) != TextReadStatus::Ok)
        return recordsFile_.outcome();
    if (anyUpcomingDue) {
        *anyUpcomingDue = kivo::anyUpcomingDue(recordsFile_, today);
        if (!*anyUpcomingDue)
            return recordsFile_.outcome(); // read through to its end
        if (decidesOnly)
            return recordsFile_.outcome(); // a window opens: the list is another start's
    }
    recordsFile_.rewind();
    if (commandLine_.empty() && heldBack()) {
        recordsFile_.finish();
        return recordsFile_.outcome();
    }
    // A window opens and shows the list: it is read in the same pass that tells whether the file
    // reads whole. When the reminder window opens first, the list holds what it shows and nothing
    // else, until the setup window asks for the whole file.
    listLoaded_ = true;
    listPartial_ = anyUpcomingDue != nullptr;
    if (listPartial_)
        appendShownRecords(recordsFile_, records, settings.mailPath, today, settings.pastDays,
                           platform_.clock.currentDate());
    else
        appendComputedRecords(recordsFile_, records, settings.mailPath, today);
    return recordsFile_.outcome();
}

void CKivoApp::tellRecordsUnreadable() {
    report_.recordsUnreadable = true;
    platform_.messages.error("The records file \"" + unreadableRecordsPath_ +
                             "\" cannot be read:\n\n" + recordsOutcome_.reason +
                             "\n\nkivo will not save over it, so changes to the records made in "
                             "this run are not saved.");
}

// Marks the data folder as used by this run, and when no other run is using it, removes what
// interrupted saves left there.
void CKivoApp::claimDataFolder() {
    folderInUse_ = std::make_unique<FolderInUse>(dataFolder);
    if (folderInUse_->alone())
        removeStaleTemporaries(dataFolder + kRecordsFileName);
}

// Before the first save replaces a file whose end a Ctrl-Z cut off, the whole old file is kept
// beside it. Returns false when that copy could not be made; the file must then stay as it is.
bool CKivoApp::keepCutOffText(const std::string& path) {
    const std::string copy = recordsBackupPath(path);
    std::string error;
    switch (keepCopyOnce(path, copy, &error)) {
    case CopyResult::AlreadyThere:
        return true;
    case CopyResult::Made:
        report_.recordsBackupMade = true;
        platform_.messages.information(
            "The records file \"" + path +
            "\" held text after an end-of-file mark (Ctrl-Z), which kivo does not read. A copy of "
            "the old file was kept as \"" +
            copy + "\".");
        return true;
    case CopyResult::Failed:
        break;
    }
    report_.recordsWriteFailed = true;
    platform_.messages.error("The records could not be saved to \"" + path +
                             "\".\n\nIt holds text after an end-of-file mark (Ctrl-Z) that "
                             "would be lost, and no copy of it could be made as \"" +
                             copy + "\": " + error + "\n\nThe previous file was left unchanged.");
    return false;
}

StartDecision::Window CKivoApp::windowOfPass() const {
    if (setupOnly_)
        return StartDecision::Window::Setup;
    // The timer's run only reminds: a user who has no records yet is not shown the setup window
    // every morning.
    if ((!commandLine_.empty() || firstRun_) && !timerRun_)
        return StartDecision::Window::Setup;
    if (heldBack())
        return StartDecision::Window::None;
    return StartDecision::Window::Reminder;
}

bool CKivoApp::heldBack() const {
    // The timer's run is for the user who did not log on today: it keeps quiet once any run of
    // the day showed the reminders, whatever "Only display once a day" says.
    if (timerRun_)
        return settings.lastShown == todayKey();
    return onceADayHoldsBack();
}

bool CKivoApp::onceADayHoldsBack() const {
    return settings.onceADay && settings.lastRun == todayKey();
}

void CKivoApp::loadRecordsAndTexts() {
    // A notification reads them first, and the windows it leads to must not add them twice.
    if (recordsAndTextsLoaded_)
        return;
    recordsAndTextsLoaded_ = true;
    // The records, from the file found above, unless start() read them already.
    if (!listLoaded_ && recordsFile_.rewind())
        recordsFile_.appendRest(records, settings.mailPath);
    recordsFile_.close();
    // The text table: the user's own "strings.ini", or else the translation for the user's
    // language that came with the program.
    loadTextTable(platform_.folders.workingFolder(), dataFolder,
                  translationFiles(platform_.folders.translationFolders(),
                                   languagesOfLocale(platform_.locale.messagesLocale())),
                  texts);
    // The derived values of every record, unless they were computed as the list was read.
    if (!listLoaded_)
        ComputeOccurrences(records, today);
    if (recordsOutcome_.state != RecordsFileState::Unreadable)
        loadContactRecords(records, true);
}

void CKivoApp::completeList(bool& recordsChanged) {
    if (!listPartial_)
        return;
    const std::string path = dataFolder + kRecordsFileName;
    // What the reminder window changed goes into the file first, merged as the end of the run
    // would have put it there.
    if (recordsChanged)
        saveRecords(path);
    listPartial_ = false;
    // The accounts' records were read whole, and keep what the run changed of them.
    RecordList contacts;
    for (std::size_t i = recordsBeforeStart_; i < records.size(); ++i)
        if (records[i].source != 0)
            contacts.append(records[i], records.readPlace(i));
    records.truncate(recordsBeforeStart_);
    recordsSnapshot_ = RecordsFileSnapshot{};
    RecordsFileReader file;
    file.keepSnapshot(&recordsSnapshot_);
    if (file.open(path) == TextReadStatus::Ok)
        appendComputedRecords(file, records, settings.mailPath, today);
    recordsOutcome_ = file.outcome();
    if (recordsOutcome_.state == RecordsFileState::Unreadable) {
        // It could be read at start: the run keeps away from it from now on, as from a file that
        // could not be read then.
        records.truncate(recordsBeforeStart_);
        unreadableRecordsPath_ = path;
        tellRecordsUnreadable();
        return;
    }
    for (std::size_t i = 0; i < contacts.size(); ++i)
        records.append(contacts[i], contacts.readPlace(i));
}

bool CKivoApp::anyContactDue() const {
    for (const std::string& path : contactsFilesIn(dataFolder)) {
        RecordsFileReader file;
        if (file.open(path) == TextReadStatus::Ok && kivo::anyUpcomingDue(file, today))
            return true;
    }
    return false;
}

void CKivoApp::loadContactRecords(RecordList& list, bool readFiles) {
    if (readFiles) {
        contactsPaths_ = contactsFilesIn(dataFolder);
        contactsRead_.assign(contactsPaths_.size(), ContactsFile{});
        for (std::size_t i = 0; i < contactsPaths_.size(); ++i) {
            bool missing = false;
            readContactsFile(contactsPaths_[i], contactsRead_[i], missing);
        }
    }
    const std::size_t first = list.size();
    for (std::size_t i = 0; i < contactsRead_.size(); ++i)
        appendContactRecords(contactsRead_[i], static_cast<std::int16_t>(i + 1), list);
    for (std::size_t i = first; i < list.size(); ++i)
        ComputeOccurrence(list[i], today);
}

void CKivoApp::reloadContactRecords() {
    if (recordsOutcome_.state == RecordsFileState::Unreadable)
        return; // the run shows no records of anyone's, and saves none
    const std::vector<std::string> paths = contactsFilesIn(dataFolder);
    std::vector<ContactsFile> read(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        bool missing = false;
        readContactsFile(paths[i], read[i], missing);
    }
    RecordList rebuilt;
    rebuilt.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        if (records[i].source == 0)
            rebuilt.append(records[i], records.readPlace(i));
    for (std::size_t i = 0; i < paths.size(); ++i) {
        // The list shows the file with the run's changes on it; the file as read stays what
        // the save compares the list with, so that those changes are saved.
        ContactsFile shown = read[i];
        const auto before = std::find(contactsPaths_.begin(), contactsPaths_.end(), paths[i]);
        if (before != contactsPaths_.end()) {
            const auto at = static_cast<std::size_t>(before - contactsPaths_.begin());
            applyContactChoices(
                shown,
                contactChoicesOf(contactsRead_[at], static_cast<std::int16_t>(at + 1), records));
        }
        const std::size_t first = rebuilt.size();
        appendContactRecords(shown, static_cast<std::int16_t>(i + 1), rebuilt);
        for (std::size_t r = first; r < rebuilt.size(); ++r)
            ComputeOccurrence(rebuilt[r], today);
    }
    records = std::move(rebuilt);
    contactsPaths_ = paths;
    contactsRead_ = std::move(read);
}

void CKivoApp::saveContactChoices() {
    for (std::size_t i = 0; i < contactsRead_.size(); ++i) {
        const ContactChoices choices =
            contactChoicesOf(contactsRead_[i], static_cast<std::int16_t>(i + 1), records);
        std::string error;
        if (!kivo::saveContactChoices(contactsPaths_[i], choices, &error)) {
            report_.recordsWriteFailed = true;
            platform_.messages.error("The changes to the records of your address book could not "
                                     "be saved to \"" +
                                     contactsPaths_[i] + "\".\n\n" + error);
        }
    }
}

void CKivoApp::saveEverything(bool recordsChanged) {
    // An unreadable records file is never replaced; the user was told at start.
    if (recordsChanged && recordsOutcome_.state != RecordsFileState::Unreadable) {
        saveRecords(dataFolder + kRecordsFileName);
        saveContactChoices();
    }
    if (remindersShown_)
        settings.lastShown = todayKey();
    writeSettings(settings, platform_.settingsStore, todayKey());
    records.clear();
    contactsRead_.clear();
    texts.clear();
}

// Writes the run's records. When another program (a sync tool, an editor, kivo elsewhere) wrote the
// file since it was read, this run's changes go into that file instead of over it.
void CKivoApp::saveRecords(const std::string& path) {
    // The file as it is now, looked at in one pass that needs no copy of it: its hash, and
    // whether text behind a Ctrl-Z would be lost by replacing it, whoever wrote that text.
    TextFileLines current;
    bool unchanged = false;
    bool readable = false;
    if (current.open(path) == TextReadStatus::Ok && current.finish() == TextReadStatus::Ok) {
        readable = true;
        unchanged = recordsSnapshot_.existed && current.contentHash() == recordsSnapshot_.hash;
        if (current.cutByCtrlZ() && !keepCutOffText(path))
            return;
    }
    const bool missing = !readable && current.missing();
    if (missing)
        unchanged = !recordsSnapshot_.existed;
    current.close();
    // A list of some of the file's records goes into the file as a merge, which changes the
    // records it changed and keeps every other; only a merge needs the bytes themselves.
    const bool merges = !unchanged || listPartial_;
    std::string onDisk;
    bool goneSince = false;
    if (merges && readable && readFileBytes(path, onDisk, goneSince) != TextReadStatus::Ok)
        readable = false;
    std::string error;
    bool written = false;
    if (!merges) {
        written =
            writeRecordsFile(path, records, settings.mailPath, &error, recordsOutcome_.encoding);
    } else if (readable || missing) {
        const MergedRecords merged =
            mergeRecords(recordsSnapshot_, records,
                         missing ? std::nullopt : std::optional<std::string_view>(onDisk));
        // A file emptied or removed outside leaves nothing to take the mail command and the
        // encoding from: this run's stay with its records.
        const bool ours = merged.emptiedOutside;
        written = writeRecordsFile(path, merged.records, ours ? settings.mailPath : merged.mailPath,
                                   &error, ours ? recordsOutcome_.encoding : merged.encoding);
        if (written && !unchanged)
            tellMerge(path, merged, missing);
    } else {
        error = "It was changed since kivo read it and cannot be read now, so this run's "
                "changes cannot be added to it.";
    }
    if (written) {
        report_.recordsWritten = true;
        return;
    }
    // The previous file is still intact; the user must know that this run's changes are not in it.
    report_.recordsWriteFailed = true;
    platform_.messages.error("The records could not be saved to \"" + path + "\".\n\n" + error +
                             "\n\nThe previous file was left unchanged.");
}

bool CKivoApp::reloadRecordsChangedOutside() {
    if (recordsOutcome_.state == RecordsFileState::Unreadable)
        return false; // the user was told at start, and the run keeps away from the file
    const std::string path = dataFolder + kRecordsFileName;
    // Most changes in the folder are not of the file: its bytes are compared before anything is
    // parsed.
    std::string onDisk;
    bool missing = false;
    if (readFileBytes(path, onDisk, missing) != TextReadStatus::Ok)
        return false; // gone or unreadable for now: the save deals with it
    if (recordsSnapshot_.existed && fileContentHash(onDisk) == recordsSnapshot_.hash)
        return false;
    RecordsFileReader file;
    RecordsFileSnapshot snapshot;
    file.keepSnapshot(&snapshot);
    if (file.open(path) != TextReadStatus::Ok)
        return false;
    RecordList fresh;
    // Records the list held before the file was first read stay in front, as they did.
    for (std::size_t i = 0; i < recordsBeforeStart_ && i < records.size(); ++i)
        fresh.append(records[i]);
    std::string mailPath;
    appendComputedRecords(file, fresh, mailPath, today);
    const RecordsFileOutcome outcome = file.outcome();
    if (outcome.state != RecordsFileState::Read)
        return false;
    loadContactRecords(fresh, false);
    records = std::move(fresh);
    settings.mailPath = mailPath;
    recordsOutcome_ = outcome;
    recordsSnapshot_ = std::move(snapshot);
    return true;
}

std::vector<std::string> CKivoApp::conflictCopiesToTell() {
    const std::vector<std::string> present = conflictCopiesOf(dataFolder, kRecordsFileName);
    // The names told before, kept while those files are there.
    const std::string stored =
        platform_.settingsStore.readValue(kToldConflictCopiesKey).value_or("");
    const std::vector<std::string> told = splitNames(stored);
    std::vector<std::string> toTell;
    for (const std::string& name : present)
        if (std::find(told.begin(), told.end(), name) == told.end())
            toTell.push_back(dataFolder + name);
    if (joinNames(present) != stored && platform_.settingsStore.createKey())
        platform_.settingsStore.writeValue(kToldConflictCopiesKey, joinNames(present));
    return toTell;
}

void CKivoApp::tellMerge(const std::string& path, const MergedRecords& merged,
                         bool removedOutside) {
    ++report_.recordsMerged;
    if (removedOutside && merged.emptiedOutside) {
        platform_.messages.information("The records file \"" + path +
                                       "\" was removed by another program while kivo was "
                                       "running. kivo saved its records as a new file.");
    } else if (merged.emptiedOutside) {
        platform_.messages.information(
            "The records file \"" + path +
            "\" was emptied by another program while kivo was running. kivo kept its records and "
            "saved them; to delete records, delete them in kivo.");
    }
    if (!merged.keptTwice.empty()) {
        std::string names;
        for (const std::string& name : merged.keptTwice)
            names += (names.empty() ? "" : ", ") + ("\"" + name + "\"");
        platform_.messages.warning(
            "The records file \"" + path +
            "\" was changed by another program while kivo was running, and these records were "
            "changed in both places: " +
            names + ". Both versions were kept; delete the one you do not want.");
    }
}

} // namespace kivo
