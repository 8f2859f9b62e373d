// An address book account as kivo keeps it: where the server is, who logs on, and what the last
// sync of each chosen address book left behind. The password is never part of it.
#pragma once

#include <QString>

#include <map>
#include <vector>

namespace kivo::sync {

// One address book (a CardDAV collection) of an account.
struct AddressBook {
    QString url;         // the collection's absolute address, percent-encoded, ending in "/"
    QString displayName; // as the server names it; may be empty
    bool chosen = false; // whether its contacts become records
    // Whether the server said it answers the sync-collection report; without it every sync lists
    // the whole collection.
    bool supportsSyncCollection = false;
    QString syncToken;                // of the last sync; empty before the first
    std::map<QString, QString> etags; // member path (percent-decoded) -> its ETag then
    bool operator==(const AddressBook&) const = default;
};

// Whether and where kivo publishes its yearly events on the account's calendar server.
struct CalendarPublishing {
    bool on = false;
    QString calendarUrl;         // absolute; empty until a calendar is chosen or made
    QString calendarName;        // as the server names it, to show
    bool ownRecordsOnly = false; // not the records of the address books
    bool operator==(const CalendarPublishing&) const = default;
};

struct Account {
    QString serverUrl; // as the user typed it: a bare host or any address on the server
    QString userName;
    // The SHA-256 fingerprint (hex, lower case) of the one certificate the user chose to trust
    // although the system does not; empty: only what the system trusts.
    QString trustedCertificateSha256;
    std::vector<AddressBook> addressBooks;
    CalendarPublishing publishing;
    bool operator==(const Account&) const = default;
};

// The address books a discovery found, merged into the account's: those known keep their choice,
// token and ETags (their name follows the server), new ones come unchosen, and those gone from
// the server go. The server's order is kept.
void mergeDiscovered(Account& account, const std::vector<AddressBook>& found);

} // namespace kivo::sync
