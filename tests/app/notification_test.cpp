// The reminders as a desktop notification, against python3-dbusmock's notification service on a
// session bus of the test's own (with_session_bus.sh): the call, checked against what the reminder
// window shows of the same records when there is no service; and the window the user's answer
// opens. The program's start runs in process and makes its applications itself.
#include "app/notify_run.h"
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
#include <cstdio>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace kivo {
namespace {

constexpr const char* kReminderTitle = "Velmik Fennaro";
constexpr const char* kSetupTitle = "Velmik Fennaro Setup";

// notification_user.py, the service and the user who acts on the notification as told; it says
// one JSON object a line, and ends once it is no longer read.
using NotificationUser = std::unique_ptr<FILE, int (*)(FILE*)>;
NotificationUser startUser(const std::string& capabilities, const std::string& act) {
    const std::string command = "/usr/bin/python3 " KIVO_NOTIFICATION_USER " '" + capabilities +
                                "' " + act + " " + std::to_string(getpid());
    return {popen(command.c_str(), "r"), pclose};
}
QJsonObject next(const NotificationUser& user) {
    char line[1 << 16];
    return fgets(line, sizeof line, user.get()) ? QJsonDocument::fromJson(line).object()
                                                : QJsonObject();
}

// The windows the user met, and the reminder window's lines.
std::vector<std::string> windowsMet;
std::vector<std::string> reminderLines;

int openWindowsWithAUser(int& argc, char** argv, CKivoApp* app, StartPlatform& platform) {
    const std::unique_ptr<QApplication> application = makeApplication(argc, argv);
    test::ScriptedUser user;
    for (int i = 0; i < 3; ++i) {
        user.then([](QWidget* w) {
            auto* list = controlById<QTreeWidget>(*w, ReminderControl::Reminders);
            for (int line = 0; list && line < list->topLevelItemCount(); ++line)
                reminderLines.push_back(list->topLevelItem(line)->text(0).toStdString());
            test::pressOkOrClose(w);
        });
    }
    const int status = showWindows(app, platform);
    windowsMet = user.windowsSeen();
    return status;
}

struct NotificationRun : ::testing::Test {
    QTemporaryDir work;
    const std::string settingsFile =
        qEnvironmentVariable("XDG_CONFIG_HOME").toStdString() + "/Velmik/kivo.conf";
    const std::string today = QDate::currentDate().toString("yyyyMMdd").toStdString();

    void SetUp() override {
        ASSERT_TRUE(QDir::setCurrent(work.path()));
        QDir().mkpath(QString::fromStdString(settingsFile).section('/', 0, -2));
    }
    // Birthdays so many days from today, each announced a week ahead.
    void writeRecords(const std::vector<std::pair<std::string, int>>& birthdays) {
        RecordList records;
        for (const auto& [name, days] : birthdays) {
            const QDate day = QDate::currentDate().addDays(days);
            records.append(test::lookingAhead(name, day.day(), day.month(), 7));
        }
        test::writeFileBytes(kRecordsFileName, formatRecordsFile(records, ""));
    }
    // A run as the first of the day, the option set or not; returns whether it kept the day as
    // one that showed the reminders.
    bool run(const std::string& argument, bool notify = false) {
        test::writeFileBytes(settingsFile, std::string("[General]\nlastrun=20000101\n") +
                                               (notify ? "notify=1\n" : ""));
        windowsMet.clear();
        reminderLines.clear();
        std::string arguments[] = {"kivo", argument};
        char* argv[] = {arguments[0].data(), arguments[1].data(), nullptr};
        EXPECT_EQ(kivoMain(argument.empty() ? 1 : 2, argv, openWindowsWithAUser, nullptr,
                           notifyReminders),
                  0);
        return test::readFileBytes(settingsFile).find("lastshown=" + today) != std::string::npos;
    }
};

QString escaped(const std::string& text) {
    return QString::fromStdString(text)
        .replace("&", "&amp;")
        .replace("<", "&lt;")
        .replace(">", "&gt;");
}

TEST_F(NotificationRun, CarriesWhatTheReminderWindowShowsWithoutAService) {
    test::writeFileBytes("strings.ini", "and %i more=und %i weitere\r\n");
    struct Case {
        std::vector<std::pair<std::string, int>> birthdays; // the first one's line is the first
        std::string capabilities;
        bool markup;
    };
    const Case cases[] = {
        {{{"Tom & Jerry", 0}, {"<Ann>", 1}, {"Bo", 2}, {"Cy", 3}, {"Di", 4}, {"Ed", 5}},
         "body body-markup actions",
         true},
        {{{"A & B", 3}}, "body body-markup", true},
        {{{"A & B", 1}, {"<C>", 2}}, "body actions", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.birthdays[0].first);
        writeRecords(c.birthdays);
        EXPECT_TRUE(run("--timer")); // no service: the window
        EXPECT_EQ(windowsMet, std::vector<std::string>{kReminderTitle});
        std::vector<std::string> lines = reminderLines;
        ASSERT_EQ(lines.size(), c.birthdays.size());
        for (std::string& line : lines)
            line.erase(0, line.find_first_not_of(' ')); // the window's indent
        const bool today = c.birthdays[0].second == 0;

        const NotificationUser user = startUser(c.capabilities, "close");
        ASSERT_EQ(next(user)["method"], "ready");
        EXPECT_TRUE(run("--timer"));
        EXPECT_TRUE(windowsMet.empty());
        const QJsonObject call = next(user);
        ASSERT_EQ(call["method"], "Notify");
        const QJsonArray args = call["args"].toArray();
        QStringList body;
        for (std::size_t i = 0; lines.size() > 1 && i < lines.size() && i < 5; ++i) {
            const QString line = c.markup ? escaped(lines[i]) : QString::fromStdString(lines[i]);
            body << (i == 0 && today ? "<b>" + line + "</b>" : line);
        }
        if (lines.size() > 5)
            body << QString("und %1 weitere").arg(lines.size() - 5);
        const QJsonArray expected{
            "kivo",
            0,
            "kivo",
            lines.size() == 1 ? QString::fromStdString(lines[0]) : "Birthdays and events",
            body.join('\n'),
            QJsonArray{"default", "Show all", "show-all", "Show all", "setup", "Setup"},
            QJsonObject{{"urgency", QJsonArray{"Byte", today ? 2 : 1}},
                        {"desktop-entry", QJsonArray{"String", "example.velmik.kivo"}}},
            -1};
        EXPECT_EQ(args, expected) << QJsonDocument(args).toJson().toStdString();
    }
}

TEST_F(NotificationRun, TheUsersAnswerOpensItsWindow) {
    struct Case {
        std::string argument;
        bool notify;
        std::string act;
        std::vector<std::string> windows;
    };
    const Case cases[] = {
        {"", true, "default", {kReminderTitle}},
        {"--timer", false, "show-all", {kReminderTitle}},
        {"--timer", false, "setup", {kSetupTitle}},
        {"", true, "close", {}},
        {"--timer", false, "raise", {kSetupTitle}}, // a start from the menu meanwhile
    };
    writeRecords({{"Anna", 2}, {"Bo", 0}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.act);
        const NotificationUser user = startUser("body actions", c.act);
        ASSERT_EQ(next(user)["method"], "ready");
        EXPECT_TRUE(run(c.argument, c.notify));
        EXPECT_EQ(windowsMet, c.windows);
        EXPECT_EQ(next(user)["method"], "Notify");
        // The setup window asked for from the menu takes the notification's place.
        if (c.act == "raise") {
            EXPECT_EQ(next(user),
                      (QJsonObject{{"method", "CloseNotification"}, {"args", QJsonArray{1}}}));
        }
    }
}

} // namespace
} // namespace kivo
