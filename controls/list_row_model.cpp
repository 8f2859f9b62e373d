// The rows behind the owner-drawn list: their texts, images and item data, and the columns.
#include "controls/list_row_model.h"

#include <algorithm>

namespace kivo {

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
        return text(index.row(), index.column());
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
    if (role == Qt::ToolTipRole && !columns_[section].toolTip.isEmpty())
        return columns_[section].toolTip;
    return {};
}

void ListRowModel::setColumnToolTip(int column, const QString& toolTip) {
    if (column < 0 || column >= columnCount())
        return;
    columns_[column].toolTip = toolTip;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

Qt::ItemFlags ListRowModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

int ListRowModel::insertColumnAt(int column, const QString& heading, Qt::Alignment alignment) {
    column = std::clamp(column, 0, columnCount());
    // The callback knows the columns as they are, so its rows keep their texts from now on.
    if (column > 0 && column < columnCount())
        for (Row& row : rows_)
            keepTexts(row);
    beginInsertColumns({}, column, column);
    columns_.insert(columns_.begin() + column,
                    Column{heading, alignment & Qt::AlignHorizontal_Mask, {}});
    // Column 0 is the row's own text and stays in place, as in the platform's list view.
    if (column > 0)
        for (PackedCells& cells : texts_)
            cells.insertCell(column);
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
    added.texts = newTexts();
    texts_[added.texts].setCell(0, text);
    added.image = image;
    rows_.insert(rows_.begin() + row, added);
    if (pendingFrom_ >= 0 && row < pendingFrom_)
        ++pendingFrom_;
    endInsertRows();
    return row;
}

void ListRowModel::appendCallbackRows(const std::vector<CallbackRow>& added, bool sorted) {
    if (added.empty())
        return;
    const int from = rowCount();
    beginInsertRows({}, from, from + static_cast<int>(added.size()) - 1);
    rows_.reserve(rows_.size() + added.size());
    for (const CallbackRow& a : added)
        rows_.push_back(Row{a.data, a.image, -1});
    endInsertRows();
    if (!sorted)
        return;
    if (pendingFrom_ < 0)
        pendingFrom_ = from;
    if (!batch_)
        mergePendingRows();
}

void ListRowModel::setTextCallback(TextCallback callback) {
    textCallback_ = std::move(callback);
    if (!rows_.empty() && columnCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

void ListRowModel::keepTexts(Row& row) {
    if (row.texts >= 0)
        return;
    row.texts = newTexts();
    if (!textCallback_)
        return;
    for (int c = columnCount() - 1; c >= 0; --c)
        texts_[row.texts].setCell(c, textCallback_(row.data, c));
}

int ListRowModel::newTexts() {
    if (freeTexts_.empty()) {
        texts_.emplace_back();
        return static_cast<int>(texts_.size()) - 1;
    }
    const int at = freeTexts_.back();
    freeTexts_.pop_back();
    return at;
}

bool ListRowModel::removeRowAt(int row) {
    if (!validRow(row))
        return false;
    beginRemoveRows({}, row, row);
    if (const int texts = rows_[row].texts; texts >= 0) {
        texts_[texts] = PackedCells();
        freeTexts_.push_back(texts);
    }
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
    // Give the memory back, not only the rows.
    std::vector<Row>().swap(rows_);
    std::vector<PackedCells>().swap(texts_);
    std::vector<int>().swap(freeTexts_);
    pendingFrom_ = -1;
    endResetModel();
}

QString ListRowModel::text(int row, int column) const {
    if (!validRow(row))
        return {};
    const Row& r = rows_[row];
    if (r.texts < 0)
        return textCallback_ && column >= 0 && column < columnCount()
                   ? textCallback_(r.data, column)
                   : QString();
    return texts_[r.texts].cell(column).toString();
}

bool ListRowModel::setText(int row, int column, QStringView text) {
    if (!validRow(row) || column < 0 || (column > 0 && column >= columnCount()))
        return false;
    keepTexts(rows_[row]);
    texts_[rows_[row].texts].setCell(column, text);
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

} // namespace kivo
