// A whole Rank Lists run, headless, through the simulated web: once reading
// one page after another (a look-ahead of one) over a new connection each,
// as the program first read its pages, and once as built (pages read ahead,
// many at once, over kept-alive connections), side by side in one process. It reports both
// times and their ratio, the floors a run cannot beat, memory, how long the
// front end's own loop (a 1 ms timer standing in for the window's event
// loop) ever waited for its next turn, whether both runs showed exactly the
// same, and how quickly Cancel ends a run.
//
//   rank_run [TICKERS [LATENCY_MS]]      (defaults: 500 tickers, 50 ms)
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app/windowcontroller.h"
#include "tools/simweb/market.h"
#include "tools/bench/floors.h"
#include "tools/bench/silentdialogs.h"
#include "tools/simweb/server.h"
#include "web/fetchpool.h"
#include "web/hostqueue.h"

namespace {

using Clock = std::chrono::steady_clock;

// Everything the window shows of a run.
struct Shown {
    std::vector<std::string> table, grid, progress, captions, messages;
    std::string labels;
    bool operator==(const Shown&) const = default;
};

struct Outcome {
    double seconds = 0;
    Shown shown;
    double longestGapMs = 0, gap99Ms = 0;
    long peakKb = 0;
    std::size_t requests = 0;
    double workSeconds = 0;
};

long memoryKb(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + std::string(field).size());
    return 0;
}

// Lets the next peak be measured from now.
void resetPeakMemory() { std::ofstream("/proc/self/clear_refs") << "5"; }

std::vector<std::string> tickers(int count)
{
    const std::vector<std::string>& universe = simweb::Market::instance().universe();
    std::vector<std::string> list;
    for (int i = 0; i < count; ++i)
        list.push_back(universe[static_cast<std::size_t>(i) * universe.size() / std::size_t(count)]);
    return list;
}

void load(veltrop::WindowController& window, const std::vector<std::string>& list)
{
    window.setTickerList(list);
    for (auto& [index, box] : window.rankBoxes)
        box.value = 1;
    window.rankListsButton.enabled = true;
}

// The front end's own loop: the command posts its updates from its thread
// and wakes the loop, which also turns every millisecond as a window's timer
// would, and applies whatever is pending. Returns the gaps between turns.
std::vector<double> runBesideLoop(veltrop::WindowController& window, veltrop::Command command)
{
    std::mutex mutex;
    std::condition_variable woken;
    bool posted = false;
    window.setNotifier([&] {
        std::lock_guard lock(mutex);
        posted = true;
        woken.notify_one();
    });
    std::vector<double> gaps;
    Clock::time_point last = Clock::now();
    window.click(command);
    while (window.running()) {
        {
            std::unique_lock lock(mutex);
            woken.wait_for(lock, std::chrono::milliseconds(1), [&] { return posted; });
            posted = false;
        }
        const Clock::time_point now = Clock::now();
        gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
        window.applyUpdates();
    }
    gaps.push_back(std::chrono::duration<double, std::milli>(Clock::now() - last).count());
    window.setNotifier({});
    return gaps;
}

Outcome timeRun(simweb::Server& web, const std::vector<std::string>& list, bool ahead)
{
    SilentDialogs dialogs;
    veltrop::WindowController window(dialogs);
    Outcome o;
    // After each update applied: every progress text and caption the run
    // showed, in order.
    window.setTurnHook([&] {
        const std::string& text = window.progressLabel.caption;
        if (text.find("to go") != std::string::npos && (o.shown.progress.empty() || o.shown.progress.back() != text))
            o.shown.progress.push_back(text);
        if (o.shown.captions.empty() || o.shown.captions.back() != window.rankListsButton.caption)
            o.shown.captions.push_back(window.rankListsButton.caption);
    });
    window.load();
    dialogs.shown.clear();
    window.setLookahead(ahead ? 0 : 1);
    load(window, list);

    web.clearRequests();
    resetPeakMemory();
    const auto start = Clock::now();
    std::vector<double> gaps = runBesideLoop(window, veltrop::Command::RankLists);
    const auto end = Clock::now();
    std::sort(gaps.begin(), gaps.end());
    o.longestGapMs = gaps.back();
    o.gap99Ms = gaps[std::min(gaps.size() - 1, gaps.size() * 99 / 100)];
    o.seconds = std::chrono::duration<double>(end - start).count();
    o.peakKb = memoryKb("VmHWM:");
    o.requests = web.requests().size();
    o.workSeconds = window.fetchpool().counters().workSeconds;

    for (const veltrop::ListedTicker& listed : window.tickerList())
        o.shown.table.push_back(listed.ticker + "=" + veltrop::cellText(listed.score));
    const veltrop::ResultsGrid& grid = window.resultsGrid;
    for (int r = 0; r < grid.rows(); ++r) {
        std::string row;
        for (int c = 0; c < veltrop::ResultsGrid::columns; ++c)
            row += grid.text(r, c) + "|" + grid.picture(r, c) + "|";
        o.shown.grid.push_back(row);
    }
    o.shown.grid.push_back("current " + std::to_string(grid.row()) + "," + std::to_string(grid.col()));
    o.shown.messages = dialogs.shown;
    o.shown.labels = window.tickersFoundLabel.caption + "|" + window.progressLabel.caption + "|" + window.statusLabel.caption + "|" +
                     window.rankListsButton.caption;
    return o;
}


// Cancel while the second source runs, once the ticker in progress has its
// result and transfers are in flight.
void timeCancel(const std::vector<std::string>& list)
{
    SilentDialogs dialogs;
    veltrop::WindowController window(dialogs);
    Clock::time_point cancelledAt{};
    int inFlight = 0;
    int hooks = 0;
    std::string firstTicker;
    bool movedOn = false, secondSource = false;
    window.setTurnHook([&] {
        // The first hook of a ticker comes before its result is taken; by the
        // time the second source runs, its results are long in. The second
        // source starts again at the first ticker.
        const std::string& line = window.progressLabel.caption;
        const std::size_t at = line.find(" to go... ");
        if (at == std::string::npos)
            return;
        const std::string ticker = line.substr(at + 10);
        if (firstTicker.empty())
            firstTicker = ticker;
        else if (ticker != firstTicker)
            movedOn = true;
        else if (movedOn)
            secondSource = true;
        if (cancelledAt == Clock::time_point{} && secondSource && ++hooks == 10) {
            inFlight = window.fetchpool().counters().inFlight;
            cancelledAt = Clock::now();
            window.click(veltrop::Command::Cancel);
        }
    });
    window.load();
    load(window, list);
    runBesideLoop(window, veltrop::Command::RankLists);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - cancelledAt).count();
    std::printf("Cancel to the run's end:        %.1f ms (%d transfers in flight at the click)\n", ms, inFlight);
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 500;
    const int latency = argc > 2 ? std::atoi(argv[2]) : 50;
    if (count < 1 || count > veltrop::maxTickers) {
        std::fprintf(stderr, "tickers must be 1 to %d\n", veltrop::maxTickers);
        return 2;
    }
    simweb::Server web;
    web.setLatency(latency);
    ::setenv("http_proxy", web.proxyUrl().c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");
    const std::vector<std::string> list = tickers(count);
    const long idleKb = memoryKb("VmRSS:");

    std::printf("Rank Lists over %d tickers, all 17 sources, %d ms per response\n", count, latency);
    // Days since news count from the present moment, which single precision
    // holds in steps of 5.6 minutes: a run as long as the one-at-a-time run
    // can see a headline cross a day. So the run as built goes once before
    // and once after it, and the check takes the nearer in time.
    const Outcome ahead = timeRun(web, list, true);
    const std::vector<std::string> requests = web.requests();
    std::printf("fetched ahead (as built):      %8.1f s  %6zu requests\n", ahead.seconds, ahead.requests);
    std::fflush(stdout);
    // As the program first read its pages: one at a time, a new connection each.
    web.setKeepAlive(false);
    const Outcome sequential = timeRun(web, list, false);
    web.setKeepAlive(true);
    std::printf("one page after another:        %8.1f s  %6zu requests\n", sequential.seconds, sequential.requests);
    const Outcome aheadAgain = timeRun(web, list, true);

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const double lFloor = latencyFloor(requests, latency);
    const double pFloor = ahead.workSeconds / cores;
    std::printf("speed-up:                      %8.1f x\n", sequential.seconds / ahead.seconds);
    std::printf("latency floor:                 %8.2f s  (busiest host's addresses x %d ms / 6)\n", lFloor, latency);
    std::printf("processor floor:               %8.2f s  (%.2f s of parsing and extraction / %u cores)\n", pFloor,
                ahead.workSeconds, cores);
    std::printf("as built / larger floor:       %8.2f x\n", ahead.seconds / std::max(lFloor, pFloor));
    std::printf("peak memory above idle:        %8.1f MB (one after another: %.1f MB)\n",
                double(ahead.peakKb - idleKb) / 1024.0, double(sequential.peakKb - idleKb) / 1024.0);
    std::printf("longest stall of the window:   %8.1f ms (one after another: %.1f ms)\n", ahead.longestGapMs,
                sequential.longestGapMs);
    std::printf("99th percentile gap of the window: %4.1f ms (one after another: %.1f ms)\n", ahead.gap99Ms,
                sequential.gap99Ms);
    const bool same = sequential.shown == ahead.shown || sequential.shown == aheadAgain.shown;
    std::printf("identical grid, table, captions, messages and progress: %s (%zu progress texts)\n",
                same ? "yes" : "NO", ahead.shown.progress.size());
    if (!same) {
        const auto differ = [](const char* what, const std::vector<std::string>& a, const std::vector<std::string>& b) {
            if (a == b)
                return;
            std::size_t i = 0;
            while (i < a.size() && i < b.size() && a[i] == b[i])
                ++i;
            std::printf("  %s differ at %zu of %zu/%zu: '%s' / '%s'\n", what, i, a.size(), b.size(),
                        i < a.size() ? a[i].c_str() : "", i < b.size() ? b[i].c_str() : "");
        };
        differ("table rows", sequential.shown.table, ahead.shown.table);
        differ("grid rows", sequential.shown.grid, ahead.shown.grid);
        differ("progress texts", sequential.shown.progress, ahead.shown.progress);
        differ("rank button captions", sequential.shown.captions, ahead.shown.captions);
        differ("messages", sequential.shown.messages, ahead.shown.messages);
        if (sequential.shown.labels != ahead.shown.labels)
            std::printf("  labels differ: '%s' / '%s'\n", sequential.shown.labels.c_str(), ahead.shown.labels.c_str());
    }
    timeCancel(list);
    return same ? 0 : 1;
}
