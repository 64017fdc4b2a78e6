#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "filter/filter.h"

#include "domain/catalogue.h"
#include "web/text.h"
#include "web/pageplan.h"
#include "web/url.h"

namespace veltrop {
namespace {

constexpr int batchSize = 80;

constexpr const char* supportAddress = "support@pellamys-veltrop.example";

} // namespace

std::string quotePageAddress(std::string_view query, const QuotesEntry& quotes)
{
    std::string address = quotes.url;
    address.replace(address.find("{tickers}"), std::string_view("{tickers}").size(), trimBlanks(query));
    return address;
}

namespace {

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

// The kept tickers of one quote page, which names tickers 1 to `named`: for
// each ticker from `first` to `last` (indices into `tickers`, from 1) its
// row is the one at its own position when the page names it there, else the
// row that names it (a page that leaves a ticker out would otherwise hand
// every later ticker its neighbour's quote); a ticker with no row is dropped.
// It runs on the engine's worker that indexed the page.
struct BatchResult {
    bool opened = false;
    std::vector<int> kept;
};

BatchResult testBatch(const PageView& page, const QuotesEntry& at, const std::vector<std::string>& tickers, int first,
                      int last, int named, Whole priceminimum, Whole volumeminimum);

// One batch's quote page, tested where it is read.
class BatchReader : public PageReader {
public:
    BatchReader(std::shared_ptr<const QuotesEntry> at, std::shared_ptr<const std::vector<std::string>> tickers,
                int first, int last, Whole price, Whole volume)
        : at_(std::move(at)), tickers_(std::move(tickers)), first_(first), last_(last), price_(price), volume_(volume)
    {
    }
    std::string read(const PageView& page, const std::string&) override
    {
        result = testBatch(page, *at_, *tickers_, first_, last_, last_, price_, volume_);
        return {};
    }
    BatchResult result;

private:
    std::shared_ptr<const QuotesEntry> at_;
    std::shared_ptr<const std::vector<std::string>> tickers_;
    int first_, last_;
    Whole price_, volume_;
};

BatchResult testBatch(const PageView& page, const QuotesEntry& at, const std::vector<std::string>& tickers, int first,
                      int last, int named, Whole priceminimum, Whole volumeminimum)
{
    // The rows above the first ticker's are the table's title and headings.
    const int headerRows = at.firstRow - 1;
    // A page never holds more rows than this; the search for a ticker's own
    // row stops there whatever the page holds.
    const int maxQuoteRows = 2 * maxTickers + headerRows;
    BatchResult result{true, {}};
    std::unordered_map<std::string, int> rowsBySymbol;
    bool rowsIndexed = false;
    const auto quoteRow = [&](int i) {
        const std::string& ticker = tickers[static_cast<std::size_t>(i)];
        const int row = i + headerRows;
        if (sameTicker(page.cellText(at.table, row, at.symbol), ticker))
            return row;
        if (!rowsIndexed) {
            rowsIndexed = true;
            for (int r = headerRows + 1; r <= maxQuoteRows; ++r) {
                const std::string symbol = page.cellText(at.table, r, at.symbol);
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
        if (price.empty() || !(leadingNumber(price) > 0) || !(leadingNumber(volume) > 0))
            return false;
        const std::optional<double> shares = wholeVolume(volume);
        if (!shares)
            return false;
        return leadingNumber(price) > double(priceminimum) && floorWhole(*shares) > volumeminimum;
    };
    for (int i = first; i <= last; ++i) {
        const int row = quoteRow(i);
        if (row == 0)
            continue;
        if (keep(page.cellText(at.table, row, at.price), page.cellText(at.table, row, at.volume)))
            result.kept.push_back(i);
    }
    return result;
}

} // namespace

void filterTickers(const WebAccess& web, TickerList& list, const Limits& limits, FilterObserver& observer,
                   const QuotesEntry& quotes)
{
    if (list.empty())
        return;

    const int tickerCount = list.size();
    const int batches = tickerCount / batchSize + 1;
    observer.filtering();

    // Numbered from 1, as the batches count them.
    std::vector<std::string> tickers{std::string()};
    for (const ListedTicker& listed : list)
        tickers.push_back(listed.ticker);

    // The requests, first to last. Tickers go into the address
    // percent-encoded, so a blank or an "&" in one cannot break the query;
    // the separators stay as they are. In batches the query grows batch by
    // batch and is never emptied: the request of batch b names tickers 1 to
    // its last, and its rows are the last 80.
    struct Batch {
        int first, last;
        std::string query;
    };
    std::vector<Batch> requests;
    std::string query;
    if (tickerCount <= batchSize) {
        for (int i = 1; i <= tickerCount; ++i)
            query += encodeUrlPart(trimBlanks(tickers[std::size_t(i)])) + ",";
        requests.push_back({1, tickerCount, query});
    } else {
        for (int b = 1; b <= batches; ++b) {
            const int first = (b - 1) * batchSize + 1;
            const int last = std::min(b * batchSize, tickerCount);
            for (int i = first; i <= last; ++i)
                query += encodeUrlPart(trimBlanks(tickers[std::size_t(i)])) + "+";
            requests.push_back({first, last, query});
        }
    }

    // The batches are asked for together (as far as the look-ahead allows)
    // and tested on the engine's workers as they arrive; the results are
    // taken in batch order. Closing the window stops the plan, and every
    // batch not yet taken counts as one that did not open.
    // Planned as one, so that a batch that names the same tickers as the one
    // before (an empty last batch) shares its page.
    std::vector<BatchResult> results(requests.size());
    {
        PagePlan pages(web.engine, web.lookahead, web.stop);
        pages.hold();
        // The readers run on the engine's workers and hold what they read
        // with: the caller's catalogue may go before they do.
        const auto at = std::make_shared<const QuotesEntry>(quotes);
        const auto shared = std::make_shared<const std::vector<std::string>>(std::move(tickers));
        for (std::size_t b = 0; b < requests.size(); ++b)
            pages.plan(b, quotePageAddress(requests[b].query, quotes),
                       std::make_shared<BatchReader>(at, shared, requests[b].first, requests[b].last, limits.price,
                                                     limits.volume));
        pages.release();
        for (std::size_t b = 0; b < requests.size(); ++b)
            if (const auto read = pages.take<BatchReader>(b))
                results[b] = read->result;
    }

    const std::string failure = std::string("Could not open Filtering site.. please write ") + supportAddress;
    TickerList kept;
    for (const BatchResult& result : results) {
        if (!result.opened) {
            observer.message(failure);
            continue;
        }
        for (int i : result.kept)
            kept.add(list[i - 1].ticker);
    }
    list = std::move(kept);
}

} // namespace veltrop
