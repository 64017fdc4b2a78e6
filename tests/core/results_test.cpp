// The results step and Delete bottom 25% on hand-set ticker tables and grids:
// averages, order, rank bands, and the table rewritten from the grid.
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "results/rankbands.h"
#include "results/results.h"

using namespace veltrop;

namespace {

const std::string pictures = "/opt/veltrop";

std::string picture(int band) { return pictures + "/vp" + std::to_string(band) + ".bmp"; }

int bandOf(const std::string& path)
{
    for (int k = 1; k <= 17; ++k)
        if (path == picture(k))
            return k;
    return 0;
}

struct Score {
    std::string ticker;
    std::optional<double> points;  // none: no source gave it a score
};

struct Shown {
    std::string ticker, value;
    int band;
    bool operator==(const Shown&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Shown& s)
{
    return out << s.ticker << " " << s.value << " band " << s.band;
}

class Results : public ::testing::Test {
protected:
    TickerTable table{};
    Count count = 0;
    FlexGrid grid;

    void SetUp() override { prepareResultsGrid(grid); }

    void load(const std::vector<Score>& scores)
    {
        table = {};
        count = Count(scores.size());
        for (std::size_t i = 0; i < scores.size(); ++i) {
            table[i + 1][0] = scores[i].ticker;
            if (scores[i].points)
                table[i + 1][1] = *scores[i].points;
        }
    }

    // The state the results step leaves: data rows 1 to n best first with
    // their values in column 2, one empty row after them, the table to match.
    void ranked(const std::vector<int>& values)
    {
        for (std::size_t i = 0; i < values.size(); ++i) {
            const int r = int(i) + 1;
            const std::string ticker = "T" + std::to_string(r);
            grid.addItem("");
            grid.setTextMatrix(r, 0, ticker);
            grid.setTextMatrix(r, 2, std::to_string(values[i]));
            grid.setCol(1);
            grid.setRow(r);
            grid.setCellPicture(picture(1));
            table[r][0] = ticker;
            table[r][1] = std::to_string(values[i]);
        }
        count = Count(values.size());
    }

    // What the grid shows, row by row, with the band read from the picture.
    std::vector<Shown> shown() const
    {
        std::vector<Shown> rows;
        for (int r = 1; r <= grid.rows() - 2; ++r)
            rows.push_back({grid.textMatrix(r, 0), grid.textMatrix(r, 2), bandOf(grid.picture(r, 1))});
        return rows;
    }

    // The grid holds `rows` and one empty row after them; the table matches
    // it, and holds nothing after it.
    void expectGridAndTable(const std::vector<Shown>& rows)
    {
        const int n = int(rows.size());
        EXPECT_EQ(shown(), rows);
        ASSERT_EQ(grid.rows(), n + 2);
        EXPECT_EQ(grid.textMatrix(n + 1, 0), "");
        EXPECT_EQ(grid.textMatrix(n + 1, 2), "");
        EXPECT_EQ(grid.picture(n + 1, 1), "");
        EXPECT_EQ(count, n);
        for (int i = 0; i <= maxTickers; ++i) {
            const bool listed = i >= 1 && i <= n;
            EXPECT_EQ(cellText(table[i][0]), listed ? rows[i - 1].ticker : "") << i;
            EXPECT_EQ(cellText(table[i][1]), listed ? rows[i - 1].value : "") << i;
        }
        for (int r = 1; r <= n; ++r)
            EXPECT_EQ(grid.textMatrix(r, 1), "") << r;
        EXPECT_EQ(rankedCaption(grid), " " + std::to_string(n) + " tickers ranked");
    }

    static std::vector<int> descending(int n)
    {
        std::vector<int> v;
        for (int i = 0; i < n; ++i)
            v.push_back(1000 - i);
        return v;
    }

    // The first n of `descending` are listed, each with a band.
    void expectFirst(int n)
    {
        std::vector<Shown> rows;
        for (int r = 1; r <= n; ++r)
            rows.push_back({"T" + std::to_string(r), std::to_string(1000 - r + 1), bandOf(grid.picture(r, 1))});
        expectGridAndTable(rows);
        for (int r = 1; r <= n; ++r)
            EXPECT_NE(bandOf(grid.picture(r, 1)), 0) << r;
    }
};

RankTally tally(Whole highest, Whole lowest, Count sourcesRun)
{
    RankTally t;
    t.highest = highest;
    t.lowest = lowest;
    t.sourcesRun = sourcesRun;
    return t;
}

struct ShowCase {
    const char* name;
    RankTally tally;  // as the ranking run left it
    std::vector<Score> scores;
    std::vector<Shown> shown;
};

TEST_F(Results, CombinesSortsAndBands)
{
    const std::vector<ShowCase> cases = {
        {"three sources: A 30, B 10, C none, D 14",
         tally(-10000, 10000, 3),
         {{"A", 30}, {"B", 10}, {"C", {}}, {"D", 14}},
         {{"A", "10", 17}, {"D", "4", 7}, {"B", "3", 6}}},
        // One source: raw scores, bands over the bounds the run left, which
        // include a recorded -5 that is not listed.
        {"one source, not averaged",
         tally(7, -5, 1),
         {{"A", 7}, {"B", 3}, {"C", -5}, {"D", {}}},
         {{"A", "7", 17}, {"B", "3", 12}}},
        // 9 and nothing over two sources is 4.5, rounded down; -1 over two is
        // -0.5, rounded down to -1; nothing counts as 0.
        {"two sources, missing scores count as 0",
         tally(-10000, 10000, 2),
         {{"A", 9}, {"B", {}}, {"C", 3}, {"D", -1}},
         {{"A", "4", 17}, {"C", "1", 7}}},
        {"ties keep their table order",
         tally(8, 5, 1),
         {{"A", 5}, {"B", 8}, {"C", 5}, {"D", 8}, {"E", 5}},
         {{"B", "8", 17}, {"D", "8", 17}, {"A", "5", 1}, {"C", "5", 1}, {"E", "5", 1}}},
        {"all values equal give band 1",
         tally(6, 6, 1),
         {{"A", 6}, {"B", 6}, {"C", 6}},
         {{"A", "6", 1}, {"B", "6", 1}, {"C", "6", 1}}},
        // The top edge rounds to 26.999998 in single precision; the strongest
        // ticker still gets the strongest picture.
        {"lowest -10 and highest 27",
         tally(27, -10, 1),
         {{"B", 1}, {"A", 27}, {"C", -10}},
         {{"A", "27", 17}, {"B", "1", 6}}},
        {"values beyond 16 bits",
         tally(-10000, 10000, 2),
         {{"A", 140000}, {"B", 200}, {"C", 66000}},
         {{"A", "70000", 17}, {"C", "33000", 9}, {"B", "100", 1}}},
        {"numbers compare as numbers, not as texts",
         tally(100, 2, 1),
         {{"A", 9}, {"B", 100}, {"C", 20}, {"D", 2}},
         {{"B", "100", 17}, {"C", "20", 4}, {"A", "9", 2}, {"D", "2", 1}}},
        {"nothing ranked leaves an empty table",
         tally(-10000, 10000, 2),
         {{"A", {}}, {"B", 0}, {"C", -4}},
         {}},
    };
    for (const ShowCase& c : cases) {
        SCOPED_TRACE(c.name);
        grid = FlexGrid();
        prepareResultsGrid(grid);
        load(c.scores);

        EXPECT_EQ(showRanks(table, count, c.tally, grid, pictures), Count(c.shown.size()));

        expectGridAndTable(c.shown);
        EXPECT_EQ(grid.row(), 1);
        EXPECT_EQ(grid.col(), 1);
    }
}

TEST(RankBands, TheWorkedExamplesBandWidth) { EXPECT_EQ(rankBands(0, 10).width, 0.5882353f); }

struct CutCase {
    int tickers, left;
};

TEST_F(Results, DeleteBottomCutsAQuarterByCount)
{
    for (const CutCase c : {CutCase{0, 0}, {1, 1}, {2, 1}, {3, 2}, {5, 4}, {6, 5}, {7, 6}, {8, 6}, {11, 9},
                            {12, 9}, {100, 75}, {500, 375}}) {
        SCOPED_TRACE("tickers " + std::to_string(c.tickers));
        clearResultsGrid(grid);
        table = {};
        ranked(descending(c.tickers));
        deleteBottomQuarter(table, count, grid, pictures);
        expectFirst(c.left);
    }
    EXPECT_EQ(grid.textMatrix(0, 0), "Ticker");
}

TEST_F(Results, DeleteBottomTwiceOnAHundredLeaves75Then57)
{
    ranked(descending(100));
    deleteBottomQuarter(table, count, grid, pictures);
    expectFirst(75);
    deleteBottomQuarter(table, count, grid, pictures);
    expectFirst(57);
}

TEST_F(Results, DeleteBottomTakesTheLowerOfEqualValuesAtTheCut)
{
    ranked({9, 8, 5, 5});
    deleteBottomQuarter(table, count, grid, pictures);
    EXPECT_EQ(shown(), (std::vector<Shown>{{"T1", "9", 17}, {"T2", "8", 13}, {"T3", "5", 1}}));
}

TEST_F(Results, DeleteBottomWorksTheBandsOutAfreshOverWhatIsLeft)
{
    // Ranked through the results step, one source, so the values are the
    // scores.
    const std::vector<int> values = {40, 35, 30, 30, 22, 18, 15, 12, 12, 7};
    std::vector<Score> scores;
    for (std::size_t i = 0; i < values.size(); ++i)
        scores.push_back({"T" + std::to_string(i + 1), double(values[i])});
    load(scores);
    showRanks(table, count, tally(40, 7, 1), grid, pictures);
    ASSERT_EQ(grid.textMatrix(3, 2), "30");
    EXPECT_EQ(bandOf(grid.picture(3, 1)), 12);

    deleteBottomQuarter(table, count, grid, pictures);

    const std::vector<int> bands = {17, 14, 11, 11, 7, 4, 2, 1};
    std::vector<Shown> rows;
    for (int r = 1; r <= 8; ++r)
        rows.push_back({"T" + std::to_string(r), std::to_string(values[r - 1]), bands[r - 1]});
    expectGridAndTable(rows);
    // The current cell is the last row filled.
    EXPECT_EQ(grid.row(), 8);
    EXPECT_EQ(grid.col(), 1);
}

TEST_F(Results, DeleteBottomOnASingleTickerLeavesItWithBand1)
{
    ranked({50});
    grid.setCellPicture(picture(17));
    deleteBottomQuarter(table, count, grid, pictures);
    EXPECT_EQ(shown(), (std::vector<Shown>{{"T1", "50", 1}}));
}

TEST_F(Results, DeleteBottomKeepsTheRangeWholeForAScoreTooLargeForItsType)
{
    // A page cell such as "1e999" scores the largest whole number; with a
    // negative score beside it the range must not wrap.
    ranked(descending(6));
    const std::string largest = std::to_string(std::numeric_limits<std::int64_t>::max());
    grid.setTextMatrix(1, 2, largest);
    table[1][1] = largest;
    for (int r : {5, 6}) {
        grid.setTextMatrix(r, 2, "-5");
        table[r][1] = std::string("-5");
    }
    deleteBottomQuarter(table, count, grid, pictures);
    EXPECT_EQ(count, 5);
    EXPECT_EQ(bandOf(grid.picture(1, 1)), 17);
    EXPECT_EQ(bandOf(grid.picture(2, 1)), 1);
}

} // namespace
