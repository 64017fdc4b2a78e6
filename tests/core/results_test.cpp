// The results of a ranking as values, on hand-set ticker lists: averages,
// order, rank bands, Delete bottom 25% and the list made from them.
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "results/rankbands.h"
#include "results/results.h"

using namespace veltrop;

namespace veltrop {
std::ostream& operator<<(std::ostream& out, const RankedRow& r)
{
    return out << r.ticker << " " << r.score << " band " << r.band;
}
} // namespace veltrop

namespace {

struct Score {
    std::string ticker;
    std::optional<double> points;  // none: no source gave it a score
};

RankTally tally(Whole highest, Whole lowest, Count sourcesRun)
{
    RankTally t;
    t.highest = highest;
    t.lowest = lowest;
    t.sourcesRun = sourcesRun;
    return t;
}

struct RankCase {
    const char* name;
    RankTally tally;  // as the ranking run left it
    std::vector<Score> scores;
    RankedRows ranked;
};

TEST(Results, RankScoresCombinesSortsAndBands)
{
    const std::vector<RankCase> cases = {
        {"three sources: A 30, B 10, C none, D 14",
         tally(-10000, 10000, 3),
         {{"A", 30}, {"B", 10}, {"C", {}}, {"D", 14}},
         {{"A", 10, 17}, {"D", 4, 7}, {"B", 3, 6}}},
        // One source: raw scores, bands over the bounds the run left, which
        // include a recorded -5 that is not listed.
        {"one source, not averaged",
         tally(7, -5, 1),
         {{"A", 7}, {"B", 3}, {"C", -5}, {"D", {}}},
         {{"A", 7, 17}, {"B", 3, 12}}},
        // 9 and nothing over two sources is 4.5, rounded down; -1 over two is
        // -0.5, rounded down to -1; nothing counts as 0.
        {"two sources, missing scores count as 0",
         tally(-10000, 10000, 2),
         {{"A", 9}, {"B", {}}, {"C", 3}, {"D", -1}},
         {{"A", 4, 17}, {"C", 1, 7}}},
        {"ties keep their table order",
         tally(8, 5, 1),
         {{"A", 5}, {"B", 8}, {"C", 5}, {"D", 8}, {"E", 5}},
         {{"B", 8, 17}, {"D", 8, 17}, {"A", 5, 1}, {"C", 5, 1}, {"E", 5, 1}}},
        {"all values equal give band 1", tally(6, 6, 1), {{"A", 6}, {"B", 6}, {"C", 6}},
         {{"A", 6, 1}, {"B", 6, 1}, {"C", 6, 1}}},
        // The top edge rounds to 26.999998 in single precision; the strongest
        // ticker still gets the strongest picture.
        {"lowest -10 and highest 27", tally(27, -10, 1), {{"B", 1}, {"A", 27}, {"C", -10}},
         {{"A", 27, 17}, {"B", 1, 6}}},
        {"values beyond 16 bits", tally(-10000, 10000, 2), {{"A", 140000}, {"B", 200}, {"C", 66000}},
         {{"A", 70000, 17}, {"C", 33000, 9}, {"B", 100, 1}}},
        {"numbers compare as numbers", tally(100, 2, 1), {{"A", 9}, {"B", 100}, {"C", 20}, {"D", 2}},
         {{"B", 100, 17}, {"C", 20, 4}, {"A", 9, 2}, {"D", 2, 1}}},
        {"nothing ranked", tally(-10000, 10000, 2), {{"A", {}}, {"B", 0}, {"C", -4}}, {}},
    };
    for (const RankCase& c : cases) {
        SCOPED_TRACE(c.name);
        TickerList list;
        for (const Score& s : c.scores) {
            list.add(s.ticker);
            if (s.points)
                list[list.size() - 1].score = *s.points;
        }
        EXPECT_EQ(rankScores(list, c.tally), c.ranked);
    }
}

TEST(Results, TheListHoldsTheRowsBestFirstWithTheirScores)
{
    const Whole largest = std::numeric_limits<std::int64_t>::max();
    const TickerList list = listFromRows({{"A", 12, 17}, {"B", largest, 1}});
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list[0].ticker + "=" + cellText(list[0].score), "A=12");
    EXPECT_EQ(list[1].ticker + "=" + cellText(list[1].score), "B=9.22337203685478e+18");
    EXPECT_EQ(rankedCaption(12), " 12 tickers ranked");
}

TEST(RankBands, TheWorkedExamplesBandWidth) { EXPECT_EQ(rankBands(0, 10).width, 0.5882353f); }

RankedRows descending(int n)
{
    RankedRows rows;
    for (int i = 0; i < n; ++i)
        rows.push_back({"T" + std::to_string(i + 1), 1000 - i, 1});
    return rows;
}

TEST(Results, DeleteBottomCutsAQuarterByCount)
{
    struct CutCase {
        int tickers, times, left;
    };
    for (const CutCase c : {CutCase{0, 1, 0}, {1, 1, 1}, {2, 1, 1}, {3, 1, 2}, {5, 1, 4}, {6, 1, 5}, {7, 1, 6},
                            {8, 1, 6}, {11, 1, 9}, {12, 1, 9}, {100, 1, 75}, {100, 2, 57}, {500, 1, 375}}) {
        SCOPED_TRACE("tickers " + std::to_string(c.tickers) + ", cut " + std::to_string(c.times));
        RankedRows rows = descending(c.tickers);
        for (int k = 0; k < c.times; ++k)
            rows = deleteBottomQuarter(rows);
        RankedRows want = descending(c.left);
        ASSERT_EQ(rows.size(), want.size());
        for (std::size_t r = 0; r < rows.size(); ++r) {
            EXPECT_EQ(rows[r].ticker, want[r].ticker);
            EXPECT_EQ(rows[r].score, want[r].score);
        }
        if (c.left > 1) {
            EXPECT_EQ(rows.front().band, 17);
            EXPECT_EQ(rows.back().band, 1);
        }
    }
}

struct BandCase {
    const char* name;
    RankedRows before, after;
};

TEST(Results, DeleteBottomWorksTheBandsOutAfreshOverWhatIsLeft)
{
    const Whole largest = std::numeric_limits<std::int64_t>::max();
    const std::vector<BandCase> cases = {
        {"of equal scores at the cut the lower row goes",
         {{"T1", 9, 17}, {"T2", 8, 13}, {"T3", 5, 1}, {"T4", 5, 1}},
         {{"T1", 9, 17}, {"T2", 8, 13}, {"T3", 5, 1}}},
        {"a single ticker is left with band 1", {{"T1", 50, 17}}, {{"T1", 50, 1}}},
        // A page cell such as "1e999" scores the largest whole number; with a
        // negative score beside it the range must not wrap. What is not above
        // 0 is not listed.
        {"the range stays whole for the largest score",
         {{"T1", largest, 17}, {"T2", 999, 1}, {"T3", 998, 1}, {"T4", 997, 1}, {"T5", -5, 1}, {"T6", -5, 1}},
         {{"T1", largest, 17}, {"T2", 999, 1}, {"T3", 998, 1}, {"T4", 997, 1}}},
    };
    for (const BandCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(deleteBottomQuarter(c.before), c.after);
    }

    // Ranked through the results step, one source, so the values are the
    // scores.
    const std::vector<int> values = {40, 35, 30, 30, 22, 18, 15, 12, 12, 7};
    TickerList list;
    for (std::size_t i = 0; i < values.size(); ++i) {
        list.add("T" + std::to_string(i + 1));
        list[Count(i)].score = double(values[i]);
    }
    const RankedRows ranked = rankScores(list, tally(40, 7, 1));
    ASSERT_EQ(ranked.size(), values.size());
    EXPECT_EQ(ranked[2], (RankedRow{"T3", 30, 12}));

    const std::vector<int> bands = {17, 14, 11, 11, 7, 4, 2, 1};
    RankedRows want;
    for (std::size_t r = 0; r < bands.size(); ++r)
        want.push_back({"T" + std::to_string(r + 1), values[r], bands[r]});
    EXPECT_EQ(deleteBottomQuarter(ranked), want);
}

} // namespace
