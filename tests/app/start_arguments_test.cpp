// The program's start with the options Qt takes for itself: the command line is decided on before
// Qt takes them out of the arguments, and Qt still applies them. Runs without a QApplication of
// its own, since the start makes it.
#include "app/start.h"
#include "app/window_run.h"

#include "core/records_file.h"
#include "support/fake_platform.h"
#include "support/scripted_user.h"

#include <QDate>
#include <QDir>
#include <QStyle>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>

namespace kivo {
namespace {

constexpr const char* kSetupTitle = "Velmik Fennaro Setup";

// What the windows' half met when the start handed the run to it.
struct Handed {
    int argc = -1;
    QString style;
    std::vector<std::string> windowsSeen;
};
Handed handed;

int openWindowsWithAUser(int& argc, char** argv, CKivoApp* app, StartPlatform& platform) {
    const std::unique_ptr<QApplication> application = makeApplication(argc, argv);
    handed.argc = argc;
    handed.style = QApplication::style()->name();
    test::ScriptedUser user;
    for (int i = 0; i < 3; ++i)
        user.then([](QWidget* w) { test::pressOkOrClose(w); });
    const int status = showWindows(app, platform);
    handed.windowsSeen = user.windowsSeen();
    return status;
}

TEST(StartArguments, AQtOptionIsAnArgumentAndStillTakesEffect) {
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    for (const char* folder : {"work", "config", "data", "runtime"})
        QDir(home.path()).mkpath(QString::fromLatin1(folder));
    std::filesystem::permissions(home.path().toStdString() + "/runtime",
                                 std::filesystem::perms::owner_all);
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (home.path() + "/runtime").toLocal8Bit());
    ASSERT_TRUE(QDir::setCurrent(home.path() + "/work"));
    // Due today: without an argument the reminder window would open.
    const QDate today = QDate::currentDate();
    test::writeFileBytes(
        "kivos.ini",
        "Anna," + QDate(1990, today.month(), today.day()).toString("ddMMyyyy").toStdString() +
            ",4,-1,0,0,0,,0,1,\r\n");

    std::string arguments[] = {"kivo", "-style", "Windows"};
    char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(), nullptr};
    EXPECT_EQ(kivoMain(3, argv, openWindowsWithAUser), 0);
    EXPECT_EQ(handed.windowsSeen, (std::vector<std::string>{kSetupTitle}));
    EXPECT_EQ(handed.style.toLower(), "windows");
    EXPECT_EQ(handed.argc, 1); // Qt took its option
}

} // namespace
} // namespace kivo
