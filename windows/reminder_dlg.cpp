// The reminder window.
#include "windows/reminder_dlg.h"

#include "core/text_encoding.h"
#include "engine/reminder_text.h"
#include "platform/desktop_platform.h"
#include "platform/dialog_builder.h"
#include "resources/icons.h"

#include <QContextMenuEvent>
#include <QCursor>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QPushButton>
#include <QTreeWidget>

namespace kivo {

namespace {
// What each line keeps besides its text: the record, and which occurrence the line is about.
constexpr int RecordRole = Qt::UserRole;
constexpr int PastRole = Qt::UserRole + 1; // whether the line reports a past occurrence
constexpr int YearRole = Qt::UserRole + 2;

PersonRecord* recordOf(const QTreeWidgetItem* line) {
    return reinterpret_cast<PersonRecord*>(line->data(0, RecordRole).value<quintptr>());
}
} // namespace

CReminderDlg::CReminderDlg(Platform& platform, RandomSource& random)
    : platform_(platform), random_(random) {
    buildDialog(*this, kReminderDialog);
    listCtrl_ = controlById<QTreeWidget>(*this, ReminderControl::Reminders);
    okButton_ = controlById<QPushButton>(*this, ReminderControl::Ok);
    setupButton_ = controlById<QPushButton>(*this, ReminderControl::Setup);
    connect(okButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(setupButton_, &QPushButton::clicked, this, [this] { OnSetup(); });
    connect(listCtrl_, &QTreeWidget::itemDoubleClicked, this, [this] { ShowRecordMenu(); });
    listCtrl_->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(listCtrl_, &QWidget::customContextMenuRequested, this, [this](const QPoint& pos) {
        // A right click selects the line under the cursor first, as the system's lists do.
        if (QTreeWidgetItem* line = listCtrl_->itemAt(pos))
            listCtrl_->setCurrentItem(line);
        ShowRecordMenu();
    });
    listCtrl_->installEventFilter(this);
    chooseFromMenu = [](QMenu& menu, const QPoint& at) {
        const QAction* chosen = menu.exec(at);
        return chosen ? chosen->data().toInt() : 0;
    };
}

std::string CReminderDlg::text(const char* builtIn) const {
    return texts ? lookUpText(*texts, builtIn) : std::string(builtIn);
}

bool CReminderDlg::OnInitDialog() {
    setWindowIcon(applicationIcon());
    setupRequested = 0;
    modified = false;
    reminded = false;
    if (settings->largeReminder)
        enlarge();

    listCtrl_->setColumnCount(1);
    listCtrl_->setHeaderLabels({toQtShown(text("Name"))});
    listCtrl_->header()->resizeSection(0, listCtrl_->width() - mulDiv(20, platform_.screenDpi, 96));
    listCtrl_->setIconSize(QSize(16, 16));

    okButton_->setText(toQtShown(text("OK")));
    setupButton_->setText(toQtShown(text("Setup...")));

    // The list blends into the window.
    QPalette palette = listCtrl_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    listCtrl_->setPalette(palette);

    if (!fillList()) {
        EndDialog(IDCANCEL);
        return true;
    }
    reminded = true;
    if (settings->alwaysOnTop)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return true;
}

void CReminderDlg::enlarge() {
    // Computed in the dialog's own coordinates, so that the window is twice its size wherever
    // it is placed: the window and the list grow to twice their right and bottom edges, the
    // buttons scale by 2 across and by 1.9 down.
    setFixedSize(2 * width(), 2 * height());
    const QRect list = listCtrl_->geometry();
    const int listRight = list.x() + list.width();
    const int listBottom = list.y() + list.height();
    listCtrl_->setGeometry(list.x(), list.y(), 2 * listRight - list.x(), 2 * listBottom - list.y());
    constexpr float factor = 1.9f;
    for (QPushButton* button : {okButton_, setupButton_}) {
        const QRect r = button->geometry();
        const int left = 2 * r.x();
        const int top = static_cast<int>(factor * r.y());
        const int right = 2 * (r.x() + r.width());
        const int bottom = static_cast<int>(factor * (r.y() + r.height()));
        button->setGeometry(left, top, right - left, bottom - top);
    }
    largeFont_ = font();
    if (largeFont_.pixelSize() > 0)
        largeFont_.setPixelSize(2 * largeFont_.pixelSize());
    else
        largeFont_.setPointSizeF(2 * largeFont_.pointSizeF());
    for (QWidget* w : std::initializer_list<QWidget*>{listCtrl_, okButton_, setupButton_})
        w->setFont(largeFont_);
}

bool CReminderDlg::fillList() {
    const Date now = platform_.clock.currentDate();
    const DueSelection due = SelectDue(*records, today, settings->pastDays, now);
    // A prefix starts its line, so no more of it than the line shows can be seen: a huge one is
    // cut first, not copied whole into every line.
    std::vector<std::string> shownPresets;
    if (presets) {
        shownPresets.reserve(presets->size());
        for (const std::string& preset : *presets)
            shownPresets.push_back(shownText(preset));
    }
    ReminderContext context{*texts, settings->dateFormat, shownPresets, platform_.locale, random_};
    const std::vector<std::string> lineTexts = ComposeReminderLines(due, context);
    for (std::size_t i = 0; i < due.entries.size(); ++i) {
        const DueEntry& entry = due.entries[i];
        auto* line = new QTreeWidgetItem;
        line->setText(0, toQtShown(lineTexts[i]));
        line->setIcon(0, iconPicture(entry.record->icon));
        line->setData(0, RecordRole, QVariant::fromValue(reinterpret_cast<quintptr>(entry.record)));
        line->setData(0, PastRole, entry.kind == DueKind::Past);
        line->setData(0, YearRole, entry.occurrenceYear);
        listCtrl_->addTopLevelItem(line);
    }
    return due.anyUpcoming;
}

std::vector<std::pair<int, std::string>>
CReminderDlg::recordMenuEntries(const PersonRecord& record) const {
    std::vector<std::pair<int, std::string>> entries;
    entries.emplace_back(ID_DONT_REMIND, text("Don't remind me again until next year"));
    if (!record.email.empty()) {
        entries.emplace_back(0, std::string());
        entries.emplace_back(ID_EMAIL,
                             text("Email") + " " + record.name + " (" + record.email + ")");
    }
    return entries;
}

// Shift+F10 and the Menu key in the list open the line menu at the selected line, as in the setup
// window's list.
bool CReminderDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == listCtrl_) {
        bool menuKey =
            event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
            menuKey = (key->key() == Qt::Key_Menu && modifiers == Qt::NoModifier) ||
                      (key->key() == Qt::Key_F10 && modifiers == Qt::ShiftModifier);
        }
        if (menuKey) {
            ShowRecordMenu(true);
            return true;
        }
    }
    return KivoDialog::eventFilter(watched, event);
}

void CReminderDlg::ShowRecordMenu(bool fromKeyboard) {
    const QList<QTreeWidgetItem*> selected = listCtrl_->selectedItems();
    if (selected.isEmpty())
        return;
    QTreeWidgetItem* line = selected.first();
    listCtrl_->scrollToItem(line);
    const QRect shown = listCtrl_->visualItemRect(line);
    const QPoint at =
        fromKeyboard ? listCtrl_->viewport()->mapToGlobal(QPoint(shown.left(), shown.center().y()))
                     : QCursor::pos();
    QMenu menu(this);
    menu.setFont(font()); // a menu is a window of its own and takes no font from its owner
    for (const auto& [id, label] : recordMenuEntries(*recordOf(line))) {
        if (id == 0) {
            menu.addSeparator();
            continue;
        }
        // The text is shown as it is: an ampersand in a name is no shortcut marker.
        QAction* action =
            menu.addAction(toQtShown(label).replace(QLatin1Char('&'), QStringLiteral("&&")));
        action->setData(id);
    }
    const int command = chooseFromMenu(menu, at);
    runRecordCommand(command, line);
}

void CReminderDlg::runRecordCommand(int command, QTreeWidgetItem* line) {
    if (!line)
        return;
    PersonRecord* record = recordOf(line);
    if (command == ID_DONT_REMIND) {
        modified = true;
        // A past line silences the occurrence it reports; an upcoming line the next one.
        const bool past = line->data(0, PastRole).toBool();
        record->skipYear = past ? line->data(0, YearRole).toInt() : record->nextYear;
        delete line;
    } else if (command == ID_EMAIL) {
        sendEmail(*record);
    }
}

void CReminderDlg::sendEmail(const PersonRecord& record) {
    const std::string& mailPath = settings->mailPath;
    if (mailPath.empty()) {
        platform_.shell.open("mailto:" + record.email + "?Subject=" + text("Happy%20Birthday!"));
        return;
    }
    // Every "%s" becomes the address, in one pass, so an address holding "%s" is put in once.
    std::string command;
    for (std::size_t i = 0; i < mailPath.size(); ++i) {
        if (mailPath[i] == '%' && i + 1 < mailPath.size() && mailPath[i + 1] == 's') {
            command += record.email;
            ++i;
        } else {
            command += mailPath[i];
        }
    }
    const std::size_t space = command.find(' ');
    if (space == std::string::npos)
        platform_.shell.open(command);
    else
        platform_.shell.run(command.substr(0, space), command.substr(space + 1));
}

void CReminderDlg::OnSetup() {
    setupRequested = 1;
    EndDialog(IDCANCEL);
}

} // namespace kivo
