// Contacts from an address book (vCard 2.1, 3.0 and 4.0) as birthday and anniversary records.
#pragma once

#include "core/person_record.h"
#include "core/text_file.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

struct VCardImportCounts {
    std::size_t added = 0;   // records appended
    std::size_t skipped = 0; // cards without a date, or that could not be read
};

// A date of a contact. Year 0: the card gave none.
struct VCardDate {
    int year = 0;
    int month = 0;
    int day = 0;
    // An event's own label (Apple's X-ABDATE with its X-ABLabel, e.g. "Wedding"); empty for the
    // anniversary itself.
    std::string label;
    bool operator==(const VCardDate&) const = default;
};

// What a card says that records are made of.
struct VCardContact {
    std::string uid;   // UID as given; empty when the card has none
    std::string name;  // FN, else assembled from N; never empty
    std::string email; // the first EMAIL
    std::optional<VCardDate> birthday;
    // The anniversary (ANNIVERSARY, X-ANNIVERSARY or X-EVOLUTION-ANNIVERSARY, the first that
    // reads), then every X-ABDATE with a date of its own; never the same date and label twice.
    std::vector<VCardDate> events;
};

// Every card of `bytes` with a name and at least one date, in file order. A card without a name
// or a readable date, or broken (no END, a BEGIN inside it), is left out and counted in `skipped`.
// Never fails on any input.
std::vector<VCardContact> readVCardContacts(std::string_view bytes, std::size_t& skipped);

// Appends the records of one contact, as readVCards does for each: the birthday first, then its
// events in order. Returns how many.
std::size_t appendRecordsOfContact(const VCardContact& contact, const PersonRecord& defaults,
                                   std::string_view anniversaryWord, RecordList& records);

// Reads every card of `bytes` and appends, in file order, one record per birthday and one per
// anniversary. Each record starts as a copy of `defaults` (what a new record gets); the birthday
// takes the contact's name (FN, else assembled from N), first e-mail address and date, with type
// `Birthday`; each event is named "<name> (<anniversaryWord>)", or "<name> (<label>)" for an event
// with a label of its own, with type `AnnualEventWithStart`. A date without a year (--0307, the
// year of X-APPLE-OMIT-YEAR, or Apple's 1604) gives year 0. A card without a name or a readable
// date, or broken (no END, a BEGIN inside it), adds nothing and is counted as skipped. Never fails
// on any input.
VCardImportCounts readVCards(std::string_view bytes, const PersonRecord& defaults,
                             std::string_view anniversaryWord, RecordList& records);

// The same from a file, read whole (an address book is small). On a file that cannot be opened
// or a read that fails it returns that status with the reason in `error`, having read nothing.
TextReadStatus readVCardFile(const std::string& path, const PersonRecord& defaults,
                             std::string_view anniversaryWord, RecordList& records,
                             VCardImportCounts& counts, std::string* error = nullptr);

// The date of a BDAY or ANNIVERSARY value: 1980-03-07, 19800307, either with a time after "T",
// --0307 or --03-07 (year 0). False for anything else, or for a day the month does not have.
bool parseVCardDate(std::string_view value, int& year, int& month, int& day);

} // namespace kivo
