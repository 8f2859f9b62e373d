// The setup window's print commands: which months each prints, as one named job, and Cancel.
#include "controls/hyper_link.h"
#include "support/window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>

namespace kivo::test {
namespace {

// Output of a poppler tool on a file; a missing tool fails the test.
QString popplerOutput(const QString& tool, const QStringList& arguments) {
    QProcess process;
    process.start(tool, arguments);
    const bool finished = process.waitForFinished(-1);
    EXPECT_TRUE(finished && process.exitCode() == 0)
        << tool.toStdString() << " failed (poppler-utils installed?)";
    return QString::fromUtf8(process.readAllStandardOutput());
}

struct PrintCommands : SetupWindowFixture {
    QTemporaryDir output;
    int dialogsShown = 0;
    bool confirm = true;
    bool printLargeWhenAsked = false;
    QString pdf;

    // A window whose print dialog prints to a PDF file when confirmed.
    std::unique_ptr<CKivoDlg> openForPrinting() {
        auto dlg = open();
        dlg->runPrintDialog = [this](QPrinter& printer) {
            ++dialogsShown;
            printLargeWhenAsked = settings.printLarge;
            if (!confirm)
                return false;
            pdf = output.filePath(QStringLiteral("job%1.pdf").arg(dialogsShown));
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
            return true;
        };
        return dlg;
    }

    QString info(const char* field) const {
        const QRegularExpression line(QStringLiteral("(?m)^%1:\\s+(.*)$").arg(field));
        return line.match(popplerOutput(QStringLiteral("pdfinfo"), {pdf})).captured(1);
    }
};

TEST_F(PrintCommands, EachCommandPrintsItsMonthsAsOneNamedJob) {
    records.append(record("Jan", 5, 1, 1990));
    struct Case {
        Date today;
        SetupControl button;
        int rangeItem;
        const char* documentName;
        const char* pages;
    };
    const Date march = ymd(2025, 3, 6);
    for (const Case& c : {
             Case{march, SetupControl::Print, 0, "2025", "12"},
             Case{march, SetupControl::Print, 1, "2026", "12"},
             Case{march, SetupControl::Print, 2, "3 - 2025", "1"},
             Case{march, SetupControl::Print, 3, "4 - 2025", "1"},
             Case{march, SetupControl::PrintThisYear, 0, "2025", "12"},
             Case{march, SetupControl::PrintNextYear, 0, "2026", "12"},
             Case{ymd(2025, 12, 10), SetupControl::Print, 3, "1 - 2026", "1"},
         }) {
        SCOPED_TRACE(c.documentName);
        fake.clock.date = c.today;
        auto dlg = openForPrinting();
        control<QComboBox>(*dlg, SetupControl::PrintRange)->setCurrentIndex(c.rangeItem);
        control<QPushButton>(*dlg, c.button)->click();
        EXPECT_EQ(info("Title").toStdString(), c.documentName);
        EXPECT_EQ(info("Pages").toStdString(), c.pages);
    }
    // December's "Next month" is January of the next year, with the age reached then.
    const QString text = popplerOutput(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    EXPECT_TRUE(text.contains(QStringLiteral("January 2026"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Jan (36)")));
}

// The options on the screen are taken over before the dialog, and stay so when it is cancelled;
// a cancelled dialog prints nothing.
TEST_F(PrintCommands, CancelPrintsNothingButTheOptionsAreTakenOver) {
    auto dlg = openForPrinting();
    confirm = false;
    control<QCheckBox>(*dlg, SetupControl::PrintLarge)->setChecked(true);
    ASSERT_FALSE(settings.printLarge);
    control<QPushButton>(*dlg, SetupControl::Print)->click();
    EXPECT_EQ(dialogsShown, 1);
    EXPECT_TRUE(printLargeWhenAsked);
    EXPECT_TRUE(settings.printLarge);
    EXPECT_TRUE(QDir(output.path()).isEmpty());
}

// The web link shows the project's home page (by default the installed user guide) and opens it.
TEST_F(PrintCommands, WebLinkShowsAndOpensTheHomePage) {
    auto dlg = open();
    auto* link = control<CHyperLink>(*dlg, SetupControl::WebLink);
    ASSERT_NE(link, nullptr);
    const QString address = QString::fromUtf8(CKivoDlg::kMakerWebAddress);
    EXPECT_TRUE(address.contains(QStringLiteral("://")));
    EXPECT_EQ(link->target(), address);
    EXPECT_EQ(link->text(), address);
    EXPECT_EQ(link->toolTip(), address);
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
}

// A guide that is not there is named, in the user's texts, and nothing is handed to the desktop.
TEST_F(PrintCommands, WebLinkToAMissingGuideSaysSoInTheUsersTexts) {
    parseTextTable({"Unable to open hyperlink:=Link nicht geoeffnet:",
                    "the file %s does not exist.=Die Datei %s fehlt."},
                   texts);
    auto dlg = open();
    auto* link = control<CHyperLink>(*dlg, SetupControl::WebLink);
    const QString missing = output.filePath(QStringLiteral("guide.html"));
    link->SetLinkTarget(QUrl::fromLocalFile(missing).toString());
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(fake.messages.warnings,
              std::vector<std::string>{"Link nicht geoeffnet:\n\nDie Datei " +
                                       missing.toStdString() + " fehlt."});
}

} // namespace
} // namespace kivo::test
