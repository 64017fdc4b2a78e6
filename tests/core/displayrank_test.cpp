// The results step on hand-set ticker tables: averages, the grid, the rank
// bands and the table rewritten best first.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/form1.h"
#include "testsupport.h"

using namespace veltrop;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RecordingDialogs;

namespace {

const std::string pictures = "/opt/veltrop";

std::string picture(int band) { return pictures + "/vp" + std::to_string(band) + ".bmp"; }

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

struct DisplayCase {
    const char* name;
    int sourcesrun;
    Wide lowest, highest;  // as the ranking run left them
    std::vector<Score> scores;
    std::vector<Shown> shown;
    Wide lowestAfter, highestAfter;
};

class DisplayRank : public ::testing::Test {
protected:
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};
    RecordingDialogs dialogs;
    std::unique_ptr<Form1> window;
    Form1* f = nullptr;

    void SetUp() override { restart(); }

    // A window as start-up leaves it.
    void restart()
    {
        window = std::make_unique<Form1>(dialogs);
        f = window.get();
        f->Form_Load();
        f->apppath = pictures;
    }

    void load(const DisplayCase& c)
    {
        f->sourcesrun = Integer(c.sourcesrun);
        f->lowestvalue = c.lowest;
        f->highestvalue = c.highest;
        f->tickercount = Integer(c.scores.size());
        for (std::size_t i = 0; i < c.scores.size(); ++i) {
            f->tickertable[i + 1][0] = c.scores[i].ticker;
            if (c.scores[i].points)
                f->tickertable[i + 1][1] = *c.scores[i].points;
        }
    }

    // What the grid shows, row by row, with the band read from the picture.
    std::vector<Shown> grid() const
    {
        std::vector<Shown> rows;
        const FlexGrid& g = f->MSFlexGrid1;
        for (int r = 1; r <= g.rows() - 2; ++r) {
            int band = 0;
            for (int k = 1; k <= 17; ++k)
                if (g.picture(r, 1) == picture(k))
                    band = k;
            rows.push_back({g.textMatrix(r, 0), g.textMatrix(r, 2), band});
        }
        return rows;
    }
};

TEST_F(DisplayRank, CombinesListsSortsAndBands)
{
    const std::vector<DisplayCase> cases = {
        {"three sources: A 30, B 10, C none, D 14",
         3, 10000, -10000,
         {{"A", 30}, {"B", 10}, {"C", {}}, {"D", 14}},
         {{"A", "10", 17}, {"D", "4", 7}, {"B", "3", 6}},
         0, 10},
        // One source: raw scores, bands over the bounds the run left, which
        // include a recorded -5 that is not listed.
        {"one source, not averaged",
         1, -5, 7,
         {{"A", 7}, {"B", 3}, {"C", -5}, {"D", {}}},
         {{"A", "7", 17}, {"B", "3", 12}},
         -5, 7},
        // 9 and nothing over two sources is 4.5, rounded down; -1 over two is
        // -0.5, rounded down to -1; nothing counts as 0.
        {"two sources, missing scores count as 0",
         2, 10000, -10000,
         {{"A", 9}, {"B", {}}, {"C", 3}, {"D", -1}},
         {{"A", "4", 17}, {"C", "1", 7}},
         -1, 4},
        {"ties keep their table order",
         1, 5, 8,
         {{"A", 5}, {"B", 8}, {"C", 5}, {"D", 8}, {"E", 5}},
         {{"B", "8", 17}, {"D", "8", 17}, {"A", "5", 1}, {"C", "5", 1}, {"E", "5", 1}},
         5, 8},
        {"all values equal give band 1",
         1, 6, 6,
         {{"A", 6}, {"B", 6}, {"C", 6}},
         {{"A", "6", 1}, {"B", "6", 1}, {"C", "6", 1}},
         6, 6},
        // The top edge rounds to 26.999998 in single precision; the strongest
        // ticker still gets the strongest picture.
        {"lowest -10 and highest 27",
         1, -10, 27,
         {{"B", 1}, {"A", 27}, {"C", -10}},
         {{"A", "27", 17}, {"B", "1", 6}},
         -10, 27},
        {"values beyond 16 bits",
         2, 10000, -10000,
         {{"A", 140000}, {"B", 200}, {"C", 66000}},
         {{"A", "70000", 17}, {"C", "33000", 9}, {"B", "100", 1}},
         100, 70000},
        {"numbers compare as numbers, not as texts",
         1, 2, 100,
         {{"A", 9}, {"B", 100}, {"C", 20}, {"D", 2}},
         {{"B", "100", 17}, {"C", "20", 4}, {"A", "9", 2}, {"D", "2", 1}},
         2, 100},
    };
    for (const DisplayCase& c : cases) {
        SCOPED_TRACE(c.name);
        restart();
        load(c);
        f->delete25.enabled = f->opinionbutton.enabled = f->savelistbutton.enabled = false;

        f->displayrank();

        EXPECT_EQ(grid(), c.shown);
        const int n = int(c.shown.size());
        EXPECT_EQ(f->MSFlexGrid1.rows(), n + 2);
        EXPECT_EQ(f->MSFlexGrid1.textMatrix(n + 1, 0), "");
        EXPECT_EQ(f->MSFlexGrid1.textMatrix(n + 1, 2), "");
        EXPECT_EQ(f->MSFlexGrid1.picture(n + 1, 1), "");
        EXPECT_EQ(f->tickercount, n);
        EXPECT_EQ(f->rankedcount, n);
        for (int i = 1; i <= maxTickers; ++i) {
            EXPECT_EQ(cellText(f->tickertable[i][0]), i <= n ? c.shown[i - 1].ticker : "") << i;
            EXPECT_EQ(cellText(f->tickertable[i][1]), i <= n ? c.shown[i - 1].value : "") << i;
        }
        for (int r = 1; r <= n; ++r)
            EXPECT_EQ(f->MSFlexGrid1.textMatrix(r, 1), "");
        EXPECT_EQ(f->lowestvalue, c.lowestAfter);
        EXPECT_EQ(f->highestvalue, c.highestAfter);
        EXPECT_EQ(f->Label2.caption, " " + std::to_string(n) + " tickers ranked");
        EXPECT_EQ(f->MSFlexGrid1.row(), 1);
        EXPECT_EQ(f->MSFlexGrid1.col(), 1);
        EXPECT_TRUE(f->delete25.enabled);
        EXPECT_TRUE(f->opinionbutton.enabled);
        EXPECT_TRUE(f->savelistbutton.enabled);
    }
}

TEST_F(DisplayRank, TheWorkedExamplesBandWidth)
{
    load({"", 3, 10000, -10000, {{"A", 30}, {"B", 10}, {"C", {}}, {"D", 14}}, {}, 0, 0});
    f->displayrank();
    EXPECT_EQ(f->bandwidth, 0.5882353f);
}

TEST_F(DisplayRank, NothingRankedLeavesAnEmptyTableAndStillEnablesTheButtons)
{
    load({"", 2, 10000, -10000, {{"A", {}}, {"B", 0}, {"C", -4}}, {}, 0, 0});
    f->delete25.enabled = f->opinionbutton.enabled = f->savelistbutton.enabled = false;
    f->displayrank();
    EXPECT_EQ(f->rankedcount, 0);
    EXPECT_EQ(f->tickercount, 0);
    EXPECT_EQ(f->MSFlexGrid1.rows(), 2);
    EXPECT_EQ(f->Label2.caption, " 0 tickers ranked");
    for (const auto& row : f->tickertable) {
        EXPECT_TRUE(isEmpty(row[0]));
        EXPECT_TRUE(isEmpty(row[1]));
    }
    EXPECT_TRUE(f->delete25.enabled && f->opinionbutton.enabled && f->savelistbutton.enabled);
}

} // namespace
