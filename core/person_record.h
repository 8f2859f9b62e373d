// One birthday or annual event, and the list that owns every record of a run.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace kivo {

// The kinds of date a record can hold (the editor's "Type:" list, in its order).
enum RecordType { Birthday = 0, AnnualEvent = 1, BirthdayUnknownAge = 2, AnnualEventWithStart = 3 };

struct PersonRecord {
    std::string name;
    int day = 0;   // 1..31; 0 when the file had no digits, -1 when the editor gave no date
    int month = 0; // 1..12; 0 or -1 as for day
    int year = 0;  // 0 = no year given
    int icon = 0;  // index into the icon strip, 0..31 (-1: no icon chosen)
    int skipYear = -1;
    int daysInAdvance = 0;
    int type = Birthday;
    bool infoOnly = false;  // "Don't ever remind me about this"
    bool dontPrint = false; // "Don't print this"
    // Where the record is kept: 0 in the records file, n > 0 in the n-th contacts file of the run
    // (the records of an account's address books). Only the records file's own are written to it.
    std::int16_t source = 0;
    // Derived by ComputeOccurrence; -1 until computed, and for a record without a usable date.
    int age = -1;
    int daysUntil = -1;
    int nextYear = -1;
    std::string email;
    int leapling = 1; // 0: a 29 February counts on 28 February; anything else: on 1 March

    // Equal in every field, the derived ones included.
    bool operator==(const PersonRecord&) const = default;
};

// The ordered list of all records. It owns them; a record keeps its address for as long as it is
// in the list, because windows hold that address as the item data of their rows.
class RecordList {
public:
    using Storage = std::vector<std::unique_ptr<PersonRecord>>;

    class const_iterator;
    class iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = PersonRecord;
        using difference_type = std::ptrdiff_t;
        using pointer = PersonRecord*;
        using reference = PersonRecord&;
        iterator() = default;
        explicit iterator(Storage::iterator it) : it_(it) {}
        PersonRecord& operator*() const { return **it_; }
        PersonRecord* operator->() const { return it_->get(); }
        iterator& operator++() {
            ++it_;
            return *this;
        }
        iterator operator++(int) {
            auto old = *this;
            ++it_;
            return old;
        }
        bool operator==(const iterator& o) const { return it_ == o.it_; }

    private:
        friend class RecordList;
        Storage::iterator it_;
    };
    class const_iterator {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = PersonRecord;
        using difference_type = std::ptrdiff_t;
        using pointer = const PersonRecord*;
        using reference = const PersonRecord&;
        const_iterator() = default;
        explicit const_iterator(Storage::const_iterator it) : it_(it) {}
        const PersonRecord& operator*() const { return **it_; }
        const PersonRecord* operator->() const { return it_->get(); }
        const_iterator& operator++() {
            ++it_;
            return *this;
        }
        const_iterator operator++(int) {
            auto old = *this;
            ++it_;
            return old;
        }
        bool operator==(const const_iterator& o) const { return it_ == o.it_; }

    private:
        Storage::const_iterator it_;
    };

    RecordList() = default;
    RecordList(const RecordList&) = delete;
    RecordList& operator=(const RecordList&) = delete;
    RecordList(RecordList&&) = default;
    RecordList& operator=(RecordList&&) = default;

    // Where a record was read from: its place among the records of the file, or none for a record
    // this run made.
    static constexpr std::int32_t kNotRead = -1;

    // Appends at the tail and returns the record as stored.
    PersonRecord& append(std::unique_ptr<PersonRecord> record, std::int32_t readPlace = kNotRead);
    PersonRecord& append(PersonRecord record, std::int32_t readPlace = kNotRead);
    // Unlinks the record from wherever it is and frees it; the others keep their order.
    // Returns false when the record is not in the list.
    bool remove(const PersonRecord* record);
    // Frees every record, from the head.
    void clear();
    // Frees the records from position `size` on.
    void truncate(std::size_t size) {
        if (size < items_.size()) {
            items_.resize(size);
            readPlaces_.resize(size);
        }
    }

    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }
    PersonRecord& operator[](std::size_t i) { return *items_[i]; }
    const PersonRecord& operator[](std::size_t i) const { return *items_[i]; }
    // Position of the record in the list, or -1.
    std::ptrdiff_t indexOf(const PersonRecord* record) const;
    bool contains(const PersonRecord* record) const { return indexOf(record) >= 0; }
    void reserve(std::size_t n) {
        items_.reserve(n);
        readPlaces_.reserve(n);
    }
    // The place among the file's records that the record at `i` was read from, or kNotRead.
    std::int32_t readPlace(std::size_t i) const { return readPlaces_[i]; }

    iterator begin() { return iterator(items_.begin()); }
    iterator end() { return iterator(items_.end()); }
    const_iterator begin() const { return const_iterator(items_.begin()); }
    const_iterator end() const { return const_iterator(items_.end()); }

private:
    Storage items_;
    std::vector<std::int32_t> readPlaces_; // beside items_, one for each
};

} // namespace kivo
