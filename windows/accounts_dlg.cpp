#include "windows/accounts_dlg.h"

#include "platform/password_store.h"
#include "platform/system_services.h"
#include "resources/icons.h"
#include "sync/calendar_publish.h"
#include "sync/carddav_client.h"
#include "sync/sync_all.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace kivo {

namespace {

QString accountName(const sync::Account& account) {
    return account.userName.isEmpty()
               ? account.serverUrl
               : QStringLiteral("%1 at %2").arg(account.userName, account.serverUrl);
}

// "ab12cd..." as "AB:12:CD:...", the way browsers and servers' tools show a fingerprint.
QString groupedFingerprint(const QString& hex) {
    QStringList pairs;
    for (qsizetype i = 0; i + 1 < hex.size(); i += 2)
        pairs.append(hex.mid(i, 2).toUpper());
    return pairs.join(QLatin1Char(':'));
}

} // namespace

CAccountsDlg::CAccountsDlg(Platform& platform, PasswordStore& passwords, QWidget* parent)
    : QDialog(parent), platform_(platform), passwords_(passwords),
      requests_(std::make_unique<QObject>()) {
    text = [](const char* builtIn) { return QString::fromUtf8(builtIn); };
    setWindowIcon(applicationIcon());

    accountBox_ = new QComboBox(this);
    removeButton_ = new QPushButton(this);
    serverEdit_ = new QLineEdit(this);
    userEdit_ = new QLineEdit(this);
    passwordEdit_ = new QLineEdit(this);
    passwordEdit_->setEchoMode(QLineEdit::Password);
    keyringNote_ = new QLabel(this);
    keyringNote_->setWordWrap(true);
    testButton_ = new QPushButton(this);
    syncButton_ = new QPushButton(this);
    bookList_ = new QListWidget(this);
    bookList_->setMinimumHeight(80);
    lastSync_ = new QLabel(this);
    lastSync_->setWordWrap(true);
    status_ = new QLabel(this);
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    closeButton_ = new QPushButton(this);

    // Each field with its label, which the label's Alt key leads to.
    const auto labelled = [this](const char* caption, QWidget* field) {
        auto* label = new QLabel(this);
        label->setBuddy(field);
        captions_.emplace_back(label, caption);
        return label;
    };
    auto* accountRow = new QHBoxLayout;
    accountRow->addWidget(accountBox_, 1);
    accountRow->addWidget(removeButton_);
    auto* form = new QFormLayout;
    form->addRow(labelled("&Account:", accountBox_), accountRow);
    form->addRow(labelled("&Server:", serverEdit_), serverEdit_);
    form->addRow(labelled("&User name:", userEdit_), userEdit_);
    form->addRow(labelled("&Password:", passwordEdit_), passwordEdit_);
    form->addRow(QString(), keyringNote_);
    auto* actions = new QHBoxLayout;
    actions->addWidget(testButton_);
    actions->addWidget(syncButton_);
    actions->addStretch();
    form->addRow(QString(), actions);
    form->addRow(labelled("Address &books:", bookList_), bookList_);
    buildPublishing();
    auto* publishRow = new QHBoxLayout;
    publishRow->addWidget(publishCheck_);
    publishRow->addWidget(calendarBox_, 1);
    form->addRow(labelled("Calendar:", publishCheck_), publishRow);
    form->addRow(QString(), ownOnlyCheck_);
    form->addRow(labelled("Last sync:", lastSync_), lastSync_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(status_);
    auto* bottom = new QHBoxLayout;
    bottom->addStretch();
    bottom->addWidget(closeButton_);
    layout->addLayout(bottom);
    setMinimumWidth(440);

    // Enter in the form tests the connection; the dialog closes with its button or Escape.
    testButton_->setDefault(true);
    closeButton_->setAutoDefault(false);
    connect(testButton_, &QPushButton::clicked, this, [this] { test(); });
    connect(syncButton_, &QPushButton::clicked, this, [this] { syncNow(); });
    connect(removeButton_, &QPushButton::clicked, this, [this] { removeAccount(); });
    connect(closeButton_, &QPushButton::clicked, this, &QDialog::accept);
    connect(accountBox_, &QComboBox::activated, this, [this](int index) {
        showAccount(index < static_cast<int>(accounts_.size()) ? index : -1);
    });
    connect(bookList_, &QListWidget::itemChanged, this, [this] { takeBookChoices(); });
}

CAccountsDlg::~CAccountsDlg() {
    // Requests under way end here, and their answers with them.
    requests_.reset();
}

void CAccountsDlg::load() {
    setWindowTitle(text("Accounts: address books and calendar"));
    for (const auto& [label, caption] : captions_)
        label->setText(text(caption));
    publishCheck_->setText(text("Publish kivo's &events to"));
    ownOnlyCheck_->setText(text("Only my own records, not those of address books"));
    removeButton_->setText(text("&Remove"));
    testButton_->setText(text("&Test"));
    syncButton_->setText(text("S&ync now"));
    closeButton_->setText(text("Close"));
    serverEdit_->setPlaceholderText(text("dav.example.org or https://dav.example.org/"));

    accounts_ = sync::readAccounts(platform_.settingsStore);
    accountBox_->clear();
    for (const sync::StoredAccount& stored : accounts_)
        accountBox_->addItem(accountName(stored.account));
    accountBox_->addItem(text("New account"));
    showAccount(accounts_.empty() ? -1 : 0);
    (accounts_.empty() ? serverEdit_ : static_cast<QWidget*>(syncButton_))->setFocus();
}

sync::StoredAccount& CAccountsDlg::current() {
    return shown_ >= 0 ? accounts_[static_cast<std::size_t>(shown_)] : newAccount_;
}

bool CAccountsDlg::isNew() const {
    return shown_ < 0;
}

void CAccountsDlg::showAccount(int index) {
    shown_ = index;
    accountBox_->setCurrentIndex(index >= 0 ? index : static_cast<int>(accounts_.size()));
    const sync::StoredAccount& account = current();
    serverEdit_->setText(account.account.serverUrl);
    userEdit_->setText(account.account.userName);
    passwordEdit_->clear();
    passwordEdit_->setPlaceholderText(
        isNew() ? QString() : text("leave empty for the one kept in the keyring"));
    removeButton_->setEnabled(!isNew() && !busy_);
    keyringNote_->setText(
        text("The password is kept in the desktop's keyring. Without a keyring, kivo keeps it "
             "nowhere and asks for it at each sync."));
    showBooks();
    showPublishing();
    showLastSync();
    status_->clear();
}

void CAccountsDlg::showBooks() {
    const QSignalBlocker quiet(bookList_);
    bookList_->clear();
    for (const sync::AddressBook& book : current().account.addressBooks) {
        auto* item = new QListWidgetItem(
            book.displayName.isEmpty() ? QUrl(book.url).path() : book.displayName, bookList_);
        item->setFlags(Qt::ItemIsUserCheckable | Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        item->setCheckState(book.chosen ? Qt::Checked : Qt::Unchecked);
        item->setToolTip(book.url);
    }
}

void CAccountsDlg::showLastSync() {
    const sync::LastSync& last = current().last;
    lastSync_->setText(last.time.isEmpty() ? text("never")
                                           : QStringLiteral("%1: %2").arg(last.time, last.result));
}

void CAccountsDlg::takeBookChoices() {
    std::vector<sync::AddressBook>& books = current().account.addressBooks;
    for (int row = 0; row < bookList_->count() && row < static_cast<int>(books.size()); ++row)
        books[static_cast<std::size_t>(row)].chosen =
            bookList_->item(row)->checkState() == Qt::Checked;
}

bool CAccountsDlg::takeForm() {
    const QString server = serverEdit_->text().trimmed();
    if (server.isEmpty()) {
        say(text("Enter the address of your address book server."), true);
        serverEdit_->setFocus();
        return false;
    }
    sync::Account& account = current().account;
    if (server != account.serverUrl || userEdit_->text() != account.userName) {
        // Another server or user is another set of address books and calendars, and another
        // certificate.
        account.addressBooks.clear();
        account.trustedCertificateSha256.clear();
        account.publishing.calendarUrl.clear();
        calendars_.clear();
        calendarHome_.clear();
        showPublishing();
    }
    account.serverUrl = server;
    account.userName = userEdit_->text();
    takePublishing();
    return true;
}

std::optional<QString> CAccountsDlg::password() {
    if (!passwordEdit_->text().isEmpty())
        return passwordEdit_->text();
    std::string kept;
    std::string reason;
    switch (isNew() ? PasswordStore::Result::NotFound
                    : passwords_.read(current().id, kept, &reason)) {
    case PasswordStore::Result::Ok:
        return toQt(kept);
    case PasswordStore::Result::NoKeyring:
        say(text("This desktop has no keyring to keep the password: enter it for this sync."),
            true);
        break;
    case PasswordStore::Result::Failed:
        say(text("The keyring did not give the password:") + QLatin1Char(' ') + toQt(reason), true);
        break;
    case PasswordStore::Result::NotFound:
        say(text("Enter the password."), true);
        break;
    }
    passwordEdit_->setFocus();
    return std::nullopt;
}

void CAccountsDlg::keepPassword(const QString& typed) {
    if (typed.isEmpty())
        return; // the keyring's own was used
    std::string reason;
    switch (passwords_.write(current().id, fromQt(typed), &reason)) {
    case PasswordStore::Result::Ok:
        passwordEdit_->clear();
        passwordEdit_->setPlaceholderText(text("leave empty for the one kept in the keyring"));
        break;
    case PasswordStore::Result::NoKeyring:
        // Kept in the form for this dialog only, never anywhere else.
        keyringNote_->setText(text("This desktop has no keyring: kivo keeps the password "
                                   "nowhere and asks for it at each sync."));
        break;
    case PasswordStore::Result::NotFound:
    case PasswordStore::Result::Failed:
        keyringNote_->setText(text("The keyring did not keep the password:") + QLatin1Char(' ') +
                              toQt(reason));
        break;
    }
}

// The accounts into the settings; a new account becomes a stored one.
void CAccountsDlg::store() {
    if (isNew()) {
        newAccount_.id = sync::newAccountId(accounts_);
        accounts_.push_back(newAccount_);
        newAccount_ = {};
        shown_ = static_cast<int>(accounts_.size()) - 1;
        accountBox_->insertItem(shown_, QString());
        accountBox_->setCurrentIndex(shown_);
    }
    accountBox_->setItemText(shown_, accountName(current().account));
    if (!sync::writeAccounts(platform_.settingsStore, accounts_))
        say(text("The account could not be saved in kivo's settings."), true);
    removeButton_->setEnabled(!busy_);
}

void CAccountsDlg::setBusy(bool busy, const QString& what) {
    busy_ = busy;
    for (QWidget* w : {static_cast<QWidget*>(testButton_), static_cast<QWidget*>(syncButton_),
                       static_cast<QWidget*>(accountBox_), static_cast<QWidget*>(serverEdit_),
                       static_cast<QWidget*>(userEdit_), static_cast<QWidget*>(passwordEdit_)})
        w->setEnabled(!busy);
    removeButton_->setEnabled(!busy && !isNew());
    if (busy)
        say(what);
}

void CAccountsDlg::say(const QString& message, bool failure) {
    status_->setStyleSheet(failure ? QStringLiteral("color: #B00020;") : QString());
    status_->setText(message);
}

bool CAccountsDlg::offerToTrust(const sync::SyncError& error) {
    if (error.kind != sync::SyncErrorKind::UntrustedCertificate ||
        error.certificateSha256.isEmpty())
        return false;
    const QString question =
        text("The server's certificate is not one that this system trusts. That is usual for a "
             "server with a certificate of its own, but it can also mean that someone is "
             "listening in. Compare this fingerprint with the one your server shows:") +
        QStringLiteral("\n\nSHA-256 %1\n\n").arg(groupedFingerprint(error.certificateSha256)) +
        text("Trust this one certificate for this account?");
    if (!platform_.messages.question(fromQt(question)))
        return false;
    current().account.trustedCertificateSha256 = error.certificateSha256;
    return true;
}

void CAccountsDlg::test() {
    if (busy_ || !takeForm())
        return;
    const std::optional<QString> typed = password();
    if (!typed)
        return;
    const QString password = *typed;
    discover(
        *typed, [this] { test(); }, [this, password] { discoverCalendars(password, {}); });
}

void CAccountsDlg::discover(const QString& password, const std::function<void()>& retry,
                            const std::function<void()>& then) {
    setBusy(true, text("Looking for your address books on the server..."));
    sync::ServerLogin login{current().account.serverUrl, current().account.userName, password,
                            current().account.trustedCertificateSha256};
    auto* client = new sync::CardDavClient(login, requests_.get());
    const QString typedPassword = passwordEdit_->text();
    client->discover([this, client, typedPassword, retry, then](const sync::DiscoveryResult& r) {
        client->deleteLater();
        setBusy(false);
        if (r.error) {
            if (offerToTrust(*r.error))
                retry();
            else
                say(r.error->message, true);
            return;
        }
        discovered(r.addressBooks, typedPassword, then);
    });
}

void CAccountsDlg::discovered(const std::vector<sync::AddressBook>& books,
                              const QString& typedPassword, const std::function<void()>& then) {
    sync::Account& account = current().account;
    const bool noneChosen = std::none_of(account.addressBooks.begin(), account.addressBooks.end(),
                                         [](const sync::AddressBook& b) { return b.chosen; });
    sync::mergeDiscovered(account, books);
    // A new account reads every address book until the user chooses.
    if (noneChosen)
        for (sync::AddressBook& book : account.addressBooks)
            book.chosen = true;
    // The new account is stored now, and `account` is no longer it.
    store();
    keepPassword(typedPassword);
    showBooks();
    if (!current().account.addressBooks.empty()) {
        syncButton_->setDefault(true);
        syncButton_->setFocus();
    }
    say(current().account.addressBooks.empty()
            ? text("Connected, but the server has no address book for this user.")
            : text("Connected. Choose the address books to read, then Sync now."));
    if (then)
        then();
}

void CAccountsDlg::syncNow() {
    if (busy_ || !takeForm())
        return;
    takeBookChoices();
    const std::optional<QString> typed = password();
    if (!typed)
        return;
    // Without its address books the account is found on the server first; the password, then
    // in the keyring or still in the form, serves the sync.
    if (current().account.addressBooks.empty()) {
        discover(
            *typed, [this] { syncNow(); },
            [this] {
                if (!current().account.addressBooks.empty())
                    syncNow();
            });
        return;
    }
    if (current().account.publishing.on && current().account.publishing.calendarUrl.isEmpty()) {
        makeCalendarThen(*typed, [this] { syncNow(); });
        return;
    }
    store();
    setBusy(true, text("Syncing..."));
    sync::SyncAllSetup setup;
    setup.settings = &platform_.settingsStore;
    setup.dataFolder = dataFolder;
    setup.newRecords = newRecords;
    setup.owner = requests_.get();
    const QString pass = *typed;
    setup.password = [pass](const std::string&, std::string&) { return fromQt(pass); };
    const QString typedPassword = passwordEdit_->text();
    sync::syncStoredAccount(setup, current(), [this, typedPassword](const sync::AccountReport& r) {
        setBusy(false);
        current().last = r.last;
        showLastSync();
        if (r.error && offerToTrust(*r.error)) {
            store();
            syncNow();
            return;
        }
        if (!r.synced) {
            say(r.error ? r.error->message : toQt(r.line), true);
            return;
        }
        keepPassword(typedPassword);
        if (r.outcome.contactsChanged + r.outcome.contactsRemoved > 0)
            contactsChanged_ = true;
        QString said = text("Synced: %1 contacts new or changed, %2 gone.")
                           .arg(r.outcome.contactsChanged)
                           .arg(r.outcome.contactsRemoved);
        if (r.published)
            said += QLatin1Char(' ') + text("Calendar: %1 new, %2 changed, %3 removed.")
                                           .arg(r.published->created)
                                           .arg(r.published->changed)
                                           .arg(r.published->deleted);
        say(said);
    });
}

void CAccountsDlg::removeAccount() {
    if (busy_ || isNew())
        return;
    const sync::StoredAccount removed = current();
    const QString question = text("Remove the account \"%1\"? Its birthdays leave kivo; the "
                                  "contacts on the server stay as they are.")
                                 .arg(accountName(removed.account));
    if (!platform_.messages.question(fromQt(question)))
        return;
    // Its events on the calendar go first, while its password is still there, if the user wants.
    const sync::CalendarPublishing& publishing = removed.account.publishing;
    if (publishing.on && !publishing.calendarUrl.isEmpty() &&
        platform_.messages.question(fromQt(
            text("Also remove kivo's events from the calendar \"%1\"? Events that others put "
                 "there stay.")
                .arg(publishing.calendarName.isEmpty() ? publishing.calendarUrl
                                                       : publishing.calendarName)))) {
        removeKivoEvents(publishing, [this, removed] { forgetAccount(removed); });
        return;
    }
    forgetAccount(removed);
}

void CAccountsDlg::forgetAccount(const sync::StoredAccount& removed) {
    const auto at = std::find_if(accounts_.begin(), accounts_.end(),
                                 [&](const sync::StoredAccount& a) { return a.id == removed.id; });
    if (at == accounts_.end())
        return;
    accountBox_->removeItem(static_cast<int>(at - accounts_.begin()));
    accounts_.erase(at);
    if (!sync::writeAccounts(platform_.settingsStore, accounts_))
        say(text("The account could not be removed from kivo's settings."), true);
    if (QFile::remove(toQt(dataFolder + contactsFileName(removed.id))))
        contactsChanged_ = true;
    QFile::remove(toQt(dataFolder + sync::publishedFileName(removed.id)));
    passwords_.remove(removed.id);
    showAccount(accounts_.empty() ? -1 : 0);
}

} // namespace kivo
