// One kivo at a time: the lock between two starts, the request to raise the running one's window,
// and the kivo program started twice, in both orders.
#include "app/single_instance.h"
#include "app/window_run.h"

#include "core/records_file.h"
#include "support/fake_platform.h"

#include <QDate>
#include <QDialog>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <filesystem>
#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(SingleInstance, ASecondHolderWaitsForTheFirstAndCanAskItToRaiseItsWindow) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const int requests = listenForRaiseRequests();
    ASSERT_GE(requests, 0);
    QDialog window;
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    window.showMinimized();
    const RaiseOnRequest raising(requests);

    auto first = std::make_unique<SingleInstance>(folder.path());
    SingleInstance second(folder.path());
    ASSERT_TRUE(first->acquire());
    EXPECT_FALSE(second.acquire());
    // The holder is this very process, which now listens: the request arrives, not a signal that
    // ends it.
    EXPECT_TRUE(second.askHolderToRaise());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window.isMinimized(); }));
    first.reset();
    EXPECT_TRUE(second.acquire());
    EXPECT_FALSE(SingleInstance(QString()).askHolderToRaise());
    EXPECT_TRUE(SingleInstance(QString()).acquire()); // no place for a lock refuses no run
}

// Two kivo programs on the same account, one after the other while the first is still open.
struct TwoStarts : ::testing::Test {
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    std::string work() const { return home.path().toStdString() + "/work/"; }
    std::string settingsFile() const {
        return home.path().toStdString() + "/config/Velmik/kivo.conf";
    }
    QString lockFile() const { return home.path() + "/runtime/kivo.lock"; }

    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        for (const char* folder : {"work", "config/Velmik", "data", "runtime"})
            QDir(home.path()).mkpath(QString::fromLatin1(folder));
        std::filesystem::permissions(home.path().toStdString() + "/runtime",
                                     std::filesystem::perms::owner_all);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        env.insert("XDG_CONFIG_HOME", home.path() + "/config");
        env.insert("XDG_DATA_HOME", home.path() + "/data");
        env.insert("XDG_RUNTIME_DIR", home.path() + "/runtime");
        test::writeFileBytes(settingsFile(), "[General]\nonceaday=0\nlastrun=20000101\n");
    }
    void writeRecords(int daysFromToday) {
        const QDate day = QDate::currentDate().addDays(daysFromToday);
        test::writeFileBytes(
            work() + kRecordsFileName,
            "Anna," + QDate(1990, day.month(), day.day()).toString("ddMMyyyy").toStdString() +
                ",4,-1,0,0,0,,0,1,\r\n");
    }
    void start(QProcess& kivo, const QStringList& arguments) {
        kivo.setProcessEnvironment(env);
        kivo.setWorkingDirectory(QString::fromStdString(work()));
        kivo.start(QStringLiteral(KIVO_PROGRAM), arguments);
    }
    // Starts a kivo that opens a window and keeps it open; returns once it holds the lock.
    void startFirst(QProcess& kivo, const QStringList& arguments) {
        start(kivo, arguments);
        ASSERT_TRUE(kivo.waitForStarted());
        ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(lockFile()); }, 60000));
    }
    // Runs a second kivo to its end; its exit status and what it printed.
    std::pair<int, std::string> runSecond(const QStringList& arguments) {
        QProcess kivo;
        start(kivo, arguments);
        if (!kivo.waitForFinished(60000)) {
            kivo.kill();
            kivo.waitForFinished();
            ADD_FAILURE() << "the second kivo did not end by itself";
        }
        return {kivo.exitStatus() == QProcess::NormalExit ? kivo.exitCode() : -1,
                kivo.readAllStandardError().toStdString()};
    }
    void end(QProcess& kivo) {
        kivo.kill(); // as a crash or a power cut would: the lock file stays behind
        kivo.waitForFinished();
    }
};

TEST_F(TwoStarts, TheDailyRunWhileTheSetupWindowIsOpenEndsQuietlyAndADeadKivosLockIsTakenOver) {
    writeRecords(0);
    const std::string settings = test::readFileBytes(settingsFile());
    QProcess first;
    startFirst(first, {"setup"});
    EXPECT_EQ(runSecond({}), std::make_pair(0, std::string()));
    // The second start loaded and wrote nothing: the first one's end alone will.
    EXPECT_EQ(test::readFileBytes(settingsFile()), settings);
    EXPECT_EQ(first.state(), QProcess::Running);
    end(first);
    ASSERT_TRUE(QFile::exists(lockFile()));

    writeRecords(10); // nothing due: the next run ends by itself
    EXPECT_EQ(runSecond({}).first, 0);
    const QString today = QDate::currentDate().toString("yyyyMMdd");
    EXPECT_NE(test::readFileBytes(settingsFile()).find("lastrun=" + today.toStdString()),
              std::string::npos);
}

TEST_F(TwoStarts, TheMenuEntryWhileTheReminderWindowIsOpenRaisesItAndEnds) {
    writeRecords(0);
    QProcess first;
    startFirst(first, {});
    EXPECT_EQ(runSecond({"setup"}), std::make_pair(0, std::string()));
    EXPECT_EQ(first.state(), QProcess::Running); // the request did not end it
    end(first);
}

// "kivo --sync", as the daily timer runs it beside an open setup window: no window, no lock, one
// line for each account; without a keyring on the bus an account cannot sync, and says why.
TEST_F(TwoStarts, TheSyncRunsBesideAnOpenWindowAndTellsEachAccount) {
    writeRecords(0);
    QProcess first;
    startFirst(first, {"setup"});
    env.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.path() + "/no-bus");
    const auto [quietStatus, quietSaid] = runSecond({"--sync"});
    EXPECT_EQ(quietStatus, 0) << quietSaid;
    EXPECT_EQ(quietSaid.find("kivo: "), std::string::npos) << "no account, nothing to say";

    test::writeFileBytes(settingsFile(), "[General]\nonceaday=0\nlastrun=20000101\n"
                                         "[accounts]\ncount=1\n0\\id=1\n"
                                         "0\\server=127.0.0.1:9\n0\\user=anna\n");
    const auto [status, said] = runSecond({"--sync"});
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find("kivo: anna at 127.0.0.1:9: not synced. This desktop has no keyring"),
              std::string::npos)
        << said;
    EXPECT_FALSE(std::filesystem::exists(work() + "kivo-contacts-1.ini"));
    end(first);
}

} // namespace
} // namespace kivo
