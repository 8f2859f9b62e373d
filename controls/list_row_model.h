// The rows behind the owner-drawn list: texts per column, an image index and an item-data value.
#pragma once

#include "controls/packed_cells.h"
#include "controls/sort_keys.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPixmap>
#include <QString>

#include <vector>

namespace kivo {

// A flat table kept compact for lists of a hundred thousand rows. A row is tied to whatever it
// shows by its item data, which travels with it through inserts, deletes and sorts.
class ListRowModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit ListRowModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Returns the index the column got (appended when `column` is past the end).
    int insertColumnAt(int column, const QString& heading, Qt::Alignment alignment);
    Qt::Alignment columnAlignment(int column) const;

    // Inserts a row at `row` (clamped to the table) holding `text` in column 0.
    int insertRowAt(int row, const QString& text, int image);
    // Inserts a row after every row whose column-0 text is not greater, ignoring case. Inside a
    // batch the row is appended and put in its place when the batch ends.
    int insertRowSorted(const QString& text, int image);
    bool removeRowAt(int row);
    void removeAllRows();

    QStringView text(int row, int column) const;
    bool setText(int row, int column, QStringView text);
    quintptr rowData(int row) const;
    bool setRowData(int row, quintptr data);
    int image(int row) const;
    bool setImage(int row, int image);
    int findRowData(quintptr data) const;

    void setImages(QList<QPixmap> images);
    const QList<QPixmap>& images() const { return images_; }

    // While a batch runs, cell changes are not announced one by one and sorted inserts are
    // merged into place once at the end, so that filling a large list stays linear.
    void beginBatch();
    void endBatch();
    bool inBatch() const { return batch_; }

    // Stable sort by one column. Rows whose keys compare equal keep their order, in either
    // direction; dates that do not parse sort before every date.
    void sortRows(int column, SortKind kind, bool ascending, const DateOrder& dateOrder);

private:
    struct Row {
        PackedCells cells;
        quintptr data = 0;
        int image = -1;
    };
    struct Column {
        QString heading;
        Qt::Alignment alignment;
    };

    bool validRow(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }
    void mergePendingRows();
    // order[newRow] = oldRow; moves the rows and every persistent index with them.
    void applyOrder(const std::vector<int>& order);

    std::vector<Row> rows_;
    std::vector<Column> columns_;
    QList<QPixmap> images_;
    bool batch_ = false;
    bool quietChanges_ = false; // cells changed inside the batch
    int pendingFrom_ = -1;      // first row appended by a sorted insert inside the batch
};

} // namespace kivo
