// The person editor: one record's name, e-mail, date, leapling rule, icon, advance days, type and
// flags, with a sample reminder that follows what is typed.
#pragma once

#include "core/app_settings.h"
#include "core/text_table.h"
#include "platform/platform.h"
#include "windows/kivo_dialog.h"

#include <QDate>
#include <string>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;

namespace kivo {

class SpinButton;

class CPersonDlg : public KivoDialog {
public:
    // The owner is the window the editor opens over, centred.
    explicit CPersonDlg(Platform& platform, QWidget* owner = nullptr);

    // The editor's date for a record's day, month and year: valid only for a real calendar date
    // in years 100 to 9999 (what the picker and a date-time value can hold), so that it converts
    // back to the same three numbers. Year 0 ("no year") and day or month 0 give an invalid date.
    static QDate editorDateFor(int day, int month, int year);
    // What the picker shows for a record whose date it cannot show: its day and month in today's
    // year (29 February in the next leap year from today's year on), or today when the day and
    // month are no date.
    static QDate shownDateFor(int day, int month, QDate today);

    // The values the caller sets before opening and reads back after OK.
    std::string name;
    QDate date;   // invalid when the record has no date the picker can show exactly
    int icon = 0; // changes only when the user picks an icon
    int daysInAdvance = 0;
    int infoOnly = 0;
    std::string email;
    int dontPrint = 0;
    int type = 0;
    int leapling = 1; // a new record starts with "March 1"
    // The record comes from the user's address book on the server: its name, e-mail and date are
    // shown but changed there, and a line under the sample says so.
    bool fromAddressBook = false;
    // What the picker shows while `date` is invalid (see shownDateFor); today when left invalid.
    QDate shownWhenInvalid;

    const TextTable* texts = nullptr;
    const AppSettings* settings = nullptr;

    // True once the user changed the date in the picker. While `date` is invalid and this is
    // false, OK leaves `date` invalid, so the caller keeps the record's stored day, month and year.
    bool dateChangedByUser() const { return dateChangedByUser_; }

    // Copies between the value members and the controls, in the fixed order; reading validates
    // the days to 0..365 and stops at that field with a message when they are not.
    bool DoDataExchange(bool save);
    void UpdateCaption();
    void ShowLeapling();
    void refreshSample();
    void OnOK();

protected:
    bool OnInitDialog() override;

private:
    std::string text(const char* builtIn) const;
    QDate today() const;
    void OnNameChange();
    void OnDateChange();
    void showAddressBookNote();

    Platform& platform_;
    bool initialized_ = false;
    bool dateShown_ = false; // the picker was given `date` itself
    bool dateChangedByUser_ = false;
    QLineEdit* nameEdit_ = nullptr;
    QLineEdit* emailEdit_ = nullptr;
    // What the two text fields were given and from which texts, so that a text the user left
    // alone (or put back as it was) keeps its stored bytes.
    QString shownName_;
    QString shownEmail_;
    std::string givenName_;
    std::string givenEmail_;
    QDateEdit* datePicker_ = nullptr;
    QComboBox* leaplingList_ = nullptr;
    QComboBox* iconList_ = nullptr;
    QLineEdit* daysEdit_ = nullptr;
    SpinButton* spin_ = nullptr;
    QComboBox* typeList_ = nullptr;
    QCheckBox* infoOnlyCheck_ = nullptr;
    QCheckBox* dontPrintCheck_ = nullptr;
    QLabel* nameLabel_ = nullptr;
    QLabel* dateLabel_ = nullptr;
    QLabel* leaplingLabel_ = nullptr;
    QLabel* sampleLabel_ = nullptr;
};

} // namespace kivo
