// The setup window's record list: its columns and their sorting, and the rows and cell texts it
// shows for the records.
#include "windows/kivo_dlg.h"

#include "controls/list_ctrl_ex.h"
#include "core/number_text.h"
#include "engine/date_text.h"
#include "platform/dialog_builder.h"
#include "platform/system_services.h"

#include <QLabel>
#include <cstdint>
#include <vector>

namespace kivo {

namespace {

struct ColumnSpec {
    const char* heading;
    int width;           // pixels at 96 dots per inch
    const char* toolTip; // what the column holds, for a heading too short to say it
    // Text ignoring case for the words, date for "Next", whole numbers for the counts.
    SortKind sortKind;
};

constexpr ColumnSpec kColumns[CKivoDlg::ColumnCount] = {
    {"Name", 200, "Name of the person or event", SortKind::TextNoCase},
    {"Next", 75, "Date of the next occurrence", SortKind::Date},
    {"Ahead", 50, "Days of advance warning", SortKind::WholeNumber},
    {"Age now", 65, "Age reached by today", SortKind::WholeNumber},
    {"Days", 40, "Days until the next date", SortKind::WholeNumber},
    {"Remind", 55, "Whether a reminder is shown", SortKind::TextNoCase},
    {"Type", 45, "Birthday, annual event or date", SortKind::TextNoCase},
    {"Print", 50, "Whether it is printed on the calendar", SortKind::TextNoCase},
    {"Icon", 50, "Number of the icon", SortKind::WholeNumber},
};

// The age a dated record has reached by `today`: the person's age on the calendar, whatever day
// the reminders count a 29 February on. This year's birthday is the stored day and month, with a
// day the month lacks rolled over as mktime does (29 February of a common year is 1 March, 31 April
// is 1 May); it counts as reached once it is past, and on the exact stored day and month.
int ageReached(const PersonRecord& record, Date today) {
    const int thisYear = yearOf(today);
    const Date birthday = makeDate(thisYear, record.month, record.day);
    int age = thisYear - record.year - (IsBeforeToday(birthday, today) ? 0 : 1);
    if (monthOf(today) == record.month && dayOf(today) == record.day)
        ++age;
    return age;
}

} // namespace

void CKivoDlg::insertColumns() {
    for (int c = 0; c < ColumnCount; ++c) {
        listCtrl_->InsertColumn(c, qtext(kColumns[c].heading), Qt::AlignLeft,
                                mulDiv(kColumns[c].width, platform_.screenDpi, 96));
        listCtrl_->SetColumnToolTip(c, qtext(kColumns[c].toolTip));
    }
    // Every first run starts here, with nothing in the list.
    listCtrl_->SetEmptyListText(qtext("No records yet. Press New... to add a birthday."));
}

void CKivoDlg::setUpSorting() {
    std::vector<std::uint8_t> sortKinds;
    for (const ColumnSpec& column : kColumns)
        sortKinds.push_back(static_cast<std::uint8_t>(column.sortKind));
    listCtrl_->SetColumnSortKinds(sortKinds);
    listCtrl_->EnableHeaderSort(true);
    // A stored 0 names no column: the rows stay in name order. A column the list lacks is not
    // sorted either, and the next close stores 0.
    const long long stored = settings->sortColumn;
    const long long column = (stored < 0 ? -stored : stored) - 1;
    if (stored != 0 && column < ColumnCount)
        listCtrl_->SortByColumn(static_cast<int>(column), stored > 0);
}

CKivoDlg::CellWords CKivoDlg::cellWords() const {
    return {qtext("Yes"), qtext("No"), qtext("B'day"), qtext("Event"), qtext("Date")};
}

void CKivoDlg::fillList() {
    // The texts cannot change while the window is open, so one lookup serves every row.
    words_ = cellWords();
    shownDates_.clear();
    // The rows ask for their texts only when they are drawn or sorted; a row holds its record's
    // address and image. With drawing off the list puts them in name order once at the end.
    listCtrl_->SetRedraw(false);
    listCtrl_->DeleteAllItems();
    listCtrl_->SetTextCallback([this](quintptr data, int column) {
        return cellText(*reinterpret_cast<const PersonRecord*>(data), column, words_)
            .value_or(QString());
    });
    if (records) {
        std::vector<CListCtrlEx::CallbackItem> items;
        items.reserve(records->size());
        for (PersonRecord& record : *records)
            items.push_back({reinterpret_cast<quintptr>(&record), listImageOf(record)});
        listCtrl_->InsertCallbackItems(items);
    }
    listCtrl_->SetRedraw(true);
    showItemCount();
}

void CKivoDlg::fillRow(int row, PersonRecord& record) {
    fillRow(row, record, cellWords());
}

void CKivoDlg::fillRow(int row, PersonRecord& r, const CellWords& words) {
    for (int column = ColNext; column < ColumnCount; ++column)
        if (const std::optional<QString> shown = cellText(r, column, words))
            listCtrl_->SetItemText(row, column, *shown);
    listCtrl_->SetItemData(row, reinterpret_cast<quintptr>(&r));
}

// A sort by "Next" asks for the date of every row, and a million rows share a few hundred dates.
QString CKivoDlg::shownDateText(Date date) const {
    const auto key =
        static_cast<std::int32_t>(std::chrono::sys_days{date}.time_since_epoch().count());
    auto [at, added] = shownDates_.try_emplace(key);
    if (added)
        at->second = toQt(formatDate(settings->dateFormat, date));
    return at->second;
}

std::optional<QString> CKivoDlg::cellText(const PersonRecord& r, int column,
                                          const CellWords& words) const {
    // A record without a real day and month (a malformed import, say) has no next date, age or
    // day count: those cells stay empty and the rest of the row is shown as usual.
    if (column == ColName)
        return toQtShown(r.name);
    const bool dated = hasUsableDate(r) && r.nextYear >= 1900;
    // Without a year there is no age, and no day count is shown either.
    const bool counted = dated && r.year != 0;
    const QString noNumber = dated ? QStringLiteral("-") : QString();
    switch (column) {
    case ColNext:
        return dated ? shownDateText(ShownDate(r)) : QString();
    case ColAhead:
        return QString::number(r.daysInAdvance);
    case ColDays:
        return counted ? QString::number(r.daysUntil) : noNumber;
    case ColRemind:
        return r.infoOnly ? words.no : words.yes;
    case ColType:
    case ColAgeNow:
        break;
    case ColPrint:
        return r.dontPrint ? words.no : words.yes;
    case ColIcon:
        return QString::number(r.icon);
    default:
        return QString();
    }
    // Events and dates have no age, dated or not; an undated record shows no age at all. An
    // unknown type leaves both cells as they were.
    const QString age = counted ? QString::number(ageReached(r, today)) : noNumber;
    switch (r.type) {
    case Birthday:
        return column == ColType ? words.birthday : age;
    case AnnualEvent:
        return column == ColType ? words.event : noNumber;
    case BirthdayUnknownAge:
        return column == ColType ? words.date : noNumber;
    case AnnualEventWithStart:
        return column == ColType ? words.event : age;
    default:
        return std::nullopt;
    }
}

void CKivoDlg::showItemCount() {
    // One pass over the pattern, so a translation holding "%2" is shown as it is.
    itemCount_->setText(
        QStringLiteral("%1: %2").arg(qtext("Items"), QString::number(listCtrl_->GetItemCount())));
}

} // namespace kivo
