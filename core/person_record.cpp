// The record list: ownership, stable addresses and order-keeping removal.
#include "person_record.h"

#include <algorithm>

namespace kivo {

PersonRecord& RecordList::append(std::unique_ptr<PersonRecord> record, std::int32_t readPlace) {
    items_.push_back(std::move(record));
    readPlaces_.push_back(readPlace);
    return *items_.back();
}

PersonRecord& RecordList::append(PersonRecord record, std::int32_t readPlace) {
    return append(std::make_unique<PersonRecord>(std::move(record)), readPlace);
}

bool RecordList::remove(const PersonRecord* record) {
    auto it = std::find_if(items_.begin(), items_.end(),
                           [record](const auto& p) { return p.get() == record; });
    if (it == items_.end())
        return false;
    readPlaces_.erase(readPlaces_.begin() + (it - items_.begin()));
    items_.erase(it);
    return true;
}

void RecordList::clear() {
    // Freed from the head, as the run ends.
    for (auto& p : items_)
        p.reset();
    items_.clear();
    readPlaces_.clear();
}

std::ptrdiff_t RecordList::indexOf(const PersonRecord* record) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == record)
            return static_cast<std::ptrdiff_t>(i);
    return -1;
}

} // namespace kivo
