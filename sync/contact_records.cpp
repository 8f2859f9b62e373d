// Cards made contacts through the contacts import's own reader, so both read every form alike.
#include "sync/contact_records.h"

#include "exchange/vcard_reader.h"

#include <map>

namespace kivo {

ServerContact contactOfCard(std::string href, std::string etag, std::string_view vcard,
                            const PersonRecord& defaults, std::string_view anniversaryWord) {
    ServerContact out{std::move(href), std::move(etag), {}, {}};
    std::size_t skipped = 0;
    const std::vector<VCardContact> contacts = readVCardContacts(vcard, skipped);
    if (contacts.empty())
        return out;
    const VCardContact& contact = contacts.front();
    out.uid = contact.uid;
    // The import makes the records, in the contact's order: birthday first, then the events.
    RecordList records;
    appendRecordsOfContact(contact, defaults, anniversaryWord, records);
    std::map<std::string, int> seen;
    std::size_t i = 0;
    const auto add = [&](std::string kind) {
        if (const int n = ++seen[kind]; n > 1)
            kind += " #" + std::to_string(n);
        out.dates.push_back({std::move(kind), records[i++]});
    };
    if (contact.birthday)
        add("BDAY");
    for (const VCardDate& event : contact.events)
        add(event.label.empty() ? "ANNIVERSARY" : "X-ABDATE:" + event.label);
    return out;
}

} // namespace kivo
