// The reminders as a desktop notification, against python3-dbusmock's notification service on a
// session bus of the test's own (with_session_bus.sh): what the call carries, compared with what
// the reminder window shows of the same records; the window the user's answer opens; and the
// window when there is no service. The program's start runs in process and makes its own
// applications, as in the program.
#include "app/notify_run.h"
#include "app/start.h"
#include "app/window_run.h"

#include "core/records_file.h"
#include "platform/dialog_builder.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"
#include "support/scripted_user.h"

#include <QDate>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace kivo {
namespace {

constexpr const char* kReminderTitle = "Velmik Fennaro";
constexpr const char* kSetupTitle = "Velmik Fennaro Setup";
// How long a step of the helper may take on a busy machine before the test gives up on it.
constexpr int kHelperBoundMs = 60000;

// notification_user.py: the notification service and the user who answers the notification.
class NotificationUser {
public:
    NotificationUser(const std::string& capabilities, const std::string& act) {
        int in[2];
        int out[2];
        if (::pipe(in) != 0 || ::pipe(out) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        for (int fd : {in[0], in[1], out[0], out[1]})
            posix_spawn_file_actions_addclose(&actions, fd);
        std::string arguments[] = {"/usr/bin/python3", KIVO_NOTIFICATION_USER, capabilities, act,
                                   std::to_string(::getpid())};
        char* argv[] = {arguments[0].data(), arguments[1].data(), arguments[2].data(),
                        arguments[3].data(), arguments[4].data(), nullptr};
        if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv, environ) != 0)
            pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(in[0]);
        ::close(out[1]);
        input_ = in[1];
        output_ = out[0];
    }
    ~NotificationUser() { finish(); }

    // Waits until the service is on the bus.
    bool ready() { return readLine() == "ready"; }

    // Ends the service once the program is done with it, and returns the calls it saw, one JSON
    // object per line.
    std::vector<QJsonObject> finish() {
        std::vector<QJsonObject> calls;
        if (input_ >= 0)
            ::close(std::exchange(input_, -1));
        for (std::string line = readLine(); !line.empty(); line = readLine())
            calls.push_back(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object());
        if (output_ >= 0)
            ::close(std::exchange(output_, -1));
        if (pid_ > 0)
            ::waitpid(std::exchange(pid_, -1), nullptr, 0);
        return calls;
    }

private:
    // The next line, or "" at the end or after kHelperBoundMs without one.
    std::string readLine() {
        while (output_ >= 0) {
            const std::size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            pollfd ready{output_, POLLIN, 0};
            if (::poll(&ready, 1, kHelperBoundMs) <= 0)
                break;
            char bytes[4096];
            const ssize_t got = ::read(output_, bytes, sizeof bytes);
            if (got <= 0)
                break;
            buffer_.append(bytes, static_cast<std::size_t>(got));
        }
        return {};
    }

    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffer_;
};

// What the windows' half met: the windows in order and the reminder window's lines.
struct Met {
    std::vector<std::string> windows;
    std::vector<std::string> reminderLines;
};
Met met;

int openWindowsWithAUser(int& argc, char** argv, CKivoApp* app, StartPlatform& platform) {
    const std::unique_ptr<QApplication> application = makeApplication(argc, argv);
    test::ScriptedUser user;
    for (int i = 0; i < 3; ++i) {
        user.then([](QWidget* w) {
            if (w->windowTitle() == QLatin1String(kReminderTitle)) {
                auto* list = controlById<QTreeWidget>(*w, ReminderControl::Reminders);
                for (int line = 0; list && line < list->topLevelItemCount(); ++line)
                    met.reminderLines.push_back(list->topLevelItem(line)->text(0).toStdString());
            }
            test::pressOkOrClose(w);
        });
    }
    const int status = showWindows(app, platform);
    met.windows = user.windowsSeen();
    return status;
}

std::string todayKey() {
    return QDate::currentDate().toString(QStringLiteral("yyyyMMdd")).toStdString();
}

struct NotificationRun : ::testing::Test {
    QTemporaryDir work;
    std::string settingsFile =
        qEnvironmentVariable("XDG_CONFIG_HOME").toStdString() + "/Velmik/kivo.conf";

    void SetUp() override {
        ASSERT_TRUE(work.isValid());
        ASSERT_TRUE(QDir::setCurrent(work.path()));
        QDir().mkpath(QString::fromStdString(settingsFile).section('/', 0, -2));
    }
    // Records of birthdays `days` from today, each announced 7 days ahead.
    void writeRecords(const std::vector<std::pair<std::string, int>>& birthdays) {
        RecordList records;
        for (const auto& [name, days] : birthdays) {
            const QDate day = QDate::currentDate().addDays(days);
            records.append(test::lookingAhead(name, day.day(), day.month(), 7));
        }
        test::writeFileBytes(kRecordsFileName, formatRecordsFile(records, ""));
    }
    // Settings as a run of yesterday left them, and the option given.
    void writeSettings(bool notify) {
        const std::string yesterday =
            QDate::currentDate().addDays(-1).toString(QStringLiteral("yyyyMMdd")).toStdString();
        test::writeFileBytes(settingsFile, "[General]\nlastrun=" + yesterday + "\nlastshown=" +
                                               yesterday + (notify ? "\nnotify=1\n" : "\n"));
    }
    int runKivo(const std::string& argument) {
        met = Met{};
        std::string arguments[] = {"kivo", argument};
        char* argv[] = {arguments[0].data(), arguments[1].data(), nullptr};
        return kivoMain(argument.empty() ? 1 : 2, argv, openWindowsWithAUser, nullptr,
                        notifyReminders);
    }
    bool dayKeptAsShown() const {
        return test::readFileBytes(settingsFile).find("lastshown=" + todayKey()) !=
               std::string::npos;
    }
};

// The notification's text as the window shows it: the lines without their indent, marked up
// where the service takes markup.
std::string shownAs(std::string line, bool markup, bool today) {
    line.erase(0, line.find_first_not_of(' '));
    if (!markup)
        return line;
    std::string escaped;
    for (char c : line) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        default:
            escaped += c;
        }
    }
    return today ? "<b>" + escaped + "</b>" : escaped;
}

TEST_F(NotificationRun, CarriesWhatTheReminderWindowShowsAndTheWindowOpensWithoutAService) {
    struct Case {
        const char* what;
        std::vector<std::pair<std::string, int>> birthdays;
        std::string capabilities;
        bool markup;
        std::string todayName; // whose line is today's, if any
    };
    const Case cases[] = {
        {"six due, one today, marked up",
         {{"Tom & Jerry", 0}, {"<Ann>", 1}, {"Bo \"B\"", 2}, {"Cy", 3}, {"Di", 4}, {"Ed", 5}},
         "body body-markup actions",
         true,
         "Tom & Jerry"},
        {"one due", {{"Anna", 3}}, "body actions", false, ""},
        {"two due, plain text", {{"A & B", 1}, {"<C>", 2}}, "body", false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeRecords(c.birthdays);
        // No notification service on the bus: the timer's run shows the reminder window.
        writeSettings(false);
        EXPECT_EQ(runKivo("--timer"), 0);
        EXPECT_EQ(met.windows, std::vector<std::string>{kReminderTitle});
        const std::vector<std::string> window = met.reminderLines;
        ASSERT_EQ(window.size(), c.birthdays.size());
        EXPECT_TRUE(dayKeptAsShown());

        writeSettings(false);
        NotificationUser user(c.capabilities, "close");
        ASSERT_TRUE(user.ready());
        EXPECT_EQ(runKivo("--timer"), 0);
        EXPECT_TRUE(met.windows.empty());
        const std::vector<QJsonObject> calls = user.finish();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0]["method"].toString(), "Notify");
        const QJsonArray args = calls[0]["args"].toArray();
        ASSERT_EQ(args.size(), 8);
        EXPECT_EQ(args[0].toString(), "kivo"); // the application's name
        EXPECT_EQ(args[1].toInt(), 0);         // a new notification
        EXPECT_EQ(args[2].toString(), "kivo"); // the icon
        std::string body;
        if (window.size() == 1) {
            EXPECT_EQ(args[3].toString().toStdString(), shownAs(window[0], false, false));
        } else {
            EXPECT_EQ(args[3].toString(), "Birthdays and events");
            for (std::size_t i = 0; i < window.size() && i < 5; ++i) {
                const bool today =
                    !c.todayName.empty() && window[i].find(c.todayName) != std::string::npos;
                body += (i ? "\n" : "") + shownAs(window[i], c.markup, today);
            }
            if (window.size() > 5)
                body += "\nand " + std::to_string(window.size() - 5) + " more";
        }
        EXPECT_EQ(args[4].toString().toStdString(), body);
        EXPECT_EQ(args[5].toArray(),
                  (QJsonArray{"default", "Show all", "show-all", "Show all", "setup", "Setup"}));
        const QJsonObject hints = args[6].toObject();
        EXPECT_EQ(hints["urgency"].toObject(),
                  (QJsonObject{{"type", "Byte"}, {"value", c.todayName.empty() ? 1 : 2}}));
        EXPECT_EQ(hints["desktop-entry"].toObject(),
                  (QJsonObject{{"type", "String"}, {"value", "example.velmik.kivo"}}));
        EXPECT_EQ(args[7].toInt(), -1); // the service's own time on the screen
        EXPECT_TRUE(dayKeptAsShown());
    }
}

TEST_F(NotificationRun, TheUsersAnswerOpensItsWindow) {
    struct Case {
        const char* what;
        std::string argument;
        bool notifyChosen;
        std::string act;
        std::vector<std::string> windows;
    };
    const Case cases[] = {
        {"log-on run, clicked", "", true, "default", {kReminderTitle}},
        {"timer, show all", "--timer", false, "show-all", {kReminderTitle}},
        {"timer, setup", "--timer", false, "setup", {kSetupTitle}},
        {"log-on run, closed", "", true, "close", {}},
        {"timer, a start from the menu meanwhile", "--timer", false, "raise", {kSetupTitle}},
    };
    writeRecords({{"Anna", 2}, {"Bo", 0}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        writeSettings(c.notifyChosen);
        NotificationUser user("body body-markup actions", c.act);
        ASSERT_TRUE(user.ready());
        EXPECT_EQ(runKivo(c.argument), 0);
        EXPECT_EQ(met.windows, c.windows);
        const std::vector<QJsonObject> calls = user.finish();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(calls[0]["method"].toString(), "Notify");
        // A start from the menu takes the notification off the screen: the setup window it asked
        // for replaces it.
        if (c.act == "raise") {
            ASSERT_EQ(calls.size(), 2u);
            EXPECT_EQ(calls[1]["method"].toString(), "CloseNotification");
            EXPECT_EQ(calls[1]["args"].toArray(), QJsonArray{1});
        } else {
            EXPECT_EQ(calls.size(), 1u);
        }
        EXPECT_TRUE(dayKeptAsShown());
    }
}

} // namespace
} // namespace kivo
