// The setup window: every record in a sortable list, the options and the record commands.
#pragma once

#include "core/app_settings.h"
#include "core/person_record.h"
#include "core/text_table.h"
#include "engine/occurrence.h"
#include "platform/platform.h"
#include "windows/kivo_dialog.h"

#include <QList>
#include <QPixmap>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class QCheckBox;
class QCloseEvent;
class QComboBox;
class QEvent;
class QHideEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPoint;
class QPrinter;
class QShowEvent;

namespace kivo {

class CAccountsDlg;
class CHyperLink;
class LinkDesktop;
class CListCtrlEx;
class CPersonDlg;
class FileChangeWatch;
class FilePicker;
class PasswordStore;
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

    // Command ids of the list's context menu.
    static constexpr int ID_NEW = 32774;
    static constexpr int ID_EDIT = 32772;
    static constexpr int ID_DELETE = 32773;

    // The address the web link shows and opens: the project's home page, set when it is built
    // (KIVO_HOME_PAGE), by default the installed user guide.
    static const char* const kMakerWebAddress;

    explicit CKivoDlg(Platform& platform);
    ~CKivoDlg() override;

    // Set by the creator before the window opens; the window owns none of them.
    RecordList* records = nullptr;
    const TextTable* texts = nullptr;
    AppSettings* settings = nullptr;

    bool modified = false; // records were changed here

    std::string dataFolder; // ends with the path separator
    // The records file the list was read from. While the window is open, a change of it on disk
    // reloads the list through `reloadRecords`, unless records were changed here; empty: the
    // window does not follow the file.
    std::string recordsPath;
    // Reads the records file again and returns whether `records` was replaced by what it holds
    // now; false when it holds what was read, cannot be read, or the run has unsaved changes.
    // Set by the creator.
    std::function<bool()> reloadRecords;
    // Files beside the records file that a sync tool made of it, to be told of once the window
    // is on the screen.
    std::vector<std::string> conflictCopies;
    // The keyring with the address book accounts' passwords; set by the creator. Without it the
    // window syncs nothing.
    PasswordStore* passwords = nullptr;
    // Reads the accounts' contacts files again after a sync or an account's removal changed them;
    // records changed here stay changed. Set by the creator.
    std::function<void()> reloadContacts;
    // Whether the accounts sync in the background once the window is on the screen.
    bool syncWhenShown = true;
    // The category name of each icon, for the calendar export.
    std::array<std::string, 64> categories;
    // The window's own reference day, taken when it opens; every day count it makes is relative
    // to it.
    Date today{};

    // Runs the person editor for New and Edit and returns its result; by default modally, nested
    // in this window. Tests replace it.
    std::function<int(CPersonDlg&)> runEditor;
    // Runs a file dialog for the export and import and returns its result; by default the real
    // dialog. Tests replace it.
    std::function<int(FilePicker&)> runFilePicker;
    // Whether Shift is held at the click on "Export..."; by default asked of the window system at
    // that moment. Tests replace it.
    std::function<bool()> shiftHeld;
    // Shows the print dialog for a printer and returns whether the user chose to print; by default
    // the real dialog, nested in this window. Tests replace it.
    std::function<bool(QPrinter&)> runPrintDialog;
    // Runs the accounts dialog and returns its result; by default modally, nested in this window.
    // Tests replace it.
    std::function<int(CAccountsDlg&)> runAccounts;
    // Chooses a command from the list's context menu shown at a point on the screen. Tests
    // replace it. Returns the chosen command id, or 0.
    std::function<int(QMenu&, const QPoint&)> chooseFromMenu;

    // The record commands. A row is a row of the list; a row without a record does nothing.
    void newRecord();
    void editRecord(int row);
    void deleteRecord(int row);
    // The context menu for the selected row, at the mouse cursor; nothing without a row.
    void showRecordMenu();
    // The same menu at a point on the screen.
    void showRecordMenu(const QPoint& at);
    // The same menu opened from the keyboard (Shift+F10, the Menu key): at the selected row.
    void showRecordMenuAtRow();
    // Runs a command of the context menu on a row.
    void runRecordCommand(int command, int row);

    // "Export...": the CSV file, or one calendar of every record, chosen in a save dialog; with
    // Shift held, one calendar file per record into the data folder instead.
    void exportCsv();
    // "Import...": the records of a CSV or contacts file chosen in an open dialog, appended.
    void importCsv();
    // One calendar file per record into the data folder, categories from "categories.ini".
    void exportICalendar();
    // Writes the calendar file of one record (name already cleaned of double quotes); false with
    // the reason when the name gives no file in the data folder or the file could not be written.
    bool writeCalendarFile(const std::string& name, int day, int month, int year, int icon,
                           std::string* reason = nullptr);

    // Rebuilds every row from `records`, in ascending name order, and shows the count.
    void fillList();
    // Writes columns 1 to 8 and the item data of an existing row; column 0 (name and image) is
    // set by whoever inserts or renames the row.
    void fillRow(int row, PersonRecord& record);
    void showItemCount();
    // "Print:": the range chosen in the print-range box, read once the print dialog was confirmed.
    void printSelectedRange();
    // The hidden "Print This Year" and "Print Next Year".
    void printThisYear();
    void printNextYear();

    // Refreshes the list from the records file after it changed on disk: the sort and the
    // selected record stay. Waits while a command of the window runs (an editor, a file dialog,
    // a menu is open), and does nothing once records were changed here.
    void followRecordsFile();

    // "Sync...": the accounts dialog; the list then shows what its syncs changed.
    void openAccounts();
    // Syncs every account in the background: the list shows what changed once it ends, and a
    // failure is told once (not again while the account keeps failing the same way).
    void syncInBackground();
    bool syncingInBackground() const { return backgroundSync_ != nullptr; }
    // The accounts' contacts files changed: the list shows them again through `reloadContacts`
    // once nothing is open on top of the window.
    void followContacts();

    // Copies the option controls into `settings`.
    void applyOptions();
    // The Close button: the options are taken over, then the window ends.
    void OnOK();

    CListCtrlEx* listCtrl() const { return listCtrl_; }

protected:
    bool OnInitDialog() override;
    // The title-bar close takes the options over as Close does; Escape does not come here.
    void closeEvent(QCloseEvent* event) override;
    // The Delete key is watched application-wide while the window is on the screen, so that it
    // reaches the record list whichever control has the focus.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Back from a window of its own: a refresh that waited for it follows.
    void changeEvent(QEvent* event) override;

private:
    // The fixed cell words, looked up once for a whole fill.
    struct CellWords {
        QString yes, no, birthday, event, date;
    };

    std::string text(const char* builtIn) const;
    QString qtext(const char* builtIn) const;
    CellWords cellWords() const;
    void fillRow(int row, PersonRecord& record, const CellWords& words);
    // What a record's row shows in a column; nothing for a cell its type leaves as it was.
    std::optional<QString> cellText(const PersonRecord& record, int column,
                                    const CellWords& words) const;
    // A date as the "Next" column shows it in the date format of the last fill.
    QString shownDateText(Date date) const;
    void connectControls();
    // A year and a month (or the whole year) to print.
    struct PrintRange {
        int year;
        int month;
    };
    // Takes the options over, asks the print dialog and, when confirmed, prints the range that
    // `chosenRange` gives then (nothing when it gives none), as one job.
    void print(const std::function<std::optional<PrintRange>()>& chosenRange);
    void insertColumns();
    // The columns' sort kinds, sorting by a click on a heading, and the sort stored at the last
    // close.
    void setUpSorting();
    void setCaptions();
    void loadOptions();
    PersonRecord* recordAt(int row) const;
    void prepareEditor(CPersonDlg& dlg) const;
    bool isDeleteKeyForTheList(QObject* watched, QEvent* event) const;
    bool writeExport(const std::string& path, bool singleCalendar);
    PersonRecord newRecordDefaults() const;
    bool isMenuKeyOnTheList(QObject* watched, QEvent* event) const;
    // Runs a command of the window; a refresh that came while it ran follows when it ends.
    void runCommand(const std::function<void()>& command);
    bool canRefreshNow() const;
    // The list's pictures and a record's among them: an address book's records carry a mark.
    static QList<QPixmap> listPictures(qreal devicePixelRatio);
    static int listImageOf(const PersonRecord& record);
    void tellConflictCopies();
    // Rebuilds the list after `reload` replaced the records (when it returns true), with the sort
    // and the selected record kept.
    void refreshList(const std::function<bool()>& reload);
    // What a sync left to do once nothing is open on top of the window: the contacts' records
    // reloaded, failures told.
    void followSync();

    Platform& platform_;
    CListCtrlEx* listCtrl_ = nullptr;
    QCheckBox* alwaysOnTopCheck_ = nullptr;
    QCheckBox* onceADayCheck_ = nullptr;
    QCheckBox* printLargeCheck_ = nullptr;
    QCheckBox* largeReminderCheck_ = nullptr;
    QCheckBox* notifyCheck_ = nullptr;
    QLineEdit* daysAheadEdit_ = nullptr;
    QComboBox* iconBox_ = nullptr;
    SpinButton* spin_ = nullptr;
    QLabel* itemCount_ = nullptr;
    QComboBox* printRange_ = nullptr;
    QLineEdit* pastDaysEdit_ = nullptr;
    CHyperLink* webLink_ = nullptr;
    std::unique_ptr<LinkDesktop> linkDesktop_;
    CellWords words_; // as the rows that ask for their texts show them
    std::unique_ptr<FileChangeWatch> recordsWatch_;
    int commandsRunning_ = 0;
    bool refreshPending_ = false;
    bool conflictCopiesTold_ = false;
    // Owns the background sync under way: the sync ends with it, unheard.
    std::unique_ptr<QObject> backgroundSync_;
    bool contactsPending_ = false;
    std::vector<std::string> syncFailures_;                        // to tell
    mutable std::unordered_map<std::int32_t, QString> shownDates_; // by day number
};

} // namespace kivo
