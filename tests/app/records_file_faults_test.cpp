// The daily run against a records file that is unreadable, cut by a Ctrl-Z, in Windows-1252 or
// surrounded by what interrupted saves left: the user loses nothing and is told what happened.
#include "app/kivo_app.h"

#include "core/records_file.h"
#include "platform/dialog_builder.h"
#include "support/fake_platform.h"
#include "support/scripted_user.h"
#include "windows/kivo_dlg.h"
#include "windows/reminder_dlg.h"

#include "controls/list_ctrl_ex.h"

#include <QLineEdit>
#include <QTreeWidget>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace kivo {
namespace {

namespace fs = std::filesystem;
using test::clickButton;
using test::FakePlatform;
using test::ScriptedUser;

const std::string kHeaderLine = std::string(kRecordsHeader) + "\r\n";
const std::string kAnnaDue = "Anna,12061996,4,-1,7,0,0,,0,1,\r\n"; // due on the fake clock's day

// The user adds a record in the setup window and closes it.
void addRecordInSetup(ScriptedUser& user) {
    user.then([](QWidget* setup) {
        clickButton(setup, SetupControl::New);
        clickButton(setup, SetupControl::Close);
    });
    user.then([](QWidget* editor) {
        controlById<QLineEdit>(*editor, PersonControl::Name)->setText("Zed");
        clickButton(editor, PersonControl::Ok);
    });
}

// The user silences the first reminder line and closes the reminder window.
void silenceFirstLine(ScriptedUser& user) {
    user.then([](QWidget* w) {
        auto* dlg = static_cast<CReminderDlg*>(w);
        dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(0));
        clickButton(w, ReminderControl::Ok);
    });
}

TEST(RecordsFileFaults, AnUnreadableRecordsFileIsNamedAtStartAndNeverReplaced) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        std::function<bool(const std::string&)> intact;
        const char* reason;
    };
    const Case cases[] = {
        {"a folder", [](const std::string& p) { fs::create_directory(p); },
         [](const std::string& p) { return fs::is_directory(p); }, "folder"},
        {"a pipe", [](const std::string& p) { ::mkfifo(p.c_str(), 0600); },
         [](const std::string& p) { return fs::is_fifo(p); }, "not a regular file"},
        {"a huge file",
         [](const std::string& p) {
             test::writeFileBytes(p, kHeaderLine + kAnnaDue);
             fs::resize_file(p, static_cast<std::uintmax_t>(kTextFileSizeLimit) + 1);
         },
         [](const std::string& p) {
             return fs::file_size(p) == static_cast<std::uintmax_t>(kTextFileSizeLimit) + 1;
         },
         "1 GiB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FakePlatform fake;
        fs::create_directories(fake.folders.user);
        const std::string path = fake.folders.user + kRecordsFileName;
        c.make(path);
        ScriptedUser user;
        addRecordInSetup(user);
        CKivoApp app(fake.platform);
        app.InitInstance("setup");
        EXPECT_TRUE(user.done());
        EXPECT_FALSE(app.lastRun().firstRun);
        EXPECT_TRUE(app.lastRun().recordsUnreadable);
        EXPECT_FALSE(app.lastRun().recordsWritten);
        ASSERT_EQ(fake.messages.errors.size(), 1u);
        EXPECT_NE(fake.messages.errors[0].find(path), std::string::npos);
        EXPECT_NE(fake.messages.errors[0].find(c.reason), std::string::npos);
        EXPECT_NE(fake.messages.errors[0].find("will not save over it"), std::string::npos);
        EXPECT_TRUE(c.intact(path));
    }
}

TEST(RecordsFileFaults, AnUnreadableFileIsToldAboutEvenWhenNoWindowOpens) {
    FakePlatform fake;
    const std::string path = fake.folders.working + kRecordsFileName;
    fs::create_directory(path);
    // The start already knows that the message needs the desktop, though nothing is due.
    {
        CKivoApp app(fake.platform);
        const StartDecision decision = app.start("");
        EXPECT_TRUE(decision.tellsUser);
        EXPECT_TRUE(decision.opensWindow());
        app.endWithoutWindows();
    }
    ScriptedUser user;
    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_TRUE(user.windowsSeen().empty());
    EXPECT_TRUE(app.lastRun().recordsUnreadable);
    ASSERT_EQ(fake.messages.errors.size(), 2u);
    EXPECT_NE(fake.messages.errors[1].find(path), std::string::npos);
    EXPECT_FALSE(fs::exists(fake.folders.user + kRecordsFileName));
}

TEST(RecordsFileFaults, TextAfterACtrlZIsKeptInACopyBeforeTheFirstSave) {
    FakePlatform fake;
    const std::string path = fake.folders.working + kRecordsFileName;
    const std::string cut = kHeaderLine + kAnnaDue + "\x1A" + "Lost,01011990,2,-1,3,0,0,,0,1,\r\n";
    test::writeFileBytes(path, cut);
    {
        ScriptedUser user;
        silenceFirstLine(user);
        CKivoApp app(fake.platform);
        app.InitInstance("");
        EXPECT_TRUE(app.lastRun().recordsWritten);
        EXPECT_TRUE(app.lastRun().recordsBackupMade);
    }
    const std::string copy = path + ".bak";
    EXPECT_EQ(test::readFileBytes(copy), cut);
    ASSERT_EQ(fake.messages.infos.size(), 1u);
    EXPECT_NE(fake.messages.infos[0].find(copy), std::string::npos);
    EXPECT_EQ(test::readFileBytes(path).find("Lost"), std::string::npos);

    // Another cut file later: the first copy is never overwritten, and nothing more is said.
    test::writeFileBytes(path, kHeaderLine + kAnnaDue + "\x1A" + "Other\r\n");
    {
        ScriptedUser user;
        silenceFirstLine(user);
        CKivoApp app(fake.platform);
        app.InitInstance("");
        EXPECT_TRUE(app.lastRun().recordsWritten);
        EXPECT_FALSE(app.lastRun().recordsBackupMade);
    }
    EXPECT_EQ(test::readFileBytes(copy), cut);
    EXPECT_EQ(fake.messages.infos.size(), 1u);
}

TEST(RecordsFileFaults, AWindows1252RecordOpenedAndConfirmedIsSavedByteForByte) {
    FakePlatform fake;
    const std::string path = fake.folders.working + kRecordsFileName;
    std::string everyHighByte;
    for (int b = 0x80; b <= 0xFF; ++b)
        everyHighByte += static_cast<char>(b);
    const std::string file = kHeaderLine + "J\xF6rg,01021990,4,-1,7,0,0,j\xF6rg@x.de,0,1,\r\n" +
                             everyHighByte + ",02031991,1,-1,3,0,0," + everyHighByte + ",0,1,\r\n";
    test::writeFileBytes(path, file);
    ScriptedUser user;
    std::vector<std::string> shownNames;
    user.then([&](QWidget* w) {
        auto* setup = static_cast<CKivoDlg*>(w);
        for (int row = 0; row < 2; ++row) {
            shownNames.push_back(setup->listCtrl()->GetItemText(row, 0).toStdString());
            setup->editRecord(row);
        }
        clickButton(w, SetupControl::Close);
    });
    for (int i = 0; i < 2; ++i)
        user.then(
            [](QWidget* editor) { clickButton(editor, PersonControl::Ok); }); // OK, nothing changed
    CKivoApp app(fake.platform);
    app.InitInstance("setup");
    EXPECT_TRUE(user.done());
    // Shown as the letters they are.
    EXPECT_NE(std::find(shownNames.begin(), shownNames.end(), "J\xC3\xB6rg"), shownNames.end());
    EXPECT_TRUE(app.lastRun().recordsWritten);
    EXPECT_EQ(test::readFileBytes(path), file);
}

TEST(RecordsFileFaults, StaleTemporariesOfTheRecordsFileGoWhenNoOtherRunIsUsingTheFolder) {
    FakePlatform fake;
    const std::string path = fake.folders.working + kRecordsFileName;
    test::writeFileBytes(path, kHeaderLine + "Far away,01091990,2,-1,3,0,0,,0,1,\r\n");
    const std::string stale = path + ".tmp0badcafe";
    const auto leaveStale = [&] { test::writeFileBytes(stale, std::string(4096, 'x')); };

    leaveStale();
    {
        FolderInUse otherRun(fake.folders.working);
        CKivoApp app(fake.platform);
        app.InitInstance("");
    }
    EXPECT_TRUE(fs::exists(stale)); // it may be another run's save in progress

    CKivoApp app(fake.platform);
    app.InitInstance("");
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(path));
}

} // namespace
} // namespace kivo
