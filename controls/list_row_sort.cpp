// The order of the list's rows: the sorted insert, the merge of the rows a batch inserted sorted,
// and the stable sort by a column.
#include "controls/list_row_model.h"

#include <QVarLengthArray>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numeric>

namespace kivo {

namespace {

int compareNoCase(QStringView a, QStringView b) {
    return a.compare(b, Qt::CaseInsensitive);
}

char16_t lowerAscii(char16_t c) {
    return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + (u'a' - u'A')) : c;
}

// Texts prepared for many comparisons ignoring case, in exactly the order compareNoCase gives.
// compareNoCase compares the case-folded units of two texts one by one, then their lengths; a
// unit folds on its own unless it is half of a surrogate pair. So each text is folded once here
// and compared as plain units after. Most names fold into units below 0x100 (ASCII and the
// Latin-1 letters); their first sixteen folded units, packed into two numbers, decide most
// comparisons at once. Only what a key cannot hold is kept, folded: the rest of a longer narrow
// text, texts with wider units, and, unfolded, the rare text with surrogate pairs, which is
// compared by compareNoCase itself. Folding twice changes nothing, so a folded text compares
// ignoring case as the text does.
class NoCaseKeys {
public:
    struct Key {
        std::uint64_t high = 0; // folded units 0 to 7, one byte each, of a narrow text
        std::uint64_t low = 0;  // folded units 8 to 15
        int row = 0;
        // The index of the kept text, or for a text that is not kept -1 - its size.
        std::int32_t kept = -1;
    };

    void reserve(std::size_t n) { keys_.reserve(n); }
    void add(int row, QStringView t) {
        Key key;
        key.row = row;
        std::vector<char16_t>& block = blockFor(t.size());
        const std::size_t start = block.size();
        bool narrow = true;
        bool pairs = false;
        for (const QChar c : t) {
            pairs = pairs || c.isSurrogate();
            const char16_t folded = c.unicode() < 0x80 ? lowerAscii(c.unicode()) : foldUnit(c);
            narrow = narrow && folded < 0x100;
            block.push_back(folded);
        }
        if (pairs) { // kept as it is, for compareNoCase
            std::copy(t.utf16(), t.utf16() + t.size(), block.begin() + start);
            narrow = false;
        }
        if (narrow) {
            for (qsizetype k = 0; k < kPrefix; ++k) {
                const std::uint64_t u = k < t.size() ? block[start + k] : 0;
                std::uint64_t& half = k < 8 ? key.high : key.low;
                half = (half << 8) | u;
            }
        }
        if (narrow && t.size() > kPrefix) { // its key holds the beginning
            std::copy(block.begin() + start + kPrefix, block.end(), block.begin() + start);
            block.resize(block.size() - kPrefix);
        }
        if (!narrow || t.size() > kPrefix) {
            key.kept = static_cast<std::int32_t>(kept_.size());
            kept_.push_back({static_cast<std::uint32_t>(blocks_.size() - 1),
                             static_cast<std::uint32_t>(start),
                             static_cast<std::uint32_t>(t.size()), narrow, pairs});
        } else {
            key.kept = static_cast<std::int32_t>(-1 - t.size());
            block.resize(start);
        }
        keys_.push_back(key);
    }
    std::vector<Key>& keys() { return keys_; }

    // Negative, zero or positive, as compareNoCase of the two keys' texts.
    int compare(const Key& a, const Key& b) const {
        bool tails = false;
        if (isNarrow(a) && isNarrow(b)) {
            // A text shorter than sixteen units is padded with zeros, the lowest unit, so a
            // difference here is the difference of the texts.
            if (a.high != b.high)
                return a.high < b.high ? -1 : 1;
            if (a.low != b.low)
                return a.low < b.low ? -1 : 1;
            if (a.kept < 0 || b.kept < 0) // one is no longer than the key
                return compareSizes(size(a), size(b));
            tails = true; // equal keys: what comes after them decides
        }
        if (hasPairs(a) || hasPairs(b)) {
            Units bufferA;
            Units bufferB;
            return compareNoCase(text(a, bufferA), text(b, bufferB));
        }
        const QStringView restA = a.kept >= 0 ? kept(a) : QStringView();
        const QStringView restB = b.kept >= 0 ? kept(b) : QStringView();
        const qsizetype n = std::min(size(a), size(b));
        for (qsizetype i = tails ? kPrefix : 0; i < n; ++i) {
            const char16_t x = unitAt(a, restA, i);
            const char16_t y = unitAt(b, restB, i);
            if (x != y)
                return x < y ? -1 : 1;
        }
        return compareSizes(size(a), size(b));
    }

private:
    static constexpr qsizetype kPrefix = 16;
    static constexpr std::size_t kBlockUnits = std::size_t(1) << 20;
    struct Kept {
        std::uint32_t block;
        std::uint32_t start;
        std::uint32_t size;
        bool narrow;
        bool pairs; // unfolded
    };

    // Kept texts go into blocks that never grow once full, so that a million of them are not
    // copied about and held twice on the way.
    std::vector<char16_t>& blockFor(qsizetype units) {
        const auto n = static_cast<std::size_t>(units);
        if (blocks_.empty() || blocks_.back().capacity() - blocks_.back().size() < n) {
            blocks_.emplace_back();
            blocks_.back().reserve(std::max(kBlockUnits, n));
        }
        return blocks_.back();
    }

    // The fold that compareNoCase gives a unit that is no half of a surrogate pair.
    static char16_t foldUnit(QChar c) {
        if (c.isSurrogate())
            return c.unicode();
        return static_cast<char16_t>(QChar::toCaseFolded(char32_t(c.unicode())));
    }
    static int compareSizes(qsizetype a, qsizetype b) { return a == b ? 0 : (a < b ? -1 : 1); }
    bool isNarrow(const Key& k) const { return k.kept < 0 || kept_[k.kept].narrow; }
    bool hasPairs(const Key& k) const { return k.kept >= 0 && kept_[k.kept].pairs; }
    qsizetype size(const Key& k) const { return k.kept >= 0 ? kept_[k.kept].size : -1 - k.kept; }
    using Units = QVarLengthArray<char16_t, 64>;
    // What is kept of a text: all of it, folded (or as it is, with pairs), or of a narrow text
    // what comes after its key.
    QStringView kept(const Key& k) const {
        const Kept& kept = kept_[k.kept];
        const std::uint32_t size = kept.narrow ? kept.size - kPrefix : kept.size;
        return QStringView(blocks_[kept.block].data() + kept.start, size);
    }
    // Unit `i` of a text folded, from its key and what is kept of it.
    char16_t unitAt(const Key& k, QStringView rest, qsizetype i) const {
        if (!isNarrow(k))
            return rest[i].unicode();
        if (i >= kPrefix)
            return rest[i - kPrefix].unicode();
        const std::uint64_t half = i < 8 ? k.high : k.low;
        return static_cast<char16_t>((half >> (8 * (7 - i % 8))) & 0xFF);
    }
    // The whole text, folded (or as it is, with pairs), rebuilt into `buffer` when need be.
    QStringView text(const Key& k, Units& buffer) const {
        if (!isNarrow(k))
            return kept(k);
        const QStringView rest = k.kept >= 0 ? kept(k) : QStringView();
        for (qsizetype i = 0; i < size(k); ++i)
            buffer.append(unitAt(k, rest, i));
        return QStringView(buffer.constData(), buffer.size());
    }

    std::vector<Key> keys_;
    std::vector<Kept> kept_;
    std::vector<std::vector<char16_t>> blocks_; // the kept texts back to back
};

// A sort key with the row it belongs to.
template <typename Key> struct KeyedRow {
    Key key;
    int row;
};

// The new order of the rows, sorted by `compare` (negative, zero or positive) on their keys.
// Rows whose keys are equal keep their order in either direction, as a stable sort would; the
// row number makes every pair unequal, so a sort in place serves.
template <typename Item, typename Compare>
std::vector<int> orderOf(std::vector<Item>& items, bool ascending, Compare compare) {
    std::sort(items.begin(), items.end(), [&](const Item& a, const Item& b) {
        const int c = compare(a, b);
        if (c != 0)
            return ascending ? c < 0 : c > 0;
        return a.row < b.row;
    });
    std::vector<int> order;
    order.reserve(items.size());
    for (const Item& item : items)
        order.push_back(item.row);
    return order;
}

// The item data of rows that ask for their texts are usually the addresses of what the rows
// show. Asked in the order of the rows after a sort, a million of them are read from all over
// memory, which costs more than everything else a sort does; asked roughly in the order of the
// addresses (by 4 KiB page, one counting pass), they are read nearly in order.
std::vector<std::pair<quintptr, int>> inAddressOrder(std::vector<std::pair<quintptr, int>> rows) {
    constexpr unsigned kPageBits = 12;
    constexpr quintptr kMaxPages = quintptr(1) << 16;
    quintptr lowest = rows.front().first;
    quintptr highest = lowest;
    bool ordered = true;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ordered = ordered && rows[i - 1].first <= rows[i].first;
        lowest = std::min(lowest, rows[i].first);
        highest = std::max(highest, rows[i].first);
    }
    if (ordered)
        return rows;
    unsigned shift = kPageBits;
    while (((highest - lowest) >> shift) >= kMaxPages)
        ++shift;
    std::vector<int> starts(((highest - lowest) >> shift) + 2, 0);
    for (const auto& r : rows)
        ++starts[((r.first - lowest) >> shift) + 1];
    for (std::size_t b = 1; b < starts.size(); ++b)
        starts[b] += starts[b - 1];
    std::vector<std::pair<quintptr, int>> sorted(rows.size());
    for (const auto& r : rows)
        sorted[starts[(r.first - lowest) >> shift]++] = r;
    return sorted;
}

template <typename Number> int compareNumbers(Number a, Number b) {
    return a < b ? -1 : (b < a ? 1 : 0);
}

// The new order of rows 0 to n - 1 by whole-number keys, ties in row order in either direction,
// as orderOf gives it but in linear time: the keys are put in row order, then sorted stably one
// byte at a time, least significant first, over the bytes in which they differ.
std::vector<int> orderByWholeNumber(std::vector<KeyedRow<std::int64_t>> items, bool ascending) {
    struct Item {
        std::uint64_t key; // ordered as unsigned, reversed for a descending sort
        int row;
    };
    const std::size_t n = items.size();
    std::vector<Item> sorted(n);
    std::uint64_t differing = 0;
    for (const KeyedRow<std::int64_t>& item : items) {
        const std::uint64_t key = static_cast<std::uint64_t>(item.key) ^ (std::uint64_t(1) << 63);
        sorted[item.row] = {ascending ? key : ~key, item.row};
    }
    std::vector<KeyedRow<std::int64_t>>().swap(items); // not held through the passes
    for (const Item& item : sorted)
        differing |= item.key ^ sorted.front().key;
    std::vector<Item> buffer(differing != 0 ? n : 0);
    for (unsigned shift = 0; shift < 64; shift += 8) {
        if (((differing >> shift) & 0xFF) == 0)
            continue;
        std::array<std::size_t, 257> starts{};
        for (const Item& item : sorted)
            ++starts[((item.key >> shift) & 0xFF) + 1];
        for (std::size_t b = 1; b < starts.size(); ++b)
            starts[b] += starts[b - 1];
        for (const Item& item : sorted)
            buffer[starts[(item.key >> shift) & 0xFF]++] = item;
        sorted.swap(buffer);
    }
    std::vector<int> order;
    order.reserve(n);
    for (const Item& item : sorted)
        order.push_back(item.row);
    return order;
}

} // namespace

int ListRowModel::insertRowSorted(const QString& text, int image) {
    if (batch_) {
        if (pendingFrom_ < 0)
            pendingFrom_ = rowCount();
        const int row = rowCount();
        beginInsertRows({}, row, row);
        Row added;
        added.texts = newTexts();
        texts_[added.texts].setCell(0, text);
        added.image = image;
        rows_.push_back(added);
        endInsertRows();
        return row;
    }
    int first = 0;
    int count = rowCount();
    while (count > 0) {
        const int half = count / 2;
        if (compareNoCase(text, this->text(first + half, 0)) < 0) {
            count = half;
        } else {
            first += half + 1;
            count -= half + 1;
        }
    }
    return insertRowAt(first, text, image);
}

template <typename Visit>
void ListRowModel::visitColumn(int column, int first, int last, Visit visit) const {
    std::vector<std::pair<quintptr, int>> asked;
    for (int i = first; i < last; ++i) {
        const Row& row = rows_[i];
        if (row.texts < 0)
            asked.push_back({row.data, i});
        else
            visit(i, texts_[row.texts].cell(column));
    }
    if (asked.empty())
        return;
    if (!textCallback_) {
        for (const auto& [data, i] : asked)
            visit(i, QStringView());
        return;
    }
    for (const auto& [data, i] : inAddressOrder(std::move(asked))) {
        const QString t = textCallback_(data, column);
        visit(i, QStringView(t));
    }
}

void ListRowModel::mergePendingRows() {
    const int from = pendingFrom_;
    pendingFrom_ = -1;
    const int n = rowCount();
    if (from < 0 || from >= n)
        return;
    // The rows there before are in order and stay so; the new ones come in any order.
    NoCaseKeys names;
    names.reserve(n);
    const auto add = [&](int row, QStringView t) { names.add(row, t); };
    visitColumn(0, 0, from, add);
    std::sort(names.keys().begin(), names.keys().end(),
              [](const NoCaseKeys::Key& a, const NoCaseKeys::Key& b) { return a.row < b.row; });
    visitColumn(0, from, n, add);
    using Key = NoCaseKeys::Key;
    std::vector<Key>& keys = names.keys();
    const auto tail = keys.begin() + from;
    std::sort(tail, keys.end(), [&](const Key& a, const Key& b) {
        const int c = names.compare(a, b);
        return c != 0 ? c < 0 : a.row < b.row;
    });
    // A merge puts each new row where one-by-one sorted inserts would have put it, and never
    // moves the rows that were there before relative to each other.
    std::vector<int> order;
    order.reserve(n);
    auto i = keys.begin();
    auto j = tail;
    while (i != tail && j != keys.end()) {
        if (names.compare(*j, *i) < 0)
            order.push_back(j++->row);
        else
            order.push_back(i++->row);
    }
    for (; i != tail; ++i)
        order.push_back(i->row);
    for (; j != keys.end(); ++j)
        order.push_back(j->row);
    std::vector<Key>().swap(keys);
    applyOrder(order);
}

void ListRowModel::sortRows(int column, SortKind kind, bool ascending, const DateOrder& dateOrder) {
    pendingFrom_ = -1; // the sort puts pending rows in place as well
    const int n = rowCount();
    // Fills one key per row and sorts the rows by it.
    auto byNumber = [&](auto key, auto compare) {
        using Number = decltype(key(QStringView()));
        std::vector<KeyedRow<Number>> keyed;
        keyed.reserve(n);
        visitColumn(column, 0, n, [&](int row, QStringView t) { keyed.push_back({key(t), row}); });
        return orderOf(keyed, ascending, [&](const KeyedRow<Number>& a, const KeyedRow<Number>& b) {
            return compare(a.key, b.key);
        });
    };

    std::vector<int> order;
    switch (kind) {
    case SortKind::Text: {
        std::vector<KeyedRow<QString>> keyed;
        keyed.reserve(n);
        visitColumn(column, 0, n, [&](int row, QStringView t) {
            keyed.push_back({t.toString(), row});
        });
        order =
            orderOf(keyed, ascending, [](const KeyedRow<QString>& a, const KeyedRow<QString>& b) {
                return QStringView(a.key).compare(QStringView(b.key));
            });
        break;
    }
    case SortKind::TextNoCase: {
        NoCaseKeys keys;
        keys.reserve(n);
        visitColumn(column, 0, n, [&](int row, QStringView t) { keys.add(row, t); });
        order = orderOf(
            keys.keys(), ascending,
            [&](const NoCaseKeys::Key& a, const NoCaseKeys::Key& b) { return keys.compare(a, b); });
        break;
    }
    case SortKind::WholeNumber: {
        std::vector<KeyedRow<std::int64_t>> keyed;
        keyed.reserve(n);
        visitColumn(column, 0, n, [&](int row, QStringView t) {
            keyed.push_back({leadingLong(t), row});
        });
        order = orderByWholeNumber(std::move(keyed), ascending);
        break;
    }
    case SortKind::RealNumber:
        // "nan" is a number to atof; it sorts before every other number so that the order stays
        // a strict one.
        order = byNumber([](QStringView t) { return leadingDouble(t); },
                         [](double a, double b) {
                             const bool nanA = std::isnan(a);
                             const bool nanB = std::isnan(b);
                             if (nanA || nanB)
                                 return nanA == nanB ? 0 : (nanA ? -1 : 1);
                             return compareNumbers(a, b);
                         });
        break;
    case SortKind::Date:
    case SortKind::DateAlso: {
        constexpr std::int64_t unparsed = std::numeric_limits<std::int64_t>::min();
        std::vector<KeyedRow<std::int64_t>> keyed;
        keyed.reserve(n);
        visitColumn(column, 0, n, [&](int row, QStringView t) {
            keyed.push_back({dateKey(t, dateOrder).value_or(unparsed), row});
        });
        order = orderByWholeNumber(std::move(keyed), ascending);
        break;
    }
    case SortKind::None:
        return;
    }
    applyOrder(order);
}

void ListRowModel::applyOrder(const std::vector<int>& order) {
    const int n = rowCount();
    bool identity = true;
    for (int i = 0; i < n && identity; ++i)
        identity = order[i] == i;
    if (identity)
        return;

    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    // The rows move in place, one cycle of the permutation at a time, so that a large list is
    // not held twice.
    std::vector<bool> placed(n);
    for (int start = 0; start < n; ++start) {
        if (placed[start])
            continue;
        const Row held = rows_[start];
        int to = start;
        for (int from = order[to]; from != start; from = order[to]) {
            rows_[to] = rows_[from];
            placed[to] = true;
            to = from;
        }
        rows_[to] = held;
        placed[to] = true;
    }

    std::vector<int> newRow(n);
    for (int i = 0; i < n; ++i)
        newRow[order[i]] = i;
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& old : from)
        to.append(index(newRow[old.row()], old.column()));
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

} // namespace kivo
