// The quick-quotes page: one row per requested ticker, in the order asked,
// under a title row and a heading row.
#include "tools/simweb/html.h"
#include "tools/simweb/http.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"

#include <algorithm>

namespace simweb {
namespace {

bool isSeparator(char c) { return c == ',' || c == '+' || c == ' '; }

std::string upperCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; });
    return text;
}

// Every entry between separators gets a row, an empty one too, so that the
// rows of the entries after it keep their positions; only the empty rest
// after a trailing separator is not an entry.
std::vector<std::string> requestedTickers(std::string_view query)
{
    const std::string list = queryValue(query, "tickers").value_or("");
    std::vector<std::string> tickers;
    std::string current;
    for (char c : list) {
        if (isSeparator(c)) {
            tickers.push_back(upperCase(std::move(current)));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        tickers.push_back(upperCase(std::move(current)));
    return tickers;
}

void quoteRow(HtmlWriter& page, const std::string& ticker)
{
    page.row();
    page.cell("<B>" + escapeHtml(ticker) + "</B>");
    if (!Market::isSymbol(ticker)) {
        page.cell("Symbol not found");
        for (int column = 3; column <= 7; ++column)
            page.cell("n/a", "ALIGN=right");
        return;
    }
    const Quote q = Market::quote(ticker);
    page.cell(escapeHtml(Market::companyName(ticker)));
    page.cell(formatPrice(q.price), "ALIGN=right");
    page.cell(formatChange(q.change), "ALIGN=right");
    page.cell(formatPercent(q.change, q.price), "ALIGN=right");
    page.cell(formatPrice(q.price - q.change), "ALIGN=right");
    page.cell(formatVolume(q.volume), "ALIGN=right");
}

} // namespace

Page quotePage(std::string_view query)
{
    constexpr std::string_view site = "washingtonpost.com";
    HtmlWriter page("washingtonpost.com: Business: Quick Quotes");
    layoutTables(page, site, 14);
    expectTableNumber(page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=3 CELLSPACING=1 BGCOLOR="#EEEEEE")"), 15);
    page.row(R"(BGCOLOR="#000066")");
    page.cell(R"(<FONT COLOR="#FFFFFF"><B>Quick Quotes</B> &nbsp;Delayed 20 minutes</FONT>)", "COLSPAN=7");
    page.row(R"(BGCOLOR="#CCCCCC")");
    for (const char* heading : {"Symbol", "Company", "Last", "Change", "% Chg", "Prev Close", "Volume"})
        page.headCell(heading);
    for (const std::string& ticker : requestedTickers(query))
        quoteRow(page, ticker);
    page.closeTable();
    footerTable(page, site);
    return {200, "text/html; charset=utf-8", page.finish()};
}

} // namespace simweb
