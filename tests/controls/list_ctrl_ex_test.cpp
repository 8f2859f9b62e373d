// Tests of the list's rows, sorted inserts, column sort, header clicks and mouse signals.
#include "controls/list_ctrl_ex.h"

#include <QHeaderView>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace kivo {
namespace {

QStringList columnTexts(const CListCtrlEx& list, int column) {
    QStringList texts;
    for (int row = 0; row < list.GetItemCount(); ++row)
        texts << list.GetItemText(row, column);
    return texts;
}

// One column of the given kind, filled in the given order, sorted both ways.
struct KindCase {
    std::uint8_t kind;
    const char* dateFormat;
    QStringList cells;
    QStringList ascending;
    QStringList descending;
};

TEST(CListCtrlExSort, EveryKindOrdersItsColumnBothWays) {
    const std::vector<KindCase> cases = {
        {0, "", {"b", "B", "a", "A"}, {"A", "B", "a", "b"}, {"b", "a", "B", "A"}},
        // Equal texts keep their order in both directions.
        {1, "", {"b", "C", "a", "B"}, {"a", "b", "B", "C"}, {"C", "b", "B", "a"}},
        // Texts without a leading number count as 0, among the zeros.
        {2,
         "",
         {"10", "9", "-", "-3", "abc", "2x"},
         {"-3", "-", "abc", "2x", "9", "10"},
         {"10", "9", "2x", "-", "abc", "-3"}},
        // Cells that are no date go before every date.
        {3,
         "%d/%m/%Y",
         {"02/01/2024", "01/02/2023", "", "31/12/2023", "15/06/99"},
         {"", "15/06/99", "01/02/2023", "31/12/2023", "02/01/2024"},
         {"02/01/2024", "31/12/2023", "01/02/2023", "15/06/99", ""}},
        {4, "", {"c", "a", "b"}, {"c", "a", "b"}, {"c", "a", "b"}},
        {5,
         "",
         {"1.5", "1.25", "-2e1", "x", "1e400"},
         {"-2e1", "x", "1.25", "1.5", "1e400"},
         {"1e400", "1.5", "1.25", "x", "-2e1"}},
        {6,
         "%m/%d/%Y",
         {"12/31/2023", "01/02/2024", "02/01/2023"},
         {"02/01/2023", "12/31/2023", "01/02/2024"},
         {"01/02/2024", "12/31/2023", "02/01/2023"}},
    };
    for (const KindCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "kind " << int(c.kind));
        CListCtrlEx list;
        list.setDateFormat(QString::fromLatin1(c.dateFormat));
        list.InsertColumn(0, "Cell");
        for (const QString& cell : c.cells)
            list.InsertItem(list.GetItemCount(), cell);
        ASSERT_TRUE(list.SetColumnSortKinds({c.kind}));
        ASSERT_TRUE(list.SortByColumn(0, true));
        EXPECT_EQ(columnTexts(list, 0), c.ascending);
        EXPECT_EQ(list.activeSortColumn(), 0);
        EXPECT_TRUE(list.activeSortAscending());
        ASSERT_TRUE(list.SortByColumn(0, false));
        EXPECT_EQ(columnTexts(list, 0), c.descending);
        EXPECT_FALSE(list.activeSortAscending());
    }
}

TEST(CListCtrlExSort, DateColumnsFollowTheDateFormat) {
    CListCtrlEx list;
    list.InsertColumn(0, "Next");
    for (const char* cell : {"03/04/2025", "04/03/2025"})
        list.InsertItem(list.GetItemCount(), cell);
    list.SetColumnSortKinds({3});
    list.setDateFormat(std::string("%d/%m/%Y"));
    list.SortByColumn(0, true);
    EXPECT_EQ(columnTexts(list, 0), QStringList({"04/03/2025", "03/04/2025"}));
    list.setDateFormat("%m/%d/%Y");
    list.SortByColumn(0, true);
    EXPECT_EQ(columnTexts(list, 0), QStringList({"03/04/2025", "04/03/2025"}));
}

// Rows built from a number, so that every cell can be checked against the row's item data.
QString cellFor(int id, int column) {
    switch (column) {
    case 0:
        return QStringLiteral("name %1").arg((id * 7919) % 1000);
    case 1:
        return QStringLiteral("%1/%2/%3").arg(1 + id % 28).arg(1 + id % 12).arg(1990 + id % 40);
    default:
        return QString::number((id * 31) % 97 - 40);
    }
}

TEST(CListCtrlExSort, RowsKeepTheirItemDataImagesAndSelection) {
    CListCtrlEx list;
    list.setDateFormat(QStringLiteral("%d/%m/%Y"));
    for (int c = 0; c < 3; ++c)
        list.InsertColumn(c, QStringLiteral("c%1").arg(c));
    constexpr int rows = 300;
    for (int id = 1; id <= rows; ++id) {
        const int row = list.InsertItem(list.GetItemCount(), cellFor(id, 0), id % 5);
        for (int c = 1; c < 3; ++c)
            list.SetItemText(row, c, cellFor(id, c));
        list.SetItemData(row, static_cast<quintptr>(id));
    }
    ASSERT_TRUE(list.SetColumnSortKinds({1, 3, 2}));
    const quintptr chosen = 123;
    list.SetSelected(list.FindItemByData(chosen));

    for (const int column : {0, 1, 2, 1, 0}) {
        for (const bool ascending : {true, false}) {
            ASSERT_TRUE(list.SortByColumn(column, ascending));
            for (int row = 0; row < list.GetItemCount(); ++row) {
                const int id = static_cast<int>(list.GetItemData(row));
                ASSERT_GE(id, 1);
                ASSERT_LE(id, rows);
                for (int c = 0; c < 3; ++c)
                    ASSERT_EQ(list.GetItemText(row, c), cellFor(id, c)) << "row " << row;
                ASSERT_EQ(list.GetItemImage(row), id % 5);
            }
            EXPECT_EQ(list.GetItemData(list.GetFirstSelected()), chosen);
        }
    }
    EXPECT_EQ(list.GetItemCount(), rows);
}

TEST(CListCtrlExSort, KindsAboveSixAndModesAboveTwoAreRefused) {
    CListCtrlEx list;
    list.InsertColumn(0, "a");
    list.InsertItem(0, "b");
    list.InsertItem(1, "a");
    ASSERT_TRUE(list.SetColumnSortKinds({1}));
    EXPECT_FALSE(list.SetColumnSortKinds({1, 7, 2}));
    EXPECT_EQ(list.columnKindCount(), 0);
    EXPECT_FALSE(list.SortByColumn(0, true)); // no kinds left: nothing sorts
    EXPECT_EQ(columnTexts(list, 0), QStringList({"b", "a"}));
    EXPECT_EQ(list.activeSortColumn(), -1);
    EXPECT_TRUE(list.SetColumnSortKinds({0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(list.columnKindCount(), 7);

    EXPECT_EQ(list.rowHighlightMode(), CListCtrlEx::StandardRows);
    EXPECT_EQ(list.SetRowHighlightMode(CListCtrlEx::HighlightToEdge), CListCtrlEx::StandardRows);
    EXPECT_EQ(list.SetRowHighlightMode(3), CListCtrlEx::HighlightToEdge); // no such mode
    EXPECT_EQ(list.rowHighlightMode(), CListCtrlEx::HighlightToEdge);
    EXPECT_EQ(list.SetRowHighlightMode(CListCtrlEx::FullRowHighlight),
              CListCtrlEx::HighlightToEdge);
    EXPECT_EQ(list.rowHighlightMode(), CListCtrlEx::FullRowHighlight);

    EXPECT_FALSE(list.EnableHeaderSort(true));
    EXPECT_TRUE(list.EnableHeaderSort(false));
}

// A shown list with the setup window's first and fifth columns.
class CListCtrlExHeader : public testing::Test {
protected:
    void SetUp() override {
        list.resize(400, 300);
        list.InsertColumn(0, "Name", Qt::AlignLeft, 150);
        list.InsertColumn(1, "Days", Qt::AlignLeft, 60);
        const std::vector<std::pair<const char*, const char*>> rows = {
            {"bob", "12"}, {"Alice", "-"}, {"carl", "3"}, {"Dora", "100"}};
        for (const auto& [name, days] : rows) {
            const int row = list.InsertItem(list.GetItemCount(), name);
            list.SetItemText(row, 1, days);
        }
        list.SetColumnSortKinds({1, 2});
        list.EnableHeaderSort(true);
        list.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    }

    void clickHeader(int column, Qt::MouseButton button = Qt::LeftButton) {
        QHeaderView* header = list.header();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), button, {}, at);
    }

    CListCtrlEx list;
};

TEST_F(CListCtrlExHeader, ClicksSortAndASecondClickReverses) {
    QSignalSpy clicks(&list, &CListCtrlEx::headerItemClicked);
    clickHeader(0);
    EXPECT_EQ(columnTexts(list, 0), QStringList({"Alice", "bob", "carl", "Dora"}));
    EXPECT_EQ(list.activeSortColumn(), 0);
    EXPECT_TRUE(list.activeSortAscending());
    clickHeader(0);
    EXPECT_EQ(columnTexts(list, 0), QStringList({"Dora", "carl", "bob", "Alice"}));
    EXPECT_FALSE(list.activeSortAscending());
    clickHeader(1);
    EXPECT_EQ(columnTexts(list, 1), QStringList({"-", "3", "12", "100"}));
    EXPECT_EQ(list.activeSortColumn(), 1);
    EXPECT_TRUE(list.activeSortAscending());
    ASSERT_EQ(clicks.size(), 3);
    EXPECT_EQ(clicks.at(2).at(0).toInt(), 1);
}

TEST_F(CListCtrlExHeader, OnlyEnabledLeftClicksSort) {
    QSignalSpy clicks(&list, &CListCtrlEx::headerItemClicked);
    const QStringList before = columnTexts(list, 0);
    clickHeader(0, Qt::RightButton);
    clickHeader(0, Qt::MiddleButton);
    EXPECT_EQ(columnTexts(list, 0), before);
    EXPECT_EQ(list.activeSortColumn(), -1);
    ASSERT_EQ(clicks.size(), 2); // reported all the same
    EXPECT_EQ(clicks.at(0).at(1).value<Qt::MouseButton>(), Qt::RightButton);
    EXPECT_EQ(clicks.at(1).at(1).value<Qt::MouseButton>(), Qt::MiddleButton);

    list.EnableHeaderSort(false);
    clickHeader(0);
    EXPECT_EQ(columnTexts(list, 0), before);
    EXPECT_EQ(list.activeSortColumn(), -1);
}

TEST(CListCtrlExRows, SortedStylePlacesRowsByTextIgnoringCase) {
    CListCtrlEx list;
    list.InsertColumn(0, "Name");
    list.SetSortAscendingStyle(true);
    EXPECT_EQ(list.InsertItem(0, "bob"), 0);
    EXPECT_EQ(list.InsertItem(0, "Alice"), 0);
    EXPECT_EQ(list.InsertItem(0, "carl"), 2);
    EXPECT_EQ(list.InsertItem(0, "alice"), 1); // after the equal one already there
    EXPECT_EQ(list.InsertItem(9, "Bob"), 3);
    EXPECT_EQ(columnTexts(list, 0), QStringList({"Alice", "alice", "bob", "Bob", "carl"}));
}

// A fill with redraw off must end in the order that inserting one by one gives, with every
// row's cells and item data together and the selection kept.
TEST(CListCtrlExRows, FillWithRedrawOffEndsAsOneByOneInserts) {
    QRandomGenerator random(7);
    std::vector<QString> names;
    // Short and long names, most of them plain ASCII, some with letters whose case folds
    // otherwise: the batch compares the two kinds differently and must agree with one-by-one.
    for (int i = 0; i < 2000; ++i) {
        QString name;
        const int length = i % 3 == 0 ? 3 : 1 + random.bounded(12);
        const bool wide = i % 5 == 0;
        for (int k = 0; k < length; ++k)
            name += QChar(wide ? u"aAbB&\u00e9\u00c9\u00df"[random.bounded(8)]
                               : u"aAbBcC&"[random.bounded(7)]);
        if (i % 7 == 1)
            name.prepend(i % 2 ? u"AaAaAaAa" : u"aAaAaAaA"); // equal over the first eight
        names.push_back(name);
    }
    auto fill = [&](CListCtrlEx& list, bool batch, int from, int to) {
        if (batch)
            list.SetRedraw(false);
        for (int i = from; i < to; ++i) {
            const int row = list.InsertItem(0, names[i]);
            list.SetItemText(row, 1, names[i] + QString::number(i));
            list.SetItemData(row, static_cast<quintptr>(i + 1));
        }
        if (batch)
            list.SetRedraw(true);
    };
    CListCtrlEx oneByOne;
    CListCtrlEx batched;
    for (CListCtrlEx* list : {&oneByOne, &batched}) {
        list->InsertColumn(0, "Name");
        list->InsertColumn(1, "Check");
        list->SetSortAscendingStyle(true);
    }
    fill(oneByOne, false, 0, 2000);
    fill(batched, false, 0, 500); // rows already there before the batch
    const quintptr chosen = 42;
    batched.SetSelected(batched.FindItemByData(chosen));
    fill(batched, true, 500, 2000);

    ASSERT_EQ(batched.GetItemCount(), 2000);
    for (int row = 0; row < 2000; ++row) {
        ASSERT_EQ(batched.GetItemData(row), oneByOne.GetItemData(row)) << "row " << row;
        const int i = static_cast<int>(batched.GetItemData(row)) - 1;
        ASSERT_EQ(batched.GetItemText(row, 0), names[i]);
        ASSERT_EQ(batched.GetItemText(row, 1), names[i] + QString::number(i));
    }
    EXPECT_EQ(batched.GetItemData(batched.GetFirstSelected()), chosen);
}

// Rows that ask for their texts must stand, sort and read exactly as rows that keep the same
// texts: in the name order that one-by-one inserts give (ties, beginnings equal over sixteen
// characters, NUL and letters beyond ASCII), after a sort by every column both ways, and once a
// text was set on one of them or a column was inserted.
TEST(CListCtrlExRows, CallbackRowsBehaveAsRowsWithTheirOwnTexts) {
    QRandomGenerator random(11);
    constexpr int count = 1500;
    // Letters whose folds leave ASCII or Latin-1 or come into it (the Kelvin sign, long s,
    // capital sharp s), some that fold to themselves only, and surrogate pairs with case.
    const QStringList wide = {"a",      "A",          "B",         "k",      "s",      "_",
                              "\u00e9", "\u00c9",     "\u00df",    "\u00b5", "\u017f", "\u212a",
                              "\u1e9e", "\u0130",     "\u03a9",    "\u03c9", "\u2126", "\u0178",
                              "\u00ff", "\U00010400", "\U00010428"};
    std::vector<QStringList> cells;
    for (int i = 0; i < count; ++i) {
        QString name;
        const int length = random.bounded(20);
        for (int k = 0; k < length; ++k) {
            if (i % 4 == 0)
                name += wide[random.bounded(wide.size())];
            else
                name += QChar(u"aAbB_ \0"[random.bounded(7)]);
        }
        if (i % 6 == 1)
            name.prepend(u"AbcdefghIjklmnop");
        else if (i % 6 == 2)
            name.prepend(u"aBCDEFGHiJKLMNOP");
        const int day = random.bounded(33); // 29 to 32 give no date in some months or in any
        cells.push_back({name,
                         QStringLiteral("%1/%2/%3").arg(day).arg(1 + i % 12).arg(2026 + i % 2),
                         QString::number(random.bounded(5) - 2), i % 3 ? "Yes" : "yes"});
    }
    const auto setUp = [](CListCtrlEx& list) {
        for (const char* heading : {"Name", "Next", "Days", "Flag"})
            list.InsertColumn(list.GetColumnCount(), heading);
        list.SetSortAscendingStyle(true);
        list.setDateFormat("%d/%m/%Y");
        list.SetColumnSortKinds({1, 3, 2, 0});
    };
    const auto keep = [&](CListCtrlEx& list, int i) {
        const int row = list.InsertItem(0, cells[i][0]);
        for (int c = 1; c < 4; ++c)
            list.SetItemText(row, c, cells[i][c]);
        list.SetItemData(row, static_cast<quintptr>(i + 1));
    };
    const auto callbackItems = [](int from, int to) {
        std::vector<CListCtrlEx::CallbackItem> items;
        for (int i = from; i < to; ++i)
            items.push_back({static_cast<quintptr>(i + 1), i % 32});
        return items;
    };
    CListCtrlEx kept;
    setUp(kept);
    for (int i = 0; i < count; ++i)
        keep(kept, i);
    CListCtrlEx called;
    setUp(called);
    called.SetTextCallback(
        [&](quintptr data, int column) { return cells[static_cast<int>(data) - 1][column]; });
    for (int i = 0; i < 300; ++i)
        keep(called, i); // rows with their own texts there before
    called.InsertCallbackItems(callbackItems(300, 900));
    called.SetRedraw(false);
    called.InsertCallbackItems(callbackItems(900, count));
    called.SetRedraw(true);

    const auto expectSameRows = [&](const char* after) {
        SCOPED_TRACE(after);
        ASSERT_EQ(called.GetItemCount(), count);
        for (int row = 0; row < count; ++row) {
            ASSERT_EQ(called.GetItemData(row), kept.GetItemData(row)) << "row " << row;
            for (int c = 0; c < 4; ++c)
                ASSERT_EQ(called.GetItemText(row, c), kept.GetItemText(row, c)) << "row " << row;
        }
    };
    expectSameRows("the fill");
    for (int column : {1, 2, 3, 0}) {
        for (bool ascending : {true, false}) {
            std::vector<quintptr> byName(count);
            for (int row = 0; row < count; ++row)
                byName[row] = kept.GetItemData(row);
            std::stable_sort(byName.begin(), byName.end(), [&](quintptr a, quintptr b) {
                const int c = cells[a - 1][0].compare(cells[b - 1][0], Qt::CaseInsensitive);
                return ascending ? c < 0 : c > 0;
            });
            kept.SortByColumn(column, ascending);
            called.SortByColumn(column, ascending);
            expectSameRows(ascending ? "an ascending sort" : "a descending sort");
            if (column == 0) {
                for (int row = 0; row < count; ++row)
                    ASSERT_EQ(called.GetItemData(row), byName[row]) << "row " << row;
            }
        }
    }

    const int row = called.FindItemByData(1000);
    ASSERT_TRUE(called.SetItemText(row, 2, "x"));
    kept.SetItemText(row, 2, "x");
    expectSameRows("a text set");
    EXPECT_EQ(called.GetItemText(row, 2), "x");
    called.InsertColumn(1, "New");
    EXPECT_EQ(called.GetItemText(row, 0), cells[999][0]);
    EXPECT_EQ(called.GetItemText(row, 1), "");
    EXPECT_EQ(called.GetItemText(row, 2), cells[999][1]);
    EXPECT_EQ(called.GetItemText(row, 3), "x");
}

TEST(CListCtrlExRows, DeleteFindAndSelect) {
    CListCtrlEx list;
    list.InsertColumn(0, "Name");
    for (int i = 0; i < 4; ++i) {
        list.InsertItem(i, QString::number(i));
        list.SetItemData(i, static_cast<quintptr>(100 + i));
    }
    EXPECT_EQ(list.GetFirstSelected(), -1);
    list.SetSelected(2);
    EXPECT_EQ(list.GetFirstSelected(), 2);
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_EQ(list.GetFirstSelected(), 1); // the selection stays on its row
    EXPECT_EQ(list.FindItemByData(103), 2);
    EXPECT_EQ(list.FindItemByData(100), -1);
    EXPECT_FALSE(list.DeleteItem(3));
    EXPECT_FALSE(list.SetItemText(3, 0, "x"));
    list.SetSelected(-1);
    EXPECT_EQ(list.GetFirstSelected(), -1);
    EXPECT_TRUE(list.DeleteAllItems());
    EXPECT_EQ(list.GetItemCount(), 0);
    EXPECT_EQ(list.FindItemByData(101), -1);
}

TEST(CListCtrlExRows, InsertedColumnMovesTheCellsAfterIt) {
    CListCtrlEx list;
    list.InsertColumn(0, "Name");
    list.InsertColumn(1, "B");
    list.InsertItem(0, "row");
    list.SetItemText(0, 1, "b");
    EXPECT_EQ(list.InsertColumn(1, "A"), 1);
    EXPECT_EQ(list.GetItemText(0, 0), "row");
    EXPECT_EQ(list.GetItemText(0, 1), "");
    EXPECT_EQ(list.GetItemText(0, 2), "b");
    EXPECT_EQ(list.InsertColumn(99, "Last"), 3);
    EXPECT_EQ(list.GetColumnCount(), 4);
}

class CListCtrlExMouse : public CListCtrlExHeader {
protected:
    QPoint inRow(int row, int x = 20) {
        return QPoint(x, list.GetItemRect(row, CListCtrlEx::ItemPart::Bounds).center().y());
    }
};

TEST_F(CListCtrlExMouse, RightClickSelectsTheRowBeforeReportingIt) {
    int selectedWhenReported = -2;
    QObject::connect(&list, &CListCtrlEx::rowRightClicked, &list,
                     [&](int, const QPoint&) { selectedWhenReported = list.GetFirstSelected(); });
    QSignalSpy clicks(&list, &CListCtrlEx::rowRightClicked);
    list.SetSelected(0);
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, inRow(2));
    ASSERT_EQ(clicks.size(), 1);
    EXPECT_EQ(clicks.at(0).at(0).toInt(), 2);
    EXPECT_EQ(selectedWhenReported, 2);

    // Right of the last column the row still counts.
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, inRow(3, 300));
    EXPECT_EQ(clicks.at(1).at(0).toInt(), 3);
    EXPECT_EQ(list.GetFirstSelected(), 3);

    // Below the rows: nothing selected, row -1.
    QTest::mouseClick(list.viewport(), Qt::RightButton, {}, QPoint(20, 250));
    EXPECT_EQ(clicks.at(2).at(0).toInt(), -1);
    EXPECT_EQ(list.GetFirstSelected(), -1);
}

TEST_F(CListCtrlExMouse, DoubleClickReportsTheRow) {
    QSignalSpy doubles(&list, &CListCtrlEx::rowDoubleClicked);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, inRow(1));
    ASSERT_EQ(doubles.size(), 1);
    EXPECT_EQ(doubles.at(0).at(0).toInt(), 1);
    EXPECT_EQ(list.GetFirstSelected(), 1);
}

} // namespace
} // namespace kivo
