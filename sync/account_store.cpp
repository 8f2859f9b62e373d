#include "sync/account_store.h"

#include "core/number_text.h"

#include <algorithm>

namespace kivo::sync {

namespace {

// Keys under "accounts/": "count", then "<n>/id", "<n>/server", ... for each account, and
// "<n>/books/<m>/url" and the like for each of its address books.
std::string key(const std::string& name) {
    return "accounts/" + name;
}

QString readText(const SettingsStore& store, const std::string& name) {
    return QString::fromStdString(store.readValue(key(name)).value_or(""));
}

int readCount(const SettingsStore& store, const std::string& name) {
    const int count = atoiLike(store.readValue(key(name)).value_or("0"));
    // A damaged count must not make a run loop for ever.
    return std::clamp(count, 0, 10000);
}

} // namespace

std::vector<StoredAccount> readAccounts(const SettingsStore& store) {
    std::vector<StoredAccount> accounts;
    const int count = readCount(store, "count");
    for (int n = 0; n < count; ++n) {
        const std::string at = std::to_string(n) + "/";
        StoredAccount stored;
        stored.id = readText(store, at + "id").toStdString();
        stored.account.serverUrl = readText(store, at + "server");
        stored.account.userName = readText(store, at + "user");
        stored.account.trustedCertificateSha256 = readText(store, at + "certificate");
        CalendarPublishing& publishing = stored.account.publishing;
        publishing.on = readText(store, at + "publish") == QLatin1String("1");
        publishing.calendarUrl = readText(store, at + "publishcalendar");
        publishing.calendarName = readText(store, at + "publishname");
        publishing.ownRecordsOnly = readText(store, at + "publishownonly") == QLatin1String("1");
        stored.last.time = readText(store, at + "lastsync");
        stored.last.ok = readText(store, at + "lastok") == QLatin1String("1");
        stored.last.result = readText(store, at + "lastresult");
        const int books = readCount(store, at + "books/count");
        for (int m = 0; m < books; ++m) {
            const std::string bookAt = at + "books/" + std::to_string(m) + "/";
            AddressBook book;
            book.url = readText(store, bookAt + "url");
            book.displayName = readText(store, bookAt + "name");
            book.chosen = readText(store, bookAt + "chosen") == QLatin1String("1");
            book.supportsSyncCollection =
                readText(store, bookAt + "synccollection") == QLatin1String("1");
            if (!book.url.isEmpty())
                stored.account.addressBooks.push_back(book);
        }
        if (!stored.id.empty() && !stored.account.serverUrl.isEmpty())
            accounts.push_back(stored);
    }
    return accounts;
}

bool writeAccounts(SettingsStore& store, const std::vector<StoredAccount>& accounts) {
    if (!store.createKey())
        return false;
    const int before = readCount(store, "count");
    bool written = store.writeValue(key("count"), std::to_string(accounts.size()));
    const auto write = [&](const std::string& name, const QString& value) {
        written = store.writeValue(key(name), value.toStdString()) && written;
    };
    // An account removed leaves its place empty, so that no damaged count brings it back.
    for (int n = static_cast<int>(accounts.size()); n < before; ++n) {
        write(std::to_string(n) + "/id", {});
        write(std::to_string(n) + "/server", {});
    }
    for (std::size_t n = 0; n < accounts.size(); ++n) {
        const std::string at = std::to_string(n) + "/";
        const Account& a = accounts[n].account;
        write(at + "id", QString::fromStdString(accounts[n].id));
        write(at + "server", a.serverUrl);
        write(at + "user", a.userName);
        write(at + "certificate", a.trustedCertificateSha256);
        write(at + "publish", a.publishing.on ? QStringLiteral("1") : QStringLiteral("0"));
        write(at + "publishcalendar", a.publishing.calendarUrl);
        write(at + "publishname", a.publishing.calendarName);
        write(at + "publishownonly",
              a.publishing.ownRecordsOnly ? QStringLiteral("1") : QStringLiteral("0"));
        write(at + "lastsync", accounts[n].last.time);
        write(at + "lastok", accounts[n].last.ok ? QStringLiteral("1") : QStringLiteral("0"));
        write(at + "lastresult", accounts[n].last.result);
        write(at + "books/count", QString::number(a.addressBooks.size()));
        for (std::size_t m = 0; m < a.addressBooks.size(); ++m) {
            const std::string bookAt = at + "books/" + std::to_string(m) + "/";
            const AddressBook& b = a.addressBooks[m];
            write(bookAt + "url", b.url);
            write(bookAt + "name", b.displayName);
            write(bookAt + "chosen", b.chosen ? QStringLiteral("1") : QStringLiteral("0"));
            write(bookAt + "synccollection",
                  b.supportsSyncCollection ? QStringLiteral("1") : QStringLiteral("0"));
        }
    }
    return store.flush() && written;
}

bool writeLastSync(SettingsStore& store, const std::string& accountId, const LastSync& last) {
    const int count = readCount(store, "count");
    for (int n = 0; n < count; ++n) {
        const std::string at = std::to_string(n) + "/";
        if (readText(store, at + "id").toStdString() != accountId)
            continue;
        bool written = store.writeValue(key(at + "lastsync"), last.time.toStdString());
        written = store.writeValue(key(at + "lastok"), last.ok ? "1" : "0") && written;
        written = store.writeValue(key(at + "lastresult"), last.result.toStdString()) && written;
        return store.flush() && written;
    }
    return false;
}

std::string newAccountId(const std::vector<StoredAccount>& accounts) {
    for (int n = 1;; ++n) {
        const std::string id = std::to_string(n);
        if (std::none_of(accounts.begin(), accounts.end(),
                         [&](const StoredAccount& a) { return a.id == id; }))
            return id;
    }
}

} // namespace kivo::sync
