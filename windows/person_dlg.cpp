// The person editor.
#include "windows/person_dlg.h"

#include "core/number_text.h"
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

namespace kivo {

namespace {
Date toDate(const QDate& d) {
    return Date{std::chrono::year{d.year()}, std::chrono::month{static_cast<unsigned>(d.month())},
                std::chrono::day{static_cast<unsigned>(d.day())}};
}

// Whole text as an integer, as the framework reads an integer field; nullopt when it is not one.
std::optional<int> wholeInteger(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value;
}
} // namespace

CPersonDlg::CPersonDlg(Platform& platform) : platform_(platform) {
    buildDialog(*this, kPersonDialog);
    nameEdit_ = controlById<QLineEdit>(*this, 1001);
    emailEdit_ = controlById<QLineEdit>(*this, 1032);
    datePicker_ = controlById<QDateEdit>(*this, 1017);
    leaplingList_ = controlById<QComboBox>(*this, 1052);
    iconList_ = controlById<QComboBox>(*this, 1027);
    daysEdit_ = controlById<QLineEdit>(*this, 1019);
    spin_ = controlById<SpinButton>(*this, 1002);
    typeList_ = controlById<QComboBox>(*this, 1038);
    infoOnlyCheck_ = controlById<QCheckBox>(*this, 1003);
    dontPrintCheck_ = controlById<QCheckBox>(*this, 1037);
    nameLabel_ = controlById<QLabel>(*this, 1031);
    dateLabel_ = controlById<QLabel>(*this, 1030);
    leaplingLabel_ = controlById<QLabel>(*this, 1033);
    sampleLabel_ = controlById<QLabel>(*this, 1039);
    datePicker_->setDisplayFormat(QLocale::system().dateFormat(QLocale::LongFormat));
    datePicker_->setDate(QDate::currentDate());

    connect(nameEdit_, &QLineEdit::textChanged, this, [this] { OnNameChange(); });
    connect(daysEdit_, &QLineEdit::textChanged, this, [this] { refreshSample(); });
    connect(iconList_, &QComboBox::currentIndexChanged, this, [this](int i) { icon = i; });
    connect(typeList_, &QComboBox::currentIndexChanged, this, [this](int i) {
        type = i;
        refreshSample();
    });
    connect(datePicker_, &QDateEdit::dateChanged, this, [this] {
        if (!settingDate_)
            dateChangedByUser_ = true;
        DoDataExchange(true);
        ShowLeapling();
    });
    connect(controlById<QPushButton>(*this, 1), &QPushButton::clicked, this, [this] { OnOK(); });
    connect(controlById<QPushButton>(*this, 2), &QPushButton::clicked, this, &QDialog::reject);
}

std::string CPersonDlg::text(const char* builtIn) const {
    return texts ? lookUpText(*texts, builtIn) : std::string(builtIn);
}

bool CPersonDlg::DoDataExchange(bool save) {
    if (!save) {
        nameEdit_->setText(toQt(name));
        settingDate_ = true;
        // A date the picker cannot show is shown as well as it can be; see shownWhenInvalid.
        if (date.isValid())
            datePicker_->setDate(date);
        else
            datePicker_->setDate(shownWhenInvalid.isValid() ? shownWhenInvalid
                                                            : QDate::currentDate());
        settingDate_ = false;
        daysEdit_->setText(QString::number(daysInAdvance));
        infoOnlyCheck_->setChecked(infoOnly == 1);
        emailEdit_->setText(toQt(email));
        dontPrintCheck_->setChecked(dontPrint == 1);
        return true;
    }
    name = fromQt(nameEdit_->text());
    if (date.isValid() || dateChangedByUser_)
        date = datePicker_->date();
    const std::optional<int> days = wholeInteger(daysEdit_->text());
    if (!days) {
        platform_.messages.warning("Please enter an integer.");
        daysEdit_->setFocus();
        return false;
    }
    daysInAdvance = *days;
    if (daysInAdvance < 0 || daysInAdvance > 365) {
        platform_.messages.warning("Please enter an integer between 0 and 365.");
        daysEdit_->setFocus();
        return false;
    }
    infoOnly = infoOnlyCheck_->isChecked() ? 1 : 0;
    email = fromQt(emailEdit_->text());
    dontPrint = dontPrintCheck_->isChecked() ? 1 : 0;
    return true;
}

bool CPersonDlg::OnInitDialog() {
    setWindowIcon(applicationIcon());
    // The base initialisation writes the values into the controls; the lists are still empty
    // then, so their handlers change nothing.
    initialized_ = false;
    dateChangedByUser_ = false;
    const int givenIcon = icon;
    const int givenType = type;
    const int givenLeapling = leapling;
    DoDataExchange(false);
    UpdateCaption();
    spin_->setRange(0, 999);

    nameLabel_->setText(toQt(text("Name:")));
    controlById<QLabel>(*this, 1045)->setText(toQt(text("Email:")));
    dateLabel_->setText(toQt(text("Birth date:")));
    leaplingLabel_->setText(toQt(text("Leapling:")));
    controlById<QLabel>(*this, 1046)->setText(toQt(text("Icon:")));
    controlById<QLabel>(*this, 1048)->setText(toQt(text("Type:")));
    controlById<QLabel>(*this, 1047)->setText(toQt(text("Days in advance to show reminder:")));
    controlById<QGroupBox>(*this, 1049)->setTitle(toQt(text("Sample reminder:")));
    infoOnlyCheck_->setText(toQt(text("Don't ever remind me about this")));
    dontPrintCheck_->setText(toQt(text("Don't print this")));

    const QSignalBlocker blockType(typeList_);
    const QSignalBlocker blockIcon(iconList_);
    for (const char* t : {"Birthday", "Annual Event", "Birthday (unknown age)",
                          "Annual Event (with start date)"})
        typeList_->addItem(toQt(text(t)));
    for (const char* t : {"February 28", "March 1"})
        leaplingList_->addItem(toQt(text(t)));
    for (int i = 0; i < kChoosableIcons; ++i)
        iconList_->addItem(iconPicture(i), QString());

    // A value outside a list's range leaves that list without a selection.
    iconList_->setCurrentIndex(givenIcon >= 0 && givenIcon < kChoosableIcons ? givenIcon : -1);
    typeList_->setCurrentIndex(givenType >= 0 && givenType < 4 ? givenType : -1);
    leaplingList_->setCurrentIndex(givenLeapling >= 0 && givenLeapling < 2 ? givenLeapling : -1);
    icon = givenIcon;
    type = typeList_->currentIndex();

    initialized_ = true;
    refreshSample();
    ShowLeapling();
    return true;
}

void CPersonDlg::UpdateCaption() {
    if (name.empty())
        setWindowTitle(toQt(text("No name")));
    else
        setWindowTitle(toQt(name + " " + text("- properties")));
}

void CPersonDlg::OnNameChange() {
    if (!initialized_)
        return;
    DoDataExchange(true);
    UpdateCaption();
    refreshSample();
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
    static constexpr Labels kLabels[] = {
        {"Name:", "Birthday:"}, {"Event:", "Date:"}, {"Name:", "Birthday:"},
        {"Event:", "First date:"}};
    if (type < 0 || type > 3)
        return;
    nameLabel_->setText(toQt(text(kLabels[type].name)));
    dateLabel_->setText(toQt(text(kLabels[type].date)));
    static const TextTable noTexts;
    const std::string previous = fromQt(sampleLabel_->text());
    sampleLabel_->setText(toQt(SampleReminder(texts ? *texts : noTexts, platform_.locale, type, nameText, daysText,
                                              toDate(datePicker_->date()), previous)));
}

void CPersonDlg::ShowLeapling() {
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

} // namespace kivo
