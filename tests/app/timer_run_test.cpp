// The daily timer's run: its reminders go to a notification, it shows nothing on a day that
// already showed them whatever "Only display once a day" says, and the log-on run keeps its rule;
// what the user does with the notification decides the windows and the day kept as shown.
#include "app/kivo_app.h"

#include "core/records_file.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"
#include "support/scripted_user.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

using test::FakePlatform;
using test::lookingAhead;
using test::pressOkOrClose;
using test::ScriptedUser;
using Window = StartDecision::Window;

constexpr const char* kReminderTitle = "Velmik Fennaro";
constexpr const char* kSetupTitle = "Velmik Fennaro Setup";
// The fake clock's day and the day before.
constexpr const char* kToday = "20260607";
constexpr const char* kYesterday = "20260606";

// Stored settings of earlier runs, and an upcoming record unless there is no records file.
void prepare(FakePlatform& fake, const std::vector<std::pair<std::string, std::string>>& stored,
             bool records = true) {
    for (const auto& [name, value] : stored)
        fake.store.setValue(name, value);
    if (!records)
        return;
    RecordList list;
    list.append(lookingAhead("Anna", 9, 6, 3));
    list.append(lookingAhead("Bo", 7, 6, 0));
    test::writeFileBytes(fake.folders.working + kRecordsFileName, formatRecordsFile(list, ""));
}

TEST(TimerRun, ShowsNothingOnADayThatAlreadyShowedTheReminders) {
    struct Case {
        const char* what;
        std::string commandLine;
        std::vector<std::pair<std::string, std::string>> stored;
        Window expected;
        bool byNotice;
    };
    const std::pair<std::string, std::string> onceADay{"onceaday", "1"};
    const std::pair<std::string, std::string> everyTime{"onceaday", "0"};
    const std::pair<std::string, std::string> notify{"notify", "1"};
    const std::pair<std::string, std::string> ranToday{"lastrun", kToday};
    const std::pair<std::string, std::string> ranYesterday{"lastrun", kYesterday};
    const std::pair<std::string, std::string> shownToday{"lastshown", kToday};
    const std::pair<std::string, std::string> shownYesterday{"lastshown", kYesterday};
    const Case cases[] = {
        {"timer, no run today",
         "--timer",
         {ranYesterday, shownYesterday, everyTime},
         Window::Reminder,
         true},
        {"timer, no run today, once a day",
         "--timer",
         {ranYesterday, onceADay},
         Window::Reminder,
         true},
        {"timer after a log-on run that showed them",
         "--timer",
         {ranToday, shownToday, everyTime},
         Window::None,
         false},
        {"timer after a log-on run that showed them, once a day",
         "--timer",
         {ranToday, shownToday, onceADay},
         Window::None,
         false},
        {"timer after a log-on run that showed nothing, once a day",
         "--timer",
         {ranToday, shownYesterday, onceADay},
         Window::Reminder,
         true},
        {"timer after a log-on run that showed nothing",
         "--timer",
         {ranToday, everyTime},
         Window::Reminder,
         true},
        {"timer after an earlier timer run, notification chosen",
         "--timer",
         {ranToday, shownToday, notify},
         Window::None,
         false},
        {"log-on after a run that showed them",
         "",
         {ranToday, shownToday, everyTime},
         Window::Reminder,
         false},
        {"log-on after a run that showed them, once a day",
         "",
         {ranToday, shownToday, onceADay},
         Window::None,
         false},
        {"log-on with the notification chosen", "", {ranYesterday, notify}, Window::Reminder, true},
        {"menu start with the notification chosen", "--setup", {notify}, Window::Setup, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform fake;
        prepare(fake, c.stored);
        CKivoApp app(fake.platform);
        const StartDecision decision = app.start(c.commandLine);
        EXPECT_EQ(decision.firstWindow, c.expected);
        EXPECT_EQ(decision.byNotice, c.byNotice);
    }
    // A user who has no records yet is not shown the setup window by the timer every morning.
    FakePlatform firstRun;
    prepare(firstRun, {}, false);
    CKivoApp app(firstRun.platform);
    EXPECT_EQ(app.start("--timer").firstWindow, Window::None);
}

TEST(TimerRun, WhatTheUserDidWithTheNotificationDecidesTheWindows) {
    struct Case {
        const char* what;
        NoticeOutcome outcome;
        std::vector<std::string> windows;
    };
    const Case cases[] = {
        {"no notification service", NoticeOutcome::NotShown, {kReminderTitle}},
        {"closed", NoticeOutcome::Ended, {}},
        {"clicked", NoticeOutcome::ShowReminders, {kReminderTitle}},
        {"setup", NoticeOutcome::ShowSetup, {kSetupTitle}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform fake;
        prepare(fake, {{"lastrun", kYesterday}});
        CKivoApp app(fake.platform);
        ASSERT_TRUE(app.start("--timer").byNotice);
        EXPECT_EQ(app.reminderNotice().body.size(), 2u);
        ScriptedUser user;
        for (int i = 0; i < 3; ++i)
            user.then([](QWidget* w) { pressOkOrClose(w); });
        app.noticeAnswered(c.outcome);
        if (c.outcome == NoticeOutcome::Ended)
            app.endWithoutWindows();
        else
            app.runWindows();
        EXPECT_EQ(user.windowsSeen(), c.windows);
        // Whichever way they were shown, the timer keeps quiet for the rest of the day.
        EXPECT_EQ(fake.store.readValue("lastshown"), std::optional<std::string>(kToday));
        EXPECT_EQ(fake.store.readValue("lastrun"), std::optional<std::string>(kToday));
    }
}

TEST(TimerRun, AReminderWindowThatEndedUnseenShowedNothing) {
    FakePlatform fake;
    fake.store.setValue("lastshown", kYesterday);
    RecordList list;
    list.append(lookingAhead("Far", 1, 9, 3));
    test::writeFileBytes(fake.folders.working + kRecordsFileName, formatRecordsFile(list, ""));
    ScriptedUser user;
    CKivoApp app(fake.platform);
    app.start("");
    app.runWindows(); // the window judges for itself, and ends before it is shown
    EXPECT_TRUE(user.windowsSeen().empty());
    EXPECT_EQ(fake.store.readValue("lastshown"), std::optional<std::string>(kYesterday));
}

} // namespace
} // namespace kivo
