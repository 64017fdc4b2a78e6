// The pages as the program reads them: through its page fetcher, at the
// table, row and column numbers of its list sources and of the quote page.
#include <set>

#include <gtest/gtest.h>

#include "client.h"
#include "app/sourceboxes.h"
#include "lists/listsources.h"
#include "tools/simweb/html.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/quotemodel.h"
#include "tools/simweb/server.h"
#include "web/fetchpool.h"
#include "web/pagefetcher.h"

using simweb::Market;

namespace {

constexpr int kLimitSeconds = 10;
const std::string kQuotePage = "http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=";

class ThroughFetcher : public ::testing::Test {
protected:
    simweb::Server web;
    simtest::ProxyEnvironment route{web.proxyUrl()};
    veltrop::PageFetcher fetcher;

    // The tickers of one page pass, read the way the list walker reads them.
    std::vector<std::string> pageTickers(const veltrop::ListSource& source)
    {
        std::vector<std::string> tickers;
        for (int k = 1; k <= 500; k += source.step) {
            std::string text = fetcher.GetCellText(source.table, source.row + k, source.column);
            if (text.empty())
                break;
            tickers.push_back(std::move(text));
        }
        return tickers;
    }

    // Opens the page the source's next-page cell links to; empty address when
    // the cell holds no link.
    std::string nextPage(const veltrop::ListSource& source)
    {
        const std::string cell = fetcher.GetCellText(source.nextTable, source.nextRow, source.nextColumn);
        if (cell.find(source.nextText) == std::string::npos)
            return {};
        const std::string url = fetcher.FindLinkUrl(cell, 1);
        EXPECT_TRUE(fetcher.OpenPage(url, kLimitSeconds)) << url;
        return url;
    }

    std::vector<std::string> harvest(const veltrop::ListSource& source)
    {
        std::vector<std::string> tickers;
        EXPECT_TRUE(fetcher.OpenPage(source.url, kLimitSeconds)) << source.url;
        for (int page = 1; page <= 10; ++page) {
            const std::vector<std::string> more = pageTickers(source);
            tickers.insert(tickers.end(), more.begin(), more.end());
            if (!source.paging || nextPage(source).empty())
                break;
        }
        return tickers;
    }

    const veltrop::ListSource& source(int box) const
    {
        for (const veltrop::ListSource& candidate : veltrop::listSources())
            if (veltrop::listBoxOf(candidate.name) == box)
                return candidate;
        throw std::out_of_range("no list source for box " + std::to_string(box));
    }
};

TEST_F(ThroughFetcher, EveryListIsReadWhereTheProgramLooks)
{
    for (const veltrop::ListSource& list : veltrop::listSources()) {
        const std::vector<std::string> expected = simweb::listTickers(list.url);
        ASSERT_FALSE(expected.empty()) << list.url;
        EXPECT_EQ(harvest(list), expected) << list.url;
    }
}

TEST_F(ThroughFetcher, TheLastClearStationPageHasNoNextLink)
{
    const veltrop::ListSource& breakOut = source(0);  // 37 tickers: two pages
    ASSERT_TRUE(fetcher.OpenPage(breakOut.url, kLimitSeconds));
    EXPECT_EQ(fetcher.GetCellText(17, 1, 4), "Next Page");
    EXPECT_EQ(nextPage(breakOut), breakOut.url + "&Page=2");
    EXPECT_EQ(pageTickers(breakOut).size(), 12u);
    EXPECT_EQ(fetcher.GetCellText(17, 1, 4), "");
    EXPECT_EQ(fetcher.GetCellText(17, 1, 3), "Previous Page");
}

TEST_F(ThroughFetcher, OddPageNumbersStayWithinTheList)
{
    const veltrop::ListSource& breakOut = source(0);
    const std::vector<std::string> all = simweb::listTickers(breakOut.url);
    ASSERT_TRUE(fetcher.OpenPage(breakOut.url + "&Page=0", kLimitSeconds));
    EXPECT_EQ(pageTickers(breakOut), std::vector<std::string>(all.begin(), all.begin() + 25));
    ASSERT_TRUE(fetcher.OpenPage(breakOut.url + "&Page=x2", kLimitSeconds));
    EXPECT_EQ(pageTickers(breakOut), std::vector<std::string>(all.begin(), all.begin() + 25));

    ASSERT_TRUE(fetcher.OpenPage(breakOut.url + "&Page=9", kLimitSeconds));
    EXPECT_EQ(pageTickers(breakOut).size(), 0u);
    EXPECT_EQ(fetcher.GetCellText(17, 1, 4), "");

    web.setFault(breakOut.url, simweb::Fault::EndlessPaging);
    ASSERT_TRUE(fetcher.OpenPage(breakOut.url + "&Page=9223372036854775807", kLimitSeconds));
    EXPECT_EQ(nextPage(breakOut), breakOut.url + "&Page=1000000000");
    EXPECT_EQ(nextPage(breakOut), breakOut.url + "&Page=1000000000");
}

TEST_F(ThroughFetcher, WindowsCodePagesDecodeToTheCompanyNames)
{
    // S&P names the code page in its header, Upside only in a META tag.
    const std::pair<int, int> companyColumns[] = {{2, 2}, {6, 3}};  // box, company column
    for (const auto& [box, column] : companyColumns) {
        const veltrop::ListSource& list = source(box);
        ASSERT_TRUE(fetcher.OpenPage(list.url, kLimitSeconds));
        int foreign = 0;
        const std::vector<std::string> tickers = pageTickers(list);
        ASSERT_FALSE(tickers.empty());
        for (std::size_t k = 1; k <= tickers.size(); ++k) {
            const std::string name = Market::companyName(tickers[k - 1]);
            EXPECT_EQ(fetcher.GetCellText(list.table, list.row + static_cast<int>(k), column), name);
            foreign += name.find_first_of("\xc3") != std::string::npos;
        }
        EXPECT_GT(foreign, 0) << list.url;
    }
}

TEST_F(ThroughFetcher, WallStreetTapeCommentRowsHoldNoTicker)
{
    const veltrop::ListSource& initiated = source(16);
    ASSERT_TRUE(fetcher.OpenPage(initiated.url, kLimitSeconds));
    EXPECT_EQ(fetcher.GetCellText(initiated.table, 3, initiated.column), "");
    EXPECT_NE(fetcher.GetCellText(initiated.table, 3, 1).find("starts coverage"), std::string::npos);
}

TEST_F(ThroughFetcher, EndlessPagingLinksToFreshEmptyPages)
{
    const veltrop::ListSource& breakOut = source(0);
    web.setFault(breakOut.url, simweb::Fault::EndlessPaging);
    ASSERT_TRUE(fetcher.OpenPage(breakOut.url, kLimitSeconds));
    EXPECT_EQ(pageTickers(breakOut).size(), 25u);
    std::set<std::string> visited{breakOut.url};
    for (int page = 2; page <= 6; ++page) {
        const std::string url = nextPage(breakOut);
        ASSERT_FALSE(url.empty()) << "page " << page;
        EXPECT_TRUE(visited.insert(url).second) << url;
        EXPECT_EQ(pageTickers(breakOut).size(), 0u) << url;
    }
}

TEST_F(ThroughFetcher, PagingLoopLeadsFromTheLastPageBackToTheFirst)
{
    const veltrop::ListSource& highs = source(7);  // pager above the list, 78 tickers: four pages
    web.setFault(highs.url, simweb::Fault::PagingLoop);
    ASSERT_TRUE(fetcher.OpenPage(highs.url, kLimitSeconds));
    std::vector<std::string> urls;
    for (int page = 1; page <= 4; ++page)
        urls.push_back(nextPage(highs));
    EXPECT_EQ(urls.back(), highs.url);
    EXPECT_EQ(std::set<std::string>(urls.begin(), urls.end()).size(), 4u);
}

// ---- the quote page ----

struct QuoteRow {
    std::string symbol, price, volume;
};

QuoteRow expectedRow(const std::string& symbol)
{
    const simweb::ShownQuote shown = simweb::shownQuote(symbol);
    return {symbol, shown.last, shown.volume};
}

class QuotePage : public ThroughFetcher {
protected:
    void expectRows(const std::vector<std::string>& symbols)
    {
        for (std::size_t i = 1; i <= symbols.size(); ++i) {
            const int row = static_cast<int>(i) + 2;
            const QuoteRow expected = expectedRow(symbols[i - 1]);
            EXPECT_EQ(fetcher.GetCellText(15, row, 1), expected.symbol) << "row " << row;
            EXPECT_EQ(fetcher.GetCellText(15, row, 3), expected.price) << "row " << row;
            EXPECT_EQ(fetcher.GetCellText(15, row, 7), expected.volume) << "row " << row;
        }
        EXPECT_EQ(fetcher.GetCellText(15, static_cast<int>(symbols.size()) + 3, 1), "");
    }
};

TEST_F(QuotePage, OneRowPerTickerAfterTwoHeaderRows)
{
    ASSERT_TRUE(fetcher.OpenPage(kQuotePage + "ibm,Msft+brk.a%2CBAD*1%2Bxyz%20T,", kLimitSeconds));
    EXPECT_EQ(fetcher.GetCellText(15, 2, 1), "Symbol");
    EXPECT_EQ(fetcher.GetCellText(15, 2, 7), "Volume");
    expectRows({"IBM", "MSFT", "BRK.A", "BAD*1", "XYZ", "T"});
}

TEST_F(QuotePage, AnEmptyEntryKeepsTheRowsAfterItInPlace)
{
    ASSERT_TRUE(fetcher.OpenPage(kQuotePage + "AA,,BB,", kLimitSeconds));
    expectRows({"AA", "", "BB"});
}

TEST_F(QuotePage, ABatchOfFiveHundredTickers)
{
    std::vector<std::string> symbols(Market::instance().universe().begin(), Market::instance().universe().begin() + 500);
    std::string query;
    for (const std::string& symbol : symbols)
        query += symbol + "+";
    ASSERT_TRUE(fetcher.OpenPage(kQuotePage + query, kLimitSeconds));
    expectRows(symbols);
}

// The page shows most quotes as the market has them and a few in the awkward
// forms a reader must cope with; a batch of 500 holds every form.
TEST(QuoteModel, ShowsTheMarketsQuoteAndEveryAwkwardForm)
{
    std::set<simweb::QuoteForm> forms;
    for (const std::string& symbol : std::vector<std::string>(Market::instance().universe().begin(),
                                                              Market::instance().universe().begin() + 500)) {
        const simweb::QuoteForm form = simweb::quoteForm(symbol);
        forms.insert(form);
        const simweb::ShownQuote shown = simweb::shownQuote(symbol);
        const simweb::Quote q = Market::quote(symbol);
        if (form == simweb::QuoteForm::Plain) {
            EXPECT_EQ(shown.last, simweb::formatPrice(q.price)) << symbol;
            EXPECT_EQ(shown.volume, simweb::formatVolume(q.volume)) << symbol;
        }
    }
    EXPECT_EQ(forms.size(), 5u);  // all but NotASymbol
    EXPECT_EQ(simweb::shownQuote("BAD*1").last, "n/a");
}

TEST_F(QuotePage, NoTickersGiveOnlyTheHeaderRows)
{
    ASSERT_TRUE(fetcher.OpenPage(kQuotePage, kLimitSeconds));
    EXPECT_EQ(fetcher.GetCellText(15, 2, 3), "Last");
    EXPECT_EQ(fetcher.GetCellText(15, 3, 1), "");
}

TEST_F(ThroughFetcher, TheConnectionProbeFindsTheSimulatedWeb)
{
    veltrop::FetchPool engine;
    EXPECT_TRUE(veltrop::ConnectionProbe(engine, "http://www.washingtonpost.com/").IsConnected());
    EXPECT_EQ(web.requests().back(), "http://www.washingtonpost.com/");
}

} // namespace
