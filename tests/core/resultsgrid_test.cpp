// The window's results grid over ranked rows: what each cell holds and where
// the current cell is after each command.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/resultsgrid.h"

using namespace veltrop;

namespace {

const RankedRows three = {{"IBM", 12, 17}, {"MSFT", 9, 5}, {"INTC", 3, 1}};

// A row's cells as "text|picture" each, the current cell marked "*".
std::vector<std::string> cells(const ResultsGrid& grid)
{
    std::vector<std::string> rows;
    for (int r = 0; r < grid.rows(); ++r) {
        std::string row;
        for (int c = 0; c < ResultsGrid::columns; ++c)
            row += (grid.row() == r && grid.col() == c ? "*" : "") + grid.text(r, c) + "|" + grid.picture(r, c) + ";";
        rows.push_back(row);
    }
    return rows;
}

TEST(ResultsGrid, ShowsEachCommandsRowsWithItsCurrentCell)
{
    struct Case {
        const char* name;
        void (*act)(ResultsGrid&);
        std::vector<std::string> cells;
    };
    const std::string heading = "Ticker|;Rank|;|;";
    const std::vector<Case> cases = {
        {"a ranking: the picture of row 1", [](ResultsGrid& g) { g.showRanked(three, "/opt/v"); },
         {heading, "IBM|;*|/opt/v/vp17.bmp;12|;", "MSFT|;|/opt/v/vp5.bmp;9|;", "INTC|;|/opt/v/vp1.bmp;3|;",
          "|;|;|;"}},
        {"a cut: the picture of the last row filled", [](ResultsGrid& g) { g.showCut({three[0], three[1]}, "/p"); },
         {heading, "IBM|;|/p/vp17.bmp;12|;", "MSFT|;*|/p/vp5.bmp;9|;", "|;|;|;"}},
        {"a cut that leaves nothing", [](ResultsGrid& g) { g.showCut({}, "/p"); }, {heading, "|;*|;|;"}},
        {"Clear All", [](ResultsGrid& g) { g.clear(); }, {heading, "|;*|;|;"}},
        {"a click on a ticker, and one outside the grid",
         [](ResultsGrid& g) {
             g.setCurrent(2, 0);
             g.setCurrent(5, 0);
             g.setCurrent(1, 3);
         },
         {heading, "IBM|;|/opt/v/vp17.bmp;12|;", "*MSFT|;|/opt/v/vp5.bmp;9|;", "INTC|;|/opt/v/vp1.bmp;3|;",
          "|;|;|;"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ResultsGrid grid;
        grid.showRanked(three, "/opt/v");
        const auto before = grid.revision();
        c.act(grid);
        EXPECT_EQ(cells(grid), c.cells);
        EXPECT_NE(grid.revision(), before);
    }
}

TEST(ResultsGrid, OpinionReadsTheTickerOrNothingOnAPicture)
{
    ResultsGrid grid;
    grid.showRanked(three, "/opt/v");
    EXPECT_EQ(grid.currentText(), "");
    grid.setCurrent(3, 0);
    EXPECT_EQ(grid.currentText(), "INTC");
    EXPECT_EQ((std::vector<int>{ResultsGrid::colWidth(0), ResultsGrid::colWidth(1), ResultsGrid::colWidth(2)}),
              (std::vector<int>{1000, 3350, 0}));
}

} // namespace
