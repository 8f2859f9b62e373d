// The platform layer: the QSettings store, dialog units, templates and the spin arrows.
#include "platform/desktop_platform.h"
#include "platform/dialog_builder.h"
#include "platform/print_dialog.h"
#include "support/scripted_user.h"

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
        if (c.id < 0)
            continue;
        QWidget* w = controlById<QWidget>(dialog, c.id);
        ASSERT_NE(w, nullptr) << c.id;
        if (c.kind == ControlKind::Spin || c.id == 1028)
            continue; // the spin takes the right end of its buddy, checked below
        EXPECT_EQ(w->pos(), QPoint(units.x(c.x), units.y(c.y))) << c.id;
    }
    EXPECT_EQ(controlById<QCheckBox>(dialog, 1000)->text(), "Only display once a day");
    EXPECT_TRUE(controlById<QPushButton>(dialog, 1)->isDefault());
    EXPECT_TRUE(controlById<QPushButton>(dialog, 1036)->isHidden());
    EXPECT_FALSE(controlById<QPushButton>(dialog, 1024)->isHidden());
}

TEST(DialogBuilderTest, TakesTheCallersOwnControlsWhereItMakesThem) {
    QDialog dialog;
    QWidget* made = nullptr;
    buildDialog(dialog, kReminderDialog, [&](const ControlTemplate& c, QWidget* parent) {
        if (c.id != 1009)
            return static_cast<QWidget*>(nullptr);
        made = new QTreeWidget(parent);
        return made;
    });
    EXPECT_EQ(controlById<QWidget>(dialog, 1009), made);
}

TEST(SpinButtonTest, StepsItsBuddyWithinTheRangeAndLeavesTypedValuesAlone) {
    QDialog dialog;
    buildDialog(dialog, kSetupDialog);
    auto* spin = controlById<SpinButton>(dialog, 1002);
    auto* days = controlById<QLineEdit>(dialog, 1028);
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
