// Get Lists with every list source ticked, headless, through the simulated
// web: once reading one page after another over a new connection each, and
// once as built (every list's first page at once, each next page as soon as
// its link is found), side by side in one process at each latency. It prints
// both times, the floor a run cannot beat (the longest chain of next pages x
// latency, or the busiest host's pages x latency / 6, whichever is larger),
// and whether both runs showed exactly the same: the table, the messages,
// the labels, and the Get Lists button's caption as each page comes, which must
// also be what the simulated web's list pages call for. The last line is the
// ratio of the run as built to its floor at the last latency.
//
//   list_run [LATENCY_MS ...]      (default: 50 200)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "app/windowcontroller.h"
#include "lists/listsources.h"
#include "tests/listcaptions.h"
#include "tools/bench/silentdialogs.h"
#include "tools/simweb/server.h"
#include "web/fetchpool.h"
#include "web/hostqueue.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Shown {
    std::vector<std::string> table, messages;
    std::vector<std::string> captions;  // the button's, as each page comes, repeats folded
    std::string labels;
    bool operator==(const Shown&) const = default;
};

struct Outcome {
    double seconds = 0;
    Shown shown;
    std::vector<std::string> requests;
};

Outcome timeRun(simweb::Server& web, int lookahead)
{
    SilentDialogs dialogs;
    veltrop::WindowController window(dialogs);
    Outcome o;
    window.setTurnHook([&] {
        if (o.shown.captions.empty() || o.shown.captions.back() != window.getListsButton.caption)
            o.shown.captions.push_back(window.getListsButton.caption);
    });
    window.load();
    o.shown.captions.clear();
    dialogs.shown.clear();
    window.setLookahead(lookahead);
    for (auto& [index, box] : window.listBoxes)
        box.value = 1;
    web.clearRequests();
    const auto start = Clock::now();
    window.click(veltrop::Command::GetLists);
    o.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    o.requests = web.requests();
    for (const veltrop::ListedTicker& listed : window.tickerList())
        o.shown.table.push_back(listed.ticker);
    o.shown.messages = dialogs.shown;
    o.shown.labels = window.tickersFoundLabel.caption + "|" + window.statusLabel.caption + "|" + window.getListsButton.caption;
    return o;
}

// The pages of one list share its address but for "&Page=N".
std::string listOf(const std::string& url)
{
    const std::size_t page = url.find("&Page=");
    return page == std::string::npos ? url : url.substr(0, page);
}

double floorSeconds(const std::vector<std::string>& requests, int latencyMs)
{
    std::map<std::string, int> chains, hosts;
    for (const std::string& url : requests) {
        ++chains[listOf(url)];
        ++hosts[veltrop::HostQueue::hostOf(url)];
    }
    int longestChain = 0, busiestHost = 0;
    for (const auto& [list, pages] : chains)
        longestChain = std::max(longestChain, pages);
    for (const auto& [host, pages] : hosts)
        busiestHost = std::max(busiestHost, pages);
    return std::max(double(longestChain), double(busiestHost) / 6.0) * latencyMs / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<int> latencies;
    for (int i = 1; i < argc; ++i)
        latencies.push_back(std::atoi(argv[i]));
    if (latencies.empty())
        latencies = {50, 200};

    simweb::Server web;
    ::setenv("http_proxy", web.proxyUrl().c_str(), 1);
    ::unsetenv("no_proxy");
    ::unsetenv("NO_PROXY");

    std::vector<veltrop::testing::ListAddress> lists;
    for (const veltrop::ListSource& source : veltrop::listSources()) {
        const simweb::UrlParts at = simweb::urlParts(source.url);
        lists.push_back({at.host, at.path, at.query});
    }
    const std::vector<std::string> captions = veltrop::testing::getListsCaptions(lists);

    bool allSame = true;
    double ratio = 0;
    for (int latency : latencies) {
        web.setLatency(latency);
        std::printf("Get Lists, all 13 lists, %d ms per response\n", latency);
        const Outcome ahead = timeRun(web, 0);
        std::printf("  as built:                %7.2f s  %4zu requests\n", ahead.seconds, ahead.requests.size());
        web.setKeepAlive(false);
        const Outcome sequential = timeRun(web, 1);
        web.setKeepAlive(true);
        std::printf("  one page after another:  %7.2f s  %4zu requests\n", sequential.seconds,
                    sequential.requests.size());
        // The pages one after another needs are the ones any run needs; read
        // ahead, pages of a list the full table then ends are asked too.
        const double floor = floorSeconds(sequential.requests, latency);
        ratio = ahead.seconds / floor;
        const bool same = ahead.shown == sequential.shown;
        const bool pagesCallFor = ahead.shown.captions == captions && sequential.shown.captions == captions;
        allSame = allSame && same && pagesCallFor;
        std::printf("  speed-up:                %7.1f x\n", sequential.seconds / ahead.seconds);
        std::printf("  floor:                   %7.2f s\n", floor);
        std::printf("  identical table (%zu tickers), messages (%zu) and labels: %s\n", ahead.shown.table.size(),
                    ahead.shown.messages.size(), same ? "yes" : "NO");
        std::printf("  button captions as each page comes (%zu) as the list pages call for: %s\n", captions.size(),
                    pagesCallFor ? "yes" : "NO");
        std::printf("  as built / floor:        %7.2f x\n", ratio);
        if (!same)
            std::printf("  differ: table %d, messages %d, captions %d, labels '%s' / '%s'\n",
                        ahead.shown.table != sequential.shown.table, ahead.shown.messages != sequential.shown.messages,
                        ahead.shown.captions != sequential.shown.captions, ahead.shown.labels.c_str(),
                        sequential.shown.labels.c_str());
    }
    std::printf("as built / floor: %.2f x\n", ratio);
    return allSame ? 0 : 1;
}
