// The setup window's record commands: New, Edit and Delete through the button, a double click,
// the context menu and the Delete key, with what they hand the editor and what they take back.
#include "windows/kivo_dlg.h"

#include "support/scripted_user.h"
#include "support/window_fixture.h"
#include "windows/person_dlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kivo {
namespace {

using test::control;
using test::record;
using test::retype;
using test::ScriptedUser;

// The values the setup window put into the editor before it ran.
struct Handed {
    std::string name, email;
    QDate date, shownWhenInvalid;
    int icon, daysInAdvance, type, infoOnly, dontPrint, leapling;

    static Handed from(const CPersonDlg& d) {
        return {d.name,          d.email, d.date,     d.shownWhenInvalid, d.icon,
                d.daysInAdvance, d.type,  d.infoOnly, d.dontPrint,        d.leapling};
    }
};

// The setup window with defaults for new records of ten days and icon 5, and a record of what
// it hands the editor.
struct RecordCommands : test::SetupWindowFixture {
    std::vector<Handed> handed; // one entry per editor run

    RecordCommands() {
        settings.daysAhead = 10;
        settings.defaultIcon = 5;
    }

    // The real editor, answered in place of the user: `act` changes its controls, then the
    // button `button` (OK or Cancel) is pressed.
    std::function<int(CPersonDlg&)> editorAnswering(std::function<void(CPersonDlg&)> act,
                                                    PersonControl button = PersonControl::Ok) {
        return [this, act, button](CPersonDlg& dlg) {
            handed.push_back(Handed::from(dlg));
            EXPECT_TRUE(dlg.initialize());
            if (act)
                act(dlg);
            control<QPushButton>(dlg, button)->click();
            return dlg.result();
        };
    }

    std::vector<std::string> recordNames() const {
        std::vector<std::string> out;
        for (const PersonRecord& r : records)
            out.push_back(r.name);
        return out;
    }
    static QPoint rowCentre(const CKivoDlg& dlg, int row) {
        return dlg.listCtrl()->GetItemRect(row, CListCtrlEx::ItemPart::Label).center();
    }
    static bool rowVisible(const CKivoDlg& dlg, int row) {
        const QRect bounds = dlg.listCtrl()->GetItemRect(row, CListCtrlEx::ItemPart::Bounds);
        return bounds.isValid() && dlg.listCtrl()->viewport()->rect().contains(bounds.center());
    }
};

TEST_F(RecordCommands, NewTakesTheDefaultsOnScreenAndAppendsTheRecord) {
    add(record("Bert", 1, 5, 1970));
    add(record("Anna", 2, 6, 1980));
    auto dlg = open();
    // Changed on the screen but not stored: the new record follows the screen.
    retype(control<QLineEdit>(*dlg, SetupControl::DaysToLookAhead), "21");
    control<QComboBox>(*dlg, SetupControl::DefaultIcon)->setCurrentIndex(12);
    dlg->runEditor = editorAnswering([](CPersonDlg& editor) {
        EXPECT_EQ(control<QComboBox>(editor, PersonControl::Icon)->currentIndex(), 12);
        EXPECT_EQ(control<QLineEdit>(editor, PersonControl::DaysInAdvance)->text().toStdString(),
                  "21");
        EXPECT_EQ(control<QDateEdit>(editor, PersonControl::BirthDate)->date(), QDate(2025, 3, 6));
        control<QLineEdit>(editor, PersonControl::Name)->setText("Carl");
        control<QLineEdit>(editor, PersonControl::Email)->setText("carl@example.org");
    });
    dlg->listCtrl()->SetSelected(0);
    control<QPushButton>(*dlg, SetupControl::New)->click();

    ASSERT_EQ(handed.size(), 1u);
    const Handed& h = handed[0];
    EXPECT_EQ(h.name, "");
    EXPECT_EQ(h.email, "");
    EXPECT_EQ(h.icon, 12);
    EXPECT_EQ(h.daysInAdvance, 21);
    EXPECT_EQ(h.date, QDate(2025, 3, 6));
    EXPECT_EQ(h.type, 0);
    EXPECT_EQ(h.infoOnly, 0);
    EXPECT_EQ(h.dontPrint, 0);
    EXPECT_EQ(h.leapling, 1); // the editor's own default, "March 1"

    ASSERT_EQ(recordNames(), (std::vector<std::string>{"Bert", "Anna", "Carl"}));
    const PersonRecord& carl = records[2];
    EXPECT_EQ(carl.email, "carl@example.org");
    EXPECT_EQ(carl.day, 6);
    EXPECT_EQ(carl.month, 3);
    EXPECT_EQ(carl.year, 2025);
    EXPECT_EQ(carl.icon, 12);
    EXPECT_EQ(carl.daysInAdvance, 21);
    EXPECT_EQ(carl.type, Birthday);
    EXPECT_EQ(carl.skipYear, -1);
    EXPECT_EQ(carl.leapling, 1);
    EXPECT_FALSE(carl.infoOnly);
    EXPECT_FALSE(carl.dontPrint);
    EXPECT_EQ(carl.daysUntil, 0);
    EXPECT_EQ(carl.nextYear, 2025);
    EXPECT_TRUE(dlg->modified);

    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna", "Bert", "Carl"}));
    EXPECT_EQ(cell(*dlg, carl, CKivoDlg::ColNext), "06/03/2025");
    EXPECT_EQ(cell(*dlg, carl, CKivoDlg::ColAhead), "21");
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), -1);
    EXPECT_EQ(itemCount(*dlg), "Items: 3");
    EXPECT_EQ(settings.daysAhead, 10);
    EXPECT_EQ(settings.defaultIcon, 5);
}

TEST_F(RecordCommands, NewCancelledAddsNothingAndFlagsComeBackAsChosen) {
    add(record("Anna", 2, 6, 1980));
    auto dlg = open();
    dlg->runEditor = editorAnswering(
        [](CPersonDlg& editor) {
            control<QLineEdit>(editor, PersonControl::Name)->setText("Never");
        },
        PersonControl::Cancel);
    dlg->newRecord();
    EXPECT_EQ(records.size(), 1u);
    EXPECT_FALSE(dlg->modified);
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna"}));

    // No default icon on the screen: the record gets none either.
    control<QComboBox>(*dlg, SetupControl::DefaultIcon)->setCurrentIndex(-1);
    dlg->runEditor = editorAnswering([](CPersonDlg& editor) {
        control<QLineEdit>(editor, PersonControl::Name)->setText("Club");
        control<QComboBox>(editor, PersonControl::Type)->setCurrentIndex(AnnualEventWithStart);
        control<QCheckBox>(editor, PersonControl::DontRemind)->setChecked(true);
        control<QCheckBox>(editor, PersonControl::DontPrint)->setChecked(true);
        control<QComboBox>(editor, PersonControl::Leapling)->setCurrentIndex(0);
    });
    dlg->newRecord();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(handed.back().icon, -1);
    const PersonRecord& club = records[1];
    EXPECT_EQ(club.name, "Club");
    EXPECT_EQ(club.icon, -1);
    EXPECT_EQ(club.type, AnnualEventWithStart);
    EXPECT_TRUE(club.infoOnly);
    EXPECT_TRUE(club.dontPrint);
    EXPECT_EQ(club.leapling, 0);
    EXPECT_TRUE(dlg->modified);
}

TEST_F(RecordCommands, NewButtonOpensTheRealEditor) {
    auto dlg = open();
    ScriptedUser user;
    user.then([](QWidget* editor) {
        QTest::keyClicks(control<QLineEdit>(*editor, PersonControl::Name), "Dora");
        test::clickButton(editor, PersonControl::Ok);
    });
    control<QPushButton>(*dlg, SetupControl::New)->click();
    EXPECT_TRUE(user.done());
    EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{"No name"}));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].name, "Dora");
    EXPECT_EQ(records[0].daysInAdvance, 10);
    EXPECT_EQ(records[0].icon, 5);
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Dora"}));
    EXPECT_TRUE(dlg->modified);
}

// The real editor, reached by a double click; the renamed row moves to the top of many rows and
// is scrolled into view.
TEST_F(RecordCommands, RenameMovesTheRowAndKeepsItSelectedAndVisible) {
    for (int i = 0; i < 40; ++i)
        add(record("Name " + std::to_string(10 + i), 1 + i % 28, 1 + i % 12, 1980));
    PersonRecord& zoe = add(record("Zoe", 20, 3, 1990));
    auto dlg = openShown();
    const int last = dlg->listCtrl()->GetItemCount() - 1;
    ASSERT_EQ(rowOf(*dlg, zoe), last);
    dlg->listCtrl()->EnsureVisible(last);
    ASSERT_FALSE(rowVisible(*dlg, 0)); // the test needs a list that scrolls

    {
        ScriptedUser user;
        user.then([](QWidget* editor) {
            retype(control<QLineEdit>(*editor, PersonControl::Name), "Adam");
            test::clickButton(editor, PersonControl::Ok);
        });
        QTest::mouseDClick(dlg->listCtrl()->viewport(), Qt::LeftButton, {}, rowCentre(*dlg, last));
        EXPECT_TRUE(user.done());
        EXPECT_EQ(user.windowsSeen(), (std::vector<std::string>{"Zoe - properties"}));
    }
    EXPECT_EQ(zoe.name, "Adam");
    EXPECT_EQ(records.indexOf(&zoe), 40); // its place in the file stays
    EXPECT_EQ(rowOf(*dlg, zoe), 0);
    EXPECT_EQ(names(*dlg).front(), "Adam");
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), 0);
    EXPECT_TRUE(rowVisible(*dlg, 0));
    EXPECT_EQ(dlg->listCtrl()->GetItemCount(), 41);
    EXPECT_TRUE(dlg->modified);
}

TEST_F(RecordCommands, EditCancelledChangesNothing) {
    PersonRecord& a =
        add(record("Anna", 20, 3, 1980, {.email = "anna@example.org", .skipYear = 2025}));
    auto dlg = open();
    dlg->runEditor = editorAnswering(
        [](CPersonDlg& editor) {
            control<QLineEdit>(editor, PersonControl::Name)->setText("Changed");
            control<QLineEdit>(editor, PersonControl::Email)->setText("other@example.org");
            control<QDateEdit>(editor, PersonControl::BirthDate)->setDate(QDate(2001, 1, 1));
        },
        PersonControl::Cancel);
    dlg->editRecord(rowOf(*dlg, a));
    EXPECT_EQ(handed.size(), 1u);
    EXPECT_EQ(a.name, "Anna");
    EXPECT_EQ(a.email, "anna@example.org");
    EXPECT_EQ(a.skipYear, 2025);
    EXPECT_EQ(a.year, 1980);
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna"}));
    EXPECT_FALSE(dlg->modified);
}

// Everything the record holds goes through the editor and back; only the skipped year is dropped.
TEST_F(RecordCommands, EditWithoutChangesKeepsTheRecordButClearsTheSkippedYear) {
    PersonRecord& r = add(record("Lea", 29, 2, 1996,
                                 {.type = AnnualEventWithStart,
                                  .daysInAdvance = 12,
                                  .icon = 9,
                                  .email = "lea@example.org",
                                  .skipYear = 2025,
                                  .infoOnly = true,
                                  .dontPrint = true,
                                  .leapling = 0}));
    add(record("Bert", 1, 5, 1970));
    auto dlg = open();
    dlg->listCtrl()->SetSelected(rowOf(*dlg, r));
    dlg->runEditor = editorAnswering(nullptr);
    dlg->editRecord(rowOf(*dlg, r));

    ASSERT_EQ(handed.size(), 1u);
    const Handed& h = handed[0];
    EXPECT_EQ(h.name, "Lea");
    EXPECT_EQ(h.email, "lea@example.org");
    EXPECT_EQ(h.date, QDate(1996, 2, 29));
    EXPECT_EQ(h.icon, 9);
    EXPECT_EQ(h.daysInAdvance, 12);
    EXPECT_EQ(h.type, AnnualEventWithStart);
    EXPECT_EQ(h.infoOnly, 1);
    EXPECT_EQ(h.dontPrint, 1);
    EXPECT_EQ(h.leapling, 0);

    EXPECT_EQ(r.name, "Lea");
    EXPECT_EQ(r.email, "lea@example.org");
    EXPECT_EQ(r.day, 29);
    EXPECT_EQ(r.month, 2);
    EXPECT_EQ(r.year, 1996);
    EXPECT_EQ(r.icon, 9);
    EXPECT_EQ(r.daysInAdvance, 12);
    EXPECT_EQ(r.type, AnnualEventWithStart);
    EXPECT_TRUE(r.infoOnly);
    EXPECT_TRUE(r.dontPrint);
    EXPECT_EQ(r.leapling, 0);
    EXPECT_EQ(r.skipYear, -1);
    EXPECT_TRUE(dlg->modified);
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), rowOf(*dlg, r));
}

TEST_F(RecordCommands, EditWithTheSameNameRewritesOnlyItsRow) {
    PersonRecord& anna = add(record("Anna", 20, 3, 1980));
    PersonRecord& bert = add(record("Bert", 1, 5, 1970));
    auto dlg = open();
    dlg->listCtrl()->SetSelected(rowOf(*dlg, anna));
    dlg->runEditor = editorAnswering([](CPersonDlg& editor) {
        control<QLineEdit>(editor, PersonControl::DaysInAdvance)->setText("30");
        control<QComboBox>(editor, PersonControl::Icon)->setCurrentIndex(17);
        control<QComboBox>(editor, PersonControl::Type)->setCurrentIndex(AnnualEvent);
        control<QDateEdit>(editor, PersonControl::BirthDate)->setDate(QDate(1980, 3, 9));
    });
    dlg->editRecord(rowOf(*dlg, anna));
    const int row = rowOf(*dlg, anna);
    EXPECT_EQ(cell(*dlg, anna, CKivoDlg::ColNext), "09/03/2025");
    EXPECT_EQ(cell(*dlg, anna, CKivoDlg::ColAhead), "30");
    EXPECT_EQ(cell(*dlg, anna, CKivoDlg::ColDays), "3");
    EXPECT_EQ(cell(*dlg, anna, CKivoDlg::ColType), "Event");
    EXPECT_EQ(cell(*dlg, anna, CKivoDlg::ColAgeNow), "-");
    EXPECT_EQ(cell(*dlg, anna, CKivoDlg::ColIcon), "17");
    EXPECT_EQ(dlg->listCtrl()->GetItemImage(row), 17);
    EXPECT_EQ(anna.daysUntil, 3);
    // No refill: the selection is where it was, and the other row untouched.
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), row);
    EXPECT_EQ(cell(*dlg, bert, CKivoDlg::ColAhead), "7");
}

// A record without a year cannot be shown by the picker; editing its e-mail address must keep
// its date instead of taking the day of the edit.
TEST_F(RecordCommands, DatesThePickerCannotShowAreKeptUnlessTheUserChangesThem) {
    PersonRecord& noYear = add(record("No year", 12, 6, 0));
    PersonRecord& noDay = add(record("No day", 0, 3, 1980));
    auto dlg = open();
    dlg->runEditor = editorAnswering([](CPersonDlg& editor) {
        EXPECT_EQ(control<QDateEdit>(editor, PersonControl::BirthDate)->date(), QDate(2025, 6, 12));
        control<QLineEdit>(editor, PersonControl::Email)->setText("new@example.org");
    });
    dlg->editRecord(rowOf(*dlg, noYear));
    EXPECT_FALSE(handed.back().date.isValid());
    EXPECT_EQ(handed.back().shownWhenInvalid, QDate(2025, 6, 12));
    EXPECT_EQ(noYear.email, "new@example.org");
    EXPECT_EQ(noYear.day, 12);
    EXPECT_EQ(noYear.month, 6);
    EXPECT_EQ(noYear.year, 0);
    EXPECT_EQ(cell(*dlg, noYear, CKivoDlg::ColNext), "12/06/2025");
    EXPECT_EQ(cell(*dlg, noYear, CKivoDlg::ColAgeNow), "-");
    EXPECT_TRUE(dlg->modified);

    dlg->runEditor = editorAnswering([](CPersonDlg& editor) {
        control<QLineEdit>(editor, PersonControl::DaysInAdvance)->setText("3");
    });
    dlg->editRecord(rowOf(*dlg, noDay));
    EXPECT_EQ(noDay.day, 0);
    EXPECT_EQ(noDay.month, 3);
    EXPECT_EQ(noDay.year, 1980);
    EXPECT_EQ(noDay.daysInAdvance, 3);

    // A date the user picks is taken, year and all.
    dlg->runEditor = editorAnswering([](CPersonDlg& editor) {
        control<QDateEdit>(editor, PersonControl::BirthDate)->setDate(QDate(2000, 8, 1));
    });
    dlg->editRecord(rowOf(*dlg, noYear));
    EXPECT_EQ(noYear.day, 1);
    EXPECT_EQ(noYear.month, 8);
    EXPECT_EQ(noYear.year, 2000);
    EXPECT_EQ(noYear.nextYear, 2025);
    EXPECT_EQ(cell(*dlg, noYear, CKivoDlg::ColNext), "01/08/2025");
    EXPECT_EQ(cell(*dlg, noYear, CKivoDlg::ColAgeNow), "24");
}

TEST_F(RecordCommands, DeletingTheLastRowSelectsTheNewLastRow) {
    add(record("Carl", 1, 1, 1990));
    add(record("Anna", 2, 2, 1990));
    add(record("Bert", 3, 3, 1990));
    auto dlg = open();
    dlg->deleteRecord(2);
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"Anna", "Bert"}));
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna", "Bert"}));
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), 1);
    EXPECT_EQ(itemCount(*dlg), "Items: 2");
    EXPECT_TRUE(dlg->modified);
}

TEST_F(RecordCommands, DeletingAMiddleRowKeepsTheRecordOrderAndSelectsTheNextRow) {
    add(record("Carl", 1, 1, 1990));
    add(record("Anna", 2, 2, 1990));
    add(record("Bert", 3, 3, 1990));
    add(record("Dora", 4, 4, 1990));
    auto dlg = open();
    dlg->deleteRecord(1); // Bert
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"Carl", "Anna", "Dora"}));
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna", "Carl", "Dora"}));
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), 1);
    EXPECT_EQ(itemCount(*dlg), "Items: 3");
}

TEST_F(RecordCommands, DeletingTheOnlyRowLeavesAnEmptyList) {
    add(record("Anna", 2, 2, 1990));
    auto dlg = open();
    dlg->listCtrl()->SetSelected(0);
    dlg->deleteRecord(0);
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(dlg->listCtrl()->GetItemCount(), 0);
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), -1);
    EXPECT_EQ(itemCount(*dlg), "Items: 0");
    EXPECT_TRUE(dlg->modified);
}

TEST_F(RecordCommands, RightClickOnARowOffersTheLookedUpCommandsAndNothingElsewhere) {
    parseTextTable({"edit=Bearbeiten", "Delete=Loeschen"}, texts);
    add(record("Anna", 2, 2, 1990));
    add(record("Bert", 3, 3, 1990));
    auto dlg = openShown();
    std::vector<std::pair<int, std::string>> offered;
    int menus = 0;
    dlg->chooseFromMenu = [&](QMenu& menu, const QPoint&) {
        ++menus;
        offered.clear();
        for (const QAction* action : menu.actions())
            offered.emplace_back(action->data().toInt(), action->text().toStdString());
        return 0;
    };
    QTest::mouseClick(dlg->listCtrl()->viewport(), Qt::RightButton, {}, rowCentre(*dlg, 1));
    EXPECT_EQ(menus, 1);
    EXPECT_EQ(offered, (std::vector<std::pair<int, std::string>>{
                           {32774, "New"}, {32772, "Bearbeiten"}, {32773, "Loeschen"}}));
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), 1);
    EXPECT_EQ(records.size(), 2u); // dismissed: nothing happens
    EXPECT_FALSE(dlg->modified);

    // Below the last row the click clears the selection, and no menu comes.
    const QPoint below(rowCentre(*dlg, 1).x(), dlg->listCtrl()->viewport()->height() - 5);
    QTest::mouseClick(dlg->listCtrl()->viewport(), Qt::RightButton, {}, below);
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), -1);
    dlg->showRecordMenu();
    EXPECT_EQ(menus, 1);
}

TEST_F(RecordCommands, MenuCommandsRunOnTheRowSelectedWhenTheMenuOpened) {
    PersonRecord& anna = add(record("Anna", 2, 2, 1990));
    PersonRecord& bert = add(record("Bert", 3, 3, 1990));
    auto dlg = open();
    dlg->runEditor = editorAnswering(nullptr, PersonControl::Cancel);
    // Each menu moves the selection to the other row before answering.
    const auto choose = [&dlg](int command) {
        return [&dlg, command](QMenu&, const QPoint&) {
            dlg->listCtrl()->SetSelected(1 - dlg->listCtrl()->GetFirstSelected());
            return command;
        };
    };

    dlg->listCtrl()->SetSelected(rowOf(*dlg, bert));
    dlg->chooseFromMenu = choose(CKivoDlg::ID_EDIT);
    dlg->showRecordMenu();
    ASSERT_EQ(handed.size(), 1u);
    EXPECT_EQ(handed[0].name, "Bert");

    dlg->chooseFromMenu = choose(CKivoDlg::ID_NEW);
    dlg->showRecordMenu();
    ASSERT_EQ(handed.size(), 2u);
    EXPECT_EQ(handed[1].name, "");

    dlg->listCtrl()->SetSelected(rowOf(*dlg, anna));
    dlg->chooseFromMenu = choose(CKivoDlg::ID_DELETE);
    dlg->showRecordMenu();
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"Bert"}));
    EXPECT_TRUE(dlg->modified);
}

// Enter on a focused button presses it: "New..." opens the editor and the window stays. Anywhere
// else Enter is Close, which takes the options over.
TEST_F(RecordCommands, EnterPressesTheFocusedButtonAndCloseElsewhere) {
    add(record("Anna", 2, 6, 1980));
    for (const SetupControl focusOn :
         {SetupControl::New, SetupControl::Close, SetupControl::PersonList,
          SetupControl::OnlyOnceADay, SetupControl::DaysToLookAhead}) {
        auto dlg = open();
        int editors = 0;
        dlg->runEditor = [&editors](CPersonDlg&) {
            ++editors;
            return int(IDCANCEL);
        };
        test::showActive(*dlg);
        retype(control<QLineEdit>(*dlg, SetupControl::PastDays), "9");
        ASSERT_TRUE(test::tabTo(*dlg, focusOn));
        test::press(Qt::Key_Return);
        EXPECT_EQ(editors, focusOn == SetupControl::New ? 1 : 0) << "Enter on " << focusOn;
        EXPECT_EQ(dlg->isVisible(), focusOn == SetupControl::New) << "Enter on " << focusOn;
        if (focusOn != SetupControl::New) {
            EXPECT_EQ(dlg->result(), IDOK) << "Enter on " << focusOn;
            EXPECT_EQ(settings.pastDays, 9) << "Enter on " << focusOn;
        }
        settings.pastDays = 0;
    }
}

// The editor opened from the list: Tab to Cancel and Enter leaves the record as it was.
TEST_F(RecordCommands, EnterOnTheEditorsCancelChangesNothing) {
    PersonRecord& anna = add(record("anna", 2, 6, 1980));
    auto dlg = open();
    test::showActive(*dlg);
    ScriptedUser user;
    user.then([](QWidget* editor) {
        if (test::activate(*editor)) {
            test::press(Qt::Key_End);
            QTest::keyClicks(QApplication::focusWidget(), "XYZ");
            EXPECT_TRUE(test::tabTo(*editor, PersonControl::Cancel));
            test::press(Qt::Key_Return);
        }
        EXPECT_FALSE(editor->isVisible());
        editor->close(); // a failing test ends instead of waiting
    });
    dlg->editRecord(rowOf(*dlg, anna));
    EXPECT_TRUE(user.done());
    EXPECT_EQ(anna.name, "anna");
    EXPECT_FALSE(dlg->modified);
}

// Shift+F10 and the Menu key open the menu of the selected row, at that row, scrolled into view.
TEST_F(RecordCommands, MenuKeyAndShiftF10OpenTheMenuAtTheSelectedRow) {
    for (int i = 0; i < 40; ++i)
        add(record("Name " + std::to_string(10 + i), 1 + i % 28, 1 + i % 12, 1980));
    auto dlg = open();
    test::showActive(*dlg);
    std::vector<QPoint> shownAt;
    int command = 0;
    dlg->chooseFromMenu = [&](QMenu& menu, const QPoint& at) {
        EXPECT_EQ(menu.actions().size(), 3);
        shownAt.push_back(at);
        return command;
    };
    ASSERT_TRUE(test::tabTo(*dlg, SetupControl::PersonList));
    test::press(Qt::Key_Menu);
    EXPECT_TRUE(shownAt.empty()) << "no row is selected";

    CListCtrlEx* list = dlg->listCtrl();
    const PersonRecord& chosen = records[5];
    for (const auto& [key, modifiers] :
         {std::pair{Qt::Key_Menu, Qt::NoModifier}, std::pair{Qt::Key_F10, Qt::ShiftModifier}}) {
        shownAt.clear();
        list->SetSelected(rowOf(*dlg, chosen));
        list->EnsureVisible(list->GetItemCount() - 1);
        test::press(key, modifiers);
        const int row = rowOf(*dlg, chosen);
        ASSERT_EQ(shownAt.size(), 1u);
        EXPECT_TRUE(rowVisible(*dlg, row));
        const QRect label = list->GetItemRect(row, CListCtrlEx::ItemPart::Label);
        EXPECT_EQ(shownAt[0],
                  list->viewport()->mapToGlobal(QPoint(label.left(), label.center().y())));
    }
    shownAt.clear();
    test::press(Qt::Key_F10);
    EXPECT_TRUE(shownAt.empty()) << "F10 alone is no menu key";

    command = CKivoDlg::ID_DELETE;
    test::press(Qt::Key_Menu);
    EXPECT_EQ(records.size(), 39u);
    EXPECT_FALSE(records.contains(&chosen));
}

TEST_F(RecordCommands, DeleteKeyDeletesWhereverTheFocusIsOutsideText) {
    for (const char* name : {"Anna", "Bert", "Carl", "Dora"})
        add(record(name, 2, 2, 1990));
    auto dlg = openShown();
    CListCtrlEx* list = dlg->listCtrl();

    // Without a selected row the key does nothing.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(records.size(), 4u);
    EXPECT_FALSE(dlg->modified);

    list->SetSelected(0);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Bert", "Carl", "Dora"}));
    EXPECT_TRUE(dlg->modified);

    for (const SetupControl id : {SetupControl::New, SetupControl::OnlyOnceADay}) {
        QWidget* focused = control<QWidget>(*dlg, id);
        focused->setFocus();
        QTest::keyClick(focused, Qt::Key_Delete);
    }
    EXPECT_EQ(recordNames(), (std::vector<std::string>{"Dora"}));
    EXPECT_TRUE(dlg->isVisible()); // the key did not press the focused button either
}

TEST_F(RecordCommands, DeleteKeyInAnEditBoxEditsTheTextAndKeepsTheRecords) {
    add(record("Anna", 2, 2, 1990));
    add(record("Bert", 3, 3, 1990));
    auto dlg = openShown();
    dlg->listCtrl()->SetSelected(0);
    for (const SetupControl id : {SetupControl::DaysToLookAhead, SetupControl::PastDays}) {
        auto* edit = control<QLineEdit>(*dlg, id);
        edit->setText("14");
        edit->setFocus();
        edit->setCursorPosition(0);
        QTest::keyClick(edit, Qt::Key_Delete);
        EXPECT_EQ(edit->text().toStdString(), "4") << id;
    }
    EXPECT_EQ(records.size(), 2u);
    EXPECT_EQ(dlg->listCtrl()->GetItemCount(), 2);
    EXPECT_EQ(dlg->listCtrl()->GetFirstSelected(), 0);
    EXPECT_FALSE(dlg->modified);
}

} // namespace
} // namespace kivo
