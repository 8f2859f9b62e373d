// The modal-dialog pattern of the program: OnInitDialog runs before the window is shown and may
// end the dialog at once, in which case it is never shown.
#pragma once

#include <QDialog>

namespace kivo {

// Dialog results: 1 for OK and 2 for Cancel, the ids of those buttons in every template.
enum DialogResult { IDOK = 1, IDCANCEL = 2 };

class KivoDialog : public QDialog {
public:
    explicit KivoDialog(QWidget* parent = nullptr);

    // Runs OnInitDialog and, unless that ended the dialog, shows it modally. Returns the result.
    int DoModal();
    // Runs OnInitDialog only; returns false when it ended the dialog (which is then never shown).
    bool initialize();
    // The result with which the dialog ended itself during OnInitDialog.
    int earlyResult() const { return earlyResult_; }
    // Ends the dialog with a result; before it is shown, it keeps it from being shown at all.
    void EndDialog(int result);

    // OK and cancel end with the results above (Esc and the close box are a cancel).
    void accept() override { done(IDOK); }
    void reject() override { done(IDCANCEL); }

protected:
    // Set-up before the window is shown; returns whether the dialog should set the focus itself.
    virtual bool OnInitDialog() { return true; }

private:
    bool initializing_ = false;
    bool endedEarly_ = false;
    int earlyResult_ = IDCANCEL;
};

} // namespace kivo
