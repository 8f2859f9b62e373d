// The setup window's printing commands: the calendar pages of a year or a month, after the print
// dialog.
#include "windows/kivo_dlg.h"

#include "printing/print_job.h"

#include <QComboBox>
#include <QPrinter>

namespace kivo {

namespace {

// The entries of the print-range box, in their order.
enum PrintRangeChoice { PrintThisYear, PrintNextYear, PrintThisMonth, PrintNextMonth };

} // namespace

void CKivoDlg::print(const std::function<std::optional<PrintRange>()>& chosenRange) {
    // Printing uses the options as they are on the screen, and they stay taken over on Cancel.
    applyOptions();
    QPrinter printer(QPrinter::HighResolution);
    if (!runPrintDialog(printer))
        return;
    const std::optional<PrintRange> range = chosenRange();
    if (!range)
        return;
    static const RecordList noRecords;
    static const TextTable noTexts;
    const PrintContent content{records ? *records : noRecords, texts ? *texts : noTexts,
                               platform_.locale, settings->printLarge, platform_.screenDpi};
    // Nothing of the job is reported: a printer that fails says so itself.
    printDates(printer, range->year, range->month, content);
}

void CKivoDlg::printSelectedRange() {
    print([this]() -> std::optional<PrintRange> {
        const int year = yearOf(today);
        const int month = monthOf(today);
        switch (printRange_->currentIndex()) {
        case PrintThisYear:
            return PrintRange{year, kWholeYear};
        case PrintNextYear:
            return PrintRange{year + 1, kWholeYear};
        case PrintThisMonth:
            return PrintRange{year, month};
        case PrintNextMonth:
            return month == 12 ? PrintRange{year + 1, 1} : PrintRange{year, month + 1};
        default:
            return std::nullopt;
        }
    });
}

void CKivoDlg::printThisYear() {
    print([this] { return std::optional<PrintRange>({yearOf(today), kWholeYear}); });
}

void CKivoDlg::printNextYear() {
    print([this] { return std::optional<PrintRange>({yearOf(today) + 1, kWholeYear}); });
}

} // namespace kivo
