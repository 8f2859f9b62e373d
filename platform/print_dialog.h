// The print dialog the calendar printing asks before it prints.
#pragma once

class QPrintDialog;
class QPrinter;
class QWidget;

namespace kivo {

// The whole document only: no page range, no current page, no selection. Printing to a file (PDF)
// stays offered, as on a desktop without a printer that is how people print.
void setUpPrintDialog(QPrintDialog& dialog);

// Shows the print dialog for the printer, modally; true when the user chose to print.
bool runPrintDialog(QPrinter& printer, QWidget* parent);

} // namespace kivo
