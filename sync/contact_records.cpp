// Contacts made records through the contacts import's own reader, so both read every form alike.
#include "sync/contact_records.h"

#include "exchange/vcard_reader.h"

#include <map>

namespace kivo::sync {

std::vector<ContactRecord> contactRecords(std::string_view vcard, const PersonRecord& defaults,
                                          std::string_view anniversaryWord) {
    std::vector<ContactRecord> out;
    std::size_t skipped = 0;
    for (const VCardContact& contact : readVCardContacts(vcard, skipped)) {
        // The import makes the records; they come in the contact's order, birthday first.
        RecordList records;
        appendContactRecords(contact, defaults, anniversaryWord, records);
        std::map<std::string, int> seen;
        std::size_t i = 0;
        const auto add = [&](std::string occasion) {
            if (const int n = ++seen[occasion]; n > 1)
                occasion += " #" + std::to_string(n);
            out.push_back({contact.uid, std::move(occasion), records[i++]});
        };
        if (contact.birthday)
            add("birthday");
        for (const VCardDate& event : contact.events)
            add(event.label.empty() ? "anniversary" : event.label);
    }
    return out;
}

} // namespace kivo::sync
