#include "web/fetchpool.h"

#include "web/fetchitem.h"
#include "web/hostqueue.h"
#include "web/retrypolicy.h"
#include "web/transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include <unistd.h>

namespace veltrop {
namespace {

constexpr long pollMilliseconds = 100;

double threadSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

long millisecondsUntil(Clock::time_point moment)
{
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(moment - Clock::now()).count());
}

} // namespace

struct FetchPool::Impl {
    Limits limits;
    CURLM* multi = nullptr;

    // Guards everything below. Invariants while it is free: an item is in
    // `items` from fetch until its handler has returned or it was dropped;
    // a Queued item's key is in `hosts` under its host, and only then; a
    // Running item's easy handle is on `multi` and counted in `active` and
    // in its host's active count; a Finished item's id is in `finished` at
    // its `finishedAt`, a Pausing item's id is in `pausing`;
    // `cancelledInFlight` counts the Running items cancelled and not yet
    // taken off the network. Only the network thread touches `multi` and the
    // easy handles. active + finished.size() exceeds total + waiting only by
    // pages that failed without a body.
    mutable std::mutex mutex;
    std::condition_variable workReady;  // `finished` grew, or stopping
    std::unordered_map<Id, std::unique_ptr<Item>> items;
    HostQueue hosts{1};
    int cancelledInFlight = 0;
    std::vector<Id> pausing;
    std::list<Id> finished;
    int active = 0;
    Id nextId = 1;
    bool stopping = false;
    Counters counters;
    std::string userAgent = transfer::defaultUserAgent;

    std::thread network;
    std::vector<std::thread> workers;

    void wake()
    {
        if (multi)
            curl_multi_wakeup(multi);
    }

    // With the lock held: takes a Running item off the network.
    void detach(Item& item)
    {
        if (item.easy) {
            curl_multi_remove_handle(multi, item.easy.get());
            item.easy.reset();
        }
        --active;
        hosts.ended(item.host);
    }

    // With the lock held: hands the answer to the workers, never waiting.
    void finish(Item& item, FetchPool::Failure::Reason reason)
    {
        item.state = Item::State::Finished;
        item.reason = reason;
        item.finishedAt = item.finishedNode.begin();
        // A page that did not open costs a worker nothing, and its loop is
        // told at once, not behind the pages still to be parsed.
        finished.splice(reason == FetchPool::Failure::Reason::None ? finished.end() : finished.begin(),
                        item.finishedNode);
        counters.peakWaiting = std::max(counters.peakWaiting, int(finished.size()));
        counters.peakHeld = std::max(counters.peakHeld, active + int(finished.size()));
        workReady.notify_one();
    }

    // With the lock held: ends an item that could not go on, for `reason`.
    void fail(Item& item, FetchPool::Failure::Reason reason)
    {
        item.easy.reset();
        item.answer.result = CURLE_FAILED_INIT;
        item.answer.body = {};
        finish(item, reason);
    }

    // With the lock held: whether another transfer may start. Answers
    // waiting for a worker keep their places, so however slowly the workers
    // go, no more bodies are held than this.
    bool roomForTransfer() const
    {
        return active < limits.total && active + int(finished.size()) < limits.total + limits.waiting;
    }

    // With the lock held: fills the free slots, the busiest host first.
    void startTransfers()
    {
        while (roomForTransfer() && !stopping) {
            const std::optional<Id> next = hosts.take();
            if (!next)
                return;
            Item& item = *items.at(*next);
            if (item.attempts == 0)
                item.deadline = Clock::now() + std::chrono::milliseconds(item.request.timeLimitMilliseconds);
            ++item.attempts;
            bool started = false;
            bool threw = false;
            try {
                item.sink = {{}, item.request.wantsPage ? transfer::maxBodyBytes : 0};
                item.easy.reset(curl_easy_init());
                // A limit of 0 would mean "no limit" to libcurl.
                const long left = std::max(1L, millisecondsUntil(item.deadline));
                started = transfer::configure(item.easy.get(), item.request, left, item.sink, userAgent) &&
                          curl_easy_setopt(item.easy.get(), CURLOPT_PRIVATE, &item) == CURLE_OK &&
                          curl_multi_add_handle(multi, item.easy.get()) == CURLM_OK;
            } catch (...) {
                threw = true;
            }
            if (!started) {
                // Could not even start: it did not open.
                fail(item, threw ? FetchPool::Failure::Reason::OutOfMemory : FetchPool::Failure::Reason::Other);
                continue;
            }
            item.state = Item::State::Running;
            ++active;
            hosts.started(item.host, Clock::now());
            ++counters.started;
            counters.peakPerHost = std::max(counters.peakPerHost, hosts.active(item.host));
            counters.peakTotal = std::max(counters.peakTotal, active);
            counters.peakHeld = std::max(counters.peakHeld, active + int(finished.size()));
        }
    }

    // With the lock held: puts the pages whose pause is over back at the
    // front of their hosts' queues; the time to the next one still pausing.
    long resumePaused()
    {
        long next = pollMilliseconds;
        const auto now = Clock::now();
        std::erase_if(pausing, [&](Id id) {
            auto it = items.find(id);
            if (it == items.end())
                return true;
            Item& item = *it->second;
            if (item.retryAt > now) {
                next = std::min(next, std::max(1L, millisecondsUntil(item.retryAt)));
                return false;
            }
            item.hurried = true;
            try {
                hosts.add(item.host, item.key());
                item.state = Item::State::Queued;
            } catch (...) {
                fail(item, FetchPool::Failure::Reason::OutOfMemory);
            }
            return true;
        });
        return next;
    }

    // With the lock held: a transfer ended.
    void ended(Item& item, CURLcode result)
    {
        const TransferEnd end =
            transfer::endOf(item.easy.get(), result, item.attempts, millisecondsUntil(item.deadline));
        if (const std::optional<long> pause = retryPause({limits.retries, limits.retryPauseMilliseconds}, end)) {
            try {
                pausing.push_back(item.id);
                detach(item);
                item.state = Item::State::Pausing;
                item.retryAt = Clock::now() + std::chrono::milliseconds(*pause);
                ++counters.retried;
                return;
            } catch (...) {
                // No memory to remember the pause: the page ends as it is.
            }
        }
        FetchPool::Failure::Reason reason = FetchPool::Failure::Reason::OutOfMemory;
        try {
            item.answer = transfer::collect(item.easy.get(), result, item.sink);
            reason = transfer::reasonOf(result, item.answer.status);
            // A failed write is all libcurl says of a body past its cap.
            if (item.sink.outOfMemory)
                reason = FetchPool::Failure::Reason::OutOfMemory;
        } catch (...) {
            item.answer.result = CURLE_OUT_OF_MEMORY;
            item.answer.body = {};
        }
        detach(item);
        finish(item, reason);
    }

    void runNetwork()
    {
        for (;;) {
            long wait = pollMilliseconds;
            {
                std::unique_lock lock(mutex);
                if (stopping)
                    return;
                if (cancelledInFlight > 0) {
                    std::erase_if(items, [&](auto& entry) {
                        Item& item = *entry.second;
                        const bool drop = item.state == Item::State::Running && item.cancelled;
                        if (drop)
                            detach(item);
                        return drop;
                    });
                    cancelledInFlight = 0;
                }
                wait = resumePaused();
                if (const auto rest = hosts.wake(Clock::now()))
                    wait = std::min(wait, std::max(1L, long(std::chrono::ceil<std::chrono::milliseconds>(*rest).count())));
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
                std::unique_lock lock(mutex);
                if (stopping)
                    return;
                // A transfer cancelled in flight is still on the network
                // until the pass above takes it off.
                if (item->cancelled)
                    continue;
                ended(*item, result);
            }
            curl_multi_poll(multi, nullptr, 0, int(wait), nullptr);
        }
    }

    void runWorker()
    {
        // Parsing is background work: the window's thread and the network
        // thread come first when the processor is short (niceness is per
        // thread on Linux).
        [[maybe_unused]] const int niceness = ::nice(5);
        for (;;) {
            Item* item = nullptr;
            Id id = 0;
            Handler handler;
            Failure failure;
            {
                std::unique_lock lock(mutex);
                workReady.wait(lock, [&] { return stopping || !finished.empty(); });
                if (stopping)
                    return;
                id = finished.front();
                finished.pop_front();
                // A place for another transfer may have come free.
                wake();
                auto it = items.find(id);
                if (it == items.end())
                    continue;
                item = it->second.get();
                item->state = Item::State::Handling;
                handler = std::move(item->handler);
                failure.reason = item->reason;
                failure.retries = std::max(0, item->attempts - 1);
                failure.timeLimitMilliseconds = item->request.timeLimitMilliseconds;
            }
            // The item stays in `items` until this worker erases it, and no
            // other thread touches its answer or request meanwhile.
            const double startedAt = threadSeconds();
            Arrival arrival =
                transfer::arrivalOf(item->answer, item->sink, std::move(failure), item->request.wantsPage);
            const bool call = [&] {
                std::lock_guard lock(mutex);
                return !item->cancelled;
            }();
            bool threw = false;
            if (call) {
                try {
                    handler(arrival);
                } catch (...) {
                    // Nothing may end a worker: the handler's owner hears of
                    // its page no more, the program goes on.
                    threw = true;
                }
            }
            handler = nullptr;
            arrival = {};
            const double spent = threadSeconds() - startedAt;
            std::lock_guard lock(mutex);
            items.erase(id);
            counters.workSeconds += spent;
            if (threw)
                ++counters.handlerFailures;
        }
    }
};

void* FetchPool::defaultMulti()
{
    transfer::initCurlOnce();
    return curl_multi_init();
}

FetchPool::FetchPool(Limits limits, MultiFactory makeMulti) : d(std::make_unique<Impl>())
{
    d->limits = limits;
    d->limits.perHost = std::max(1, limits.perHost);
    d->limits.total = std::max(1, limits.total);
    d->limits.waiting = std::max(0, limits.waiting);
    d->limits.retries = std::max(0, limits.retries);
    d->hosts = HostQueue(d->limits.perHost);
    transfer::initCurlOnce();
    d->multi = makeMulti ? static_cast<CURLM*>(makeMulti()) : nullptr;
    if (d->multi) {
        // Every transfer goes through the same proxy, so libcurl's per-host
        // cap would see one host; the pool keeps the per-site limits itself.
        curl_multi_setopt(d->multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(d->limits.total));
        curl_multi_setopt(d->multi, CURLMOPT_MAXCONNECTS, long(d->limits.total));
        d->network = std::thread([this] { d->runNetwork(); });
    }
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
    if (d->network.joinable())
        d->network.join();
    for (std::thread& worker : d->workers)
        worker.join();
    for (auto& [id, item] : d->items)
        if (item->easy)
            curl_multi_remove_handle(d->multi, item->easy.get());
    d->items.clear();
    if (d->multi)
        curl_multi_cleanup(d->multi);
}

void FetchPool::setSiteRules(std::map<std::string, HostQueue::Limit> hosts, std::string userAgent)
{
    std::lock_guard lock(d->mutex);
    d->hosts.setLimits(std::move(hosts));
    d->userAgent = std::move(userAgent);
}

FetchPool::Id FetchPool::fetch(Request request, Handler handler)
{
    // Everything that needs memory comes first, so that a page either is
    // wholly taken or leaves nothing behind.
    auto item = std::make_unique<Item>();
    item->host = HostQueue::hostOf(request.url);
    item->finishedNode.push_back(0);
    // A limit of 0 would mean "no limit" to libcurl; every wait ends.
    request.timeLimitMilliseconds = std::max(1000L, request.timeLimitMilliseconds);
    item->request = std::move(request);
    item->handler = std::move(handler);

    std::lock_guard lock(d->mutex);
    Item& taken = *item;
    const Id id = taken.id = d->nextId;
    taken.finishedNode.front() = id;
    d->items.emplace(id, std::move(item));
    ++d->nextId;
    if (!d->multi) {
        d->fail(taken, Failure::Reason::NoNetwork);
        return id;
    }
    try {
        d->hosts.add(taken.host, taken.key());
    } catch (...) {
        d->items.erase(id);
        throw;
    }
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
    d->hosts.hurry(item.host, item.key());
    item.hurried = true;
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
        d->hosts.remove(item.host, item.key());
        d->items.erase(it);
        return;
    case Item::State::Pausing:
        d->items.erase(it);
        return;
    case Item::State::Running:
        // Only the network thread may take the handle off the network.
        if (!item.cancelled) {
            item.cancelled = true;
            ++d->cancelledInFlight;
            d->wake();
        }
        return;
    case Item::State::Finished:
        d->finished.erase(item.finishedAt);
        d->items.erase(it);
        return;
    case Item::State::Handling:
        // Too late to stop it; waiting for it would block the caller for as
        // long as the handler runs.
        item.cancelled = true;
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

} // namespace veltrop
