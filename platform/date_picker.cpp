// The date box with its drop-down calendar, whose parts take typed digits and month names.
#include "platform/date_picker.h"

#include <QCalendarWidget>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QSignalBlocker>
#include <algorithm>

namespace kivo {

namespace {

bool allDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.digitValue() >= 0; });
}

int digitsValue(const QString& text) {
    int value = 0;
    for (const QChar c : text)
        value = value * 10 + c.digitValue();
    return value;
}

// Digits of a day (up to 31) or a month (up to 12): complete at two digits, or at one that no
// second digit could follow.
bool acceptsNumber(const QString& text, int most) {
    if (!allDigits(text) || text.size() > 2)
        return false;
    const int value = digitsValue(text);
    return value <= most && (text.size() < 2 || value >= 1);
}
bool completeNumber(const QString& text, int most) {
    return text.size() == 2 || digitsValue(text) * 10 > most;
}

bool isSectionLetter(QChar c) {
    return QStringLiteral("dMyhHmszaAt").contains(c);
}

} // namespace

DatePicker::DatePicker(QWidget* parent) : QDateEdit(parent) {
    setCalendarPopup(true);
    // The calendar is a window of its own, placed by the picker just before it shows; it is
    // moved once it is about to appear. Being a window, it takes no font from the dialog.
    QWidget* calendar = calendarWidget()->window();
    calendar->setFont(font());
    calendar->installEventFilter(this);
    // A date set from outside (the calendar, the caller) ends what was remembered of typing.
    connect(this, &QDateEdit::dateChanged, this, [this] {
        if (!settingDate_)
            wanted_.reset();
    });
}

// The format as Qt reads it: runs of one section letter are a section (at most four letters),
// quoted text and everything else is literal.
std::vector<DatePicker::Part> DatePicker::partsOf(const QString& format) {
    std::vector<Part> parts;
    int section = 0;
    auto literal = [&parts](const QString& text) {
        if (!parts.empty() && parts.back().kind == PartKind::Literal)
            parts.back().pattern += text;
        else
            parts.push_back({PartKind::Literal, text});
    };
    for (int i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            const int close = format.indexOf(u'\'', i + 1);
            if (close == i + 1) { // '' is a quote
                literal(QStringLiteral("'"));
                i += 2;
                continue;
            }
            const int end = close < 0 ? format.size() : close;
            literal(
                format.mid(i + 1, end - i - 1).replace(QStringLiteral("''"), QStringLiteral("'")));
            i = end + 1;
            continue;
        }
        if (!isSectionLetter(c)) {
            literal(QString(c));
            ++i;
            continue;
        }
        int run = 1;
        while (i + run < format.size() && format[i + run] == c && run < 4)
            ++run;
        const QString pattern = format.mid(i, run);
        PartKind kind = PartKind::Other;
        if (c == u'd')
            kind = run >= 3 ? PartKind::Weekday : PartKind::Day;
        else if (c == u'M')
            kind = run >= 3 ? PartKind::MonthName : PartKind::Month;
        else if (c == u'y')
            kind = run == 4 ? PartKind::Year : run == 2 ? PartKind::ShortYear : PartKind::Other;
        parts.push_back({kind, pattern, section++});
        i += run;
    }
    return parts;
}

int DatePicker::partOfSection(int section) const {
    for (std::size_t i = 0; i < parts_.size(); ++i)
        if (parts_[i].section == section)
            return static_cast<int>(i);
    return -1;
}

std::vector<int> DatePicker::monthsStartingWith(const Part& part, const QString& text) const {
    const QLocale::FormatType form =
        part.pattern.size() == 3 ? QLocale::ShortFormat : QLocale::LongFormat;
    std::vector<int> months;
    for (int m = 1; m <= 12; ++m)
        if (locale().monthName(m, form).startsWith(text, Qt::CaseInsensitive) ||
            locale().standaloneMonthName(m, form).startsWith(text, Qt::CaseInsensitive))
            months.push_back(m);
    return months;
}

bool DatePicker::accepts(const Part& part, const QString& text) const {
    switch (part.kind) {
    case PartKind::Day:
        return acceptsNumber(text, 31);
    case PartKind::Month:
        return acceptsNumber(text, 12);
    case PartKind::MonthName:
        return allDigits(text) ? acceptsNumber(text, 12) : !monthsStartingWith(part, text).empty();
    case PartKind::Year:
        return allDigits(text) && text.size() <= 4;
    case PartKind::ShortYear:
        return allDigits(text) && text.size() <= 2;
    default:
        return false;
    }
}

bool DatePicker::complete(const Part& part, const QString& text) const {
    switch (part.kind) {
    case PartKind::Day:
        return completeNumber(text, 31);
    case PartKind::Month:
        return completeNumber(text, 12);
    case PartKind::MonthName: {
        if (allDigits(text))
            return completeNumber(text, 12);
        const std::vector<int> months = monthsStartingWith(part, text);
        return months.size() == 1 || std::any_of(months.begin(), months.end(), [&](int m) {
                   return locale()
                              .monthName(m, part.pattern.size() == 3 ? QLocale::ShortFormat
                                                                     : QLocale::LongFormat)
                              .compare(text, Qt::CaseInsensitive) == 0;
               });
    }
    case PartKind::Year:
        return text.size() == 4;
    case PartKind::ShortYear:
        return text.size() == 2;
    default:
        return false;
    }
}

std::optional<int> DatePicker::valueOf(const Part& part, const QString& text) const {
    if (text.isEmpty() || !accepts(part, text))
        return std::nullopt;
    const int number = allDigits(text) ? digitsValue(text) : 0;
    switch (part.kind) {
    case PartKind::Day:
        return number >= 1 ? std::optional(number) : std::nullopt;
    case PartKind::Month:
        return number >= 1 ? std::optional(number) : std::nullopt;
    case PartKind::MonthName: {
        if (allDigits(text))
            return number >= 1 ? std::optional(number) : std::nullopt;
        const std::vector<int> months = monthsStartingWith(part, text);
        return months.front();
    }
    case PartKind::Year:
    case PartKind::ShortYear: {
        // Two digits change the year within the century shown, as they are all the box shows.
        const int year = part.kind == PartKind::Year ? number : date().year() / 100 * 100 + number;
        if (year < minimumDate().year() || year > maximumDate().year())
            return std::nullopt;
        return year;
    }
    default:
        return std::nullopt;
    }
}

QString DatePicker::renderedPart(const Part& part) const {
    return part.kind == PartKind::Literal ? part.pattern : locale().toString(date(), part.pattern);
}

bool DatePicker::type(QKeyEvent* event) {
    const int key = event->key();
    const QString text = event->text();
    const bool plain =
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    const bool erase = key == Qt::Key_Backspace || key == Qt::Key_Delete;
    if (!plain || (!erase && !(text.size() == 1 && text[0].isLetterOrNumber())))
        return false;
    if (!typing_)
        parts_ = partsOf(displayFormat());
    const int index = partOfSection(currentSectionIndex());
    if (index < 0 || parts_[index].kind == PartKind::Other)
        return false;
    const Part part = parts_[index];
    if (part.kind == PartKind::Weekday) {
        // The weekday follows the date: what is typed there goes to the part beside it, as a
        // box entered by Tab starts on the weekday.
        const int beside = part.section + 1 < sectionCount() ? part.section + 1 : part.section - 1;
        if (key != Qt::Key_Backspace && key != Qt::Key_Delete && beside >= 0 &&
            parts_[partOfSection(beside)].kind != PartKind::Weekday) {
            selectSection(beside);
            return type(event);
        }
        return true;
    }
    if (typing_ && typing_->part != index)
        finishTyping();
    if (!typing_)
        typing_ = Typing{index, {}};

    QString& typed = typing_->text;
    if (key == Qt::Key_Backspace) {
        typed.chop(1);
    } else if (key == Qt::Key_Delete) {
        typed.clear();
    } else {
        if (!accepts(part, typed + text))
            return true; // a key that cannot lead to a value is ignored, as in any date box
        typed += text;
    }
    if (!typed.isEmpty() && complete(part, typed)) {
        finishTyping();
        selectSection(std::min(part.section + 1, sectionCount() - 1));
    } else {
        showTyping();
    }
    return true;
}

void DatePicker::showTyping() {
    QString shown;
    int cursor = 0;
    for (std::size_t i = 0; i < parts_.size(); ++i) {
        if (static_cast<int>(i) == typing_->part) {
            shown += typing_->text;
            cursor = shown.size();
        } else {
            shown += renderedPart(parts_[i]);
        }
    }
    // The box's own handlers would read the unfinished text as a date and reject it.
    const QSignalBlocker quiet(lineEdit());
    lineEdit()->setText(shown);
    lineEdit()->setCursorPosition(cursor);
}

void DatePicker::finishTyping() {
    if (!typing_)
        return;
    const Typing typing = *typing_;
    typing_.reset();
    const QDate now = date();
    Wanted wanted = wanted_.value_or(Wanted{now.year(), now.month(), now.day()});
    const Part& part = parts_[typing.part];
    if (const std::optional<int> value = valueOf(part, typing.text)) {
        if (part.kind == PartKind::Day)
            wanted.day = *value;
        else if (part.kind == PartKind::Month || part.kind == PartKind::MonthName)
            wanted.month = *value;
        else
            wanted.year = *value;
    }
    // The nearest real day: a day the month lacks becomes its last.
    const int lastDay = QDate(wanted.year, wanted.month, 1).daysInMonth();
    const QDate next = std::clamp(QDate(wanted.year, wanted.month, std::min(wanted.day, lastDay)),
                                  minimumDate(), maximumDate());
    settingDate_ = true;
    setDate(next);
    settingDate_ = false;
    wanted_ = wanted;
    // An unchanged date leaves the box's text alone: put back the text of the date.
    const QString shown = textFromDateTime(dateTime());
    if (lineEdit()->text() != shown) {
        const QSignalBlocker quiet(lineEdit());
        lineEdit()->setText(shown);
    }
}

void DatePicker::selectSection(int section) {
    setCurrentSectionIndex(section);
    // Selected by position: the weekday and the day are both day sections to QDateEdit, which
    // would select the first of them.
    parts_ = partsOf(displayFormat());
    int start = 0;
    QString whole;
    for (const Part& part : parts_) {
        const QString text = renderedPart(part);
        if (part.section == section)
            start = whole.size();
        whole += text;
    }
    const int index = partOfSection(section);
    if (whole == lineEdit()->text() && index >= 0)
        lineEdit()->setSelection(start, renderedPart(parts_[index]).size());
    else
        setSelectedSection(sectionAt(section));
}

void DatePicker::stepBy(int steps) {
    finishTyping();
    wanted_.reset();
    QDateEdit::stepBy(steps);
}

bool DatePicker::event(QEvent* event) {
    // Tab leaves the picker instead of walking through its parts.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (plain && (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            const bool forward =
                key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
            QWidget::focusNextPrevChild(forward);
            return true;
        }
    }
    return QDateEdit::event(event);
}

void DatePicker::keyPressEvent(QKeyEvent* event) {
    if (type(event)) {
        event->accept();
        return;
    }
    finishTyping();
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if (plain && (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right)) {
        const int step = (event->key() == Qt::Key_Right) != isRightToLeft() ? 1 : -1;
        selectSection(std::clamp(currentSectionIndex() + step, 0, sectionCount() - 1));
        event->accept();
        return;
    }
    QDateEdit::keyPressEvent(event);
}

void DatePicker::focusOutEvent(QFocusEvent* event) {
    finishTyping();
    wanted_.reset();
    QDateEdit::focusOutEvent(event);
}

void DatePicker::mousePressEvent(QMouseEvent* event) {
    finishTyping();
    QDateEdit::mousePressEvent(event);
}

void DatePicker::wheelEvent(QWheelEvent* event) {
    finishTyping();
    QDateEdit::wheelEvent(event);
}

bool DatePicker::eventFilter(QObject* watched, QEvent* event) {
    auto* popup = qobject_cast<QWidget*>(watched);
    if (dropRight_ && popup && event->type() == QEvent::Show) {
        // Below (or above) the box as placed, its right edge under the box's right edge.
        int left = mapToGlobal(QPoint(width(), 0)).x() - popup->width();
        if (const QScreen* s = screen())
            left = std::max(left, s->availableGeometry().left());
        popup->move(left, popup->y());
    }
    return QDateEdit::eventFilter(watched, event);
}

} // namespace kivo
