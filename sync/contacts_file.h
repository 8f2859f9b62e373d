// The records that come from an account's address books, kept in a file of their own per account
// beside "kivos.ini". The file is a records file to every reader of records: the contacts' records
// are its record lines, and what only the sync needs (where each came from, the address books'
// sync tokens) is in comment lines, which readers of records pass over unread. A record the user
// hid is a comment too, so no run reminds of it.
#pragma once

#include "core/person_record.h"
#include "core/text_file.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kivo {

// One date of a contact on the server, as a record: name, date, e-mail and type as the server has
// them, everything else the defaults for a new record.
struct ContactDate {
    // Which of the contact's dates: "BDAY", "ANNIVERSARY", "X-ABDATE:Wedding" and the like.
    std::string kind;
    PersonRecord record;
};

// A contact as the server gives it at a sync.
struct ServerContact {
    std::string href; // the contact's address on the server, which identifies it
    std::string etag; // its version
    std::string uid;
    std::vector<ContactDate> dates;
};

// One record of the file, with where it comes from.
struct ContactRecord {
    std::string href;
    std::string etag;
    std::string uid;
    std::string kind;
    bool hidden = false; // deleted in kivo: the contact lives on, but kivo no longer shows it
    PersonRecord record;
};

// An address book of the account, and where its last sync ended.
struct AddressBookState {
    std::string href;
    std::string syncToken; // empty: never synced, or the server has no incremental sync
};

struct ContactsFile {
    std::vector<AddressBookState> books;
    std::vector<ContactRecord> records;
};

// The file name of an account's contacts in the data folder: "kivo-contacts-<id>.ini".
inline constexpr const char* kContactsFilePrefix = "kivo-contacts-";
std::string contactsFileName(const std::string& accountId);

std::string formatContactsFile(const ContactsFile& file);
// Reads `bytes` as formatContactsFile writes them. Lines of another form are passed over, so a
// damaged file loses at most its damaged lines.
ContactsFile parseContactsFile(std::string_view bytes);
// Reads the file at `path`: Ok, CannotOpen (`missing` tells whether there is none) or ReadError.
TextReadStatus readContactsFile(const std::string& path, ContactsFile& file, bool& missing);
// Replaces the file at once, as a save of the records file does; false with the reason on failure.
bool writeContactsFile(const std::string& path, const ContactsFile& file,
                       std::string* error = nullptr);

// Applies what a sync learnt: contacts added or changed on the server (with all their dates) and
// contacts removed from it. A date kept by a changed contact keeps its place and the user's own
// choices (icon, days in advance, skip year, type, reminding, printing, the 29 February choice,
// hidden); name, date and e-mail are the server's. New contacts and new dates come at the end.
void applyContactChanges(ContactsFile& file, const std::vector<ServerContact>& changed,
                         const std::vector<std::string>& removedHrefs);

// The contacts files in `folder` (ending with the path separator), in name order: the files that
// every run reads beside the records file.
std::vector<std::string> contactsFilesIn(const std::string& folder);

// Appends the records of the file that are shown (not hidden) to `records`, marked with `source`
// and with their place in `file.records` as the place they were read from.
void appendContactRecords(const ContactsFile& file, std::int16_t source, RecordList& records);

// What a run changed of a contacts file's records: the user's own choices, and the records the
// user deleted, which become hidden. `read` is the file as the run read it; the run's records of
// it are those of `records` marked with `source`. Empty when the run changed nothing.
struct ContactChoices {
    struct Change {
        std::string href;
        std::string kind;
        bool hide = false;
        PersonRecord choices; // the record with the user's choices, when not hidden
    };
    std::vector<Change> changes;
};
ContactChoices contactChoicesOf(const ContactsFile& read, std::int16_t source,
                                const RecordList& records);
// Applies the changes to `file`, matched by contact and date; returns whether any applied.
bool applyContactChoices(ContactsFile& file, const ContactChoices& choices);
// Applies the changes to the file as it is on disk now (a sync may have written it since it was
// read), matched by contact and date, and writes it when anything changed; false with the reason
// when it could not be read or written.
bool saveContactChoices(const std::string& path, const ContactChoices& choices,
                        std::string* error = nullptr);

} // namespace kivo
