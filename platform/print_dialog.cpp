// The print dialog on Qt's QPrintDialog.
#include "platform/print_dialog.h"

#include <QPrintDialog>
#include <QPrinter>

namespace kivo {

void setUpPrintDialog(QPrintDialog& dialog) {
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    dialog.setPrintRange(QAbstractPrintDialog::AllPages);
}

bool runPrintDialog(QPrinter& printer, QWidget* parent) {
    QPrintDialog dialog(&printer, parent);
    setUpPrintDialog(dialog);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kivo
