// The price and volume filter: one quote page (or one per batch of 80
// tickers) gives each ticker's price and volume; only the tickers above both
// limits stay in the table.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "app/form1.h"
#include "app/helpers.h"
#include "web/hosts.h"
#include "web/url.h"

namespace veltrop {
namespace {

constexpr int batchSize = 80;
constexpr int quoteTable = 15;
constexpr int priceColumn = 3;
constexpr int volumeColumn = 7;
// Rows 1 and 2 of the quote table are its title and its headings.
constexpr int headerRows = 2;
// A page never holds more rows than this; the search for a ticker's own row
// stops there whatever the page holds.
constexpr int maxQuoteRows = 2 * maxTickers + headerRows;

constexpr const char* supportAddress = "support@pellamys-veltrop.example";

std::string quoteAddress(std::string_view query)
{
    return std::string("http://") + hosts::quotes + "/portfolio_quick_quotes.asp?tickers=" +
           std::string(trimBlanks(query));
}

bool sameTicker(std::string_view a, std::string_view b)
{
    return toUpperAscii(trimBlanks(a)) == toUpperAscii(trimBlanks(b));
}

// A volume text as a whole number: digits with "," between digit groups, an
// optional fraction, blanks around it. Anything else (a unit letter, as in
// "1.2M") does not convert.
std::optional<double> wholeVolume(std::string_view text)
{
    text = trimBlanks(text);
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        plain += text[i++];
    bool digits = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c >= '0' && c <= '9') {
            plain += c;
            digits = true;
        } else if (c == ',' && digits && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9') {
            continue;
        } else {
            break;
        }
    }
    if (i < text.size() && text[i] == '.') {
        plain += text[i++];
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            plain += text[i];
            digits = true;
        }
    }
    if (!digits || i != text.size())
        return std::nullopt;
    return std::strtod(plain.c_str(), nullptr);
}

} // namespace

void Form1::filter()
{
    if (tickercount == 0)
        return;

    const int count = tickercount;
    const int batches = count / batchSize + 1;
    tickerquery.clear();
    Label2.caption = "Filtering...";

    std::array<CellValue, maxTickers + 1> kept{};
    int keptcount = 0;

    // The rows of the page just opened by the ticker they name, built only
    // when a ticker is not on its own row.
    std::unordered_map<std::string, int> rowsBySymbol;
    bool rowsIndexed = false;

    // The row of ticker i on the page just opened, which names tickers 1 to
    // `named`: its own position when the page names it there, else the row
    // that names it (a page that leaves a ticker out would otherwise hand
    // every later ticker its neighbour's quote). 0 when the page has no row
    // for it.
    const auto quoteRow = [&](int i, int named) {
        const std::string ticker = cellText(tickertable[i][0]);
        const int row = i + headerRows;
        if (sameTicker(fetcher->GetCellText(quoteTable, row, 1), ticker))
            return row;
        if (!rowsIndexed) {
            rowsIndexed = true;
            for (int r = headerRows + 1; r <= maxQuoteRows; ++r) {
                const std::string symbol = fetcher->GetCellText(quoteTable, r, 1);
                // An empty entry of the query has an empty row; past the
                // tickers named, an empty cell is the end of the table.
                if (symbol.empty()) {
                    if (r > named + headerRows)
                        break;
                    continue;
                }
                rowsBySymbol.try_emplace(toUpperAscii(trimBlanks(symbol)), r);
            }
        }
        const auto found = rowsBySymbol.find(toUpperAscii(trimBlanks(ticker)));
        return found == rowsBySymbol.end() ? 0 : found->second;
    };

    const auto keep = [&](const std::string& price, const std::string& volume) {
        nextpageurl = volume;
        if (price.empty() || !(leadingNumber(price) > 0) || !(leadingNumber(volume) > 0))
            return false;
        const std::optional<double> shares = wholeVolume(volume);
        if (!shares)
            return false;
        return leadingNumber(price) > double(priceminimum) && floorWhole(*shares) > volumeminimum;
    };

    // Reads and tests tickers first to last from the page just opened, which
    // names tickers 1 to `named`.
    const auto test = [&](int first, int last, int named) {
        for (int i = first; i <= last; ++i) {
            const int row = quoteRow(i, named);
            if (row == 0)
                continue;
            const std::string price = fetcher->GetCellText(quoteTable, row, priceColumn);
            const std::string volume = fetcher->GetCellText(quoteTable, row, volumeColumn);
            if (keep(price, volume))
                kept[++keptcount] = tickertable[i][0];
        }
    };

    const std::string failure = std::string("Could not open Filtering site.. please write ") + supportAddress;

    // Tickers go into the address percent-encoded, so a blank or an "&" in
    // one cannot break the query; the separators stay as they are.
    if (count <= batchSize) {
        for (int i = 1; i <= count; ++i)
            tickerquery += encodeUrlPart(trimBlanks(cellText(tickertable[i][0]))) + ",";
        rowsIndexed = false;
        rowsBySymbol.clear();
        if (fetcher->OpenPage(quoteAddress(tickerquery), 60, 0))
            test(1, count, count);
        else
            msgbox(failure);
    } else {
        // The query grows batch by batch and is never emptied: the request of
        // batch b names tickers 1 to its last, and its rows are the last 80.
        for (int b = 1; b <= batches; ++b) {
            const int first = (b - 1) * batchSize + 1;
            const int last = std::min(b * batchSize, count);
            for (int i = first; i <= last; ++i)
                tickerquery += encodeUrlPart(trimBlanks(cellText(tickertable[i][0]))) + "+";
            rowsIndexed = false;
            rowsBySymbol.clear();
            if (fetcher->OpenPage(quoteAddress(tickerquery), 60, 0))
                test(first, last, last);
            else
                msgbox(failure);
        }
    }
    tickercount = Integer(keptcount);

    for (auto& row : tickertable)
        row = {};
    for (int i = 1; i <= tickercount; ++i)
        tickertable[i][0] = kept[i];

    cancelflag = false;
}

} // namespace veltrop
