// The person editor.
#include "windows/person_dlg.h"

#include "engine/reminder_text.h"
#include "platform/desktop_platform.h"
#include "platform/dialog_builder.h"
#include "resources/icons.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <optional>

namespace kivo {

namespace {

// The picker holds the dates a date-time value can: years 100 to 9999. Qt's own lower bound
// (1752) would silently move older dates on OK.
QDate firstDate() {
    return QDate(100, 1, 1);
}
QDate lastDate() {
    return QDate(9999, 12, 31);
}
bool inPickerRange(const QDate& d) {
    return d.isValid() && d >= firstDate() && d <= lastDate();
}

// The whole text as an integer, as the framework reads an integer field: blanks around it and a
// sign are allowed, anything else is not. nullopt when it is no integer.
std::optional<int> wholeInteger(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}

// A position outside the list leaves it without a selection.
void selectPosition(QComboBox* list, int position) {
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

const TextTable& noTexts() {
    static const TextTable empty;
    return empty;
}

} // namespace

QDate CPersonDlg::editorDateFor(int day, int month, int year) {
    if (year < firstDate().year() || year > lastDate().year())
        return QDate();
    const QDate d(year, month, day);
    // QDate rejects impossible days itself; the comparison makes the round trip explicit.
    if (!d.isValid() || d.day() != day || d.month() != month || d.year() != year)
        return QDate();
    return d;
}

QDate CPersonDlg::shownDateFor(int day, int month, QDate today) {
    if (month == 2 && day == 29) {
        for (int year = today.year(); year <= lastDate().year(); ++year)
            if (QDate::isLeapYear(year))
                return QDate(year, 2, 29);
        return today;
    }
    const QDate d = editorDateFor(day, month, today.year());
    return d.isValid() ? d : today;
}

CPersonDlg::CPersonDlg(Platform& platform, QWidget* owner)
    : KivoDialog(owner), platform_(platform) {
    buildDialog(*this, kPersonDialog);
    nameEdit_ = controlById<QLineEdit>(*this, PersonControl::Name);
    emailEdit_ = controlById<QLineEdit>(*this, PersonControl::Email);
    datePicker_ = controlById<QDateEdit>(*this, PersonControl::BirthDate);
    leaplingList_ = controlById<QComboBox>(*this, PersonControl::Leapling);
    iconList_ = controlById<QComboBox>(*this, PersonControl::Icon);
    daysEdit_ = controlById<QLineEdit>(*this, PersonControl::DaysInAdvance);
    spin_ = controlById<SpinButton>(*this, PersonControl::DaysInAdvanceArrows);
    typeList_ = controlById<QComboBox>(*this, PersonControl::Type);
    infoOnlyCheck_ = controlById<QCheckBox>(*this, PersonControl::DontRemind);
    dontPrintCheck_ = controlById<QCheckBox>(*this, PersonControl::DontPrint);
    nameLabel_ = controlById<QLabel>(*this, PersonControl::NameLabel);
    dateLabel_ = controlById<QLabel>(*this, PersonControl::BirthDateLabel);
    leaplingLabel_ = controlById<QLabel>(*this, PersonControl::LeaplingLabel);
    sampleLabel_ = controlById<QLabel>(*this, PersonControl::SampleReminder);
    datePicker_->setDisplayFormat(QLocale::system().dateFormat(QLocale::LongFormat));
    datePicker_->setDateRange(firstDate(), lastDate());
    datePicker_->setDate(today());

    connect(nameEdit_, &QLineEdit::textChanged, this, [this] { OnNameChange(); });
    connect(daysEdit_, &QLineEdit::textChanged, this, [this] { refreshSample(); });
    connect(iconList_, &QComboBox::currentIndexChanged, this, [this](int i) { icon = i; });
    connect(typeList_, &QComboBox::currentIndexChanged, this, [this](int i) {
        type = i;
        refreshSample();
    });
    connect(datePicker_, &QDateEdit::dateChanged, this, [this] { OnDateChange(); });
    connect(controlById<QPushButton>(*this, PersonControl::Ok), &QPushButton::clicked, this,
            [this] { OnOK(); });
    connect(controlById<QPushButton>(*this, PersonControl::Cancel), &QPushButton::clicked, this,
            &QDialog::reject);
}

std::string CPersonDlg::text(const char* builtIn) const {
    return lookUpText(texts ? *texts : noTexts(), builtIn);
}

QDate CPersonDlg::today() const {
    const QDate d = toQDate(platform_.clock.currentDate());
    return inPickerRange(d) ? d : QDate::currentDate();
}

bool CPersonDlg::DoDataExchange(bool save) {
    if (!save) {
        // Filling the controls is not the user editing them: their handlers stay quiet, so the
        // picker's new date does not count as a change and nothing is read back half-filled.
        const QSignalBlocker blockName(nameEdit_), blockDate(datePicker_), blockDays(daysEdit_),
            blockInfo(infoOnlyCheck_), blockEmail(emailEdit_), blockPrint(dontPrintCheck_);
        nameEdit_->setText(toQt(name));
        shownName_ = nameEdit_->text();
        givenName_ = name;
        dateShown_ = inPickerRange(date);
        if (dateShown_)
            datePicker_->setDate(date);
        else
            datePicker_->setDate(inPickerRange(shownWhenInvalid) ? shownWhenInvalid : today());
        daysEdit_->setText(QString::number(daysInAdvance));
        infoOnlyCheck_->setChecked(infoOnly == 1);
        emailEdit_->setText(toQt(email));
        shownEmail_ = emailEdit_->text();
        givenEmail_ = email;
        dontPrintCheck_->setChecked(dontPrint == 1);
        return true;
    }
    // A text left as it was shown keeps its stored bytes, even where the field could not hold all
    // of it or the way back through the field's characters would not give the same bytes.
    name = nameEdit_->text() == shownName_ ? givenName_ : fromQt(nameEdit_->text());
    // A date the picker only stands in for stays as it was, so the record keeps its own.
    if (dateShown_ || dateChangedByUser_)
        date = datePicker_->date();
    const std::optional<int> days = wholeInteger(daysEdit_->text());
    if (days)
        daysInAdvance = *days;
    const char* problem = !days ? "Please enter an integer."
                          : (daysInAdvance < 0 || daysInAdvance > 365)
                              ? "Please enter an integer between 0 and 365."
                              : nullptr;
    if (problem) {
        platform_.messages.warning(text(problem));
        daysEdit_->setFocus();
        daysEdit_->selectAll();
        return false;
    }
    infoOnly = infoOnlyCheck_->isChecked() ? 1 : 0;
    email = emailEdit_->text() == shownEmail_ ? givenEmail_ : fromQt(emailEdit_->text());
    dontPrint = dontPrintCheck_->isChecked() ? 1 : 0;
    return true;
}

bool CPersonDlg::OnInitDialog() {
    setWindowIcon(applicationIcon());
    initialized_ = false;
    dateChangedByUser_ = false;
    DoDataExchange(false);
    UpdateCaption();
    spin_->setRange(0, 999);

    nameLabel_->setText(toQtShown(text("Name:")));
    controlById<QLabel>(*this, PersonControl::EmailLabel)->setText(toQtShown(text("Email:")));
    dateLabel_->setText(toQtShown(text("Birth date:")));
    leaplingLabel_->setText(toQtShown(text("Leapling:")));
    controlById<QLabel>(*this, PersonControl::IconLabel)->setText(toQtShown(text("Icon:")));
    controlById<QLabel>(*this, PersonControl::TypeLabel)->setText(toQtShown(text("Type:")));
    controlById<QLabel>(*this, PersonControl::DaysInAdvanceLabel)
        ->setText(toQtShown(text("Days in advance to show reminder:")));
    controlById<QGroupBox>(*this, PersonControl::SampleReminderGroup)
        ->setTitle(toQtShown(text("Sample reminder:")));
    infoOnlyCheck_->setText(toQtShown(text("Don't ever remind me about this")));
    dontPrintCheck_->setText(toQtShown(text("Don't print this")));
    controlById<QPushButton>(*this, PersonControl::Ok)->setText(toQtShown(text("OK")));
    controlById<QPushButton>(*this, PersonControl::Cancel)->setText(toQtShown(text("Cancel")));

    {
        // Filling and preselecting the lists are not the user's picks.
        const QSignalBlocker blockType(typeList_), blockIcon(iconList_), blockLeap(leaplingList_);
        typeList_->clear();
        for (const char* t : {"Birthday", "Annual Event", "Birthday (unknown age)",
                              "Annual Event (with start date)"})
            typeList_->addItem(toQtShown(text(t)));
        // In this order and never sorted: the position is the stored rule, and a translation
        // that sorts the other way round must not swap it.
        leaplingList_->clear();
        for (const char* t : {"February 28", "March 1"})
            leaplingList_->addItem(toQtShown(text(t)));
        iconList_->clear();
        for (int i = 0; i < kChoosableIcons; ++i)
            iconList_->addItem(iconPicture(i), QString());

        selectPosition(iconList_, icon);
        selectPosition(typeList_, type);
        selectPosition(leaplingList_, leapling);
    }
    type = typeList_->currentIndex();

    initialized_ = true;
    refreshSample();
    ShowLeapling();
    if (fromAddressBook) {
        showAddressBookNote();
        return true;
    }
    // The whole name is selected, so that typing replaces it.
    nameEdit_->setFocus();
    nameEdit_->selectAll();
    return true;
}

void CPersonDlg::UpdateCaption() {
    if (name.empty())
        setWindowTitle(toQtShown(text("No name")));
    else
        setWindowTitle(toQtShown(name + " " + text("- properties")));
}

void CPersonDlg::OnNameChange() {
    if (!initialized_)
        return;
    DoDataExchange(true);
    UpdateCaption();
    refreshSample();
}

void CPersonDlg::OnDateChange() {
    if (!initialized_)
        return;
    dateChangedByUser_ = true;
    DoDataExchange(true);
    ShowLeapling();
}

void CPersonDlg::refreshSample() {
    if (!initialized_)
        return;
    const std::string nameText = fromQt(nameEdit_->text());
    const std::string daysText = fromQt(daysEdit_->text());
    DoDataExchange(true);
    struct Labels {
        const char* name;
        const char* date;
    };
    static constexpr Labels kLabels[] = {{"Name:", "Birthday:"},
                                         {"Event:", "Date:"},
                                         {"Name:", "Birthday:"},
                                         {"Event:", "First date:"}};
    if (type < Birthday || type > AnnualEventWithStart)
        return;
    nameLabel_->setText(toQtShown(text(kLabels[type].name)));
    dateLabel_->setText(toQtShown(text(kLabels[type].date)));
    sampleLabel_->setText(
        toQtShown(SampleReminder(texts ? *texts : noTexts(), platform_.locale, type, nameText,
                                 daysText, fromQDate(datePicker_->date()))));
}

void CPersonDlg::ShowLeapling() {
    // The picker's date: for a record whose date it only stands in for, it still carries the
    // record's day and month, and a 29 February without a year needs the rule all the same.
    const QDate shown = datePicker_->date();
    const bool visible = shown.day() == 29 && shown.month() == 2;
    leaplingList_->setVisible(visible);
    leaplingLabel_->setVisible(visible);
}

void CPersonDlg::OnOK() {
    // A hidden leapling list still counts.
    leapling = leaplingList_->currentIndex();
    if (DoDataExchange(true))
        accept();
}

void CPersonDlg::showAddressBookNote() {
    // Shown greyed, as fields that cannot be changed here; the keyboard starts at the first
    // field that can.
    for (QWidget* serverField : std::initializer_list<QWidget*>{nameEdit_, emailEdit_, datePicker_})
        serverField->setEnabled(false);
    if (leaplingList_->isHidden())
        iconList_->setFocus();
    else
        leaplingList_->setFocus();
    // One line more under the sample: the buttons and the window's foot move down by it.
    auto* note = new QLabel(toQtShown(text("Name, e-mail and date come from your address book on "
                                           "the server; change them there.")),
                            this);
    note->setWordWrap(true);
    const QWidget* sample = controlById<QWidget>(*this, PersonControl::SampleReminderGroup);
    const int width = sample->width();
    const int height = note->heightForWidth(width);
    note->setGeometry(sample->x(), sample->geometry().bottom() + height / 2, width, height);
    const int grow = height + height / 2;
    for (const PersonControl button : {PersonControl::Ok, PersonControl::Cancel}) {
        QWidget* w = controlById<QWidget>(*this, button);
        w->move(w->x(), w->y() + grow);
    }
    setFixedSize(this->width(), this->height() + grow);
    note->show();
}

} // namespace kivo
