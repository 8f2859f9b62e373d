// The start's decision whether any window opens, made before the GUI, against what the window loop
// then really shows; and the kivo program itself without a display.
#include "app/kivo_app.h"
#include "app/start.h"

#include "core/records_file.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"
#include "support/scripted_user.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kivo {
namespace {

using test::FakePlatform;
using test::lookingAhead;
using test::pressOkOrClose;
using test::ScriptedUser;
using Window = StartDecision::Window;

constexpr const char* kReminderTitle = "Velmik Fennaro";
constexpr const char* kSetupTitle = "Velmik Fennaro Setup";

// One situation at the start of a run, on the fake clock's 7 June 2026.
struct StartCase {
    const char* what;
    std::vector<PersonRecord> records; // no records file at all when `firstRun`
    bool firstRun = false;
    std::string commandLine;
    std::vector<std::pair<std::string, std::string>> stored; // settings of earlier runs
    Window expected = Window::None;
};

std::vector<StartCase> startCases() {
    const PersonRecord upcoming = lookingAhead("Upcoming", 9, 6, 3);
    const PersonRecord yesterday = lookingAhead("Yesterday", 6, 6, 0);
    const PersonRecord far = lookingAhead("Far", 1, 9, 3);
    const std::pair<std::string, std::string> onceADay{"onceaday", "1"};
    const std::pair<std::string, std::string> ranToday{"lastrun", "20260607"};
    const std::pair<std::string, std::string> ranYesterday{"lastrun", "20260606"};
    const std::pair<std::string, std::string> pastThree{"past", "3"};
    return {
        {"first run", {}, true, "", {}, Window::Setup},
        {"first run with an argument", {}, true, "setup", {onceADay, ranToday}, Window::Setup},
        {"once a day holds back", {upcoming}, false, "", {onceADay, ranToday}, Window::None},
        {"once a day, last run yesterday",
         {upcoming},
         false,
         "",
         {onceADay, ranYesterday},
         Window::Reminder},
        {"last run today, once a day not set", {upcoming}, false, "", {ranToday}, Window::Reminder},
        {"argument, nothing due", {far}, false, "setup", {}, Window::Setup},
        {"argument while once a day holds back",
         {upcoming},
         false,
         "-style Fusion",
         {onceADay, ranToday},
         Window::Setup},
        {"nothing due", {far}, false, "", {}, Window::None},
        {"empty records file", {}, false, "", {}, Window::None},
        {"only past due", {yesterday, far}, false, "", {pastThree}, Window::None},
        {"only upcoming due", {far, upcoming}, false, "", {}, Window::Reminder},
        {"past and upcoming due", {yesterday, upcoming}, false, "", {pastThree}, Window::Reminder},
    };
}

void prepare(FakePlatform& fake, const StartCase& c) {
    for (const auto& [name, value] : c.stored)
        fake.store.setValue(name, value);
    if (!c.firstRun) {
        RecordList records;
        for (const PersonRecord& r : c.records)
            records.append(r);
        test::writeFileBytes(fake.folders.working + kRecordsFileName,
                             formatRecordsFile(records, ""));
    }
}

TEST(StartDecision, AgreesWithWhatTheWindowsThenShow) {
    for (const StartCase& c : startCases()) {
        SCOPED_TRACE(c.what);
        // The run as the program makes it: the decision, then the end without windows when none
        // opens.
        FakePlatform quiet;
        prepare(quiet, c);
        CKivoApp quietApp(quiet.platform);
        const StartDecision decision = quietApp.start(c.commandLine);
        EXPECT_EQ(decision.firstWindow, c.expected);
        if (!decision.opensWindow())
            quietApp.endWithoutWindows();

        // The same start with the window loop run whatever was decided: the windows judge for
        // themselves, and the reminder window ends unseen when nothing upcoming is due.
        FakePlatform windowed;
        prepare(windowed, c);
        ScriptedUser user;
        for (int i = 0; i < 3; ++i)
            user.then([](QWidget* w) { pressOkOrClose(w); });
        CKivoApp windowedApp(windowed.platform);
        windowedApp.start(c.commandLine);
        windowedApp.runWindows();

        const std::vector<std::string>& seen = user.windowsSeen();
        EXPECT_EQ(seen.empty(), !decision.opensWindow());
        if (!seen.empty()) {
            EXPECT_EQ(seen.front(),
                      decision.firstWindow == Window::Setup ? kSetupTitle : kReminderTitle);
        }
        if (decision.opensWindow())
            continue; // the program's run is the windowed one
        EXPECT_EQ(quiet.store.values(), windowed.store.values());
        EXPECT_FALSE(windowedApp.lastRun().recordsWritten);
        EXPECT_EQ(test::readFileBytes(quiet.folders.working + kRecordsFileName),
                  test::readFileBytes(windowed.folders.working + kRecordsFileName));
    }
}

// The kivo program in a folder of its own, with its settings and data folders in it.
struct KivoProgram : ::testing::Test {
    QTemporaryDir home;
    std::string work() const { return home.path().toStdString() + "/work/"; }
    std::string settingsFile() const {
        return home.path().toStdString() + "/config/Velmik/kivo.conf";
    }

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        QDir().mkpath(QString::fromStdString(work()));
        // The runtime folder as the session makes it: the user's alone.
        const std::filesystem::path runtime = home.path().toStdString() + "/runtime";
        std::filesystem::create_directory(runtime);
        std::filesystem::permissions(runtime, std::filesystem::perms::owner_all);
    }
    // Records of one birthday, due today or in ten days, both with no warning in advance.
    void writeRecords(bool dueToday) {
        const QDate day = QDate::currentDate().addDays(dueToday ? 0 : 10);
        RecordList records;
        records.append(lookingAhead("Anna", day.day(), day.month(), 0));
        test::writeFileBytes(work() + kRecordsFileName, formatRecordsFile(records, ""));
    }
    struct Result {
        int status = -1;
        std::string errors;
    };
    Result run(const QStringList& arguments, bool display) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        if (display)
            env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
        QProcess kivo;
        kivo.setProcessEnvironment(env);
        kivo.setWorkingDirectory(QString::fromStdString(work()));
        kivo.start(QStringLiteral(KIVO_PROGRAM), arguments);
        // A run that opened a window would wait for a user: it is ended, and fails the test.
        if (!kivo.waitForFinished(60000)) {
            kivo.kill();
            kivo.waitForFinished();
            ADD_FAILURE() << "kivo did not end by itself";
        }
        return {kivo.exitStatus() == QProcess::NormalExit ? kivo.exitCode() : -1,
                kivo.readAllStandardError().toStdString()};
    }
};

TEST_F(KivoProgram, RunWithNothingDueNeedsNoDisplayAndWritesWhatADisplayedRunWrites) {
    writeRecords(false);
    const std::string records = test::readFileBytes(work() + kRecordsFileName);
    const Result withDisplay = run({}, true);
    EXPECT_EQ(withDisplay.status, 0) << withDisplay.errors;
    const std::string settings = test::readFileBytes(settingsFile());
    ASSERT_NE(settings.find("lastrun="), std::string::npos) << settings;
    std::filesystem::remove(settingsFile());

    const Result without = run({}, false);
    EXPECT_EQ(without.status, 0);
    EXPECT_EQ(without.errors, "");
    EXPECT_EQ(test::readFileBytes(settingsFile()), settings);
    EXPECT_EQ(test::readFileBytes(work() + kRecordsFileName), records);
}

TEST_F(KivoProgram, RunThatMustShowAWindowWithoutADisplaySaysSoAndKeepsTheDay) {
    writeRecords(true);
    QDir().mkpath(home.path() + "/config/Velmik");
    const std::string earlier = "[General]\nonceaday=1\nlastrun=20000101\n";
    test::writeFileBytes(settingsFile(), earlier);
    for (const QStringList& arguments : {QStringList{}, QStringList{"setup"}}) {
        const Result result = run(arguments, false);
        EXPECT_EQ(result.status, 1);
        EXPECT_NE(result.errors.find("kivo: no display found"), std::string::npos) << result.errors;
        // The install command as this user runs it.
        const char* install =
            geteuid() == 0 ? ": apt-get install xvfb" : ": sudo apt-get install xvfb";
        EXPECT_NE(result.errors.find(install), std::string::npos) << result.errors;
        // Not a word of the day written, so the next run with a display still reminds.
        EXPECT_EQ(test::readFileBytes(settingsFile()), earlier);
    }
}

// The way to a display is told as the user types it: through sudo unless the user is root.
TEST(NoDisplay, MessageNamesSudoForAUserOtherThanRoot) {
    const std::string start = "kivo: no display found (DISPLAY and WAYLAND_DISPLAY are not set); "
                              "run it in a desktop session, or under Xvfb: ";
    EXPECT_EQ(noDisplayMessage("/usr/bin/kivo", false),
              start + "sudo apt-get install xvfb && xvfb-run -a /usr/bin/kivo\n");
    EXPECT_EQ(noDisplayMessage("kivo", true), start + "apt-get install xvfb && xvfb-run -a kivo\n");
}

} // namespace
} // namespace kivo
