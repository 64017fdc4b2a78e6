// Every rank source against the simulated web through the real fetcher: the
// points and recorded scores each source gives a table of tickers equal what
// the rank model says the sites show, read by the rules of the sources.
#include <algorithm>
#include <cctype>
#include <functional>
#include <ctime>
#include <optional>

#include <gtest/gtest.h>

#include "app/windowcontroller.h"
#include "rank/ranksources.h"
#include "rankexpect.h"
#include "testsupport.h"
#include "tools/simweb/market.h"
#include "tools/simweb/rankmodel.h"
#include "tools/simweb/sites.h"
#include "web/url.h"

using namespace veltrop;
using simweb::Market;
using namespace veltrop::testing;
namespace ranks = simweb::ranks;

namespace {

// The state a source run leaves, as far as these tests look.
struct Outcome {
    std::vector<std::optional<long long>> scores;  // rows 1..n; nullopt for an empty score
    long long highest = -10000, lowest = 10000;
    std::string caption = "unchanged";

    bool operator==(const Outcome&) const = default;
};

std::string describe(const std::optional<long long>& score) { return score ? std::to_string(*score) : "empty"; }

Outcome expectedOutcome(int index, const std::vector<std::string>& tickers, double now, ranks::CivilDate today,
                        std::size_t failingRow = 0)
{
    Outcome out;
    for (std::size_t i = 0; i < tickers.size(); ++i) {
        if (failingRow && i + 1 >= failingRow) {
            out.scores.emplace_back();
            continue;
        }
        const Given given = expectedGiven(index, tickers[i], now, today);
        if (given.kind == Given::Nothing) {
            out.scores.emplace_back();
            continue;
        }
        out.scores.emplace_back(given.points);
        if (given.kind == Given::Record) {
            out.caption = std::to_string(given.points);
            out.highest = std::max(out.highest, given.points);
            out.lowest = std::min(out.lowest, given.points);
        }
    }
    return out;
}

// The tickers: a spread over the universe, then one ticker for each case the
// spread may miss, then some written the way a user's list may hold them,
// and some no site knows.
std::vector<std::string> tickerTable()
{
    const auto& universe = Market::instance().universe();
    std::vector<std::string> tickers;
    for (std::size_t i = 0; i < 45; ++i)
        tickers.push_back(universe[(i * 47 + 5) % universe.size()]);
    const ranks::CivilDate today = ranks::localToday();
    using Case = std::function<bool(const std::string&)>;
    const Case cases[] = {
        [&](const std::string& t) { return ranks::marketwatchNews(t, today).kind == ranks::NewsKind::NoNewsAtStart; },
        [&](const std::string& t) { return ranks::marketwatchNews(t, today).kind == ranks::NewsKind::NoNewsLater; },
        [&](const std::string& t) { return ranks::marketwatchNews(t, today).kind == ranks::NewsKind::NotFound; },
        [&](const std::string& t) { return ranks::marketwatchNews(t, today).kind == ranks::NewsKind::NoHeadlines; },
        [&](const std::string& t) { return ranks::marketwatchNews(t, today).kind == ranks::NewsKind::NotADate; },
        [&](const std::string& t) { return ranks::marketwatchNews(t, today).daysAgo < 0; },
        [&](const std::string& t) { return ranks::marketwatchNews(t, today).daysAgo > 7000; },
        [&](const std::string& t) {
            const auto news = ranks::marketwatchNews(t, today);
            return news.kind == ranks::NewsKind::Dated && news.daysAgo == 0;
        },
        [](const std::string& t) { return !ranks::telescanRanks(t).matched && ranks::isListed(t); },
        [](const std::string& t) {
            const auto facts = ranks::telescanRanks(t);
            double sum = 0;
            for (const auto& r : facts.ranks)
                sum += r.current.value - r.earlier.value;
            return facts.matched && sum < 0;
        },
        [](const std::string& t) { return ranks::forbesFunds(t).pages == 4; },
        [](const std::string& t) { return ranks::forbesFunds(t).holdings == 50; },
        [](const std::string& t) { return ranks::isListed(t) && ranks::forbesFunds(t).holdings == 0; },
        [](const std::string& t) { return ranks::isListed(t) && !ranks::valideaGurus(t).analysed; },
        [](const std::string& t) { return ranks::isListed(t) && !ranks::smartSelect(t).rated; },
        [](const std::string& t) {
            for (const auto& g : ranks::smartSelect(t).grades)
                if (g == "A+" || g == "a")
                    return true;
            return false;
        },
        [](const std::string& t) { return t.find_first_of(".-") != std::string::npos; },
        [](const std::string& t) { return trimmed(ranks::zacksBroker(t).recommendation) == "Strong Sell"; },
        [](const std::string& t) { return ranks::zacksBroker(t).recommendation == " Buy "; },
        [](const std::string& t) { return ranks::zacksBroker(t).recommendation == "buy"; },
        [](const std::string& t) { return ranks::isListed(t) && !ranks::zacksBroker(t).covered; },
    };
    for (const Case& wanted : cases) {
        if (std::any_of(tickers.begin(), tickers.end(), wanted))
            continue;
        const auto found = std::find_if(universe.begin(), universe.end(), wanted);
        if (found != universe.end())
            tickers.push_back(*found);
    }
    std::string lower = universe[101];
    for (char& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    tickers.push_back(lower);
    tickers.push_back("  " + universe[202] + " ");
    for (const char* unknown : {"QQQQQ", "", "A*B", "zz9", "ABCDE"})
        tickers.push_back(unknown);
    return tickers;
}

class RankSourcesOnTheWeb : public veltrop::testing::WebUnitTest {
protected:
    std::vector<std::string> tickers = tickerTable();

    void SetUp() override { ASSERT_LE(tickers.size(), static_cast<std::size_t>(maxTickers)); }

    Outcome run(const RankSource& source)
    {
        // One page after another, so the requests can be counted.
        const veltrop::testing::OneSourceRun ran = veltrop::testing::rankBy(source, tickers, 1);
        Outcome out;
        for (std::size_t i = 0; i < tickers.size(); ++i) {
            const CellValue& score = ran.list[int(i)].score;
            if (std::holds_alternative<double>(score))
                out.scores.emplace_back(static_cast<long long>(std::get<double>(score)));
            else if (std::holds_alternative<std::monostate>(score))
                out.scores.emplace_back();
            else
                out.scores.emplace_back(-999999);  // a text where a score belongs
        }
        out.highest = ran.tally.highest;
        out.lowest = ran.tally.lowest;
        out.caption = ran.recorded.empty() ? "unchanged" : ran.recorded;
        return out;
    }

    void compare(int index, const Outcome& actual, const Outcome& expected)
    {
        for (std::size_t i = 0; i < tickers.size(); ++i)
            EXPECT_EQ(describe(actual.scores[i]), describe(expected.scores[i]))
                << "source " << index << ", row " << i + 1 << ", ticker \"" << tickers[i] << "\"";
        EXPECT_EQ(actual.highest, expected.highest) << "source " << index;
        EXPECT_EQ(actual.lowest, expected.lowest) << "source " << index;
        EXPECT_EQ(actual.caption, expected.caption) << "source " << index;
    }
};

TEST_F(RankSourcesOnTheWeb, EverySourceGivesWhatTheSitesShow)
{
    ASSERT_GE(tickers.size(), 40u);
    for (int index = 0; index < 17; ++index) {
        const RankSource* source = rankSourceInBox(index);
        ASSERT_NE(source, nullptr) << index;
        const ranks::CivilDate todayBefore = ranks::localToday();
        const double before = localDayNumber(std::time(nullptr));
        web.clearRequests();
        const Outcome actual = run(*source);
        // One page per ticker (the fund count follows its next pages too);
        // SmartSelect opens none for a ticker it cannot send.
        std::size_t pages = 0;
        for (const std::string& t : tickers)
            pages += static_cast<std::size_t>(expectedPages(index, t));
        EXPECT_EQ(web.requests().size(), pages) << "source " << index;
        const double after = localDayNumber(std::time(nullptr));
        const ranks::CivilDate todayAfter = ranks::localToday();
        const Outcome early = expectedOutcome(index, tickers, before, todayBefore);
        EXPECT_NE(early.caption, "unchanged") << "source " << index << " records nothing for any ticker";
        // Only the news source depends on the clock; a run that crossed a
        // boundary of its day numbers may match the later reading instead.
        if (actual == early) {
            SUCCEED();
            continue;
        }
        const Outcome late = expectedOutcome(index, tickers, after, todayAfter);
        compare(index, actual, late == actual ? late : early);
    }
}

TEST_F(RankSourcesOnTheWeb, AFailingTenthPageEndsTheSource)
{
    const RankSource* cnet = rankSourceInBox(0);
    ASSERT_NE(cnet, nullptr);
    const std::string tenth = "http://" + std::string(hosts::cnetInvestor)
                              + "/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-"
                              + encodeUrlPart(trimmed(tickers[9])) + ".html";
    web.setFault(tenth, simweb::Fault::ServerError);
    web.clearRequests();
    const Outcome actual = run(*cnet);
    compare(0, actual, expectedOutcome(0, tickers, 0, ranks::localToday(), 10));
    const std::vector<std::string> requests = web.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), tenth);
    EXPECT_EQ(requests.size(), 10u);
}

} // namespace
