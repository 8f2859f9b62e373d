// The platform layer: the QSettings store, dialog units, templates and the spin arrows.
#include "platform/desktop_platform.h"
#include "platform/dialog_builder.h"
#include "platform/print_dialog.h"
#include "support/scripted_user.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QIcon>
#include <QImage>
#include <QLineEdit>
#include <QPixmap>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

namespace kivo {
namespace {

// The calendar is printed whole: no page range, no current page, no selection; printing to a PDF
// file stays offered.
TEST(PrintDialogTest, OffersAllPagesAndPrintingToAFileOnly) {
    QPrinter printer;
    QPrintDialog dialog(&printer);
    setUpPrintDialog(dialog);
    EXPECT_EQ(dialog.printRange(), QAbstractPrintDialog::AllPages);
    EXPECT_TRUE(dialog.testOption(QAbstractPrintDialog::PrintToFile));
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintPageRange));
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintSelection));
    EXPECT_FALSE(dialog.testOption(QAbstractPrintDialog::PrintCurrentPage));
}

TEST(QtSettingsStoreTest, StoresTheNineValuesUnderVelmikKivoAndReadsThemBack) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QStandardPaths::setTestModeEnabled(false);
    {
        QtSettingsStore store;
        EXPECT_FALSE(store.keyExists());
        AppSettings settings;
        readSettings(settings, store, "20260607"); // no key: defaults, written at once
        EXPECT_EQ(settings.daysAhead, 14);
        EXPECT_TRUE(store.keyExists());
    }
    const QString file = config.path() + "/Velmik/kivo.conf";
    EXPECT_TRUE(QFile::exists(file));
    {
        QtSettingsStore store;
        ASSERT_TRUE(store.keyExists());
        EXPECT_EQ(store.readValue("days"), std::optional<std::string>("14"));
        EXPECT_EQ(store.readValue("lastrun"), std::optional<std::string>("20260607"));
        EXPECT_EQ(store.readValue("nothing"), std::nullopt);
        ASSERT_TRUE(store.createKey());
        EXPECT_TRUE(store.writeValue("past", "3"));
    }
    QtSettingsStore again;
    AppSettings settings;
    readSettings(settings, again, "20260608");
    EXPECT_EQ(settings.pastDays, 3);
    EXPECT_EQ(settings.sortColumn, 1);
    EXPECT_EQ(settings.lastRun, "20260607");
    qunsetenv("XDG_CONFIG_HOME");
}

// Another program (kivo on a second machine sharing the home folder, an editor) writes the
// settings file while a run holds it open: what it wrote stays beside what the run writes.
TEST(QtSettingsStoreTest, KeepsWhatAnotherProgramWroteWhileARunHeldTheStore) {
    QTemporaryDir config;
    ASSERT_TRUE(config.isValid());
    // Qt learns the settings folder once per process: it is set here, whatever ran before.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    {
        QtSettingsStore store;
        AppSettings settings;
        readSettings(settings, store, "20260607");
        // A text editor's change: a value changed and a key added, the file written anew.
        QFile file(config.path() + "/Velmik/kivo.conf");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QByteArray text = file.readAll();
        file.close();
        ASSERT_TRUE(text.contains("aot=0\n"));
        text.replace("aot=0\n", "aot=1\ntoldcopies=kivos.sync-conflict-1.ini\n");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        file.close();
        settings.pastDays = 5;
        EXPECT_TRUE(writeSettings(settings, store, "20260608"));
    }
    QtSettingsStore again;
    EXPECT_EQ(again.readValue("toldcopies"),
              std::optional<std::string>("kivos.sync-conflict-1.ini"));
    EXPECT_EQ(again.readValue("past"), std::optional<std::string>("5"));
    EXPECT_EQ(again.readValue("lastrun"), std::optional<std::string>("20260608"));
    // A value the run did not change is the other program's.
    EXPECT_EQ(again.readValue("aot"), std::optional<std::string>("1"));
}

TEST(DialogUnitsTest, MulDivRoundsHalfAwayFromZero) {
    EXPECT_EQ(mulDiv(200, 144, 96), 300);
    EXPECT_EQ(mulDiv(20, 120, 96), 25);
    EXPECT_EQ(mulDiv(3, 1, 2), 2);
    EXPECT_EQ(mulDiv(-3, 1, 2), -2);
    EXPECT_EQ(mulDiv(1, 1, 0), -1);
}

TEST(DialogUnitsTest, ConvertsByTheFontsAverageWidthAndHeight) {
    DialogUnits units;
    units.baseX = 6;
    units.baseY = 13;
    EXPECT_EQ(units.rect(7, 7, 333, 84), QRect(11, 11, 500, 137));
    const DialogUnits measured = dialogUnitsFor(dialogFont());
    EXPECT_GT(measured.baseX, 2);
    EXPECT_GT(measured.baseY, measured.baseX);
}

TEST(DialogBuilderTest, BuildsEveryControlNamedByIdWithItsTextAndPlace) {
    QDialog dialog;
    buildDialog(dialog, kSetupDialog);
    const DialogUnits units = dialogUnitsFor(dialog.font());
    EXPECT_EQ(dialog.windowTitle(), "Velmik Fennaro Setup");
    EXPECT_EQ(dialog.size(), QSize(units.x(642), units.y(303)));
    for (const ControlTemplate& c : kSetupDialog.controls) {
        if (!c.id.named())
            continue;
        QWidget* w = controlById<QWidget>(dialog, c.id);
        ASSERT_NE(w, nullptr) << c.id.value();
        if (c.kind == ControlKind::Spin || c.id == SetupControl::DaysToLookAhead)
            continue; // the spin takes the right end of its buddy, checked below
        EXPECT_EQ(w->pos(), QPoint(units.x(c.x), units.y(c.y))) << c.id.value();
    }
    EXPECT_EQ(controlById<QCheckBox>(dialog, SetupControl::OnlyOnceADay)->text(),
              "Only display once a day");
    EXPECT_TRUE(controlById<QPushButton>(dialog, SetupControl::Close)->isDefault());
    EXPECT_TRUE(controlById<QPushButton>(dialog, SetupControl::PrintNextYear)->isHidden());
    EXPECT_FALSE(controlById<QPushButton>(dialog, SetupControl::New)->isHidden());
}

TEST(DialogBuilderTest, TakesTheCallersOwnControlsWhereItMakesThem) {
    QDialog dialog;
    QWidget* made = nullptr;
    buildDialog(dialog, kReminderDialog, [&](const ControlTemplate& c, QWidget* parent) {
        if (c.id != ReminderControl::Reminders)
            return static_cast<QWidget*>(nullptr);
        made = new QTreeWidget(parent);
        return made;
    });
    EXPECT_EQ(controlById<QWidget>(dialog, ReminderControl::Reminders), made);
}

TEST(SpinButtonTest, StepsItsBuddyWithinTheRangeAndLeavesTypedValuesAlone) {
    QDialog dialog;
    buildDialog(dialog, kSetupDialog);
    auto* spin = controlById<SpinButton>(dialog, SetupControl::DaysToLookAheadArrows);
    auto* days = controlById<QLineEdit>(dialog, SetupControl::DaysToLookAhead);
    ASSERT_EQ(spin->buddy(), days);
    const DialogUnits units = dialogUnitsFor(dialog.font());
    EXPECT_EQ(days->geometry().united(spin->geometry()), units.rect(581, 146, 39, 14));
    EXPECT_EQ(spin->geometry().right(), days->geometry().right() + spin->width());
    spin->setRange(1, 365);
    days->setText("365");
    spin->stepBy(1);
    EXPECT_EQ(days->text(), "365");
    days->setText("");
    spin->stepBy(-1);
    EXPECT_EQ(days->text(), "1");
    days->setText("999"); // typed beyond the range: kept until an arrow is used
    EXPECT_EQ(days->text(), "999");
    spin->stepBy(-1);
    EXPECT_EQ(days->text(), "365");
}

// A message box opens centred over the window the user works in, with its icon, in the dialogs'
// font.
TEST(DesktopMessageBoxesTest, OpenCentredOverTheOpenWindowWithItsIconAndTheDialogFont) {
    QDialog owner;
    owner.setGeometry(30, 50, 900, 620);
    QPixmap red(16, 16);
    red.fill(Qt::red);
    owner.setWindowIcon(QIcon(red));
    owner.setModal(true);
    owner.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));

    test::ScriptedUser user;
    QRect box;
    QImage icon;
    QFont font;
    user.then([&](QWidget* w) {
        box = w->frameGeometry();
        icon = w->windowIcon().pixmap(16, 16).toImage();
        font = w->font();
        w->close();
    });
    DesktopMessageBoxes().warning("Please enter an integer.");
    EXPECT_EQ(user.windowsSeen(), std::vector<std::string>{"Velmik Fennaro"});
    EXPECT_LE((box.center() - owner.frameGeometry().center()).manhattanLength(), 2);
    EXPECT_EQ(icon.pixelColor(8, 8), QColor(Qt::red));
    EXPECT_EQ(font.family(), dialogFont().family());
    EXPECT_EQ(font.pointSizeF(), dialogFont().pointSizeF());
}

} // namespace
} // namespace kivo

namespace kivo {
namespace {

// Dates typed into the date box part by part, in the long and short formats of the locales the
// box meets: each part takes its digits (a month shown by name its first letters), an unfinished
// part stays as typed, Backspace and Delete edit it, and the date is taken when a part is complete
// or the focus leaves. "<" stands for Backspace, "~" for Delete, " " for the right arrow.
TEST(DatePickerTest, TakesDatesTypedPartByPart) {
    struct Case {
        const char* format;
        int first; // the part the typing starts in, counted from 0
        const char* keys;
        QDate taken;
    };
    const Case cases[] = {
        {"dddd, d MMMM yyyy", 3, "1990", {1990, 12, 8}},
        {"dddd, d MMMM yyyy", 3, "19<985", {1985, 12, 8}},
        {"dddd, d MMMM yyyy", 3, "~", {2026, 12, 8}},
        {"dddd, d MMMM yyyy", 3, "<<4", {2026, 12, 8}},
        {"dddd, d MMMM yyyy", 1, "15", {2026, 12, 15}},
        {"dddd, d MMMM yyyy", 0, "15", {2026, 12, 15}},
        {"yyyy. MMMM d., dddd", 3, "7", {2026, 12, 7}},
        {"dddd, d MMMM yyyy", 1, "3", {2026, 12, 3}},
        {"dddd, d MMMM yyyy", 1, "35", {2026, 12, 3}},
        {"dddd, d MMMM yyyy", 2, "mar", {2026, 3, 8}},
        {"dddd, d MMMM yyyy", 2, "03", {2026, 3, 8}},
        {"dddd, d MMMM yyyy", 2, "ma", {2026, 3, 8}},
        {"dddd, d MMMM yyyy", 2, "x", {2026, 12, 8}},
        // 29 February typed day first: kept for a leap year, the month's last day otherwise.
        {"dddd, d MMMM yyyy", 1, "29Feb1996", {1996, 2, 29}},
        {"dddd, d MMMM yyyy", 1, "29Feb2023", {2023, 2, 28}},
        {"dddd, d MMMM yyyy", 1, "29Feb2023 2024", {2024, 2, 29}},
        {"dddd, MMMM d, yyyy", 1, "jun151990", {1990, 6, 15}},
        {"dd/MM/yyyy", 0, "29022024", {2024, 2, 29}},
        {"dd/MM/yyyy", 0, "29022023", {2023, 2, 28}},
        {"d MMM yyyy", 0, "7feb2024", {2024, 2, 7}},
        {"dd.MM.yy", 0, "050390", {2090, 3, 5}},
        {"yyyy-MM-dd", 0, "2024229", {2024, 2, 29}},
    };
    for (const Case& c : cases) {
        QDialog dialog;
        auto* picker = new DatePicker(&dialog);
        auto* next = new QLineEdit(&dialog);
        next->move(0, 40);
        picker->setDisplayFormat(QString::fromLatin1(c.format));
        picker->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
        picker->setDate(QDate(2026, 12, 8));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
        picker->setFocus();
        picker->setCurrentSectionIndex(c.first);
        for (const char* k = c.keys; *k; ++k) {
            if (*k == '<')
                QTest::keyClick(picker, Qt::Key_Backspace);
            else if (*k == '~')
                QTest::keyClick(picker, Qt::Key_Delete);
            else if (*k == ' ')
                QTest::keyClick(picker, Qt::Key_Right);
            else
                QTest::keyClick(picker, *k);
        }
        QTest::keyClick(picker, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), next) << c.format << " " << c.keys;
        EXPECT_EQ(picker->date(), c.taken) << c.format << " " << c.keys;
        EXPECT_EQ(picker->text(), QLocale().toString(c.taken, picker->displayFormat()))
            << c.format << " " << c.keys;
    }
}

// While a part is typed it shows what was typed, and the date stays until the part is complete;
// the weekday follows the date.
TEST(DatePickerTest, ShowsAnUnfinishedPartAsTyped) {
    QDialog dialog;
    auto* picker = new DatePicker(&dialog);
    picker->setDisplayFormat("dddd, d MMMM yyyy");
    picker->setDateRange(QDate(100, 1, 1), QDate(9999, 12, 31));
    picker->setDate(QDate(2026, 12, 8));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    picker->setFocus();
    picker->setCurrentSectionIndex(3);
    std::vector<QDate> changes;
    QObject::connect(picker, &QDateEdit::dateChanged, [&](QDate d) { changes.push_back(d); });
    QTest::keyClicks(picker, "199");
    EXPECT_EQ(picker->text(), "Tuesday, 8 December 199");
    EXPECT_EQ(picker->date(), QDate(2026, 12, 8));
    QTest::keyClick(picker, '0');
    EXPECT_EQ(picker->text(), "Saturday, 8 December 1990");
    EXPECT_EQ(changes, std::vector<QDate>{QDate(1990, 12, 8)});
    // The day, reached with the left arrow, is selected whole and replaced by what is typed.
    QTest::keyClick(picker, Qt::Key_Left);
    QTest::keyClick(picker, Qt::Key_Left);
    EXPECT_EQ(picker->findChild<QLineEdit*>()->selectedText(), "8");
    QTest::keyClick(picker, Qt::Key_Up);
    EXPECT_EQ(picker->date(), QDate(1990, 12, 9));
}

} // namespace
} // namespace kivo
