// The per-ticker pages of the rank sites. Each puts its data at the table,
// row and column the program reads, after the navigation, search and menu
// tables the sites put above their content, and carries the scripts and ads
// of its time, so that a page costs to parse what the real one did. What a
// page says comes from the rank model; this file only lays it out.
#include "tools/simweb/html.h"
#include "tools/simweb/http.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/rankmodel.h"
#include "tools/simweb/sites.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <charconv>
#include <cstdio>

namespace simweb {
namespace {

namespace hosts = veltrop::hosts;
using namespace simweb::ranks;

constexpr std::string_view kHtml = "text/html; charset=utf-8";

// ---- pieces every site used ----

std::string adScript(std::string_view site, int slot)
{
    const std::string s = std::to_string(slot);
    return "<SCRIPT LANGUAGE=\"JavaScript\">\n<!--\n"
           "var adSlot" + s + " = Math.round(Math.random() * 100000000);\n"
           "if (navigator.appName == \"Netscape\" && parseInt(navigator.appVersion) < 4) {\n"
           "  document.write('<A HREF=\"/ads/click?slot=" + s + "&ord=' + adSlot" + s + " + '\">');\n"
           "  document.write('<IMG SRC=\"/ads/image?slot=" + s + "&ord=' + adSlot" + s
           + " + '\" WIDTH=468 HEIGHT=60 BORDER=0></A>');\n"
             "} else {\n"
             "  document.write('<IFRAME SRC=\"/ads/frame?site=" + std::string(site) + "&slot=" + s + "&ord=' + adSlot" + s
           + " + '\" WIDTH=468 HEIGHT=60 FRAMEBORDER=0 SCROLLING=no></IFRAME>');\n"
             "}\n// -->\n</SCRIPT>\n<NOSCRIPT><A HREF=\"/ads/click?slot=" + s
           + "\"><IMG SRC=\"/ads/image?slot=" + s + "\" WIDTH=468 HEIGHT=60 BORDER=0></A></NOSCRIPT>\n";
}

std::string menuScript()
{
    return "<SCRIPT LANGUAGE=\"JavaScript\">\n<!--\n"
           "function openWindow(url, name) {\n"
           "  var w = window.open(url, name, 'width=520,height=400,scrollbars=yes,resizable=yes');\n"
           "  if (w && w.focus) w.focus();\n  return false;\n}\n"
           "function swapImage(name, source) { if (document.images) document.images[name].src = source; }\n"
           "function checkSymbol(form) {\n"
           "  if (form.symbol.value == '') { alert('Please enter a ticker symbol.'); return false; }\n"
           "  form.symbol.value = form.symbol.value.toUpperCase();\n  return true;\n}\n"
           "// -->\n</SCRIPT>\n";
}

std::string disclaimer(std::string_view site)
{
    return "<P><FONT SIZE=-2 FACE=\"Arial\">The information on this page is provided by " + escapeHtml(site)
           + " and its data suppliers for informational purposes only and is not intended for trading purposes. "
             "Neither the site nor its suppliers shall be liable for any errors or delays in the content, or for "
             "any actions taken in reliance thereon. Past performance is no guarantee of future results. "
             "Ratings are computed after the close of each trading day from the prior day's prices and the "
             "latest reported fundamentals, and may be revised without notice.</FONT></P>\n";
}

// Related links after the content: a table of its own, so it goes after
// the data tables and never moves them.
void relatedLinksTable(HtmlWriter& page, std::string_view symbol)
{
    page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0 BGCOLOR="#F4F4F4")");
    page.row();
    const std::string s = escapeHtml(symbol);
    for (const char* what : {"Quote", "Chart", "Profile", "Financials", "Insider Trades", "Message Board"})
        page.cell("<FONT SIZE=-1><A HREF=\"/research/" + std::string(what) + "?symbol=" + s + "\">" + what
                  + "</A></FONT>");
    page.closeTable();
}

std::string symbolPhrase(std::string_view symbol)
{
    return symbol.empty() ? std::string("the symbol entered") : escapeHtml(symbol);
}

std::string companyOf(std::string_view symbol) { return escapeHtml(Market::companyName(symbol)); }

// Finishes the page and, as the sites' quote tapes and ad rotations did,
// brings it to a size between about 15 and 25 KB with a script before the
// end of the body.
Page finishSized(HtmlWriter& page, std::string_view sizeKey)
{
    std::string body = page.finish();
    const std::size_t target = 15600 + static_cast<std::size_t>(Market::whole(sizeKey, "rank page size", 0, 9000));
    if (body.size() < target) {
        const auto& universe = Market::instance().universe();
        std::size_t at = static_cast<std::size_t>(Market::whole(sizeKey, "rank page tape", 0, 1999));
        std::string tape = "<SCRIPT LANGUAGE=\"JavaScript\">\n<!--\nvar tapeItems = new Array(\n";
        while (body.size() + tape.size() + 60 < target) {
            const std::string& t = universe[at++ % universe.size()];
            const Quote q = Market::quote(t);
            tape += "  \"" + t + " " + formatPrice(q.price) + " " + formatChange(q.change) + "\",\n";
        }
        tape += "  \"\");\nvar tapeAt = 0;\n// -->\n</SCRIPT>\n";
        body.insert(body.rfind("</BODY>"), tape);
    }
    return {200, std::string(kHtml), std::move(body)};
}

void bodyStart(HtmlWriter& page, std::string_view site)
{
    page.raw(menuScript());
    page.raw(adScript(site, 1));
}

void pageEnd(HtmlWriter& page, std::string_view site, std::string_view symbol)
{
    relatedLinksTable(page, symbol);
    page.raw(adScript(site, 2));
    page.raw(disclaimer(site));
    footerTable(page, site);
}

void messageParagraph(HtmlWriter& page, const std::string& html)
{
    page.raw("<P><FONT FACE=\"Arial\" SIZE=3>" + html + "</FONT></P>\n");
}

std::string pixelCell() { return R"(<IMG SRC="/images/pixel.gif" WIDTH=8 HEIGHT=1>)"; }

// ---- CNET investor: momentum rating ----

constexpr std::string_view kCnetPrefix = "/investor/brokeragecenter/momentum-rating-single-company/0-9910-1087-0-";

Page cnetPage(const std::string& symbol)
{
    constexpr std::string_view site = "CNET Investor";
    HtmlWriter page("CNET Investor: Brokerage Center: Momentum Rating: " + symbol);
    bodyStart(page, site);
    layoutTables(page, site, 13);
    if (!isListed(symbol)) {
        messageParagraph(page, "<B>Symbol not found.</B> There is no momentum rating for " + symbolPhrase(symbol)
                                   + ". Please check the symbol and try again.");
        pageEnd(page, site, symbol);
        return finishSized(page, "cnet " + symbol);
    }
    const CellFact rating = cnetMomentum(symbol);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=3 CELLSPACING=1 BGCOLOR="#FFFFFF")"), 14);
    page.row(R"(BGCOLOR="#990000")");
    page.headCell("<FONT COLOR=\"#FFFFFF\">Company</FONT>", "ALIGN=left");
    page.headCell("<FONT COLOR=\"#FFFFFF\">Momentum Rating</FONT>");
    page.headCell("<FONT COLOR=\"#FFFFFF\">Scale</FONT>");
    page.row();
    page.cell("<B>" + escapeHtml(symbol) + "</B> " + companyOf(symbol));
    page.cell(escapeHtml(rating.text), "ALIGN=center");
    page.cell("<FONT SIZE=-1>1 (weakest) to 99 (strongest)</FONT>");
    page.row();
    page.cell("Industry average");
    page.cell(std::to_string(Market::whole(symbol, "cnet industry momentum", 20, 80)), "ALIGN=center");
    page.cell("&nbsp;");
    page.closeTable();
    page.raw("<P><FONT SIZE=-1>The momentum rating compares the stock's price and earnings trends over the last "
             "six months with those of every other rated stock. Brokerage upgrades and estimate revisions count "
             "for more the more recent they are.</FONT></P>\n");
    fillerTables(page, 2);
    pageEnd(page, site, symbol);
    return finishSized(page, "cnet " + symbol);
}

// ---- MarketWatch: quote news ----

constexpr std::array<const char*, 10> kHeadlines{
    " reports quarterly results",          " names new chief financial officer", " shares rise after analyst upgrade",
    " announces two-for-one stock split",  " to present at investor conference", " wins multi-year supply contract",
    " raises full-year earnings outlook",  " completes acquisition of rival",    " declares quarterly dividend",
    " files annual report with regulators"};
constexpr std::array<const char*, 4> kWires{"Market Wire", "Staff report", "Press release", "Company statement"};

void headlineRow(HtmlWriter& page, const std::string& symbol, const std::string& dateText, int n)
{
    page.row();
    page.cell("<FONT SIZE=-1>" + escapeHtml(dateText) + "</FONT>", "NOWRAP");
    const auto pick = static_cast<std::size_t>(Market::whole(symbol, "headline " + std::to_string(n), 0, 9));
    page.cell("<A HREF=\"/news/story.asp?symb=" + escapeHtml(symbol) + "&amp;n=" + std::to_string(n) + "\">"
              + companyOf(symbol) + kHeadlines[pick] + "</A>");
    page.cell("<FONT SIZE=-1>" + std::string(kWires[pick % kWires.size()]) + "</FONT>");
}

void headlinesHeading(HtmlWriter& page, const std::string& symbol)
{
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0)"), 14);
    page.row(R"(BGCOLOR="#336633")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>News Headlines</B> for " + escapeHtml(symbol) + "</FONT>", "COLSPAN=3");
    page.row(R"(BGCOLOR="#DDDDDD")");
    page.headCell("Date", "ALIGN=left");
    page.headCell("Headline", "ALIGN=left");
    page.headCell("Source", "ALIGN=left");
}

void quoteSummary(HtmlWriter& page, const std::string& symbol, int table)
{
    const Quote q = Market::quote(symbol);
    expectTableNumber(page.openTable(R"(BORDER=0 CELLPADDING=2 CELLSPACING=0)"), table);
    page.row();
    page.cell("<B>" + companyOf(symbol) + "</B>", "COLSPAN=2");
    page.row();
    page.cell("Symbol");
    page.cell(escapeHtml(symbol));
    page.row();
    page.cell("Last");
    page.cell(formatPrice(q.price));
    page.row();
    page.cell("Change");
    page.cell(formatChange(q.change) + " (" + formatPercent(q.change, q.price) + ")");
    page.row();
    page.cell("Volume");
    page.cell(formatVolume(q.volume));
    page.closeTable();
}

Page marketwatchPage(const std::string& symbol)
{
    constexpr std::string_view site = "MarketWatch";
    const NewsFacts news = marketwatchNews(symbol, localToday());
    HtmlWriter page("MarketWatch: Quotes: News for " + symbol);
    bodyStart(page, site);
    if (news.kind == NewsKind::NoNewsAtStart)
        page.raw("<B>" + news.opening + "</B> is available for " + symbolPhrase(symbol) + " today.<BR>\n");
    layoutTables(page, site, 13);
    switch (news.kind) {
    case NewsKind::Dated:
    case NewsKind::NotADate: {
        headlinesHeading(page, symbol);
        headlineRow(page, symbol, news.dateText, 0);
        // Older headlines, written the same way; a page with a date that
        // cannot be read dates its older ones a day before today.
        const CivilDate newest = news.kind == NewsKind::Dated
                                     ? news.date
                                     : civilFromDays(daysFromCivil(localToday()) - 1);
        long long day = daysFromCivil(newest);
        const int older = Market::whole(symbol, "news older", 2, 7);
        for (int n = 1; n <= older; ++n) {
            day -= Market::whole(symbol, "news gap " + std::to_string(n), 0, 4);
            headlineRow(page, symbol,
                        writeNewsDate(civilFromDays(day), 9 + n, 5 * n, 0, news.dateForm, news.timeForm,
                                      Market::whole(symbol, "news month case", 0, 2)),
                        n);
        }
        page.closeTable();
        break;
    }
    case NewsKind::NoNewsLater:
        headlinesHeading(page, symbol);
        page.row();
        page.cell("There is no news for " + escapeHtml(symbol) + " in the last 30 days.", "COLSPAN=3");
        page.closeTable();
        break;
    case NewsKind::NotFound:
        messageParagraph(page, "Symbol " + symbolPhrase(symbol) + " not found. Please check the symbol and try again.");
        break;
    case NewsKind::NoHeadlines:
        quoteSummary(page, symbol, 14);
        page.raw("<P>Company news for " + companyOf(symbol)
                 + " is being updated. Please try again later.</P>\n");
        break;
    case NewsKind::NoNewsAtStart:
        quoteSummary(page, symbol, 14);
        break;
    }
    fillerTables(page, 2);
    pageEnd(page, site, symbol);
    return finishSized(page, "marketwatch " + symbol);
}

// ---- Telescan: rankings report ----

struct TelescanLine {
    int row;
    const char* name;
};
constexpr std::array<TelescanLine, 15> kTelescanLines{{
    {3, "Industry Group Rank"}, {4, "LT Growth Rank"},   {5, "LT Value Rank"},     {6, "ST Growth Rank"},
    {7, "LT Technical Rank"},   {8, "ST Value Rank"},    {9, "Earnings Surprise"}, {10, "ST Technical Rank"},
    {11, "Relative Strength"},  {12, "Analyst Rank"},    {13, "Insider Rank"},     {14, "Fundamental Rank"},
    {15, "Momentum Rank"},      {16, "Volume Rank"},     {17, "Overall Rank"},
}};

Page telescanPage(const std::string& symbol)
{
    constexpr std::string_view site = "Telescan";
    const TelescanFacts facts = telescanRanks(symbol);
    HtmlWriter page("Telescan Rankings Report: " + symbol);
    bodyStart(page, site);
    if (!facts.matched) {
        layoutTables(page, site, 9);
        messageParagraph(page, "<B>" + facts.noMatchText + "</B> were found for " + symbolPhrase(symbol)
                                   + ". Use Symbol Lookup to find the symbol of a company.");
        pageEnd(page, site, symbol);
        return finishSized(page, "telescan " + symbol);
    }
    layoutTables(page, site, 11);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=1 CELLPADDING=2 CELLSPACING=0)"), 12);
    page.row(R"(BGCOLOR="#000080")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>Rankings Report</B> &nbsp;" + escapeHtml(symbol) + " &nbsp;" + companyOf(symbol)
                  + "</FONT>",
              "COLSPAN=4");
    page.row(R"(BGCOLOR="#CCCCCC")");
    for (const char* heading : {"Ranking", "Current", "1 Month Ago", "Industry"})
        page.headCell(heading);
    for (const TelescanLine& line : kTelescanLines) {
        page.row();
        page.cell(line.name);
        const auto read = std::find(kTelescanRows.begin(), kTelescanRows.end(), line.row);
        if (read != kTelescanRows.end()) {
            const TelescanRank& rank = facts.ranks[static_cast<std::size_t>(read - kTelescanRows.begin())];
            page.cell(escapeHtml(rank.current.text), "ALIGN=right");
            page.cell(escapeHtml(rank.earlier.text), "ALIGN=right");
        } else {
            const std::string what = "telescan other " + std::to_string(line.row);
            page.cell(std::to_string(Market::whole(symbol, what + " current", 1, 99)), "ALIGN=right");
            page.cell(std::to_string(Market::whole(symbol, what + " earlier", 1, 99)), "ALIGN=right");
        }
        page.cell(std::to_string(Market::whole(symbol, "telescan industry " + std::to_string(line.row), 1, 99)),
                  "ALIGN=right");
    }
    page.closeTable();
    page.raw("<P><FONT SIZE=-1>Ranks run from 1 to 99 against all stocks in the database; 99 is best. A rank "
             "a month ago is shown for comparison.</FONT></P>\n");
    pageEnd(page, site, symbol);
    return finishSized(page, "telescan " + symbol);
}

// ---- Barchart: performance and technical opinion ----

Page barchartNotFound(const std::string& symbol, std::string_view what)
{
    constexpr std::string_view site = "Barchart.com";
    HtmlWriter page("Barchart.com - " + std::string(what) + " - " + symbol);
    bodyStart(page, site);
    layoutTables(page, site, 7);
    messageParagraph(page, "No data is available for " + symbolPhrase(symbol) + ". Check the symbol and try again.");
    pageEnd(page, site, symbol);
    return finishSized(page, "barchart " + std::string(what) + " " + symbol);
}

Page barchartPerformancePage(const std::string& symbol)
{
    constexpr std::string_view site = "Barchart.com";
    if (!isListed(symbol))
        return barchartNotFound(symbol, "Performance");
    HtmlWriter page("Barchart.com - Performance - " + symbol);
    bodyStart(page, site);
    layoutTables(page, site, 10);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=1 BGCOLOR="#F0F0F0")"), 11);
    page.row(R"(BGCOLOR="#DDDDDD")");
    for (const char* heading : {"Period", "Price Change", "Percent Change", "Performance"})
        page.headCell(heading);
    const Quote q = Market::quote(symbol);
    page.row();
    page.cell("<B>Overall</B>");
    page.cell(formatChange(q.change));
    page.cell(formatPercent(q.change, q.price));
    page.cell(escapeHtml(barchartPerformance(symbol).text), "ALIGN=right");
    for (const char* period : {"5-Day", "1-Month", "3-Month", "6-Month", "52-Week"}) {
        const std::string what = std::string("barchart period ") + period;
        const double change = Market::whole(symbol, what, -900, 900) / 100.0;
        page.row();
        page.cell(period);
        page.cell(formatChange(change));
        page.cell(formatPercent(change, q.price));
        page.cell(std::to_string(Market::whole(symbol, what + " rating", 1, 99)), "ALIGN=right");
    }
    page.closeTable();
    pageEnd(page, site, symbol);
    return finishSized(page, "barchart performance " + symbol);
}

// Rows 2 to 27 of the opinion table; headings take one wide cell.
constexpr std::array<const char*, 26> kIndicators{
    "#Short Term Indicators", "7 Day Average Directional Indicator", "10 - 8 Day Moving Average Hilo Channel",
    "20 Day Moving Average vs Price", "20 - 50 Day MACD Oscillator", "20 Day Bollinger Bands",
    "=Short Term Average", "#Medium Term Indicators", "40 Day Commodity Channel Index",
    "50 Day Average Directional Indicator", "50 Day Moving Average vs Price", "20 - 100 Day MACD Oscillator",
    "50 Day Parabolic Time/Price", "=Medium Term Average", "#Long Term Indicators",
    "60 Day Commodity Channel Index", "100 Day Average Directional Indicator", "100 Day Moving Average vs Price",
    "50 - 100 Day MACD Oscillator", "=Long Term Average", "#Trend",
    "Trend Seeker", "Trend Strength", "Trend Direction", "=Trend Average", "#Summary"};

Page barchartOpinionPage(const std::string& symbol)
{
    constexpr std::string_view site = "Barchart.com";
    if (!isListed(symbol))
        return barchartNotFound(symbol, "Technical Opinion");
    HtmlWriter page("Barchart.com - Technical Opinion - " + symbol);
    bodyStart(page, site);
    layoutTables(page, site, 9);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0)"), 10);
    page.row(R"(BGCOLOR="#003366")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>Barchart Technical Opinion</B> for " + escapeHtml(symbol) + "</FONT>",
              "COLSPAN=3");
    static constexpr std::array<const char*, 3> kOpinions{"Buy", "Sell", "Hold"};
    for (const char* indicator : kIndicators) {
        const std::string name = indicator;
        page.row();
        if (name.front() == '#') {
            page.cell("<B>" + name.substr(1) + "</B>", R"(COLSPAN=3 BGCOLOR="#DDDDDD")");
        } else if (name.front() == '=') {
            page.cell("<I>" + name.substr(1) + "</I>");
            page.cell(std::to_string(8 * Market::whole(symbol, "barchart " + name, 1, 12)) + "% Buy");
            page.cell("&nbsp;");
        } else {
            page.cell(escapeHtml(name));
            page.cell(kOpinions[static_cast<std::size_t>(Market::whole(symbol, "barchart " + name, 0, 2))]);
            page.cell("&nbsp;");
        }
    }
    page.row();
    page.cell("<B>Overall Average:</B>");
    page.cell("<B>" + escapeHtml(barchartOpinion(symbol).text) + "</B>");
    page.cell("&nbsp;");
    page.row();
    page.cell("Previous Average:");
    page.cell(std::to_string(8 * Market::whole(symbol, "barchart previous average", 1, 12)) + "% Buy");
    page.cell("&nbsp;");
    page.closeTable();
    pageEnd(page, site, symbol);
    return finishSized(page, "barchart opinion " + symbol);
}

// ---- Forbes: fund holdings ----

constexpr std::string_view kForbesPath = "/finance/mktguideapps/compinfo/CoInFundHold.jhtml";
constexpr std::array<const char*, 12> kFundFamilies{"Fairview",  "Granite", "Harborside", "Meridian", "Northstar", "Oakmont",
                                                    "Pinnacle",  "Redwood", "Sentinel",   "Summit",   "Vanguard Hill", "Westbrook"};
constexpr std::array<const char*, 8> kFundKinds{"Growth Fund",        "Value Fund",    "Equity Income Fund", "Index Trust",
                                                "Small Cap Fund",     "Blue Chip Fund", "Technology Fund",   "Balanced Fund"};

int requestedFundPage(std::string_view query)
{
    const std::string text = queryValue(query, "page").value_or("1");
    int number = 1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc{} || end != text.data() + text.size() || number < 1)
        return 1;
    return number;
}

std::string fundHref(const std::string& symbol, int page)
{
    return "CoInFundHold.jhtml?tkr=" + escapeHtml(symbol) + "&amp;page=" + std::to_string(page);
}

Page forbesPage(const std::string& symbol, int number)
{
    constexpr std::string_view site = "Forbes.com";
    const FundFacts funds = forbesFunds(symbol);
    HtmlWriter page("Forbes.com: Market Guide: Fund Holdings: " + symbol);
    bodyStart(page, site);
    layoutTables(page, site, 10);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0)"), 11);
    page.row(R"(BGCOLOR="#000000")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>Mutual Funds Holding " + escapeHtml(symbol) + "</B></FONT>", "COLSPAN=4");
    page.row(R"(BGCOLOR="#DDDDDD")");
    for (const char* heading : {"Fund", "Report Date", "Shares Held", "% of Fund"})
        page.headCell(heading, "ALIGN=left");
    const int shown = fundsOnPage(funds, number);
    if (shown == 0) {
        page.row();
        page.cell(isListed(symbol) ? "No mutual funds reported holding " + escapeHtml(symbol) + "."
                                   : "No fund information is available for " + symbolPhrase(symbol) + ".",
                  "COLSPAN=4");
    }
    for (int i = 0; i < shown; ++i) {
        const std::string what = "fund " + std::to_string((number - 1) * kFundsPerPage + i);
        const int thousands = Market::whole(symbol, what + " shares", 1, 4999);
        const int hundreds = Market::whole(symbol, what + " odd shares", 0, 9);
        char percent[16];
        std::snprintf(percent, sizeof percent, "%.2f%%", Market::whole(symbol, what + " weight", 1, 450) / 100.0);
        page.row();
        page.cell(std::string(kFundFamilies[static_cast<std::size_t>(Market::whole(symbol, what + " family", 0, 11))])
                  + " " + kFundKinds[static_cast<std::size_t>(Market::whole(symbol, what + " kind", 0, 7))]);
        page.cell(Market::attribute(symbol, what + " date") < 0.5 ? "12/31/2000" : "03/31/2001");
        page.cell(formatVolume(thousands * 1000LL + hundreds * 100LL), "ALIGN=right");
        page.cell(percent, "ALIGN=right");
        // A hairline between funds, in a row of its own as the site drew it.
        page.row();
        page.cell(R"(<IMG SRC="/images/hairline.gif" WIDTH=400 HEIGHT=1>)", "COLSPAN=4");
    }
    page.row();
    std::string position = "<FONT SIZE=-1>Page " + std::to_string(number) + " of " + std::to_string(funds.pages);
    if (number > 1)
        position += " &nbsp;<A HREF=\"" + fundHref(symbol, number - 1) + "\">Previous</A>";
    page.cell(position + "</FONT>");
    const int next = nextLinkCount(funds, number);
    page.cell(next > 0 ? "<A HREF=\"" + fundHref(symbol, number + 1) + "\">Next " + std::to_string(next) + "</A>"
                       : "&nbsp;",
              "ALIGN=right");
    page.closeTable();
    pageEnd(page, site, symbol);
    return finishSized(page, "forbes " + symbol + " " + std::to_string(number));
}

// ---- Validea: guru analysis ----

struct Guru {
    const char* name;
    const char* strategy;
};
constexpr std::array<Guru, 16> kGurus{{
    {"Growth Investor", "Earnings growth, sales growth and a modest price/earnings ratio"},
    {"P/E Growth Investor", "Price/earnings ratio against the rate of earnings growth"},
    {"Contrarian Investor", "Low price/earnings and price/book ratios with sound finances"},
    {"Value Investor", "Price below the value of net current assets"},
    {"Earnings Momentum Strategist", "Accelerating quarterly earnings and relative strength"},
    {"Small-Cap Growth Investor", "Small companies with rising earnings and low debt"},
    {"Price/Sales Investor", "Low price/sales ratio with strong margins"},
    {"Quality Investor", "Return on equity, free cash flow and predictable earnings"},
    {"Dividend Investor", "High yield with a history of rising dividends"},
    {"Book Value Investor", "Price below book value with earnings"},
    {"Cash Flow Investor", "Price against cash flow per share"},
    {"Turnaround Investor", "Recovering earnings after a loss"},
    {"Relative Strength Investor", "Price performance against the market"},
    {"Low Debt Investor", "Debt/equity under industry norms"},
    {"Insider Buying Investor", "Recent open-market purchases by officers"},
    {"Yield Investor", "Earnings yield against bond yields"},
}};

void guruTable(HtmlWriter& page, const std::string& symbol, const Guru& guru, const std::string& score, int expected)
{
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=2 CELLSPACING=0 BGCOLOR="#F8F8F0")"),
                      expected);
    page.row(R"(BGCOLOR="#336699")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>" + std::string(guru.name) + "</B></FONT>", "COLSPAN=2");
    page.row();
    page.cell("Strategy:", "WIDTH=100");
    page.cell(std::string("<FONT SIZE=-1>") + guru.strategy + "</FONT>");
    page.row();
    page.cell("Score:");
    page.cell("<B>" + escapeHtml(score) + "</B>");
    page.row();
    page.cell("&nbsp;");
    page.cell("<A HREF=\"/stocks/guru_detail.asp?ticker=" + escapeHtml(symbol) + "&amp;guru="
              + std::to_string(expected) + "\">Detailed Analysis</A>");
    page.closeTable();
}

Page valideaPage(const std::string& symbol)
{
    constexpr std::string_view site = "Validea.com";
    const GuruFacts facts = valideaGurus(symbol);
    HtmlWriter page("Validea.com - Guru Analysis - " + symbol);
    bodyStart(page, site);
    if (!facts.analysed) {
        static constexpr std::array<const char*, 3> kNoGuru{"no Guru", "No Guru", "NO GURU"};
        layoutTables(page, site, 20);
        messageParagraph(page, "Sorry, there is "
                                   + std::string(kNoGuru[static_cast<std::size_t>(
                                       Market::whole(symbol, "guru message", 0, 2))])
                                   + " analysis available for " + symbolPhrase(symbol) + ".");
        pageEnd(page, site, symbol);
        return finishSized(page, "validea " + symbol);
    }
    layoutTables(page, site, 22);
    std::size_t read = 0, other = 9;
    auto nextGuru = [&](int table) {
        guruTable(page, symbol, kGurus[read], facts.scores[read].text, table);
        ++read;
    };
    nextGuru(23);
    nextGuru(24);
    nextGuru(25);
    fillerTables(page, 2);
    nextGuru(28);
    nextGuru(29);
    nextGuru(30);
    fillerTables(page, 2);
    nextGuru(33);
    nextGuru(34);
    // Strategies the program does not read stand between, shaped alike.
    for (int table = 35; table <= 41; ++table)
        guruTable(page, symbol, kGurus[other++],
                  std::to_string(Market::whole(symbol, "guru other " + std::to_string(table), 0, 100)) + "%", table);
    fillerTables(page, 14);
    nextGuru(56);
    pageEnd(page, site, symbol);
    return finishSized(page, "validea " + symbol);
}

// ---- IBD: SmartSelect ----

// The SmartSelect page keeps its navigation out of tables: the ratings table
// is the first table of the page.
void smartSelectTop(HtmlWriter& page)
{
    page.raw("<DIV ALIGN=center><A HREF=\"/\"><IMG SRC=\"/images/ibd_logo.gif\" WIDTH=300 HEIGHT=50 BORDER=0 "
             "ALT=\"Investor's Business Daily\"></A></DIV>\n"
             "<CENTER><FONT FACE=\"Arial\" SIZE=-1><A HREF=\"/\">Home</A> | <A HREF=\"/news/\">Today's Paper</A> | "
             "<A HREF=\"/SmartSelect/\">SmartSelect</A> | <A HREF=\"/education/\">Investor Education</A> | "
             "<A HREF=\"/subscribe/\">Subscribe</A></FONT></CENTER>\n"
             "<FORM ACTION=\"/SmartSelect/lookup.asp\" METHOD=GET onSubmit=\"return checkSymbol(this)\">"
             "<FONT SIZE=-1>Symbol:</FONT> <INPUT TYPE=text NAME=symbol SIZE=8> <INPUT TYPE=submit VALUE=\"Get Ratings\"></FORM>\n"
             "<HR NOSHADE SIZE=1>\n");
}

Page smartSelectPage(std::string_view code)
{
    constexpr std::string_view site = "Investor's Business Daily";
    const std::optional<std::string> decoded = smartSelectDecode(code);
    const std::string symbol = decoded ? lookupSymbol(*decoded) : std::string(code);
    const SmartSelectFacts facts = decoded ? smartSelect(symbol) : SmartSelectFacts{};
    HtmlWriter page("Investor's Business Daily - SmartSelect Corporate Ratings");
    bodyStart(page, site);
    smartSelectTop(page);
    if (!facts.rated) {
        messageParagraph(page, (decoded ? symbolPhrase(symbol) : std::string("This stock")) + " "
                                   + (decoded ? facts.unratedText : std::string("is not currently rated")) + ".");
        fillerTables(page, 6);
        pageEnd(page, site, decoded ? symbol : std::string());
        return finishSized(page, "smartselect " + std::string(code));
    }
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=1 CELLSPACING=0)"), 1);
    page.row(R"(BGCOLOR="#000066")");
    page.cell("<FONT COLOR=\"#FFFFFF\"><B>SmartSelect&reg; Corporate Ratings</B></FONT>", "COLSPAN=20");
    page.row();
    page.cell("<B>" + companyOf(symbol) + "</B> (" + escapeHtml(symbol) + ")", "COLSPAN=20");
    static constexpr std::array<const char*, 5> kHeadings{"EPS Rating", "Relative Price Strength",
                                                          "Industry Group Relative Strength",
                                                          "Sales + Profit Margins + ROE", "Accumulation/Distribution"};
    static constexpr std::array<const char*, 5> kLabels{"EPS", "RS", "Grp RS", "SMR", "Acc/Dis"};
    page.row(R"(BGCOLOR="#DDDDDD")");
    for (int column = 1; column <= 20; ++column)
        page.cell((column - 1) % 4 == 0 ? "<FONT SIZE=-2>" + std::string(kHeadings[static_cast<std::size_t>(column / 4)]) + "</FONT>"
                                        : "&nbsp;");
    page.row();
    page.cell(pixelCell(), "COLSPAN=20");
    const std::array<std::string, 5> values{facts.eps.text, facts.relativeStrength.text, facts.grades[0],
                                            facts.grades[1], facts.grades[2]};
    page.row();
    for (int column = 1; column <= 20; ++column) {
        const auto group = static_cast<std::size_t>((column - 1) / 4);
        switch ((column - 1) % 4) {
        case 0: page.cell(std::string("<FONT SIZE=-1>") + kLabels[group] + "</FONT>"); break;
        case 1: page.cell("<B>" + escapeHtml(values[group]) + "</B>", "ALIGN=center"); break;
        default: page.cell(pixelCell());
        }
    }
    page.closeTable();
    page.raw("<P><FONT SIZE=-1>Ratings run from 1 to 99 for EPS and relative strength, 99 being best; letter "
             "grades run from A, the best, to E. Ratings are updated every evening.</FONT></P>\n");
    fillerTables(page, 6);
    pageEnd(page, site, symbol);
    return finishSized(page, "smartselect " + symbol);
}

// ---- Zacks: broker recommendation ----

Page zacksPage(const std::string& symbol)
{
    constexpr std::string_view site = "Zacks Investment Research";
    const BrokerFacts facts = zacksBroker(symbol);
    HtmlWriter page("Zacks.com - Brokerage Recommendations - " + symbol);
    bodyStart(page, site);
    if (!facts.covered) {
        layoutTables(page, site, 18);
        messageParagraph(page, "No Reports are available for " + symbolPhrase(symbol) + ".");
        pageEnd(page, site, symbol);
        return finishSized(page, "zacks " + symbol);
    }
    layoutTables(page, site, 20);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=1 CELLPADDING=2 CELLSPACING=0 BGCOLOR="#DEDEC5")"), 21);
    page.row(R"(BGCOLOR="#6699BC")");
    for (const char* heading : {"Ticker", "Company", "Price", "# Brokers", "Strong Buy", "Buy", "Hold", "Sell",
                                "Strong Sell", "Consensus", "Avg Rating", "Last Changed"})
        page.headCell("<FONT SIZE=-1>" + std::string(heading) + "</FONT>");
    std::array<int, 5> votes{};
    int brokers = 0;
    for (std::size_t i = 0; i < votes.size(); ++i)
        brokers += votes[i] = Market::whole(symbol, "zacks votes " + std::to_string(i), 0, 6);
    page.row();
    page.cell(escapeHtml(symbol));
    page.cell(companyOf(symbol));
    page.cell(formatPrice(Market::quote(symbol).price), "ALIGN=right");
    page.cell(std::to_string(brokers), "ALIGN=right");
    for (int v : votes)
        page.cell(std::to_string(v), "ALIGN=right");
    page.cell("<B>" + escapeHtml(facts.recommendation) + "</B>", "ALIGN=center");
    char average[16];
    std::snprintf(average, sizeof average, "%.2f", Market::whole(symbol, "zacks average", 100, 500) / 100.0);
    page.cell(average, "ALIGN=right");
    page.cell(Market::attribute(symbol, "zacks changed") < 0.5 ? "02/14/2001" : "03/02/2001");
    page.closeTable();
    page.raw("<P><FONT SIZE=-1>The consensus is the average of the recommendations of the brokerage analysts "
             "who cover the company, on a scale of 1 (Strong Buy) to 5 (Strong Sell).</FONT></P>\n");
    pageEnd(page, site, symbol);
    return finishSized(page, "zacks " + symbol);
}

// A query value that must be present for the page to exist; a fixed value
// that must match exactly when given.
bool hasParameter(std::string_view query, std::string_view name, std::string_view value)
{
    const std::optional<std::string> found = queryValue(query, name);
    return found && *found == value;
}

// Whether every parameter of the query is one the page knows: a query with
// any other part is an address the site does not have.
bool onlyParameters(std::string_view query, std::initializer_list<std::string_view> known)
{
    while (!query.empty()) {
        const auto amp = query.find('&');
        const std::string_view pair = query.substr(0, amp);
        const std::string name = percentDecode(pair.substr(0, pair.find('=')));
        if (std::find(known.begin(), known.end(), name) == known.end())
            return false;
        query = amp == std::string_view::npos ? std::string_view() : query.substr(amp + 1);
    }
    return true;
}

std::optional<Page> knownRankPage(std::string_view host, std::string_view path, std::string_view query);

} // namespace

std::optional<Page> rankPage(std::string_view host, std::string_view path, std::string_view query)
{
    if (host == hosts::cnetInvestor && !query.empty())
        return std::nullopt;
    const struct {
        std::string_view host, path;
        std::initializer_list<std::string_view> parameters;
    } queries[] = {
        {hosts::marketwatch, "/tools/quotes/news.asp", {"symb"}},
        {hosts::telescan, "/wsc2/Tscn_Rankings.html", {"template", "Button", "Symbol"}},
        {hosts::barchart, "/performance.htx", {"sym"}},
        {hosts::barchart, "/texpert.asp", {"sym"}},
        {hosts::forbes, kForbesPath, {"tkr", "page"}},
        {hosts::validea, "/stocks/guruanalysis.asp", {"ticker"}},
        {hosts::ibd, "/SmartSelect/SmartSelect.asp", {"x"}},
        {hosts::zacks, "/reports/reports.php3", {"HLITE1", "HLITE2", "session", "type", "ticker"}},
    };
    for (const auto& page : queries)
        if (page.host == host && page.path == path && !onlyParameters(query, page.parameters))
            return std::nullopt;
    return knownRankPage(host, path, query);
}

namespace {

std::optional<Page> knownRankPage(std::string_view host, std::string_view path, std::string_view query)
{
    if (host == hosts::cnetInvestor && path.starts_with(kCnetPrefix) && path.ends_with(".html")
        && path.size() >= kCnetPrefix.size() + 5) {
        const std::string_view ticker = path.substr(kCnetPrefix.size(), path.size() - kCnetPrefix.size() - 5);
        return cnetPage(lookupSymbol(percentDecode(ticker)));
    }
    if (host == hosts::marketwatch && path == "/tools/quotes/news.asp")
        if (auto ticker = queryValue(query, "symb"))
            return marketwatchPage(lookupSymbol(*ticker));
    if (host == hosts::telescan && path == "/wsc2/Tscn_Rankings.html" && hasParameter(query, "template", "tscnrank.htm")
        && hasParameter(query, "Button", "Get+Report"))
        if (auto ticker = queryValue(query, "Symbol"))
            return telescanPage(lookupSymbol(*ticker));
    if (host == hosts::barchart && path == "/performance.htx")
        if (auto ticker = queryValue(query, "sym"))
            return barchartPerformancePage(lookupSymbol(*ticker));
    if (host == hosts::barchart && path == "/texpert.asp")
        if (auto ticker = queryValue(query, "sym"))
            return barchartOpinionPage(lookupSymbol(*ticker));
    if (host == hosts::forbes && path == kForbesPath)
        if (auto ticker = queryValue(query, "tkr"))
            return forbesPage(lookupSymbol(*ticker), requestedFundPage(query));
    if (host == hosts::validea && path == "/stocks/guruanalysis.asp")
        if (auto ticker = queryValue(query, "ticker"))
            return valideaPage(lookupSymbol(*ticker));
    if (host == hosts::ibd && path == "/SmartSelect/SmartSelect.asp")
        if (auto code = queryValue(query, "x"))
            return smartSelectPage(*code);
    if (host == hosts::zacks && path == "/reports/reports.php3" && hasParameter(query, "HLITE1", "6699BC")
        && hasParameter(query, "HLITE2", "DEDEC5") && hasParameter(query, "session", "TMP.QORVENT")
        && hasParameter(query, "type", "20"))
        if (auto ticker = queryValue(query, "ticker"))
            return zacksPage(lookupSymbol(*ticker));
    return std::nullopt;
}

} // namespace

} // namespace simweb
