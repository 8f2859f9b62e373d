#include "sync/account_sync.h"

#include "sync/contact_records.h"

#include <QTimer>
#include <QUrl>

#include <algorithm>

#include <memory>

namespace kivo::sync {

namespace {

// The path of a book's members on the server, as the hrefs of its cards have it.
QString memberPathOf(const AddressBook& book) {
    return QUrl(book.url).path(QUrl::FullyDecoded);
}

bool inBook(const std::string& href, const QString& path) {
    return QString::fromStdString(href).startsWith(path);
}

struct Run {
    CardDavClient* client = nullptr;
    std::vector<AddressBook> books; // the chosen ones, from the file's state
    std::vector<AddressBookChanges> changes;
    ContactsFile file;
    std::string path;
    NewContactRecords newRecords;
    std::function<void(const AccountSyncOutcome&)> done;
};

void finish(const std::shared_ptr<Run>& run) {
    AccountSyncOutcome outcome;
    outcome.requests = run->client->requestCount();
    std::vector<ServerContact> changed;
    std::vector<std::string> removed;
    std::vector<AddressBookState> books;
    for (std::size_t i = 0; i < run->books.size(); ++i) {
        const AddressBookChanges& c = run->changes[i];
        for (const ServerCard& card : c.changed)
            changed.push_back(contactOfCard(card.href.toStdString(), card.etag.toStdString(),
                                            card.vcard.toStdString(), run->newRecords.defaults,
                                            run->newRecords.anniversaryWord));
        for (const QString& href : c.removed)
            removed.push_back(href.toStdString());
        books.push_back({run->books[i].url.toStdString(), c.syncToken.toStdString()});
    }
    // The server gives the cards in any order: new records come in the order of their addresses,
    // so that the file is the same whatever the order of the answer.
    std::sort(changed.begin(), changed.end(),
              [](const ServerContact& a, const ServerContact& b) { return a.href < b.href; });
    // Records of books that are no longer chosen go with them.
    for (const ContactRecord& r : run->file.records) {
        const bool chosen = std::any_of(run->books.begin(), run->books.end(), [&](const auto& b) {
            return inBook(r.href, memberPathOf(b));
        });
        if (!chosen)
            removed.push_back(r.href);
    }
    // Nothing new: the file stays as it is, not written again.
    const bool sameBooks =
        std::equal(books.begin(), books.end(), run->file.books.begin(), run->file.books.end(),
                   [](const AddressBookState& a, const AddressBookState& b) {
                       return a.href == b.href && a.syncToken == b.syncToken;
                   });
    if (changed.empty() && removed.empty() && sameBooks) {
        run->done(outcome);
        return;
    }
    applyContactChanges(run->file, changed, removed);
    run->file.books = std::move(books);
    outcome.contactsChanged = static_cast<int>(changed.size());
    outcome.contactsRemoved = static_cast<int>(removed.size());
    std::string reason;
    if (!writeContactsFile(run->path, run->file, &reason)) {
        SyncError error;
        error.kind = SyncErrorKind::ServerError;
        error.message = QStringLiteral("The address book could not be saved: %1")
                            .arg(QString::fromStdString(reason));
        outcome.error = error;
    }
    run->done(outcome);
}

void syncNext(const std::shared_ptr<Run>& run) {
    const std::size_t next = run->changes.size();
    if (next == run->books.size()) {
        finish(run);
        return;
    }
    run->client->syncAddressBook(run->books[next], [run](const SyncResult& result) {
        if (result.error) {
            AccountSyncOutcome outcome;
            outcome.error = result.error;
            outcome.requests = run->client->requestCount();
            run->done(outcome); // nothing written: the file stays as it was
            return;
        }
        run->changes.push_back(result.changes);
        syncNext(run);
    });
}

} // namespace

AddressBook bookStateIn(const ContactsFile& file, const AddressBook& book) {
    AddressBook state = book;
    state.syncToken.clear();
    state.etags.clear();
    for (const AddressBookState& kept : file.books)
        if (QString::fromStdString(kept.href) == book.url)
            state.syncToken = QString::fromStdString(kept.syncToken);
    const QString path = memberPathOf(book);
    for (const ContactRecord& r : file.records)
        if (inBook(r.href, path))
            state.etags[QString::fromStdString(r.href)] = QString::fromStdString(r.etag);
    return state;
}

void syncAccount(CardDavClient& client, const Account& account, const std::string& contactsPath,
                 const NewContactRecords& newRecords,
                 std::function<void(const AccountSyncOutcome&)> done) {
    auto run = std::make_shared<Run>();
    run->client = &client;
    run->path = contactsPath;
    run->newRecords = newRecords;
    run->done = std::move(done);
    bool missing = false;
    if (readContactsFile(contactsPath, run->file, missing) != TextReadStatus::Ok && !missing) {
        // Told later, from the event loop, as every other outcome is.
        QTimer::singleShot(0, &client, [run] {
            AccountSyncOutcome outcome;
            SyncError error;
            error.message =
                QStringLiteral("The address book's file in kivo's folder cannot be read.");
            outcome.error = error;
            run->done(outcome);
        });
        return;
    }
    for (const AddressBook& book : account.addressBooks)
        if (book.chosen)
            run->books.push_back(bookStateIn(run->file, book));
    syncNext(run);
}

} // namespace kivo::sync
