// The fetch engine on its own, against the simulated web on loopback.
#include "web/fetchpool.h"

#include "tools/simweb/server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <variant>
#include <vector>

namespace veltrop {
namespace {

using namespace std::chrono_literals;

// Counts arrivals and lets a test wait for them, bounded.
struct Arrivals {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> opened;  // addresses of pages that opened, in order of arrival
    int count = 0;

    FetchPool::Handler handler()
    {
        return [this](FetchPool::Arrival& arrival) {
            std::lock_guard lock(mutex);
            if (arrival.page)
                opened.push_back(arrival.finalUrl);
            ++count;
            changed.notify_all();
        };
    }
    bool waitFor(int n, std::chrono::milliseconds limit = 10s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return count >= n; });
    }
};

class FetchPoolTest : public ::testing::Test {
protected:
    simweb::Server web;
    std::string oldProxy = std::getenv("http_proxy") ? std::getenv("http_proxy") : "";

    void SetUp() override { setenv("http_proxy", web.proxyUrl().c_str(), 1); }
    void TearDown() override
    {
        if (oldProxy.empty())
            unsetenv("http_proxy");
        else
            setenv("http_proxy", oldProxy.c_str(), 1);
    }

    std::string page(const std::string& host, int n)
    {
        const std::string url = "http://" + host + "/p" + std::to_string(n) + ".html";
        web.setPage(url, "<table><tr><td>" + std::to_string(n) + "</td></tr></table>");
        return url;
    }
    static FetchPool::Request request(std::string url, std::uint64_t order = 0)
    {
        FetchPool::Request r;
        r.url = std::move(url);
        r.order = order;
        return r;
    }
};

TEST_F(FetchPoolTest, AtMostNToAHostAndMInAll)
{
    web.setLatency(80);
    FetchPool::Limits limits;
    limits.perHost = 3;
    limits.total = 5;
    FetchPool pool(limits);
    Arrivals arrivals;
    for (int i = 0; i < 12; ++i)
        for (const char* host : {"www.nasdaq.com", "www.barchart.com"})
            pool.fetch(request(page(host, i)), arrivals.handler());
    ASSERT_TRUE(arrivals.waitFor(24));
    EXPECT_EQ(arrivals.opened.size(), 24u);
    const int nasdaq = web.peakConcurrentRequests("www.nasdaq.com");
    const int barchart = web.peakConcurrentRequests("www.barchart.com");
    EXPECT_LE(nasdaq, 3);
    EXPECT_LE(barchart, 3);
    EXPECT_EQ(std::max(nasdaq, barchart), 3);
    EXPECT_EQ(pool.counters().peakTotal, 5);
}

TEST_F(FetchPoolTest, LowestOrderFirstAndAHurriedPageBeforeThem)
{
    FetchPool::Limits limits;
    limits.perHost = 1;
    FetchPool pool(limits);
    Arrivals arrivals;
    // The first page holds the host's one place while the others queue: the
    // server answers it only after the stall limit, and the queue is built
    // once its request has arrived, however slowly the machine runs.
    web.setStallLimit(500ms);
    const std::string first = page("www.nasdaq.com", 0);
    web.setFault(first, simweb::Fault::Slow);
    pool.fetch(request(first, 0), arrivals.handler());
    for (int tries = 0; web.requests().empty() && tries < 1000; ++tries)
        std::this_thread::sleep_for(5ms);
    ASSERT_EQ(web.requests(), std::vector<std::string>{first});
    pool.fetch(request(page("www.nasdaq.com", 7), 7), arrivals.handler());
    pool.fetch(request(page("www.nasdaq.com", 3), 3), arrivals.handler());
    const FetchPool::Id late = pool.fetch(request(page("www.nasdaq.com", 9), 9), arrivals.handler());
    pool.fetch(request(page("www.nasdaq.com", 5), 5), arrivals.handler());
    pool.hurry(late);
    ASSERT_TRUE(arrivals.waitFor(5));
    // The order the server was asked in: the handlers run on several
    // workers, so the order they end in is not the pool's.
    const std::string at = "http://www.nasdaq.com/p";
    EXPECT_EQ(web.requests(), (std::vector<std::string>{at + "0.html", at + "9.html", at + "3.html", at + "5.html",
                                                        at + "7.html"}));
}

TEST_F(FetchPoolTest, AHostsOwnRulesHoldAsTheSiteSeesThemAndEveryRequestSaysWhoAsks)
{
    FetchPool pool;
    pool.setSiteRules({{"www.nasdaq.com", {2, 0ms}}, {"www.barchart.com", {6, 150ms}}}, "Mine/2");
    web.setLatency(100);
    Arrivals nasdaq, barchart;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < 6; ++i)
        pool.fetch(request(page("www.nasdaq.com", i)), nasdaq.handler());
    for (int i = 0; i < 4; ++i)
        pool.fetch(request(page("www.barchart.com", i)), barchart.handler());
    ASSERT_TRUE(nasdaq.waitFor(6));
    ASSERT_TRUE(barchart.waitFor(4));
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(web.peakConcurrentRequests("www.nasdaq.com"), 2);
    // Four starts at least 150 ms apart: the last starts 450 ms after the first.
    EXPECT_GE(took, 450ms);
    EXPECT_EQ(web.peakConcurrentRequests("www.barchart.com"), 1) << "each ends before the next may start";
    const std::vector<std::string> heads = web.requestHeads();
    ASSERT_EQ(heads.size(), 10u);
    for (const std::string& head : heads)
        EXPECT_NE(head.find("\r\nUser-Agent: Mine/2"), std::string::npos) << head;
}

TEST_F(FetchPoolTest, CancelNeverWaitsForAHandlerThatRunsAndStopsOneThatHasNot)
{
    FetchPool::Limits limits;
    limits.workers = 1;
    FetchPool pool(limits);
    std::atomic<bool> started = false, finished = false, secondCalled = false;
    const FetchPool::Id first = pool.fetch(request(page("www.nasdaq.com", 1)), [&](FetchPool::Arrival&) {
        started = true;
        std::this_thread::sleep_for(300ms);
        finished = true;
    });
    for (int i = 0; i < 500 && !started; ++i)
        std::this_thread::sleep_for(2ms);
    ASSERT_TRUE(started);
    // Waits for the one worker behind the first handler.
    const FetchPool::Id second =
        pool.fetch(request(page("www.nasdaq.com", 2)), [&](FetchPool::Arrival&) { secondCalled = true; });
    std::this_thread::sleep_for(100ms);  // the second page has arrived meanwhile
    pool.cancel(second);
    pool.cancel(first);
    EXPECT_FALSE(finished) << "cancel waited for the handler: the window's thread would have stalled";
    std::this_thread::sleep_for(400ms);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(secondCalled) << "a handler ran after its page was cancelled";
}

TEST_F(FetchPoolTest, AHandlerThatThrowsEndsNothingButItself)
{
    FetchPool pool;
    Arrivals arrivals;
    pool.fetch(request(page("www.nasdaq.com", 1)), [](FetchPool::Arrival&) { throw std::runtime_error("boom"); });
    pool.fetch(request(page("www.nasdaq.com", 2)), [](FetchPool::Arrival&) { throw 42; });
    pool.fetch(request(page("www.nasdaq.com", 3)), arrivals.handler());
    ASSERT_TRUE(arrivals.waitFor(1));
    for (int i = 0; i < 100 && pool.counters().handlerFailures < 2; ++i)
        std::this_thread::sleep_for(10ms);
    EXPECT_EQ(pool.counters().handlerFailures, 2u);
    pool.fetch(request(page("www.nasdaq.com", 4)), arrivals.handler());
    EXPECT_TRUE(arrivals.waitFor(2)) << "the workers go on";
}

TEST_F(FetchPoolTest, SlowWorkersHoldBackNewTransfersNotTheOnesInFlight)
{
    // Handlers far slower than the site. Before, the network thread stopped
    // while answers waited for the worker, so a stalled page was found to
    // have failed well after its time limit, and then waited its turn.
    FetchPool::Limits limits;
    limits.workers = 1;
    limits.waiting = 1;
    limits.total = 4;
    FetchPool pool(limits);
    web.setStallLimit(30s);
    web.setLatency(50);
    const std::string stalled = page("www.barchart.com", 99);
    web.setFault(stalled, simweb::Fault::Stall);
    const auto start = std::chrono::steady_clock::now();
    std::atomic<long> stalledEndedMs{-1};
    FetchPool::Request r = request(stalled);
    r.timeLimitMilliseconds = 1000;
    pool.fetch(r, [&](FetchPool::Arrival& arrival) {
        EXPECT_EQ(arrival.failure.reason, FetchPool::Failure::Reason::TimedOut);
        stalledEndedMs = long(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - start).count());
    });
    std::this_thread::sleep_for(100ms);  // under way before the others queue
    Arrivals arrivals;
    constexpr int pages = 12;
    for (int i = 1; i <= pages; ++i) {
        FetchPool::Request fast = request(page("www.nasdaq.com", i));
        fast.timeLimitMilliseconds = 1000;
        pool.fetch(fast, [&, inner = arrivals.handler()](FetchPool::Arrival& arrival) {
            std::this_thread::sleep_for(300ms);  // 12 x 300 ms on one worker: well past each time limit
            inner(arrival);
        });
    }
    ASSERT_TRUE(arrivals.waitFor(pages, 30s));
    EXPECT_EQ(arrivals.opened.size(), std::size_t(pages)) << "a page timed out while it waited for a worker";
    EXPECT_LE(pool.counters().peakHeld, limits.total + limits.waiting);
    for (int i = 0; i < 100 && stalledEndedMs < 0; ++i)
        std::this_thread::sleep_for(50ms);
    EXPECT_GE(stalledEndedMs.load(), 950);
    // Its time limit, and the one handler that may be running then.
    // Its time limit, and the one handler that may be running then (before:
    // 1,650 ms or more).
    EXPECT_LE(stalledEndedMs.load(), 1000 + 300 + 250) << "a stalled page failed late";
}

TEST_F(FetchPoolTest, WithNoNetworkEveryPageFailsAtOnceAndFetchNeverWaits)
{
    FetchPool::Limits limits;
    limits.workers = 2;
    limits.waiting = 1;
    FetchPool pool(limits, [] { return nullptr; });
    // The asker holds a lock its handlers need while it asks for many more
    // pages than may wait, as the look-ahead does.
    std::mutex asker;
    Arrivals arrivals;
    std::atomic<int> noNetwork{0};
    {
        std::lock_guard hold(asker);
        for (int i = 1; i <= 30; ++i)
            pool.fetch(request(page("www.nasdaq.com", i)), [&, inner = arrivals.handler()](FetchPool::Arrival& a) {
                std::lock_guard lock(asker);
                noNetwork += a.failure.reason == FetchPool::Failure::Reason::NoNetwork;
                inner(a);
            });
    }
    ASSERT_TRUE(arrivals.waitFor(30));
    EXPECT_TRUE(arrivals.opened.empty());
    EXPECT_EQ(noNetwork.load(), 30);
}

TEST_F(FetchPoolTest, AFailedPageSaysWhy)
{
    using Reason = FetchPool::Failure::Reason;
    struct Row {
        simweb::Fault fault;
        Reason reason;
        long status;
        int retries;
    };
    const Row rows[] = {
        {simweb::Fault::None, Reason::None, 200, 0},
        {simweb::Fault::NotFound, Reason::Status, 404, 0},
        {simweb::Fault::ServerError, Reason::Status, 500, 0},
        {simweb::Fault::Unavailable, Reason::Status, 503, 2},
        {simweb::Fault::Drop, Reason::Reset, 0, 2},
        {simweb::Fault::Stall, Reason::TimedOut, 0, 0},
        {simweb::Fault::Oversize, Reason::TooLarge, 200, 0},
    };
    web.setStallLimit(10s);
    FetchPool::Limits limits;
    limits.retryPauseMilliseconds = 50;
    FetchPool pool(limits);
    std::mutex mutex;
    std::vector<std::optional<FetchPool::Failure>> failures(std::size(rows));
    Arrivals arrivals;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        FetchPool::Request r = request(page("www.barchart.com", int(i)));
        r.timeLimitMilliseconds = 1500;
        web.setFault(r.url, rows[i].fault);
        pool.fetch(r, [&, i, inner = arrivals.handler()](FetchPool::Arrival& a) {
            {
                std::lock_guard lock(mutex);
                failures[i] = a.failure;
            }
            inner(a);
        });
    }
    ASSERT_TRUE(arrivals.waitFor(int(std::size(rows))));
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(failures[i]);
        EXPECT_EQ(failures[i]->reason, rows[i].reason);
        EXPECT_EQ(failures[i]->status, rows[i].status);
        EXPECT_EQ(failures[i]->retries, rows[i].retries);
        EXPECT_EQ(failures[i]->timeLimitMilliseconds, 1500) << "what a person is told names the page's own limit";
    }

    // Nothing listens where the proxy should be.
    setenv("http_proxy", "http://127.0.0.1:9", 1);
    FetchPool refused;
    Arrivals one;
    std::optional<FetchPool::Failure> failure;
    refused.fetch(request("http://www.nasdaq.com/x"), [&, inner = one.handler()](FetchPool::Arrival& a) {
        failure = a.failure;
        inner(a);
    });
    ASSERT_TRUE(one.waitFor(1));
    EXPECT_EQ(failure->reason, Reason::Refused);
    EXPECT_FALSE(failure->detail.empty());
}

TEST_F(FetchPoolTest, PassingFailuresAreAskedAgainOthersAreFinal)
{
    using simweb::Fault;
    using simweb::RetryAfter;
    using simweb::StatusOnce;
    constexpr long usual = 1200;
    struct Row {
        std::variant<Fault, StatusOnce> fault;
        bool opens;
        std::size_t requests;
        long atLeastMs = 0;  // from the fetch to the arrival
        long underMs = 0;    // 0: no upper bound
        long timeLimitMs = 60'000;
    };
    const Row rows[] = {
        // The engine reads what the retry rules need from the transfer; the
        // rules themselves are retrypolicy_test's.
        {Fault::DropOnce, true, 2, usual},
        {Fault::UnavailableOnce, true, 2, 1000},  // Retry-After: 1
        {StatusOnce{502, RetryAfter::none()}, true, 2, usual},
        {StatusOnce{503, RetryAfter::dateIn(2)}, true, 2, 1900},
        {StatusOnce{503, RetryAfter::dateIn(3600)}, false, 1, 0, usual},  // past the time limit: no wait
        {Fault::Unavailable, false, 3, 2 * usual},
        {Fault::NotFound, false, 1},
        {Fault::ServerError, false, 1},
        {Fault::Garbage, false, 1},
        {Fault::Stall, false, 1, 0, 0, 1000},  // timed out
    };
    FetchPool::Limits limits;
    limits.retryPauseMilliseconds = usual;
    limits.perHost = int(std::size(rows));  // no row waits for another's place
    FetchPool pool(limits);
    Arrivals arrivals;
    std::vector<std::string> urls;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        urls.push_back(page("www.barchart.com", int(i)));
        std::visit([&](const auto& fault) { web.setFault(urls.back(), fault); }, rows[i].fault);
    }
    std::vector<long> tookMs(std::size(rows), -1);
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        FetchPool::Request r = request(urls[i]);
        r.timeLimitMilliseconds = rows[i].timeLimitMs;
        pool.fetch(r, [&, i, counted = arrivals.handler()](FetchPool::Arrival& arrival) {
            tookMs[i] = long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now()
                                                                                    - start).count());
            counted(arrival);
        });
    }
    ASSERT_TRUE(arrivals.waitFor(int(std::size(rows))));
    const std::vector<std::string> requests = web.requests();
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(urls[i]);
        EXPECT_EQ(std::count(arrivals.opened.begin(), arrivals.opened.end(), urls[i]), rows[i].opens ? 1 : 0);
        EXPECT_EQ(std::size_t(std::count(requests.begin(), requests.end(), urls[i])), rows[i].requests);
        EXPECT_GE(tookMs[i], rows[i].atLeastMs);
        if (rows[i].underMs > 0) {
            EXPECT_LT(tookMs[i], rows[i].underMs);
        }
    }
}

TEST_F(FetchPoolTest, OnlyTheStatusWhenNoPageIsWanted)
{
    FetchPool pool;
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<long> status;
    bool hadPage = true;
    FetchPool::Request r = request(page("www.nasdaq.com", 1));
    r.wantsPage = false;
    pool.fetch(r, [&](FetchPool::Arrival& arrival) {
        std::lock_guard lock(mutex);
        status = arrival.status;
        hadPage = arrival.page.has_value();
        changed.notify_all();
    });
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, 10s, [&] { return status.has_value(); }));
    EXPECT_EQ(*status, 200);
    EXPECT_FALSE(hadPage);
}

} // namespace
} // namespace veltrop
