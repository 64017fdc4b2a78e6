// The rank pages as the program reads them: through its page fetcher, at the
// cells its rank sources read, against what the rank model says each page
// shows.
#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "web/text.h"
#include "client.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/rankmodel.h"
#include "tools/simweb/server.h"
#include "tools/simweb/sites.h"
#include "web/pagefetcher.h"
#include "web/url.h"

using simweb::Market;
namespace ranks = simweb::ranks;
namespace hosts = veltrop::hosts;

namespace {

constexpr int kLimitSeconds = 10;

std::string http(const char* host) { return std::string("http://") + host; }

std::string cnetUrl(const std::string& t)
{
    return http(hosts::cnetInvestor) + "/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-"
           + veltrop::encodeUrlPart(t) + ".html";
}
std::string newsUrl(const std::string& t)
{
    return http(hosts::marketwatch) + "/tools/quotes/news.asp?symb=" + veltrop::encodeUrlPart(t);
}
std::string telescanUrl(const std::string& t)
{
    return http(hosts::telescan) + "/wsc2/Tscn_Rankings.html?template=tscnrank.htm&Button=Get+Report&Symbol="
           + veltrop::encodeUrlPart(t);
}
std::string performanceUrl(const std::string& t)
{
    return http(hosts::barchart) + "/performance.htx?sym=" + veltrop::encodeUrlPart(t);
}
std::string opinionUrl(const std::string& t)
{
    return http(hosts::barchart) + "/texpert.asp?sym=" + veltrop::encodeUrlPart(t);
}
std::string fundsUrl(const std::string& t)
{
    return http(hosts::forbes) + "/finance/mktguideapps/compinfo/CoInFundHold.jhtml?tkr=" + veltrop::encodeUrlPart(t);
}
std::string guruUrl(const std::string& t)
{
    return http(hosts::validea) + "/stocks/guruanalysis.asp?ticker=" + veltrop::encodeUrlPart(t);
}
std::string smartSelectUrl(const std::string& code)
{
    return http(hosts::ibd) + "/SmartSelect/SmartSelect.asp?x=" + veltrop::encodeUrlPart(code);
}
std::string zacksUrl(const std::string& t)
{
    return http(hosts::zacks) + "/reports/reports.php3?HLITE1=6699BC&HLITE2=DEDEC5&ticker=" + veltrop::encodeUrlPart(t)
           + "&session=TMP.QORVENT&type=20";
}

// What a reader sees of a cell text: blanks around it trimmed.
std::string shown(const std::string& text) { return std::string(veltrop::trimBlanks(text)); }

bool mentions(const std::string& text, const std::string& phrase) { return veltrop::containsPhrase(text, phrase); }

// Listed tickers and a few the sites do not know.
std::vector<std::string> sampleTickers(std::size_t listed)
{
    const auto& universe = Market::instance().universe();
    std::vector<std::string> tickers;
    for (std::size_t i = 0; i < listed; ++i)
        tickers.push_back(universe[(i * 37) % universe.size()]);
    for (const char* odd : {"QQQQQ", "", "A*B", "ZZ9"})
        tickers.push_back(odd);
    return tickers;
}

class RankPages : public ::testing::Test {
protected:
    simweb::Server web;
    simtest::ProxyEnvironment route{web.proxyUrl()};
    veltrop::PageFetcher fetcher;

    void open(const std::string& url) { ASSERT_TRUE(fetcher.OpenPage(url, kLimitSeconds)) << url; }
    std::string cell(int table, int row, int column) const { return fetcher.GetCellText(table, row, column); }
};

TEST_F(RankPages, SingleCellsHoldTheModelsTexts)
{
    for (const std::string& t : sampleTickers(40)) {
        const std::string symbol = ranks::lookupSymbol(t);
        open(cnetUrl(t));
        EXPECT_EQ(cell(14, 2, 2), shown(ranks::cnetMomentum(symbol).text)) << t;
        open(performanceUrl(t));
        EXPECT_EQ(cell(11, 2, 4), shown(ranks::barchartPerformance(symbol).text)) << t;
        open(opinionUrl(t));
        EXPECT_EQ(cell(10, 28, 2), shown(ranks::barchartOpinion(symbol).text)) << t;
    }
}

TEST_F(RankPages, TelescanRanksStandInTable12OrThePageSaysNoMatch)
{
    for (const std::string& t : sampleTickers(40)) {
        const ranks::TelescanFacts facts = ranks::telescanRanks(ranks::lookupSymbol(t));
        open(telescanUrl(t));
        EXPECT_EQ(mentions(fetcher.GetPageText(), "No Matching"), !facts.matched) << t;
        for (std::size_t i = 0; i < ranks::kTelescanRows.size(); ++i) {
            const int row = ranks::kTelescanRows[i];
            EXPECT_EQ(cell(12, row, 2), facts.matched ? shown(facts.ranks[i].current.text) : "") << t << " row " << row;
            EXPECT_EQ(cell(12, row, 3), facts.matched ? shown(facts.ranks[i].earlier.text) : "") << t << " row " << row;
        }
    }
}

TEST_F(RankPages, NewsPagesSayWhatTheirKindPromises)
{
    using Kind = ranks::NewsKind;
    const ranks::CivilDate today = ranks::localToday();
    std::set<Kind> seen;
    for (const std::string& t : sampleTickers(60)) {
        const ranks::NewsFacts news = ranks::marketwatchNews(ranks::lookupSymbol(t), today);
        seen.insert(news.kind);
        open(newsUrl(t));
        const std::string text = fetcher.GetPageText();
        const bool headlines = news.kind == Kind::Dated || news.kind == Kind::NotADate || news.kind == Kind::NoNewsLater;
        EXPECT_EQ(mentions(text, "News Headlines"), headlines) << t;
        EXPECT_EQ(mentions(text, "not found"), news.kind == Kind::NotFound) << t;
        EXPECT_EQ(mentions(text, "no news"), news.kind == Kind::NoNewsLater || news.kind == Kind::NoNewsAtStart) << t;
        if (news.kind == Kind::NoNewsAtStart) {
            EXPECT_EQ(text.substr(0, news.opening.size()), news.opening) << t;
        } else {
            EXPECT_FALSE(mentions(text.substr(0, 7), "no news")) << t;
        }
        if (news.kind == Kind::Dated || news.kind == Kind::NotADate) {
            EXPECT_EQ(cell(14, 3, 1), news.dateText) << t;
        }
        if (news.kind == Kind::Dated) {
            const long long days = ranks::daysFromCivil(today) - ranks::daysFromCivil(news.date);
            EXPECT_EQ(days, news.daysAgo) << t;
        }
    }
    EXPECT_EQ(seen.size(), 6u);
}

TEST_F(RankPages, NewsDatesAreWrittenInEveryForm)
{
    struct Row {
        ranks::DateForm date;
        ranks::TimeForm time;
        int monthCase;
        const char* text;
    };
    using D = ranks::DateForm;
    using T = ranks::TimeForm;
    const ranks::CivilDate day{2001, 3, 7};
    const Row rows[] = {
        {D::Slashes, T::None, 0, "3/7/2001"},
        {D::SlashesShort, T::HourMinute, 0, "3/7/01 14:05"},
        {D::MonAbbrev, T::HourMinuteSecond, 1, "MAR 7, 2001 14:05:09"},
        {D::MonthName, T::HourMinuteAmPm, 2, "march 7, 2001 2:05 PM"},
        {D::DayMonYear, T::HourMinuteSecondAmPm, 0, "7-Mar-2001 2:05:09 PM"},
        {D::Iso, T::None, 0, "2001-03-07"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ranks::writeNewsDate(day, 14, 5, 9, row.date, row.time, row.monthCase), row.text);
    EXPECT_EQ(ranks::writeNewsDate({1999, 12, 31}, 0, 30, 0, D::SlashesShort, T::HourMinuteAmPm, 0), "12/31/99 12:30 AM");
    EXPECT_EQ(ranks::writeNewsDate({2000, 1, 1}, 12, 0, 0, D::MonAbbrev, T::HourMinuteAmPm, 0), "Jan 1, 2000 12:00 PM");
    EXPECT_EQ(ranks::civilFromDays(ranks::daysFromCivil({2000, 2, 28}) + 1), (ranks::CivilDate{2000, 2, 29}));
    EXPECT_EQ(ranks::daysFromCivil({1970, 1, 1}), 0);
}

TEST_F(RankPages, GuruScoresStandInTheirNineTables)
{
    for (const std::string& t : sampleTickers(30)) {
        const ranks::GuruFacts facts = ranks::valideaGurus(ranks::lookupSymbol(t));
        open(guruUrl(t));
        EXPECT_EQ(mentions(fetcher.GetPageText(), "no Guru"), !facts.analysed) << t;
        for (std::size_t i = 0; i < ranks::kGuruTables.size(); ++i)
            EXPECT_EQ(cell(ranks::kGuruTables[i], 3, 2), facts.analysed ? shown(facts.scores[i].text) : "")
                << t << " table " << ranks::kGuruTables[i];
        if (facts.analysed) {
            EXPECT_EQ(cell(23, 3, 1), "Score:");
            EXPECT_EQ(cell(56, 3, 1), "Score:");
        }
    }
}

TEST_F(RankPages, BrokerRecommendationOrNoReports)
{
    for (const std::string& t : sampleTickers(40)) {
        const ranks::BrokerFacts facts = ranks::zacksBroker(ranks::lookupSymbol(t));
        open(zacksUrl(t));
        EXPECT_EQ(mentions(fetcher.GetPageText(), "No Reports"), !facts.covered) << t;
        EXPECT_EQ(cell(21, 2, 10), facts.covered ? shown(facts.recommendation) : "") << t;
    }
    // The fixed parts of the address are part of the page's address.
    EXPECT_FALSE(fetcher.OpenPage(http(hosts::zacks) + "/reports/reports.php3?HLITE1=6699BC&HLITE2=DEDEC5&ticker=IBM",
                                  kLimitSeconds));
}

TEST_F(RankPages, SmartSelectDecodesTheTickerFromItsAddress)
{
    const std::pair<const char*, const char*> examples[] = {{"ABC", "C3E4G5"}, {"XYZ", "d3f4h5"}, {"QRST", "S3U4W5Y6"},
                                                            {"", ""}, {"A", "C3"}, {"U", "a3"}};
    for (const auto& [ticker, code] : examples) {
        EXPECT_EQ(ranks::smartSelectEncode(ticker), code);
        EXPECT_EQ(ranks::smartSelectDecode(code), std::optional<std::string>(ticker));
    }
    EXPECT_EQ(ranks::smartSelectDecode("C3E5"), std::nullopt);
    EXPECT_EQ(ranks::smartSelectDecode("C"), std::nullopt);
    for (const std::string& t : Market::instance().universe()) {
        if (t.size() < 5) {
            ASSERT_EQ(ranks::smartSelectDecode(ranks::smartSelectEncode(t)), std::optional<std::string>(t));
        }
    }

    for (const std::string& t : sampleTickers(30)) {
        const std::string symbol = ranks::lookupSymbol(t);
        const ranks::SmartSelectFacts facts = ranks::smartSelect(symbol);
        open(smartSelectUrl(ranks::smartSelectEncode(symbol)));
        EXPECT_EQ(mentions(fetcher.GetPageText(), "not currently"), !facts.rated) << t;
        const std::array<std::string, 5> expected{facts.eps.text, facts.relativeStrength.text, facts.grades[0],
                                                  facts.grades[1], facts.grades[2]};
        const int columns[] = {2, 6, 10, 14, 18};
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(cell(1, 5, columns[i]), facts.rated ? shown(expected[i]) : "") << t << " column " << columns[i];
    }

    // The code may arrive percent-encoded, every byte of it.
    const auto& universe = Market::instance().universe();
    const auto rated = std::find_if(universe.begin(), universe.end(), [](const std::string& t) {
        return t.size() < 5 && ranks::smartSelect(t).rated;
    });
    ASSERT_NE(rated, universe.end());
    std::string percent;
    for (unsigned char c : ranks::smartSelectEncode(*rated)) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        percent += hex;
    }
    open(http(hosts::ibd) + "/SmartSelect/SmartSelect.asp?x=" + percent);
    EXPECT_EQ(cell(1, 5, 2), shown(ranks::smartSelect(*rated).eps.text));
    // Text that is no encoding gets the page for a stock not rated.
    open(smartSelectUrl("ABC"));
    EXPECT_TRUE(mentions(fetcher.GetPageText(), "not currently"));
}

TEST_F(RankPages, FundHoldingsPageThroughNextLinks)
{
    // One ticker of every page count, and one that fills its last page.
    const auto& universe = Market::instance().universe();
    std::map<int, std::string> byPages;
    std::string fullLastPage;
    for (const std::string& t : universe) {
        const ranks::FundFacts funds = ranks::forbesFunds(t);
        byPages.emplace(funds.holdings == 0 ? 0 : funds.pages, t);
        if (funds.holdings > 0 && funds.holdings % ranks::kFundsPerPage == 0 && fullLastPage.empty())
            fullLastPage = t;
    }
    ASSERT_EQ(byPages.size(), 5u);
    ASSERT_FALSE(fullLastPage.empty());
    std::vector<std::string> tickers{fullLastPage, "QQQQQ"};
    for (const auto& [pages, t] : byPages)
        tickers.push_back(t);

    for (const std::string& t : tickers) {
        const ranks::FundFacts funds = ranks::forbesFunds(t);
        std::string url = fundsUrl(t);
        open(url);
        int counted = 0;
        for (int page = 1; page <= 6; ++page) {
            int onPage = 0;
            for (int row = 3; row < 60 && veltrop::leadingNumber(cell(11, row, 3)) != 0; row += 2)
                ++onPage;
            EXPECT_EQ(onPage, ranks::fundsOnPage(funds, page)) << t << " page " << page;
            counted += onPage;
            const std::string next = cell(11, 53, 2);
            const int more = ranks::nextLinkCount(funds, page);
            if (more == 0) {
                EXPECT_FALSE(mentions(next, "Next")) << t << " page " << page;
                break;
            }
            EXPECT_EQ(next, "Next " + std::to_string(more));
            const std::string link = fetcher.FindLinkUrl(next, 1);
            EXPECT_EQ(link, http(hosts::forbes) + "/finance/mktguideapps/compinfo/CoInFundHold.jhtml?tkr=" + t
                                + "&page=" + std::to_string(page + 1));
            open(link);
        }
        EXPECT_EQ(counted, funds.holdings) << t;
    }
}

TEST_F(RankPages, PagesWeighWhatTheSitesPagesDid)
{
    std::size_t smallest = SIZE_MAX, largest = 0;
    auto weigh = [&](const std::string& url) {
        ASSERT_TRUE(fetcher.OpenPage(url, kLimitSeconds)) << url;
        const std::size_t size = fetcher.GetPageSource().size();
        smallest = std::min(smallest, size);
        largest = std::max(largest, size);
        EXPECT_GE(size, 15u * 1024) << url;
        EXPECT_LE(size, 40u * 1024) << url;
    };
    for (const std::string& t : sampleTickers(12)) {
        const std::string symbol = ranks::lookupSymbol(t);
        for (const std::string& url : {cnetUrl(t), newsUrl(t), telescanUrl(t), performanceUrl(t), opinionUrl(t),
                                       fundsUrl(t), guruUrl(t), smartSelectUrl(ranks::smartSelectEncode(symbol)),
                                       zacksUrl(t)})
            weigh(url);
        weigh(fundsUrl(t) + "&page=2");
    }
    EXPECT_LT(smallest, largest);
}

// Built directly, without the fetcher, over a fifth of the universe.
TEST(RankPageSizes, EveryRankPageWeighs15To40KB)
{
    const auto& universe = Market::instance().universe();
    auto pathAndQuery = [](const std::string& url) {
        const auto slash = url.find('/', 7);
        const auto question = url.find('?', slash);
        return std::pair(url.substr(slash, question - slash),
                         question == std::string::npos ? std::string() : url.substr(question + 1));
    };
    for (std::size_t i = 0; i < universe.size(); i += 5) {
        const std::string& t = universe[i];
        const std::pair<const char*, std::string> pages[] = {
            {hosts::cnetInvestor, cnetUrl(t)},     {hosts::marketwatch, newsUrl(t)},
            {hosts::telescan, telescanUrl(t)},     {hosts::barchart, performanceUrl(t)},
            {hosts::barchart, opinionUrl(t)},      {hosts::forbes, fundsUrl(t)},
            {hosts::forbes, fundsUrl(t) + "&page=2"}, {hosts::validea, guruUrl(t)},
            {hosts::ibd, smartSelectUrl(ranks::smartSelectEncode(t))}, {hosts::zacks, zacksUrl(t)}};
        for (const auto& [host, url] : pages) {
            const auto [path, query] = pathAndQuery(url);
            const std::optional<simweb::Page> page = simweb::rankPage(host, path, query);
            ASSERT_TRUE(page) << url;
            EXPECT_GE(page->body.size(), 15u * 1024) << url;
            EXPECT_LE(page->body.size(), 40u * 1024) << url;
        }
    }
}

TEST_F(RankPages, AFaultOnOneRankAddressFailsThatPageOnly)
{
    const auto& universe = Market::instance().universe();
    web.setFault(cnetUrl(universe[9]), simweb::Fault::ServerError);
    web.setFault(http(hosts::validea) + "/stocks/", simweb::Fault::Drop);
    EXPECT_FALSE(fetcher.OpenPage(cnetUrl(universe[9]), kLimitSeconds));
    EXPECT_TRUE(fetcher.OpenPage(cnetUrl(universe[8]), kLimitSeconds));
    EXPECT_FALSE(fetcher.OpenPage(guruUrl(universe[0]), kLimitSeconds));
    EXPECT_TRUE(fetcher.OpenPage(zacksUrl(universe[0]), kLimitSeconds));
}

// The model reaches every variant the program must handle, over the
// universe: each kind of news, each date and time form, leading-number
// forms, mangled grades and recommendations, each no-data page.
TEST(RankModel, CoversEveryCase)
{
    using namespace ranks;
    const CivilDate today = localToday();
    std::set<NewsKind> kinds;
    std::set<DateForm> dateForms;
    std::set<TimeForm> timeForms;
    std::set<std::string> cnetForms, grades, recommendations;
    int future = 0, todayCount = 0, stale = 0, noMatch = 0, noGuru = 0, unrated = 0, uncovered = 0, negativeSums = 0;
    auto form = [](const CellFact& c) {
        const std::string t = c.text;
        if (t.empty()) return std::string("empty");
        if (t == "n/a") return std::string("n/a");
        if (t.front() == ' ') return std::string("padded");
        if (t.front() == '-') return std::string("negative");
        if (t.find(" pts") != std::string::npos) return std::string("pts");
        if (t.find('.') != std::string::npos) return std::string("fraction");
        if (t == "0") return std::string("zero");
        return std::string("plain");
    };
    for (const std::string& t : Market::instance().universe()) {
        const NewsFacts news = marketwatchNews(t, today);
        kinds.insert(news.kind);
        if (news.kind == NewsKind::Dated) {
            dateForms.insert(news.dateForm);
            timeForms.insert(news.timeForm);
            future += news.daysAgo < 0;
            todayCount += news.daysAgo == 0;
            stale += news.daysAgo > 7000;
        }
        cnetForms.insert(form(cnetMomentum(t)));
        const TelescanFacts telescan = telescanRanks(t);
        noMatch += !telescan.matched;
        double sum = 0;
        for (const TelescanRank& r : telescan.ranks)
            sum += r.current.value - r.earlier.value;
        negativeSums += telescan.matched && sum < 0;
        noGuru += !valideaGurus(t).analysed;
        const SmartSelectFacts smart = smartSelect(t);
        unrated += !smart.rated;
        for (const std::string& g : smart.grades)
            grades.insert(g);
        const BrokerFacts broker = zacksBroker(t);
        uncovered += !broker.covered;
        recommendations.insert(broker.recommendation);
    }
    EXPECT_EQ(kinds.size(), 6u);
    EXPECT_EQ(dateForms.size(), 6u);
    EXPECT_EQ(timeForms.size(), 5u);
    EXPECT_EQ(cnetForms.size(), 8u);
    EXPECT_GT(future, 0);
    EXPECT_GT(todayCount, 0);
    EXPECT_GT(stale, 0);
    EXPECT_GT(noMatch, 0);
    EXPECT_GT(negativeSums, 0);
    EXPECT_GT(noGuru, 0);
    EXPECT_GT(unrated, 0);
    EXPECT_GT(uncovered, 0);
    for (const char* g : {"A", "B", "C", "D", "E", "F", "a", "A+", " B "})
        EXPECT_TRUE(grades.count(g)) << g;
    for (const char* r : {"Strong Buy", "Buy", "Hold", "Sell", "Strong Sell", " Buy ", "buy", "STRONG BUY"})
        EXPECT_TRUE(recommendations.count(r)) << r;
    EXPECT_FALSE(cnetMomentum("QQQQQ").text.size());
    EXPECT_EQ(marketwatchNews("QQQQQ", today).kind, NewsKind::NotFound);
    EXPECT_EQ(lookupSymbol(" brk.b "), "BRK.B");
}

} // namespace
