// The header of the owner-drawn list: a plain header that reports clicks with their mouse button.
#pragma once

#include <QHeaderView>

namespace kivo {

// Behaves as the standard horizontal header (sections resize, they do not move). It reports
// every click on a heading with the button that made it, so that its list can decide which
// clicks sort.
class CHeaderCtrlEx : public QHeaderView {
    Q_OBJECT

public:
    explicit CHeaderCtrlEx(QWidget* parent = nullptr);

signals:
    // A button was pressed and released on the same heading. A left-button drag that resized a
    // column is no click.
    void itemClicked(int column, Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int pressedSection_ = -1;
    Qt::MouseButton pressedButton_ = Qt::NoButton;
};

} // namespace kivo
