// Real pages printed to PDF through QPrinter, turned into pictures with pdftoppm and looked at.
#include "printing/print_job.h"

#include "tests/support/record_builder.h"

#include <QImage>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>

namespace kivo {
namespace {

constexpr int kPrinterDpi = 300;
constexpr int kPictureDpi = 100;

// Runs a poppler tool and returns its standard output; a missing tool fails the test.
QByteArray runTool(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    const bool finished = process.waitForFinished(-1);
    EXPECT_TRUE(finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        << program.toStdString()
        << " failed (poppler-utils installed?): " << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

// An A4 PDF printer without margins, so that the page's pixels and the printable area agree.
void setUpPdf(QPrinter& printer, const QString& path, int dpi = kPrinterDpi) {
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(path);
    printer.setResolution(dpi);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageMargins(QMarginsF(0, 0, 0, 0));
}

int grey(QRgb pixel) {
    return qGray(pixel);
}

struct PrintedMonth {
    QImage picture;
    MonthPage page; // the layout printed, for where to look
    double scale = 0;

    QPoint at(int x, int y) const { return QPoint(int(x * scale), int(y * scale)); }
    int greyAt(int x, int y) const { return grey(picture.pixel(at(x, y))); }
    // Dark pixels inside a page rectangle, a picture pixel in from every side (rules lie on the
    // edges of the rows).
    int darkPixels(const PageRect& r, int* firstRow = nullptr, int* lastRow = nullptr) const {
        const QPoint a = at(r.left, r.top) + QPoint(1, 1);
        const QPoint b = at(r.right, r.bottom) - QPoint(2, 2);
        int count = 0;
        for (int y = a.y(); y <= b.y(); ++y)
            for (int x = a.x(); x <= std::min(b.x(), picture.width() - 1); ++x)
                if (grey(picture.pixel(x, y)) < 160) {
                    if (firstRow && count == 0)
                        *firstRow = y;
                    if (lastRow)
                        *lastRow = y;
                    ++count;
                }
        return count;
    }
};

class PrintJob : public ::testing::Test {
protected:
    QTemporaryDir dir;
    RecordList records;
    TextTable texts;
    EnglishLocaleNames english;

    PrintJob() { records.append(test::record("Annabel Lee-Richardson", 10, 3, 1996)); }

    QString print(const QString& name, int year, int month, bool large, int dpi = kPrinterDpi) {
        QPrinter printer(QPrinter::HighResolution);
        const QString path = dir.filePath(name + ".pdf");
        setUpPdf(printer, path, dpi);
        const PrintContent content{records, texts, english, large, 96};
        EXPECT_TRUE(printDates(printer, year, month, content));
        return path;
    }

    PrintedMonth picture(const QString& pdf, bool large, int dpi = kPrinterDpi) {
        const QString stem = pdf.chopped(4);
        runTool(QStringLiteral("pdftoppm"),
                {QStringLiteral("-r"), QString::number(kPictureDpi), QStringLiteral("-png"),
                 QStringLiteral("-singlefile"), pdf, stem});
        PrintedMonth month;
        month.picture = QImage(stem + ".png");
        EXPECT_FALSE(month.picture.isNull());
        QPrinter printer(QPrinter::HighResolution);
        setUpPdf(printer, dir.filePath(QStringLiteral("unused.pdf")), dpi);
        MonthPageRequest request{printer.width(), printer.height(), 2026, 3, large, 96};
        month.page = layoutMonthPage(request, records, texts, english);
        month.scale = double(kPictureDpi) / dpi;
        return month;
    }
};

TEST_F(PrintJob, OneJobOfTwelvePagesOrOneNamedAfterItsRange) {
    const QString year = print(QStringLiteral("year"), 2026, kWholeYear, false);
    const QString info = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {year}));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+2026\\n"))))
        << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+12\\n"))));

    const QString march = print(QStringLiteral("march"), 2026, 3, false);
    const QString one = QString::fromUtf8(runTool(QStringLiteral("pdfinfo"), {march}));
    EXPECT_TRUE(one.contains(QRegularExpression(QStringLiteral("Title:\\s+3 - 2026\\n"))));
    EXPECT_TRUE(one.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n"))));
}

// March 2026: Sunday the 1st, Saturday the 7th; the only name is on Tuesday the 10th.
TEST_F(PrintJob, PrintedPageShowsShadedWeekendsRulesAndNames) {
    const PrintedMonth m = picture(print(QStringLiteral("march"), 2026, 3, false), false);
    const int R = m.page.rowHeight;
    const int M = m.page.margin;
    const int W = m.page.texts.front().rect.right;
    const auto middleOfRow = [R](int day) { return (day + 2) * R + R / 2; };
    const int right = W - M - R; // past every text but the names

    EXPECT_NEAR(m.greyAt(right, middleOfRow(7)), 200, 8) << "Saturday shaded";
    EXPECT_NEAR(m.greyAt(right, middleOfRow(1)), 200, 8) << "Sunday shaded";
    EXPECT_GT(m.greyAt(right, middleOfRow(2)), 245) << "Monday white";
    EXPECT_GT(m.greyAt(M / 2, middleOfRow(7)), 245) << "no shade in the margin";

    // Every rule is a dark line across the ruled width, and none reaches into the margins.
    for (const PageRule& rule : m.page.rules) {
        int darkest = 255;
        int marginDarkest = 255;
        for (int dy = -1; dy <= 1; ++dy) {
            const int y = int(rule.y * m.scale) + dy;
            darkest = std::min(darkest, grey(m.picture.pixel(int(right * m.scale), y)));
            marginDarkest = std::min(marginDarkest, grey(m.picture.pixel(int(M * m.scale) - 3, y)));
        }
        EXPECT_LT(darkest, 128) << "rule at " << rule.y;
        EXPECT_GT(marginDarkest, 245) << "rule at " << rule.y;
    }

    // Text in the title band, in the weekday and number columns, and in the names column only
    // on the day that has a name.
    EXPECT_GT(m.darkPixels({M, 0, W, 3 * R}), 50);
    const PageRect namesOf10{int(W / 5.5), 12 * R, W, 13 * R};
    const PageRect namesOf11{int(W / 5.5), 13 * R, W, 14 * R};
    EXPECT_GT(m.darkPixels(namesOf10), 30);
    EXPECT_EQ(m.darkPixels(namesOf11), 0);
    EXPECT_GT(m.darkPixels({M, 13 * R, int(W / 5.5), 14 * R}), 20) << "weekday and day number";
}

TEST_F(PrintJob, LargeNamesAreTallerAndTheSamePageAtAnyResolution) {
    const PrintedMonth small = picture(print(QStringLiteral("small"), 2026, 3, false), false);
    const PrintedMonth large = picture(print(QStringLiteral("large"), 2026, 3, true), true);
    const int R = small.page.rowHeight;
    const int W = small.page.texts.front().rect.right;
    const PageRect row10{W / 6, 12 * R, W, 13 * R};
    int smallTop = 0, smallBottom = 0, largeTop = 0, largeBottom = 0;
    ASSERT_GT(small.darkPixels(row10, &smallTop, &smallBottom), 0);
    ASSERT_GT(large.darkPixels(row10, &largeTop, &largeBottom), 0);
    EXPECT_GE(largeBottom - largeTop, 3 * (smallBottom - smallTop) / 2);
    EXPECT_LT(largeTop, smallTop) << "large names fill their row, small ones sit low in it";

    // At 600 dots per inch the page looks as at 300: the pictures barely differ.
    const PrintedMonth fine = picture(
        print(QStringLiteral("fine"), 2026, 3, false, 2 * kPrinterDpi), false, 2 * kPrinterDpi);
    ASSERT_EQ(fine.picture.size(), small.picture.size());
    int differing = 0;
    for (int y = 0; y < small.picture.height(); ++y)
        for (int x = 0; x < small.picture.width(); ++x)
            differing +=
                std::abs(grey(small.picture.pixel(x, y)) - grey(fine.picture.pixel(x, y))) > 96;
    EXPECT_LT(differing, small.picture.width() * small.picture.height() / 200);
}

} // namespace
} // namespace kivo
