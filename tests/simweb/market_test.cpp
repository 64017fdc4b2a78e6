// The synthetic market and the lists drawn from it.
#include <algorithm>
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "tools/simweb/html.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"

using simweb::Market;

namespace {

TEST(Market, UniverseIsSortedDistinctWellFormedSymbols)
{
    const std::vector<std::string>& universe = Market::instance().universe();
    EXPECT_GE(universe.size(), 1500u);
    EXPECT_LE(universe.size(), 2500u);
    EXPECT_TRUE(std::is_sorted(universe.begin(), universe.end()));
    EXPECT_EQ(std::set<std::string>(universe.begin(), universe.end()).size(), universe.size());
    std::size_t withClass = 0;
    for (const std::string& ticker : universe) {
        EXPECT_TRUE(Market::isSymbol(ticker)) << ticker;
        const std::string letters = ticker.substr(0, ticker.find_first_of(".-"));
        EXPECT_LE(letters.size(), 4u) << ticker;
        EXPECT_EQ(std::count_if(letters.begin(), letters.end(), [](char c) { return c >= 'A' && c <= 'Z'; }),
                  static_cast<std::ptrdiff_t>(letters.size()))
            << ticker;
        withClass += letters.size() < ticker.size();
    }
    EXPECT_GE(withClass, 5u);
    EXPECT_LE(withClass, 100u);
}

TEST(Market, PricesAndVolumesReachBelowTheUsualLimits)
{
    std::size_t belowFive = 0, belowOne = 0, thin = 0;
    for (const std::string& ticker : Market::instance().universe()) {
        const simweb::Quote q = Market::quote(ticker);
        EXPECT_GT(q.price, 0.0) << ticker;
        EXPECT_GT(q.volume, 0) << ticker;
        EXPECT_EQ(q.volume % 100, 0) << ticker;
        belowFive += q.price < 5.0;
        belowOne += q.price < 1.0;
        thin += q.volume < 25000;
    }
    const std::size_t size = Market::instance().universe().size();
    EXPECT_GT(belowFive, size / 20);
    EXPECT_LT(belowFive, size / 4);
    EXPECT_GT(belowOne, 10u);
    EXPECT_LT(belowOne, size / 10);
    EXPECT_GT(thin, size / 25);
    EXPECT_LT(thin, size / 5);
}

TEST(Market, AttributesDependOnTickerAndKeyOnly)
{
    EXPECT_EQ(Market::attribute("IBM", "price level"), Market::attribute("IBM", "price level"));
    EXPECT_NE(Market::attribute("IBM", "price level"), Market::attribute("IBM", "volume level"));
    EXPECT_NE(Market::attribute("IBM", "price level"), Market::attribute("IBN", "price level"));
    for (const std::string& ticker : Market::instance().universe()) {
        const double value = Market::attribute(ticker, "any key");
        ASSERT_GE(value, 0.0);
        ASSERT_LT(value, 1.0);
        const int whole = Market::whole(ticker, "any key", 3, 7);
        ASSERT_GE(whole, 3);
        ASSERT_LE(whole, 7);
    }
    // A symbol outside the universe has a quote and a name all the same.
    EXPECT_GT(Market::quote("ZZZZZ").price, 0.0);
    EXPECT_FALSE(Market::companyName("ZZZZZ").empty());
}

TEST(Market, SymbolForm)
{
    for (const char* good : {"A", "ibm", "MSFT", "GOOGL", "BRK.A", "RDS-B", "abc.xy"})
        EXPECT_TRUE(Market::isSymbol(good)) << good;
    for (const char* bad : {"", "ABCDEF", "BRK.", "BRK.ABC", ".A", "A1", "A B", "A*B", "<b>", "BRK..A", "A.B.C"})
        EXPECT_FALSE(Market::isSymbol(bad)) << bad;
}

TEST(Market, TopListsAreRankedPooledAndOverlap)
{
    const Market& market = Market::instance();
    const std::vector<std::string> first = market.top("key one", 400);
    ASSERT_EQ(first.size(), 400u);
    for (std::size_t i = 1; i < first.size(); ++i)
        ASSERT_GE(Market::attribute(first[i - 1], "key one"), Market::attribute(first[i], "key one"));

    const std::vector<std::string> second = market.top("key two", 400);
    std::set<std::string> common(first.begin(), first.end());
    const auto shared = std::count_if(second.begin(), second.end(), [&](const std::string& t) { return common.count(t); });
    EXPECT_GT(shared, 20);
    EXPECT_LT(shared, 200);

    for (const std::string& ticker : market.top("large", 500, Market::Pool::LargeCaps)) {
        EXPECT_GE(Market::quote(ticker).price, 10.0) << ticker;
        EXPECT_GE(Market::quote(ticker).volume, 500000) << ticker;
    }
    EXPECT_EQ(market.top("large", 500, Market::Pool::LargeCaps).size(), 500u);
    EXPECT_EQ(market.top("all", 100000).size(), market.universe().size());
}

struct ListAddress {
    const char* host;
    const char* path;
    const char* query;
    std::size_t low, high;
};

const ListAddress kLists[] = {
    {"www.clearstation.com", "/cgi-bin/drill_event", "Event=BreakOut", 20, 80},
    {"www.clearstation.com", "/cgi-bin/drill_event", "Event=macdBAfollow_w", 20, 80},
    {"www.clearstation.com", "/cgi-bin/drill_event", "Event=V", 20, 80},
    {"www.clearstation.com", "/cgi-bin/drill_event", "Event=macdBAfollow_m", 20, 80},
    {"www.nasdaq.com", "/dynamic/nasdaq100_activity.stm", "", 100, 100},
    {"www.wallstreettape.com", "/analysis/realtime/realtime.asp", "id=initiated", 15, 40},
    {"www.wallstreettape.com", "/analysis/realtime/realtime.asp", "id=psurprise", 15, 40},
    {"investor.cnet.com", "/investor/brokeragecenter/top-momentum/0-9910-1078-0-1.html", "tag=tmtm", 100, 100},
    {"www.upside.com", "/texis/mvm/stocktools/upside150", "", 150, 150},
    {"www.clearstation.com", "/cgi-bin/drill_event", "Event=P", 20, 80},
    {"www.barchart.com", "/sigtop.htx", "start=all", 100, 100},
    {"www.barchart.com", "/sectors.asp", "sec=top~100~stocks.sec", 100, 100},
    {"www.spglobal.com", "/indexmainglobal500_data.html", "", 500, 500},
};

TEST(Lists, HaveTheirSizesNoInnerDuplicatesAndShareTickers)
{
    std::map<std::string, int> listsHolding;
    for (const ListAddress& list : kLists) {
        const std::vector<std::string> tickers = simweb::listTickers(list.host, list.path, list.query);
        EXPECT_GE(tickers.size(), list.low) << list.path << "?" << list.query;
        EXPECT_LE(tickers.size(), list.high) << list.path << "?" << list.query;
        EXPECT_EQ(std::set<std::string>(tickers.begin(), tickers.end()).size(), tickers.size()) << list.query;
        for (const std::string& ticker : tickers)
            ++listsHolding[ticker];
    }
    const auto repeated = std::count_if(listsHolding.begin(), listsHolding.end(), [](const auto& e) { return e.second > 1; });
    EXPECT_GT(repeated, 50);
    EXPECT_EQ(simweb::listTickers("www.clearstation.com", "/cgi-bin/drill_event", "Event=Unknown").size(), 0u);
}

TEST(Lists, ClearStationSizesCoverOneToFourPagesAndAFullLastPage)
{
    std::set<std::size_t> pageCounts;
    bool fullLastPage = false;
    for (const char* event : {"Event=BreakOut", "Event=macdBAfollow_w", "Event=V", "Event=macdBAfollow_m", "Event=P"}) {
        const std::size_t size = simweb::listTickers("www.clearstation.com", "/cgi-bin/drill_event", event).size();
        pageCounts.insert((size + 24) / 25);
        fullLastPage = fullLastPage || size % 25 == 0;
    }
    EXPECT_EQ(pageCounts, (std::set<std::size_t>{1, 2, 3, 4}));
    EXPECT_TRUE(fullLastPage);
}

TEST(PageText, NumbersAndCharacterSets)
{
    EXPECT_EQ(simweb::formatPrice(23.5), "23.50");
    EXPECT_EQ(simweb::formatPrice(0.41), "0.41");
    EXPECT_EQ(simweb::formatChange(0.25), "+0.25");
    EXPECT_EQ(simweb::formatChange(-1.13), "-1.13");
    EXPECT_EQ(simweb::formatChange(-0.001), "0.00");
    EXPECT_EQ(simweb::formatPercent(1.0, 50.0), "+2.00%");
    EXPECT_EQ(simweb::formatVolume(1234500), "1,234,500");
    EXPECT_EQ(simweb::formatVolume(999), "999");
    EXPECT_EQ(simweb::formatVolume(25000), "25,000");
    EXPECT_EQ(simweb::formatVolume(100000), "100,000");

    EXPECT_EQ(simweb::toWindows1252("Caf\u00e9 \u2013 \u20ac5 \u2122"), "Caf\xe9 \x96 \x80" "5 \x99");
    EXPECT_EQ(simweb::toWindows1252("\u4e2d\xff"), "??");
    EXPECT_EQ(simweb::escapeHtml("A & B <\"x\">"), "A &amp; B &lt;&quot;x&quot;&gt;");
}

TEST(PageLayout, AMovedTableIsCaughtWhenThePageIsBuilt)
{
    EXPECT_NO_THROW(simweb::expectTableNumber(14, 14));
    EXPECT_THROW(simweb::expectTableNumber(13, 14), std::logic_error);

    simweb::HtmlWriter page("t");
    simweb::layoutTables(page, "Site", 13);
    EXPECT_EQ(page.tables(), 13);
    simweb::fillerTables(page, 3);
    EXPECT_EQ(page.tables(), 16);
    EXPECT_EQ(page.openTable(), 17);
}

} // namespace
