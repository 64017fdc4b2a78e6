// The interpretive-text page: a computer-written report on one ticker from
// its rankings, in the site's frame of navigation and menu tables.
#include "tools/simweb/opinionmodel.h"

#include "tools/simweb/html.h"
#include "tools/simweb/http.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/sites.h"

#include <cstdio>

namespace simweb {
namespace {

constexpr std::string_view site = "telescan.com";

std::string upperCase(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return out;
}

std::string fixed(double value, int decimals)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

template <std::size_t N> const char* choose(std::string_view ticker, std::string_view key, const char* const (&words)[N])
{
    return words[Market::whole(ticker, key, 0, int(N) - 1)];
}

std::string overview(const std::string& t)
{
    const int rank = Market::whole(t, "opinion overall rank", 1, 99);
    const char* stance = rank >= 67 ? "favourable" : rank >= 34 ? "neutral" : "unfavourable";
    return Market::companyName(t) + " (" + t + ") carries an overall Telescan rank of " + std::to_string(rank)
        + " out of 100, which places it ahead of " + std::to_string(rank - 1)
        + "% of the stocks in the database. The combined picture is " + stance + ".";
}

std::string technical(const std::string& t)
{
    static const char* const trends[] = {"above", "below", "close to"};
    const int days = Market::whole(t, "opinion average days", 2, 4) * 10;
    const int strength = Market::whole(t, "opinion relative strength", 1, 99);
    const Quote q = Market::quote(t);
    return "Technical picture: at $" + formatPrice(q.price) + " the stock trades "
        + choose(t, "opinion trend", trends) + " its " + std::to_string(days)
        + "-day moving average, with a relative strength of " + std::to_string(strength)
        + ". Volume today was " + formatVolume(q.volume) + " shares.";
}

std::string fundamental(const std::string& t)
{
    const double growth = Market::whole(t, "opinion earnings growth", -400, 900) / 10.0;
    const double earnings = Market::whole(t, "opinion price earnings", 60, 900) / 10.0;
    return std::string("Fundamentals: earnings per share have ") + (growth < 0 ? "fallen " : "grown ")
        + fixed(growth < 0 ? -growth : growth, 1) + "% over the last four quarters, and the shares sell at "
        + fixed(earnings, 1) + " times trailing earnings.";
}

std::string analysts(const std::string& t)
{
    const int following = Market::whole(t, "opinion analysts", 2, 24);
    const int buying = Market::whole(t, "opinion analysts buying", 0, following);
    return "Analysts: " + std::to_string(buying) + " of the " + std::to_string(following)
        + " analysts following the company rate it a buy or strong buy.";
}

std::string insiders(const std::string& t)
{
    static const char* const moves[] = {"bought more shares than they sold", "sold more shares than they bought",
                                        "made no trades"};
    return std::string("Insiders: over the last six months company officers and directors have ")
        + choose(t, "opinion insiders", moves) + ".";
}

Page noReportPage(const std::string& symbol)
{
    HtmlWriter page("Telescan: Interpretive Text");
    layoutTables(page, site, 6);
    page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=6)");
    page.row();
    page.cell(R"(<FONT FACE="Arial" SIZE=-1>No interpretive text is available for <B>)" + escapeHtml(symbol)
              + "</B>. Please check the symbol and try again.</FONT>");
    page.closeTable();
    footerTable(page, site);
    return {200, "text/html; charset=utf-8", page.finish()};
}

} // namespace

bool hasOpinionReport(std::string_view symbol)
{
    const std::string t = upperCase(symbol);
    return Market::isSymbol(t) && Market::attribute(t, "opinion report") >= 0.15;
}

std::vector<std::string> opinionParagraphs(std::string_view symbol)
{
    if (!hasOpinionReport(symbol))
        return {};
    const std::string t = upperCase(symbol);
    std::vector<std::string> paragraphs{overview(t), technical(t), fundamental(t)};
    if (Market::attribute(t, "opinion analysts shown") < 0.7)
        paragraphs.push_back(analysts(t));
    if (Market::attribute(t, "opinion insiders shown") < 0.5)
        paragraphs.push_back(insiders(t));
    return paragraphs;
}

std::string opinionReportText(std::string_view symbol)
{
    std::string text;
    for (const std::string& paragraph : opinionParagraphs(symbol)) {
        if (!text.empty())
            text += '\n';
        text += paragraph;
    }
    return text;
}

std::optional<Page> opinionPage(std::string_view host, std::string_view path, std::string_view query)
{
    if (host != veltrop::hosts::telescan || path != kOpinionPath)
        return std::nullopt;
    const std::string symbol = queryValue(query, "Symbol").value_or("");
    const std::vector<std::string> paragraphs = opinionParagraphs(symbol);
    if (paragraphs.empty())
        return noReportPage(symbol);

    const std::string t = upperCase(symbol);
    HtmlWriter page("Telescan: Interpretive Text - " + t);
    layoutTables(page, site, 6);
    page.openTable(R"(WIDTH="100%" BORDER=0 CELLPADDING=6)");
    page.row(R"(BGCOLOR="#003366")");
    page.cell(R"(<FONT FACE="Arial" COLOR="#FFFFFF"><B>)" + escapeHtml(t) + " Telescan Rankings Snapshot</B></FONT>");
    page.row();
    std::string body;
    for (const std::string& paragraph : paragraphs)
        body += "\n<P><FONT FACE=\"Arial\" SIZE=-1>" + escapeHtml(paragraph) + "</FONT>";
    body += "\n<P><FONT FACE=\"Arial\" SIZE=-2><I>The above report is generated by computer from the Telescan "
            "database. It is not a recommendation to buy or sell any security.</I></FONT>\n";
    page.cell(body);
    page.closeTable();
    footerTable(page, site);
    return Page{200, "text/html; charset=utf-8", page.finish()};
}

} // namespace simweb
