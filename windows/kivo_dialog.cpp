// The modal-dialog pattern shared by the program's windows.
#include "windows/kivo_dialog.h"

namespace kivo {

KivoDialog::KivoDialog(QWidget* parent) : QDialog(parent) {
    setModal(true);
}

bool KivoDialog::initialize() {
    initializing_ = true;
    endedEarly_ = false;
    OnInitDialog();
    initializing_ = false;
    return !endedEarly_;
}

int KivoDialog::DoModal() {
    if (!initialize())
        return earlyResult_;
    return exec();
}

void KivoDialog::EndDialog(int result) {
    if (initializing_) {
        endedEarly_ = true;
        earlyResult_ = result;
        return;
    }
    done(result);
}

} // namespace kivo
