// The owner-drawn, header-sortable record list: row drawing, header sorting, focus repaint.
#include "controls/list_ctrl_ex.h"

#include "controls/list_row_model.h"

#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

#include <algorithm>

namespace kivo {

namespace {

// Space between the small image and the row's edge, and between the image and the label.
constexpr int kIconMargin = 2;

// Rows are as high as the font or the small images need; all rows alike.
class RowHeightDelegate : public QStyledItemDelegate {
public:
    explicit RowHeightDelegate(QObject* parent) : QStyledItemDelegate(parent) {}
    int imageHeight = 16;

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(option.fontMetrics.height() + 4, imageHeight + 2));
        return size;
    }
};

Qt::Alignment horizontalAlignment(Qt::Alignment alignment) {
    if (alignment & Qt::AlignRight)
        return Qt::AlignRight;
    if (alignment & Qt::AlignHCenter)
        return Qt::AlignHCenter;
    return Qt::AlignLeft;
}

// One line, vertically centred, cut with an ellipsis when too long. No mnemonic flag is passed,
// so an ampersand stays an ampersand.
void drawCellText(QPainter* painter, const QRect& rect, QStringView text, Qt::Alignment alignment,
                  bool clip) {
    if (rect.width() <= 0 || text.isEmpty())
        return;
    const QString shown =
        painter->fontMetrics().elidedText(text.toString(), Qt::ElideRight, rect.width());
    int flags = horizontalAlignment(alignment) | Qt::AlignVCenter | Qt::TextSingleLine;
    if (!clip)
        flags |= Qt::TextDontClip;
    painter->drawText(rect, flags, shown);
}

} // namespace

CListCtrlEx::CListCtrlEx(QWidget* parent)
    : QTreeView(parent), model_(new ListRowModel(this)), header_(new CHeaderCtrlEx(this)),
      dateOrder_(dateOrderFromLocale(QLocale())) {
    setHeader(header_);
    setModel(model_);
    setItemDelegate(new RowHeightDelegate(this));
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setExpandsOnDoubleClick(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(imageSize_);
    // The tree view makes its header unclickable unless it sorts by itself; this list sorts.
    header_->setSectionsClickable(true);
    connect(header_, &CHeaderCtrlEx::itemClicked, this, &CListCtrlEx::onHeaderItemClicked);
}

CListCtrlEx::~CListCtrlEx() = default;

int CListCtrlEx::SetRowHighlightMode(int mode) {
    const int previous = highlightMode_;
    if (mode > HighlightToEdge)
        return previous;
    highlightMode_ = mode;
    viewport()->update();
    return previous;
}

bool CListCtrlEx::SetColumnSortKinds(const std::vector<std::uint8_t>& kinds) {
    columnKinds_.clear();
    if (std::any_of(kinds.begin(), kinds.end(), [](std::uint8_t k) { return k > kMaxSortKind; }))
        return false;
    columnKinds_ = kinds;
    return true;
}

bool CListCtrlEx::EnableHeaderSort(bool enable) {
    const bool previous = headerSortEnabled_;
    headerSortEnabled_ = enable;
    return previous;
}

bool CListCtrlEx::SortByColumn(int column, bool ascending) {
    if (column < 0 || column >= columnKindCount())
        return false;
    model_->sortRows(column, static_cast<SortKind>(columnKinds_[column]), ascending, dateOrder_);
    activeSortColumn_ = column;
    activeSortAscending_ = ascending;
    showSortIndicator(column, ascending);
    return true;
}

void CListCtrlEx::showSortIndicator(int column, bool ascending) {
    indicatorColumn_ = column;
    indicatorAscending_ = ascending;
    header_->setSortIndicatorShown(column >= 0);
    header_->setSortIndicator(column, ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
}

void CListCtrlEx::setDateFormat(const QString& format) {
    dateOrder_ = dateOrderFromFormat(format);
}

void CListCtrlEx::setDateFormat(const std::string& format) {
    setDateFormat(QString::fromLocal8Bit(format));
}

void CListCtrlEx::SetShowSelectionAlways(bool show) {
    showSelectionAlways_ = show;
    viewport()->update();
}

void CListCtrlEx::SetEmptyListText(const QString& text) {
    emptyListText_ = text;
    viewport()->update();
}

void CListCtrlEx::SetColumnToolTip(int column, const QString& toolTip) {
    model_->setColumnToolTip(column, toolTip);
}

int CListCtrlEx::InsertColumn(int column, const QString& heading, Qt::Alignment alignment,
                              int width) {
    if (column < 0)
        return -1;
    const int at = model_->insertColumnAt(column, heading, alignment);
    if (width >= 0)
        header_->resizeSection(at, width);
    return at;
}

int CListCtrlEx::GetColumnCount() const {
    return model_->columnCount();
}

void CListCtrlEx::SetSortAscendingStyle(bool sorted) {
    sortAscendingStyle_ = sorted;
}

int CListCtrlEx::InsertItem(int row, const QString& text, int image) {
    if (sortAscendingStyle_)
        return model_->insertRowSorted(text, image);
    if (row < 0)
        return -1;
    return model_->insertRowAt(row, text, image);
}

void CListCtrlEx::SetTextCallback(TextCallback callback) {
    model_->setTextCallback(std::move(callback));
}

void CListCtrlEx::InsertCallbackItems(const std::vector<CallbackItem>& items) {
    std::vector<ListRowModel::CallbackRow> rows;
    rows.reserve(items.size());
    for (const CallbackItem& item : items)
        rows.push_back({item.data, item.image});
    model_->appendCallbackRows(rows, sortAscendingStyle_);
}

bool CListCtrlEx::SetItemText(int row, int column, const QString& text) {
    return model_->setText(row, column, text);
}

QString CListCtrlEx::GetItemText(int row, int column) const {
    return model_->text(row, column);
}

bool CListCtrlEx::SetItemData(int row, quintptr data) {
    return model_->setRowData(row, data);
}

quintptr CListCtrlEx::GetItemData(int row) const {
    return model_->rowData(row);
}

bool CListCtrlEx::SetItemImage(int row, int image) {
    return model_->setImage(row, image);
}

int CListCtrlEx::GetItemImage(int row) const {
    return model_->image(row);
}

bool CListCtrlEx::DeleteItem(int row) {
    return model_->removeRowAt(row);
}

bool CListCtrlEx::DeleteAllItems() {
    model_->removeAllRows();
    // Rows inserted from now on follow their text; without the style they follow no column.
    showSortIndicator(sortAscendingStyle_ ? 0 : -1, true);
    return true;
}

int CListCtrlEx::GetItemCount() const {
    return model_->rowCount();
}

int CListCtrlEx::FindItemByData(quintptr data) const {
    return model_->findRowData(data);
}

int CListCtrlEx::GetFirstSelected() const {
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        if (first < 0 || range.top() < first)
            first = range.top();
    return first;
}

void CListCtrlEx::SetSelected(int row) {
    if (row < 0 || row >= GetItemCount()) {
        selectionModel()->clearSelection();
        return;
    }
    selectionModel()->setCurrentIndex(model_->index(row, 0), QItemSelectionModel::ClearAndSelect |
                                                                 QItemSelectionModel::Rows);
}

void CListCtrlEx::EnsureVisible(int row) {
    if (row >= 0 && row < GetItemCount())
        scrollTo(model_->index(row, 0), QAbstractItemView::EnsureVisible);
}

QRect CListCtrlEx::GetItemRect(int row, ItemPart part) const {
    if (row < 0 || row >= GetItemCount() || GetColumnCount() == 0)
        return {};
    const QRect cell = visualRect(model_->index(row, 0));
    if (!cell.isValid())
        return {};
    const RowGeometry g = rowGeometry(cell.top(), cell.height());
    switch (part) {
    case ItemPart::Icon:
        return g.icon;
    case ItemPart::Label:
        return g.label;
    case ItemPart::Bounds:
        break;
    }
    return g.bounds;
}

void CListCtrlEx::SetImageList(const QPixmap& strip, QSize imageSize) {
    QList<QPixmap> images;
    if (imageSize.width() > 0 && imageSize.height() > 0)
        for (int x = 0; x + imageSize.width() <= strip.width(); x += imageSize.width())
            images.append(strip.copy(x, 0, imageSize.width(), imageSize.height()));
    SetImageList(images);
}

void CListCtrlEx::SetImageList(const QList<QPixmap>& images) {
    // Pictures drawn for a dense screen are as large as the others on it.
    imageSize_ = images.isEmpty() ? QSize(16, 16) : images.first().deviceIndependentSize().toSize();
    blended_.clear();
    model_->setImages(images);
    setIconSize(imageSize_);
    static_cast<RowHeightDelegate*>(itemDelegate())->imageHeight = imageSize_.height();
    scheduleDelayedItemsLayout(); // the row height may change with the images
    viewport()->update();
}

void CListCtrlEx::SetRedraw(bool redraw) {
    if (redraw == redraw_)
        return;
    redraw_ = redraw;
    if (!redraw) {
        model_->beginBatch();
        setUpdatesEnabled(false);
        return;
    }
    model_->endBatch();
    setUpdatesEnabled(true); // repaints everything once
}

QModelIndex CListCtrlEx::indexAt(const QPoint& point) const {
    const QModelIndex index = QTreeView::indexAt(point);
    if (index.isValid() || GetColumnCount() == 0)
        return index;
    // Right of the last column the row still counts: its highlight runs on to the edge.
    const int right = header_->sectionViewportPosition(0) + header_->length() - 1;
    if (point.x() > right && right >= 0)
        return QTreeView::indexAt(QPoint(right, point.y()));
    return index;
}

void CListCtrlEx::onHeaderItemClicked(int column, Qt::MouseButton button) {
    if (button == Qt::LeftButton && headerSortEnabled_) {
        const bool ascending = column != activeSortColumn_ || !activeSortAscending_;
        SortByColumn(column, ascending);
    }
    // The header turns its arrow on every left click; it points the way the rows are sorted.
    showSortIndicator(indicatorColumn_, indicatorAscending_);
    emit headerItemClicked(column, button);
}

CListCtrlEx::RowGeometry CListCtrlEx::rowGeometry(int top, int height) const {
    RowGeometry g;
    const int left = header_->sectionViewportPosition(0);
    g.bounds = QRect(left, top, header_->length(), height);
    int labelLeft = left;
    if (!model_->images().isEmpty()) {
        g.icon =
            QRect(QPoint(left + kIconMargin, top + (height - imageSize_.height()) / 2), imageSize_);
        labelLeft = g.icon.right() + 1 + kIconMargin;
    } else {
        g.icon = QRect(left, top, 0, height);
    }
    const int column0Right = left + header_->sectionSize(0);
    g.label = QRect(labelLeft, top, std::max(0, column0Right - labelLeft), height);
    return g;
}

// The row is drawn whole on every call, from the list's own selection and focus. In mode 2 the
// highlight starts at the label (the image keeps the window colour around it) and runs to the
// right edge of the viewport, past the last column. The item view repaints its whole viewport
// when the focus comes or goes, so the highlight follows the focus without more ado here.
void CListCtrlEx::paintEvent(QPaintEvent* event) {
    QTreeView::paintEvent(event);
    if (model_->rowCount() > 0 || emptyListText_.isEmpty())
        return;
    // Painted, not a row: it takes no selection, is never sorted and is not counted.
    QPainter painter(viewport());
    painter.setPen(palette().color(QPalette::PlaceholderText));
    const int margin = fontMetrics().height();
    painter.drawText(viewport()->rect().adjusted(margin, margin, -margin, -margin),
                     Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, emptyListText_);
}

void CListCtrlEx::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const {
    if (highlightMode_ <= StandardRows) {
        QTreeView::drawRow(painter, option, index);
        return;
    }
    const int row = index.row();
    const RowGeometry g = rowGeometry(option.rect.top(), option.rect.height());
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const QColor highlightColor = palette().color(group, QPalette::Highlight);
    const bool focused = hasFocus();
    const bool highlighted = isRowSelected(row) && (focused || showSelectionAlways_);

    painter->save();
    painter->setFont(font());
    const int inset = 2 * painter->fontMetrics().horizontalAdvance(QLatin1Char(' '));

    QRect highlight = g.bounds;
    highlight.setLeft(g.label.left());
    if (highlightMode_ == HighlightToEdge)
        highlight.setRight(viewport()->width() - 1);
    painter->fillRect(highlight,
                      highlighted ? highlightColor : palette().color(group, QPalette::Base));
    painter->setPen(
        palette().color(group, highlighted ? QPalette::HighlightedText : QPalette::Text));

    QRect column = g.bounds;
    column.setWidth(header_->sectionSize(0));
    painter->save();
    painter->setClipRect(column, Qt::IntersectClip);
    const int image = model_->image(row);
    if (image >= 0 && image < model_->images().size())
        painter->drawPixmap(g.icon.topLeft(), highlighted ? blendedImage(image, highlightColor)
                                                          : model_->images()[image]);
    // Only the column clips the first text, not its narrowed rectangle.
    drawCellText(painter, g.label.adjusted(inset / 2, 0, -inset, 0), model_->text(row, 0),
                 Qt::AlignLeft, false);
    painter->restore();

    QRect rowClip = g.bounds;
    rowClip.setRight(std::max(rowClip.right(), highlight.right()));
    painter->setClipRect(rowClip, Qt::IntersectClip);
    for (int c = 1; c < model_->columnCount(); ++c) {
        column = QRect(column.right() + 1, column.top(), header_->sectionSize(c), column.height());
        drawCellText(painter, column.adjusted(inset, 0, -inset, 0), model_->text(row, c),
                     model_->columnAlignment(c), true);
    }

    if (focused && currentIndex().row() == row) {
        painter->setPen(
            QPen(palette().color(group, highlighted ? QPalette::HighlightedText : QPalette::Text),
                 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(highlight.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

// A right click selects the row under the cursor first, as the platform's list does, so that a
// context menu acts on the row that was clicked. Right of nothing it clears the selection.
void CListCtrlEx::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTreeView::mousePressEvent(event);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    if (!index.isValid())
        SetSelected(-1);
    else if (!isRowSelected(index.row()))
        SetSelected(index.row());
    else
        selectionModel()->setCurrentIndex(model_->index(index.row(), 0),
                                          QItemSelectionModel::NoUpdate);
    event->accept();
}

void CListCtrlEx::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::RightButton) {
        QTreeView::mouseReleaseEvent(event);
        return;
    }
    const QModelIndex index = indexAt(event->position().toPoint());
    event->accept();
    emit rowRightClicked(index.isValid() ? index.row() : -1, event->globalPosition().toPoint());
}

void CListCtrlEx::mouseDoubleClickEvent(QMouseEvent* event) {
    QTreeView::mouseDoubleClickEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    const QModelIndex index = indexAt(event->position().toPoint());
    emit rowDoubleClicked(index.isValid() ? index.row() : -1);
}

void CListCtrlEx::selectionChanged(const QItemSelection& selected,
                                   const QItemSelection& deselected) {
    QTreeView::selectionChanged(selected, deselected);
    if (highlightMode_ <= StandardRows || GetItemCount() == 0)
        return;
    // The view repaints the cells only; the highlight beyond the last column changes as well.
    const int first = rowAtY(0);
    const int last = rowAtY(viewport()->height() - 1);
    for (const QItemSelection* ranges : {&selected, &deselected})
        for (const QItemSelectionRange& range : *ranges)
            for (int row = std::max(range.top(), first);
                 row <= std::min(range.bottom(), last < 0 ? GetItemCount() - 1 : last); ++row)
                updateRowStrip(row);
}

void CListCtrlEx::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTreeView::currentChanged(current, previous);
    if (highlightMode_ <= StandardRows)
        return;
    if (previous.isValid())
        updateRowStrip(previous.row());
    if (current.isValid())
        updateRowStrip(current.row());
}

int CListCtrlEx::rowAtY(int y) const {
    const QModelIndex index = indexAt(QPoint(0, y));
    return index.isValid() ? index.row() : -1;
}

bool CListCtrlEx::isRowSelected(int row) const {
    return selectionModel()->isSelected(model_->index(row, 0));
}

void CListCtrlEx::updateRowStrip(int row) {
    const QRect bounds = GetItemRect(row, ItemPart::Bounds);
    if (bounds.isValid())
        viewport()->update(QRect(0, bounds.top(), viewport()->width(), bounds.height()));
}

// The platform's 50 per cent blend: each opaque pixel halfway towards the highlight colour,
// transparent pixels left transparent.
const QPixmap& CListCtrlEx::blendedImage(int image, const QColor& highlight) const {
    const QList<QPixmap>& images = model_->images();
    if (blendedWith_ != highlight || blended_.size() != images.size()) {
        blended_ = QList<QPixmap>(images.size());
        blendedWith_ = highlight;
    }
    QPixmap& blended = blended_[image];
    if (blended.isNull()) {
        QImage picture =
            images[image].toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        // Every pixel is blended, in the picture's own pixels whatever its density.
        picture.setDevicePixelRatio(1);
        QPainter painter(&picture);
        painter.setCompositionMode(QPainter::CompositionMode_SourceAtop);
        QColor half = highlight;
        half.setAlphaF(0.5);
        painter.fillRect(picture.rect(), half);
        painter.end();
        picture.setDevicePixelRatio(images[image].devicePixelRatio());
        blended = QPixmap::fromImage(picture);
    }
    return blended;
}

} // namespace kivo
