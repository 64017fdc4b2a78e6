// What indexing a page costs beyond parsing it. For each kind of rank page
// (and a 60 KB page of 20 tables) one run times PageIndex::build and the plain
// gumbo parse of the same UTF-8 bytes, interleaved page by page so both meet
// the same machine load. The iteration time is the index's, per page;
// "gumbo_us" and "index_us" are the mean times per page, and "ratio" is index
// over gumbo (the index parses with gumbo, so 1.15 means 15% on top).
// The CPU column is that of a whole iteration: every page, both parses.
// Run with --benchmark_repetitions=N and read the medians.
#include "rank/ranksources.h"
#include "tools/simweb/html.h"
#include "tools/simweb/market.h"
#include "tools/simweb/pages.h"
#include "web/charset.h"
#include "web/pageindex.h"

#include <benchmark/benchmark.h>
#include <gumbo.h>

#include <optional>

#include <cctype>
#include <chrono>
#include <set>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Page {
    std::string url;
    std::string html;  // as decodePage gives it
};

// A few tickers spread over the universe, so the pages are not all one size.
std::vector<std::string> sampleTickers()
{
    const auto& universe = simweb::Market::instance().universe();
    std::vector<std::string> out;
    for (std::size_t i = 0; i < 4; ++i)
        out.push_back(universe[(universe.size() * (2 * i + 1)) / 8]);
    return out;
}

// "http://host/path?query" as its host, path and query.
struct Parts {
    std::string host, path, query;
};
Parts partsOf(std::string_view address)
{
    address.remove_prefix(address.find("//") + 2);
    const std::string host(address.substr(0, address.find('/')));
    address.remove_prefix(host.size());
    const auto question = address.find('?');
    if (question == std::string_view::npos)
        return {host, std::string(address), {}};
    return {host, std::string(address.substr(0, question)), std::string(address.substr(question + 1))};
}

// The pages of the source `source` for the sample tickers, built by the
// simulated web and decoded as a fetched page is.
std::vector<Page> pagesOf(const veltrop::RankSource& source)
{
    std::vector<Page> pages;
    for (const std::string& ticker : sampleTickers()) {
        std::string key = ticker;
        if (source.precheck) {
            auto code = veltrop::smartSelectCode(ticker);
            if (!code)
                continue;
            key = *code;
        }
        const std::string address = std::string(source.before) + key + std::string(source.after);
        const Parts parts = partsOf(address);
        auto page = simweb::rankPage(parts.host, parts.path, parts.query);
        if (!page)
            throw std::runtime_error("no rank page at " + address);
        pages.push_back({address, veltrop::decodePage(page->body, page->contentType)});
    }
    return pages;
}

// Twenty tables of quote-like rows with a link per row, 60 KB in all, written
// as the sites wrote theirs: upper-case tags, rows and cells left unclosed.
std::vector<Page> twentyTablesPage()
{
    const auto& universe = simweb::Market::instance().universe();
    constexpr std::size_t target = 60 * 1024;
    constexpr int tables = 20;
    std::size_t ticker = 0;
    std::string html = "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.0 Transitional//EN\">\n<HTML>\n<HEAD>\n"
                       "<TITLE>Twenty tables</TITLE>\n</HEAD>\n<BODY BGCOLOR=\"#FFFFFF\">\n";
    for (int t = 0; t < tables; ++t) {
        html += "<TABLE WIDTH=\"100%\" BORDER=0 CELLPADDING=2 CELLSPACING=0>\n<TR BGCOLOR=\"#DDDDDD\">";
        for (const char* heading : {"Symbol", "Company", "Last", "Change", "Volume"})
            html += std::string("<TH>") + heading;
        html += "\n";
        // Rows until this table's share of the page is written.
        const std::size_t until = target * static_cast<std::size_t>(t + 1) / tables - 40;
        while (html.size() < until) {
            const std::string& symbol = universe[ticker++ % universe.size()];
            const simweb::Quote quote = simweb::Market::quote(symbol);
            html += "<TR><TD><A HREF=\"/q?s=" + symbol + "\">" + symbol + "</A>";
            html += "<TD>" + simweb::escapeHtml(simweb::Market::companyName(symbol));
            html += "<TD ALIGN=RIGHT>" + simweb::formatPrice(quote.price);
            html += "<TD ALIGN=RIGHT>" + simweb::formatChange(quote.change);
            html += "<TD ALIGN=RIGHT>" + simweb::formatVolume(quote.volume) + "&nbsp;\n";
        }
        html += "</TABLE>\n<BR>\n";
    }
    html += "</BODY>\n</HTML>\n";
    return {{"http://www.example.com/tables.html", veltrop::decodePage(html, "text/html; charset=utf-8")}};
}

void parseAndIndex(benchmark::State& state, const std::vector<Page>& pages)
{
    if (pages.empty()) {
        state.SkipWithError("no pages");
        return;
    }
    Clock::duration gumboTime{}, indexTime{};
    std::size_t bytes = 0;
    bool indexed = true;
    std::size_t turns = 0;
    for (auto _ : state) {
        Clock::duration iterationIndex{};
        for (const Page& page : pages) {
            std::string copy = page.html;  // build() takes the page; the copy is no part of the timing

            // Which of the two goes first alternates, so neither always
            // finds the caches warmed by the other.
            const bool gumboFirst = ++turns % 2 == 0;
            Clock::duration parseTook{}, indexTook{};
            std::optional<veltrop::PageIndex> index;
            for (int turn = 0; turn < 2; ++turn) {
                const auto start = Clock::now();
                if ((turn == 0) == gumboFirst) {
                    GumboOutput* output =
                        gumbo_parse_with_options(&kGumboDefaultOptions, page.html.data(), page.html.size());
                    gumbo_destroy_output(&kGumboDefaultOptions, output);
                    parseTook = Clock::now() - start;
                } else {
                    index = veltrop::PageIndex::build(std::move(copy), page.url);
                    indexTook = Clock::now() - start;
                }
            }
            benchmark::DoNotOptimize(index);
            indexed = indexed && index.has_value();

            gumboTime += parseTook;
            iterationIndex += indexTook;
            bytes += page.html.size();
        }
        indexTime += iterationIndex;
        state.SetIterationTime(std::chrono::duration<double>(iterationIndex).count()
                               / static_cast<double>(pages.size()));
    }
    const double perPage = static_cast<double>(state.iterations()) * static_cast<double>(pages.size());
    state.counters["gumbo_us"] = std::chrono::duration<double, std::micro>(gumboTime).count() / perPage;
    state.counters["index_us"] = std::chrono::duration<double, std::micro>(indexTime).count() / perPage;
    state.counters["ratio"] = std::chrono::duration<double>(indexTime).count()
        / std::chrono::duration<double>(gumboTime).count();
    state.counters["page_kB"] = static_cast<double>(bytes) / perPage / 1024.0;
    state.counters["indexed"] = indexed ? 1 : 0;
}

// One benchmark per distinct page address of the rank sources (the nine
// Telescan sources share one), named after the first source reading it.
void registerAll()
{
    std::set<std::string_view> seen;
    for (const veltrop::RankSource& source : veltrop::rankSources()) {
        if (!seen.insert(source.before).second)
            continue;
        std::string name = "rank/";
        for (char c : source.caption) {
            if (std::isalnum(static_cast<unsigned char>(c)))
                name += c;
            else if (name.back() != '_')
                name += '_';
        }
        if (name.back() == '_')
            name.pop_back();
        benchmark::RegisterBenchmark(name.c_str(), parseAndIndex, pagesOf(source))
            ->UseManualTime()->Unit(benchmark::kMicrosecond);
    }
    benchmark::RegisterBenchmark("tables_60KB_20", parseAndIndex, twentyTablesPage())
        ->UseManualTime()->Unit(benchmark::kMicrosecond);
}

} // namespace

int main(int argc, char** argv)
{
    registerAll();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
