// Builds a dialog from its template: dialog units turned into pixels through the dialog font's
// average character width and height, each control named by its id so that code and tests find it
// by id.
#pragma once

#include "platform/date_picker.h"
#include "resources/dialog_templates.h"

#include <QDialog>
#include <QFont>
#include <QRect>
#include <QString>
#include <functional>

class QLineEdit;
class QToolButton;

namespace kivo {

// a * b / c rounded half away from zero, as the system's MulDiv.
int mulDiv(int a, int b, int c);

// The dialog font: Tahoma 8 pt, else DejaVu Sans Condensed 8 pt, else the system's sans serif.
QFont dialogFont();

// Dialog base units of a font: its average character width and its height in pixels.
struct DialogUnits {
    int baseX = 6;
    int baseY = 13;
    int x(int units) const { return mulDiv(units, baseX, 4); }
    int y(int units) const { return mulDiv(units, baseY, 8); }
    QRect rect(int x0, int y0, int w, int h) const;
};
DialogUnits dialogUnitsFor(const QFont& font);

// Makes the control itself for template entries that need a class of the caller's (a list of its
// own); returns nullptr to get the standard control for the kind.
using ControlFactory = std::function<QWidget*(const ControlTemplate&, QWidget* parent)>;

// Sets the dialog's font, caption and fixed client size and creates its controls in template
// order. Each control's objectName is its id in decimal ("1009").
void buildDialog(QDialog& dialog, const DialogTemplate& tmpl, const ControlFactory& factory = {});

// The control with the given id, named by its window (SetupControl::New), or nullptr.
template <class T> T* controlById(const QWidget& dialog, ControlId id) {
    return dialog.findChild<T*>(QString::number(id.value()), Qt::FindDirectChildrenOnly);
}

// The up-down arrows that set the number of the edit box before them in the template (the
// "buddy"), within a range; the arrow keys in the buddy do the same.
class SpinButton : public QWidget {
public:
    explicit SpinButton(QWidget* parent = nullptr);
    void setBuddy(QLineEdit* buddy);
    QLineEdit* buddy() const { return buddy_; }
    void setRange(int lower, int upper);
    int lower() const { return lower_; }
    int upper() const { return upper_; }
    void stepBy(int steps);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QLineEdit* buddy_ = nullptr;
    QToolButton* up_ = nullptr;
    QToolButton* down_ = nullptr;
    int lower_ = 0;
    int upper_ = 100;
};

} // namespace kivo
