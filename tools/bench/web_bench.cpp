// How long a page takes from the wire to its index, and how quickly hostile
// pages are indexed or refused. The "indexed" counter is 1 for a page that
// was indexed and 0 for one that was refused.
#include "tools/simweb/server.h"
#include "tools/simweb/sites.h"
#include "web/pagefetcher.h"
#include "web/pageindex.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <string_view>

namespace {

using veltrop::PageIndex;

std::string repeated(std::string_view piece, std::size_t times)
{
    std::string out;
    out.reserve(piece.size() * times);
    for (std::size_t i = 0; i < times; ++i)
        out.append(piece);
    return out;
}

std::string tableOf(std::string_view row, std::size_t bytes)
{
    return "<table>" + repeated(row, bytes / row.size()) + "</table>";
}

void indexPage(benchmark::State& state, const std::string& html)
{
    bool indexed = false;
    for (auto _ : state) {
        auto index = PageIndex::build(html, "http://www.example.com/");
        indexed = index.has_value();
        benchmark::DoNotOptimize(index);
    }
    state.counters["indexed"] = indexed ? 1 : 0;
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * html.size()));
}

const std::string shortRow = "<tr><td>AAPL</td><td>123.45</td><td>Apple Inc</td></tr>\n";
const std::string longRow = "<tr><td>AAPL 123.45 Apple Incorporated, Cupertino, California; hardware</td></tr>\n";

BENCHMARK_CAPTURE(indexPage, list_500_rows, tableOf(shortRow, 500 * shortRow.size()))
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(indexPage, table_2MiB, tableOf(shortRow, 2 << 20))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(indexPage, table_8MiB_short_cells, tableOf(shortRow, 8 << 20))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(indexPage, table_8MiB_long_cells, tableOf(longRow, 8 << 20))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(indexPage, nested_div_20k, repeated("<div>", 20000))->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(indexPage, nested_div_200k, repeated("<div>", 200000))->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(indexPage, nested_table_150k, repeated("<table><tr><td>", 150000))
    ->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(indexPage, nested_table_200k, repeated("<table><tr><td>", 200000))
    ->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(indexPage, unclosed_a_100k, repeated("<a href=x>", 100000))->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(indexPage, unclosed_b_100k, repeated("<b>", 100000))->Unit(benchmark::kMillisecond)->Iterations(2);

// Links that never close because an <object> or a table inside each one
// hides it from the next <a>: every link holds all the text after it.
std::string nestedLinks(std::string_view wrapper, std::size_t links, std::size_t textBytes)
{
    const std::string words = repeated("word ", textBytes / links / 5 + 1);
    std::string html;
    html.reserve(links * (words.size() + 40));
    for (std::size_t i = 0; i < links; ++i)
        html.append("<a href=\"/l").append(std::to_string(i)).append("\">").append(wrapper).append(words);
    return html;
}

BENCHMARK_CAPTURE(indexPage, links_in_object_1000_1MB, nestedLinks("<object>", 1000, 1 << 20))
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(indexPage, links_in_table_1000_1MB, nestedLinks("<table><tr><td>", 1000, 1 << 20))
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(indexPage, links_in_object_5000_7MB, nestedLinks("<object>", 5000, 7 << 20))
    ->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK_CAPTURE(indexPage, links_in_table_5000_7MB, nestedLinks("<table><tr><td>", 5000, 7 << 20))
    ->Unit(benchmark::kMillisecond)->Iterations(1);

// A 500-ticker list page through the simulated web: transfer, gzip,
// decoding and indexing.
void openListPage(benchmark::State& state)
{
    simweb::Server server;
    setenv("http_proxy", server.proxyUrl().c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    const std::string url = std::string("http://") + veltrop::hosts::standardPoors + "/indexmainglobal500_data.html";
    veltrop::PageFetcher fetcher;
    bool opened = false;
    for (auto _ : state)
        opened = fetcher.OpenPage(url, 10);
    state.counters["opened"] = opened ? 1 : 0;
}
BENCHMARK(openListPage)->Unit(benchmark::kMillisecond);

} // namespace
