// A ranking run that fetches its pages ahead shows exactly what a run that
// reads one page after another shows: the same scores, grid, captions,
// messages and progress texts, whatever fails, stalls or is changed during
// the run.
#include <functional>
#include <set>
#include <thread>

#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "rank/ranksources.h"
#include "windowrun.h"
#include "testsupport.h"
#include "tools/simweb/market.h"
#include "tools/simweb/quotemodel.h"

using namespace veltrop;
using veltrop::testing::press;
using namespace std::chrono_literals;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RankRunResult;

namespace {

std::vector<std::string> spread(std::size_t count)
{
    const std::vector<std::string>& universe = simweb::Market::instance().universe();
    std::vector<std::string> tickers;
    for (std::size_t i = 0; i < count; ++i)
        tickers.push_back(universe[(i * 37 + 11) % universe.size()]);
    return tickers;
}

// Tickers the quote page shows plainly, above both limits: they all reach
// the ranking.
std::vector<std::string> keepers(std::size_t count) { return veltrop::testing::keptTickers(count, 5); }

using veltrop::testing::rankPrefix;

class FetchAhead : public ::testing::Test {
protected:
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};

    // Runs Rank Lists over `tickers` with the `boxes` ticked, reading pages
    // one after another or ahead; `during` is called whenever the window
    // would get its turn.
    static RankRunResult run(bool ahead, const std::vector<std::string>& tickers, std::initializer_list<int> boxes,
                             const std::function<void(WindowController&)>& during = {})
    {
        return veltrop::testing::runRankLists(tickers, boxes, ahead ? 0 : 1, during);
    }
    static void expectSame(const RankRunResult& sequential, const RankRunResult& ahead)
    {
        veltrop::testing::expectSameRun(sequential, ahead);
    }
};

TEST_F(FetchAhead, EverySourceGivesTheSameResults)
{
    const std::vector<std::string> tickers = spread(36);
    std::initializer_list<int> all = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const RankRunResult sequential = run(false, tickers, all);
    const RankRunResult ahead = run(true, tickers, all);
    expectSame(sequential, ahead);
    EXPECT_GT(sequential.table.size(), 10u) << "the premise: a run that ranks";
}

TEST_F(FetchAhead, ProgressAndRecordedScoresShowInTheSameOrder)
{
    web.setLatency(25);  // every page wait gives the window its turn
    const std::vector<std::string> tickers = keepers(12);
    const RankRunResult sequential = run(false, tickers, {0, 6, 16});
    const RankRunResult ahead = run(true, tickers, {0, 6, 16});
    expectSame(sequential, ahead);
    EXPECT_EQ(ahead.progress, sequential.progress);
    EXPECT_EQ(ahead.captions, sequential.captions);
    EXPECT_EQ(sequential.progress.size(), 36u);
}

TEST_F(FetchAhead, AFailingTenthPageEndsItsSourceAlike)
{
    const std::vector<std::string> tickers = keepers(16);
    // The Telescan page is shared by nine sources: each that reaches it
    // meets the failure again.
    web.setFault(rankPrefix(2) + tickers[9], simweb::Fault::NotFound);
    web.setFault("http://investor.cnet.com/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-" +
                     tickers[9],
                 simweb::Fault::ServerError);
    const RankRunResult sequential = run(false, tickers, {0, 2, 3, 14, 5});
    const RankRunResult ahead = run(true, tickers, {0, 2, 3, 14, 5});
    expectSame(sequential, ahead);
}

TEST_F(FetchAhead, AStalledPageAmongFastOnes)
{
    web.setStallLimit(400ms);
    const std::vector<std::string> tickers = keepers(14);
    // A head, then silence: a page that is late, not one that closed before
    // answering, which would be asked for again.
    web.setFault(rankPrefix(5) + tickers[4], simweb::Fault::HeadersThenSilence);
    const auto start = std::chrono::steady_clock::now();
    const RankRunResult ahead = run(true, tickers, {0, 5, 8});
    const auto took = std::chrono::steady_clock::now() - start;
    const RankRunResult sequential = run(false, tickers, {0, 5, 8});
    expectSame(sequential, ahead);
    EXPECT_LT(took, 3s) << "the stall holds up only its own source";
}

TEST_F(FetchAhead, CancelDuringASource)
{
    web.setLatency(25);
    const std::vector<std::string> tickers = keepers(12);
    // Cancel while the second source's fifth ticker is in progress.
    const auto cancelAt = [](WindowController& window) {
        if (window.progressLabel.caption.starts_with(" 19 to go... "))
            press(window, Command::Cancel);
    };
    const RankRunResult sequential = run(false, tickers, {0, 5, 7}, cancelAt);
    const RankRunResult ahead = run(true, tickers, {0, 5, 7}, cancelAt);
    expectSame(sequential, ahead);
    EXPECT_EQ(ahead.progress, sequential.progress);
    EXPECT_EQ(sequential.progress.back().substr(0, 13), " 19 to go... ");
}

TEST_F(FetchAhead, ClosingWhileTheRunsPagesArePlannedEndsItWithoutMessages)
{
    web.setLatency(25);
    const std::vector<std::string> tickers = keepers(500);
    // The window's first turn after the filter's pages are in comes while
    // the run's pages are planned or soon after, before its first ticker.
    bool closed = false;
    const auto closeAt = [&](WindowController& window) {
        if (closed || window.progressLabel.caption != "Filtering...")
            return;
        // The filter's seven quote pages are all in once it has ended.
        const FetchPool::Counters engine = window.fetchpool().counters();
        if (engine.started < 7 || engine.inFlight > 0)
            return;
        closed = true;
        window.requestClose();
    };
    const auto start = std::chrono::steady_clock::now();
    const RankRunResult run = this->run(true, tickers, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
                                        closeAt);
    EXPECT_TRUE(closed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    EXPECT_TRUE(run.messages.empty());
    EXPECT_LE(run.progress.size(), 17u) << "each source stops at its first ticker";
}

TEST_F(FetchAhead, BoxesChangedDuringTheRun)
{
    web.setLatency(25);
    const std::vector<std::string> tickers = keepers(10);
    // During the first source: the fund count is unticked, the guru
    // average ticked.
    const auto change = [](WindowController& window) {
        if (window.progressLabel.caption.starts_with(" 27 to go... ")) {
            window.rankBoxes[6].value = 0;
            window.rankBoxes[8].value = 1;
        }
    };
    web.clearRequests();
    const RankRunResult sequential = run(false, tickers, {0, 6, 16}, change);
    const RankRunResult ahead = run(true, tickers, {0, 6, 16}, change);
    expectSame(sequential, ahead);
    EXPECT_EQ(ahead.progress, sequential.progress);
}

TEST_F(FetchAhead, TheFiltersBatchesAtOnceKeepTheSameTickers)
{
    const std::vector<std::string> tickers = spread(200);
    RankRunResult sequential = run(false, tickers, {0});
    RankRunResult ahead = run(true, tickers, {0});
    expectSame(sequential, ahead);

    // The second request names tickers 1 to 160, the third 1 to 200 and
    // starts the same way: both fail, with a message each, in order.
    std::string query;
    for (std::size_t i = 0; i < 81; ++i)
        query += tickers[i] + "+";
    web.setFault("http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=" + query, simweb::Fault::NotFound);
    sequential = run(false, tickers, {0});
    ahead = run(true, tickers, {0});
    expectSame(sequential, ahead);
    EXPECT_EQ(ahead.messages.size(), 2u);
}

TEST_F(FetchAhead, FundCountOverSeveralPages)
{
    const std::vector<std::string> tickers = keepers(30);
    const RankRunResult sequential = run(false, tickers, {6});
    web.clearRequests();
    const RankRunResult ahead = run(true, tickers, {6});
    expectSame(sequential, ahead);
    std::size_t nextPages = 0;
    for (const std::string& url : web.requests())
        nextPages += url.find("page=") != std::string::npos;
    EXPECT_GT(nextPages, 5u) << "the premise: walks over several pages";
}

TEST_F(FetchAhead, OneFetchPerAddressAndAtMostSixAtOnceToAHost)
{
    web.setLatency(30);
    const std::vector<std::string> tickers = keepers(40);
    web.clearRequests();
    run(true, tickers, {2, 3, 4, 9, 10, 11, 12, 13, 14, 5, 7});
    std::multiset<std::string> telescan, barchart;
    for (const std::string& url : web.requests()) {
        if (url.starts_with(rankPrefix(2)))
            telescan.insert(url);
        if (url.starts_with("http://www.barchart.com/"))
            barchart.insert(url);
    }
    EXPECT_EQ(telescan.size(), tickers.size()) << "nine sources, one page per ticker";
    EXPECT_EQ(std::set<std::string>(telescan.begin(), telescan.end()).size(), tickers.size());
    EXPECT_EQ(barchart.size(), 2 * tickers.size());
    EXPECT_LE(web.peakConcurrentRequests("www.barchart.com"), 6);
    EXPECT_LE(web.peakConcurrentRequests("www.telescan.com"), 6);
    EXPECT_GE(web.peakConcurrentRequests("www.barchart.com"), 4) << "the premise: transfers at once";
}

} // namespace
