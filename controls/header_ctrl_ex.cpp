// The list's header: the standard header behaviour plus click reports for every mouse button.
#include "controls/header_ctrl_ex.h"

#include <QMouseEvent>

namespace kivo {

CHeaderCtrlEx::CHeaderCtrlEx(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) {
    setSectionsClickable(true);
    setSectionsMovable(false);
    setStretchLastSection(false);
    setHighlightSections(false);
    setSortIndicatorShown(false);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The standard header tells left clicks apart from resize drags itself.
    connect(this, &QHeaderView::sectionClicked, this,
            [this](int section) { emit itemClicked(section, Qt::LeftButton); });
}

void CHeaderCtrlEx::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        pressedSection_ = logicalIndexAt(event->position().toPoint());
        pressedButton_ = event->button();
    }
    QHeaderView::mousePressEvent(event);
}

void CHeaderCtrlEx::mouseReleaseEvent(QMouseEvent* event) {
    QHeaderView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton || event->button() != pressedButton_)
        return;
    const int section = logicalIndexAt(event->position().toPoint());
    const int pressed = pressedSection_;
    pressedSection_ = -1;
    pressedButton_ = Qt::NoButton;
    if (section >= 0 && section == pressed)
        emit itemClicked(section, event->button());
}

} // namespace kivo
