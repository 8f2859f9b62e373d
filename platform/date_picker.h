// The date box with its drop-down calendar, whose parts take typed digits and month names.
#pragma once

#include <QDateEdit>
#include <QString>
#include <optional>
#include <vector>

namespace kivo {

// The date picker. Tab and Shift+Tab leave it at once, in the dialog's tab order; the left and
// right arrows move between its parts (weekday, day, month, year) and the up and down arrows
// change the part. Its calendar drops down below the box, aligned to its left edge, or to its
// right edge when asked.
//
// Typing is handled here rather than by QDateEdit, whose parser rejects every unfinished year
// while the format shows a weekday (the weekday of year 1 never matches) and gives up a month
// name typed by its first letters. A part takes digits (a month shown by name also its first
// letters) and shows them as typed until it is complete; it becomes the date then, or when the
// user moves to another part or leaves the box. The day typed is remembered while the month and
// year are typed after it, so 29 February typed day first lands on the 29th once a leap year is
// there; until then the box shows the month's last day, as the calendar has no 29 February.
class DatePicker : public QDateEdit {
public:
    explicit DatePicker(QWidget* parent = nullptr);
    void setDropDownRightAligned(bool right) { dropRight_ = right; }

    void stepBy(int steps) override;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class PartKind { Literal, Weekday, Day, Month, MonthName, Year, ShortYear, Other };
    struct Part {
        PartKind kind;
        QString pattern;  // the format letters, or a literal's text
        int section = -1; // the box's section index; -1 for a literal
    };
    struct Typing {
        int part;     // index into parts_
        QString text; // what has been typed into it so far
    };
    struct Wanted {
        int year, month, day;
    };

    static std::vector<Part> partsOf(const QString& format);
    int partOfSection(int section) const;
    // Whether `text` can still become a value of the part, and whether it already is complete.
    bool accepts(const Part& part, const QString& text) const;
    bool complete(const Part& part, const QString& text) const;
    std::optional<int> valueOf(const Part& part, const QString& text) const;
    std::vector<int> monthsStartingWith(const Part& part, const QString& text) const;

    // Handles a typed character, Backspace or Delete; false when the key is not for typing.
    bool type(QKeyEvent* event);
    void showTyping();
    // Makes what was typed the date; nothing when nothing is being typed.
    void finishTyping();
    void selectSection(int section);
    QString renderedPart(const Part& part) const;

    bool dropRight_ = false;
    std::vector<Part> parts_;
    std::optional<Typing> typing_;
    std::optional<Wanted> wanted_;
    bool settingDate_ = false;
};

} // namespace kivo
