// The published ticker lists. Each page puts its data table at the number the
// program reads it from, with as many header rows before the first ticker as
// the program skips, and nothing after the last ticker, so that a reader that
// stops at the first empty cell stops there.
#include "tools/simweb/html.h"
#include "tools/simweb/http.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/sites.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>

namespace simweb {
namespace {

namespace hosts = veltrop::hosts;

enum class Layout {
    ClearStation,            // data table 14, pager table 17 after it
    ClearStationPagerFirst,  // data table 14, pager table 10 before it
    Nasdaq100,
    WallStreetTape,
    CnetMomentum,
    Upside150,
    BarchartSignals,
    BarchartAlpha,
    StandardPoors500,
};

enum class Order { Rank, Symbol, Company };

struct ListSource {
    std::string_view host;
    std::string_view path;
    std::string_view parameter;  // query parameter naming the list; empty when the page has one list
    std::string_view value;
    std::string_view query;      // the whole query the site knows, as the site writes it
    std::string_view title;
    std::size_t size;
    Market::Pool pool;
    Order order;
    Layout layout;
};

using enum Layout;
using enum Order;
constexpr auto All = Market::Pool::All;
constexpr auto LargeCaps = Market::Pool::LargeCaps;

constexpr std::string_view kDrillEvent = "/cgi-bin/drill_event";
constexpr std::string_view kRealtime = "/analysis/realtime/realtime.asp";

// Sizes are like the real lists'; 50 fills exactly two ClearStation pages, so
// a full last page without a next link is covered too.
constexpr std::array<ListSource, 13> kSources{{
    {hosts::clearstation, kDrillEvent, "Event", "BreakOut", "Event=BreakOut", "Price Breakout", 37, All, Rank, ClearStation},
    {hosts::clearstation, kDrillEvent, "Event", "macdBAfollow_w", "Event=macdBAfollow_w", "5-Day Trend Followers", 50, All, Rank, ClearStation},
    {hosts::clearstation, kDrillEvent, "Event", "V", "Event=V", "Record Volume", 23, All, Rank, ClearStation},
    {hosts::clearstation, kDrillEvent, "Event", "macdBAfollow_m", "Event=macdBAfollow_m", "30-Day Trend Followers", 64, All, Rank, ClearStation},
    {hosts::clearstation, kDrillEvent, "Event", "P", "Event=P", "New 52-Week Highs", 78, All, Rank, ClearStationPagerFirst},
    {hosts::nasdaq, "/dynamic/nasdaq100_activity.stm", "", "", "", "Nasdaq-100 Index Activity", 100, LargeCaps, Company, Nasdaq100},
    {hosts::wallstreettape, kRealtime, "id", "initiated", "id=initiated", "Coverage Initiated", 18, All, Rank, WallStreetTape},
    {hosts::wallstreettape, kRealtime, "id", "psurprise", "id=psurprise", "Earnings Surprises", 33, All, Rank, WallStreetTape},
    {hosts::cnetInvestor, "/investor/brokeragecenter/top-momentum/0-9910-1078-0-1.html", "", "", "tag=tmtm",
     "Top 100 Momentum Stocks", 100, All, Rank, CnetMomentum},
    {hosts::upside, "/texis/mvm/stocktools/upside150", "", "", "", "The Upside 150", 150, All, Rank, Upside150},
    {hosts::barchart, "/sigtop.htx", "", "", "start=all", "Top 100 Signal Strength", 100, All, Rank, BarchartSignals},
    {hosts::barchart, "/sectors.asp", "sec", "top~100~stocks.sec", "sec=top~100~stocks.sec", "Top 100 Stocks by Alpha", 100, All, Rank, BarchartAlpha},
    {hosts::standardPoors, "/indexmainglobal500_data.html", "", "", "", "S&P 500 Index Constituents", 500, LargeCaps, Symbol,
     StandardPoors500},
}};

constexpr long long kRowsPerPage = 25;
constexpr long long kLastPageNumber = 1'000'000'000;
constexpr std::string_view kUtf8Html = "text/html; charset=utf-8";

// One page of a list as it is shown.
struct ListPage {
    const ListSource& source;
    std::vector<std::string> tickers;  // on this page
    std::size_t firstRank = 1;         // list position of the page's first ticker
    long long number = 1;              // page number
    long long count = 1;               // pages of the list; 0 when it never ends
    std::string nextHref;              // empty on the last page
};

bool isPaged(const ListSource& source)
{
    return source.layout == ClearStation || source.layout == ClearStationPagerFirst;
}

std::vector<std::string_view> queryParts(std::string_view query)
{
    std::vector<std::string_view> parts;
    while (!query.empty()) {
        const auto amp = query.find('&');
        parts.push_back(query.substr(0, amp));
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    std::sort(parts.begin(), parts.end());
    return parts;
}

// The site answers only the query it knows, in any order of its parts, and
// on a paged list a page number; anything else is a page it does not have.
bool knowsQuery(const ListSource& source, std::string_view query)
{
    std::vector<std::string_view> parts = queryParts(query);
    if (isPaged(source))
        std::erase_if(parts, [](std::string_view part) { return part.starts_with("Page="); });
    return parts == queryParts(source.query);
}

const ListSource* findSource(std::string_view host, std::string_view path, std::string_view query)
{
    for (const ListSource& source : kSources)
        if (source.host == host && source.path == path && knowsQuery(source, query))
            return &source;
    return nullptr;
}

// The key a list's tickers are ranked by; each list has its own.
std::string listKey(const ListSource& source)
{
    return "list " + std::string(source.host) + std::string(source.path) + "?" + std::string(source.value);
}

std::vector<std::string> orderedTickers(const ListSource& source)
{
    std::vector<std::string> tickers = Market::instance().top(listKey(source), source.size, source.pool);
    if (source.order == Symbol)
        std::sort(tickers.begin(), tickers.end());
    else if (source.order == Company)
        std::sort(tickers.begin(), tickers.end(), [](const std::string& a, const std::string& b) {
            return std::pair(Market::companyName(a), a) < std::pair(Market::companyName(b), b);
        });
    return tickers;
}

// Page numbers are capped so that an endless walk cannot count past the
// range of the number.
long long requestedPage(std::string_view query)
{
    const std::string text = queryValue(query, "Page").value_or("1");
    long long number = 1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size() || number < 1)
        return 1;
    return std::min(number, kLastPageNumber);
}

// Relative address of page `number`, the way the site wrote its own links.
std::string pageHref(const ListSource& source, long long number)
{
    const std::string_view file = source.path.substr(source.path.rfind('/') + 1);
    std::string href = std::string(file) + "?" + std::string(source.parameter) + "=" + std::string(source.value);
    if (number > 1)
        href += "&amp;Page=" + std::to_string(number);
    return href;
}

ListPage pageOfList(const ListSource& source, const std::vector<std::string>& all, long long number, Paging paging)
{
    const long long count = std::max(1LL, (static_cast<long long>(all.size()) + kRowsPerPage - 1) / kRowsPerPage);
    ListPage page{source, {}, 1, number, paging == Paging::Endless ? 0 : count, {}};
    const bool showsTickers = paging == Paging::Endless ? number == 1 : number <= count;
    if (showsTickers) {
        const auto first = static_cast<std::size_t>((number - 1) * kRowsPerPage);
        const auto last = std::min(all.size(), first + static_cast<std::size_t>(kRowsPerPage));
        page.tickers.assign(all.begin() + static_cast<std::ptrdiff_t>(first), all.begin() + static_cast<std::ptrdiff_t>(last));
        page.firstRank = first + 1;
    }
    if (paging == Paging::Endless || number < count)
        page.nextHref = pageHref(source, std::min(number + 1, kLastPageNumber));
    else if (paging == Paging::Loop)
        page.nextHref = pageHref(source, 1);
    return page;
}

// ---- cell helpers ----

void dataRow(HtmlWriter& page, std::initializer_list<std::string> cells)
{
    page.row();
    for (const std::string& html : cells)
        page.cell(html);
}

void headingRow(HtmlWriter& page, std::initializer_list<std::string_view> headings)
{
    page.row(R"(BGCOLOR="#DDDDDD")");
    for (std::string_view heading : headings)
        page.headCell("<FONT SIZE=-1>" + std::string(heading) + "</FONT>", "ALIGN=left");
}

std::string symbolLink(std::string_view href, const std::string& ticker)
{
    return "<A HREF=\"" + std::string(href) + escapeHtml(ticker) + "\">" + escapeHtml(ticker) + "</A>";
}

std::string company(const std::string& ticker) { return escapeHtml(Market::companyName(ticker)); }
std::string price(const std::string& ticker) { return formatPrice(Market::quote(ticker).price); }
std::string change(const std::string& ticker) { return formatChange(Market::quote(ticker).change); }
std::string volume(const std::string& ticker) { return formatVolume(Market::quote(ticker).volume); }

std::string percentChange(const std::string& ticker)
{
    const Quote q = Market::quote(ticker);
    return formatPercent(q.change, q.price);
}

// A score from 0 to 99 that falls with the list position, since the list is
// ranked by the same attribute.
int listScore(const ListSource& source, const std::string& ticker)
{
    return static_cast<int>(Market::attribute(ticker, listKey(source)) * 100.0);
}

std::string twoDecimals(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

// ---- ClearStation ----

// The pager's fourth cell holds the next-page link and nothing else: the list
// reader looks for the link text in that one cell.
int pagerTable(HtmlWriter& page, const ListPage& list)
{
    const int table = page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0 BGCOLOR="#E8E8E8")");
    page.row();
    std::string position = "Page " + std::to_string(list.number);
    if (list.count > 0)
        position += " of " + std::to_string(list.count);
    page.cell("<FONT SIZE=-1>" + position + "</FONT>");
    page.cell("&nbsp;", R"(WIDTH="60%")");
    page.cell(list.number > 1 ? "<A HREF=\"" + pageHref(list.source, list.number - 1) + "\">Previous Page</A>" : "&nbsp;",
              "ALIGN=right");
    page.cell(list.nextHref.empty() ? "&nbsp;" : "<A HREF=\"" + list.nextHref + "\">Next Page</A>", "ALIGN=right");
    page.closeTable();
    return table;
}

Page clearStationPage(const ListPage& list)
{
    constexpr std::string_view site = "ClearStation";
    const bool pagerFirst = list.source.layout == ClearStationPagerFirst;
    HtmlWriter page("ClearStation : Event Drill Down : " + std::string(list.source.title));
    if (pagerFirst) {
        // The record-highs page shows its pager above the list.
        layoutTables(page, site, 9);
        expectTableNumber(pagerTable(page, list), 10);
        fillerTables(page, 3);
    } else {
        layoutTables(page, site, 13);
    }
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=1 CELLPADDING=2 CELLSPACING=0)"), 14);
    page.row(R"(BGCOLOR="#336699")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>" + std::string(list.source.title) + "</B> &nbsp;Event drill-down</FONT>",
              "COLSPAN=5");
    headingRow(page, {"Symbol", "Company", "Last", "Change", "Volume"});
    for (const std::string& ticker : list.tickers)
        dataRow(page, {symbolLink("/cgi-bin/details?Symbol=", ticker), company(ticker), price(ticker), change(ticker),
                       volume(ticker)});
    page.closeTable();
    if (!pagerFirst) {
        fillerTables(page, 2);
        expectTableNumber(pagerTable(page, list), 17);
    }
    footerTable(page, site);
    return {200, std::string(kUtf8Html), page.finish()};
}

// ---- the one-page lists ----

Page nasdaq100Page(const ListPage& list)
{
    constexpr std::string_view site = "Nasdaq";
    HtmlWriter page("Nasdaq-100 Index Activity");
    layoutTables(page, site, 10);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=1 BGCOLOR="#FFFFFF")"), 11);
    headingRow(page, {"Company Name", "Symbol", "Last Sale", "Net Change", "Share Volume"});
    for (const std::string& ticker : list.tickers)
        dataRow(page, {company(ticker), symbolLink("/asp/quotes_full.asp?symbol=", ticker), price(ticker),
                       change(ticker), volume(ticker)});
    page.closeTable();
    footerTable(page, site);
    return {200, std::string(kUtf8Html), page.finish()};
}

constexpr std::array<const char*, 8> kBrokerages{
    "Hartwell Securities", "Bancroft & Lowe", "Kessler Capital", "Dunmore Partners",
    "Whitcombe Research", "Ashby Tate & Co.", "Greystone Brokerage", "Morrow Investment Group"};
constexpr std::array<const char*, 5> kRatings{"Buy", "Strong Buy", "Accumulate", "Market Perform", "Outperform"};

std::string tradeTime(const std::string& ticker)
{
    const int minutes = 9 * 60 + 30 + Market::whole(ticker, "wst time", 0, 389);
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d %s", (minutes / 60 - 1) % 12 + 1, minutes % 60, minutes < 12 * 60 ? "AM" : "PM");
    return text;
}

std::string brokerage(const std::string& ticker)
{
    return escapeHtml(kBrokerages[static_cast<std::size_t>(Market::whole(ticker, "wst brokerage", 0, 7))]);
}

// The two WallStreetTape lists follow every item with a comment row of one
// wide cell, so the tickers stand on every second row.
void commentRow(HtmlWriter& page, const std::string& comment)
{
    page.row();
    page.cell("<FONT SIZE=-1 COLOR=\"#666666\">" + comment + "</FONT>", "COLSPAN=6");
}

void coverageRows(HtmlWriter& page, const std::string& ticker)
{
    const std::string rating = kRatings[static_cast<std::size_t>(Market::whole(ticker, "wst rating", 0, 4))];
    dataRow(page, {tradeTime(ticker), company(ticker), brokerage(ticker), rating,
                   symbolLink("/quote.asp?ticker=", ticker), price(ticker)});
    commentRow(page, brokerage(ticker) + " starts coverage of " + company(ticker) + " with a " + rating + " rating.");
}

void surpriseRows(HtmlWriter& page, const std::string& ticker)
{
    const double estimate = Market::whole(ticker, "eps estimate", 5, 120) / 100.0;
    const double actual = estimate + Market::whole(ticker, "eps surprise", 1, 15) / 100.0;
    dataRow(page, {"06/" + std::to_string(Market::whole(ticker, "wst day", 10, 28)), company(ticker),
                   twoDecimals(estimate), twoDecimals(actual), symbolLink("/quote.asp?ticker=", ticker),
                   twoDecimals(100.0 * (actual - estimate) / estimate) + "%"});
    commentRow(page, company(ticker) + " earned " + twoDecimals(actual) + " a share against a consensus of "
                         + twoDecimals(estimate) + ".");
}

Page wallStreetTapePage(const ListPage& list)
{
    constexpr std::string_view site = "WallStreetTape";
    const bool surprises = list.source.value == "psurprise";
    HtmlWriter page("WallStreetTape.com - Real-Time Analysis - " + std::string(list.source.title));
    layoutTables(page, site, 18);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=3 CELLSPACING=0)"), 19);
    if (surprises)
        headingRow(page, {"Date", "Company", "Estimate", "Actual", "Symbol", "Surprise"});
    else
        headingRow(page, {"Time", "Company", "Brokerage", "Rating", "Symbol", "Price"});
    for (const std::string& ticker : list.tickers) {
        if (surprises)
            surpriseRows(page, ticker);
        else
            coverageRows(page, ticker);
    }
    page.closeTable();
    footerTable(page, site);
    return {200, std::string(kUtf8Html), page.finish()};
}

Page cnetMomentumPage(const ListPage& list)
{
    constexpr std::string_view site = "CNET Investor";
    HtmlWriter page("CNET Investor: Brokerage Center: Top Momentum");
    layoutTables(page, site, 11);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0)"), 12);
    page.row(R"(BGCOLOR="#990000")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>" + std::string(list.source.title) + "</B></FONT>", "COLSPAN=5");
    headingRow(page, {"Rank", "Symbol", "Company", "Momentum Rating", "Price"});
    std::size_t rank = list.firstRank;
    for (const std::string& ticker : list.tickers)
        dataRow(page, {std::to_string(rank++), symbolLink("/investor/quotes/?symbol=", ticker), company(ticker),
                       std::to_string(listScore(list.source, ticker)), price(ticker)});
    page.closeTable();
    footerTable(page, site);
    return {200, std::string(kUtf8Html), page.finish()};
}

// Served in Windows-1252, named only by a META tag, as the site did.
Page upside150Page(const ListPage& list)
{
    constexpr std::string_view site = "Upside";
    HtmlWriter page("Upside Stock Tools \u2013 The Upside 150\u2122", "windows-1252");
    layoutTables(page, site, 23);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=1 CELLPADDING=2 CELLSPACING=0)"), 24);
    headingRow(page, {"Rank", "Symbol", "Company", "Price", "Change", "Volume"});
    std::size_t rank = list.firstRank;
    for (const std::string& ticker : list.tickers)
        dataRow(page, {std::to_string(rank++), symbolLink("/texis/mvm/stocktools/quote?symbol=", ticker),
                       company(ticker), price(ticker), change(ticker), volume(ticker)});
    page.closeTable();
    footerTable(page, site);
    return {200, "text/html", toWindows1252(page.finish())};
}

Page barchartPage(const ListPage& list)
{
    constexpr std::string_view site = "Barchart.com";
    const bool signals = list.source.layout == BarchartSignals;
    HtmlWriter page("Barchart.com - " + std::string(list.source.title));
    layoutTables(page, site, 10);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=1 BGCOLOR="#F0F0F0")"), 11);
    if (signals)
        headingRow(page, {"Symbol", "Name", "Last", "Change", "Signal"});
    else
        headingRow(page, {"Symbol", "Name", "Last", "Pct Chg", "Alpha"});
    for (const std::string& ticker : list.tickers) {
        const int score = listScore(list.source, ticker);
        dataRow(page, {symbolLink("/quote.htx?sym=", ticker), company(ticker), price(ticker),
                       signals ? change(ticker) : percentChange(ticker),
                       signals ? "Buy " + std::to_string(score) + "%" : twoDecimals(score * 0.3)});
    }
    page.closeTable();
    footerTable(page, site);
    return {200, std::string(kUtf8Html), page.finish()};
}

// Served in Windows-1252, named in the Content-Type header.
Page standardPoors500Page(const ListPage& list)
{
    constexpr std::string_view site = "Standard & Poor's";
    HtmlWriter page("S&P 500 Index Data");
    layoutTables(page, site, 10);
    page.raw("<H2>S&amp;P 500\u00ae Index \u2013 Constituents</H2>\n");
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0)"), 11);
    headingRow(page, {"Ticker", "Company", "Price", "Change", "Volume"});
    for (const std::string& ticker : list.tickers)
        dataRow(page, {escapeHtml(ticker), company(ticker), price(ticker), change(ticker), volume(ticker)});
    page.closeTable();
    footerTable(page, site);
    return {200, "text/html; charset=windows-1252", toWindows1252(page.finish())};
}

Page render(const ListPage& list)
{
    switch (list.source.layout) {
    case ClearStation:
    case ClearStationPagerFirst: return clearStationPage(list);
    case Nasdaq100: return nasdaq100Page(list);
    case WallStreetTape: return wallStreetTapePage(list);
    case CnetMomentum: return cnetMomentumPage(list);
    case Upside150: return upside150Page(list);
    case BarchartSignals:
    case BarchartAlpha: return barchartPage(list);
    case StandardPoors500: return standardPoors500Page(list);
    }
    return statusPage(500, "unknown list layout");
}

} // namespace

std::optional<Page> listPage(std::string_view host, std::string_view path, std::string_view query, Paging paging)
{
    const ListSource* source = findSource(host, path, query);
    if (!source)
        return std::nullopt;
    const std::vector<std::string> tickers = orderedTickers(*source);
    if (!isPaged(*source))
        return render(ListPage{*source, tickers, 1, 1, 1, {}});
    return render(pageOfList(*source, tickers, requestedPage(query), paging));
}

UrlParts urlParts(std::string_view url)
{
    if (const auto scheme = url.find("//"); scheme != std::string_view::npos)
        url.remove_prefix(scheme + 2);
    UrlParts parts;
    parts.host = std::string(url.substr(0, url.find('/')));
    url.remove_prefix(parts.host.size());
    const auto question = url.find('?');
    parts.path = std::string(url.substr(0, question));
    if (question != std::string_view::npos)
        parts.query = std::string(url.substr(question + 1));
    return parts;
}

std::vector<std::string> listTickers(std::string_view url)
{
    const UrlParts parts = urlParts(url);
    return listTickers(parts.host, parts.path, parts.query);
}

std::vector<std::string> listTickers(std::string_view host, std::string_view path, std::string_view query)
{
    const ListSource* source = findSource(host, path, query);
    return source ? orderedTickers(*source) : std::vector<std::string>{};
}

std::vector<std::vector<std::string>> listPageTickers(std::string_view host, std::string_view path,
                                                      std::string_view query)
{
    const ListSource* source = findSource(host, path, query);
    if (!source)
        return {};
    const std::vector<std::string> all = orderedTickers(*source);
    if (!isPaged(*source))
        return {all};
    std::vector<std::vector<std::string>> pages;
    for (long long number = 1;; ++number) {
        ListPage page = pageOfList(*source, all, number, Paging::Normal);
        pages.push_back(std::move(page.tickers));
        if (page.nextHref.empty())
            return pages;
    }
}

} // namespace simweb
