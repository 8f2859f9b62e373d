// Which runs send their reminders to a notification, and the timer's run's own once-a-day rule:
// nothing on a day that already showed the reminders, whatever "Only display once a day" says,
// while the log-on run keeps its rule.
#include "app/kivo_app.h"

#include "core/records_file.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

using Window = StartDecision::Window;

TEST(TimerRun, ShowsNothingOnADayThatAlreadyShowedTheReminders) {
    struct Case {
        const char* commandLine;
        bool ranToday;   // a run today, which showed the reminders when `shownToday`
        bool shownToday; // the reminders were shown today, by the log-on run or the timer's
        bool onceADay;
        bool notify; // "Show reminders as a notification"
        Window expected;
        bool byNotice;
    };
    const Case cases[] = {
        {"--timer", false, false, false, false, Window::Reminder, true},
        {"--timer", false, false, true, false, Window::Reminder, true},
        {"--timer", true, true, false, false, Window::None, false},
        {"--timer", true, true, true, true, Window::None, false},
        {"--timer", true, false, true, false, Window::Reminder, true},
        {"--timer", true, false, false, true, Window::Reminder, true},
        {"", true, true, false, false, Window::Reminder, false},
        {"", true, true, true, true, Window::None, false},
        {"", false, false, false, true, Window::Reminder, true},
        {"--setup", false, false, false, true, Window::Setup, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        test::FakePlatform fake; // on 7 June 2026
        fake.store.setValue("lastrun", c.ranToday ? "20260607" : "20260606");
        fake.store.setValue("lastshown", c.shownToday ? "20260607" : "20260606");
        fake.store.setValue("onceaday", c.onceADay ? "1" : "0");
        fake.store.setValue("notify", c.notify ? "1" : "0");
        RecordList records;
        records.append(test::lookingAhead("Anna", 9, 6, 3));
        test::writeFileBytes(fake.folders.working + kRecordsFileName,
                             formatRecordsFile(records, ""));
        CKivoApp app(fake.platform);
        const StartDecision decision = app.start(c.commandLine);
        EXPECT_EQ(decision.firstWindow, c.expected);
        EXPECT_EQ(decision.byNotice, c.byNotice);
    }
    // A user without records yet is not shown the setup window by the timer every morning.
    test::FakePlatform firstRun;
    CKivoApp app(firstRun.platform);
    EXPECT_EQ(app.start("--timer").firstWindow, Window::None);
}

} // namespace
} // namespace kivo
