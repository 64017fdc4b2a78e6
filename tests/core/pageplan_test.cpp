// Pages read ahead on their own: reads dropped or the plan stopped while
// workers still read pages for it, on the rank sources' pages.
#include "web/pageplan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "rank/ranksources.h"
#include "testsupport.h"

namespace veltrop {
namespace {

using namespace std::chrono_literals;

// Reads in the order a ranking run asks for them: sources in run order, rows
// in table order.
std::uint64_t rankKey(const RankSource& source, int row)
{
    return std::uint64_t(&source - rankSources().data()) * 1000 + std::uint64_t(row);
}

// A fund-holdings page of `rows` holdings (2,500 make about 1 MB, long
// enough that walking it takes a millisecond or more), with a next-page
// link when `next` is given.
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

class PagePlanTest : public ::testing::Test {
protected:
    simweb::Server web;
    veltrop::testing::ProxyRoute route{web.proxyUrl()};
    FetchPool engine;
    const RankSource& funds = *veltrop::testing::rankSourceInBox(6);
    const RankSource& momentum = *veltrop::testing::rankSourceInBox(0);
    std::vector<std::string> tickers;

    void SetUp() override
    {
        // A list may hold a ticker more than once: every read of it shares
        // its first page, which a worker then walks once for each of them,
        // so most of the work is walking rather than indexing.
        for (int i = 0; i < 24; ++i)
            tickers.push_back("F" + std::to_string(i % 2));
        for (const std::string& t : tickers) {
            const std::string first = *rankAddress(funds, t);
            web.setPage(first, holdingsPage(2500, first + "&page=2"));
            web.setPage(first + "&page=2", holdingsPage(30, {}));
            // The momentum rating stands in cell (14, 2, 2).
            std::string rating;
            for (int table = 1; table <= 13; ++table)
                rating += "<table><tr><td>-</td></tr></table>";
            web.setPage(*rankAddress(momentum, t), rating + "<table><tr><td>h</td></tr><tr><td>-</td><td>7</td></tr></table>");
        }
    }
    void plan(PagePlan& pages, const RankSource& source) const
    {
        for (std::size_t row = 1; row <= tickers.size(); ++row)
            pages.plan(rankKey(source, int(row)), *rankAddress(source, tickers[row - 1]),
                       readerFor(source));
    }
    static void drop(PagePlan& pages, const RankSource& source)
    {
        pages.drop(rankKey(source, 0), rankKey(source, maxTickers));
    }
    static std::optional<Points> take(PagePlan& pages, const RankSource& source, int row)
    {
        const auto read = pages.take<RankReader>(rankKey(source, row), {});
        if (!read)
            return std::nullopt;
        return read->points(0);
    }
};

TEST_F(PagePlanTest, DroppingReadsWhileWorkersWalkTheirPagesLeavesTheOthersWhole)
{
    // How long the walks take here (sanitizer builds are many times slower).
    const auto start = std::chrono::steady_clock::now();
    {
        PagePlan pages(engine, 0);
        plan(pages, funds);
        for (int row = 1; row <= int(tickers.size()); ++row)
            ASSERT_EQ(take(pages, funds, row), Points::record(2530));
    }
    const auto walks = std::chrono::steady_clock::now() - start;
    // Each round drops the fund count at another moment of its walks, so
    // that drops come while a worker walks a holdings page for it.
    constexpr int rounds = 10;
    for (int round = 1; round <= rounds; ++round) {
        PagePlan pages(engine, 0);
        pages.hold();
        plan(pages, funds);
        plan(pages, momentum);
        pages.release();
        std::this_thread::sleep_for(walks * round / (rounds + 1));
        drop(pages, funds);
        EXPECT_FALSE(take(pages, funds, 3)) << "a dropped read has nothing left";
        for (int row = 1; row <= int(tickers.size()); ++row)
            ASSERT_EQ(take(pages, momentum, row), Points::record(7)) << row;
    }
}

TEST_F(PagePlanTest, AWalkCountsEveryPageAndAbortEndsEverything)
{
    PagePlan pages(engine, 0);
    plan(pages, funds);
    EXPECT_EQ(take(pages, funds, 1), Points::record(2530));

    // Ended by abort(), or by the stop it was made with (a closing window).
    for (const bool byStop : {false, true}) {
        std::stop_source closing;
        PagePlan stopped(engine, 0, closing.get_token());
        plan(stopped, funds);
        std::this_thread::sleep_for(50ms);
        const auto start = std::chrono::steady_clock::now();
        if (byStop)
            closing.request_stop();
        else
            stopped.abort();
        EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
        EXPECT_FALSE(take(stopped, funds, 2)) << byStop;
    }
}

// Takes a read, but gives up (aborting the plan) after `limit`, so that a
// take that would wait for ever fails the test instead of hanging it.
template <class Reader = PageReader>
std::shared_ptr<Reader> takeWithin(PagePlan& pages, PagePlan::Key key, std::chrono::seconds limit, bool& hung,
                                   std::stop_token cancel = {}, FetchPool::Failure* why = nullptr)
{
    std::jthread watchdog([&](std::stop_token taken) {
        std::mutex mutex;
        std::condition_variable_any never;
        std::unique_lock lock(mutex);
        if (!never.wait_for(lock, taken, limit, [] { return false; }) && !taken.stop_requested()) {
            hung = true;
            pages.abort();
        }
    });
    return pages.take<Reader>(key, cancel, why);
}

TEST_F(PagePlanTest, ACancelledTakeEndsEveryOtherReadAndLeavesThePlanWhole)
{
    web.setLatency(100);
    PagePlan pages(engine, 0);
    plan(pages, momentum);
    plan(pages, funds);
    EXPECT_EQ(pages.inconsistency(), "");
    bool hung = false;
    std::stop_source cancel;
    cancel.request_stop();
    takeWithin(pages, rankKey(momentum, 1), 10s, hung, cancel.get_token());
    EXPECT_EQ(pages.inconsistency(), "");
    // Every other read is still there and ends: none waits on a page nobody
    // asks for any more.
    for (const RankSource* source : {&momentum, &funds})
        for (int row = 2; row <= int(tickers.size()) && !hung; ++row)
            takeWithin(pages, rankKey(*source, row), 10s, hung);
    EXPECT_FALSE(hung);
}

TEST_F(PagePlanTest, AReaderThatThrowsAnythingFailsItsPageAndTheOthersGoOn)
{
    struct Throwing : PageReader {
        std::string read(const PageView&, const std::string&) override { throw 42; }
    };
    PagePlan pages(engine, 0);
    pages.plan(1, *rankAddress(momentum, tickers[0]), std::make_shared<Throwing>());
    pages.plan(2, *rankAddress(momentum, tickers[0]), readerFor(momentum));
    bool hung = false;
    FetchPool::Failure why;
    EXPECT_FALSE(takeWithin(pages, 1, 10s, hung, {}, &why));
    EXPECT_FALSE(hung);
    EXPECT_EQ(why.reason, FetchPool::Failure::Reason::Unreadable);
    const auto read = takeWithin<RankReader>(pages, 2, 10s, hung);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->points(0), Points::record(7));
}


// Logs each page its read reads, and walks on to the next of `further`, if any.
struct Logged : PageReader {
    struct Log {
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<std::string> urls;
        bool waitFor(std::size_t n, std::chrono::milliseconds limit)
        {
            std::unique_lock lock(mutex);
            return changed.wait_for(lock, limit, [&] { return urls.size() >= n; });
        }
    };
    Logged(std::shared_ptr<Log> log, std::vector<std::string> further = {}) : log(std::move(log)), further(further) {}
    std::string read(const PageView&, const std::string& url) override
    {
        std::lock_guard lock(log->mutex);
        log->urls.push_back(url);
        log->changed.notify_all();
        return next < further.size() ? further[next++] : std::string();
    }
    std::shared_ptr<Log> log;
    std::vector<std::string> further;
    std::size_t next = 0;
};

std::string numbered(simweb::Server& web, int n)
{
    const std::string url = "http://www.nasdaq.com/p" + std::to_string(n) + ".html";
    web.setPage(url, "<p>" + std::to_string(n) + "</p>");
    return url;
}

TEST(PagePlanLookahead, AtMostThatManyPagesAskedAndNotYetTakenTheLowestKeyFirst)
{
    struct Row {
        int lookahead;
        std::vector<int> planned;  // in this order
        std::vector<int> readFirst;
        std::vector<int> takenFirst;  // then taken, in this order
        std::vector<int> readThen;
        int peak;  // most asked of the site at once
    };
    const Row rows[] = {
        // One page after another: the next once the loop asks for the next read.
        {1, {1, 3, 2}, {1}, {1}, {1}, 1},
        // A place goes to the lowest key waiting, not to the first planned.
        {2, {1, 4, 3, 2}, {1, 4}, {1, 4}, {1, 2, 4}, 2},
        {0, {0, 1, 2, 3, 4, 5}, {0, 1, 2, 3, 4, 5}, {}, {0, 1, 2, 3, 4, 5}, 6},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.lookahead);
        simweb::Server web;
        veltrop::testing::ProxyRoute route{web.proxyUrl()};
        web.setLatency(100);
        FetchPool engine;
        auto log = std::make_shared<Logged::Log>();
        const auto expectRead = [&](const std::vector<int>& keys) {
            ASSERT_TRUE(log->waitFor(keys.size(), 5s));
            EXPECT_FALSE(log->waitFor(keys.size() + 1, 300ms)) << "a page past the look-ahead was asked for";
            std::vector<std::string> read = log->urls, expected;
            std::sort(read.begin(), read.end());
            for (int key : keys)
                expected.push_back(numbered(web, key));
            EXPECT_EQ(read, expected);
        };
        PagePlan pages(engine, row.lookahead);
        for (int key : row.planned)
            pages.plan(PagePlan::Key(key), numbered(web, key), std::make_shared<Logged>(log));
        expectRead(row.readFirst);
        for (int key : row.takenFirst)
            EXPECT_TRUE(pages.take<Logged>(PagePlan::Key(key), {}));
        expectRead(row.readThen);
        std::vector<int> rest = row.planned;
        std::sort(rest.begin(), rest.end());
        for (int key : rest)
            if (std::find(row.takenFirst.begin(), row.takenFirst.end(), key) == row.takenFirst.end()) {
                EXPECT_TRUE(pages.take<Logged>(PagePlan::Key(key), {}));
            }
        if (row.lookahead == 1) {
            EXPECT_EQ(log->urls, (std::vector<std::string>{numbered(web, 1), numbered(web, 2), numbered(web, 3)}));
        }
        EXPECT_EQ(web.peakConcurrentRequests("www.nasdaq.com"), row.peak);
    }
}

TEST(PagePlanLookahead, TheLoopsPageGoesPastTheLimitAWalkedPageFreesItsPlaceADroppedOneIsNotRead)
{
    simweb::Server web;
    veltrop::testing::ProxyRoute route{web.proxyUrl()};
    FetchPool engine;
    auto log = std::make_shared<Logged::Log>();
    {
        PagePlan pages(engine, 1);
        pages.plan(1, numbered(web, 1), std::make_shared<Logged>(log));
        pages.plan(9, numbered(web, 9), std::make_shared<Logged>(log));
        ASSERT_TRUE(log->waitFor(1, 5s));
        EXPECT_TRUE(pages.take<Logged>(9, {})) << "page 1, not yet taken, holds the one place";
    }
    {
        PagePlan pages(engine, 1);
        pages.plan(20, numbered(web, 20),
                   std::make_shared<Logged>(log, std::vector{numbered(web, 21), numbered(web, 22), numbered(web, 23)}));
        EXPECT_TRUE(log->waitFor(6, 5s)) << "a page its read walked on from needs no take to free its place";
    }
    {
        web.setLatency(100);
        PagePlan pages(engine, 0);
        for (int n = 30; n <= 36; ++n)
            pages.plan(PagePlan::Key(n), numbered(web, n), std::make_shared<Logged>(log));
        pages.drop(36, 36);
        ASSERT_TRUE(log->waitFor(12, 5s));
        EXPECT_FALSE(log->waitFor(13, 300ms));
    }
}

} // namespace
} // namespace veltrop
