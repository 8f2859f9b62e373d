// Merging what a discovery found into what the account knew.
#include "sync/account.h"

#include <algorithm>

namespace kivo::sync {

void mergeDiscovered(Account& account, const std::vector<AddressBook>& found) {
    std::vector<AddressBook> merged;
    merged.reserve(found.size());
    for (const AddressBook& book : found) {
        const auto known = std::find_if(account.addressBooks.begin(), account.addressBooks.end(),
                                        [&](const AddressBook& b) { return b.url == book.url; });
        if (known == account.addressBooks.end()) {
            AddressBook fresh = book;
            fresh.chosen = false;
            fresh.syncToken.clear();
            fresh.etags.clear();
            merged.push_back(std::move(fresh));
            continue;
        }
        AddressBook kept = std::move(*known);
        kept.displayName = book.displayName;
        // A server that stopped answering the report makes the next sync list the collection.
        if (kept.supportsSyncCollection != book.supportsSyncCollection)
            kept.syncToken.clear();
        kept.supportsSyncCollection = book.supportsSyncCollection;
        merged.push_back(std::move(kept));
    }
    account.addressBooks = std::move(merged);
}

} // namespace kivo::sync
