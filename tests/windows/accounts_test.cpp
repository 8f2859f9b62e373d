// The address book accounts in the windows, against a real Radicale on 127.0.0.1: the accounts
// dialog adds an account (its certificate trusted by fingerprint), syncs and removes it, with the
// password in the keyring or, without one, nowhere; the setup window syncs in the background,
// follows what changed and tells a failure once.
#include "windows/accounts_dlg.h"

#include "platform/password_store.h"
#include "support/window_fixture.h"
#include "sync/contacts_file.h"
#include "tests/sync/radicale_server.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <map>

namespace kivo {
namespace {

using sync::test::RadicaleServer;

const QString kBook = QStringLiteral("/alice/contacts/");

// A keyring in memory, or none at all.
struct MemoryKeyring : PasswordStore {
    bool present = true;
    std::map<std::string, std::string> kept;
    Result read(const std::string& account, std::string& password, std::string*) override {
        if (!present)
            return Result::NoKeyring;
        const auto it = kept.find(account);
        if (it == kept.end())
            return Result::NotFound;
        password = it->second;
        return Result::Ok;
    }
    Result write(const std::string& account, const std::string& password, std::string*) override {
        if (!present)
            return Result::NoKeyring;
        kept[account] = password;
        return Result::Ok;
    }
    Result remove(const std::string& account, std::string*) override {
        kept.erase(account);
        return present ? Result::Ok : Result::NoKeyring;
    }
};

QByteArray card(const char* uid, const char* name, const char* bday) {
    return QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nUID:") + uid + "\r\nFN:" + name +
           "\r\nBDAY:" + bday + "\r\nEND:VCARD\r\n";
}

std::vector<std::string> contactNames(const std::string& path) {
    ContactsFile file;
    bool missing = false;
    readContactsFile(path, file, missing);
    std::vector<std::string> names;
    for (const ContactRecord& r : file.records)
        names.push_back(r.record.name);
    return names;
}

// Waits, with the event loop running, until the dialog's request has its answer.
bool answered(const CAccountsDlg& dialog) {
    return QTest::qWaitFor([&] { return !dialog.busy(); }, 120000);
}

TEST(AccountsDialog, AddsSyncsAndRemovesAnAccountWithOrWithoutAKeyring) {
    RadicaleServer server;
    ASSERT_TRUE(server.start(/*tls=*/true)) << server.error().toStdString();
    ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Friends")), 201);
    ASSERT_EQ(server.put(kBook + "bea.vcf", card("bea", "Bea", "19901210")), 201);
    const QString password = QString::fromLatin1(RadicaleServer::kPassword);

    for (const bool keyringThere : {true, false}) {
        SCOPED_TRACE(keyringThere ? "keyring" : "no keyring");
        test::FakePlatform fake;
        QTemporaryDir folder;
        const std::string dataFolder = folder.path().toStdString() + "/";
        MemoryKeyring keyring;
        keyring.present = keyringThere;
        CAccountsDlg dialog(fake.platform, keyring);
        dialog.dataFolder = dataFolder;
        dialog.load();
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));

        // Typed as a person does; the server's own certificate is offered by its fingerprint.
        QTest::keyClicks(dialog.serverEdit(), server.origin());
        QTest::keyClicks(dialog.userEdit(), QString::fromLatin1(RadicaleServer::kUser));
        QTest::keyClicks(dialog.passwordEdit(), password);
        fake.messages.answers = {true};
        dialog.testButton()->click();
        ASSERT_TRUE(answered(dialog));
        ASSERT_EQ(fake.messages.questions.size(), 1u);
        EXPECT_NE(fake.messages.questions[0].find(
                      server.certificateSha256().left(2).toUpper().toStdString() + ":"),
                  std::string::npos);
        ASSERT_EQ(dialog.bookList()->count(), 1) << dialog.statusLabel()->text().toStdString();
        EXPECT_EQ(dialog.bookList()->item(0)->checkState(), Qt::Checked);

        // With a keyring, the account also publishes, to a new calendar named kivo.
        if (keyringThere) {
            dialog.publishCheck()->click();
            EXPECT_TRUE(dialog.calendarBox()->isEnabled());
            EXPECT_EQ(dialog.calendarBox()->currentData().toString(), QString());
        }
        dialog.syncButton()->click();
        ASSERT_TRUE(answered(dialog));
        const std::string contactsPath = dataFolder + contactsFileName("1");
        EXPECT_TRUE(dialog.lastSyncLabel()->text().contains(QLatin1String("1 contacts new")));
        if (keyringThere) {
            EXPECT_TRUE(dialog.statusLabel()->text().contains(QLatin1String("Calendar: 1 new")))
                << dialog.statusLabel()->text().toStdString();
            const sync::CalendarPublishing publishing =
                sync::readAccounts(fake.store).at(0).account.publishing;
            EXPECT_TRUE(publishing.on);
            EXPECT_TRUE(publishing.calendarUrl.endsWith(QLatin1String("/alice/kivo/")));
            // Another calendar chosen, or publishing turned off: each offers to take kivo's
            // events away from the calendar it leaves.
            const auto removedOne = [&] {
                return answered(dialog) &&
                       dialog.statusLabel()->text().startsWith(QLatin1String("1 events"));
            };
            fake.messages.answers = {true};
            dialog.calendarBox()->setFocus();
            QTest::keyClick(dialog.calendarBox(), Qt::Key_Down); // "A new calendar named kivo"
            EXPECT_TRUE(removedOne()) << dialog.statusLabel()->text().toStdString();
            dialog.syncButton()->click();
            ASSERT_TRUE(answered(dialog));
            EXPECT_TRUE(sync::readAccounts(fake.store)
                            .at(0)
                            .account.publishing.calendarUrl.endsWith(QLatin1String("/kivo-2/")));
            fake.messages.answers = {true};
            dialog.publishCheck()->click();
            EXPECT_TRUE(removedOne()) << dialog.statusLabel()->text().toStdString();
            EXPECT_FALSE(sync::readAccounts(fake.store).at(0).account.publishing.on);
        }
        EXPECT_EQ(contactNames(contactsPath), std::vector<std::string>{"Bea"})
            << dialog.statusLabel()->text().toStdString();
        EXPECT_TRUE(dialog.contactsChanged());
        const std::vector<sync::StoredAccount> stored = sync::readAccounts(fake.store);
        ASSERT_EQ(stored.size(), 1u);
        EXPECT_EQ(stored[0].account.trustedCertificateSha256, server.certificateSha256());
        // The password is in the keyring, or without one in the form alone; never in the settings.
        for (const auto& [name, value] : fake.store.values())
            EXPECT_EQ(value.find(password.toStdString()), std::string::npos) << name;
        if (keyringThere) {
            EXPECT_EQ(keyring.kept,
                      (std::map<std::string, std::string>{{"1", password.toStdString()}}));
            EXPECT_TRUE(dialog.passwordEdit()->text().isEmpty());
        } else {
            EXPECT_EQ(dialog.passwordEdit()->text(), password);
        }

        fake.messages.answers = {true};
        dialog.removeButton()->click();
        EXPECT_TRUE(sync::readAccounts(fake.store).empty());
        EXPECT_FALSE(QFile::exists(QString::fromStdString(contactsPath)));
        EXPECT_TRUE(keyring.kept.empty());
    }
}

// The setup window over one account: its sync runs once the window is on the screen, the list
// follows, and a failure is told once however often the window opens.
struct BackgroundSync : test::SetupWindowFixture {
    RadicaleServer server;
    MemoryKeyring keyring;
    QTemporaryDir folder;
    std::string contactsPath;

    void SetUp() override {
        ASSERT_TRUE(server.start()) << server.error().toStdString();
        ASSERT_EQ(server.mkAddressBook(kBook, QStringLiteral("Friends")), 201);
        sync::StoredAccount account{"1", {}, {}};
        account.account.serverUrl = server.origin();
        account.account.userName = QString::fromLatin1(RadicaleServer::kUser);
        sync::AddressBook book;
        book.url = server.origin() + kBook;
        book.chosen = true;
        account.account.addressBooks = {book};
        ASSERT_TRUE(sync::writeAccounts(fake.store, {account}));
        keyring.kept["1"] = RadicaleServer::kPassword;
        contactsPath = folder.path().toStdString() + "/" + contactsFileName("1");
        add(test::record("Own", 1, 1, 1980));
    }

    // A setup window whose reload puts the contacts file's records after the user's own.
    std::unique_ptr<CKivoDlg> openSyncing() {
        auto dlg = make();
        dlg->dataFolder = folder.path().toStdString() + "/";
        dlg->passwords = &keyring;
        dlg->reloadContacts = [this] {
            records.truncate(1);
            ContactsFile file;
            bool missing = false;
            readContactsFile(contactsPath, file, missing);
            appendContactRecords(file, 1, records);
        };
        EXPECT_TRUE(dlg->initialize());
        dlg->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        return dlg;
    }
    // Opens the window and waits until its sync has ended: it wrote the account's last sync.
    std::unique_ptr<CKivoDlg> openSynced() {
        const std::size_t writes = fake.store.writeCount();
        auto dlg = openSyncing();
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return fake.store.writeCount() > writes && !dlg->syncingInBackground(); },
            120000));
        return dlg;
    }
};

TEST_F(BackgroundSync, TheListFollowsTheServerAndAFailureIsToldOnce) {
    ASSERT_EQ(server.put(kBook + "bea.vcf", card("bea", "Bea", "19901210")), 201);
    auto dlg = openSynced();
    // The list is rebuilt once nothing is open on top of it.
    EXPECT_TRUE(QTest::qWaitFor([&] { return names(*dlg).size() == 2; }));
    EXPECT_EQ(names(*dlg), (std::vector<std::string>{"Bea", "Own"}));
    dlg.reset();

    server.stop();
    for (int opening = 0; opening < 2; ++opening) {
        auto again = openSynced();
        // The failure changed nothing: the records of the last sync stay.
        EXPECT_EQ(names(*again), (std::vector<std::string>{"Bea", "Own"}));
        EXPECT_EQ(contactNames(contactsPath), std::vector<std::string>{"Bea"});
    }
    ASSERT_EQ(fake.messages.warnings.size(), 1u);
    EXPECT_NE(fake.messages.warnings[0].find("not synced."), std::string::npos);
}

} // namespace
} // namespace kivo
