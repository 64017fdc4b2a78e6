// The price and volume filter against the simulated web's quote page.
#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "filter/filter.h"
#include "testsupport.h"
#include "tools/simweb/market.h"
#include "tools/simweb/quotemodel.h"

using namespace veltrop;
using veltrop::testing::WebUnitTest;
using veltrop::testing::passesDefaults;

namespace {

const std::string quoteBase = "http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=";
const std::string failureText = "Could not open Filtering site.. please write support@pellamys-veltrop.example";

std::vector<std::string> universe(std::size_t n)
{
    const auto& all = simweb::Market::instance().universe();
    return {all.begin(), all.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<std::string> passing(const std::vector<std::string>& tickers)
{
    std::vector<std::string> kept;
    for (const std::string& t : tickers)
        if (passesDefaults(t))
            kept.push_back(t);
    return kept;
}

std::string joined(const std::vector<std::string>& tickers, std::size_t count, char separator)
{
    std::string query;
    for (std::size_t i = 0; i < count; ++i)
        query += tickers[i] + separator;
    return query;
}

struct QuoteLine {
    std::string symbol, price, volume;
};

// A quote page in the site's layout: table 15 with a title row and a heading
// row, then one row per line (symbol in column 1, price 3, volume 7).
std::string quotePage(const std::vector<QuoteLine>& lines)
{
    std::string html = "<html><body>";
    for (int t = 1; t < 15; ++t)
        html += "<table><tr><td>layout " + std::to_string(t) + "</td></tr></table>";
    html += "<table><tr><td colspan=7>Quick Quotes</td></tr>"
            "<tr><th>Symbol<th>Company<th>Last<th>Change<th>% Chg<th>Prev Close<th>Volume</tr>";
    for (const QuoteLine& line : lines)
        html += "<tr><td><b>" + line.symbol + "</b><td>Co<td>" + line.price + "<td>0.00<td>0.00%<td>" +
                line.price + "<td>" + line.volume + "</tr>";
    html += "</table></body></html>";
    return html;
}

class Filter : public WebUnitTest, public FilterObserver {
protected:
    TickerList list;
    Limits limits;
    std::string progress;

    void filtering() override { progress = "Filtering..."; }
    void message(const std::string& text) override { messages.push_back(text); }

    void filter() { filterTickers(access(), list, limits, *this); }

    void load(const std::vector<std::string>& tickers)
    {
        list.clear();
        for (const std::string& ticker : tickers) {
            list.add(ticker);
            list[list.size() - 1].score = 3.0;  // a score left over from an earlier run
        }
    }

    std::vector<std::string> kept() const
    {
        std::vector<std::string> v;
        for (const ListedTicker& listed : list)
            v.push_back(listed.ticker);
        return v;
    }

    // Every score is empty.
    void expectRestEmpty() const
    {
        for (int i = 0; i < list.size(); ++i)
            EXPECT_TRUE(isEmpty(list[i].score)) << "score of row " << i;
    }
};

// ---- the requests ----

struct QueryCase {
    std::size_t tickers;
    std::vector<std::size_t> named;  // tickers named by each request
    char separator;
};

class FilterQueries : public Filter, public ::testing::WithParamInterface<QueryCase> {};

TEST_P(FilterQueries, SendTheQueryFormsAndKeepWhatPasses)
{
    const QueryCase c = GetParam();
    const std::vector<std::string> tickers = universe(c.tickers);
    load(tickers);

    filter();

    // Batches go out at once, so they may arrive in any order; a batch that
    // names what the one before it named shares its page.
    std::vector<std::string> expected;
    for (std::size_t n : c.named)
        expected.push_back(quoteBase + joined(tickers, n, c.separator));
    std::vector<std::string> sent = web.requests();
    std::sort(sent.begin(), sent.end());
    std::sort(expected.begin(), expected.end());
    expected.erase(std::unique(expected.begin(), expected.end()), expected.end());
    EXPECT_EQ(sent, expected);
    EXPECT_EQ(kept(), passing(tickers));
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(progress, "Filtering...");
    expectRestEmpty();
}

INSTANTIATE_TEST_SUITE_P(Counts, FilterQueries,
                         ::testing::Values(QueryCase{3, {3}, ','}, QueryCase{80, {80}, ','},
                                           QueryCase{81, {80, 81}, '+'},
                                           // a multiple of 80 repeats the whole query once more
                                           QueryCase{160, {80, 160, 160}, '+'},
                                           QueryCase{500, {80, 160, 240, 320, 400, 480, 500}, '+'}));

TEST_F(Filter, BlanksAreTrimmedInTheQueryAndKeptInTheTable)
{
    const std::vector<std::string> good = passing(universe(40));
    ASSERT_GE(good.size(), 3u);
    load({"  " + good[0] + " ", good[1] + "   ", " " + good[2]});

    filter();

    EXPECT_EQ(web.requests(), std::vector<std::string>{quoteBase + good[0] + "," + good[1] + "," + good[2] + ","});
    EXPECT_EQ(kept(), (std::vector<std::string>{"  " + good[0] + " ", good[1] + "   ", " " + good[2]}));
}

TEST_F(Filter, TickersArePercentEncodedBetweenLiteralSeparators)
{
    load({"AT&T", "A B", "BRK.B", "x=1"});
    filter();
    EXPECT_EQ(web.requests(), std::vector<std::string>{quoteBase + "AT%26T,A%20B,BRK.B,x%3D1,"});
}

TEST_F(Filter, AnEmptyListOpensNoPageAndChangesNothing)
{
    progress = "before";
    filter();
    EXPECT_TRUE(web.requests().empty());
    EXPECT_TRUE(list.empty());
    EXPECT_EQ(progress, "before");
}

// ---- the keep test ----

struct KeepCase {
    std::string price, volume;
    bool kept;
};

TEST_F(Filter, TheKeepTestAtItsEdges)
{
    const std::vector<KeepCase> cases = {
        {"5.00", "100,000", false},     // price at the minimum
        {"5.01", "100,000", true},
        {"12.00", "25,000", false},     // volume at the minimum
        {"12.00", "25,001", true},
        {"12.00", "25000.9", false},    // rounded down to the minimum
        {"12.00", "30,000", true},      // leading number 30, then 30000 as a whole
        {"12.00", "1,234,500", true},
        {"$12.00", "100,000", false},   // no leading number
        {"n/a", "100,000", false},
        {"", "100,000", false},
        {"12.00", "n/a", false},
        {"12.00", "1.2M", false},       // a unit letter: does not convert as a whole
        {"12.00", "850.0K", false},
        {"0", "100,000", false},
        {"-7", "100,000", false},
        {"12.00", "0", false},
        {"12.00", " 40,000 ", true},
        {"5.001", "25,100", true},
    };
    std::vector<std::string> tickers;
    std::vector<QuoteLine> lines;
    std::vector<std::string> expected;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const std::string ticker = "K" + std::string(1, char('A' + i));
        tickers.push_back(ticker);
        lines.push_back({ticker, cases[i].price, cases[i].volume});
        if (cases[i].kept)
            expected.push_back(ticker);
    }
    web.setPage(quoteBase + joined(tickers, tickers.size(), ','), quotePage(lines));
    load(tickers);

    filter();

    EXPECT_EQ(kept(), expected);
    EXPECT_TRUE(messages.empty());
}

TEST_F(Filter, TheLimitsAreTheTypedOnes)
{
    const std::vector<std::string> tickers = {"LA", "LB", "LC"};
    web.setPage(quoteBase + "LA,LB,LC,", quotePage({{"LA", "20.00", "2,000,000"},
                                                    {"LB", "50.00", "2,000,000"},
                                                    {"LC", "50.00", "900,000"}}));
    limits.price = 20;
    limits.volume = 1000000;
    load(tickers);
    filter();
    EXPECT_EQ(kept(), std::vector<std::string>{"LB"});
}

TEST_F(Filter, EveryAwkwardFormOfTheQuotePageIsDropped)
{
    // Besides Plain the model shows n/a prices, prices of exactly 5, volumes
    // of exactly 25,000 and volumes with a unit letter: ten of each.
    std::map<simweb::QuoteForm, int> taken;
    std::vector<std::string> tickers = passing(universe(30));
    for (const std::string& t : universe(500)) {
        const simweb::QuoteForm f = simweb::quoteForm(t);
        if (f != simweb::QuoteForm::Plain && taken[f] < 10) {
            ++taken[f];
            tickers.push_back(t);
        }
    }
    ASSERT_EQ(taken.size(), 4u);
    ASSERT_LE(tickers.size(), 80u);
    load(tickers);
    filter();
    EXPECT_EQ(kept(), passing(universe(30)));
}

// ---- failures and pages that do not answer in order ----

TEST_F(Filter, AFailedSingleRequestKeepsNothingWithOneMessage)
{
    web.setFault("/portfolio_quick_quotes.asp", simweb::Fault::NotFound);
    load(universe(10));
    filter();
    EXPECT_EQ(messages, std::vector<std::string>{failureText});
    EXPECT_TRUE(list.empty());
    expectRestEmpty();
}

TEST_F(Filter, AFailedBatchDropsOnlyItsTickersWithOneMessage)
{
    const std::vector<std::string> tickers = universe(200);
    // Only the third request names all 200; the first two are shorter.
    web.setFault(quoteBase + joined(tickers, 200, '+'), simweb::Fault::ServerError);
    load(tickers);

    filter();

    EXPECT_EQ(messages, std::vector<std::string>{failureText});
    EXPECT_EQ(web.requests().size(), 3u);
    EXPECT_EQ(kept(), passing(universe(160)));
    expectRestEmpty();
}

TEST_F(Filter, EveryFailedBatchHasItsOwnMessage)
{
    web.setFault("/portfolio_quick_quotes.asp", simweb::Fault::Drop);
    load(universe(170));
    filter();
    EXPECT_EQ(messages, std::vector<std::string>(3, failureText));
    EXPECT_TRUE(list.empty());
}

struct GapCase {
    const char* name;
    std::vector<QuoteLine> lines;
    std::vector<std::string> kept;
};

TEST_F(Filter, AQuotePageThatLeavesATickerOutGivesNoOneANeighboursQuote)
{
    const std::vector<GapCase> cases = {
        {"in order",
         {{"GA", "10.00", "100,000"}, {"GB", "30.00", "300,000"}, {"GC", "2.00", "900,000"}, {"GD", "20.00", "200,000"}},
         {"GA", "GB", "GD"}},
        // GB left out: read by position, GC would get GD's quote and GD none.
        {"one left out",
         {{"GA", "10.00", "100,000"}, {"GC", "2.00", "900,000"}, {"GD", "20.00", "200,000"}},
         {"GA", "GD"}},
        {"reversed, in other letter case",
         {{"gd ", "20.00", "200,000"}, {"GC", "2.00", "900,000"}, {"gb", "30.00", "300,000"}, {"GA", "10.00", "100,000"}},
         {"GA", "GB", "GD"}},
        {"none of them", {{"XX", "50.00", "900,000"}}, {}},
    };
    for (const GapCase& c : cases) {
        SCOPED_TRACE(c.name);
        web.clearPages();
        web.setPage(quoteBase + "GA,GB,GC,GD,", quotePage(c.lines));
        load({"GA", "GB", "GC", "GD"});
        filter();
        EXPECT_EQ(kept(), c.kept);
    }
}

TEST_F(Filter, ABatchPageThatLeavesATickerOutKeepsTheRowsOfTheOthers)
{
    // 90 tickers: the second request names all 90 and its rows 83 to 92 are
    // those of tickers 81 to 90. A page that leaves ticker 85 out still gives
    // every other ticker its own quote.
    std::vector<std::string> tickers;
    std::vector<QuoteLine> first, second;
    for (int i = 1; i <= 90; ++i) {
        const std::string t = "T" + std::to_string(i);
        tickers.push_back(t);
        // Odd tickers are cheap, even ones pass.
        const QuoteLine line{t, i % 2 ? "3.00" : "30.00", "500,000"};
        if (i <= 80)
            first.push_back(line);
        if (i != 85)
            second.push_back(line);
    }
    web.setPage(quoteBase + joined(tickers, 80, '+'), quotePage(first));
    web.setPage(quoteBase + joined(tickers, 90, '+'), quotePage(second));
    load(tickers);

    filter();

    std::vector<std::string> expected;
    for (int i = 2; i <= 90; i += 2)
        expected.push_back("T" + std::to_string(i));
    EXPECT_EQ(kept(), expected);
}

} // namespace
