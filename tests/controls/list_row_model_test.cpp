// The list's row model under Qt's own model checker: every insert, change, sort and removal is
// announced the way views rely on, and persistent indexes move with their rows.
#include "controls/list_row_model.h"

#include <QAbstractItemModelTester>
#include <QPersistentModelIndex>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kivo {
namespace {

// Collects what the model checker reports while it lives; any report is a failure of the model.
class CheckerReports {
public:
    CheckerReports() {
        reports_ = &collected_;
        previous_ = qInstallMessageHandler(&CheckerReports::handle);
    }
    ~CheckerReports() {
        qInstallMessageHandler(previous_);
        reports_ = nullptr;
    }
    CheckerReports(const CheckerReports&) = delete;
    CheckerReports& operator=(const CheckerReports&) = delete;

    const std::vector<std::string>& collected() const { return collected_; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (reports_ && context.category && qstrcmp(context.category, "qt.modeltest") == 0)
            reports_->push_back(text.toStdString());
        else if (previous_)
            previous_(type, context, text);
    }

    static inline std::vector<std::string>* reports_ = nullptr;
    static inline QtMessageHandler previous_ = nullptr;
    std::vector<std::string> collected_;
};

QStringList columnTexts(const ListRowModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.text(row, column);
    return texts;
}

// A name, a date and a number of days per row; the rows from "Hugo" on ask the callback for their
// texts, as the setup window's rows do.
struct Person {
    const char* name;
    const char* date;
    const char* days;
};
const std::vector<Person> kKept = {{"Dora", "14/03/1990", "12"},
                                   {"anna", "01/01/2000", "3"},
                                   {"Cleo", "29/02/1984", "250"},
                                   {"Bert", "31/12/1975", "0"}};
const std::vector<Person> kAsked = {
    {"Hugo", "05/07/1969", "40"}, {"emil", "", "7"}, {"Fritz", "02/02/2002", "-1"}};

// One sort after the other, each checked by the order of one column.
struct SortCase {
    int column;
    SortKind kind;
    bool ascending;
    int checkedColumn;
    QStringList expected;
};

TEST(ListRowModel, KeepsQtsModelRulesThroughFillSortAndDelete) {
    ListRowModel model;
    CheckerReports reports;
    QAbstractItemModelTester tester(&model,
                                    QAbstractItemModelTester::FailureReportingMode::Warning);

    model.insertColumnAt(0, "Name", Qt::AlignLeft);
    model.insertColumnAt(1, "Date", Qt::AlignLeft);
    model.insertColumnAt(2, "Days", Qt::AlignRight);
    model.setTextCallback([](quintptr data, int column) {
        const Person& p = kAsked[data];
        return QString::fromUtf8(column == 0 ? p.name : column == 1 ? p.date : p.days);
    });

    // Sorted inserts one by one, then inside a batch, then rows that ask for their texts.
    for (std::size_t i = 0; i < kKept.size(); ++i) {
        const bool inBatch = i >= 2;
        if (inBatch && !model.inBatch())
            model.beginBatch();
        const int row = model.insertRowSorted(QString::fromUtf8(kKept[i].name), 1);
        model.setText(row, 1, QString::fromUtf8(kKept[i].date));
        model.setText(row, 2, QString::fromUtf8(kKept[i].days));
        model.setRowData(row, 100 + i);
    }
    model.endBatch();
    std::vector<ListRowModel::CallbackRow> asked;
    for (std::size_t i = 0; i < kAsked.size(); ++i)
        asked.push_back({i, 2});
    model.appendCallbackRows(asked, true);
    ASSERT_EQ(columnTexts(model, 0),
              (QStringList{"anna", "Bert", "Cleo", "Dora", "emil", "Fritz", "Hugo"}));

    const QPersistentModelIndex cleo = model.index(model.findRowData(102), 2);
    ASSERT_TRUE(cleo.isValid());

    const DateOrder dayMonthYear{'d', 'm', 'y'};
    const std::vector<SortCase> sorts = {
        {1, SortKind::Date, true, 0, {"emil", "Hugo", "Bert", "Cleo", "Dora", "anna", "Fritz"}},
        {1, SortKind::Date, false, 0, {"Fritz", "anna", "Dora", "Cleo", "Bert", "Hugo", "emil"}},
        {2, SortKind::WholeNumber, true, 2, {"-1", "0", "3", "7", "12", "40", "250"}},
        {2, SortKind::RealNumber, false, 2, {"250", "40", "12", "7", "3", "0", "-1"}},
        {0, SortKind::Text, true, 0, {"Bert", "Cleo", "Dora", "Fritz", "Hugo", "anna", "emil"}},
        {0,
         SortKind::TextNoCase,
         false,
         0,
         {"Hugo", "Fritz", "emil", "Dora", "Cleo", "Bert", "anna"}},
        // Every pair counts as equal: the rows stay as they are.
        {1, SortKind::None, true, 0, {"Hugo", "Fritz", "emil", "Dora", "Cleo", "Bert", "anna"}},
    };
    for (const SortCase& s : sorts) {
        SCOPED_TRACE(static_cast<int>(s.kind));
        model.sortRows(s.column, s.kind, s.ascending, dayMonthYear);
        EXPECT_EQ(columnTexts(model, s.checkedColumn), s.expected);
        // The index follows Cleo's row wherever the sort put it.
        EXPECT_EQ(model.text(cleo.row(), 0), "Cleo");
        EXPECT_EQ(cleo.column(), 2);
    }

    // Rows go one by one, from the middle, the end and the start, then all at once.
    for (const int row : {3, 5, 0})
        EXPECT_TRUE(model.removeRowAt(row));
    EXPECT_FALSE(model.removeRowAt(model.rowCount()));
    EXPECT_EQ(columnTexts(model, 0), (QStringList{"Fritz", "emil", "Cleo", "Bert"}));
    EXPECT_EQ(model.text(cleo.row(), 0), "Cleo");
    model.removeAllRows();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_FALSE(cleo.isValid());

    EXPECT_EQ(reports.collected(), std::vector<std::string>{});
}

} // namespace
} // namespace kivo
