// The fetcher against the simulated web on loopback, reached the way every
// outside site is reached: through the http_proxy setting.
#include "web/pagefetcher.h"
#include "web/fetchpool.h"

#include "tools/simweb/server.h"


#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace veltrop {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            setenv(name_, old_->c_str(), 1);
        else
            unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

class PageFetcherTest : public ::testing::Test {
protected:
    const std::string pageAddress = "http://www.nasdaq.com/test/page.html";

    simweb::Server server;
    ScopedEnv proxy{"http_proxy", server.proxyUrl().c_str()};
    ScopedEnv noProxy{"no_proxy", nullptr};
    ScopedEnv noProxyUpper{"NO_PROXY", nullptr};
    PageFetcher fetcher;
};

TEST_F(PageFetcherTest, OpensAPageAndAnswersFromIt)
{
    // The simulated web compresses every answer the client accepts compressed,
    // so this page also arrives gzip-encoded.
    server.setPage(pageAddress, "<table><tr><td>Symbol</td></tr><tr><td> IBM </td></tr></table>"
                                "<a href='next.html'>Next Page</a>");

    ASSERT_TRUE(fetcher.OpenPage(pageAddress, 5));
    EXPECT_EQ(fetcher.GetCellText(1, 2, 1), "IBM");
    EXPECT_EQ(fetcher.FindLinkUrl("Next Page"), "http://www.nasdaq.com/test/next.html");
    EXPECT_EQ(fetcher.GetPageText(), "Symbol\nIBM\nNext Page");
    EXPECT_EQ(fetcher.pageUrl(), pageAddress);
    EXPECT_NE(fetcher.GetPageSource().find("<td> IBM </td>"), std::string::npos);
    EXPECT_EQ(server.requests(), std::vector<std::string>{pageAddress});
}

TEST_F(PageFetcherTest, WindowsCodePageIsDecoded)
{
    server.setPage(pageAddress, "<table><tr><td>Soci\xE9t\xE9 \x96 G\xE9n\xE9rale</td></tr></table>",
                   "text/html; charset=windows-1252");

    ASSERT_TRUE(fetcher.OpenPage(pageAddress, 5));
    EXPECT_EQ(fetcher.GetCellText(1, 1, 1), "Soci\xC3\xA9t\xC3\xA9 \xE2\x80\x93 G\xC3\xA9n\xC3\xA9rale");
}

TEST_F(PageFetcherTest, BrokenAnswersDoNotOpenAndEmptyThePage)
{
    server.setPage(pageAddress, "<table><tr><td>IBM</td></tr></table>");
    const struct {
        simweb::Fault fault;
        const char* name;
    } faults[] = {
        {simweb::Fault::NotFound, "not found"},
        {simweb::Fault::ServerError, "server error"},
        {simweb::Fault::Drop, "dropped connection"},
        {simweb::Fault::Garbage, "garbage"},
        {simweb::Fault::Truncate, "truncated body"},
        {simweb::Fault::RedirectLoop, "redirect loop"},
        {simweb::Fault::RedirectToFile, "redirect to file:"},
        {simweb::Fault::Oversize, "oversized chunked body"},
    };
    for (const auto& [fault, name] : faults) {
        SCOPED_TRACE(name);
        server.clearFaults();
        ASSERT_TRUE(fetcher.OpenPage(pageAddress, 10));
        server.setFault(pageAddress, fault);
        server.clearRequests();

        const auto start = Clock::now();
        EXPECT_FALSE(fetcher.OpenPage(pageAddress, 10));
        EXPECT_LT(millisecondsSince(start), 5000);
        EXPECT_EQ(fetcher.GetCellText(1, 1, 1), "");
        EXPECT_EQ(fetcher.GetPageSource(), "");
        EXPECT_EQ(fetcher.pageUrl(), "");
        // A redirect loop ends after ten redirects.
        EXPECT_LE(server.requests().size(), 11u);
    }
}

TEST_F(PageFetcherTest, OnlyWebAddressesOpen)
{
    EXPECT_FALSE(fetcher.OpenPage("file:///etc/passwd", 5));
    EXPECT_FALSE(fetcher.OpenPage("", 5));
    EXPECT_FALSE(fetcher.OpenPage("ftp://127.0.0.1/", 5));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(PageFetcherTest, StalledAnswerEndsAtTheTimeLimit)
{
    server.setFault(pageAddress, simweb::Fault::Stall);

    const auto start = Clock::now();
    EXPECT_FALSE(fetcher.OpenPage(pageAddress, 1));
    const auto elapsed = millisecondsSince(start);
    EXPECT_GE(elapsed, 900);
    EXPECT_LT(elapsed, 2500);
}

TEST_F(PageFetcherTest, AStopEndsTheWaitAndEveryLaterOpen)
{
    server.setFault(pageAddress, simweb::Fault::Stall);
    FetchPool engine;
    std::stop_source closing;
    PageFetcher stoppable(engine, closing.get_token());
    const auto start = Clock::now();
    std::jthread closer([&] {
        std::this_thread::sleep_for(milliseconds(100));
        closing.request_stop();
    });

    EXPECT_FALSE(stoppable.OpenPage(pageAddress, 30));
    EXPECT_LT(millisecondsSince(start), 500);
    closer.join();

    server.clearFaults();
    server.setPage(pageAddress, "<p>fine</p>");
    server.clearRequests();
    EXPECT_FALSE(stoppable.OpenPage(pageAddress, 5));
    EXPECT_TRUE(server.requests().empty());
}

TEST_F(PageFetcherTest, ConnectionProbeAsksTheAddressItIsGiven)
{
    server.setLatency(200);
    FetchPool engine;
    ConnectionProbe probe(engine, "http://www.washingtonpost.com/");

    EXPECT_TRUE(probe.IsConnected());
    EXPECT_EQ(server.requests(), std::vector<std::string>{"http://www.washingtonpost.com/"});
}

TEST_F(PageFetcherTest, ConnectionProbeFailsWhenTheProxyIsClosed)
{
    std::string closedProxy;
    {
        simweb::Server gone;
        closedProxy = gone.proxyUrl();
    }
    ScopedEnv deadProxy("http_proxy", closedProxy.c_str());

    const auto start = Clock::now();
    FetchPool engine;
    EXPECT_FALSE(ConnectionProbe(engine, "http://www.washingtonpost.com/").IsConnected());
    EXPECT_LT(millisecondsSince(start), 6000);
}

} // namespace
} // namespace veltrop
