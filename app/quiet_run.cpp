// The quiet log-on run on the system services without Qt.
#include "app/quiet_run.h"

#include "app/kivo_app.h"
#include "core/records_file.h"
#include "platform/plain_platform.h"
#include "platform/settings_file_reader.h"

namespace kivo {

namespace {

// The platform of a quiet run: everything read without Qt, nothing shown, and nothing written but
// the settings' changed values in their places (ReadOnlySettingsStore::writeChanged).
struct QuietPlatform {
    PlainClock clock;
    PlainFolders folders;
    PlainLocale locale;
    ReadOnlySettingsStore store;
    AbsentDesktop desktop;
    Platform platform{clock, folders, locale, store, desktop, desktop, 96};

    QuietPlatform(std::string working, const XdgFolders& xdg)
        : folders(std::move(working), xdg.dataHome + "/Velmik Fennaro/"),
          store(settingsFilePaths(xdg.configHome, xdg.configDirs, "Velmik", "kivo")) {}

    // Whether the run, up to now, did only what a quiet run may.
    bool quiet() const {
        return store.certain() && !store.wouldWrite() && !folders.wouldWrite() &&
               !locale.namesAsked() && !desktop.wanted();
    }
};

} // namespace

bool endedQuietly(int argc) {
    if (argc != 1)
        return false; // any argument opens the setup window
    const std::optional<XdgFolders> xdg = XdgFolders::fromEnvironment();
    const std::optional<std::string> working = plainWorkingFolder();
    if (!xdg || !working)
        return false;
    QuietPlatform quiet(*working, *xdg);
    if (!quiet.quiet())
        return false;
    // Every run ends by writing its settings back with "lastrun" set to its day. The first run of
    // a day changes it, which is written here as QSettings would write it; any other write is left
    // to QSettings, which is known before any record is read.
    const Date today = quiet.clock.currentDate();
    const std::string todayKey = dayKey(yearOf(today), monthOf(today), dayOf(today));
    AppSettings stored;
    readSettings(stored, quiet.store, todayKey);
    writeSettings(stored, quiet.store, todayKey);
    if (!quiet.quiet())
        return false;
    // What interrupted saves left beside the records file is removed by the run that finds it.
    for (const std::string& folder : {*working, quiet.folders.userDataFolder()})
        if (!staleTemporaries(folder + kRecordsFileName).empty())
            return false;

    // The run itself, which must end as it began. The application, with its hold on the data
    // folder, is gone before a run through kivoMain starts.
    CKivoApp app(quiet.platform);
    app.decidesOnly = true;
    if (app.start("").opensWindow() || !quiet.quiet())
        return false;
    app.endWithoutWindows();
    return quiet.quiet() && quiet.store.writeChanged();
}

} // namespace kivo
