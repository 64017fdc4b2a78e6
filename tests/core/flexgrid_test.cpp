#include <gtest/gtest.h>

#include "results/flexgrid.h"

using veltrop::FlexGrid;

namespace {

FlexGrid gridWithValues(const std::vector<std::string>& values)
{
    // As the results display fills it: one row per value, then an empty row.
    FlexGrid g(2, 3, 1);
    for (std::size_t i = 0; i < values.size(); ++i) {
        g.addItem("");
        g.setTextMatrix(int(i) + 1, 0, "T" + std::to_string(i + 1));
        g.setTextMatrix(int(i) + 1, 2, values[i]);
    }
    return g;
}

TEST(FlexGrid, FormatStringSetsHeaderTextsAndAlignment)
{
    FlexGrid g;
    g.setFormatString("^Ticker|^Rank");
    EXPECT_EQ(g.textMatrix(0, 0), "Ticker");
    EXPECT_EQ(g.textMatrix(0, 1), "Rank");
    EXPECT_EQ(g.cols(), 3);
    EXPECT_EQ(g.headerAlign(0), FlexGrid::Align::Centre);
    EXPECT_EQ(g.headerAlign(2), FlexGrid::Align::Left);
}

TEST(FlexGrid, CurrentRowAndColumnAreTheWholeSelection)
{
    FlexGrid g(5, 3, 1);
    g.setFillStyle(FlexGrid::FillStyle::Repeat);
    g.setCol(1);
    g.setColSel(2);
    g.setRow(2);
    g.setText("x");
    EXPECT_EQ(g.textMatrix(2, 1), "x");
    EXPECT_EQ(g.textMatrix(2, 2), "x");
    EXPECT_EQ(g.textMatrix(3, 1), "");
    g.setCol(1);  // selection collapses to column 1
    g.setCellPicture("vp3.bmp");
    EXPECT_EQ(g.picture(2, 1), "vp3.bmp");
    EXPECT_EQ(g.picture(2, 2), "");
}

TEST(FlexGrid, SingleFillTouchesOnlyTheCurrentCell)
{
    FlexGrid g(5, 3, 1);
    g.setRow(1);
    g.setRowSel(3);
    g.setText("y");
    EXPECT_EQ(g.textMatrix(1, 0), "y");
    EXPECT_EQ(g.textMatrix(2, 0), "");
}

TEST(FlexGrid, RowsAreAddedAndRemovedButTheLastDataRowStays)
{
    FlexGrid g(2, 3, 1);
    g.addItem("A\tpic\t10");
    EXPECT_EQ(g.rows(), 3);
    EXPECT_EQ(g.textMatrix(2, 0), "A");
    EXPECT_EQ(g.textMatrix(2, 2), "10");
    EXPECT_TRUE(g.removeItem(1));
    EXPECT_EQ(g.textMatrix(1, 0), "A");
    EXPECT_FALSE(g.removeItem(1)) << "the last non-fixed row cannot go";
    EXPECT_FALSE(g.removeItem(0)) << "the header row cannot go";
    EXPECT_EQ(g.rows(), 2);
}

TEST(FlexGrid, GenericDescendingSortComparesNumbersAsNumbers)
{
    FlexGrid g = gridWithValues({"3", "10", "4", "10"});
    g.setCol(1);
    g.setRow(4);
    g.setColSel(2);
    g.sortGenericDescending();
    EXPECT_EQ(g.textMatrix(1, 2), "10");
    EXPECT_EQ(g.textMatrix(1, 0), "T2") << "equal values keep their order";
    EXPECT_EQ(g.textMatrix(2, 0), "T4");
    EXPECT_EQ(g.textMatrix(3, 2), "4");
    EXPECT_EQ(g.textMatrix(4, 2), "3");
    EXPECT_EQ(g.textMatrix(5, 2), "") << "the empty last row stays last";
}

TEST(FlexGrid, RevisionMovesOnEveryChange)
{
    FlexGrid g;
    auto r0 = g.revision();
    g.setTextMatrix(1, 0, "A");
    auto r1 = g.revision();
    EXPECT_NE(r0, r1);
    g.setRow(1);
    EXPECT_NE(r1, g.revision());
}

} // namespace
