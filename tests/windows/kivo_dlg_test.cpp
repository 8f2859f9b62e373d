// The setup window: layout and captions, options in and out, the person list's cells, order and
// sorting, and the item count.
#include "windows/kivo_dlg.h"

#include "engine/date_text.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

namespace kivo {
namespace {

using test::control;
using test::record;
using test::retype;
using test::ymd;

// The setup window, with what its own tests read off the list and do to its headings.
struct SetupFixture : test::SetupWindowFixture {
    // The nine cells of the record's row, found by its item data; none when it has no row.
    static std::vector<std::string> cells(const CKivoDlg& dlg, const PersonRecord& r) {
        const int row = rowOf(dlg, r);
        std::vector<std::string> out;
        for (int c = 0; row >= 0 && c < CKivoDlg::ColumnCount; ++c)
            out.push_back(dlg.listCtrl()->GetItemText(row, c).toStdString());
        return out;
    }

    static void clickHeading(CKivoDlg& dlg, int c) {
        QHeaderView* header = dlg.listCtrl()->headerCtrl();
        const QPoint at(header->sectionViewportPosition(c) + 5, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
};

TEST_F(SetupFixture, BuiltFromItsTemplateWithEveryControl) {
    auto dlg = open();
    const DialogUnits units = dialogUnitsFor(dlg->font());
    EXPECT_EQ(dlg->size(), QSize(units.x(642), units.y(303)));
    for (const ControlTemplate& c : kSetupDialog.controls) {
        if (!c.id.named())
            continue;
        QWidget* w = control<QWidget>(*dlg, c.id);
        if (!w)
            continue;
        // The arrows sit against their buddy, wherever the template puts them.
        if (c.kind != ControlKind::Spin) {
            EXPECT_EQ(w->pos(), QPoint(units.x(c.x), units.y(c.y))) << c.id;
        }
        EXPECT_EQ(w->isHidden(), (c.style & StyleHidden) != 0) << c.id;
    }
    EXPECT_NE(dlg->listCtrl(), nullptr);
    EXPECT_EQ(dlg->listCtrl(), control<CListCtrlEx>(*dlg, SetupControl::PersonList));
    EXPECT_EQ(dlg->listCtrl()->rowHighlightMode(), CListCtrlEx::HighlightToEdge);
    EXPECT_TRUE(control<QPushButton>(*dlg, SetupControl::Close)->isDefault());
    EXPECT_FALSE(dlg->windowIcon().isNull());
    EXPECT_FALSE(dlg->modified);
}

TEST_F(SetupFixture, CaptionsAndHeadingsPassThroughTheTextTable) {
    parseTextTable({"# German, in part", "options=Optionen", "Close=Schliessen", "NAME=Vorname",
                    "Velmik Fennaro Setup=Einrichtung",
                    "Print:=Drucken:", "Next month=Naechster Monat",
                    "Days to look ahead:=Tage voraus:", "Large reminder window=Grosses Fenster",
                    "Days of advance warning=Tage Vorwarnung",
                    "Show reminders as a notification=Als Mitteilung zeigen"},
                   texts);
    auto dlg = open();
    EXPECT_EQ(dlg->windowTitle().toStdString(), "Einrichtung");
    EXPECT_EQ(control<QPushButton>(*dlg, SetupControl::Close)->text().toStdString(), "Schliessen");
    EXPECT_EQ(control<QGroupBox>(*dlg, SetupControl::OptionsGroup)->title().toStdString(),
              "Optionen");
    EXPECT_EQ(control<QLabel>(*dlg, SetupControl::DaysToLookAheadLabel)->text().toStdString(),
              "Tage voraus:");
    EXPECT_EQ(control<QCheckBox>(*dlg, SetupControl::LargeReminder)->text().toStdString(),
              "Grosses Fenster");
    EXPECT_EQ(control<QCheckBox>(*dlg, SetupControl::NotifyReminders)->text().toStdString(),
              "Als Mitteilung zeigen");
    EXPECT_EQ(control<QPushButton>(*dlg, SetupControl::Print)->text().toStdString(), "Drucken:");
    EXPECT_EQ(control<QComboBox>(*dlg, SetupControl::PrintRange)->itemText(3).toStdString(),
              "Naechster Monat");
    const QAbstractItemModel* model = dlg->listCtrl()->model();
    EXPECT_EQ(model->headerData(0, Qt::Horizontal).toString().toStdString(), "Vorname");
    EXPECT_EQ(model->headerData(3, Qt::Horizontal).toString().toStdString(), "Age now");
    // The short headings keep their texts; a tooltip says what each column holds.
    EXPECT_EQ(model->headerData(2, Qt::Horizontal, Qt::ToolTipRole).toString().toStdString(),
              "Tage Vorwarnung");
    EXPECT_EQ(model->headerData(4, Qt::Horizontal).toString().toStdString(), "Days");
    EXPECT_EQ(model->headerData(4, Qt::Horizontal, Qt::ToolTipRole).toString().toStdString(),
              "Days until the next date");
    for (int c = 0; c < model->columnCount(); ++c)
        EXPECT_FALSE(model->headerData(c, Qt::Horizontal, Qt::ToolTipRole).toString().isEmpty())
            << "column " << c;

    // Untranslated captions are the program's own words, not the template's.
    EXPECT_EQ(control<QPushButton>(*dlg, SetupControl::New)->text().toStdString(), "New...");
    EXPECT_EQ(control<QGroupBox>(*dlg, SetupControl::DefaultsGroup)->title().toStdString(),
              "Default for new records");
    EXPECT_EQ(control<QPushButton>(*dlg, SetupControl::PrintThisYear)->text().toStdString(),
              "Print This Year");
    EXPECT_EQ(control<QLabel>(*dlg, SetupControl::PastDaysUnitLabel)->text().toStdString(), "days");
    EXPECT_EQ(control<QLabel>(*dlg, SetupControl::WebLink)->text().toStdString(),
              CKivoDlg::kMakerWebAddress);
}

TEST_F(SetupFixture, SpinPrintRangeAndIconBoxAreSetUp) {
    auto dlg = open();
    auto* spin = control<SpinButton>(*dlg, SetupControl::DaysToLookAheadArrows);
    auto* days = control<QLineEdit>(*dlg, SetupControl::DaysToLookAhead);
    EXPECT_EQ(spin->buddy(), days);
    EXPECT_EQ(spin->lower(), 1);
    EXPECT_EQ(spin->upper(), 365);
    days->setText("365");
    spin->stepBy(1);
    EXPECT_EQ(days->text().toStdString(), "365");

    auto* range = control<QComboBox>(*dlg, SetupControl::PrintRange);
    ASSERT_EQ(range->count(), 4);
    EXPECT_EQ(range->itemText(0).toStdString(), "This year");
    EXPECT_EQ(range->itemText(1).toStdString(), "Next year");
    EXPECT_EQ(range->itemText(2).toStdString(), "This month");
    EXPECT_EQ(range->currentIndex(), 0);

    auto* icons = control<QComboBox>(*dlg, SetupControl::DefaultIcon);
    ASSERT_EQ(icons->count(), 32);
    for (int i = 0; i < icons->count(); ++i) {
        EXPECT_TRUE(icons->itemText(i).isEmpty());
        EXPECT_FALSE(icons->itemIcon(i).isNull()) << "entry " << i;
    }
}

TEST_F(SetupFixture, OptionsAreLoadedFromTheSettings) {
    settings.onceADay = true;
    settings.alwaysOnTop = false;
    settings.printLarge = true;
    settings.largeReminder = false;
    settings.notifyReminders = true;
    settings.daysAhead = 14;
    settings.pastDays = 3;
    settings.defaultIcon = 17;
    auto dlg = open();
    EXPECT_TRUE(control<QCheckBox>(*dlg, SetupControl::NotifyReminders)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(*dlg, SetupControl::OnlyOnceADay)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*dlg, SetupControl::AlwaysOnTop)->isChecked());
    EXPECT_TRUE(control<QCheckBox>(*dlg, SetupControl::PrintLarge)->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*dlg, SetupControl::LargeReminder)->isChecked());
    EXPECT_EQ(control<QLineEdit>(*dlg, SetupControl::DaysToLookAhead)->text().toStdString(), "14");
    EXPECT_EQ(control<QLineEdit>(*dlg, SetupControl::PastDays)->text().toStdString(), "3");
    EXPECT_EQ(control<QComboBox>(*dlg, SetupControl::DefaultIcon)->currentIndex(), 17);
}

// What the user changes in every option control, and what the settings should then hold.
struct ChangedOptions {
    static void make(CKivoDlg& dlg) {
        control<QCheckBox>(dlg, SetupControl::OnlyOnceADay)->setChecked(true);
        control<QCheckBox>(dlg, SetupControl::AlwaysOnTop)->setChecked(true);
        control<QCheckBox>(dlg, SetupControl::PrintLarge)->setChecked(true);
        control<QCheckBox>(dlg, SetupControl::LargeReminder)->setChecked(true);
        control<QCheckBox>(dlg, SetupControl::NotifyReminders)->setChecked(true);
        retype(control<QLineEdit>(dlg, SetupControl::DaysToLookAhead), "999");
        retype(control<QLineEdit>(dlg, SetupControl::PastDays), "0");
        control<QComboBox>(dlg, SetupControl::DefaultIcon)->setCurrentIndex(31);
    }
    static void expectStored(const AppSettings& s) {
        EXPECT_TRUE(s.onceADay);
        EXPECT_TRUE(s.alwaysOnTop);
        EXPECT_TRUE(s.printLarge);
        EXPECT_TRUE(s.largeReminder);
        EXPECT_TRUE(s.notifyReminders);
        EXPECT_EQ(s.daysAhead, 999);
        EXPECT_EQ(s.pastDays, 0);
        EXPECT_EQ(s.defaultIcon, 31);
    }
};

TEST_F(SetupFixture, CloseTakesTheTypedOptionsOverAsTyped) {
    settings.daysAhead = 10;
    settings.pastDays = 2;
    add(record("Anna", 7, 3, 1980));
    auto dlg = openShown();
    ChangedOptions::make(*dlg);
    control<QPushButton>(*dlg, SetupControl::Close)->click();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), IDOK);
    ChangedOptions::expectStored(settings);
    EXPECT_FALSE(dlg->modified); // options alone do not rewrite the records file
}

TEST_F(SetupFixture, TitleBarCloseTakesTheOptionsOver) {
    auto dlg = openShown();
    ChangedOptions::make(*dlg);
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), IDCANCEL);
    ChangedOptions::expectStored(settings);
}

TEST_F(SetupFixture, EscapeDropsTheChangedOptions) {
    settings.daysAhead = 10;
    settings.pastDays = 2;
    settings.defaultIcon = 5;
    settings.sortColumn = 3;
    auto dlg = openShown();
    ChangedOptions::make(*dlg);
    clickHeading(*dlg, 4);
    QTest::keyClick(control<QLineEdit>(*dlg, SetupControl::DaysToLookAhead), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), IDCANCEL);
    EXPECT_FALSE(settings.onceADay);
    EXPECT_FALSE(settings.largeReminder);
    EXPECT_EQ(settings.daysAhead, 10);
    EXPECT_EQ(settings.pastDays, 2);
    EXPECT_EQ(settings.defaultIcon, 5);
    EXPECT_EQ(settings.sortColumn, 3);
}

TEST_F(SetupFixture, EnterInTheDaysBoxClosesAndAnEmptyBoxGivesZero) {
    settings.daysAhead = 10;
    auto dlg = openShown();
    control<QLineEdit>(*dlg, SetupControl::PastDays)->clear();
    retype(control<QLineEdit>(*dlg, SetupControl::DaysToLookAhead), "0");
    QTest::keyClick(control<QLineEdit>(*dlg, SetupControl::DaysToLookAhead), Qt::Key_Return);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(settings.daysAhead, 0);
    EXPECT_EQ(settings.pastDays, 0);
}

TEST_F(SetupFixture, AnIconOutsideTheBoxLeavesNoSelectionAndStoresMinusOne) {
    settings.defaultIcon = 40;
    auto dlg = open();
    EXPECT_EQ(control<QComboBox>(*dlg, SetupControl::DefaultIcon)->currentIndex(), -1);
    dlg->applyOptions();
    EXPECT_EQ(settings.defaultIcon, -1);
}

TEST_F(SetupFixture, BirthdayCellsCountABirthdayTodayAsReached) {
    PersonRecord& anna = add(record("Anna", 7, 3, 1980, {.daysInAdvance = 12, .icon = 9}));
    fake.clock.date = ymd(2025, 3, 7);
    ComputeOccurrence(anna, fake.clock.date);
    auto onTheDay = open();
    EXPECT_EQ(cells(*onTheDay, anna), (std::vector<std::string>{"Anna", "07/03/2025", "12", "45",
                                                                "0", "Yes", "B'day", "Yes", "9"}));
    EXPECT_EQ(onTheDay->today, ymd(2025, 3, 7));

    fake.clock.date = ymd(2025, 3, 6);
    ComputeOccurrence(anna, fake.clock.date);
    auto dayBefore = open();
    EXPECT_EQ(cell(*dayBefore, anna, CKivoDlg::ColAgeNow), "44");
    EXPECT_EQ(cell(*dayBefore, anna, CKivoDlg::ColDays), "1");

    fake.clock.date = ymd(2025, 3, 8);
    ComputeOccurrence(anna, fake.clock.date);
    auto dayAfter = open();
    EXPECT_EQ(cell(*dayAfter, anna, CKivoDlg::ColNext), "07/03/2026");
    EXPECT_EQ(cell(*dayAfter, anna, CKivoDlg::ColAgeNow), "45");
    EXPECT_EQ(cell(*dayAfter, anna, CKivoDlg::ColDays), "364");
}

TEST_F(SetupFixture, AgeAndDaysFollowTheTypeAndTheYear) {
    PersonRecord& noYear = add(record("No year", 10, 3, 0, {.type = Birthday}));
    PersonRecord& event = add(record("Club", 10, 3, 1990, {.type = AnnualEvent}));
    PersonRecord& date = add(record("Unknown age", 10, 3, 1990, {.type = BirthdayUnknownAge}));
    PersonRecord& started = add(record("Wedding", 10, 3, 2001, {.type = AnnualEventWithStart}));
    PersonRecord& odd = add(record("Odd type", 10, 3, 2001, {.type = 7}));
    auto dlg = open();
    const int age = CKivoDlg::ColAgeNow, days = CKivoDlg::ColDays, kind = CKivoDlg::ColType;
    EXPECT_EQ(cell(*dlg, noYear, age), "-");
    EXPECT_EQ(cell(*dlg, noYear, days), "-");
    EXPECT_EQ(cell(*dlg, noYear, CKivoDlg::ColNext), "10/03/2025");
    EXPECT_EQ(cell(*dlg, event, kind), "Event");
    EXPECT_EQ(cell(*dlg, event, age), "-");
    EXPECT_EQ(cell(*dlg, event, days), "4");
    EXPECT_EQ(cell(*dlg, date, kind), "Date");
    EXPECT_EQ(cell(*dlg, date, age), "-");
    EXPECT_EQ(cell(*dlg, started, kind), "Event");
    EXPECT_EQ(cell(*dlg, started, age), "23");
    EXPECT_EQ(cell(*dlg, odd, kind), "");
    EXPECT_EQ(cell(*dlg, odd, age), "");
    EXPECT_EQ(cell(*dlg, odd, days), "4");
}

TEST_F(SetupFixture, FlagsAndWordsAreLookedUp) {
    parseTextTable({"yes=Ja", "No=Nein", "B'day=Geb.", "Event=Termin"}, texts);
    PersonRecord& q = add(record("Quiet", 1, 5, 1970, {.infoOnly = true}));
    PersonRecord& u = add(record("Unprinted", 1, 5, 0, {.type = AnnualEvent, .dontPrint = true}));
    auto dlg = open();
    EXPECT_EQ(cell(*dlg, q, CKivoDlg::ColRemind), "Nein");
    EXPECT_EQ(cell(*dlg, q, CKivoDlg::ColPrint), "Ja");
    EXPECT_EQ(cell(*dlg, q, CKivoDlg::ColType), "Geb.");
    EXPECT_EQ(cell(*dlg, u, CKivoDlg::ColRemind), "Ja");
    EXPECT_EQ(cell(*dlg, u, CKivoDlg::ColPrint), "Nein");
    EXPECT_EQ(cell(*dlg, u, CKivoDlg::ColType), "Termin");
}

// "Age now" is the age on the calendar: the stored day and month this year, a day the month lacks
// rolled over (29 February of a common year to 1 March, 31 April to 1 May), reached once past or
// on the exact day. The reminders' counted day plays no part, and "Days" still counts to it.
TEST_F(SetupFixture, AgeNowIsTheAgeOnTheCalendar) {
    struct Case {
        PersonRecord person;
        Date today;
        const char* age;
    };
    const PersonRecord march = record("Leapling, March 1", 29, 2, 2000, {.leapling = 1});
    const PersonRecord february = record("Leapling, February 28", 29, 2, 2000, {.leapling = 0});
    const PersonRecord april = record("31 April", 31, 4, 1990);
    const Case cases[] = {
        {march, ymd(2024, 2, 28), "23"},    {march, ymd(2024, 2, 29), "24"},
        {march, ymd(2024, 3, 1), "24"},     {march, ymd(2025, 2, 28), "24"},
        {march, ymd(2025, 3, 1), "24"},     {march, ymd(2025, 3, 2), "25"},
        {february, ymd(2027, 2, 27), "26"}, {february, ymd(2027, 2, 28), "26"},
        {february, ymd(2027, 3, 1), "26"},  {february, ymd(2027, 3, 2), "27"},
        {february, ymd(2028, 2, 29), "28"}, {april, ymd(2030, 4, 30), "39"},
        {april, ymd(2030, 5, 1), "39"},     {april, ymd(2030, 5, 2), "40"},
    };
    for (const Case& c : cases) {
        records.clear();
        fake.clock.date = c.today;
        PersonRecord& r = add(c.person);
        auto dlg = open();
        const std::string when = formatDate("%d/%m/%Y", c.today);
        EXPECT_EQ(cell(*dlg, r, CKivoDlg::ColAgeNow), c.age) << r.name << " on " << when;
        EXPECT_EQ(cell(*dlg, r, CKivoDlg::ColDays), std::to_string(r.daysUntil)) << r.name;
    }
    // The counted day still rules the day count: "February 28" is due on 28 February 2027.
    records.clear();
    fake.clock.date = ymd(2027, 2, 28);
    PersonRecord& f = add(february);
    EXPECT_EQ(cell(*open(), f, CKivoDlg::ColDays), "0");
}

// The header's arrow points the way the rows are in order: the stored sort, each click that
// sorts, and name order again after the list is refilled.
TEST_F(SetupFixture, HeaderArrowShowsHowTheRowsAreSorted) {
    add(record("Bert", 1, 5, 1970));
    add(record("Anna", 2, 6, 1980));
    settings.sortColumn = -(CKivoDlg::ColDays + 1);
    auto dlg = open();
    const QHeaderView* header = dlg->listCtrl()->headerCtrl();
    const auto arrow = [header] {
        return std::pair{header->isSortIndicatorShown() ? header->sortIndicatorSection() : -1,
                         header->sortIndicatorOrder()};
    };
    EXPECT_EQ(arrow(), std::pair(int(CKivoDlg::ColDays), Qt::DescendingOrder));
    clickHeading(*dlg, CKivoDlg::ColName);
    EXPECT_EQ(arrow(), std::pair(int(CKivoDlg::ColName), Qt::AscendingOrder));
    clickHeading(*dlg, CKivoDlg::ColName);
    EXPECT_EQ(arrow(), std::pair(int(CKivoDlg::ColName), Qt::DescendingOrder));
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Bert", "Anna"}));
    // A click that does not sort leaves the arrow where it was.
    dlg->listCtrl()->EnableHeaderSort(false);
    clickHeading(*dlg, CKivoDlg::ColAhead);
    EXPECT_EQ(arrow(), std::pair(int(CKivoDlg::ColName), Qt::DescendingOrder));
    dlg->fillList();
    EXPECT_EQ(arrow(), std::pair(int(CKivoDlg::ColName), Qt::AscendingOrder));
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna", "Bert"}));
}

TEST_F(SetupFixture, RecordsWithoutARealDateAreListedWithEmptyDateCells) {
    PersonRecord& noDay = add(record("No day", 0, 3, 1980));
    PersonRecord& badMonth = add(record("Bad month", 12, 13, 1980, {.type = AnnualEvent}));
    PersonRecord& fromEditor = add(record("No date", -1, -1, -1));
    // Appended without add(): the derived fields are still -1.
    PersonRecord& notComputed = records.append(record("Not computed", 5, 5, 1980));
    PersonRecord& fine = add(record("Fine", 10, 3, 1980));
    settings.sortColumn = 2; // by "Next", where the empty cells take part
    auto dlg = open();
    EXPECT_EQ(dlg->listCtrl()->GetItemCount(), 5);
    EXPECT_EQ(cells(*dlg, noDay),
              (std::vector<std::string>{"No day", "", "7", "", "", "Yes", "B'day", "Yes", "4"}));
    EXPECT_EQ(cells(*dlg, badMonth),
              (std::vector<std::string>{"Bad month", "", "7", "", "", "Yes", "Event", "Yes", "4"}));
    EXPECT_EQ(cell(*dlg, fromEditor, CKivoDlg::ColNext), "");
    EXPECT_EQ(cell(*dlg, fromEditor, CKivoDlg::ColAgeNow), "");
    EXPECT_EQ(cell(*dlg, notComputed, CKivoDlg::ColDays), "");
    EXPECT_EQ(cell(*dlg, fine, CKivoDlg::ColAgeNow), "44");
    EXPECT_EQ(column(*dlg, CKivoDlg::ColNext).back(), "10/03/2025");
}

TEST_F(SetupFixture, RowsComeInNameOrderWhateverTheRecordOrder) {
    add(record("zoe", 1, 1, 1990));
    add(record("Adam", 2, 2, 1990));
    add(record("bea", 3, 3, 1990));
    add(record("Carl", 4, 4, 1990));
    auto dlg = open();
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Adam", "bea", "Carl", "zoe"}));
    for (int row = 0; row < dlg->listCtrl()->GetItemCount(); ++row) {
        const auto* r = reinterpret_cast<const PersonRecord*>(dlg->listCtrl()->GetItemData(row));
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(dlg->listCtrl()->GetItemText(row, 0).toStdString(), r->name);
        EXPECT_EQ(dlg->listCtrl()->GetItemImage(row), r->icon);
    }
    EXPECT_EQ(itemCount(*dlg), "Items: 4");
}

TEST_F(SetupFixture, HeadingClicksSortAndReverseAndCloseStoresTheSort) {
    add(record("Anna", 20, 3, 1980)); // 14 days
    add(record("Bert", 7, 3, 1980));  // 1 day
    add(record("Cleo", 1, 3, 1980));  // 360 days
    add(record("Dora", 6, 3, 1980));  // today
    auto dlg = openShown();
    clickHeading(*dlg, CKivoDlg::ColDays);
    EXPECT_EQ(column(*dlg, CKivoDlg::ColDays), (std::vector<std::string>{"0", "1", "14", "360"}));
    clickHeading(*dlg, CKivoDlg::ColDays);
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Cleo", "Anna", "Bert", "Dora"}));
    for (int row = 0; row < dlg->listCtrl()->GetItemCount(); ++row) {
        const auto* r = reinterpret_cast<const PersonRecord*>(dlg->listCtrl()->GetItemData(row));
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(dlg->listCtrl()->GetItemText(row, 0).toStdString(), r->name);
        EXPECT_EQ(dlg->listCtrl()->GetItemText(row, CKivoDlg::ColDays).toInt(), r->daysUntil);
    }
    control<QPushButton>(*dlg, SetupControl::Close)->click();
    EXPECT_EQ(settings.sortColumn, -5);

    auto again = open();
    EXPECT_EQ(names(*again), (std::vector<std::string>{"Cleo", "Anna", "Bert", "Dora"}));
    EXPECT_EQ(again->listCtrl()->activeSortColumn(), CKivoDlg::ColDays);
    EXPECT_FALSE(again->listCtrl()->activeSortAscending());
}

TEST_F(SetupFixture, StoredDateSortReadsDatesInTheShownFormat) {
    settings.dateFormat = "%m/%d/%Y";
    settings.sortColumn = 2;
    add(record("New year", 1, 1, 1990)); // 01/01/2026
    add(record("Spring", 10, 3, 1990));  // 03/10/2025
    add(record("Winter", 31, 12, 1990)); // 12/31/2025
    auto dlg = open();
    EXPECT_EQ(column(*dlg, CKivoDlg::ColNext),
              (std::vector<std::string>{"03/10/2025", "12/31/2025", "01/01/2026"}));
    dlg->applyOptions();
    EXPECT_EQ(settings.sortColumn, 2);
}

TEST_F(SetupFixture, StoredSortWithoutAColumnLeavesNameOrder) {
    add(record("Bert", 1, 1, 1990));
    add(record("Anna", 2, 2, 1990));
    for (const int stored : {0, 10, -10, INT_MIN}) {
        settings.sortColumn = stored;
        auto dlg = open();
        EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna", "Bert"})) << stored;
        EXPECT_EQ(dlg->listCtrl()->activeSortColumn(), -1) << stored;
        dlg->applyOptions();
        EXPECT_EQ(settings.sortColumn, 0) << stored;
    }
}

TEST_F(SetupFixture, RefillPutsRowsInNameOrderButKeepsTheSortToStore) {
    add(record("Anna", 20, 3, 1980));
    add(record("Bert", 7, 3, 1980));
    settings.sortColumn = -5;
    auto dlg = open();
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Anna", "Bert"}));
    add(record("Aaron", 8, 3, 1980));
    dlg->fillList();
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Aaron", "Anna", "Bert"}));
    EXPECT_EQ(itemCount(*dlg), "Items: 3");
    dlg->applyOptions();
    EXPECT_EQ(settings.sortColumn, -5);
}

TEST_F(SetupFixture, FillRowRewritesOneRowFromItsRecord) {
    PersonRecord& anna = add(record("Anna", 20, 3, 1980));
    auto dlg = open();
    anna.infoOnly = true;
    anna.type = AnnualEvent;
    anna.icon = 12;
    const int row = dlg->listCtrl()->FindItemByData(reinterpret_cast<quintptr>(&anna));
    dlg->fillRow(row, anna);
    EXPECT_EQ(cells(*dlg, anna), (std::vector<std::string>{"Anna", "20/03/2025", "7", "-", "14",
                                                           "No", "Event", "Yes", "12"}));
}

TEST_F(SetupFixture, ItemCountShowsTheLookedUpWord) {
    auto empty = open();
    EXPECT_EQ(itemCount(*empty), "Items: 0");
    parseTextTable({"items=Eintraege %2"}, texts);
    add(record("Anna", 1, 1, 1990));
    auto one = open();
    EXPECT_EQ(itemCount(*one), "Eintraege %2: 1");
}

TEST_F(SetupFixture, ColumnWidthsFollowTheScreenResolution) {
    auto normal = open();
    EXPECT_EQ(normal->listCtrl()->headerCtrl()->sectionSize(CKivoDlg::ColName), 200);
    EXPECT_EQ(normal->listCtrl()->headerCtrl()->sectionSize(CKivoDlg::ColDays), 40);
    fake.platform.screenDpi = 144;
    auto high = open();
    EXPECT_EQ(high->listCtrl()->headerCtrl()->sectionSize(CKivoDlg::ColName), 300);
    EXPECT_EQ(high->listCtrl()->headerCtrl()->sectionSize(CKivoDlg::ColAgeNow), 98); // 97.5 up
    EXPECT_EQ(high->listCtrl()->GetColumnCount(), CKivoDlg::ColumnCount);
}

TEST_F(SetupFixture, AnUnreadableDateEndsTheWindowWithAnError) {
    fake.clock.date = ymd(1850, 6, 1);
    auto dlg = make();
    settings.daysAhead = 10;
    EXPECT_FALSE(dlg->initialize());
    EXPECT_EQ(fake.messages.errors.size(), 1u);
    dlg->close();
    EXPECT_EQ(settings.daysAhead, 10);
}

} // namespace
} // namespace kivo
