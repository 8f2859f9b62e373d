// The rows behind the owner-drawn list, their sorted insert and their column sort.
#include "controls/list_row_model.h"

#include <algorithm>
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
// Between two texts of ASCII characters alone (nearly every name), folding case is lowering A to
// Z, so the first eight lowered characters packed into one number decide most comparisons at
// once; any other pair is compared by compareNoCase itself.
class NoCaseKeys {
public:
    explicit NoCaseKeys(std::vector<QStringView> texts) : texts_(std::move(texts)) {
        prefix_.resize(texts_.size());
        ascii_.resize(texts_.size());
        for (std::size_t i = 0; i < texts_.size(); ++i) {
            const QStringView t = texts_[i];
            bool ascii = true;
            for (const QChar c : t)
                ascii = ascii && c.unicode() < 0x80;
            ascii_[i] = ascii;
            std::uint64_t prefix = 0;
            for (qsizetype k = 0; k < 8; ++k)
                prefix = (prefix << 8) | (k < t.size() && ascii ? lowerAscii(t[k].unicode()) : 0);
            prefix_[i] = prefix;
        }
    }
    // Negative, zero or positive, as compareNoCase(text a, text b).
    int compare(int a, int b) const {
        if (!ascii_[a] || !ascii_[b])
            return compareNoCase(texts_[a], texts_[b]);
        // A text shorter than eight characters is padded with zeros, the lowest character, so a
        // difference here is the difference of the texts; equal prefixes look further.
        if (prefix_[a] != prefix_[b])
            return prefix_[a] < prefix_[b] ? -1 : 1;
        const QStringView x = texts_[a];
        const QStringView y = texts_[b];
        const qsizetype n = std::min(x.size(), y.size());
        for (qsizetype k = 8; k < n; ++k) {
            const char16_t p = lowerAscii(x[k].unicode());
            const char16_t q = lowerAscii(y[k].unicode());
            if (p != q)
                return p < q ? -1 : 1;
        }
        return x.size() == y.size() ? 0 : (x.size() < y.size() ? -1 : 1);
    }
    QStringView text(int i) const { return texts_[i]; }

private:
    std::vector<QStringView> texts_;
    std::vector<std::uint64_t> prefix_;
    std::vector<bool> ascii_;
};

// Sorts `order` by `less` on row numbers; descending swaps the arguments so that equal rows keep
// their order both ways.
template <typename Less> void stableSortRows(std::vector<int>& order, bool ascending, Less less) {
    if (ascending)
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(a, b); });
    else
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return less(b, a); });
}

} // namespace

ListRowModel::ListRowModel(QObject* parent) : QAbstractTableModel(parent) {}

int ListRowModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(rows_.size());
}

int ListRowModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant ListRowModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || !validRow(index.row()))
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return text(index.row(), index.column()).toString();
    case Qt::DecorationRole: {
        const int i = rows_[index.row()].image;
        if (index.column() == 0 && i >= 0 && i < images_.size())
            return images_[i];
        return {};
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columnAlignment(index.column()) | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant ListRowModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columnCount())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].heading;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(columns_[section].alignment | Qt::AlignVCenter);
    return {};
}

Qt::ItemFlags ListRowModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ListRowModel::insertColumnAt(int column, const QString& heading, Qt::Alignment alignment) {
    column = std::clamp(column, 0, columnCount());
    beginInsertColumns({}, column, column);
    columns_.insert(columns_.begin() + column,
                    Column{heading, alignment & Qt::AlignHorizontal_Mask});
    // Column 0 is the row's own text and stays in place, as in the platform's list view.
    if (column > 0)
        for (Row& row : rows_)
            row.cells.insertCell(column);
    endInsertColumns();
    return column;
}

Qt::Alignment ListRowModel::columnAlignment(int column) const {
    if (column < 0 || column >= columnCount())
        return Qt::AlignLeft;
    return columns_[column].alignment;
}

int ListRowModel::insertRowAt(int row, const QString& text, int image) {
    row = std::clamp(row, 0, rowCount());
    beginInsertRows({}, row, row);
    Row added;
    added.cells.setCell(0, text);
    added.image = image;
    rows_.insert(rows_.begin() + row, std::move(added));
    if (pendingFrom_ >= 0 && row < pendingFrom_)
        ++pendingFrom_;
    endInsertRows();
    return row;
}

int ListRowModel::insertRowSorted(const QString& text, int image) {
    if (batch_) {
        if (pendingFrom_ < 0)
            pendingFrom_ = rowCount();
        const int row = rowCount();
        beginInsertRows({}, row, row);
        Row added;
        added.cells.setCell(0, text);
        added.image = image;
        rows_.push_back(std::move(added));
        endInsertRows();
        return row;
    }
    const auto at =
        std::upper_bound(rows_.begin(), rows_.end(), text, [](const QString& t, const Row& r) {
            return compareNoCase(t, r.cells.cell(0)) < 0;
        });
    return insertRowAt(static_cast<int>(at - rows_.begin()), text, image);
}

bool ListRowModel::removeRowAt(int row) {
    if (!validRow(row))
        return false;
    beginRemoveRows({}, row, row);
    rows_.erase(rows_.begin() + row);
    if (pendingFrom_ > row)
        --pendingFrom_;
    if (pendingFrom_ >= rowCount())
        pendingFrom_ = -1;
    endRemoveRows();
    return true;
}

void ListRowModel::removeAllRows() {
    beginResetModel();
    std::vector<Row>().swap(rows_); // give the memory back, not only the rows
    pendingFrom_ = -1;
    endResetModel();
}

QStringView ListRowModel::text(int row, int column) const {
    if (!validRow(row))
        return {};
    return rows_[row].cells.cell(column);
}

bool ListRowModel::setText(int row, int column, QStringView text) {
    if (!validRow(row) || column < 0 || (column > 0 && column >= columnCount()))
        return false;
    rows_[row].cells.setCell(column, text);
    if (batch_) {
        quietChanges_ = true;
    } else if (column < columnCount()) {
        const QModelIndex changed = index(row, column);
        emit dataChanged(changed, changed, {Qt::DisplayRole});
    }
    return true;
}

quintptr ListRowModel::rowData(int row) const {
    return validRow(row) ? rows_[row].data : 0;
}

bool ListRowModel::setRowData(int row, quintptr data) {
    if (!validRow(row))
        return false;
    rows_[row].data = data;
    return true;
}

int ListRowModel::image(int row) const {
    return validRow(row) ? rows_[row].image : -1;
}

bool ListRowModel::setImage(int row, int image) {
    if (!validRow(row))
        return false;
    rows_[row].image = image;
    if (batch_) {
        quietChanges_ = true;
    } else if (columnCount() > 0) {
        const QModelIndex changed = index(row, 0);
        emit dataChanged(changed, changed, {Qt::DecorationRole});
    }
    return true;
}

int ListRowModel::findRowData(quintptr data) const {
    const auto it =
        std::find_if(rows_.begin(), rows_.end(), [data](const Row& r) { return r.data == data; });
    return it == rows_.end() ? -1 : static_cast<int>(it - rows_.begin());
}

void ListRowModel::setImages(QList<QPixmap> images) {
    images_ = std::move(images);
    if (!rows_.empty() && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, 0), {Qt::DecorationRole});
}

void ListRowModel::beginBatch() {
    batch_ = true;
}

void ListRowModel::endBatch() {
    if (!batch_)
        return;
    batch_ = false;
    mergePendingRows();
    if (quietChanges_ && !rows_.empty() && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
    quietChanges_ = false;
}

void ListRowModel::mergePendingRows() {
    const int from = pendingFrom_;
    pendingFrom_ = -1;
    const int n = rowCount();
    if (from < 0 || from >= n)
        return;
    std::vector<QStringView> texts(n);
    for (int i = 0; i < n; ++i)
        texts[i] = rows_[i].cells.cell(0);
    const NoCaseKeys names(std::move(texts));
    std::vector<int> tail(n - from);
    std::iota(tail.begin(), tail.end(), from);
    std::stable_sort(tail.begin(), tail.end(),
                     [&](int a, int b) { return names.compare(a, b) < 0; });
    // A merge puts each new row where one-by-one sorted inserts would have put it, and never
    // moves the rows that were there before relative to each other.
    std::vector<int> order;
    order.reserve(n);
    int i = 0;
    auto j = tail.begin();
    while (i < from && j != tail.end()) {
        if (names.compare(*j, i) < 0)
            order.push_back(*j++);
        else
            order.push_back(i++);
    }
    while (i < from)
        order.push_back(i++);
    order.insert(order.end(), j, tail.end());
    applyOrder(order);
}

void ListRowModel::sortRows(int column, SortKind kind, bool ascending, const DateOrder& dateOrder) {
    pendingFrom_ = -1; // the sort puts pending rows in place as well
    const int n = rowCount();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);

    switch (kind) {
    case SortKind::Text: {
        std::vector<QStringView> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = rows_[i].cells.cell(column);
        stableSortRows(order, ascending,
                       [&](int a, int b) { return keys[a].compare(keys[b]) < 0; });
        break;
    }
    case SortKind::TextNoCase: {
        std::vector<QStringView> texts(n);
        for (int i = 0; i < n; ++i)
            texts[i] = rows_[i].cells.cell(column);
        const NoCaseKeys keys(std::move(texts));
        stableSortRows(order, ascending, [&](int a, int b) { return keys.compare(a, b) < 0; });
        break;
    }
    case SortKind::WholeNumber: {
        std::vector<long long> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = leadingLong(rows_[i].cells.cell(column));
        stableSortRows(order, ascending, [&](int a, int b) { return keys[a] < keys[b]; });
        break;
    }
    case SortKind::RealNumber: {
        std::vector<double> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = leadingDouble(rows_[i].cells.cell(column));
        // "nan" is a number to atof; it sorts before every other number so that the order stays
        // a strict one.
        stableSortRows(order, ascending, [&](int a, int b) {
            const bool nanA = std::isnan(keys[a]);
            const bool nanB = std::isnan(keys[b]);
            if (nanA || nanB)
                return nanA && !nanB;
            return keys[a] < keys[b];
        });
        break;
    }
    case SortKind::Date:
    case SortKind::DateAlso: {
        constexpr std::int64_t unparsed = std::numeric_limits<std::int64_t>::min();
        std::vector<std::int64_t> keys(n);
        for (int i = 0; i < n; ++i)
            keys[i] = dateKey(rows_[i].cells.cell(column), dateOrder).value_or(unparsed);
        stableSortRows(order, ascending, [&](int a, int b) { return keys[a] < keys[b]; });
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
    std::vector<Row> sorted;
    sorted.reserve(rows_.capacity());
    for (const int old : order)
        sorted.push_back(std::move(rows_[old]));
    rows_.swap(sorted);

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
