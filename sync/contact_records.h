// A card fetched from the server made the contact the contacts file keeps: its UID and each of its
// dates as a record, named by which date it is.
#pragma once

#include "sync/contacts_file.h"

#include <string>
#include <string_view>

namespace kivo {

// Reads `vcard` (the one card of a resource on the server) as the contacts import reads a file:
// the birthday first (kind "BDAY", type Birthday), then the anniversary ("ANNIVERSARY") and each
// labelled event ("X-ABDATE:<label>"), of type AnnualEventWithStart, named "<name>
// (<anniversaryWord>)" or "<name> (<label>)". A kind met twice in a card gets " #2", and so on, so
// that each date of a contact keeps its own name from one sync to the next. A date without a year
// gives year 0. Each record starts as `defaults`. A card without a name or a date gives no dates.
ServerContact contactOfCard(std::string href, std::string etag, std::string_view vcard,
                            const PersonRecord& defaults, std::string_view anniversaryWord);

} // namespace kivo
