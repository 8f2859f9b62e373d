// The setup window: its layout, captions and options, the person list with its columns, and the
// record commands New, Edit and Delete.
#include "windows/kivo_dlg.h"

#include "controls/hyper_link.h"
#include "controls/list_ctrl_ex.h"
#include "core/number_text.h"
#include "engine/date_text.h"
#include "exchange/calendar_format.h"
#include "exchange/csv_format.h"
#include "exchange/vcard_reader.h"
#include "platform/desktop_platform.h"
#include "platform/dialog_builder.h"
#include "platform/file_picker.h"
#include "platform/print_dialog.h"
#include "printing/print_job.h"
#include "resources/icons.h"
#include "windows/person_dlg.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QTextEdit>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

namespace kivo {

const char* const CKivoDlg::kMakerWebAddress = KIVO_HOME_PAGE;

namespace {

struct ColumnSpec {
    const char* heading;
    int width;           // pixels at 96 dots per inch
    const char* toolTip; // what the column holds, for a heading too short to say it
    // Text ignoring case for the words, date for "Next", whole numbers for the counts.
    SortKind sortKind;
};

constexpr ColumnSpec kColumns[CKivoDlg::ColumnCount] = {
    {"Name", 200, "Name of the person or event", SortKind::TextNoCase},
    {"Next", 75, "Date of the next occurrence", SortKind::Date},
    {"Ahead", 50, "Days of advance warning", SortKind::WholeNumber},
    {"Age now", 65, "Age reached by today", SortKind::WholeNumber},
    {"Days", 40, "Days until the next date", SortKind::WholeNumber},
    {"Remind", 55, "Whether a reminder is shown", SortKind::TextNoCase},
    {"Type", 45, "Birthday, annual event or date", SortKind::TextNoCase},
    {"Print", 50, "Whether it is printed on the calendar", SortKind::TextNoCase},
    {"Icon", 50, "Number of the icon", SortKind::WholeNumber},
};

// The entries of the print-range box, in their order.
enum PrintRangeChoice { PrintThisYear, PrintNextYear, PrintThisMonth, PrintNextMonth };

// The icon the box shows until the stored default is loaded.
constexpr int kFirstDefaultIcon = 5;

// The age a dated record has reached by `today`: the person's age on the calendar, whatever day
// the reminders count a 29 February on. This year's birthday is the stored day and month, with a
// day the month lacks rolled over as mktime does (29 February of a common year is 1 March, 31 April
// is 1 May); it counts as reached once it is past, and on the exact stored day and month.
int ageReached(const PersonRecord& record, Date today) {
    const int thisYear = yearOf(today);
    const Date birthday = makeDate(thisYear, record.month, record.day);
    int age = thisYear - record.year - (IsBeforeToday(birthday, today) ? 0 : 1);
    if (monthOf(today) == record.month && dayOf(today) == record.day)
        ++age;
    return age;
}

// The editor's date into a record; an invalid date gives -1 each, which no list or reminder
// takes for a date.
void takeDate(PersonRecord& record, const QDate& date) {
    const bool valid = date.isValid();
    record.day = valid ? date.day() : -1;
    record.month = valid ? date.month() : -1;
    record.year = valid ? date.year() : -1;
}

// The filters of the export and import dialogs; the second one of each is this program's addition.
constexpr const char* kExportFilter =
    "CSV Files (*.csv)|*.csv|iCalendar Files (*.ics)|*.ics|All Files (*)|*||";
constexpr const char* kImportFilter =
    "CSV Files (*.csv)|*.csv|vCard Files (*.vcf)|*.vcf|All Files (*)|*||";
constexpr int kSecondFilter = 1;
constexpr int kAllFilesFilter = 2;

bool endsWithNoCase(const std::string& text, std::string_view end) {
    if (text.size() < end.size())
        return false;
    for (std::size_t i = 0; i < end.size(); ++i) {
        const char a = text[text.size() - end.size() + i];
        if (std::tolower(static_cast<unsigned char>(a)) != end[i])
            return false;
    }
    return true;
}

bool canOpenForReading(const std::string& path) {
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        std::fclose(f);
        return true;
    }
    return false;
}

// The platform's description of a file error, cut as its buffer of 255 characters cuts it.
std::string errorReason(std::string reason) {
    if (reason.size() > 254)
        reason.resize(254);
    return reason;
}

// A control in which the Delete key edits text, or a part of one (a spin box's or combo box's
// own line edit).
bool isTextField(const QWidget* widget) {
    for (const QWidget* w = widget; w && !w->isWindow(); w = w->parentWidget()) {
        if (qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
            qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w))
            return true;
        if (const auto* combo = qobject_cast<const QComboBox*>(w); combo && combo->isEditable())
            return true;
    }
    return false;
}

// The desktop's ways of opening the link, with a failure explained in the program's own message
// box.
class SetupLinkDesktop : public DesktopLinkServices {
public:
    explicit SetupLinkDesktop(MessageBoxes& messages) : messages_(messages) {}
    void showError(const QString& message) override { messages_.warning(fromQt(message)); }

private:
    MessageBoxes& messages_;
};

} // namespace

CKivoDlg::CKivoDlg(Platform& platform) : platform_(platform) {
    buildDialog(*this, kSetupDialog, [](const ControlTemplate& c, QWidget* parent) -> QWidget* {
        if (c.id == SetupControl::WebLink)
            return new CHyperLink(parent);
        if (c.id != SetupControl::PersonList)
            return nullptr;
        auto* list = new CListCtrlEx(parent);
        list->SetSortAscendingStyle((c.style & StyleSortAscending) != 0);
        return list;
    });
    listCtrl_ = controlById<CListCtrlEx>(*this, SetupControl::PersonList);
    alwaysOnTopCheck_ = controlById<QCheckBox>(*this, SetupControl::AlwaysOnTop);
    onceADayCheck_ = controlById<QCheckBox>(*this, SetupControl::OnlyOnceADay);
    printLargeCheck_ = controlById<QCheckBox>(*this, SetupControl::PrintLarge);
    largeReminderCheck_ = controlById<QCheckBox>(*this, SetupControl::LargeReminder);
    daysAheadEdit_ = controlById<QLineEdit>(*this, SetupControl::DaysToLookAhead);
    iconBox_ = controlById<QComboBox>(*this, SetupControl::DefaultIcon);
    spin_ = controlById<SpinButton>(*this, SetupControl::DaysToLookAheadArrows);
    itemCount_ = controlById<QLabel>(*this, SetupControl::ItemCount);
    printRange_ = controlById<QComboBox>(*this, SetupControl::PrintRange);
    pastDaysEdit_ = controlById<QLineEdit>(*this, SetupControl::PastDays);
    webLink_ = controlById<CHyperLink>(*this, SetupControl::WebLink);
    linkDesktop_ = std::make_unique<SetupLinkDesktop>(platform_.messages);
    webLink_->setDesktop(linkDesktop_.get());
    runEditor = [](CPersonDlg& dlg) { return dlg.DoModal(); };
    runFilePicker = [](FilePicker& picker) { return picker.DoModal(); };
    runPrintDialog = [this](QPrinter& printer) { return kivo::runPrintDialog(printer, this); };
    shiftHeld = [] {
        return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    };
    chooseFromMenu = [](QMenu& menu, const QPoint& at) {
        const QAction* chosen = menu.exec(at);
        return chosen ? chosen->data().toInt() : 0;
    };
    connectControls();
}

CKivoDlg::~CKivoDlg() {
    qApp->removeEventFilter(this);
    // The list outlives the cell words and dates its rows read through the callback.
    listCtrl_->SetTextCallback({});
}

// One line per (control, event, handler). Export, import and printing connect their buttons here
// as they come.
void CKivoDlg::connectControls() {
    connect(listCtrl_, &CListCtrlEx::rowDoubleClicked, this, [this] {
        if (const int row = listCtrl_->GetFirstSelected(); row >= 0)
            editRecord(row);
    });
    connect(listCtrl_, &CListCtrlEx::rowRightClicked, this,
            [this](int, const QPoint& at) { showRecordMenu(at); });
    connect(controlById<QPushButton>(*this, SetupControl::New), &QPushButton::clicked, this,
            [this] { newRecord(); });
    connect(controlById<QPushButton>(*this, SetupControl::Export), &QPushButton::clicked, this,
            [this] { exportCsv(); });
    connect(controlById<QPushButton>(*this, SetupControl::Import), &QPushButton::clicked, this,
            [this] { importCsv(); });
    connect(controlById<QPushButton>(*this, SetupControl::Print), &QPushButton::clicked, this,
            [this] { printSelectedRange(); });
    connect(controlById<QPushButton>(*this, SetupControl::PrintThisYear), &QPushButton::clicked,
            this, [this] { printThisYear(); });
    connect(controlById<QPushButton>(*this, SetupControl::PrintNextYear), &QPushButton::clicked,
            this, [this] { printNextYear(); });
    connect(controlById<QPushButton>(*this, SetupControl::Close), &QPushButton::clicked, this,
            [this] { OnOK(); });
}

std::string CKivoDlg::text(const char* builtIn) const {
    return texts ? lookUpText(*texts, builtIn) : std::string(builtIn);
}

QString CKivoDlg::qtext(const char* builtIn) const {
    return toQtShown(text(builtIn));
}

bool CKivoDlg::OnInitDialog() {
    setWindowIcon(applicationIcon());

    // The label shows the address it opens, as the template's text would.
    webLink_->setText(QString::fromUtf8(kMakerWebAddress));
    webLink_->PreSubclassWindow();
    webLink_->SetLinkTarget(QString::fromUtf8(kMakerWebAddress));
    webLink_->SetUnderlined(true);
    modified = false;

    // The window counts days from the day it opens, which is not the run's day when the program
    // was left running past midnight.
    const Date now = platform_.clock.currentDate();
    if (!now.ok() || yearOf(now) < 1900) {
        platform_.messages.error("The current date could not be read.");
        EndDialog(IDCANCEL);
        return true;
    }
    today = now;

    insertColumns();
    listCtrl_->SetImageList(iconPictures(devicePixelRatioF()));
    listCtrl_->SetRowHighlightMode(CListCtrlEx::HighlightToEdge);
    setCaptions();
    spin_->setRange(1, 365);

    listCtrl_->setDateFormat(settings->dateFormat);
    fillList();

    controlById<QPushButton>(*this, SetupControl::Print)->setText(qtext("Print:"));
    for (const char* range : {"This year", "Next year", "This month", "Next month"})
        printRange_->addItem(qtext(range));
    printRange_->setCurrentIndex(0);

    for (int i = 0; i < kChoosableIcons; ++i)
        iconBox_->addItem(iconPicture(i), QString());
    iconBox_->setCurrentIndex(kFirstDefaultIcon);

    std::vector<std::uint8_t> sortKinds;
    for (const ColumnSpec& column : kColumns)
        sortKinds.push_back(static_cast<std::uint8_t>(column.sortKind));
    listCtrl_->SetColumnSortKinds(sortKinds);
    listCtrl_->EnableHeaderSort(true);
    // A stored 0 names no column: the rows stay in name order. A column the list lacks is not
    // sorted either, and the next close stores 0.
    const long long stored = settings->sortColumn;
    const long long column = (stored < 0 ? -stored : stored) - 1;
    if (stored != 0 && column < ColumnCount)
        listCtrl_->SortByColumn(static_cast<int>(column), stored > 0);

    loadOptions();
    return true;
}

void CKivoDlg::insertColumns() {
    for (int c = 0; c < ColumnCount; ++c) {
        listCtrl_->InsertColumn(c, qtext(kColumns[c].heading), Qt::AlignLeft,
                                mulDiv(kColumns[c].width, platform_.screenDpi, 96));
        listCtrl_->SetColumnToolTip(c, qtext(kColumns[c].toolTip));
    }
    // Every first run starts here, with nothing in the list.
    listCtrl_->SetEmptyListText(qtext("No records yet. Press New... to add a birthday."));
}

void CKivoDlg::setCaptions() {
    const auto set = [this](SetupControl id, const char* builtIn) {
        QWidget* control = controlById<QWidget>(*this, id);
        if (auto* group = qobject_cast<QGroupBox*>(control))
            group->setTitle(qtext(builtIn));
        else if (auto* button = qobject_cast<QAbstractButton*>(control))
            button->setText(qtext(builtIn));
        else if (auto* label = qobject_cast<QLabel*>(control))
            label->setText(qtext(builtIn));
    };
    set(SetupControl::Close, "Close");
    set(SetupControl::OptionsGroup, "Options");
    set(SetupControl::OnlyOnceADay, "Only display once a day");
    set(SetupControl::PrintLarge, "Print out birthdays in large font");
    set(SetupControl::AlwaysOnTop, "Reminder window always on top");
    set(SetupControl::DefaultsGroup, "Default for new records");
    set(SetupControl::DaysToLookAheadLabel, "Days to look ahead:");
    set(SetupControl::DefaultIconLabel, "Icon:");
    set(SetupControl::New, "New...");
    set(SetupControl::Export, "Export...");
    set(SetupControl::PrintThisYear, "Print This Year");
    set(SetupControl::PrintNextYear, "Print Next Year");
    set(SetupControl::Import, "Import...");
    set(SetupControl::PastDaysLabel, "Show past reminders for");
    set(SetupControl::PastDaysUnitLabel, "days");
    set(SetupControl::LargeReminder, "Large reminder window");
    setWindowTitle(qtext("Velmik Fennaro Setup"));
    // Nothing on the screen tells of the Shift+click otherwise.
    controlById<QWidget>(*this, SetupControl::Export)
        ->setToolTip(qtext("Shift+click: one calendar file per record into the data folder"));
}

void CKivoDlg::loadOptions() {
    onceADayCheck_->setChecked(settings->onceADay);
    alwaysOnTopCheck_->setChecked(settings->alwaysOnTop);
    // An icon the box does not hold leaves it without a selection.
    const int icon = settings->defaultIcon;
    iconBox_->setCurrentIndex(icon >= 0 && icon < iconBox_->count() ? icon : -1);
    printLargeCheck_->setChecked(settings->printLarge);
    largeReminderCheck_->setChecked(settings->largeReminder);
    daysAheadEdit_->setText(QString::number(settings->daysAhead));
    pastDaysEdit_->setText(QString::number(settings->pastDays));
}

void CKivoDlg::applyOptions() {
    settings->alwaysOnTop = alwaysOnTopCheck_->isChecked();
    settings->onceADay = onceADayCheck_->isChecked();
    settings->printLarge = printLargeCheck_->isChecked();
    settings->largeReminder = largeReminderCheck_->isChecked();
    // Taken as typed: the spin's range only bounds its arrows.
    settings->daysAhead = atoiLike(fromQt(daysAheadEdit_->text()));
    settings->pastDays = atoiLike(fromQt(pastDaysEdit_->text()));
    settings->defaultIcon = iconBox_->currentIndex();
    const int column = listCtrl_->activeSortColumn();
    settings->sortColumn = listCtrl_->activeSortAscending() ? column + 1 : -(column + 1);
}

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

void CKivoDlg::OnOK() {
    applyOptions();
    accept();
}

void CKivoDlg::closeEvent(QCloseEvent* event) {
    // Only a window on the screen has a title bar; a window that ended while opening never
    // loaded its options.
    if (isVisible())
        applyOptions();
    KivoDialog::closeEvent(event);
}

void CKivoDlg::showEvent(QShowEvent* event) {
    qApp->installEventFilter(this);
    KivoDialog::showEvent(event);
}

void CKivoDlg::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    KivoDialog::hideEvent(event);
}

bool CKivoDlg::eventFilter(QObject* watched, QEvent* event) {
    if (isMenuKeyOnTheList(watched, event)) {
        // The context menu that the system makes of the Menu key itself is the same request.
        if (event->type() == QEvent::KeyPress)
            showRecordMenuAtRow();
        return true;
    }
    if (isDeleteKeyForTheList(watched, event)) {
        if (const int row = listCtrl_->GetFirstSelected(); row >= 0) {
            deleteRecord(row);
            return true;
        }
    }
    return KivoDialog::eventFilter(watched, event);
}

// The Delete key pressed in this window, outside a text field: there it deletes characters, and a
// keystroke meant for text must never destroy a record.
bool CKivoDlg::isDeleteKeyForTheList(QObject* watched, QEvent* event) const {
    if (event->type() != QEvent::KeyPress ||
        static_cast<QKeyEvent*>(event)->key() != Qt::Key_Delete)
        return false;
    const auto* target = qobject_cast<const QWidget*>(watched);
    if (!target || target->window() != this)
        return false;
    return !isTextField(target) && !isTextField(focusWidget());
}

// Shift+F10 or the Menu key pressed in the list, or the context menu the system makes of them.
bool CKivoDlg::isMenuKeyOnTheList(QObject* watched, QEvent* event) const {
    if (watched != listCtrl_ && watched != listCtrl_->viewport())
        return false;
    if (event->type() == QEvent::ContextMenu)
        return static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
    return (key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
           (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
}

PersonRecord* CKivoDlg::recordAt(int row) const {
    if (row < 0 || row >= listCtrl_->GetItemCount())
        return nullptr;
    return reinterpret_cast<PersonRecord*>(listCtrl_->GetItemData(row));
}

// What New and Edit hand the editor besides the record's own values.
void CKivoDlg::prepareEditor(CPersonDlg& dlg) const {
    dlg.texts = texts;
    dlg.settings = settings;
}

void CKivoDlg::newRecord() {
    CPersonDlg dlg(platform_, this);
    prepareEditor(dlg);
    // The defaults as they are on the screen now, not as they were stored.
    dlg.name.clear();
    dlg.email.clear();
    dlg.icon = iconBox_->currentIndex();
    dlg.daysInAdvance = atoiLike(fromQt(daysAheadEdit_->text()));
    const Date now = platform_.clock.currentDate();
    dlg.date = toQDate(now.ok() ? now : today);
    dlg.type = Birthday;
    dlg.infoOnly = 0;
    dlg.dontPrint = 0;
    if (runEditor(dlg) != IDOK)
        return;

    auto record = std::make_unique<PersonRecord>();
    record->name = dlg.name;
    record->email = dlg.email;
    takeDate(*record, dlg.date);
    record->icon = dlg.icon;
    record->daysInAdvance = dlg.daysInAdvance;
    record->type = dlg.type;
    record->leapling = dlg.leapling;
    record->infoOnly = dlg.infoOnly == 1;
    record->dontPrint = dlg.dontPrint == 1;
    record->skipYear = -1;
    PersonRecord& stored = records->append(std::move(record));
    ComputeOccurrence(stored, today);
    modified = true;
    fillList();
}

void CKivoDlg::editRecord(int row) {
    PersonRecord* record = recordAt(row);
    if (!record)
        return;
    CPersonDlg dlg(platform_, this);
    prepareEditor(dlg);
    dlg.name = record->name;
    dlg.email = record->email;
    dlg.icon = record->icon;
    dlg.daysInAdvance = record->daysInAdvance;
    dlg.type = record->type;
    dlg.infoOnly = record->infoOnly ? 1 : 0;
    dlg.dontPrint = record->dontPrint ? 1 : 0;
    dlg.leapling = record->leapling;
    dlg.date = CPersonDlg::editorDateFor(record->day, record->month, record->year);
    dlg.shownWhenInvalid = CPersonDlg::shownDateFor(record->day, record->month, toQDate(today));
    if (runEditor(dlg) != IDOK)
        return;

    const std::string oldName = record->name;
    record->name = dlg.name;
    record->email = dlg.email;
    record->icon = dlg.icon;
    record->daysInAdvance = dlg.daysInAdvance;
    // A date the editor could not show (no year, say) and the user left alone is kept as stored:
    // editing the e-mail address must not replace a birthday with the day of the edit.
    if (dlg.date.isValid() || dlg.dateChangedByUser())
        takeDate(*record, dlg.date);
    record->type = dlg.type;
    record->infoOnly = dlg.infoOnly == 1;
    record->dontPrint = dlg.dontPrint == 1;
    record->leapling = dlg.leapling;
    record->skipYear = -1; // any edit ends a "not again until next year"

    const quintptr data = reinterpret_cast<quintptr>(record);
    // The row is found again: nothing should have moved it while the editor was open, but its
    // number is not the record's identity.
    row = listCtrl_->FindItemByData(data);
    ComputeOccurrence(*record, today);
    if (row >= 0) {
        listCtrl_->SetItemText(row, ColName, toQtShown(record->name));
        fillRow(row, *record);
        listCtrl_->SetItemImage(row, record->icon);
    }
    if (record->name != oldName || row < 0) {
        // A new name can move the row in the name order.
        fillList();
        row = listCtrl_->FindItemByData(data);
        if (row >= 0) {
            listCtrl_->EnsureVisible(row);
            listCtrl_->SetSelected(row);
        }
    }
    modified = true;
}

void CKivoDlg::deleteRecord(int row) {
    PersonRecord* record = recordAt(row);
    if (!record)
        return;
    // The row goes first: it reads its texts from the record.
    listCtrl_->DeleteItem(row);
    records->remove(record);
    showItemCount();
    const int count = listCtrl_->GetItemCount();
    if (count > 0) {
        const int next = row < count ? row : row - 1;
        listCtrl_->EnsureVisible(next);
        listCtrl_->SetSelected(next);
    } else {
        listCtrl_->SetSelected(-1);
    }
    modified = true;
}

void CKivoDlg::showRecordMenu() {
    showRecordMenu(QCursor::pos());
}

void CKivoDlg::showRecordMenuAtRow() {
    const int row = listCtrl_->GetFirstSelected();
    if (row < 0)
        return;
    listCtrl_->EnsureVisible(row);
    const QRect label = listCtrl_->GetItemRect(row, CListCtrlEx::ItemPart::Label);
    showRecordMenu(listCtrl_->viewport()->mapToGlobal(QPoint(label.left(), label.center().y())));
}

void CKivoDlg::showRecordMenu(const QPoint& at) {
    // The command acts on the row selected now, whatever the menu does to the selection.
    const int row = listCtrl_->GetFirstSelected();
    if (row < 0)
        return;
    QMenu menu(this);
    menu.setFont(font()); // a menu is a window of its own and takes no font from its owner
    for (const auto& [id, builtIn] :
         {std::pair{ID_NEW, "New"}, std::pair{ID_EDIT, "Edit"}, std::pair{ID_DELETE, "Delete"}})
        menu.addAction(qtext(builtIn))->setData(id);
    runRecordCommand(chooseFromMenu(menu, at), row);
}

void CKivoDlg::runRecordCommand(int command, int row) {
    switch (command) {
    case ID_NEW:
        newRecord();
        break;
    case ID_EDIT:
        editRecord(row);
        break;
    case ID_DELETE:
        deleteRecord(row);
        break;
    default:
        break; // the menu was dismissed
    }
}

CKivoDlg::CellWords CKivoDlg::cellWords() const {
    return {qtext("Yes"), qtext("No"), qtext("B'day"), qtext("Event"), qtext("Date")};
}

void CKivoDlg::fillList() {
    // The texts cannot change while the window is open, so one lookup serves every row.
    words_ = cellWords();
    shownDates_.clear();
    // The rows ask for their texts only when they are drawn or sorted; a row holds its record's
    // address and image. With drawing off the list puts them in name order once at the end.
    listCtrl_->SetRedraw(false);
    listCtrl_->DeleteAllItems();
    listCtrl_->SetTextCallback([this](quintptr data, int column) {
        return cellText(*reinterpret_cast<const PersonRecord*>(data), column, words_)
            .value_or(QString());
    });
    if (records) {
        std::vector<CListCtrlEx::CallbackItem> items;
        items.reserve(records->size());
        for (PersonRecord& record : *records)
            items.push_back({reinterpret_cast<quintptr>(&record), record.icon});
        listCtrl_->InsertCallbackItems(items);
    }
    listCtrl_->SetRedraw(true);
    showItemCount();
}

void CKivoDlg::fillRow(int row, PersonRecord& record) {
    fillRow(row, record, cellWords());
}

void CKivoDlg::fillRow(int row, PersonRecord& r, const CellWords& words) {
    for (int column = ColNext; column < ColumnCount; ++column)
        if (const std::optional<QString> shown = cellText(r, column, words))
            listCtrl_->SetItemText(row, column, *shown);
    listCtrl_->SetItemData(row, reinterpret_cast<quintptr>(&r));
}

// A sort by "Next" asks for the date of every row, and a million rows share a few hundred dates.
QString CKivoDlg::shownDateText(Date date) const {
    const auto key =
        static_cast<std::int32_t>(std::chrono::sys_days{date}.time_since_epoch().count());
    auto [at, added] = shownDates_.try_emplace(key);
    if (added)
        at->second = toQt(formatDate(settings->dateFormat, date));
    return at->second;
}

std::optional<QString> CKivoDlg::cellText(const PersonRecord& r, int column,
                                          const CellWords& words) const {
    // A record without a real day and month (a malformed import, say) has no next date, age or
    // day count: those cells stay empty and the rest of the row is shown as usual.
    if (column == ColName)
        return toQtShown(r.name);
    const bool dated = hasUsableDate(r) && r.nextYear >= 1900;
    // Without a year there is no age, and no day count is shown either.
    const bool counted = dated && r.year != 0;
    const QString noNumber = dated ? QStringLiteral("-") : QString();
    switch (column) {
    case ColNext:
        return dated ? shownDateText(ShownDate(r)) : QString();
    case ColAhead:
        return QString::number(r.daysInAdvance);
    case ColDays:
        return counted ? QString::number(r.daysUntil) : noNumber;
    case ColRemind:
        return r.infoOnly ? words.no : words.yes;
    case ColType:
    case ColAgeNow:
        break;
    case ColPrint:
        return r.dontPrint ? words.no : words.yes;
    case ColIcon:
        return QString::number(r.icon);
    default:
        return QString();
    }
    // Events and dates have no age, dated or not; an undated record shows no age at all. An
    // unknown type leaves both cells as they were.
    const QString age = counted ? QString::number(ageReached(r, today)) : noNumber;
    switch (r.type) {
    case Birthday:
        return column == ColType ? words.birthday : age;
    case AnnualEvent:
        return column == ColType ? words.event : noNumber;
    case BirthdayUnknownAge:
        return column == ColType ? words.date : noNumber;
    case AnnualEventWithStart:
        return column == ColType ? words.event : age;
    default:
        return std::nullopt;
    }
}

void CKivoDlg::showItemCount() {
    // One pass over the pattern, so a translation holding "%2" is shown as it is.
    itemCount_->setText(
        QStringLiteral("%1: %2").arg(qtext("Items"), QString::number(listCtrl_->GetItemCount())));
}

// What a record made here gets besides its name and date: the defaults on the screen, as New
// hands them to the editor.
PersonRecord CKivoDlg::newRecordDefaults() const {
    PersonRecord r;
    r.icon = iconBox_->currentIndex();
    r.daysInAdvance = atoiLike(fromQt(daysAheadEdit_->text()));
    r.type = Birthday;
    r.leapling = 1;
    r.skipYear = -1;
    return r;
}

void CKivoDlg::exportCsv() {
    if (shiftHeld()) {
        exportICalendar();
        return;
    }
    FilePicker picker(false, "birthdays.csv", kExportFilter, this);
    if (runFilePicker(picker) != 1)
        return;
    const bool singleCalendar = picker.filterIndex == kSecondFilter;
    std::string path = picker.getPath();
    const char* extension = singleCalendar ? ".ics" : ".csv";
    if (!endsWithNoCase(path, extension))
        path += extension;
    if (canOpenForReading(path) && !platform_.messages.question(text(
                                       "That file already exists.  Do you wish to overwrite it?")))
        return;
    writeExport(path, singleCalendar);
}

// The file is replaced only once it is complete: a failure leaves an existing file as it was and
// no partial one behind.
bool CKivoDlg::writeExport(const std::string& path, bool singleCalendar) {
    std::string error;
    std::size_t undated = 0;
    bool written;
    if (singleCalendar) {
        Categories all = defaultCategories();
        readCategoriesFile(dataFolder + kCategoriesFileName, all);
        written = replaceFileAtomically(
            path, formatSingleCalendar(*records, all, platform_.clock.currentTime(), &undated),
            &error);
    } else {
        written = writeCsvFile(path, *records, &error);
    }
    if (!written) {
        platform_.messages.error(text("Error writing to file\n\n") + errorReason(error));
        return false;
    }
    if (undated > 0) {
        const char* builtIn = "Records without a date, left out of the calendar: %i";
        platform_.messages.information(
            fillFormat(text(builtIn), builtIn, {std::to_string(undated)}));
    }
    return true;
}

void CKivoDlg::importCsv() {
    FilePicker picker(true, "birthdays.csv", kImportFilter, this);
    if (runFilePicker(picker) != 1)
        return;
    const std::string& path = picker.getPath();
    const bool contacts = picker.filterIndex == kSecondFilter ||
                          (picker.filterIndex == kAllFilesFilter && endsWithNoCase(path, ".vcf"));
    const std::size_t before = records->size();
    std::string error;
    std::size_t skipped = 0;
    bool failed;
    if (contacts) {
        VCardImportCounts counts;
        failed = readVCardFile(path, newRecordDefaults(), text("Anniversary"), *records, counts,
                               &error) != TextReadStatus::Ok;
        skipped = counts.skipped;
    } else {
        CsvImportCounts counts;
        failed = readCsvFile(path, *records, counts, &error) != TextReadStatus::Ok;
        skipped = counts.skipped;
    }
    for (std::size_t i = before; i < records->size(); ++i)
        ComputeOccurrence((*records)[i], today);
    if (failed)
        platform_.messages.error(text("Error reading file\n\n") + errorReason(error));
    // The records read before an error stay, and are shown.
    modified = true;
    fillList();
    listCtrl_->SetSelected(-1);
    if (skipped > 0) {
        const char* builtIn =
            contacts
                ? "Contacts not imported because they have no birthday or could not be read: %i"
                : "Lines not imported because their day, month or year cannot be kept: %i";
        platform_.messages.warning(fillFormat(text(builtIn), builtIn, {std::to_string(skipped)}));
    }
}

void CKivoDlg::exportICalendar() {
    categories = defaultCategories();
    readCategoriesFile(dataFolder + kCategoriesFileName, categories);
    std::size_t failed = 0;
    std::string firstName, firstReason;
    for (const PersonRecord& r : *records) {
        const std::string name = calendarName(r.name);
        std::string reason;
        if (writeCalendarFile(name, r.day, r.month, r.year, r.icon, &reason))
            continue;
        if (failed++ == 0) {
            firstName = r.name;
            firstReason = reason;
        }
    }
    // Silent when every file was written; a file left out must not pass for exported.
    if (failed > 0) {
        const char* builtIn = "Calendar files not written: %i\n\nThe first is \"%s\": %s";
        platform_.messages.warning(fillFormat(
            text(builtIn), builtIn, {std::to_string(failed), firstName, errorReason(firstReason)}));
    }
}

bool CKivoDlg::writeCalendarFile(const std::string& name, int day, int month, int year, int icon,
                                 std::string* reason) {
    const auto file = calendarFileName(name);
    if (!file) {
        // A separator, "." or ".." would put the file outside the data folder.
        if (reason)
            *reason = text("The name cannot be a file name in the data folder.");
        return false;
    }
    return replaceFileAtomically(
        dataFolder + *file,
        formatCalendarFile(name, day, month, year, categoryFor(categories, icon)), reason);
}

} // namespace kivo
