// Tests of what the owner-drawn list paints: highlight, blended icon, focus, texts.
#include "controls/list_ctrl_ex.h"

#include <QItemSelectionModel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace kivo {
namespace {

const QColor kBlue(0, 0, 255);

bool near(QColor actual, QColor expected, int tolerance = 2) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

::testing::AssertionResult colourIs(const QImage& image, QPoint at, QColor expected) {
    const QColor actual = image.pixelColor(at);
    if (near(actual, expected))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "pixel (" << at.x() << ", " << at.y() << ") is " << actual.name().toStdString()
           << ", expected " << expected.name().toStdString();
}

// A list of known colours beside a line edit that can take the focus away.
class CListCtrlExPaint : public testing::Test {
protected:
    void SetUp() override {
        auto* layout = new QVBoxLayout(&window);
        list = new CListCtrlEx;
        other = new QLineEdit;
        layout->addWidget(list);
        layout->addWidget(other);
        window.resize(420, 320);

        QPalette palette = list->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        palette.setColor(QPalette::Highlight, kBlue);
        palette.setColor(QPalette::HighlightedText, Qt::white);
        list->setPalette(palette);
        QPixmap red(16, 16);
        red.fill(Qt::red);
        QPixmap green(16, 16);
        green.fill(Qt::green);
        list->SetImageList(QList<QPixmap>{red, green});

        list->InsertColumn(0, "Name", Qt::AlignLeft, 150);
        list->InsertColumn(1, "Days", Qt::AlignRight, 60);
        const std::vector<std::tuple<QString, QString, int>> rows = {{"Alpha", "7", 0},
                                                                     {"Beta", "12", 1},
                                                                     {"A&B", "", 1},
                                                                     {"AB", "", 1},
                                                                     {QString(60, u'W'), "", 1}};
        for (const auto& [name, days, image] : rows) {
            const int row = list->InsertItem(list->GetItemCount(), name, image);
            list->SetItemText(row, 1, days);
        }
        list->SetRowHighlightMode(CListCtrlEx::HighlightToEdge);

        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        focusList(true);
    }

    void focusList(bool toList) {
        (toList ? static_cast<QWidget*>(list) : other)->setFocus();
        ASSERT_TRUE(QTest::qWaitFor([&] { return list->hasFocus() == toList; }));
    }

    // The list's viewport painted afresh.
    QImage rendered() { return list->viewport()->grab().toImage(); }

    // The list's viewport as it is on screen: only what was invalidated has been repainted.
    QImage onScreen() {
        QTest::qWait(30);
        const QPixmap shot = window.screen()->grabWindow(window.winId());
        const QRect viewport(list->viewport()->mapTo(&window, QPoint(0, 0)),
                             list->viewport()->size());
        return shot.copy(viewport).toImage();
    }

    QRect part(int row, CListCtrlEx::ItemPart which) { return list->GetItemRect(row, which); }
    int middle(int row) { return part(row, CListCtrlEx::ItemPart::Bounds).center().y(); }
    // A point right of the last column, short of the focus frame at the edge.
    QPoint pastColumns(int row) {
        return {part(row, CListCtrlEx::ItemPart::Bounds).right() + 20, middle(row)};
    }
    QPoint atEdge(int row) { return {list->viewport()->width() - 3, middle(row)}; }

    // The leftmost and rightmost dark pixel of a row within [left, right].
    std::pair<int, int> ink(const QImage& image, int row, int left, int right) {
        const QRect bounds = part(row, CListCtrlEx::ItemPart::Bounds);
        int first = -1;
        int last = -1;
        for (int y = bounds.top() + 1; y < bounds.bottom(); ++y)
            for (int x = left; x <= right; ++x)
                if (qGray(image.pixel(x, y)) < 128) {
                    first = first < 0 ? x : std::min(first, x);
                    last = std::max(last, x);
                }
        return {first, last};
    }

    QWidget window;
    CListCtrlEx* list = nullptr;
    QLineEdit* other = nullptr;
};

TEST_F(CListCtrlExPaint, HighlightRunsFromTheLabelToTheRightEdgeWithTheIconBlended) {
    list->SetSelected(0);
    const QImage image = rendered();
    const QRect icon = part(0, CListCtrlEx::ItemPart::Icon);
    const QRect label = part(0, CListCtrlEx::ItemPart::Label);
    EXPECT_TRUE(colourIs(image, pastColumns(0), kBlue));
    EXPECT_TRUE(colourIs(image, atEdge(0), kBlue));
    EXPECT_TRUE(colourIs(image, {label.left() + 1, middle(0)}, kBlue));
    EXPECT_TRUE(colourIs(image, {icon.left() - 1, middle(0)}, Qt::white)); // left of the label
    // Red blended half way with the highlight blue.
    EXPECT_TRUE(colourIs(image, icon.center(), QColor(128, 0, 127)));

    // The row below is not highlighted, its icon plain.
    EXPECT_TRUE(colourIs(image, pastColumns(1), Qt::white));
    EXPECT_TRUE(colourIs(image, part(1, CListCtrlEx::ItemPart::Icon).center(), Qt::green));
}

TEST_F(CListCtrlExPaint, SelectionShowsOnlyWhileTheListHasTheFocus) {
    list->SetSelected(0);
    const QPoint icon = part(0, CListCtrlEx::ItemPart::Icon).center();
    focusList(false);
    QImage image = rendered();
    EXPECT_TRUE(colourIs(image, pastColumns(0), Qt::white));
    EXPECT_TRUE(
        colourIs(image, {part(0, CListCtrlEx::ItemPart::Label).left() + 1, middle(0)}, Qt::white));
    EXPECT_TRUE(colourIs(image, icon, Qt::red));

    list->SetShowSelectionAlways(true);
    EXPECT_TRUE(colourIs(rendered(), pastColumns(0), kBlue));
    list->SetShowSelectionAlways(false);

    focusList(true);
    image = rendered();
    EXPECT_TRUE(colourIs(image, pastColumns(0), kBlue));
    EXPECT_TRUE(colourIs(image, icon, QColor(128, 0, 127)));
}

TEST_F(CListCtrlExPaint, FocusAndSelectionChangesRepaintTheWholeStrip) {
    list->SetSelected(0);
    EXPECT_TRUE(colourIs(onScreen(), atEdge(0), kBlue));
    focusList(false);
    EXPECT_TRUE(colourIs(onScreen(), atEdge(0), Qt::white));
    focusList(true);
    EXPECT_TRUE(colourIs(onScreen(), atEdge(0), kBlue));
    list->SetSelected(1);
    const QImage image = onScreen();
    EXPECT_TRUE(colourIs(image, atEdge(0), Qt::white));
    EXPECT_TRUE(colourIs(image, atEdge(1), kBlue));
}

TEST_F(CListCtrlExPaint, ModeOneStopsTheHighlightAtTheLastColumn) {
    EXPECT_EQ(list->SetRowHighlightMode(CListCtrlEx::FullRowHighlight),
              CListCtrlEx::HighlightToEdge);
    list->SetSelected(0);
    const QImage image = rendered();
    const QRect bounds = part(0, CListCtrlEx::ItemPart::Bounds);
    EXPECT_TRUE(colourIs(image, {bounds.right() - 55, middle(0)}, kBlue));
    EXPECT_TRUE(colourIs(image, pastColumns(0), Qt::white));
}

TEST_F(CListCtrlExPaint, FocusFrameMarksTheFocusedRowOnlyWithTheFocus) {
    list->selectionModel()->setCurrentIndex(list->model()->index(1, 0),
                                            QItemSelectionModel::NoUpdate);
    const QRect bounds = part(1, CListCtrlEx::ItemPart::Bounds);
    auto darkOnTopLine = [&](const QImage& image) {
        int dark = 0;
        for (int x = bounds.right() + 5; x < list->viewport()->width() - 5; ++x)
            dark += qGray(image.pixel(x, bounds.top())) < 128 ? 1 : 0;
        return dark;
    };
    EXPECT_GT(darkOnTopLine(rendered()), 5);
    focusList(false);
    EXPECT_EQ(darkOnTopLine(rendered()), 0);
}

TEST_F(CListCtrlExPaint, AmpersandIsDrawnAsItself) {
    focusList(false);
    const QImage image = rendered();
    const QRect label = part(2, CListCtrlEx::ItemPart::Label);
    const int withAmpersand = ink(image, 2, label.left(), label.right()).second;
    const int without = ink(image, 3, label.left(), label.right()).second;
    const int ampersand = list->fontMetrics().horizontalAdvance(QLatin1Char('&'));
    ASSERT_GT(ampersand, 3);
    EXPECT_GE(withAmpersand - without, ampersand - 2);
}

TEST_F(CListCtrlExPaint, LongTextIsCutInsideItsColumnAndColumnsKeepTheirAlignment) {
    focusList(false);
    const QImage image = rendered();
    const QRect label = part(4, CListCtrlEx::ItemPart::Label);
    const int inset = 2 * list->fontMetrics().horizontalAdvance(QLatin1Char(' '));
    const auto [first, last] = ink(image, 4, label.left(), label.right());
    EXPECT_GT(last, label.left() + label.width() / 2);
    EXPECT_LE(last, label.right() - inset + 1); // an uncut text would run on to the column edge
    const QRect bounds = part(4, CListCtrlEx::ItemPart::Bounds);
    EXPECT_EQ(ink(image, 4, label.right() + 1, bounds.right()).first, -1);

    // "12" in the right-aligned column sits in the right half of its cell.
    const int cellLeft = label.right() + 1;
    const auto [left, right] = ink(image, 1, cellLeft, cellLeft + 59);
    EXPECT_GT(left, cellLeft + 30);
    EXPECT_LE(right, cellLeft + 59 - inset + 1);
}

} // namespace
} // namespace kivo

namespace kivo {
namespace {

// The empty list shows its hint; the first row takes its place, and the last row gone brings it
// back.
TEST_F(CListCtrlExPaint, EmptyListShowsItsHintUntilItHasARow) {
    list->SetEmptyListText("No records yet.");
    const auto inkRows = [this] {
        const QImage image = rendered();
        int rows = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != Qt::white) {
                    ++rows;
                    break;
                }
        return rows;
    };
    const int withRows = inkRows();
    list->DeleteAllItems();
    const int hint = inkRows();
    EXPECT_GT(hint, 0) << "the empty list shows the hint";
    list->SetEmptyListText({});
    EXPECT_EQ(inkRows(), 0) << "no hint set: nothing drawn";
    list->SetEmptyListText("No records yet.");
    list->InsertItem(0, "Alpha", 0);
    const int oneRow = inkRows();
    EXPECT_GT(oneRow, 0);
    EXPECT_LT(oneRow, withRows);
    const QRect row = part(0, CListCtrlEx::ItemPart::Bounds);
    const QImage image = rendered();
    for (int y = row.bottom() + 2; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ASSERT_EQ(image.pixelColor(x, y), QColor(Qt::white)) << "hint under a row at " << y;
    list->DeleteItem(0);
    EXPECT_EQ(inkRows(), hint);
}

} // namespace
} // namespace kivo
