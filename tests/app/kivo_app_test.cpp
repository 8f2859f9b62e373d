// The daily run: which windows the user meets, and what is saved at the end.
#include "app/kivo_app.h"

#include "controls/list_ctrl_ex.h"
#include "core/records_file.h"
#include "platform/dialog_builder.h"
#include "support/fake_platform.h"
#include "support/record_builder.h"
#include "support/scripted_user.h"
#include "sync/contacts_file.h"
#include "windows/kivo_dlg.h"
#include "windows/reminder_dlg.h"

#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

namespace kivo {
namespace {

using test::clickButton;
using test::FakePlatform;
using test::ScriptedUser;
using test::ymd;

constexpr const char* kReminderTitle = "Velmik Fennaro";
constexpr const char* kSetupTitle = "Velmik Fennaro Setup";

// Anna's birthday is in five days on the fake clock's 7 June 2026.
const std::string kRecordsWithOneDue =
    "# NAME, BIRTHDATE, ICON, SKIPYEAR, DAYSINADVANCE, NOTABIRTHDAY, INFOONLY, EMAIL, DONTPRINT, "
    "LEAPLING\r\n"
    "Anna,12061996,4,-1,7,0,0,,0,1,\r\n"
    "Far away,01091990,2,-1,3,0,0,,0,1,\r\n";

struct DailyRun : ::testing::Test {
    FakePlatform fake;
    std::string recordsPath() const { return fake.folders.working + "kivos.ini"; }
    void writeRecords(const std::string& bytes) { test::writeFileBytes(recordsPath(), bytes); }
    std::filesystem::file_time_type recordsTime() const {
        return std::filesystem::last_write_time(recordsPath());
    }
    void makeRecordsOld() {
        // Far enough in the past that a rewrite would show in the time stamp.
        std::filesystem::last_write_time(recordsPath(), recordsTime() - std::chrono::hours(1));
    }
    std::string stored(const std::string& name) const {
        return fake.store.readValue(name).value_or("<missing>");
    }
};

TEST_F(DailyRun, OrdinaryStartShowsTheReminderWindowAndSavesSettingsOnly) {
    writeRecords(kRecordsWithOneDue);
    makeRecordsOld();
    const auto before = recordsTime();
    ScriptedUser user;
    std::vector<std::string> shownLines;
    user.then([&](QWidget* w) {
        auto* list = controlById<QTreeWidget>(*w, ReminderControl::Reminders);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            shownLines.push_back(list->topLevelItem(i)->text(0).toStdString());
        clickButton(w, ReminderControl::Ok);
    });

    CKivoApp app(fake.platform);
    EXPECT_FALSE(app.InitInstance(""));
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kReminderTitle}));
    EXPECT_EQ(shownLines,
              (std::vector<std::string>{" Anna will be 30 on Friday 12/06/2026 (in 5 days)"}));
    EXPECT_FALSE(app.lastRun().recordsWritten);
    EXPECT_EQ(recordsTime(), before);
    EXPECT_EQ(stored("lastrun"), "20260607");
    EXPECT_EQ(stored("days"), "14");  // the defaults were written on the first start
    EXPECT_TRUE(app.records.empty()); // freed at the end of the run
}

TEST_F(DailyRun, CommandLineOpensOnlyTheSetupWindow) {
    writeRecords(kRecordsWithOneDue);
    ScriptedUser user;
    user.then([](QWidget* w) { clickButton(w, SetupControl::Close); });
    CKivoApp app(fake.platform);
    app.InitInstance("setup");
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kSetupTitle}));
}

TEST_F(DailyRun, FirstRunShowsSetupThenTheReminderWindowUnderTheUsualRules) {
    ScriptedUser user;
    user.then([](QWidget* w) { clickButton(w, SetupControl::Close); });
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_TRUE(app.lastRun().firstRun);
    // No records, so the reminder window that follows ends before it is shown.
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kSetupTitle}));
    EXPECT_EQ(app.lastRun().setupWindowsShown, 1);
    EXPECT_EQ(app.lastRun().reminderWindowsShown, 1);
    // The per-user folder became the data folder and exists now.
    EXPECT_EQ(app.dataFolder, fake.folders.user);
    EXPECT_TRUE(std::filesystem::is_directory(fake.folders.user));
    EXPECT_EQ(stored("lastrun"), "20260607");
}

TEST_F(DailyRun, RecordsInThePerUserFolderAreFoundWhenTheWorkingFolderHasNone) {
    std::filesystem::create_directories(fake.folders.user);
    test::writeFileBytes(fake.folders.user + "kivos.ini", kRecordsWithOneDue);
    ScriptedUser user;
    user.then([](QWidget* w) { clickButton(w, ReminderControl::Ok); });
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_FALSE(app.lastRun().firstRun);
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kReminderTitle}));
}

TEST_F(DailyRun, OnceADaySecondRunOfTheDayShowsNothingButStillWritesSettings) {
    writeRecords(kRecordsWithOneDue);
    makeRecordsOld();
    const auto before = recordsTime();
    fake.store.setValue("onceaday", "1");
    fake.store.setValue("lastrun", "20260607");
    ScriptedUser user;
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_TRUE(user.windowsSeen().empty());
    EXPECT_EQ(app.lastRun().reminderWindowsShown, 0);
    EXPECT_EQ(recordsTime(), before);
    EXPECT_EQ(stored("lastrun"), "20260607");
    EXPECT_EQ(stored("onceaday"), "1");
}

TEST_F(DailyRun, OnceADayKeysOfDifferentDaysNeverCollide) {
    // 11 January and 1 November used to share a key; with zero-padded keys they do not.
    writeRecords("Anna,03111996,4,-1,7,0,0,,0,1,\r\n");
    fake.clock.date = ymd(2026, 11, 1);
    fake.store.setValue("onceaday", "1");
    fake.store.setValue("lastrun", "20260111");
    ScriptedUser user;
    user.then([](QWidget* w) { clickButton(w, ReminderControl::Ok); });
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kReminderTitle}));
    EXPECT_EQ(stored("lastrun"), "20261101");
}

TEST_F(DailyRun, SetupButtonLeadsToSetupAndBackToTheReminderWindow) {
    writeRecords(kRecordsWithOneDue);
    fake.store.setValue("onceaday", "1"); // never holds back the window that comes back
    ScriptedUser user;
    user.then([](QWidget* w) { clickButton(w, ReminderControl::Setup); });
    user.then([](QWidget* w) { clickButton(w, SetupControl::Close); });
    user.then([](QWidget* w) { clickButton(w, ReminderControl::Ok); });
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_EQ(user.windowsSeen(),
              (std::vector<std::string>{kReminderTitle, kSetupTitle, kReminderTitle}));
    EXPECT_TRUE(user.done());
}

TEST_F(DailyRun, SilencedRecordIsSavedAtTheEnd) {
    writeRecords(kRecordsWithOneDue);
    ScriptedUser user;
    user.then([](QWidget* w) {
        auto* dlg = static_cast<CReminderDlg*>(w);
        dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(0));
        clickButton(w, ReminderControl::Ok);
    });
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_TRUE(app.lastRun().recordsWritten);
    RecordList reread;
    std::string mailPath;
    ASSERT_TRUE(readRecordsFile(recordsPath(), reread, mailPath));
    ASSERT_EQ(reread.size(), 2u);
    EXPECT_EQ(reread[0].name, "Anna");
    EXPECT_EQ(reread[0].skipYear, 2026);
    EXPECT_EQ(reread[1].skipYear, -1);
}

// Names of the records in the setup window's list, top to bottom.
std::vector<std::string> listedNames(CKivoDlg& setup) {
    std::vector<std::string> names;
    for (int row = 0; row < setup.listCtrl()->GetItemCount(); ++row)
        names.push_back(setup.listCtrl()->GetItemText(row, 0).toStdString());
    return names;
}

// The reminder window's run holds only what the window may show; the setup window, opened from it,
// lists the whole file with the reminder window's change on it, and the save loses nothing.
TEST_F(DailyRun, ReminderWindowHoldsItsOwnRecordsAndTheSetupWindowTheWholeFile) {
    fake.store.setValue("past", "3");
    writeRecords(kRecordsWithOneDue + "Two days ago,05061990,0,-1,0,0,0,,0,1,\r\n" +
                 "Not shown,05061991,0,-1,0,0,1,,0,1,\r\n");
    CKivoApp app(fake.platform);
    std::vector<std::string> heldByReminder;
    ScriptedUser user;
    user.then([&](QWidget* w) {
        for (const PersonRecord& r : app.records)
            heldByReminder.push_back(r.name);
        auto* dlg = static_cast<CReminderDlg*>(w);
        ASSERT_EQ(dlg->listCtrl()->topLevelItemCount(), 2);
        dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(1));
        clickButton(w, ReminderControl::Setup);
    });
    user.then([&](QWidget* w) {
        auto& setup = *static_cast<CKivoDlg*>(w);
        EXPECT_EQ(listedNames(setup),
                  (std::vector<std::string>{"Anna", "Far away", "Not shown", "Two days ago"}));
        EXPECT_EQ(app.records[0].skipYear, 2026);
        clickButton(w, SetupControl::Close);
    });
    app.InitInstance("");
    // Back from the setup window, only a past day is left to remind of: no window comes back.
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kReminderTitle, kSetupTitle}));
    EXPECT_EQ(heldByReminder, (std::vector<std::string>{"Anna", "Two days ago"}));
    EXPECT_EQ(app.lastRun().recordsMerged, 0);
    EXPECT_TRUE(fake.messages.warnings.empty());
    RecordList reread;
    std::string mailPath;
    ASSERT_TRUE(readRecordsFile(recordsPath(), reread, mailPath));
    ASSERT_EQ(reread.size(), 4u);
    EXPECT_EQ(reread[0].skipYear, 2026);
    EXPECT_EQ(reread[2].name, "Two days ago");
    EXPECT_EQ(reread[3].infoOnly, true);
}

TEST_F(DailyRun, RecordsThatCannotBeSavedAreReportedAndTheOldFileKept) {
    writeRecords(kRecordsWithOneDue);
    ScriptedUser user;
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
    user.then([&](QWidget* w) {
        auto* dlg = static_cast<CReminderDlg*>(w);
        dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(0));
        // From now on no file of this process may grow beyond a few bytes.
        rlimit tiny = previous;
        tiny.rlim_cur = 16;
        setrlimit(RLIMIT_FSIZE, &tiny);
        clickButton(w, ReminderControl::Ok);
    });
    CKivoApp app(fake.platform);
    app.InitInstance("");
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, oldHandler);

    EXPECT_TRUE(app.lastRun().recordsWriteFailed);
    ASSERT_EQ(fake.messages.errors.size(), 1u);
    EXPECT_NE(fake.messages.errors[0].find(recordsPath()), std::string::npos);
    EXPECT_EQ(test::readFileBytes(recordsPath()), kRecordsWithOneDue);
    EXPECT_EQ(stored("lastrun"), "20260607"); // the settings are written all the same
}

TEST_F(DailyRun, NothingDueEndsWithoutAnyWindow) {
    writeRecords("Far away,01091990,2,-1,3,0,0,,0,1,\r\n");
    ScriptedUser user;
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_TRUE(user.windowsSeen().empty());
    EXPECT_EQ(stored("lastrun"), "20260607");
}

TEST_F(DailyRun, RecordAddedInTheSetupWindowIsSavedAtTheEnd) {
    writeRecords(kRecordsWithOneDue);
    ScriptedUser user;
    // New... opens the editor inside the setup window; Close follows once the editor is done.
    user.then([](QWidget* setup) {
        clickButton(setup, SetupControl::New);
        clickButton(setup, SetupControl::Close);
    });
    user.then([](QWidget* editor) {
        controlById<QLineEdit>(*editor, PersonControl::Name)->setText("Zed");
        controlById<QLineEdit>(*editor, PersonControl::Email)->setText("zed@example.org");
        clickButton(editor, PersonControl::Ok);
    });
    CKivoApp app(fake.platform);
    app.InitInstance("setup");
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{kSetupTitle, "No name"}));
    EXPECT_TRUE(user.done());
    EXPECT_TRUE(app.lastRun().recordsWritten);

    RecordList reread;
    std::string mailPath;
    ASSERT_TRUE(readRecordsFile(recordsPath(), reread, mailPath));
    ASSERT_EQ(reread.size(), 3u);
    EXPECT_EQ(reread[0].name, "Anna");
    EXPECT_EQ(reread[1].name, "Far away");
    const PersonRecord& zed = reread[2];
    EXPECT_EQ(zed.name, "Zed");
    EXPECT_EQ(zed.email, "zed@example.org");
    EXPECT_EQ(zed.day, 7); // the day it was added
    EXPECT_EQ(zed.month, 6);
    EXPECT_EQ(zed.year, 2026);
    EXPECT_EQ(zed.daysInAdvance, 14); // the defaults shown in the setup window
    EXPECT_EQ(zed.icon, 1);
    EXPECT_EQ(zed.skipYear, -1);
}

// Another program writes the records file while a window is open: this run's changes go into the
// file as it is then, and nothing the other program wrote is lost.
TEST_F(DailyRun, ChangesMadeOutsideWhileAWindowIsOpenAreKeptAtTheSave) {
    const std::string remote = "Remote Person,03031980,1,-1,7,0,0,,0,1,\r\n";
    writeRecords(kRecordsWithOneDue);
    ScriptedUser user;
    user.then([&](QWidget* setup) {
        test::writeFileBytes(recordsPath(), kRecordsWithOneDue + remote);
        clickButton(setup, SetupControl::New);
        clickButton(setup, SetupControl::Close);
    });
    user.then([](QWidget* editor) {
        controlById<QLineEdit>(*editor, PersonControl::Name)->setText("Newcomer");
        clickButton(editor, PersonControl::Ok);
    });
    CKivoApp app(fake.platform);
    app.InitInstance("setup");
    EXPECT_TRUE(app.lastRun().recordsWritten);
    EXPECT_EQ(app.lastRun().recordsMerged, 1);
    EXPECT_TRUE(fake.messages.warnings.empty()) << "a merge with nothing in conflict is silent";
    RecordList reread;
    std::string mailPath;
    ASSERT_TRUE(readRecordsFile(recordsPath(), reread, mailPath));
    std::vector<std::string> names;
    for (const PersonRecord& r : reread)
        names.push_back(r.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Anna", "Far away", "Remote Person", "Newcomer"}));

    // The reminder window's "Don't remind" on a record that was changed outside as well: both
    // versions stay, and the user is told which.
    writeRecords(kRecordsWithOneDue);
    ScriptedUser silencer;
    silencer.then([&](QWidget* w) {
        test::writeFileBytes(recordsPath(), "Anna,12061996,4,-1,9,0,0,,0,1,\r\n");
        auto* dlg = static_cast<CReminderDlg*>(w);
        dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(0));
        clickButton(w, ReminderControl::Ok);
    });
    CKivoApp second(fake.platform);
    second.InitInstance("");
    reread.clear();
    ASSERT_TRUE(readRecordsFile(recordsPath(), reread, mailPath));
    ASSERT_EQ(reread.size(), 2u);
    EXPECT_EQ(reread[0].daysInAdvance, 9);
    EXPECT_EQ(reread[0].skipYear, -1);
    EXPECT_EQ(reread[1].daysInAdvance, 7);
    EXPECT_EQ(reread[1].skipYear, 2026);
    ASSERT_EQ(fake.messages.warnings.size(), 1u);
    EXPECT_NE(fake.messages.warnings[0].find("\"Anna\""), std::string::npos);

    // Text that the other program left behind a Ctrl-Z is kept in a copy before the merge.
    writeRecords(kRecordsWithOneDue);
    const std::string withHiddenText = kRecordsWithOneDue + "\x1AHidden,01011990\r\n";
    ScriptedUser hider;
    hider.then([&](QWidget* w) {
        test::writeFileBytes(recordsPath(), withHiddenText);
        auto* dlg = static_cast<CReminderDlg*>(w);
        dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(0));
        clickButton(w, ReminderControl::Ok);
    });
    CKivoApp third(fake.platform);
    third.InitInstance("");
    EXPECT_TRUE(third.lastRun().recordsBackupMade);
    EXPECT_EQ(test::readFileBytes(recordsPath() + ".bak"), withHiddenText);
    EXPECT_EQ(test::readFileBytes(recordsPath()).find("Hidden"), std::string::npos);
}

TEST_F(DailyRun, SetupWindowFollowsTheRecordsFileUntilRecordsAreChangedInIt) {
    writeRecords(kRecordsWithOneDue);
    const std::string copy = fake.folders.working + "kivos.sync-conflict-20261201-101010-ABC.ini";
    test::writeFileBytes(copy, "Lost Twin,01011990,1,-1,7,0,0,,0,1,\r\n");
    test::writeFileBytes(fake.folders.working + "kivos.ini.bak", "");
    const std::string remote = "Remote Person,03031980,1,-1,7,0,0,,0,1,\r\n";
    const std::string second = "Second Remote,04041980,1,-1,7,0,0,,0,1,\r\n";
    const std::string late = "Late Remote,05051980,1,-1,7,0,0,,0,1,\r\n";
    ScriptedUser user;
    user.then([&](QWidget* w) {
        auto& setup = *static_cast<CKivoDlg*>(w);
        // The sync tool's copy is told once the window is up, and nothing else is.
        ASSERT_TRUE(QTest::qWaitFor([&] { return !fake.messages.infos.empty(); }, 20000));
        ASSERT_EQ(fake.messages.infos.size(), 1u);
        EXPECT_NE(fake.messages.infos[0].find(copy), std::string::npos);
        EXPECT_EQ(fake.messages.infos[0].find(".bak"), std::string::npos);

        setup.listCtrl()->SortByColumn(CKivoDlg::ColName, false);
        setup.listCtrl()->SetSelected(1); // Anna
        // The file replaced by a rename, as careful writers do: the list follows, sort and
        // selection kept.
        test::writeFileBytes(recordsPath() + ".new", kRecordsWithOneDue + remote);
        std::filesystem::rename(recordsPath() + ".new", recordsPath());
        ASSERT_TRUE(QTest::qWaitFor([&] { return setup.listCtrl()->GetItemCount() == 3; }, 20000));
        EXPECT_EQ(listedNames(setup),
                  (std::vector<std::string>{"Remote Person", "Far away", "Anna"}));
        EXPECT_EQ(setup.listCtrl()->GetFirstSelected(), 2);
        // Written in place after that: still followed.
        test::writeFileBytes(recordsPath(), kRecordsWithOneDue + remote + second);
        ASSERT_TRUE(QTest::qWaitFor([&] { return setup.listCtrl()->GetItemCount() == 4; }, 20000));

        // Once a record was added here, a change on disk no longer reloads the list.
        clickButton(w, SetupControl::New);
        test::writeFileBytes(recordsPath(), kRecordsWithOneDue + remote + second + late);
        setup.followRecordsFile();
        EXPECT_EQ(setup.listCtrl()->GetItemCount(), 5);
        clickButton(w, SetupControl::Close);
    });
    user.then([](QWidget* editor) {
        controlById<QLineEdit>(*editor, PersonControl::Name)->setText("Newcomer");
        clickButton(editor, PersonControl::Ok);
    });
    CKivoApp app(fake.platform);
    app.InitInstance("setup");
    ASSERT_TRUE(user.done());
    EXPECT_EQ(app.lastRun().recordsMerged, 1);
    EXPECT_TRUE(fake.messages.warnings.empty());
    EXPECT_EQ(test::readFileBytes(recordsPath()), kRecordsWithOneDue + remote + second + late +
                                                      "Newcomer,07062026,1,-1,14,0,0,,0,1,\r\n");

    // The copy was told once: the next setup window says nothing of it.
    fake.messages.infos.clear();
    ScriptedUser again;
    again.then([](QWidget* w) { clickButton(w, SetupControl::Close); });
    CKivoApp next(fake.platform);
    next.InitInstance("setup");
    EXPECT_TRUE(fake.messages.infos.empty());
}

// The records of an account's address book, kept in a file of their own: they remind as the
// user's own do, and what the user chooses for them goes back into that file, never into
// "kivos.ini".
TEST_F(DailyRun, AddressBookRecordsRemindAndKeepTheUsersChoicesInTheirOwnFile) {
    const std::string own = "Far away,01091990,2,-1,3,0,0,,0,1,\r\n";
    writeRecords(own);
    ContactsFile contacts;
    contacts.books = {{"/dav/book/", "token-1"}};
    contacts.records = {
        {"/dav/book/carla.vcf", "\"1\"", "u1", "BDAY", false, test::record("Carla", 10, 6, 1990)},
        {"/dav/book/hid.vcf", "\"1\"", "u2", "BDAY", true, test::record("Hidden", 9, 6, 1990)},
        {"/dav/book/dirk.vcf", "\"1\"", "u3", "BDAY", false, test::record("Dirk", 1, 1, 1970)},
    };
    const std::string contactsPath = fake.folders.working + contactsFileName("1");
    ASSERT_TRUE(writeContactsFile(contactsPath, contacts));

    // Nothing of the user's own is due: Carla's birthday alone opens the reminder window.
    std::vector<std::string> lines;
    ScriptedUser user;
    user.then([&](QWidget* w) {
        auto* dlg = static_cast<CReminderDlg*>(w);
        for (int i = 0; i < dlg->listCtrl()->topLevelItemCount(); ++i)
            lines.push_back(dlg->listCtrl()->topLevelItem(i)->text(0).toStdString());
        dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(0));
        clickButton(w, ReminderControl::Ok);
    });
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_EQ(lines,
              (std::vector<std::string>{" Carla will be 36 on Wednesday 10/06/2026 (in 3 days)"}));
    EXPECT_EQ(test::readFileBytes(recordsPath()).find("Carla"), std::string::npos);
    bool missing = false;
    ContactsFile after;
    ASSERT_EQ(readContactsFile(contactsPath, after, missing), TextReadStatus::Ok);
    ASSERT_EQ(after.records.size(), 3u);
    EXPECT_EQ(after.records[0].record.skipYear, 2026);
    EXPECT_EQ(after.books[0].syncToken, "token-1");

    // In the setup window the record is marked; the editor keeps the server's fields; Delete
    // hides it, and says so.
    ScriptedUser setupUser;
    bool nameReadOnly = false;
    setupUser.then([&](QWidget* w) {
        auto& setup = *static_cast<CKivoDlg*>(w);
        const std::vector<std::string> names = listedNames(setup);
        ASSERT_EQ(names, (std::vector<std::string>{"Carla", "Dirk", "Far away"}));
        // Not the plain icon, as the user's own record has it.
        EXPECT_NE(setup.listCtrl()->GetItemImage(0), 4);
        EXPECT_EQ(setup.listCtrl()->GetItemImage(2), 2);
        setup.editRecord(1);
        setup.deleteRecord(0);
        clickButton(w, SetupControl::Close);
    });
    setupUser.then([&](QWidget* editor) {
        auto* name = controlById<QLineEdit>(*editor, PersonControl::Name);
        nameReadOnly = !name->isEnabled();
        name->setText("Renamed");
        controlById<QLineEdit>(*editor, PersonControl::DaysInAdvance)->setText("21");
        clickButton(editor, PersonControl::Ok);
    });
    CKivoApp second(fake.platform);
    second.InitInstance("setup");
    EXPECT_TRUE(nameReadOnly);
    ASSERT_EQ(fake.messages.infos.size(), 1u);
    EXPECT_NE(fake.messages.infos[0].find("\"Carla\" comes from your address book"),
              std::string::npos);
    ASSERT_EQ(readContactsFile(contactsPath, after, missing), TextReadStatus::Ok);
    ASSERT_EQ(after.records.size(), 3u);
    EXPECT_TRUE(after.records[0].hidden);
    EXPECT_EQ(after.records[2].record.name, "Dirk");
    EXPECT_EQ(after.records[2].record.daysInAdvance, 21);
    EXPECT_EQ(test::readFileBytes(recordsPath()).find("Dirk"), std::string::npos);

    // An address book's records are records: without "kivos.ini" the run is no first run, and
    // a contact due opens the reminder window.
    std::filesystem::remove(recordsPath());
    std::filesystem::remove(contactsPath);
    contacts.records.resize(1);
    std::filesystem::create_directories(fake.folders.user);
    ASSERT_TRUE(writeContactsFile(fake.folders.user + contactsFileName("1"), contacts));
    CKivoApp third(fake.platform);
    EXPECT_EQ(third.start("").firstWindow, StartDecision::Window::Reminder);
    EXPECT_FALSE(third.lastRun().firstRun);
}

// A sync while the setup window is open: the list shows what changed on the server, and what the
// user changed in the window before it is neither lost nor undone.
TEST_F(DailyRun, ASyncWhileTheSetupWindowIsOpenKeepsWhatTheWindowChanged) {
    const std::string own = "Far away,01091990,2,-1,3,0,0,,0,1,\r\n";
    writeRecords(own);
    ContactsFile contacts;
    contacts.records = {
        {"/b/carla.vcf", "\"1\"", "u1", "BDAY", false, test::record("Carla", 10, 6, 1990)},
        {"/b/dirk.vcf", "\"1\"", "u3", "BDAY", false, test::record("Dirk", 1, 1, 1970)},
    };
    const std::string contactsPath = fake.folders.working + contactsFileName("1");
    ASSERT_TRUE(writeContactsFile(contactsPath, contacts));

    ScriptedUser user;
    user.then([&](QWidget* w) {
        auto& setup = *static_cast<CKivoDlg*>(w);
        setup.editRecord(0); // Carla: 21 days in advance
        // The sync: Carla renamed on the server, Dirk deleted there, Eve added.
        applyContactChanges(
            contacts,
            {{"/b/carla.vcf", "\"2\"", "u1", {{"BDAY", test::record("Carla B", 10, 6, 1990)}}},
             {"/b/eve.vcf", "\"1\"", "u4", {{"BDAY", test::record("Eve", 2, 2, 1992)}}}},
            {"/b/dirk.vcf"});
        ASSERT_TRUE(writeContactsFile(contactsPath, contacts));
        setup.followContacts();
        EXPECT_EQ(listedNames(setup), (std::vector<std::string>{"Carla B", "Eve", "Far away"}));
        EXPECT_EQ(setup.listCtrl()->GetItemText(0, CKivoDlg::ColAhead).toStdString(), "21");
        clickButton(w, SetupControl::Close);
    });
    user.then([](QWidget* editor) {
        controlById<QLineEdit>(*editor, PersonControl::DaysInAdvance)->setText("21");
        clickButton(editor, PersonControl::Ok);
    });
    CKivoApp app(fake.platform);
    app.InitInstance("setup");
    ASSERT_TRUE(user.done());
    ContactsFile after;
    bool missing = false;
    ASSERT_EQ(readContactsFile(contactsPath, after, missing), TextReadStatus::Ok);
    ASSERT_EQ(after.records.size(), 2u);
    EXPECT_EQ(after.records[0].record.name, "Carla B");
    EXPECT_EQ(after.records[0].record.daysInAdvance, 21);
    EXPECT_EQ(after.records[1].record.name, "Eve");
    EXPECT_EQ(test::readFileBytes(recordsPath()).find("Carla"), std::string::npos);
}

} // namespace
} // namespace kivo
