#pragma once
// Tickers, addresses and pages the logic and window tests both take from the
// simulated web's market model, never from the code under test.
#include <cstddef>
#include <string>
#include <vector>

#include "app/sourceboxes.h"
#include "rank/ranksources.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "tools/simweb/quotemodel.h"

namespace veltrop::testing {

// Whether the quote page shows the ticker plainly above the default limits
// (price above 5, volume above 25000): the filter keeps it.
inline bool passesDefaults(const std::string& ticker)
{
    if (simweb::quoteForm(ticker) != simweb::QuoteForm::Plain)
        return false;
    const simweb::Quote q = simweb::Market::quote(ticker);
    return q.price > 5 && q.volume > 25000;
}

// The first `count` listed tickers the filter keeps, only those shorter than
// `shorterThan` characters when that is given.
inline std::vector<std::string> keptTickers(std::size_t count, std::size_t shorterThan = std::string::npos)
{
    std::vector<std::string> kept;
    for (const std::string& t : simweb::Market::instance().universe()) {
        if (passesDefaults(t) && t.size() < shorterThan)
            kept.push_back(t);
        if (kept.size() == count)
            break;
    }
    return kept;
}

// The built-in rank source in the window's Rank box `box`.
inline const veltrop::RankSource* rankSourceInBox(int box)
{
    for (const veltrop::RankSource& source : veltrop::rankSources())
        if (veltrop::rankBoxOf(source.name) == box)
            return &source;
    return nullptr;
}

// The address of source `index`'s page up to the ticker, and in full.
inline std::string rankPrefix(int index)
{
    return rankSourceInBox(index)->before;
}

// The host of source `index`'s pages.
inline std::string rankHost(int index) { return simweb::urlParts(rankPrefix(index)).host; }

inline std::string rankAddress(int index, const std::string& ticker)
{
    return rankPrefix(index) + ticker + rankSourceInBox(index)->after;
}

// A page with `text` in cell (table, row, column) and small tables before it.
inline std::string cellPage(int table, int row, int column, const std::string& text)
{
    std::string html = "<html><body>";
    for (int t = 1; t < table; ++t)
        html += "<table><tr><td>menu</td></tr></table>";
    html += "<table>";
    for (int r = 1; r <= row; ++r) {
        html += "<tr>";
        for (int c = 1; c <= column; ++c)
            html += "<td>" + (r == row && c == column ? text : std::string("-")) + "</td>";
        html += "</tr>";
    }
    return html + "</table></body></html>";
}

} // namespace veltrop::testing
