// The records a contact on the server stands for: its birthday and its anniversaries, each with
// what ties it to the contact across syncs.
#pragma once

#include "core/person_record.h"

#include <string>
#include <string_view>
#include <vector>

namespace kivo::sync {

struct ContactRecord {
    std::string uid; // the card's UID; empty when it has none (the href then identifies it)
    // Which date of the contact the record is: "birthday", "anniversary", or an event's own label
    // ("Name day"); a second event of the same kind gets " #2", and so on. With the href and UID
    // it finds the record again at the next sync, to keep the user's own choices for it.
    std::string occasion;
    PersonRecord record;
    bool operator==(const ContactRecord&) const = default;
};

// The records of one vCard, read as the contacts import reads a file: the birthday (type
// Birthday) first, then each anniversary or labelled event (type AnnualEventWithStart, named
// "<name> (<anniversaryWord>)" or "<name> (<label>)"). A date without a year gives year 0. Each
// record starts as `defaults`. A card without a name or a date gives none.
std::vector<ContactRecord> contactRecords(std::string_view vcard, const PersonRecord& defaults,
                                          std::string_view anniversaryWord);

} // namespace kivo::sync
