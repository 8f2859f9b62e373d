// The log-on run decides from the records file alone whether the reminder window opens: it must
// open exactly when the window's own selection has an upcoming entry, and then show all of them.
#include "app/kivo_app.h"

#include "core/records_file.h"
#include "platform/dialog_builder.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"
#include "support/scripted_user.h"

#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <random>

namespace kivo {
namespace {

using test::clickButton;
using test::FakePlatform;
using test::lookingAhead;
using test::ScriptedUser;
using test::ymd;

constexpr const char* kReminderTitle = "Velmik Fennaro";

// Whether the reminder window, opened on these records, has an upcoming line: the window's own
// selection over the whole list, as the run computes it.
bool windowHasUpcomingLine(const std::string& path, Date today, int pastDays) {
    RecordList records;
    std::string mailPath;
    EXPECT_TRUE(readRecordsFile(path, records, mailPath));
    for (PersonRecord& r : records)
        ComputeOccurrence(r, today);
    return SelectDue(records, today, pastDays, today).anyUpcoming;
}

// Small sets of records whose dates come from a few days around `today`, a leap day and the turn
// of the year, so that records share dates and the due ones sit anywhere in the file.
RecordList generatedRecords(std::mt19937& random, Date today) {
    auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const int thisYear = static_cast<int>(today.year());
    const std::pair<int, int> dates[] = {{static_cast<int>(static_cast<unsigned>(today.day())),
                                          static_cast<int>(static_cast<unsigned>(today.month()))},
                                         {29, 2},
                                         {28, 2},
                                         {1, 3},
                                         {31, 12},
                                         {1, 1},
                                         {15, 6},
                                         {31, 4},
                                         {0, 5},
                                         {12, 13},
                                         {-1, -1}};
    const int advance[] = {-1, 0, 1, 3, 7, 30, 200, 365, 400};
    RecordList records;
    for (int n = pick(0, 10); n > 0; --n) {
        const auto [day, month] = dates[pick(0, 10)];
        PersonRecord r =
            lookingAhead("r" + std::to_string(n), day + (pick(0, 5) == 0 ? pick(-2, 2) : 0), month,
                         advance[pick(0, 8)]);
        r.leapling = pick(-1, 2);
        r.infoOnly = pick(0, 7) == 0;
        r.skipYear = pick(0, 2) == 0 ? thisYear + pick(0, 1) : -1;
        records.append(std::move(r));
    }
    return records;
}

TEST(LogOnRun, OpensTheReminderWindowExactlyWhenAnUpcomingEntryIsDue) {
    std::mt19937 random(1807);
    const Date days[] = {ymd(2024, 2, 28),  ymd(2024, 2, 29), ymd(2025, 2, 27), ymd(2025, 3, 1),
                         ymd(2025, 12, 30), ymd(2026, 1, 1),  ymd(2100, 2, 28), ymd(2026, 6, 7)};
    int opened = 0;
    int ended = 0;
    for (int run = 0; run < 160; ++run) {
        const Date today = days[run % std::size(days)];
        const int pastDays = run % 3;
        FakePlatform fake;
        fake.clock.date = today;
        fake.store.setValue("past", std::to_string(pastDays));
        const std::string path = fake.folders.working + kRecordsFileName;
        test::writeFileBytes(path, formatRecordsFile(generatedRecords(random, today), ""));
        const bool expected = windowHasUpcomingLine(path, today, pastDays);
        SCOPED_TRACE(testing::Message() << "run " << run << ":\n" << test::readFileBytes(path));

        ScriptedUser user;
        user.then([](QWidget* w) { clickButton(w, ReminderControl::Ok); });
        CKivoApp app(fake.platform);
        app.InitInstance("");
        EXPECT_EQ(user.windowsSeen(),
                  expected ? std::vector<std::string>{kReminderTitle} : std::vector<std::string>{});
        EXPECT_EQ(app.lastRun().reminderWindowsShown, 1);
        EXPECT_FALSE(app.lastRun().recordsWritten);
        EXPECT_EQ(fake.store.readValue("lastrun"),
                  dayKey(static_cast<int>(today.year()), int(unsigned(today.month())),
                         int(unsigned(today.day()))));
        (expected ? opened : ended)++;
        if (::testing::Test::HasFailure())
            return;
    }
    // Both outcomes were met often enough for the comparison to mean something.
    EXPECT_GT(opened, 30);
    EXPECT_GT(ended, 30);
}

struct LogOnDailyRun : ::testing::Test {
    FakePlatform fake;
    std::string recordsPath() const { return fake.folders.working + kRecordsFileName; }
    // The lines the reminder window shows, when it opens.
    std::vector<std::string> shownLines(ScriptedUser& user) {
        auto lines = std::make_shared<std::vector<std::string>>();
        user.then([lines](QWidget* w) {
            auto* list = controlById<QTreeWidget>(*w, ReminderControl::Reminders);
            for (int i = 0; list && i < list->topLevelItemCount(); ++i)
                lines->push_back(list->topLevelItem(i)->text(0).toStdString());
            clickButton(w, ReminderControl::Ok);
        });
        CKivoApp app(fake.platform);
        app.InitInstance("");
        return *lines;
    }
};

TEST_F(LogOnDailyRun, DueRecordsAnywhereInALargeFileAreAllShown) {
    // On the fake clock's 7 June 2026: one due in the middle of the file, one as its last line.
    RecordList records;
    for (int i = 0; i < 3000; ++i)
        records.append(lookingAhead("Far " + std::to_string(i), 1 + i % 28, 1 + i % 5, 3));
    records.append(lookingAhead("Middle", 9, 6, 7));
    for (int i = 0; i < 3000; ++i)
        records.append(lookingAhead("Later " + std::to_string(i), 1 + i % 28, 8 + i % 4, 3));
    records.append(lookingAhead("Last", 7, 6, 0));
    test::writeFileBytes(recordsPath(), formatRecordsFile(records, ""));

    ScriptedUser user;
    const std::vector<std::string> lines = shownLines(user);
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kReminderTitle}));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("Last"), std::string::npos);
    EXPECT_NE(lines[1].find("Middle"), std::string::npos);
}

TEST_F(LogOnDailyRun, DueRecordFirstStillShowsTheOnesAfterIt) {
    RecordList records;
    records.append(lookingAhead("First", 8, 6, 2));
    for (int i = 0; i < 500; ++i)
        records.append(lookingAhead("Far " + std::to_string(i), 1 + i % 28, 9, 3));
    records.append(lookingAhead("Also", 10, 6, 5));
    test::writeFileBytes(recordsPath(), formatRecordsFile(records, ""));

    ScriptedUser user;
    const std::vector<std::string> lines = shownLines(user);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("First"), std::string::npos);
    EXPECT_NE(lines[1].find("Also"), std::string::npos);
}

TEST_F(LogOnDailyRun, NothingDueTouchesNoRecordsAndStillRecordsTheDay) {
    RecordList records;
    for (int i = 0; i < 2000; ++i)
        records.append(lookingAhead("Far " + std::to_string(i), 1 + i % 28, 9, 3));
    const std::string bytes = formatRecordsFile(records, "mail %s");
    test::writeFileBytes(recordsPath(), bytes);
    const auto before = std::filesystem::last_write_time(recordsPath()) - std::chrono::hours(1);
    std::filesystem::last_write_time(recordsPath(), before);

    ScriptedUser user;
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_TRUE(user.windowsSeen().empty());
    EXPECT_FALSE(app.lastRun().firstRun);
    EXPECT_EQ(app.lastRun().reminderWindowsShown, 1); // it ended before being shown
    EXPECT_EQ(app.lastRun().setupWindowsShown, 0);
    EXPECT_TRUE(app.records.empty());
    EXPECT_EQ(app.dataFolder, fake.folders.working);
    EXPECT_EQ(std::filesystem::last_write_time(recordsPath()), before);
    EXPECT_EQ(test::readFileBytes(recordsPath()), bytes);
    EXPECT_EQ(fake.store.readValue("lastrun"), std::optional<std::string>("20260607"));
    EXPECT_EQ(fake.store.readValue("days"), std::optional<std::string>("14"));
}

TEST_F(LogOnDailyRun, RecordsOfTheSameDateAreEachJudgedOnTheirOwn) {
    // On 28 February 2025, a 29 February counts today for leapling 0 and tomorrow otherwise.
    fake.clock.date = ymd(2025, 2, 28);
    RecordList records;
    for (int leapling : {1, 2, -1}) {
        records.append(lookingAhead("Tomorrow", 29, 2, 0));
        records[records.size() - 1].leapling = leapling;
    }
    records.append(lookingAhead("Skipped", 29, 2, 0));
    records[records.size() - 1].leapling = 0;
    records[records.size() - 1].skipYear = 2025;
    records.append(lookingAhead("Today", 29, 2, 0));
    records[records.size() - 1].leapling = 0;
    test::writeFileBytes(recordsPath(), formatRecordsFile(records, ""));

    ScriptedUser user;
    const std::vector<std::string> lines = shownLines(user);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find("Today"), std::string::npos);
}

TEST_F(LogOnDailyRun, OnlyPastEntriesDoNotOpenTheWindow) {
    // Yesterday's birthday with a past window of three days: the window would list it, but with
    // nothing upcoming it ends before being shown.
    test::writeFileBytes(recordsPath(), formatRecordsFile(
                                            [] {
                                                RecordList records;
                                                records.append(lookingAhead("Yesterday", 6, 6, 0));
                                                return records;
                                            }(),
                                            ""));
    fake.store.setValue("past", "3");
    ScriptedUser user;
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_TRUE(user.windowsSeen().empty());
}

TEST_F(LogOnDailyRun, AFolderNamedLikeTheRecordsFileLeadsToThePerUserFolder) {
    std::filesystem::create_directories(recordsPath());
    std::filesystem::create_directories(fake.folders.user);
    RecordList records;
    records.append(lookingAhead("Due", 7, 6, 0));
    test::writeFileBytes(fake.folders.user + kRecordsFileName, formatRecordsFile(records, ""));
    ScriptedUser user;
    const std::vector<std::string> lines = shownLines(user);
    EXPECT_EQ(lines.size(), 1u);
}

} // namespace
} // namespace kivo
