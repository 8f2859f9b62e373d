// The person editor: what it shows, the days validation, the live caption and sample, the
// leapling row, out-of-range values, translated texts, and dates the picker cannot show.
#include "windows/person_dlg.h"

#include "support/window_fixture.h"

#include <QApplication>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace kivo {
namespace {

using test::control;
using test::FakePlatform;
using test::ymd;

std::string str(const QString& s) {
    return s.toStdString();
}

// The editor as the setup window prepares it for a record, with the clock on Sunday 7 June 2026.
struct PersonEditor : ::testing::Test {
    FakePlatform fake;
    TextTable texts;
    AppSettings settings;

    std::unique_ptr<CPersonDlg> prepare(int day = 12, int month = 6, int year = 2026) {
        auto dlg = std::make_unique<CPersonDlg>(fake.platform);
        dlg->name = "Anna";
        dlg->email = "anna@example.org";
        dlg->date = CPersonDlg::editorDateFor(day, month, year);
        dlg->shownWhenInvalid = CPersonDlg::shownDateFor(day, month, QDate(2026, 6, 7));
        dlg->icon = 4;
        dlg->daysInAdvance = 7;
        dlg->type = 0;
        dlg->infoOnly = 0;
        dlg->dontPrint = 1;
        dlg->leapling = 0;
        dlg->texts = &texts;
        dlg->settings = &settings;
        return dlg;
    }

    static std::string label(const CPersonDlg& dlg, PersonControl id) {
        return str(control<QLabel>(dlg, id)->text());
    }
    static std::string sample(const CPersonDlg& dlg) {
        return label(dlg, PersonControl::SampleReminder);
    }
    static QLineEdit* nameEdit(const CPersonDlg& dlg) {
        return control<QLineEdit>(dlg, PersonControl::Name);
    }
    static QLineEdit* daysEdit(const CPersonDlg& dlg) {
        return control<QLineEdit>(dlg, PersonControl::DaysInAdvance);
    }
    static QDateEdit* picker(const CPersonDlg& dlg) {
        return control<QDateEdit>(dlg, PersonControl::BirthDate);
    }
    static bool leaplingShown(const CPersonDlg& dlg) {
        const bool list = !control<QComboBox>(dlg, PersonControl::Leapling)->isHidden();
        EXPECT_EQ(list, !control<QLabel>(dlg, PersonControl::LeaplingLabel)->isHidden());
        return list;
    }
    static std::vector<std::string> items(const QComboBox* list) {
        std::vector<std::string> out;
        for (int i = 0; i < list->count(); ++i)
            out.push_back(str(list->itemText(i)));
        return out;
    }
    // Shows the dialog and presses OK, as the user would; returns whether it closed with OK.
    static bool pressOk(CPersonDlg& dlg) {
        dlg.show();
        control<QPushButton>(dlg, PersonControl::Ok)->click();
        return !dlg.isVisible() && dlg.result() == IDOK;
    }
    const std::vector<std::string>& warnings() const { return fake.messages.warnings; }
};

TEST_F(PersonEditor, ShowsTheGivenValuesWithTheirSample) {
    auto dlg = prepare();
    dlg->initialize();
    EXPECT_EQ(str(nameEdit(*dlg)->text()), "Anna");
    EXPECT_EQ(str(control<QLineEdit>(*dlg, PersonControl::Email)->text()), "anna@example.org");
    EXPECT_EQ(picker(*dlg)->date(), QDate(2026, 6, 12));
    EXPECT_EQ(str(daysEdit(*dlg)->text()), "7");
    EXPECT_FALSE(control<QCheckBox>(*dlg, PersonControl::DontRemind)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(*dlg, PersonControl::DontPrint)->isChecked());
    EXPECT_EQ(control<QComboBox>(*dlg, PersonControl::Icon)->count(), 32);
    EXPECT_EQ(control<QComboBox>(*dlg, PersonControl::Icon)->currentIndex(), 4);
    EXPECT_EQ(items(control<QComboBox>(*dlg, PersonControl::Type)),
              (std::vector<std::string>{"Birthday", "Annual Event", "Birthday (unknown age)",
                                        "Annual Event (with start date)"}));
    EXPECT_EQ(control<QComboBox>(*dlg, PersonControl::Type)->currentIndex(), 0);
    EXPECT_EQ(items(control<QComboBox>(*dlg, PersonControl::Leapling)),
              (std::vector<std::string>{"February 28", "March 1"}));
    EXPECT_EQ(control<QComboBox>(*dlg, PersonControl::Leapling)->currentIndex(), 0);
    EXPECT_FALSE(leaplingShown(*dlg));

    EXPECT_EQ(str(dlg->windowTitle()), "Anna - properties");
    EXPECT_EQ(label(*dlg, PersonControl::NameLabel), "Name:");
    EXPECT_EQ(label(*dlg, PersonControl::BirthDateLabel), "Birthday:");
    EXPECT_EQ(str(control<QGroupBox>(*dlg, PersonControl::SampleReminderGroup)->title()),
              "Sample reminder:");
    EXPECT_EQ(sample(*dlg), "Anna will be XX on Friday 01/01/11 (in 7 days)");
    EXPECT_EQ(control<SpinButton>(*dlg, PersonControl::DaysInAdvanceArrows)->lower(), 0);
    EXPECT_EQ(control<SpinButton>(*dlg, PersonControl::DaysInAdvanceArrows)->upper(), 999);
    EXPECT_TRUE(warnings().empty());
    EXPECT_FALSE(dlg->dateChangedByUser());
}

TEST_F(PersonEditor, OkHandsBackWhatTheUserChanged) {
    auto dlg = prepare();
    dlg->initialize();
    nameEdit(*dlg)->setText("Bea");
    control<QLineEdit>(*dlg, PersonControl::Email)->setText("bea@example.org");
    picker(*dlg)->setDate(QDate(2026, 8, 1));
    control<QComboBox>(*dlg, PersonControl::Icon)->setCurrentIndex(9);
    daysEdit(*dlg)->setText("30");
    control<QComboBox>(*dlg, PersonControl::Type)->setCurrentIndex(2);
    control<QCheckBox>(*dlg, PersonControl::DontRemind)->setChecked(true);
    control<QCheckBox>(*dlg, PersonControl::DontPrint)->setChecked(false);
    ASSERT_TRUE(pressOk(*dlg));
    EXPECT_EQ(dlg->name, "Bea");
    EXPECT_EQ(dlg->email, "bea@example.org");
    EXPECT_EQ(dlg->date, QDate(2026, 8, 1));
    EXPECT_TRUE(dlg->dateChangedByUser());
    EXPECT_EQ(dlg->icon, 9);
    EXPECT_EQ(dlg->daysInAdvance, 30);
    EXPECT_EQ(dlg->type, 2);
    EXPECT_EQ(dlg->infoOnly, 1);
    EXPECT_EQ(dlg->dontPrint, 0);
    EXPECT_EQ(dlg->leapling, 0);
    EXPECT_TRUE(warnings().empty());
}

TEST_F(PersonEditor, CancelEndsWithoutValidating) {
    auto dlg = prepare();
    dlg->initialize();
    daysEdit(*dlg)->setText("abc");
    const std::size_t shown = warnings().size();
    dlg->show();
    control<QPushButton>(*dlg, PersonControl::Cancel)->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), IDCANCEL);
    EXPECT_EQ(warnings().size(), shown);
}

TEST_F(PersonEditor, DaysOutsideZeroTo365WarnAndOkStaysOpen) {
    auto dlg = prepare();
    dlg->initialize();
    // The arrows go up to 999, past what is accepted.
    daysEdit(*dlg)->setText("399");
    fake.messages.warnings.clear();
    QTest::keyClick(daysEdit(*dlg), Qt::Key_Up);
    EXPECT_EQ(str(daysEdit(*dlg)->text()), "400");
    EXPECT_EQ(warnings(), std::vector<std::string>{"Please enter an integer between 0 and 365."});
    EXPECT_EQ(sample(*dlg), "Anna will be XX on Friday 01/01/11 (in 400 days)");
    EXPECT_FALSE(pressOk(*dlg));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(warnings().size(), 2u);

    daysEdit(*dlg)->setText("998");
    control<SpinButton>(*dlg, PersonControl::DaysInAdvanceArrows)->stepBy(5);
    EXPECT_EQ(str(daysEdit(*dlg)->text()), "999");

    fake.messages.warnings.clear();
    daysEdit(*dlg)->setText("abc");
    EXPECT_FALSE(pressOk(*dlg));
    EXPECT_EQ(warnings().back(), "Please enter an integer.");
    daysEdit(*dlg)->setText("-1");
    EXPECT_FALSE(pressOk(*dlg));
    EXPECT_EQ(warnings().back(), "Please enter an integer between 0 and 365.");

    for (const char* bound : {"0", "365"}) {
        auto edge = prepare();
        edge->initialize();
        fake.messages.warnings.clear();
        daysEdit(*edge)->setText(bound);
        EXPECT_TRUE(pressOk(*edge)) << bound;
        EXPECT_EQ(edge->daysInAdvance, std::stoi(bound));
        EXPECT_TRUE(warnings().empty()) << bound;
    }
}

TEST_F(PersonEditor, AFailedReadStopsAtTheDaysField) {
    auto dlg = prepare();
    dlg->initialize();
    daysEdit(*dlg)->setText("400");
    control<QLineEdit>(*dlg, PersonControl::Email)->setText("new@example.org");
    control<QCheckBox>(*dlg, PersonControl::DontRemind)->setChecked(true);
    picker(*dlg)->setDate(QDate(2026, 9, 1));
    nameEdit(*dlg)->setText("Bea"); // reads again, and stops at the days again
    EXPECT_FALSE(pressOk(*dlg));
    EXPECT_EQ(dlg->name, "Bea"); // name and date come before the days
    EXPECT_EQ(dlg->date, QDate(2026, 9, 1));
    EXPECT_EQ(dlg->email, "anna@example.org");
    EXPECT_EQ(dlg->infoOnly, 0);
}

TEST_F(PersonEditor, CaptionAndSampleFollowEachKeystrokeOfTheName) {
    auto dlg = prepare();
    dlg->name = "";
    dlg->initialize();
    EXPECT_EQ(str(dlg->windowTitle()), "No name");
    EXPECT_EQ(sample(*dlg), " will be XX on Friday 01/01/11 (in 7 days)");
    std::string typed;
    for (const char c : std::string("anna")) {
        QTest::keyClick(nameEdit(*dlg), c);
        typed += c;
        EXPECT_EQ(str(dlg->windowTitle()), typed + " - properties");
        EXPECT_EQ(dlg->name, typed);
    }
    EXPECT_EQ(sample(*dlg), "anna will be XX on Friday 01/01/11 (in 7 days)");
    nameEdit(*dlg)->clear();
    EXPECT_EQ(str(dlg->windowTitle()), "No name");

    // Each keystroke reads with validation, so a bad days value is reported again.
    daysEdit(*dlg)->setText("400");
    const std::size_t before = warnings().size();
    QTest::keyClick(nameEdit(*dlg), 'b');
    EXPECT_GT(warnings().size(), before);
    EXPECT_EQ(str(dlg->windowTitle()), "b - properties");
}

TEST_F(PersonEditor, LabelsAndSampleFollowTheType) {
    auto dlg = prepare();
    dlg->initialize();
    struct Expected {
        const char* nameLabel;
        const char* dateLabel;
        const char* sample;
    };
    const Expected expected[] = {
        {"Name:", "Birthday:", "Anna will be XX on Friday 01/01/11 (in 7 days)"},
        {"Event:", "Date:", "Anna on Friday 01/01/11 (in 7 days)"},
        {"Name:", "Birthday:", "Anna has a birthday on Friday 01/01/11 (in 7 days)"},
        {"Event:", "First date:", "XXxx Anna on Friday 01/01/11 (in 7 days)"},
    };
    for (int t : {3, 1, 2, 0}) {
        control<QComboBox>(*dlg, PersonControl::Type)->setCurrentIndex(t);
        EXPECT_EQ(dlg->type, t);
        EXPECT_EQ(label(*dlg, PersonControl::NameLabel), expected[t].nameLabel) << t;
        EXPECT_EQ(label(*dlg, PersonControl::BirthDateLabel), expected[t].dateLabel) << t;
        EXPECT_EQ(sample(*dlg), expected[t].sample) << t;
    }
}

TEST_F(PersonEditor, SampleTakesLeadingDigitsAndThePickedWeekdayAtTheNextRefresh) {
    auto dlg = prepare();
    dlg->initialize();
    daysEdit(*dlg)->setText("12abc");
    EXPECT_EQ(sample(*dlg), "Anna will be XX on Friday 01/01/11 (in 12 days)");
    daysEdit(*dlg)->setText("3");
    picker(*dlg)->setDate(QDate(2026, 6, 7));
    EXPECT_EQ(sample(*dlg), "Anna will be XX on Friday 01/01/11 (in 3 days)");
    QTest::keyClick(nameEdit(*dlg), Qt::Key_End); // the name opens selected
    QTest::keyClick(nameEdit(*dlg), 'x');
    EXPECT_EQ(sample(*dlg), "Annax will be XX on Sunday 01/01/11 (in 3 days)");
}

TEST_F(PersonEditor, LeaplingRowOnlyFor29FebruaryAndReadEvenWhenHidden) {
    CPersonDlg fresh(fake.platform);
    EXPECT_EQ(fresh.leapling, 1);
    fresh.initialize();
    EXPECT_EQ(control<QComboBox>(fresh, PersonControl::Leapling)->currentIndex(), 1);

    auto dlg = prepare();
    dlg->initialize();
    picker(*dlg)->setDate(QDate(2028, 2, 29));
    EXPECT_TRUE(leaplingShown(*dlg));
    control<QComboBox>(*dlg, PersonControl::Leapling)->setCurrentIndex(1);
    picker(*dlg)->setDate(QDate(2028, 3, 1));
    EXPECT_FALSE(leaplingShown(*dlg));
    ASSERT_TRUE(pressOk(*dlg));
    EXPECT_EQ(dlg->leapling, 1);

    auto leapDay = prepare(29, 2, 1996);
    leapDay->initialize();
    EXPECT_TRUE(leaplingShown(*leapDay));
}

TEST_F(PersonEditor, OutOfRangeIconAndTypeLeaveTheListsUnselected) {
    auto dlg = prepare();
    dlg->icon = -1;
    dlg->type = 7;
    dlg->leapling = 5;
    dlg->initialize();
    EXPECT_EQ(control<QComboBox>(*dlg, PersonControl::Icon)->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>(*dlg, PersonControl::Type)->currentIndex(), -1);
    EXPECT_EQ(control<QComboBox>(*dlg, PersonControl::Leapling)->currentIndex(), -1);
    EXPECT_EQ(dlg->type, -1);
    EXPECT_EQ(sample(*dlg), "Static");
    EXPECT_EQ(label(*dlg, PersonControl::BirthDateLabel), "Birth date:");
    QTest::keyClick(nameEdit(*dlg), 'x');
    EXPECT_EQ(sample(*dlg), "Static");
    ASSERT_TRUE(pressOk(*dlg));
    EXPECT_EQ(dlg->icon, -1);
    EXPECT_EQ(dlg->type, -1);
    EXPECT_EQ(dlg->leapling, -1);

    auto picked = prepare();
    picked->icon = 32;
    picked->initialize();
    EXPECT_EQ(control<QComboBox>(*picked, PersonControl::Icon)->currentIndex(), -1);
    control<QComboBox>(*picked, PersonControl::Icon)->setCurrentIndex(9);
    ASSERT_TRUE(pressOk(*picked));
    EXPECT_EQ(picked->icon, 9);
}

TEST_F(PersonEditor, EveryTextComesFromTheTextTable) {
    texts = {{"name:", "Nom :"},
             {"- PROPERTIES", "- Eigenschaften"},
             {"Birthday", "Geburtstag"},
             {"Birthday:", "Geburtstag:"},
             {"%s will be %s on %s %s (%s)", "%s wird %s am %s %s (%s)"},
             {"in %i days", "in %i Tagen"},
             {"Sample reminder:", "Beispiel:"},
             {"Don't print this", "Nicht drucken"},
             {"No name", "Ohne Namen"},
             {"OK", "Fertig"},
             // Sorted, these would swap places; the position must keep its meaning.
             {"February 28", "Zz 28. Februar"},
             {"March 1", "Aa 1. Maerz"}};
    auto dlg = prepare();
    dlg->initialize();
    EXPECT_EQ(str(dlg->windowTitle()), "Anna - Eigenschaften");
    EXPECT_EQ(label(*dlg, PersonControl::NameLabel), "Nom :");
    EXPECT_EQ(label(*dlg, PersonControl::BirthDateLabel), "Geburtstag:");
    EXPECT_EQ(str(control<QGroupBox>(*dlg, PersonControl::SampleReminderGroup)->title()),
              "Beispiel:");
    EXPECT_EQ(str(control<QCheckBox>(*dlg, PersonControl::DontPrint)->text()), "Nicht drucken");
    EXPECT_EQ(str(control<QComboBox>(*dlg, PersonControl::Type)->itemText(0)), "Geburtstag");
    EXPECT_EQ(sample(*dlg), "Anna wird XX am Friday 01/01/11 (in 7 Tagen)");
    // One "OK" line serves every OK button of the program, this one too.
    EXPECT_EQ(str(control<QPushButton>(*dlg, PersonControl::Ok)->text()), "Fertig");
    EXPECT_EQ(str(control<QPushButton>(*dlg, PersonControl::Cancel)->text()), "Cancel");
    EXPECT_EQ(items(control<QComboBox>(*dlg, PersonControl::Leapling)),
              (std::vector<std::string>{"Zz 28. Februar", "Aa 1. Maerz"}));
    nameEdit(*dlg)->clear();
    EXPECT_EQ(str(dlg->windowTitle()), "Ohne Namen");
    ASSERT_TRUE(pressOk(*dlg));
    EXPECT_EQ(dlg->leapling, 0);
}

TEST_F(PersonEditor, UnshowableDateIsKeptWhenOnlyOtherFieldsChange) {
    fake.clock.date = ymd(2031, 1, 15);
    struct Case {
        int day, month, year;
        bool useCallerShown;
        QDate shown;
        bool leapRow;
    };
    const Case cases[] = {
        {12, 6, 0, true, QDate(2026, 6, 12), false},     // a record without a year
        {29, 2, 0, true, QDate(2028, 2, 29), true},      // a leap day without a year
        {0, 0, 1990, true, QDate(2026, 6, 7), false},    // no day and month: today
        {31, 4, 2000, false, QDate(2031, 1, 15), false}, // nothing from the caller: the clock
    };
    for (const Case& c : cases) {
        auto dlg = prepare(c.day, c.month, c.year);
        ASSERT_FALSE(dlg->date.isValid());
        if (!c.useCallerShown)
            dlg->shownWhenInvalid = QDate();
        dlg->initialize();
        EXPECT_EQ(picker(*dlg)->date(), c.shown) << c.day << "." << c.month << "." << c.year;
        EXPECT_EQ(leaplingShown(*dlg), c.leapRow);
        EXPECT_FALSE(dlg->dateChangedByUser());
        control<QLineEdit>(*dlg, PersonControl::Email)->setText("new@example.org");
        nameEdit(*dlg)->setText("Anna B");
        ASSERT_TRUE(pressOk(*dlg));
        EXPECT_FALSE(dlg->date.isValid());
        EXPECT_FALSE(dlg->dateChangedByUser());
        EXPECT_EQ(dlg->email, "new@example.org");
        EXPECT_EQ(dlg->leapling, 0);
    }
}

TEST_F(PersonEditor, PickingADateReplacesAnUnshowableOne) {
    auto dlg = prepare(12, 6, 0);
    dlg->initialize();
    picker(*dlg)->setDate(QDate(2026, 7, 1));
    EXPECT_TRUE(dlg->dateChangedByUser());
    ASSERT_TRUE(pressOk(*dlg));
    EXPECT_EQ(dlg->date, QDate(2026, 7, 1));
}

TEST_F(PersonEditor, OldDatesComeBackUnchanged) {
    for (const QDate old : {QDate(1650, 3, 10), QDate(100, 1, 1), QDate(9999, 12, 31)}) {
        auto dlg = prepare(old.day(), old.month(), old.year());
        dlg->initialize();
        EXPECT_EQ(picker(*dlg)->date(), old);
        ASSERT_TRUE(pressOk(*dlg));
        EXPECT_EQ(dlg->date, old);
    }
}

// The editor driven from the keyboard, on the screen.
struct PersonEditorKeys : PersonEditor {
    std::unique_ptr<CPersonDlg> shown(QWidget* owner = nullptr, int day = 12, int month = 6) {
        auto dlg = std::make_unique<CPersonDlg>(fake.platform, owner);
        auto prepared = prepare(day, month, 2000);
        dlg->name = prepared->name;
        dlg->date = prepared->date;
        dlg->texts = &texts;
        dlg->settings = &settings;
        EXPECT_TRUE(dlg->initialize());
        test::showActive(*dlg);
        return dlg;
    }
};

// A focused button takes Enter itself; anywhere else Enter is OK. Cancel must never save.
TEST_F(PersonEditorKeys, EnterPressesTheFocusedButtonAndOkElsewhere) {
    struct Case {
        PersonControl focusOn;
        int result;
    };
    for (const Case c : {Case{PersonControl::Cancel, IDCANCEL}, Case{PersonControl::Ok, IDOK},
                         Case{PersonControl::Email, IDOK}, Case{PersonControl::DontRemind, IDOK},
                         Case{PersonControl::Type, IDOK}, Case{PersonControl::BirthDate, IDOK}}) {
        auto dlg = shown();
        QTest::keyClicks(QApplication::focusWidget(), "XYZ");
        ASSERT_TRUE(test::tabTo(*dlg, c.focusOn)) << c.focusOn;
        test::press(Qt::Key_Return);
        EXPECT_FALSE(dlg->isVisible()) << "Enter on " << c.focusOn;
        EXPECT_EQ(dlg->result(), c.result) << "Enter on " << c.focusOn;
        if (c.result == IDOK) {
            EXPECT_EQ(dlg->name, "XYZ") << "typing replaced the selected name";
        }
    }
}

// Tab goes through the controls in the template's order, over the date picker in one step; the
// leapling list joins only when it is shown.
TEST_F(PersonEditorKeys, TabAndShiftTabWalkTheTemplateOrder) {
    using enum PersonControl;
    const std::vector<ControlId> order = {
        Name, Email, BirthDate, Icon, DaysInAdvance, Type, DontRemind, DontPrint, Ok, Cancel, Name};
    auto dlg = shown();
    std::vector<ControlId> forward = {test::focusedId(*dlg)};
    for (std::size_t i = 1; i < order.size(); ++i) {
        test::press(Qt::Key_Tab);
        forward.push_back(test::focusedId(*dlg));
    }
    EXPECT_EQ(forward, order);
    std::vector<ControlId> backward = {test::focusedId(*dlg)};
    for (std::size_t i = 1; i < order.size(); ++i) {
        test::press(Qt::Key_Tab, Qt::ShiftModifier);
        backward.push_back(test::focusedId(*dlg));
    }
    EXPECT_EQ(backward, std::vector<ControlId>(order.rbegin(), order.rend()));

    auto leap = shown(nullptr, 29, 2);
    ASSERT_TRUE(test::tabTo(*leap, BirthDate));
    test::press(Qt::Key_Tab);
    EXPECT_EQ(test::focusedId(*leap), Leapling);
    test::press(Qt::Key_Backtab);
    EXPECT_EQ(test::focusedId(*leap), BirthDate);
}

// Inside the picker the left and right arrows go from part to part and stay in the picker; up
// and down change the part.
TEST_F(PersonEditorKeys, ArrowsMoveBetweenThePartsOfTheDate) {
    auto dlg = shown();
    QDateEdit* date = picker(*dlg);
    ASSERT_TRUE(test::tabTo(*dlg, PersonControl::BirthDate));
    const int parts = date->sectionCount();
    ASSERT_GE(parts, 3);
    date->setCurrentSectionIndex(0);
    for (int i = 1; i < parts + 2; ++i) {
        test::press(Qt::Key_Right);
        EXPECT_EQ(date->currentSectionIndex(), std::min(i, parts - 1));
    }
    date->setCurrentSection(QDateTimeEdit::YearSection);
    test::press(Qt::Key_Up);
    EXPECT_EQ(date->date(), QDate(2001, 6, 12));
    test::press(Qt::Key_Left);
    EXPECT_NE(date->currentSection(), QDateTimeEdit::YearSection);
    EXPECT_EQ(test::focusedId(*dlg), PersonControl::BirthDate);
}

// A birth date typed digit by digit into the picker's day, month and year is what OK hands back,
// and the leapling row follows the typed date: 29 February is kept in a leap year and becomes the
// month's last day in a common one.
TEST_F(PersonEditorKeys, ADateTypedDigitByDigitIsTheDateOnOk) {
    struct Case {
        const char* keys; // into the day, then the month, then the year
        QDate taken;
        bool leapling;
    };
    for (const Case c :
         {Case{"15031990", QDate(1990, 3, 15), false}, Case{"29021996", QDate(1996, 2, 29), true},
          Case{"29022023", QDate(2023, 2, 28), false}}) {
        auto dlg = shown();
        QDateEdit* date = picker(*dlg);
        // The long format of the C locale, whatever the machine's: weekday, day, month, year.
        date->setDisplayFormat("dddd, d MMMM yyyy");
        // Tab starts on the weekday, which passes what is typed on to the day.
        ASSERT_TRUE(test::tabTo(*dlg, PersonControl::BirthDate));
        date->setCurrentSectionIndex(0);
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(c.keys, 2));
        ASSERT_EQ(date->currentSection(), QDateTimeEdit::MonthSection) << c.keys;
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(c.keys + 2, 2));
        ASSERT_EQ(date->currentSection(), QDateTimeEdit::YearSection) << c.keys;
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLatin1(c.keys + 4));
        EXPECT_EQ(leaplingShown(*dlg), c.leapling) << c.keys;
        test::press(Qt::Key_Return);
        EXPECT_EQ(dlg->result(), IDOK) << c.keys;
        EXPECT_EQ(dlg->date, c.taken) << c.keys;
    }
}

// Over its owner, centred, with the name selected so that typing replaces it; the calendar drops
// down under the picker's right edge.
TEST_F(PersonEditorKeys, OpensCentredOverItsOwnerWithTheNameSelected) {
    QWidget owner;
    owner.setGeometry(40, 60, 900, 600);
    test::showActive(owner);
    auto dlg = shown(&owner);
    EXPECT_LE((dlg->frameGeometry().center() - owner.frameGeometry().center()).manhattanLength(),
              2);
    EXPECT_FALSE(dlg->windowIcon().isNull());
    EXPECT_EQ(QApplication::focusWidget(), nameEdit(*dlg));
    EXPECT_EQ(str(nameEdit(*dlg)->selectedText()), "Anna");

    QDateEdit* date = picker(*dlg);
    QTest::mouseClick(date, Qt::LeftButton, {}, QPoint(date->width() - 4, date->height() / 2));
    QWidget* calendar = date->calendarWidget()->window();
    ASSERT_TRUE(calendar->isVisible());
    EXPECT_EQ(calendar->geometry().right(), date->mapToGlobal(QPoint(date->width() - 1, 0)).x());
    EXPECT_GE(calendar->geometry().top(), date->mapToGlobal(QPoint(0, date->height() - 1)).y());
    EXPECT_EQ(calendar->font().pointSizeF(), dlg->font().pointSizeF());
    calendar->close();
}

TEST(PersonEditorDates, EditorDateOnlyForRealCalendarDatesInRange) {
    EXPECT_EQ(CPersonDlg::editorDateFor(29, 2, 2024), QDate(2024, 2, 29));
    EXPECT_EQ(CPersonDlg::editorDateFor(29, 2, 2000), QDate(2000, 2, 29));
    EXPECT_EQ(CPersonDlg::editorDateFor(1, 1, 100), QDate(100, 1, 1));
    EXPECT_EQ(CPersonDlg::editorDateFor(31, 12, 9999), QDate(9999, 12, 31));
    for (const auto& [d, m, y] : std::vector<std::tuple<int, int, int>>{{29, 2, 2023},
                                                                        {29, 2, 1900},
                                                                        {31, 4, 2020},
                                                                        {12, 6, 0},
                                                                        {12, 6, 99},
                                                                        {1, 1, 10000},
                                                                        {0, 6, 2020},
                                                                        {12, 0, 2020},
                                                                        {12, 13, 2020},
                                                                        {-1, 6, 2020},
                                                                        {12, 6, -5},
                                                                        {-1, -1, -1}})
        EXPECT_FALSE(CPersonDlg::editorDateFor(d, m, y).isValid()) << d << "." << m << "." << y;
}

TEST(PersonEditorDates, ShownDateIsTheDayInTodaysYearOrToday) {
    const QDate today(2026, 6, 7);
    EXPECT_EQ(CPersonDlg::shownDateFor(12, 6, today), QDate(2026, 6, 12));
    EXPECT_EQ(CPersonDlg::shownDateFor(1, 1, today), QDate(2026, 1, 1));
    EXPECT_EQ(CPersonDlg::shownDateFor(29, 2, today), QDate(2028, 2, 29));
    EXPECT_EQ(CPersonDlg::shownDateFor(29, 2, QDate(2028, 12, 31)), QDate(2028, 2, 29));
    EXPECT_EQ(CPersonDlg::shownDateFor(29, 2, QDate(2097, 1, 1)), QDate(2104, 2, 29)); // not 2100
    EXPECT_EQ(CPersonDlg::shownDateFor(0, 0, today), today);
    EXPECT_EQ(CPersonDlg::shownDateFor(31, 4, today), today);
    EXPECT_EQ(CPersonDlg::shownDateFor(-1, -1, today), today);
}

} // namespace
} // namespace kivo
