// The settings file at the end of a run: rewritten once with every value, and left alone when a run
// changed nothing.
#include "core/app_settings.h"
#include "platform/desktop_platform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kivo {
namespace {

// The settings file's identity on disk: a rewrite replaces it with a new file.
ino_t fileIdentity(const QString& path) {
    struct stat info {};
    return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? info.st_ino : 0;
}

struct SettingsFile : ::testing::Test {
    QTemporaryDir config;
    QString path;
    void SetUp() override {
        ASSERT_TRUE(config.isValid());
        // Set for this test alone: the folder QSettings finds first stays for the whole process.
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
        path = config.path() + "/Velmik/kivo.conf";
    }

    // One run's reading and writing of the settings.
    AppSettings run(const std::string& today, int daysAhead = -1) {
        QtSettingsStore store;
        AppSettings settings;
        readSettings(settings, store, today);
        if (daysAhead >= 0)
            settings.daysAhead = daysAhead;
        EXPECT_TRUE(writeSettings(settings, store, today));
        return settings;
    }
};

TEST_F(SettingsFile, ASecondRunOfTheDayLeavesTheFileAsItIs) {
    run("20260607"); // first run: the defaults are written at once, then again at the end
    const ino_t first = fileIdentity(path);
    ASSERT_NE(first, 0u);
    const QDateTime written = QFileInfo(path).lastModified();
    run("20260607");
    EXPECT_EQ(fileIdentity(path), first);
    EXPECT_EQ(QFileInfo(path).lastModified(), written);
}

TEST_F(SettingsFile, AChangedValueIsWrittenAndEveryValueReadsBack) {
    run("20260607");
    const ino_t first = fileIdentity(path);
    run("20260608", 30);
    EXPECT_NE(fileIdentity(path), first);
    const AppSettings back = run("20260609");
    EXPECT_EQ(back.lastRun, "20260608");
    EXPECT_EQ(back.daysAhead, 30);
    EXPECT_EQ(back.defaultIcon, 1);
    EXPECT_EQ(back.sortColumn, 1);

    QtSettingsStore store;
    EXPECT_EQ(store.readValue("lastrun"), std::optional<std::string>("20260609"));
}

TEST_F(SettingsFile, APipeInPlaceOfTheFileGivesTheDefaultsWithoutWaitingAndStays) {
    for (const QString& name : {path, config.path() + "/Velmik.conf"}) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(QDir().mkpath(config.path() + "/Velmik"));
        ASSERT_EQ(::mkfifo(name.toLocal8Bit().constData(), 0600), 0);
        QtSettingsStore store; // would block for ever reading the pipe
        AppSettings settings;
        readSettings(settings, store, "20260607");
        EXPECT_EQ(settings.daysAhead, 14);
        EXPECT_EQ(settings.sortColumn, 1);
        EXPECT_FALSE(writeSettings(settings, store, "20260607"));
        struct stat info {};
        ASSERT_EQ(::stat(name.toLocal8Bit().constData(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode));
        ::unlink(name.toLocal8Bit().constData());
    }
}

// Another program (a second machine's kivo through a synced folder, an editor) changes kivo.conf
// while this run holds it open: what this run did not change keeps the other side's value, what it
// changed is its own, and keys only the other side knows stay.
TEST_F(SettingsFile, ValuesChangedOutsideDuringARunSurviveItsSave) {
    run("20260607");
    QtSettingsStore store;
    AppSettings settings;
    readSettings(settings, store, "20260608");

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    ASSERT_TRUE(text.contains("days=14\n"));
    text.replace("days=14\n", "days=30\n");
    text.append("\n[accounts]\n1\\server=dav.example\n");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(text), text.size());
    file.close();

    settings.sortColumn = 3;
    ASSERT_TRUE(writeSettings(settings, store, "20260608"));

    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    for (const char* line :
         {"days=30\n", "sorted=3\n", "lastrun=20260608\n", "1\\server=dav.example\n"})
        EXPECT_TRUE(saved.contains(line)) << line << " missing from\n" << saved.toStdString();
}

} // namespace
} // namespace kivo
