// A sync of one account: every chosen address book read from the server, then the account's
// contacts file written once with all of it, or, when anything failed, nothing written at all.
#pragma once

#include "sync/account.h"
#include "sync/carddav_client.h"
#include "sync/contacts_file.h"

#include <functional>
#include <optional>
#include <string>

namespace kivo::sync {

struct AccountSyncOutcome {
    std::optional<SyncError> error; // set: nothing was written
    int contactsChanged = 0;        // added or changed on the server
    int contactsRemoved = 0;        // gone from the server, or from a book no longer chosen
    int requests = 0;
};

// What a new record of a contact starts as, besides what the server gives.
struct NewContactRecords {
    PersonRecord defaults;       // icon, days in advance and the rest, as the setup window has them
    std::string anniversaryWord; // "anniversary", in the user's language
};

// Syncs the chosen address books of `account` one after the other, each from the state the
// contacts file at `contactsPath` keeps of it (its sync token and the ETags of its records),
// then applies all changes to that file and writes it. Records of books no longer chosen go. The
// file keeps each record's own choices (see applyContactChanges). `done` is called once, later,
// from the event loop.
void syncAccount(CardDavClient& client, const Account& account, const std::string& contactsPath,
                 const NewContactRecords& newRecords,
                 std::function<void(const AccountSyncOutcome&)> done);

// The state of a book as the contacts file keeps it: its token, and the ETag of each contact
// with a record in the file.
AddressBook bookStateIn(const ContactsFile& file, const AddressBook& book);

} // namespace kivo::sync
