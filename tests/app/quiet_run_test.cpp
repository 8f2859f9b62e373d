// The quiet log-on run without Qt against the run on Qt, in the same situations: a run that it
// ends, the run on Qt would have ended alike, without a window and without writing; every other run
// it leaves to the run on Qt, having written nothing itself.
#include "core/app_settings.h"
#include "core/records_file.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"

#include <QDate>
#include <QProcess>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>

namespace kivo {
namespace {

namespace fs = std::filesystem;

// Every file and folder below `root` with its bytes and, when asked, the time it was last written.
std::map<std::string, std::string> treeOf(const std::string& root, bool withTimes) {
    std::map<std::string, std::string> tree;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root))
        tree[entry.path().string().substr(root.size())] =
            (entry.is_regular_file() ? test::readFileBytes(entry.path().string()) : "") +
            (withTimes ? std::to_string(entry.last_write_time().time_since_epoch().count()) : "");
    return tree;
}

std::string dayText(const QDate& day) {
    return dayKey(day.year(), day.month(), day.day());
}

// The settings as a run writes them, on the day `lastRun`.
std::string settings(const QDate& lastRun) {
    return "[General]\naot=0\ndays=14\nicon=1\nlargereminder=0\nlastrun=" + dayText(lastRun) +
           "\nonceaday=0\npast=0\nprintlarge=0\nsorted=1\n";
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
    return text.replace(text.find(from), from.size(), to);
}

// One birthday `inDays` days from today, with no warning in advance.
std::string records(int inDays) {
    const QDate day = QDate::currentDate().addDays(inDays);
    RecordList list;
    list.append(test::lookingAhead("Anna", day.day(), day.month(), 0));
    return formatRecordsFile(list, "");
}

struct Situation {
    const char* what;
    std::map<std::string, std::string> files; // below the home; a name ending in "/" is a folder
    bool endsQuietly;
    QStringList arguments = {};
};

struct Outcome {
    int status = -1;
    std::string errors;
    bool unchanged = false; // nothing in the home folder was written
    std::map<std::string, std::string> after;
};

// Runs `program` without a display in a home folder of its own, laid out as `situation` says.
Outcome run(const QString& program, const Situation& situation) {
    QTemporaryDir home;
    QTemporaryDir runtime;
    const std::string root = home.path().toStdString();
    fs::create_directories(root + "/work");
    for (const auto& [path, bytes] : situation.files) {
        fs::create_directories(fs::path(root + "/" + path).parent_path());
        if (!path.ends_with('/'))
            test::writeFileBytes(root + "/" + path, bytes);
    }
    const auto before = treeOf(root, true);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    env.insert("HOME", home.path());
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_DATA_HOME", home.filePath("data"));
    env.insert("XDG_CONFIG_DIRS", home.filePath("system"));
    env.insert("XDG_RUNTIME_DIR", runtime.path());
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(home.filePath("work"));
    process.start(program, situation.arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    const bool unchanged = treeOf(root, true) == before;
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError().toStdString(), unchanged, treeOf(root, false)};
}

TEST(QuietRun, EndsOnlyWhatTheRunOnQtEndsQuietlyAndLeavesTheRestToIt) {
    const QDate today = QDate::currentDate();
    const std::string conf = "config/Velmik/kivo.conf";
    const std::string works = "work/kivos.ini";
    const std::string data = "data/Velmik Fennaro/";
    const std::string ranToday = "lastrun=" + dayText(today) + "\n";
    const std::string withoutDay = replaced(settings(today), ranToday, "");
    const Situation situations[] = {
        {"second start of the day", {{conf, settings(today)}, {works, records(10)}}, true},
        {"first of the day", {{conf, settings(today.addDays(-1))}, {works, records(10)}}, true},
        {"first of the day, an account's group beside",
         {{conf, settings(today.addDays(-1)) + "\n[accounts]\n1\\server=\"http://h/d?a=1;b\"\n"},
          {works, records(10)}},
         true},
        {"first of the day, no lastrun yet", {{conf, withoutDay}, {works, records(10)}}, false},
        {"first of the day, something due",
         {{conf, settings(today.addDays(-1))}, {works, records(0)}},
         false},
        {"due today", {{conf, settings(today)}, {works, records(0)}}, false},
        {"once a day holds back",
         {{conf, replaced(settings(today), "onceaday=0", "onceaday=1")}, {works, records(0)}},
         true},
        {"only a day past due",
         {{conf, replaced(settings(today), "past=0", "past=3")}, {works, records(-1)}},
         true},
        {"an argument", {{conf, settings(today)}, {works, records(10)}}, false, {"setup"}},
        {"the daily timer's run",
         {{conf, settings(today)}, {works, records(10)}},
         false,
         {"--timer"}},
        {"reminders as a notification, none due",
         {{conf, settings(today) + "notify=1\n"}, {works, records(10)}},
         true},
        {"no settings yet", {{works, records(10)}}, false},
        {"first run", {{conf, settings(today)}, {data, ""}}, false},
        {"no data folder to look in", {{conf, settings(today)}}, false},
        {"records in the data folder",
         {{conf, settings(today)}, {data + "kivos.ini", records(10)}},
         true},
        {"only an address book",
         {{conf, settings(today)}, {data + "kivo-contacts-1.ini", records(10)}},
         true},
        {"an address book's record due",
         {{conf, settings(today)}, {works, records(10)}, {"work/kivo-contacts-1.ini", records(0)}},
         false},
        {"an interrupted save",
         {{conf, settings(today)}, {works, records(10)}, {works + ".tmp0123abcd", "x"}},
         false},
        {"an unreadable records file", {{conf, settings(today)}, {works + "/", ""}}, false},
        {"a value QSettings reads as a list",
         {{conf, replaced(settings(today), "days=14", "days=1,4")}, {works, records(10)}},
         false},
        // Each value from the first file that has it: the user's application file, the user's
        // organisation file, the system's application file, the system's organisation file.
        {"values from the fallback files",
         {{conf, replaced(withoutDay, "onceaday=0\n", "")},
          {"config/Velmik.conf", ranToday},
          {"system/Velmik/kivo.conf", "onceaday=1\nlastrun=20000101\n"},
          {"system/Velmik.conf", "onceaday=0\n"},
          {works, records(0)}},
         true},
    };
    // The program without its run library can end only the runs it ends itself.
    QTemporaryDir alone;
    const QString quietOnly = alone.filePath("kivo");
    ASSERT_TRUE(QFile::copy(KIVO_PROGRAM, quietOnly));
    for (const Situation& situation : situations) {
        SCOPED_TRACE(situation.what);
        const Outcome quiet = run(quietOnly, situation);
        EXPECT_EQ(quiet.status == 0, situation.endsQuietly) << quiet.errors;
        const Outcome onQt = run(KIVO_RUN_ON_QT, situation);
        if (quiet.status == 0) {
            // It wrote what the run on Qt writes (the day of the last run), or nothing as it does.
            EXPECT_EQ(onQt.status, 0) << onQt.errors;
            EXPECT_EQ(quiet.unchanged, onQt.unchanged);
            EXPECT_EQ(quiet.after, onQt.after);
        } else {
            EXPECT_TRUE(quiet.unchanged);
            EXPECT_NE(quiet.errors.find("could not be loaded"), std::string::npos);
        }
        // The program itself, whichever way it goes, ends as the run on Qt does.
        const Outcome program = run(KIVO_PROGRAM, situation);
        EXPECT_EQ(program.status, onQt.status) << program.errors;
        EXPECT_EQ(program.after, onQt.after);
    }
}

} // namespace
} // namespace kivo
