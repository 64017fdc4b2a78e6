// The quick-quotes page: one row per requested ticker, in the order asked,
// under a title row and a heading row.
#include "tools/simweb/html.h"
#include "tools/simweb/http.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/quotemodel.h"

#include <algorithm>
#include <cstdio>

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

std::string withUnit(std::int64_t volume)
{
    char text[32];
    if (volume >= 1000000)
        std::snprintf(text, sizeof text, "%.1fM", double(volume) / 1e6);
    else
        std::snprintf(text, sizeof text, "%.1fK", double(volume) / 1e3);
    return text;
}

void quoteRow(HtmlWriter& page, const std::string& ticker)
{
    const ShownQuote shown = shownQuote(ticker);
    page.row();
    page.cell("<B>" + escapeHtml(ticker) + "</B>");
    page.cell(escapeHtml(shown.company));
    for (const std::string* text : {&shown.last, &shown.change, &shown.percent, &shown.previous, &shown.volume})
        page.cell(escapeHtml(*text), "ALIGN=right");
}

} // namespace

QuoteForm quoteForm(std::string_view ticker)
{
    if (!Market::isSymbol(ticker))
        return QuoteForm::NotASymbol;
    const double form = Market::attribute(ticker, "quote page form");
    if (form < 0.03)
        return QuoteForm::NoPrice;
    if (form < 0.06)
        return QuoteForm::PriceAtFive;
    if (form < 0.09)
        return QuoteForm::VolumeAt25000;
    if (form < 0.12)
        return QuoteForm::VolumeUnit;
    return QuoteForm::Plain;
}

ShownQuote shownQuote(std::string_view ticker)
{
    const QuoteForm form = quoteForm(ticker);
    if (form == QuoteForm::NotASymbol)
        return {"Symbol not found", "n/a", "n/a", "n/a", "n/a", "n/a"};

    const Quote q = Market::quote(ticker);
    const double price = form == QuoteForm::PriceAtFive ? 5.0 : q.price;
    ShownQuote shown{Market::companyName(ticker), formatPrice(price), formatChange(q.change),
                     formatPercent(q.change, price), formatPrice(price - q.change), formatVolume(q.volume)};
    switch (form) {
    case QuoteForm::NoPrice:
        shown.last = shown.change = shown.percent = shown.previous = "n/a";
        break;
    case QuoteForm::VolumeAt25000:
        shown.volume = formatVolume(25000);
        break;
    case QuoteForm::VolumeUnit:
        shown.volume = withUnit(q.volume);
        break;
    case QuoteForm::Plain:
    case QuoteForm::PriceAtFive:
    case QuoteForm::NotASymbol:
        break;
    }
    return shown;
}

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
