// How far ahead of its loop a command reads: the look-ahead over the engine.
#include "web/lookahead.h"

#include "tools/simweb/server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

namespace veltrop {
namespace {

using namespace std::chrono_literals;

class LookAheadTest : public ::testing::Test {
protected:
    simweb::Server web;
    FetchPool engine;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> arrived;

    void SetUp() override { setenv("http_proxy", web.proxyUrl().c_str(), 1); }
    void TearDown() override { unsetenv("http_proxy"); }

    // Asks for page `n`; the page is kept for the loop unless `usedUp`.
    LookAhead::Token ask(LookAhead& ahead, int n, bool usedUp = false)
    {
        const std::string url = "http://www.nasdaq.com/p" + std::to_string(n) + ".html";
        web.setPage(url, "<p>" + std::to_string(n) + "</p>");
        FetchPool::Request request;
        request.url = url;
        request.order = std::uint64_t(n);
        return ahead.ask(request, [this, url, usedUp](FetchPool::Arrival&) {
            std::lock_guard lock(mutex);
            arrived.push_back(url);
            changed.notify_all();
            return usedUp;
        });
    }
    bool waitForArrivals(std::size_t n, std::chrono::milliseconds limit = 5s)
    {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, limit, [&] { return arrived.size() >= n; });
    }
};

TEST_F(LookAheadTest, OneReadsOnePageAfterAnotherAsTheLoopTakesThem)
{
    LookAhead ahead(engine, 1);
    std::vector<LookAhead::Token> tokens;
    for (int n : {1, 3, 2})
        tokens.push_back(ask(ahead, n));
    ASSERT_TRUE(waitForArrivals(1));
    EXPECT_FALSE(waitForArrivals(2, 200ms)) << "the next page waits until the loop took the first";
    ahead.release(tokens[0]);
    ASSERT_TRUE(waitForArrivals(2));
    ahead.release(tokens[2]);
    ASSERT_TRUE(waitForArrivals(3));
    const std::string at = "http://www.nasdaq.com/p";
    EXPECT_EQ(arrived, (std::vector<std::string>{at + "1.html", at + "2.html", at + "3.html"}))
        << "the lowest order waiting goes next";
    EXPECT_EQ(web.peakConcurrentRequests("www.nasdaq.com"), 1);
}

TEST_F(LookAheadTest, AHurriedPageGoesPastTheLimitAndAUsedUpOneFreesItsPlace)
{
    LookAhead ahead(engine, 1);
    ask(ahead, 1);
    const LookAhead::Token late = ask(ahead, 9);
    ASSERT_TRUE(waitForArrivals(1));
    ahead.hurry(late);
    ASSERT_TRUE(waitForArrivals(2));

    LookAhead usedUp(engine, 1);
    for (int n = 20; n < 24; ++n)
        ask(usedUp, n, true);
    EXPECT_TRUE(waitForArrivals(6)) << "pages their handlers used up need no release";
}

TEST_F(LookAheadTest, NoLimitAsksForEveryPageAtOnceAndForgettingOneDropsIt)
{
    web.setLatency(100);
    LookAhead ahead(engine, 0);
    for (int n = 0; n < 6; ++n)
        ask(ahead, n);
    const LookAhead::Token dropped = ask(ahead, 6);
    ahead.forget(dropped);
    ASSERT_TRUE(waitForArrivals(6));
    EXPECT_FALSE(waitForArrivals(7, 300ms));
    EXPECT_EQ(web.peakConcurrentRequests("www.nasdaq.com"), 6);
}

} // namespace
} // namespace veltrop
