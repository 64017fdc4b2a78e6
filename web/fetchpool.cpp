#include "web/fetchpool.h"

#include "web/pageindex.h"
#include "web/transfer.h"

#include <algorithm>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace veltrop {
namespace {

constexpr int pollMilliseconds = 100;

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

struct Item {
    enum class State { Queued, Running, Done, Cancelled };
    FetchPool::Id id = 0;
    std::string url;
    std::string host;
    std::uint64_t order = 0;
    bool hurried = false;
    FetchPool::Handler handler;
    State state = State::Queued;
    transfer::EasyHandle easy;
    transfer::BodySink sink{{}, transfer::maxBodyBytes};

    // Hurried pages first, then by order, then first come first served.
    std::tuple<bool, std::uint64_t, FetchPool::Id> key() const { return {!hurried, order, id}; }
};

struct Host {
    std::set<std::tuple<bool, std::uint64_t, FetchPool::Id>> queue;
    int active = 0;
};

} // namespace

struct FetchPool::Impl {
    Limits limits;
    CURLM* multi = nullptr;

    std::mutex mutex;
    std::condition_variable workReady;
    std::unordered_map<Id, std::unique_ptr<Item>> items;
    std::map<std::string, Host> hosts;
    std::vector<Id> stopInFlight;
    std::deque<std::pair<Id, transfer::Answer>> finished;
    int active = 0;
    Id nextId = 1;
    bool stopping = false;
    Counters counters;

    std::thread network;
    std::vector<std::thread> workers;

    void wake()
    {
        if (multi)
            curl_multi_wakeup(multi);
    }

    // With the lock held: ends a transfer in flight on the network thread.
    void detach(Item& item)
    {
        if (item.easy) {
            curl_multi_remove_handle(multi, item.easy.get());
            item.easy.reset();
        }
        --active;
        --hosts[item.host].active;
    }

    // With the lock held: fills the free slots, the host with the most pages
    // waiting first.
    void startTransfers()
    {
        while (active < limits.total) {
            Host* best = nullptr;
            for (auto& [name, host] : hosts)
                if (host.active < limits.perHost && !host.queue.empty() &&
                    (!best || host.queue.size() > best->queue.size()))
                    best = &host;
            if (!best)
                return;
            const Id id = std::get<2>(*best->queue.begin());
            best->queue.erase(best->queue.begin());
            Item& item = *items.at(id);
            item.easy.reset(curl_easy_init());
            const transfer::Request request{item.url, limits.timeLimitMilliseconds, true, transfer::maxBodyBytes};
            if (!transfer::configure(item.easy.get(), request, item.sink) ||
                curl_easy_setopt(item.easy.get(), CURLOPT_PRIVATE, &item) != CURLE_OK ||
                curl_multi_add_handle(multi, item.easy.get()) != CURLM_OK) {
                // Could not even start: it did not open.
                item.easy.reset();
                item.state = Item::State::Done;
                finished.emplace_back(id, transfer::Answer{CURLE_FAILED_INIT, 0, {}, {}, {}});
                workReady.notify_one();
                continue;
            }
            item.state = Item::State::Running;
            ++active;
            ++best->active;
            ++counters.started;
            counters.peakPerHost = std::max(counters.peakPerHost, best->active);
            counters.peakTotal = std::max(counters.peakTotal, active);
        }
    }

    void runNetwork()
    {
        for (;;) {
            {
                std::lock_guard lock(mutex);
                if (stopping)
                    return;
                for (Id id : stopInFlight) {
                    auto it = items.find(id);
                    if (it != items.end() && it->second->state == Item::State::Cancelled && it->second->easy) {
                        detach(*it->second);
                        items.erase(it);
                    }
                }
                stopInFlight.clear();
                startTransfers();
            }
            int running = 0;
            curl_multi_perform(multi, &running);
            int queued = 0;
            while (CURLMsg* message = curl_multi_info_read(multi, &queued)) {
                if (message->msg != CURLMSG_DONE)
                    continue;
                Item* item = nullptr;
                curl_easy_getinfo(message->easy_handle, CURLINFO_PRIVATE, &item);
                const CURLcode result = message->data.result;
                std::lock_guard lock(mutex);
                transfer::Answer answer = transfer::collect(item->easy.get(), result, item->sink);
                const Id id = item->id;
                const bool cancelled = item->state == Item::State::Cancelled;
                detach(*item);
                if (cancelled) {
                    items.erase(id);
                    continue;
                }
                item->state = Item::State::Done;
                finished.emplace_back(id, std::move(answer));
                workReady.notify_one();
            }
            curl_multi_poll(multi, nullptr, 0, pollMilliseconds, nullptr);
        }
    }

    void runWorker()
    {
        for (;;) {
            std::pair<Id, transfer::Answer> job;
            Handler handler;
            {
                std::unique_lock lock(mutex);
                workReady.wait(lock, [&] { return stopping || !finished.empty(); });
                if (stopping)
                    return;
                job = std::move(finished.front());
                finished.pop_front();
                auto it = items.find(job.first);
                if (it == items.end())
                    continue;
                if (it->second->state == Item::State::Cancelled) {
                    items.erase(it);
                    continue;
                }
                handler = std::move(it->second->handler);
            }
            const double startedAt = threadSeconds();
            const std::optional<PageIndex> page = transfer::openedPage(job.second);
            bool wanted = false;
            {
                std::lock_guard lock(mutex);
                auto it = items.find(job.first);
                wanted = it != items.end() && it->second->state != Item::State::Cancelled;
                if (it != items.end())
                    items.erase(it);
            }
            if (wanted)
                handler(page ? &*page : nullptr, job.second.finalUrl);
            const double spent = threadSeconds() - startedAt;
            std::lock_guard lock(mutex);
            counters.workSeconds += spent;
        }
    }
};

FetchPool::FetchPool() : FetchPool(Limits{}) {}

FetchPool::FetchPool(Limits limits) : d(std::make_unique<Impl>())
{
    d->limits = limits;
    d->limits.perHost = std::max(1, limits.perHost);
    d->limits.total = std::max(1, limits.total);
    // A limit of 0 would mean "no limit" to libcurl.
    d->limits.timeLimitMilliseconds = std::max(1000L, limits.timeLimitMilliseconds);
    transfer::initCurlOnce();
    d->multi = curl_multi_init();
    // Every transfer goes through the same proxy, so libcurl's own per-host
    // cap would see one host; the pool keeps the per-site limits itself.
    curl_multi_setopt(d->multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(d->limits.total));
    curl_multi_setopt(d->multi, CURLMOPT_MAXCONNECTS, long(d->limits.total));
    d->network = std::thread([this] { d->runNetwork(); });
    for (int i = 0; i < std::max(1, limits.workers); ++i)
        d->workers.emplace_back([this] { d->runWorker(); });
}

FetchPool::~FetchPool()
{
    {
        std::lock_guard lock(d->mutex);
        d->stopping = true;
        d->workReady.notify_all();
        d->wake();
    }
    d->network.join();
    for (std::thread& worker : d->workers)
        worker.join();
    for (auto& [id, item] : d->items)
        if (item->easy)
            curl_multi_remove_handle(d->multi, item->easy.get());
    d->items.clear();
    curl_multi_cleanup(d->multi);
}

FetchPool::Id FetchPool::fetch(std::string url, std::uint64_t order, Handler handler)
{
    std::lock_guard lock(d->mutex);
    auto item = std::make_unique<Item>();
    item->id = d->nextId++;
    item->host = hostOf(url);
    item->url = std::move(url);
    item->order = order;
    item->handler = std::move(handler);
    const Id id = item->id;
    d->hosts[item->host].queue.insert(item->key());
    d->items.emplace(id, std::move(item));
    d->wake();
    return id;
}

void FetchPool::hurry(Id id)
{
    std::lock_guard lock(d->mutex);
    auto it = d->items.find(id);
    if (it == d->items.end() || it->second->state != Item::State::Queued || it->second->hurried)
        return;
    Item& item = *it->second;
    Host& host = d->hosts[item.host];
    host.queue.erase(item.key());
    item.hurried = true;
    host.queue.insert(item.key());
    d->wake();
}

void FetchPool::cancel(Id id)
{
    std::lock_guard lock(d->mutex);
    auto it = d->items.find(id);
    if (it == d->items.end())
        return;
    Item& item = *it->second;
    switch (item.state) {
    case Item::State::Queued:
        d->hosts[item.host].queue.erase(item.key());
        d->items.erase(it);
        return;
    case Item::State::Running:
        item.state = Item::State::Cancelled;
        d->stopInFlight.push_back(id);
        d->wake();
        return;
    case Item::State::Done:
        item.state = Item::State::Cancelled;
        return;
    case Item::State::Cancelled:
        return;
    }
}

void FetchPool::cancelAll()
{
    std::vector<Id> ids;
    {
        std::lock_guard lock(d->mutex);
        for (const auto& [id, item] : d->items)
            ids.push_back(id);
    }
    for (Id id : ids)
        cancel(id);
}

FetchPool::Counters FetchPool::counters() const
{
    std::lock_guard lock(d->mutex);
    Counters c = d->counters;
    c.inFlight = d->active;
    return c;
}

std::string FetchPool::hostOf(const std::string& url)
{
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    std::size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    if (const std::size_t colon = authority.rfind(':');
        colon != std::string::npos && authority.find(']', colon) == std::string::npos)
        authority.erase(colon);
    std::transform(authority.begin(), authority.end(), authority.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return authority;
}

} // namespace veltrop
