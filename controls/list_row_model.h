// The rows behind the owner-drawn list: texts per column, an image index and an item-data value.
#pragma once

#include "controls/packed_cells.h"
#include "controls/sort_keys.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPixmap>
#include <QString>

#include <functional>
#include <vector>

namespace kivo {

// A flat table kept compact for lists of a million rows. A row is tied to whatever it shows by its
// item data, which travels with it through inserts, deletes and sorts. A row either keeps its
// texts itself or asks the text callback for them whenever they are needed.
class ListRowModel : public QAbstractTableModel {
    Q_OBJECT

public:
    // The text of a cell of a row that keeps no texts, from the row's item data and the column.
    using TextCallback = std::function<QString(quintptr data, int column)>;
    struct CallbackRow {
        quintptr data = 0;
        int image = -1;
    };

    explicit ListRowModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Returns the index the column got (appended when `column` is past the end).
    int insertColumnAt(int column, const QString& heading, Qt::Alignment alignment);
    void setColumnToolTip(int column, const QString& toolTip);
    Qt::Alignment columnAlignment(int column) const;

    // Inserts a row at `row` (clamped to the table) holding `text` in column 0.
    int insertRowAt(int row, const QString& text, int image);
    // Inserts a row after every row whose column-0 text is not greater, ignoring case. Inside a
    // batch the row is appended and put in its place when the batch ends.
    int insertRowSorted(const QString& text, int image);
    // Appends rows that take their texts from the callback, in one insert. With `sorted` they
    // go where one-by-one sorted inserts would put them, at once or, inside a batch, when it ends.
    void appendCallbackRows(const std::vector<CallbackRow>& added, bool sorted);
    void setTextCallback(TextCallback callback);
    bool removeRowAt(int row);
    void removeAllRows();

    QString text(int row, int column) const;
    // A row that took its texts from the callback keeps all of them itself from now on.
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
    // Sixteen bytes, so that a million rows that ask the callback take little room.
    struct Row {
        quintptr data = 0;
        int image = -1;
        int texts = -1; // index of the texts the row keeps; -1 when it asks the callback
    };
    struct Column {
        QString heading;
        Qt::Alignment alignment;
        QString toolTip;
    };

    bool validRow(int row) const { return row >= 0 && row < static_cast<int>(rows_.size()); }
    // Calls visit(row, text) once for each row from `first` to before `last`, in no particular
    // order, without copying the texts that rows keep.
    template <typename Visit> void visitColumn(int column, int first, int last, Visit visit) const;
    // Gives a row that asks the callback for its texts its own copies of them.
    void keepTexts(Row& row);
    // A place for the texts of one row, empty.
    int newTexts();
    void mergePendingRows();
    // order[newRow] = oldRow; moves the rows and every persistent index with them.
    void applyOrder(const std::vector<int>& order);

    std::vector<Row> rows_;
    std::vector<PackedCells> texts_; // of the rows that keep theirs; freed places are empty
    std::vector<int> freeTexts_;
    std::vector<Column> columns_;
    QList<QPixmap> images_;
    TextCallback textCallback_;
    bool batch_ = false;
    bool quietChanges_ = false; // cells changed inside the batch
    int pendingFrom_ = -1;      // first row appended by a sorted insert inside the batch
};

} // namespace kivo
