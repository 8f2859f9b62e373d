// Tests of the packed cell texts of one list row.
#include "controls/packed_cells.h"

#include <gtest/gtest.h>

namespace kivo {
namespace {

TEST(PackedCells, CellsKeepTheirTextsWhenOthersChange) {
    PackedCells cells;
    EXPECT_EQ(cells.count(), 0);
    EXPECT_TRUE(cells.cell(0).isEmpty());

    cells.setCell(0, u"Anna");
    cells.setCell(3, u"12/06/2026"); // cells 1 and 2 appear empty
    EXPECT_EQ(cells.count(), 4);
    EXPECT_EQ(cells.cell(0), u"Anna");
    EXPECT_TRUE(cells.cell(1).isEmpty());
    EXPECT_TRUE(cells.cell(2).isEmpty());
    EXPECT_EQ(cells.cell(3), u"12/06/2026");

    cells.setCell(1, u"longer text than before");
    cells.setCell(0, u"Bo");
    EXPECT_EQ(cells.cell(0), u"Bo");
    EXPECT_EQ(cells.cell(1), u"longer text than before");
    EXPECT_EQ(cells.cell(3), u"12/06/2026");
    cells.setCell(1, u"");
    EXPECT_TRUE(cells.cell(1).isEmpty());
    EXPECT_EQ(cells.cell(3), u"12/06/2026");
    EXPECT_TRUE(cells.cell(4).isEmpty());
    EXPECT_TRUE(cells.cell(-1).isEmpty());
}

TEST(PackedCells, LongTextsNeedingTwoUnitLengthsSurvive) {
    // Lengths from 0x8000 on take two units; both sides of that limit and past 16 bits.
    const QString a(0x7FFF, u'a');
    const QString b(0x8000, u'b');
    const QString c(0x12345, u'c');
    PackedCells cells;
    cells.setCell(2, c);
    cells.setCell(0, a);
    cells.setCell(1, b);
    cells.setCell(3, u"tail");
    EXPECT_EQ(cells.count(), 4);
    EXPECT_EQ(cells.cell(0), a);
    EXPECT_EQ(cells.cell(1), b);
    EXPECT_EQ(cells.cell(2), c);
    EXPECT_EQ(cells.cell(3), u"tail");
}

TEST(PackedCells, InsertedCellMovesTheFollowingOnes) {
    PackedCells cells;
    cells.setCell(0, u"name");
    cells.setCell(1, u"one");
    cells.setCell(2, u"two");
    cells.insertCell(1);
    EXPECT_EQ(cells.count(), 4);
    EXPECT_EQ(cells.cell(0), u"name");
    EXPECT_TRUE(cells.cell(1).isEmpty());
    EXPECT_EQ(cells.cell(2), u"one");
    EXPECT_EQ(cells.cell(3), u"two");
    cells.insertCell(9); // past the end: nothing to move
    EXPECT_EQ(cells.count(), 4);
}

} // namespace
} // namespace kivo
