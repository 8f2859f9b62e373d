// The reminder window: its lines and their order, the large layout, the line menu and e-mail.
#include "windows/reminder_dlg.h"

#include "support/window_fixture.h"

#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace kivo {
namespace {

using test::control;
using test::FakePlatform;
using test::record;
using test::ymd;

class FixedRandom : public RandomSource {
public:
    int next() override { return 0; }
};

// A reminder window over its own records, opened on 7 June 2026 with a dd/MM/yyyy date format.
struct ReminderFixture : ::testing::Test {
    FakePlatform fake;
    FixedRandom random;
    RecordList records;
    TextTable texts;
    AppSettings settings;
    std::vector<std::string> presets;
    Date today = ymd(2026, 6, 7);

    ReminderFixture() {
        settings.dateFormat = "%d/%m/%Y";
        fake.clock.date = today;
    }

    PersonRecord& add(PersonRecord r) {
        PersonRecord& stored = records.append(std::move(r));
        ComputeOccurrence(stored, today);
        return stored;
    }

    std::unique_ptr<CReminderDlg> open() {
        auto dlg = std::make_unique<CReminderDlg>(fake.platform, random);
        dlg->records = &records;
        dlg->texts = &texts;
        dlg->settings = &settings;
        dlg->presets = &presets;
        dlg->today = today;
        return dlg;
    }

    static std::vector<std::string> lines(const CReminderDlg& dlg) {
        std::vector<std::string> out;
        QTreeWidget* list = dlg.listCtrl();
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            out.push_back(list->topLevelItem(i)->text(0).toStdString());
        return out;
    }
};

TEST_F(ReminderFixture, ListsPastThenUpcomingLinesWordedAndInOrder) {
    settings.pastDays = 3;
    add(record("anna", 12, 6, 1996));
    add(record("Club dinner", 5, 6, 0, {.type = AnnualEvent, .daysInAdvance = 0})); // two days ago
    add(record("Wedding anniversary", 8, 6, 2001,
               {.type = AnnualEventWithStart, .daysInAdvance = 3})); // tomorrow
    add(record("Far away", 1, 9, 1990, {.daysInAdvance = 10}));      // not within its window
    add(record("Bea", 7, 6, 2000, {.daysInAdvance = 0}));            // today

    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    EXPECT_EQ(lines(*dlg), (std::vector<std::string>{
                               "    Club dinner 2 days ago",
                               " Bea is 26 today",
                               " 25th Wedding anniversary tomorrow",
                               " Anna will be 30 on Friday 12/06/2026 (in 5 days)",
                           }));
    EXPECT_EQ(dlg->setupRequested, 0);
    EXPECT_FALSE(dlg->modified);
}

TEST_F(ReminderFixture, EachLineCarriesItsRecordAndIcon) {
    PersonRecord& anna = add(record("Anna", 12, 6, 1996, {.icon = 17}));
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    QTreeWidgetItem* line = dlg->listCtrl()->topLevelItem(0);
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->data(0, Qt::UserRole).value<quintptr>(), reinterpret_cast<quintptr>(&anna));
    EXPECT_FALSE(line->icon(0).isNull());
}

TEST_F(ReminderFixture, EndsBeforeBeingShownWhenNothingUpcomingIsDue) {
    settings.pastDays = 5;
    add(record("Gone", 5, 6, 1990, {.daysInAdvance = 10})); // only a past entry
    auto dlg = open();
    EXPECT_FALSE(dlg->initialize());
    EXPECT_EQ(dlg->earlyResult(), IDCANCEL);
    EXPECT_EQ(dlg->setupRequested, 0);
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(ReminderFixture, TextsComeFromTheTextTable) {
    add(record("Anna", 12, 6, 1996));
    texts.push_back({"ok", "Fertig"});
    texts.push_back({"Setup...", "Einstellungen..."});
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    EXPECT_EQ(control<QPushButton>(*dlg, ReminderControl::Ok)->text().toStdString(), "Fertig");
    EXPECT_EQ(control<QPushButton>(*dlg, ReminderControl::Setup)->text().toStdString(),
              "Einstellungen...");
    EXPECT_EQ(dlg->windowTitle().toStdString(), "Velmik Fennaro");
}

TEST_F(ReminderFixture, HugeTextsAreShownCutButKeptWhole) {
    const std::string ellipsis = "\xE2\x80\xA6";
    const std::string hugeName(200000, 'n');
    const PersonRecord& huge = add(record(hugeName, 7, 6, 2000, {.daysInAdvance = 0}));
    add(record("Anna", 12, 6, 1996));
    presets.push_back("Hey! " + std::string(5000, 'p'));
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    // Every line starts with the prefix, which alone fills what a line shows.
    const std::string shown = " Hey! " + std::string(994, 'p') + ellipsis;
    EXPECT_EQ(lines(*dlg), (std::vector<std::string>{shown, shown}));
    presets.clear();
    texts.push_back({"Name", std::string(3000, 'N')});
    dlg = open();
    ASSERT_TRUE(dlg->initialize());
    EXPECT_EQ(lines(*dlg)[0], " " + std::string(999, 'n') + ellipsis);
    EXPECT_EQ(dlg->listCtrl()->headerItem()->text(0).toStdString(),
              std::string(1000, 'N') + ellipsis);
    EXPECT_EQ(huge.name, hugeName);
}

TEST_F(ReminderFixture, AlwaysOnTopOnlyWhenSet) {
    add(record("Anna", 12, 6, 1996));
    auto plain = open();
    ASSERT_TRUE(plain->initialize());
    EXPECT_FALSE(plain->windowFlags() & Qt::WindowStaysOnTopHint);
    settings.alwaysOnTop = true;
    auto onTop = open();
    ASSERT_TRUE(onTop->initialize());
    EXPECT_TRUE(onTop->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(ReminderFixture, LargeLayoutDoublesWindowAndListAndScalesButtons) {
    add(record("Anna", 12, 6, 1996));
    auto small = open();
    ASSERT_TRUE(small->initialize());
    settings.largeReminder = true;
    auto large = open();
    ASSERT_TRUE(large->initialize());

    EXPECT_EQ(large->size(), 2 * small->size());
    const QRect list = small->listCtrl()->geometry();
    const QRect bigList = large->listCtrl()->geometry();
    EXPECT_EQ(bigList.topLeft(), list.topLeft());
    EXPECT_EQ(bigList.right() + 1, 2 * (list.right() + 1));
    EXPECT_EQ(bigList.bottom() + 1, 2 * (list.bottom() + 1));
    for (const ReminderControl id : {ReminderControl::Ok, ReminderControl::Setup}) {
        const QRect b = control<QPushButton>(*small, id)->geometry();
        const QRect big = control<QPushButton>(*large, id)->geometry();
        EXPECT_EQ(big.x(), 2 * b.x()) << id;
        EXPECT_EQ(big.y(), static_cast<int>(1.9f * b.y())) << id;
        EXPECT_EQ(big.width(), 2 * b.width()) << id;
        EXPECT_EQ(big.y() + big.height(), static_cast<int>(1.9f * (b.y() + b.height()))) << id;
    }
    EXPECT_GT(large->listCtrl()->font().pointSizeF(), small->listCtrl()->font().pointSizeF());
}

TEST_F(ReminderFixture, MenuHasEmailOnlyForRecordsWithAnAddress) {
    const PersonRecord& plain = add(record("Anna", 12, 6, 1996));
    const PersonRecord& mailed = add(record("Bob", 13, 6, 1996, {.email = "bob@example.org"}));
    auto dlg = open();
    using Entries = std::vector<std::pair<int, std::string>>;
    EXPECT_EQ(dlg->recordMenuEntries(plain),
              (Entries{{32771, "Don't remind me again until next year"}}));
    EXPECT_EQ(dlg->recordMenuEntries(mailed),
              (Entries{{32771, "Don't remind me again until next year"},
                       {0, ""},
                       {5724, "Email Bob (bob@example.org)"}}));
}

TEST_F(ReminderFixture, ShowRecordMenuOffersTheEntriesAndRunsTheChoice) {
    PersonRecord& bob = add(record("Bob & Co", 13, 6, 1996, {.email = "bob@example.org"}));
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    QStringList offered;
    dlg->chooseFromMenu = [&](QMenu& menu, const QPoint&) {
        for (QAction* a : menu.actions())
            offered << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return CReminderDlg::ID_DONT_REMIND;
    };
    dlg->ShowRecordMenu(); // nothing selected: no menu
    EXPECT_TRUE(offered.isEmpty());
    dlg->listCtrl()->setCurrentItem(dlg->listCtrl()->topLevelItem(0));
    dlg->ShowRecordMenu();
    EXPECT_EQ(offered, (QStringList{"Don't remind me again until next year", "-",
                                    "Email Bob && Co (bob@example.org)"}));
    EXPECT_EQ(bob.skipYear, 2026);
    EXPECT_EQ(dlg->listCtrl()->topLevelItemCount(), 0);
    EXPECT_TRUE(dlg->modified);
}

// From the keyboard alone: Shift+F10 and the Menu key open the selected line's menu at that line;
// F10 alone does not.
TEST_F(ReminderFixture, MenuKeyAndShiftF10OpenTheMenuAtTheSelectedLine) {
    add(record("Anna", 12, 6, 1996));
    add(record("Bob", 13, 6, 1996));
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    test::showActive(*dlg);
    std::vector<QPoint> shownAt;
    dlg->chooseFromMenu = [&](QMenu&, const QPoint& at) {
        shownAt.push_back(at);
        return 0;
    };
    QTreeWidget* list = dlg->listCtrl();
    list->setFocus();
    list->setCurrentItem(list->topLevelItem(1));
    const QRect line = list->visualItemRect(list->topLevelItem(1));
    const QPoint expected = list->viewport()->mapToGlobal(QPoint(line.left(), line.center().y()));
    const std::pair<Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {Qt::Key_Menu, Qt::NoModifier}, {Qt::Key_F10, Qt::ShiftModifier}, {Qt::Key_F10, {}}};
    for (const auto& [key, modifiers] : keys)
        test::press(key, modifiers);
    EXPECT_EQ(shownAt, (std::vector<QPoint>{expected, expected}));
}

TEST_F(ReminderFixture, SilencingAPastLineSkipsThatOccurrenceNotNextYears) {
    settings.pastDays = 3;
    PersonRecord& gone = add(record("Gone", 6, 6, 1990, {.daysInAdvance = 3})); // yesterday
    add(record("Anna", 12, 6, 1996));
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    QTreeWidgetItem* pastLine = dlg->listCtrl()->topLevelItem(0);
    ASSERT_EQ(pastLine->text(0).toStdString(), "    Gone had a birthday yesterday");
    dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, pastLine);
    EXPECT_EQ(gone.skipYear, 2026);
    EXPECT_EQ(gone.nextYear, 2027);
    EXPECT_TRUE(dlg->modified);

    // The past line is gone on the next showing, and next year's reminder is still there.
    auto again = open();
    ASSERT_TRUE(again->initialize());
    EXPECT_EQ(again->listCtrl()->topLevelItemCount(), 1);
    fake.clock.date = today = ymd(2027, 6, 4);
    ComputeOccurrence(gone, today);
    settings.pastDays = 0;
    auto nextYear = open();
    ASSERT_TRUE(nextYear->initialize());
    EXPECT_EQ(lines(*nextYear).front(), " Gone will be 37 on Sunday 06/06/2027 (in 2 days)");
}

TEST_F(ReminderFixture, EmailWithoutMailCommandOpensAMailtoAddress) {
    add(record("Anna", 12, 6, 1996, {.email = "anna@example.org"}));
    texts.push_back({"Happy%20Birthday!", "Alles%20Gute!"});
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    dlg->runRecordCommand(CReminderDlg::ID_EMAIL, dlg->listCtrl()->topLevelItem(0));
    EXPECT_EQ(fake.shell.opened,
              (std::vector<std::string>{"mailto:anna@example.org?Subject=Alles%20Gute!"}));
    EXPECT_FALSE(dlg->modified);
}

TEST_F(ReminderFixture, MailCommandGetsTheAddressAsTextNeverThroughAShell) {
    PersonRecord& hostile = add(record("Eve", 12, 6, 1996, {.email = "a@b.c; rm -rf ~"}));
    settings.mailPath = "/usr/bin/mailer --to %s --cc %s";
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    QTreeWidgetItem* line = dlg->listCtrl()->topLevelItem(0);
    dlg->runRecordCommand(CReminderDlg::ID_EMAIL, line);
    ASSERT_EQ(fake.shell.ran.size(), 1u);
    EXPECT_EQ(fake.shell.ran[0].first, "/usr/bin/mailer");
    EXPECT_EQ(fake.shell.ran[0].second, "--to a@b.c; rm -rf ~ --cc a@b.c; rm -rf ~");

    // An address holding "%s" is put in once; the replacement does not run over it again.
    hostile.email = "x%sy";
    settings.mailPath = "mailer %s";
    dlg->runRecordCommand(CReminderDlg::ID_EMAIL, line);
    EXPECT_EQ(fake.shell.ran.back().second, "x%sy");

    // A command without a space is opened whole.
    settings.mailPath = "mailto:%s";
    dlg->runRecordCommand(CReminderDlg::ID_EMAIL, line);
    EXPECT_EQ(fake.shell.opened, (std::vector<std::string>{"mailto:x%sy"}));
}

TEST_F(ReminderFixture, SetupButtonRequestsTheSetupWindowAndKeepsModified) {
    add(record("Anna", 12, 6, 1996));
    auto dlg = open();
    ASSERT_TRUE(dlg->initialize());
    dlg->runRecordCommand(CReminderDlg::ID_DONT_REMIND, dlg->listCtrl()->topLevelItem(0));
    control<QPushButton>(*dlg, ReminderControl::Setup)->click();
    EXPECT_EQ(dlg->setupRequested, 1);
    EXPECT_TRUE(dlg->modified);
}

// Enter on a focused button presses that button (Setup... opens the setup window); anywhere else
// it is OK. The window has a minimise box.
TEST_F(ReminderFixture, EnterPressesTheFocusedButtonAndOkElsewhere) {
    add(record("Anna", 12, 6, 1996));
    struct Case {
        ReminderControl focusOn;
        int result;
        int setupRequested;
    };
    for (const Case c :
         {Case{ReminderControl::Setup, IDCANCEL, 1}, Case{ReminderControl::Ok, IDOK, 0},
          Case{ReminderControl::Reminders, IDOK, 0}}) {
        auto dlg = open();
        ASSERT_TRUE(dlg->initialize());
        test::showActive(*dlg);
        ASSERT_TRUE(test::tabTo(*dlg, c.focusOn));
        test::press(Qt::Key_Return);
        EXPECT_FALSE(dlg->isVisible()) << "Enter on " << c.focusOn;
        EXPECT_EQ(dlg->result(), c.result) << "Enter on " << c.focusOn;
        EXPECT_EQ(dlg->setupRequested, c.setupRequested) << "Enter on " << c.focusOn;
    }
    EXPECT_TRUE(open()->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
}

} // namespace
} // namespace kivo
