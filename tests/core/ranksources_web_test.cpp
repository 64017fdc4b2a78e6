// Every rank source against the simulated web through the real fetcher: the
// points and recorded scores each source gives a table of tickers equal what
// the rank model says the sites show, read by the rules of the sources.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <functional>
#include <cmath>
#include <ctime>
#include <optional>
#include <sstream>

#include <gtest/gtest.h>

#include "app/form1.h"
#include "rank/ranksources.h"
#include "testsupport.h"
#include "tools/simweb/market.h"
#include "tools/simweb/rankmodel.h"
#include "web/hosts.h"
#include "web/url.h"

using namespace veltrop;
using simweb::Market;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RecordingDialogs;
namespace ranks = simweb::ranks;

namespace {

// What one source gives one ticker.
struct Given {
    enum Kind { Nothing, Add, Record } kind = Nothing;
    long long points = 0;
};
Given nothing() { return {}; }
Given add(long long p) { return {Given::Add, p}; }
Given record(long long p) { return {Given::Record, p}; }

long long floorOf(double v) { return static_cast<long long>(std::floor(v)); }

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

Given singleCell(const ranks::CellFact& cell)
{
    if (!trimmed(cell.text).empty() && cell.value > 0)
        return record(floorOf(cell.value));
    return add(0);
}

// Present moment as a day number: days since 30 December 1899, the time of
// day as the fraction.
double localDayNumber(std::time_t when)
{
    std::tm local{};
    localtime_r(&when, &local);
    using namespace std::chrono;
    const year_month_day date{year{local.tm_year + 1900}, month{static_cast<unsigned>(local.tm_mon + 1)},
                              day{static_cast<unsigned>(local.tm_mday)}};
    const long long days = sys_days{date}.time_since_epoch().count() + 25569;
    return static_cast<double>(days) + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

double newsDayNumber(const ranks::NewsFacts& news)
{
    using namespace std::chrono;
    const year_month_day date{year{news.date.year}, month{static_cast<unsigned>(news.date.month)},
                              day{static_cast<unsigned>(news.date.day)}};
    const long long days = sys_days{date}.time_since_epoch().count() + 25569;
    return static_cast<double>(days) + (news.hour * 3600 + news.minute * 60 + news.second) / 86400.0;
}

Given daysSinceNews(const std::string& symbol, double now, ranks::CivilDate today)
{
    const ranks::NewsFacts news = ranks::marketwatchNews(symbol, today);
    switch (news.kind) {
    case ranks::NewsKind::NoNewsAtStart: return add(120);
    case ranks::NewsKind::NoNewsLater:
    case ranks::NewsKind::NotFound:
    case ranks::NewsKind::NoHeadlines: return add(0);
    case ranks::NewsKind::NotADate: return nothing();
    case ranks::NewsKind::Dated: break;
    }
    const long long days = floorOf(static_cast<float>(now) - static_cast<float>(newsDayNumber(news)));
    return days > 0 ? record(days) : add(0);
}

int gradeValue(const std::string& grade)
{
    const std::string g = trimmed(grade);
    if (g == "A") return 100;
    if (g == "B") return 80;
    if (g == "C") return 60;
    if (g == "D") return 40;
    if (g == "E") return 20;
    if (g == "F") return 10;
    return 0;
}

int brokerValue(const std::string& recommendation)
{
    const std::string r = trimmed(recommendation);
    if (r == "Strong Buy") return 100;
    if (r == "Buy") return 75;
    if (r == "Hold") return 50;
    if (r == "Sell") return 25;
    return 0;
}

bool smartSelectEligible(const std::string& upper)
{
    return upper.find_first_of("-,*") == std::string::npos && upper.size() < 5;
}

// The Telescan rows, by the index of the single-cell source that reads each.
int telescanSlot(int index)
{
    switch (index) {
    case 2: return 0;   // row 6
    case 3: return 1;   // row 8
    case 4: return 2;   // row 10
    case 9: return 3;   // row 12
    case 10: return 4;  // row 13
    case 11: return 5;  // row 14
    case 12: return 6;  // row 15
    case 13: return 7;  // row 16
    default: return -1;
    }
}

Given expectedGiven(int index, const std::string& ticker, double now, ranks::CivilDate today)
{
    const std::string symbol = ranks::lookupSymbol(ticker);
    if (const int slot = telescanSlot(index); slot >= 0) {
        const ranks::TelescanFacts facts = ranks::telescanRanks(symbol);
        return singleCell(facts.matched ? facts.ranks[static_cast<std::size_t>(slot)].current : ranks::CellFact{});
    }
    switch (index) {
    case 0: return singleCell(ranks::cnetMomentum(symbol));
    case 1: return daysSinceNews(symbol, now, today);
    case 5: return singleCell(ranks::barchartPerformance(symbol));
    case 6: return record(ranks::forbesFunds(symbol).holdings);
    case 7: return singleCell(ranks::barchartOpinion(symbol));
    case 8: {
        const ranks::GuruFacts facts = ranks::valideaGurus(symbol);
        if (!facts.analysed)
            return nothing();
        double sum = 0;
        for (const ranks::CellFact& score : facts.scores)
            sum += score.value;
        return record(floorOf(sum / 9));
    }
    case 14: {
        const ranks::TelescanFacts facts = ranks::telescanRanks(symbol);
        if (!facts.matched)
            return nothing();
        double sum = 0;
        for (const ranks::TelescanRank& rank : facts.ranks)
            sum += rank.current.value - rank.earlier.value;
        return record(floorOf(sum / 8));
    }
    case 15: {
        if (!smartSelectEligible(symbol))
            return nothing();
        const ranks::SmartSelectFacts facts = ranks::smartSelect(symbol);
        if (!facts.rated)
            return nothing();
        double sum = facts.eps.value + facts.relativeStrength.value;
        for (const std::string& grade : facts.grades)
            sum += gradeValue(grade);
        return record(floorOf(sum / 5));
    }
    case 16: {
        const ranks::BrokerFacts facts = ranks::zacksBroker(symbol);
        return facts.covered ? record(brokerValue(facts.recommendation)) : nothing();
    }
    default: ADD_FAILURE() << "no rank source " << index; return nothing();
    }
}

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

class RankSourcesOnTheWeb : public ::testing::Test {
protected:
    simweb::Server web;
    ProxyRoute route{web.proxyUrl()};
    RecordingDialogs dialogs;
    Form1 form{dialogs};
    std::vector<std::string> tickers = tickerTable();

    void SetUp() override
    {
        form.setWaitHook([] {});
        form.Form_Load();
        ASSERT_LE(tickers.size(), static_cast<std::size_t>(maxTickers));
    }

    Outcome run(const RankSource& source)
    {
        for (std::size_t i = 0; i < tickers.size(); ++i) {
            form.tickertable[i + 1][0] = tickers[i];
            form.tickertable[i + 1][1] = std::monostate{};
        }
        form.tickercount = static_cast<Integer>(tickers.size());
        form.cancelflag = false;
        form.stepstogo = 1000;
        form.highestvalue = -10000;
        form.lowestvalue = 10000;
        form.rankbutton.caption = "unchanged";
        form.loadranksource(source);
        if (source.extraction == Extraction::SingleCell)
            form.getranks();
        else
            form.rankloop(source);

        Outcome out;
        for (std::size_t i = 0; i < tickers.size(); ++i) {
            const CellValue& score = form.tickertable[i + 1][1];
            if (std::holds_alternative<double>(score))
                out.scores.emplace_back(static_cast<long long>(std::get<double>(score)));
            else if (std::holds_alternative<std::monostate>(score))
                out.scores.emplace_back();
            else
                out.scores.emplace_back(-999999);  // a text where a score belongs
        }
        out.highest = form.highestvalue;
        out.lowest = form.lowestvalue;
        out.caption = form.rankbutton.caption;
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
        const RankSource* source = rankSourceByIndex(index);
        ASSERT_NE(source, nullptr) << index;
        const ranks::CivilDate todayBefore = ranks::localToday();
        const double before = localDayNumber(std::time(nullptr));
        web.clearRequests();
        const Outcome actual = run(*source);
        // One page per ticker (the fund count follows its next pages too);
        // SmartSelect opens none for a ticker it cannot send.
        std::size_t pages = 0;
        for (const std::string& t : tickers) {
            const std::string symbol = ranks::lookupSymbol(t);
            if (index == 15 && !smartSelectEligible(symbol))
                continue;
            pages += index == 6 ? static_cast<std::size_t>(ranks::forbesFunds(symbol).pages) : 1;
        }
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
    const RankSource* cnet = rankSourceByIndex(0);
    ASSERT_NE(cnet, nullptr);
    const std::string tenth = "http://" + std::string(hosts::cnetInvestor)
                              + "/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-"
                              + encodeUrlPart(trimmed(tickers[9])) + ".html";
    web.setFault(tenth, simweb::Fault::ServerError);
    web.clearRequests();
    const Outcome actual = run(*cnet);
    compare(0, actual, expectedOutcome(0, tickers, 0, ranks::localToday(), 10));
    EXPECT_EQ(form.stepstogo, 1000 - 10);
    EXPECT_EQ(form.Label2.caption, "");
    const std::vector<std::string> requests = web.requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back(), tenth);
    EXPECT_EQ(requests.size(), 10u);
}

} // namespace
