// A ranking run's pages on their own: sources dropped or the run stopped
// while workers still read pages for it.
#include "rank/prefetch.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "testsupport.h"

namespace veltrop {
namespace {

using namespace std::chrono_literals;

// A fund-holdings page of `rows` holdings, long enough (about 1 MB) that
// indexing and walking it takes milliseconds, with a next-page link when
// `next` is given.
std::string holdingsPage(int rows, const std::string& next)
{
    std::string html = "<html><body>";
    for (int t = 1; t <= 10; ++t)
        html += "<table><tr><td>layout</td></tr></table>";
    html += "<table><tr><td>Fund</td></tr><tr><td>Name</td><td></td><td>Shares</td></tr>";
    const std::string padding(150, 'x');
    for (int r = 3; r < 3 + 2 * rows; r += 2) {
        const std::string link = r == 53 && !next.empty() ? "<a href=\"" + next + "\">Next 25</a>" : "";
        html += "<tr><td>Fund " + padding + "</td><td>" + link + "</td><td>1,000</td></tr><tr><td>-</td></tr>";
    }
    return html + "</table></body></html>";
}

class RankPrefetchTest : public ::testing::Test {
protected:
    simweb::Server web;
    veltrop::testing::ProxyRoute route{web.proxyUrl()};
    FetchPool engine;
    const RankSource& funds = *rankSourceByIndex(6);
    const RankSource& momentum = *rankSourceByIndex(0);
    std::vector<std::string> tickers;

    void SetUp() override
    {
        for (int i = 0; i < 24; ++i)
            tickers.push_back("F" + std::to_string(i));
        for (const std::string& t : tickers) {
            const std::string first = *rankAddress(funds, t);
            web.setPage(first, holdingsPage(2500, first + "&page=2"));
            web.setPage(first + "&page=2", holdingsPage(2500, {}));
            // The momentum rating stands in cell (14, 2, 2).
            std::string rating;
            for (int table = 1; table <= 13; ++table)
                rating += "<table><tr><td>-</td></tr></table>";
            web.setPage(*rankAddress(momentum, t), rating + "<table><tr><td>h</td></tr><tr><td>-</td><td>7</td></tr></table>");
        }
    }
    std::vector<std::string> addresses(const RankSource& source) const
    {
        std::vector<std::string> urls;
        for (const std::string& t : tickers)
            urls.push_back(*rankAddress(source, t));
        return urls;
    }
};

TEST_F(RankPrefetchTest, DroppingASourceWhileWorkersWalkItsPagesLeavesTheOthersWhole)
{
    for (int round = 0; round < 4; ++round) {
        RankPrefetch prefetch(engine, 0);
        prefetch.hold();
        prefetch.plan(funds, addresses(funds));
        prefetch.plan(momentum, addresses(momentum));
        prefetch.release();
        // Late enough that walks are under way on the workers.
        std::this_thread::sleep_for(std::chrono::milliseconds(40 + 30 * round));
        prefetch.drop(funds);
        EXPECT_FALSE(prefetch.take(funds, 3, {}, {}).opened) << "a dropped source has nothing left";
        for (int row = 1; row <= int(tickers.size()); ++row) {
            const PageOutcome outcome = prefetch.take(momentum, row, {}, {});
            ASSERT_TRUE(outcome.opened) << row;
            EXPECT_EQ(outcome.points, Points::record(7));
        }
    }
}

TEST_F(RankPrefetchTest, AWalkCountsEveryPageAndAbortEndsEverything)
{
    RankPrefetch prefetch(engine, 0);
    prefetch.plan(funds, addresses(funds));
    EXPECT_EQ(prefetch.take(funds, 1, {}, {}).points, Points::record(5000));

    RankPrefetch stopped(engine, 0);
    stopped.plan(funds, addresses(funds));
    std::this_thread::sleep_for(50ms);
    const auto start = std::chrono::steady_clock::now();
    stopped.abort();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
    EXPECT_FALSE(stopped.take(funds, 2, {}, {}).opened);
}

} // namespace
} // namespace veltrop
