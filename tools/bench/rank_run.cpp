// How long a whole Rank Lists run takes through the simulated web: the given
// number of tickers, every rank source ticked, each response delayed by the
// given latency. It times the real command, headless, start to finish.
//
//   rank_run [TICKERS [LATENCY_MS ...]]     (defaults: 500 tickers, 0 and 50 ms)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/form1.h"
#include "tools/simweb/market.h"
#include "tools/simweb/server.h"

namespace {

class SilentDialogs : public veltrop::Dialogs {
public:
    int shown = 0;
    void message(const std::string&) override { ++shown; }
    void showOpen(veltrop::FileDialogState&) override {}
    void showSave(veltrop::FileDialogState&) override {}
};

struct Outcome {
    double seconds;
    std::size_t requests;
    int ranked;
};

Outcome timeRun(simweb::Server& web, int tickers)
{
    SilentDialogs dialogs;
    veltrop::Form1 form(dialogs);
    form.Form_Load();
    const std::vector<std::string>& universe = simweb::Market::instance().universe();
    for (int i = 1; i <= tickers; ++i)
        form.tickertable[i][0] = universe[static_cast<std::size_t>(i - 1) * universe.size() / tickers];
    form.tickercount = veltrop::Integer(tickers);
    for (auto& [index, box] : form.Rank)
        box.value = 1;
    form.rankbutton.enabled = true;

    web.clearRequests();
    const auto start = std::chrono::steady_clock::now();
    form.click(veltrop::Command::RankLists);
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (std::getenv("RANK_RUN_HOSTS")) {
        const auto log = web.requests();
        std::map<std::string, std::pair<std::size_t, std::size_t>> hosts;  // count, last position
        for (std::size_t i = 0; i < log.size(); ++i) {
            const std::string host = log[i].substr(7, log[i].find('/', 7) - 7);
            hosts[host].first++;
            hosts[host].second = i;
        }
        for (auto& [h, v] : hosts)
            std::printf("  %-28s %6zu pages, last at %5.1f%%\n", h.c_str(), v.first, 100.0 * double(v.second) / double(log.size()));
    }
    return {took.count(), web.requests().size(), form.rankedcount};
}

} // namespace

int main(int argc, char** argv)
{
    const int tickers = argc > 1 ? std::atoi(argv[1]) : 500;
    std::vector<int> latencies;
    for (int i = 2; i < argc; ++i)
        latencies.push_back(std::atoi(argv[i]));
    if (latencies.empty())
        latencies = {0, 50};
    if (tickers < 1 || tickers > veltrop::maxTickers) {
        std::fprintf(stderr, "tickers must be 1 to %d\n", veltrop::maxTickers);
        return 2;
    }

    simweb::Server web;
    ::setenv("http_proxy", web.proxyUrl().c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");

    std::printf("%-12s %10s %10s %10s %12s\n", "latency ms", "seconds", "requests", "ranked", "ms/request");
    for (int latency : latencies) {
        web.setLatency(latency);
        const Outcome o = timeRun(web, tickers);
        std::printf("%-12d %10.1f %10zu %10d %12.2f\n", latency, o.seconds, o.requests, o.ranked,
                    o.requests ? 1000.0 * o.seconds / double(o.requests) : 0.0);
        std::fflush(stdout);
    }
    return 0;
}
