// The application object: the whole daily run, from loading through the windows to saving.
#pragma once

#include "core/app_settings.h"
#include "core/person_record.h"
#include "core/records_file.h"
#include "core/text_table.h"
#include "engine/occurrence.h"
#include "engine/reminder_text.h"
#include "platform/platform.h"

#include <memory>
#include <string>
#include <vector>

namespace kivo {

class CKivoApp {
public:
    explicit CKivoApp(Platform& platform);

    // The whole run; the command line's only meaning is whether it is empty. Returns false, as
    // there is nothing left to run after it.
    bool InitInstance(const std::string& commandLine);

    RecordList records;
    TextTable texts;
    AppSettings settings;
    Date today{};
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
    };
    const RunReport& lastRun() const { return report_; }

private:
    void startUp();
    bool findRecordsFile(RecordsFileReader& recordsFile, bool* anyUpcomingDue);
    bool readThrough(const std::string& path, RecordsFileReader& recordsFile,
                     bool* anyUpcomingDue) const;
    bool endsWithoutAnyWindow(const std::string& commandLine, bool anyUpcomingDue);
    bool onceADayHoldsBack() const;
    std::string todayKey() const;
    void loadRecordsAndTexts(RecordsFileReader& recordsFile);
    void runWindows(const std::string& commandLine);
    // Shows the reminder window; returns whether the user asked for the setup window.
    bool showReminderWindow(bool& recordsChanged);
    void showSetupWindow(bool& recordsChanged);
    void saveEverything(bool recordsChanged);

    Platform& platform_;
    std::unique_ptr<RandomSource> random_;
    bool firstRun_ = false;
    RunReport report_;
};

} // namespace kivo
