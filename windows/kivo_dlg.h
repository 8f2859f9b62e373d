// The setup window: every record in a sortable list, the options and the record commands.
#pragma once

#include "core/app_settings.h"
#include "core/person_record.h"
#include "core/text_table.h"
#include "engine/occurrence.h"
#include "platform/platform.h"
#include "windows/kivo_dialog.h"

#include <QString>
#include <array>
#include <string>

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QLabel;
class QLineEdit;

namespace kivo {

class CListCtrlEx;
class SpinButton;

class CKivoDlg : public KivoDialog {
public:
    // The list's columns, in order.
    enum Column {
        ColName = 0,
        ColNext,
        ColAhead,
        ColAgeNow,
        ColDays,
        ColRemind,
        ColType,
        ColPrint,
        ColIcon,
        ColumnCount
    };

    // The address the web link shows.
    static constexpr const char* kMakerWebAddress = "https://www.velmik.example/fennaro/";

    explicit CKivoDlg(Platform& platform);

    // Set by the creator before the window opens; the window owns none of them.
    RecordList* records = nullptr;
    const TextTable* texts = nullptr;
    AppSettings* settings = nullptr;

    bool modified = false; // records were changed here

    std::string dataFolder; // ends with the path separator
    // The category name of each icon, for the calendar export.
    std::array<std::string, 64> categories;
    // The window's own reference day, taken when it opens; every day count it makes is relative
    // to it.
    Date today{};

    // Rebuilds every row from `records`, in ascending name order, and shows the count.
    void fillList();
    // Writes columns 1 to 8 and the item data of an existing row; column 0 (name and image) is
    // set by whoever inserts or renames the row.
    void fillRow(int row, PersonRecord& record);
    void showItemCount();
    // Copies the option controls into `settings`.
    void applyOptions();
    // The Close button: the options are taken over, then the window ends.
    void OnOK();

    CListCtrlEx* listCtrl() const { return listCtrl_; }

protected:
    bool OnInitDialog() override;
    // The title-bar close takes the options over as Close does; Escape does not come here.
    void closeEvent(QCloseEvent* event) override;

private:
    // The fixed cell words, looked up once for a whole fill.
    struct CellWords {
        QString yes, no, birthday, event, date;
    };

    std::string text(const char* builtIn) const;
    QString qtext(const char* builtIn) const;
    CellWords cellWords() const;
    void fillRow(int row, PersonRecord& record, const CellWords& words);
    void connectControls();
    void insertColumns();
    void setCaptions();
    void loadOptions();

    Platform& platform_;
    CListCtrlEx* listCtrl_ = nullptr;
    QCheckBox* alwaysOnTopCheck_ = nullptr;   // 1003
    QCheckBox* onceADayCheck_ = nullptr;      // 1000
    QCheckBox* printLargeCheck_ = nullptr;    // 1004
    QCheckBox* largeReminderCheck_ = nullptr; // 1005
    QLineEdit* daysAheadEdit_ = nullptr;      // 1028
    QComboBox* iconBox_ = nullptr;            // 1026
    SpinButton* spin_ = nullptr;              // 1002
    QLabel* itemCount_ = nullptr;             // 1040
    QComboBox* printRange_ = nullptr;         // 1051
    QLineEdit* pastDaysEdit_ = nullptr;       // 1053
    QLabel* webLink_ = nullptr;               // 1029
};

} // namespace kivo
