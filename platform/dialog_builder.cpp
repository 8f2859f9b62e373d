// Dialog templates turned into Qt widgets.
#include "platform/dialog_builder.h"

#include "core/number_text.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QToolButton>
#include <QTreeWidget>
#include <cstdlib>

namespace kivo {

int mulDiv(int a, int b, int c) {
    if (c == 0)
        return -1;
    const long long product = static_cast<long long>(a) * b;
    const long long half = std::llabs(static_cast<long long>(c)) / 2;
    const bool negative = (product < 0) != (c < 0);
    const long long magnitude =
        (std::llabs(product) + half) / std::llabs(static_cast<long long>(c));
    return static_cast<int>(negative ? -magnitude : magnitude);
}

QFont dialogFont() {
    // Where there is no Tahoma, DejaVu Sans Condensed has the same dialog base units at 8 pt
    // (6 by 13 pixels at 96 dpi), so the windows keep their designed proportions.
    QFont font;
    font.setPointSize(8);
    for (const QString& family :
         {QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans Condensed")}) {
        font.setFamily(family);
        // Asking for one family is cheaper than listing them all.
        if (QFontInfo(font).family() == family)
            return font;
    }
    font.setFamily(QFontDatabase::systemFont(QFontDatabase::GeneralFont).family());
    return font;
}

QRect DialogUnits::rect(int x0, int y0, int w, int h) const {
    return QRect(x(x0), y(y0), x(w), y(h));
}

DialogUnits dialogUnitsFor(const QFont& font) {
    // The average width is that of the 52 letters of the alphabet, rounded half up; the height is
    // the font's line height. Four horizontal units are one average width, eight vertical ones a
    // line.
    const QFontMetrics metrics(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    DialogUnits units;
    units.baseX = (metrics.horizontalAdvance(letters) / 26 + 1) / 2;
    units.baseY = metrics.height();
    if (units.baseX < 1)
        units.baseX = 1;
    if (units.baseY < 1)
        units.baseY = 1;
    return units;
}

namespace {

QWidget* makeStandardControl(const ControlTemplate& c, QWidget* parent) {
    const QString text = QString::fromLatin1(c.text);
    switch (c.kind) {
    case ControlKind::ListView: {
        auto* list = new QTreeWidget(parent);
        list->setRootIsDecorated(false);
        list->setHeaderHidden((c.style & StyleNoHeader) != 0);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setIconSize(QSize(16, 16));
        return list;
    }
    case ControlKind::PushButton: {
        auto* button = new QPushButton(text, parent);
        // A focused button takes Enter itself; the default button takes it only while the focus
        // is on a control that does not (an edit box, a list, a check box).
        button->setAutoDefault(true);
        button->setDefault((c.style & StyleDefault) != 0);
        return button;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(text, parent);
    case ControlKind::Edit: {
        auto* edit = new QLineEdit(parent);
        if (c.style & StyleDigitsOnly)
            edit->setValidator(new QRegularExpressionValidator(
                QRegularExpression(QStringLiteral("[0-9]*")), edit));
        return edit;
    }
    case ControlKind::Spin:
        return new SpinButton(parent);
    case ControlKind::DropDownList:
        return new QComboBox(parent);
    case ControlKind::ImageCombo: {
        auto* combo = new QComboBox(parent);
        combo->setIconSize(QSize(16, 16));
        return combo;
    }
    case ControlKind::DatePicker: {
        auto* picker = new DatePicker(parent);
        picker->setDropDownRightAligned((c.style & StyleDropRight) != 0);
        return picker;
    }
    case ControlKind::Label:
    case ControlKind::WebLink: {
        auto* label = new QLabel(text, parent);
        label->setTextFormat(Qt::PlainText);
        if (c.style & StyleRightAlign)
            label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        return label;
    }
    case ControlKind::GroupBox:
        return new QGroupBox(text, parent);
    }
    return nullptr;
}

} // namespace

void buildDialog(QDialog& dialog, const DialogTemplate& tmpl, const ControlFactory& factory) {
    const QFont font = dialogFont();
    dialog.setFont(font);
    dialog.setWindowTitle(QString::fromLatin1(tmpl.caption));
    const DialogUnits units = dialogUnitsFor(font);
    dialog.setFixedSize(units.x(tmpl.width), units.y(tmpl.height));
    if (tmpl.style & DialogMinimizeBox)
        dialog.setWindowFlag(Qt::WindowMinimizeButtonHint, true);

    QWidget* previous = nullptr;
    for (const ControlTemplate& c : tmpl.controls) {
        QWidget* widget = factory ? factory(c, &dialog) : nullptr;
        if (!widget)
            widget = makeStandardControl(c, &dialog);
        if (c.id.named())
            widget->setObjectName(QString::number(c.id.value()));
        QRect r = units.rect(c.x, c.y, c.w, c.h);
        // A combo box's template height includes its drop-down part; the closed box is one line.
        if (c.kind == ControlKind::DropDownList || c.kind == ControlKind::ImageCombo)
            r.setHeight(units.y(14));
        widget->setGeometry(r);
        if (c.kind == ControlKind::GroupBox)
            widget->lower(); // a frame behind the controls it surrounds, never over them
        if (c.kind == ControlKind::Spin)
            if (auto* spin = dynamic_cast<SpinButton*>(widget))
                spin->setBuddy(qobject_cast<QLineEdit*>(previous));
        if (c.style & StyleHidden)
            widget->hide();
        previous = widget;
    }
}

SpinButton::SpinButton(QWidget* parent) : QWidget(parent) {
    up_ = new QToolButton(this);
    down_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    up_->setAutoRepeat(true);
    down_->setAutoRepeat(true);
    up_->setFocusPolicy(Qt::NoFocus);
    down_->setFocusPolicy(Qt::NoFocus);
    connect(up_, &QToolButton::clicked, this, [this] { stepBy(1); });
    connect(down_, &QToolButton::clicked, this, [this] { stepBy(-1); });
}

void SpinButton::setBuddy(QLineEdit* buddy) {
    if (buddy_)
        buddy_->removeEventFilter(this);
    buddy_ = buddy;
    if (!buddy_)
        return;
    buddy_->installEventFilter(this);
    // Aligned right: the arrows take the right end of their buddy, which narrows to make room,
    // wherever the template put them.
    const QRect r = buddy_->geometry();
    const int w = width() > 0 ? width() : 16;
    buddy_->setGeometry(r.x(), r.y(), std::max(0, r.width() - w), r.height());
    setGeometry(r.x() + r.width() - w, r.y(), w, r.height());
}

void SpinButton::setRange(int lower, int upper) {
    lower_ = lower;
    upper_ = upper;
}

void SpinButton::stepBy(int steps) {
    if (!buddy_)
        return;
    const int lo = std::min(lower_, upper_);
    const int hi = std::max(lower_, upper_);
    int value = atoiLike(buddy_->text().toStdString());
    // Values outside the range are pulled in by the first step, as the system's arrows do.
    value = std::clamp(value + steps, lo, hi);
    buddy_->setText(QString::number(value));
}

bool SpinButton::eventFilter(QObject* watched, QEvent* event) {
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Up) {
            stepBy(1);
            return true;
        }
        if (key->key() == Qt::Key_Down) {
            stepBy(-1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void SpinButton::resizeEvent(QResizeEvent*) {
    const int half = height() / 2;
    up_->setGeometry(0, 0, width(), half);
    down_->setGeometry(0, half, width(), height() - half);
}

} // namespace kivo
