// Month pages onto a painter, and the print job that puts one page per month on the printer.
#include "printing/print_job.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPen>
#include <QPrinter>

namespace kivo {

namespace {

QString fromBytes(const std::string& text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

QRect toQRect(const PageRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

int alignmentFlags(PageAlign align) {
    const int oneLine = Qt::TextSingleLine;
    return align == PageAlign::TopLeft ? (Qt::AlignLeft | Qt::AlignTop | oneLine)
                                       : (Qt::AlignLeft | Qt::AlignVCenter | oneLine);
}

} // namespace

QFont pageFont(const PageFontSpec& wanted, PageFont which) {
    QFont font;
    const QString face = QString::fromLatin1(wanted.face.c_str());
    if (QFontDatabase::hasFamily(face)) {
        font.setFamilies({face});
    } else if (which == PageFont::Names) {
        // The book face is narrow; the condensed cut keeps about as many letters on a line.
        font.setFamilies({QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("DejaVu Sans")});
        font.setStretch(QFont::Condensed);
    } else {
        font.setFamilies({QStringLiteral("DejaVu Sans")});
        font.setWeight(QFont::Bold);
    }
    font.setPixelSize(qMax(1, wanted.pixelHeight));
    return font;
}

void paintMonthPage(QPainter& painter, const MonthPage& page) {
    painter.save();
    for (const PageFill& fill : page.fills)
        painter.fillRect(toQRect(fill.rect), QColor(fill.red, fill.green, fill.blue));

    // The background stays as it is under every text (the shaded rows show through).
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.setPen(Qt::black);
    const QFont fonts[] = {pageFont(page.titleFont, PageFont::Title),
                           pageFont(page.dayFont, PageFont::Day),
                           pageFont(page.namesFont, PageFont::Names)};
    for (const PageText& text : page.texts) {
        painter.setFont(fonts[static_cast<int>(text.font)]);
        // Clipped to its rectangle, so a long line ends at the page's right edge.
        const QRect rect = toQRect(text.rect);
        painter.save();
        painter.setClipRect(rect, Qt::IntersectClip);
        painter.drawText(rect, alignmentFlags(text.align), fromBytes(text.text));
        painter.restore();
    }

    // A cosmetic pen is one device pixel wide at any resolution: the thin line a printer draws
    // with its default pen.
    painter.setPen(QPen(Qt::black, 0));
    for (const PageRule& rule : page.rules)
        painter.drawLine(rule.x1, rule.y, rule.x2 - 1, rule.y);
    painter.restore();
}

QString printDocumentName(int year, int month) {
    if (month == kWholeYear)
        return QString::number(year);
    return QStringLiteral("%1 - %2").arg(month).arg(year);
}

bool printDates(QPrinter& printer, int year, int month, const PrintContent& content) {
    printer.setDocName(printDocumentName(year, month));
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    MonthPageRequest request;
    request.width = printer.width();
    request.height = printer.height();
    request.year = year;
    request.printLarge = content.printLarge;
    request.screenDpi = content.screenDpi;

    const int first = month == kWholeYear ? 1 : month;
    const int last = month == kWholeYear ? 12 : month;
    for (int m = first; m <= last; ++m) {
        if (m != first)
            printer.newPage();
        request.month = m;
        paintMonthPage(painter,
                       layoutMonthPage(request, content.records, content.texts, content.locale));
    }
    return painter.end();
}

} // namespace kivo
