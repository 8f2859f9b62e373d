// The setup window's record list: an owner-drawn, header-sortable report list.
#pragma once

#include "controls/header_ctrl_ex.h"
#include "controls/sort_keys.h"

#include <QColor>
#include <QList>
#include <QPixmap>
#include <QTreeView>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kivo {

class ListRowModel;

// A report list over a compact row model, with the operations of the platform list view that the
// setup window uses. It adds three things: rows drawn by the list itself with a highlight that
// runs to the right edge, sorting by a click on a heading with a sort kind per column, and a
// selection that shows only while the list has the keyboard focus.
//
// Rows are addressed by index, but indexes move with every insert, delete and sort: whoever needs
// a row later finds it again by its item data.
class CListCtrlEx : public QTreeView {
    Q_OBJECT

public:
    // The parts of a row that GetItemRect reports, in viewport coordinates.
    enum class ItemPart {
        Bounds, // the whole row across all columns
        Icon,   // the small image's cell in column 0
        Label,  // column 0 right of the image
    };

    explicit CListCtrlEx(QWidget* parent = nullptr);
    ~CListCtrlEx() override;

    // How rows are drawn, numbered as the platform list's modes; a number below StandardRows
    // draws as it does.
    enum RowHighlight : int {
        StandardRows = 0,     // the standard item drawing
        FullRowHighlight = 1, // rows drawn here, the highlight across all columns
        HighlightToEdge = 2,  // the same, the highlight running on to the list's right edge
    };
    // Returns the previous mode; a mode above HighlightToEdge changes nothing.
    int SetRowHighlightMode(int mode);
    int rowHighlightMode() const { return highlightMode_; }

    // One sort kind (0..6, see SortKind) per column, in column order. A kind above 6 leaves the
    // list with no kinds at all and returns false.
    bool SetColumnSortKinds(const std::vector<std::uint8_t>& kinds);
    int columnKindCount() const { return static_cast<int>(columnKinds_.size()); }
    // Returns the previous setting.
    bool EnableHeaderSort(bool enable);
    // Sorts the rows by the texts of `column` as its kind says. A column without a kind is not
    // sorted and false is returned.
    bool SortByColumn(int column, bool ascending);
    // The last sort: its column (-1 before the first) and direction.
    int activeSortColumn() const { return activeSortColumn_; }
    bool activeSortAscending() const { return activeSortAscending_; }
    // The strftime format of the dates shown (for example "%d/%m/%Y"); date columns are read in
    // its order of day, month and year. Until it is set the locale's short date order applies.
    void setDateFormat(const QString& format);
    void setDateFormat(const std::string& format);
    void setDateFormat(const char* format) { setDateFormat(QString::fromLocal8Bit(format)); }

    // Shows the selection also while the list lacks the focus. Off by default.
    void SetShowSelectionAlways(bool show);
    // A line shown inside the list while it has no rows, such as how to add the first one; none
    // by default.
    void SetEmptyListText(const QString& text);

    // Column operations. Returns the column's index, -1 on failure; a negative width keeps the
    // header's default.
    // A heading's tooltip, saying what the column holds.
    void SetColumnToolTip(int column, const QString& toolTip);
    int InsertColumn(int column, const QString& heading, Qt::Alignment alignment = Qt::AlignLeft,
                     int width = -1);
    int GetColumnCount() const;

    // With this style every new row goes after the rows whose text is not greater (ignoring
    // case) and InsertItem's row number is ignored. While redraw is off, new rows are appended
    // and put in their places when redraw comes back on, so that a large fill is not quadratic;
    // the row numbers returned stay valid until then.
    void SetSortAscendingStyle(bool sorted);
    // Returns the row the new row got, -1 on failure.
    int InsertItem(int row, const QString& text, int image = -1);
    // The platform's text callback: rows added by InsertCallbackItems keep no texts and ask this
    // for them, with their item data and the column, whenever a text is drawn, read or sorted.
    // A long list then holds no copy of what its rows show; the answers must stay the same until
    // the rows are told otherwise with SetItemText.
    using TextCallback = std::function<QString(quintptr data, int column)>;
    void SetTextCallback(TextCallback callback);
    struct CallbackItem {
        quintptr data = 0;
        int image = -1;
    };
    // Appends one row per item in one step, its texts from the callback. With the sort-ascending
    // style the rows go where InsertItem would have put them one by one (when redraw is off: once
    // it comes back on). A text set on such a row makes the row keep all its texts itself.
    void InsertCallbackItems(const std::vector<CallbackItem>& items);
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    bool SetItemData(int row, quintptr data);
    quintptr GetItemData(int row) const;
    bool SetItemImage(int row, int image);
    int GetItemImage(int row) const;
    bool DeleteItem(int row);
    bool DeleteAllItems();
    int GetItemCount() const;
    // The first row carrying `data`, or -1.
    int FindItemByData(quintptr data) const;

    // The selected row, -1 when none.
    int GetFirstSelected() const;
    // Selects `row` alone and gives it the focus mark; -1 clears the selection.
    void SetSelected(int row);
    void EnsureVisible(int row);
    QRect GetItemRect(int row, ItemPart part) const;

    // The small images: a strip of equally sized pictures side by side, or a list of pictures.
    void SetImageList(const QPixmap& strip, QSize imageSize = QSize(16, 16));
    void SetImageList(const QList<QPixmap>& images);

    // Off: nothing is painted and changes are collected; on: one repaint for all of them.
    void SetRedraw(bool redraw);

    CHeaderCtrlEx* headerCtrl() const { return header_; }
    QModelIndex indexAt(const QPoint& point) const override;

signals:
    // Left double click; the row under the cursor or -1.
    void rowDoubleClicked(int row);
    // Right click, after the row under the cursor was selected; the row or -1 and the cursor's
    // global position.
    void rowRightClicked(int row, const QPoint& globalPos);
    // Any click on a heading, after the sort it caused.
    void headerItemClicked(int column, Qt::MouseButton button);

protected:
    void paintEvent(QPaintEvent* event) override;
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;

private:
    struct RowGeometry {
        QRect bounds;
        QRect icon;
        QRect label;
    };

    void onHeaderItemClicked(int column, Qt::MouseButton button);
    // The header's arrow on the column the rows are in order of; -1 shows none.
    void showSortIndicator(int column, bool ascending);
    RowGeometry rowGeometry(int top, int height) const;
    int rowAtY(int y) const;
    bool isRowSelected(int row) const;
    void updateRowStrip(int row);
    const QPixmap& blendedImage(int image, const QColor& highlight) const;

    ListRowModel* model_;
    CHeaderCtrlEx* header_;
    int activeSortColumn_ = -1;
    bool activeSortAscending_ = true;
    int indicatorColumn_ = -1;
    bool indicatorAscending_ = true;
    int highlightMode_ = StandardRows;
    bool headerSortEnabled_ = false;
    std::vector<std::uint8_t> columnKinds_;
    DateOrder dateOrder_;
    bool sortAscendingStyle_ = false;
    bool showSelectionAlways_ = false;
    QString emptyListText_;
    bool redraw_ = true;
    QSize imageSize_{16, 16};
    mutable QList<QPixmap> blended_; // images blended with `blendedWith_`, made when first drawn
    mutable QColor blendedWith_;
};

} // namespace kivo
