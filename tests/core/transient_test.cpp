// Rank Lists on sites that fail for a moment: a page whose connection drops
// before any answer, or that answers 503 or 429 once, is asked for again, and
// the run ends as on a clean web. A page that stays unavailable is asked for
// three times in all and then fails as any page that cannot be opened does.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "windowrun.h"
#include "testsupport.h"

using veltrop::testing::ProxyRoute;
using veltrop::testing::rankAddress;
using veltrop::testing::rankPrefix;
using veltrop::testing::runRankLists;

namespace {

// Six sources on six hosts: CNET, Telescan, Barchart, Forbes, Validea, Zacks.
constexpr std::initializer_list<int> kSixHosts = {0, 2, 5, 6, 8, 16};

std::size_t timesAsked(const std::vector<std::string>& requests, const std::string& url)
{
    return static_cast<std::size_t>(std::count(requests.begin(), requests.end(), url));
}

class TransientFailures : public ::testing::Test {
protected:
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};
    const std::vector<std::string> tickers = veltrop::testing::keptTickers(40);
};

TEST_F(TransientFailures, PagesThatFailOnceGiveTheSameRunAsACleanWeb)
{
    const veltrop::testing::RankRunResult clean = runRankLists(tickers, kSixHosts);
    ASSERT_GT(clean.grid.size(), 10u) << "the premise: a run that ranks";

    web.setFault(rankPrefix(0), simweb::Fault::DropOnce);
    web.setFault(rankPrefix(5), simweb::Fault::UnavailableOnce);
    for (std::size_t i = 0; i < 3; ++i)
        web.setFault(rankAddress(16, tickers[i]), simweb::Fault::TooManyOnce);
    web.clearRequests();
    expectSameRun(clean, runRankLists(tickers, kSixHosts));

    // Each failed page was asked for once more, and only once.
    const std::vector<std::string> requests = web.requests();
    for (int source : {0, 5})
        for (const std::string& ticker : {tickers.front(), tickers.back()})
            EXPECT_EQ(timesAsked(requests, rankAddress(source, ticker)), 2u) << source << " " << ticker;
    EXPECT_EQ(timesAsked(requests, rankAddress(16, tickers[0])), 2u);
    EXPECT_EQ(timesAsked(requests, rankAddress(16, tickers[3])), 1u) << "no fault, no second try";
}

TEST_F(TransientFailures, APageThatStaysUnavailableFailsAsAMissingOneAfterTwoMoreTries)
{
    const std::string failing = rankAddress(5, tickers[9]);
    web.setFault(failing, simweb::Fault::NotFound);
    const veltrop::testing::RankRunResult missing = runRankLists(tickers, kSixHosts);
    EXPECT_EQ(timesAsked(web.requests(), failing), 1u) << "a 404 is final";

    web.clearFaults();
    web.setFault(failing, simweb::Fault::Unavailable);
    web.clearRequests();
    expectSameRun(missing, runRankLists(tickers, kSixHosts));
    EXPECT_EQ(timesAsked(web.requests(), failing), 3u);
}

} // namespace
