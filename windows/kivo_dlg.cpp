// The setup window: its layout, captions and options, its keys, and the record commands New, Edit
// and Delete. The list's columns and cells, the exchange commands and printing have files of their
// own (setup_list_cells.cpp, setup_exchange.cpp, setup_printing.cpp).
#include "windows/kivo_dlg.h"

#include "windows/accounts_dlg.h"

#include "controls/hyper_link.h"
#include "controls/list_ctrl_ex.h"
#include "core/number_text.h"
#include "platform/desktop_platform.h"
#include "platform/dialog_builder.h"
#include "platform/file_change_watch.h"
#include "platform/file_picker.h"
#include "platform/print_dialog.h"
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
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>
#include <memory>
#include <vector>

namespace kivo {

const char* const CKivoDlg::kMakerWebAddress = KIVO_HOME_PAGE;

namespace {

// The icon the box shows until the stored default is loaded.
constexpr int kFirstDefaultIcon = 5;

// The editor's date into a record; an invalid date gives -1 each, which no list or reminder
// takes for a date.
void takeDate(PersonRecord& record, const QDate& date) {
    const bool valid = date.isValid();
    record.day = valid ? date.day() : -1;
    record.month = valid ? date.month() : -1;
    record.year = valid ? date.year() : -1;
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
    notifyCheck_ = controlById<QCheckBox>(*this, SetupControl::NotifyReminders);
    daysAheadEdit_ = controlById<QLineEdit>(*this, SetupControl::DaysToLookAhead);
    iconBox_ = controlById<QComboBox>(*this, SetupControl::DefaultIcon);
    spin_ = controlById<SpinButton>(*this, SetupControl::DaysToLookAheadArrows);
    itemCount_ = controlById<QLabel>(*this, SetupControl::ItemCount);
    printRange_ = controlById<QComboBox>(*this, SetupControl::PrintRange);
    pastDaysEdit_ = controlById<QLineEdit>(*this, SetupControl::PastDays);
    webLink_ = controlById<CHyperLink>(*this, SetupControl::WebLink);
    linkDesktop_ = std::make_unique<SetupLinkDesktop>(platform_.messages);
    webLink_->setDesktop(linkDesktop_.get());
    // The link explains a failure in the program's texts, as every other message does.
    webLink_->texts = [this](const char* builtIn, const QStringList& arguments) {
        std::vector<std::string> filling;
        for (const QString& argument : arguments)
            filling.push_back(fromQt(argument));
        return toQtShown(fillFormat(text(builtIn), builtIn, filling));
    };
    runEditor = [](CPersonDlg& dlg) { return dlg.DoModal(); };
    runFilePicker = [](FilePicker& picker) { return picker.DoModal(); };
    runAccounts = [](CAccountsDlg& dialog) { return dialog.exec(); };
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
        runCommand([this] {
            if (const int row = listCtrl_->GetFirstSelected(); row >= 0)
                editRecord(row);
        });
    });
    connect(listCtrl_, &CListCtrlEx::rowRightClicked, this,
            [this](int, const QPoint& at) { runCommand([&] { showRecordMenu(at); }); });
    const auto button = [this](ControlId id, void (CKivoDlg::*command)()) {
        connect(controlById<QPushButton>(*this, id), &QPushButton::clicked, this,
                [this, command] { runCommand([&] { (this->*command)(); }); });
    };
    button(SetupControl::New, &CKivoDlg::newRecord);
    button(SetupControl::Export, &CKivoDlg::exportCsv);
    button(SetupControl::Import, &CKivoDlg::importCsv);
    button(SetupControl::Sync, &CKivoDlg::openAccounts);
    button(SetupControl::Print, &CKivoDlg::printSelectedRange);
    button(SetupControl::PrintThisYear, &CKivoDlg::printThisYear);
    button(SetupControl::PrintNextYear, &CKivoDlg::printNextYear);
    button(SetupControl::Close, &CKivoDlg::OnOK);
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
        platform_.messages.error(text("The current date could not be read."));
        EndDialog(IDCANCEL);
        return true;
    }
    today = now;

    insertColumns();
    listCtrl_->SetImageList(listPictures(devicePixelRatioF()));
    listCtrl_->SetRowHighlightMode(CListCtrlEx::HighlightToEdge);
    setCaptions();
    spin_->setRange(1, 365);

    listCtrl_->setDateFormat(settings->dateFormat);
    fillList();
    if (!recordsPath.empty() && reloadRecords)
        recordsWatch_ =
            std::make_unique<FileChangeWatch>(toQt(recordsPath), [this] { followRecordsFile(); });

    controlById<QPushButton>(*this, SetupControl::Print)->setText(qtext("Print:"));
    for (const char* range : {"This year", "Next year", "This month", "Next month"})
        printRange_->addItem(qtext(range));
    printRange_->setCurrentIndex(0);

    for (int i = 0; i < kChoosableIcons; ++i)
        iconBox_->addItem(iconPicture(i), QString());
    iconBox_->setCurrentIndex(kFirstDefaultIcon);

    setUpSorting();

    loadOptions();
    return true;
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
    set(SetupControl::Sync, "Sync...");
    set(SetupControl::PastDaysLabel, "Show past reminders for");
    set(SetupControl::PastDaysUnitLabel, "days");
    set(SetupControl::LargeReminder, "Large reminder window");
    set(SetupControl::NotifyReminders, "Show reminders as a notification");
    setWindowTitle(qtext("Velmik Fennaro Setup"));
    // Nothing on the screen tells of the Shift+click otherwise.
    controlById<QWidget>(*this, SetupControl::Export)
        ->setToolTip(qtext("Shift+click: one calendar file per record into the data folder"));
    controlById<QWidget>(*this, SetupControl::Sync)
        ->setToolTip(qtext("Birthdays from your address book server (CardDAV)"));
}

void CKivoDlg::loadOptions() {
    onceADayCheck_->setChecked(settings->onceADay);
    alwaysOnTopCheck_->setChecked(settings->alwaysOnTop);
    // An icon the box does not hold leaves it without a selection.
    const int icon = settings->defaultIcon;
    iconBox_->setCurrentIndex(icon >= 0 && icon < iconBox_->count() ? icon : -1);
    printLargeCheck_->setChecked(settings->printLarge);
    largeReminderCheck_->setChecked(settings->largeReminder);
    notifyCheck_->setChecked(settings->notifyReminders);
    daysAheadEdit_->setText(QString::number(settings->daysAhead));
    pastDaysEdit_->setText(QString::number(settings->pastDays));
}

void CKivoDlg::applyOptions() {
    settings->alwaysOnTop = alwaysOnTopCheck_->isChecked();
    settings->onceADay = onceADayCheck_->isChecked();
    settings->printLarge = printLargeCheck_->isChecked();
    settings->largeReminder = largeReminderCheck_->isChecked();
    settings->notifyReminders = notifyCheck_->isChecked();
    // Taken as typed: the spin's range only bounds its arrows.
    settings->daysAhead = atoiLike(fromQt(daysAheadEdit_->text()));
    settings->pastDays = atoiLike(fromQt(pastDaysEdit_->text()));
    settings->defaultIcon = iconBox_->currentIndex();
    const int column = listCtrl_->activeSortColumn();
    settings->sortColumn = listCtrl_->activeSortAscending() ? column + 1 : -(column + 1);
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
    if (!conflictCopiesTold_ && !conflictCopies.empty()) {
        conflictCopiesTold_ = true;
        // Told over the window, once it is on the screen.
        QTimer::singleShot(0, this, [this] { tellConflictCopies(); });
    }
    if (syncWhenShown) {
        syncWhenShown = false;
        // Once the window is on the screen: the network never holds it back.
        QTimer::singleShot(0, this, [this] { syncInBackground(); });
    }
}

void CKivoDlg::hideEvent(QHideEvent* event) {
    qApp->removeEventFilter(this);
    KivoDialog::hideEvent(event);
}

bool CKivoDlg::eventFilter(QObject* watched, QEvent* event) {
    if (isMenuKeyOnTheList(watched, event)) {
        // The context menu that the system makes of the Menu key itself is the same request.
        if (event->type() == QEvent::KeyPress)
            runCommand([this] { showRecordMenuAtRow(); });
        return true;
    }
    if (isDeleteKeyForTheList(watched, event)) {
        if (const int row = listCtrl_->GetFirstSelected(); row >= 0) {
            runCommand([&] { deleteRecord(row); });
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
    // Name, e-mail and date of an address book's record are the server's.
    const bool ownFields = record->source == 0;
    dlg.fromAddressBook = !ownFields;
    if (runEditor(dlg) != IDOK)
        return;

    const std::string oldName = record->name;
    if (ownFields) {
        record->name = dlg.name;
        record->email = dlg.email;
    }
    record->icon = dlg.icon;
    record->daysInAdvance = dlg.daysInAdvance;
    // A date the editor could not show (no year, say) and the user left alone is kept as stored:
    // editing the e-mail address must not replace a birthday with the day of the edit.
    if (ownFields && (dlg.date.isValid() || dlg.dateChangedByUser()))
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
        listCtrl_->SetItemImage(row, listImageOf(*record));
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
    if (record->source != 0) {
        // The contact lives on in the address book; kivo only stops showing it.
        static constexpr const char* kHidden =
            "\"%s\" comes from your address book on the server, where it stays. kivo hides it "
            "from now on; delete the contact there to remove it everywhere.";
        platform_.messages.information(fillFormat(text(kHidden), kHidden, {record->name}));
    }
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

} // namespace kivo
