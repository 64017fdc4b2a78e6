#include "web/fetchpool.h"

#include "web/charset.h"
#include "web/retrypolicy.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <ctime>
#include <list>
#include <map>
#include <mutex>
#include <new>
#include <set>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

namespace veltrop {
namespace {

// ---- One HTTP transfer ------------------------------------------------------
// Every page of the program is read this way: libcurl set up for the web's
// two protocols only, a bounded number of redirects, a whole-transfer time
// limit and a capped body.
namespace transfer {

// The cap applies to the body after decompression, so a small compressed
// answer cannot blow up in memory either.
inline constexpr std::size_t maxBodyBytes = std::size_t{8} << 20;

struct Request {
    std::string url;
    long timeLimitMilliseconds;
    bool followRedirects;
    std::size_t bodyLimit;
};

struct Answer {
    CURLcode result = CURLE_OK;
    long status = 0;  // 0 when no answer arrived
    std::string body;
    std::string contentType;
    std::string finalUrl;
};

struct BodySink {
    std::string data;
    std::size_t limit;
    bool overflowed = false;   // the body passed `limit`
    bool outOfMemory = false;  // no memory to hold what came
};

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

constexpr const char* userAgent = "PellamysVeltrop/1.4";
constexpr const char* webProtocols = "http,https";
constexpr long maxRedirects = 10;

// Past the limit the write fails, which ends the transfer with an error: a
// chunked body has no announced size for libcurl to refuse beforehand. No
// exception may cross libcurl's C frames, so running out of memory fails the
// write the same way.
std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* userdata)
{
    auto& sink = *static_cast<BodySink*>(userdata);
    const std::size_t bytes = size * count;
    if (bytes > sink.limit - sink.data.size()) {
        sink.overflowed = true;
        return 0;
    }
    try {
        sink.data.append(data, bytes);
    } catch (...) {
        sink.outOfMemory = true;
        return 0;
    }
    return bytes;
}


void initCurlOnce()
{
    static const CURLcode initialized = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialized;
}

// Sets `easy` up for `request`, writing the body into `sink` (which must
// outlive the transfer). False when libcurl refuses an option.
bool configure(CURL* easy, const Request& request, BodySink& sink)
{
    if (!easy)
        return false;
    bool ok = true;
    auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK; };
    set(CURLOPT_URL, request.url.c_str());
    // libcurl would otherwise also read file: and a dozen other schemes, from
    // the address and from a redirect alike.
    set(CURLOPT_PROTOCOLS_STR, webProtocols);
    set(CURLOPT_REDIR_PROTOCOLS_STR, webProtocols);
    set(CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    set(CURLOPT_MAXREDIRS, maxRedirects);
    set(CURLOPT_TIMEOUT_MS, request.timeLimitMilliseconds);
    set(CURLOPT_ACCEPT_ENCODING, "");
    set(CURLOPT_USERAGENT, userAgent);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_WRITEFUNCTION, writeBody);
    set(CURLOPT_WRITEDATA, &sink);
    return ok;
}

Answer collect(CURL* easy, CURLcode result, BodySink& sink)
{
    Answer answer;
    answer.result = result;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer.status);
    // The body first: it is the one part that is moved, not copied, so an
    // answer that cannot copy its headers still has what it read.
    answer.body = std::move(sink.data);
    const char* text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text)
        answer.contentType = text;
    text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text)
        answer.finalUrl = text;
    return answer;
}

// Why a transfer that ended with `result` and `status` gave no page; reason
// None when it answered 2xx (whether its page can be read is the worker's to
// say).
FetchPool::Failure::Reason reasonOf(CURLcode result, long status)
{
    using Reason = FetchPool::Failure::Reason;
    switch (result) {
    case CURLE_OK:
        return status >= 200 && status <= 299 ? Reason::None : Reason::Status;
    case CURLE_OPERATION_TIMEDOUT:
        return Reason::TimedOut;
    case CURLE_COULDNT_CONNECT:
        return Reason::Refused;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return Reason::Reset;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Reason::NotFound;
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        return Reason::TooLarge;
    case CURLE_OUT_OF_MEMORY:
        return Reason::OutOfMemory;
    case CURLE_FAILED_INIT:
        return Reason::NoNetwork;
    default:
        // A proxy's refusal to tunnel still carries the status it sent.
        return status != 0 && (status < 200 || status > 299) ? Reason::Status : Reason::Other;
    }
}

bool succeeded(const Answer& answer)
{
    return answer.result == CURLE_OK && answer.status >= 200 && answer.status <= 299;
}

// How the transfer on `easy` ended, for the retry rules; the attempt and
// the time left are the caller's to fill in.
TransferEnd endOf(CURL* easy, CURLcode result)
{
    TransferEnd end;
    end.result = result;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &end.status);
    curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &end.headerBytes);
    curl_header* header = nullptr;
    if (curl_easy_header(easy, "Retry-After", 0, CURLH_HEADER, -1, &header) == CURLHE_OK && header &&
        header->value)
        end.retryAfter = header->value;
    end.nowMilliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    return end;
}

// The page of a complete 2xx answer, decoded from its charset and indexed;
// nullopt when the answer failed or the page is refused.
std::optional<PageIndex> openedPage(const Answer& answer)
{
    if (!succeeded(answer))
        return std::nullopt;
    return PageIndex::build(decodePage(answer.body, answer.contentType), answer.finalUrl);
}

} // namespace transfer

using Clock = std::chrono::steady_clock;
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

struct Item {
    enum class State {
        Queued,    // in its host's queue
        Running,   // a transfer on the multi handle
        Pausing,   // failed for a passing reason; asked again at retryAt
        Finished,  // its answer waits for a worker
        Handling,  // a worker indexes it and runs its handler
    };
    FetchPool::Id id = 0;
    FetchPool::Request request;
    std::string host;
    bool hurried = false;
    bool cancelled = false;  // dropped while Running, Finished or Handling: the handler is not called
    FetchPool::Handler handler;
    State state = State::Queued;
    int attempts = 0;
    Clock::time_point deadline;  // the time limit, from the first start
    Clock::time_point retryAt;
    transfer::EasyHandle easy;
    transfer::BodySink sink{{}, transfer::maxBodyBytes};
    char errorText[CURL_ERROR_SIZE] = {};
    // What the page ended with, from Finished on.
    transfer::Answer answer;
    FetchPool::Failure::Reason reason = FetchPool::Failure::Reason::None;
    // The item's place in the finished queue, made when the item is, so that
    // finishing a page never needs memory: running out of it must not keep a
    // page from ending.
    std::list<FetchPool::Id> finishedNode;
    std::list<FetchPool::Id>::iterator finishedAt;

    // Hurried pages first, then by order, then first come first served.
    std::tuple<bool, std::uint64_t, FetchPool::Id> key() const { return {!hurried, request.order, id}; }
};

struct Host {
    std::set<std::tuple<bool, std::uint64_t, FetchPool::Id>> queue;
    int active = 0;
};

} // namespace

std::string FetchPool::Failure::describe() const
{
    std::string text;
    switch (reason) {
    case Reason::None: text = "opened"; break;
    case Reason::Status: text = "HTTP " + std::to_string(status); break;
    case Reason::TimedOut: text = "timed out"; break;
    case Reason::Refused: text = "connection refused"; break;
    case Reason::Reset: text = "connection closed before a complete answer"; break;
    case Reason::NotFound: text = "host not found"; break;
    case Reason::TooLarge: text = "page too large"; break;
    case Reason::Unreadable: text = "page could not be read"; break;
    case Reason::NoNetwork: text = "no network"; break;
    case Reason::OutOfMemory: text = "out of memory"; break;
    case Reason::Cancelled: text = "cancelled"; break;
    case Reason::Other: text = detail.empty() ? "transfer failed" : detail; break;
    }
    if (retries > 0)
        text += " after " + std::to_string(retries) + (retries == 1 ? " retry" : " retries");
    return text;
}

struct FetchPool::Impl {
    Limits limits;
    CURLM* multi = nullptr;

    // Guards everything below. Invariants while it is free: an item is in
    // `items` from fetch until its handler has returned or it was dropped;
    // a Queued item's key is in exactly its host's queue, a Running item's
    // easy handle is on `multi` and counted in `active` and its host's
    // active, a Finished item's id is in `finished` at its `finishedAt`, a
    // Pausing item's id is in `pausing`; `stopping` in flight counts the
    // Running items cancelled and not yet taken off the network. Only the
    // network thread touches `multi` and the easy handles. active +
    // finished.size() exceeds total + waiting only by pages that failed
    // without a body.
    mutable std::mutex mutex;
    std::condition_variable workReady;  // `finished` grew, or stopping
    std::unordered_map<Id, std::unique_ptr<Item>> items;
    std::map<std::string, Host> hosts;
    int cancelledInFlight = 0;
    std::vector<Id> pausing;
    std::list<Id> finished;
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

    // With the lock held: takes a Running item off the network.
    void detach(Item& item)
    {
        if (item.easy) {
            curl_multi_remove_handle(multi, item.easy.get());
            item.easy.reset();
        }
        --active;
        if (auto host = hosts.find(item.host); host != hosts.end())
            --host->second.active;
    }

    // With the lock held: hands the item's answer to the workers. Never
    // waits and never needs memory.
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

    // With the lock held: fills the free slots, the host with the most pages
    // waiting first.
    void startTransfers()
    {
        while (roomForTransfer() && !stopping) {
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
            if (item.attempts == 0)
                item.deadline = Clock::now() + std::chrono::milliseconds(item.request.timeLimitMilliseconds);
            ++item.attempts;
            bool started = false;
            bool threw = false;
            try {
                item.sink = {{}, item.request.wantsPage ? transfer::maxBodyBytes : 0, false, false};
                item.easy.reset(curl_easy_init());
                // A limit of 0 would mean "no limit" to libcurl.
                const long left = std::max(1L, millisecondsUntil(item.deadline));
                const transfer::Request request{item.request.url, left, item.request.followRedirects,
                                                item.sink.limit};
                item.errorText[0] = '\0';
                started = transfer::configure(item.easy.get(), request, item.sink) &&
                          curl_easy_setopt(item.easy.get(), CURLOPT_ERRORBUFFER, item.errorText) == CURLE_OK &&
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
            ++best->active;
            ++counters.started;
            counters.peakPerHost = std::max(counters.peakPerHost, best->active);
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
                hosts[item.host].queue.insert(item.key());
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
        TransferEnd end = transfer::endOf(item.easy.get(), result);
        end.attempt = item.attempts;
        end.millisecondsLeft = millisecondsUntil(item.deadline);
        if (const std::optional<long> pause =
                retryPause({limits.retries, limits.retryPauseMilliseconds}, end)) {
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
                    for (auto it = items.begin(); it != items.end();) {
                        Item& item = *it->second;
                        if (item.state == Item::State::Running && item.cancelled) {
                            detach(item);
                            it = items.erase(it);
                        } else {
                            ++it;
                        }
                    }
                    cancelledInFlight = 0;
                }
                wait = resumePaused();
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

    // On a worker: what the page's answer gives. Never throws; a page that
    // cannot be read for want of memory is one that did not open.
    static Arrival arrivalOf(Item& item, bool wantsPage, int retries)
    {
        Arrival arrival;
        transfer::Answer& answer = item.answer;
        arrival.status = answer.status;
        arrival.failure.status = answer.status;
        arrival.failure.retries = retries;
        arrival.failure.reason = item.reason;
        try {
            if (item.reason != Failure::Reason::None && item.errorText[0] != '\0')
                arrival.failure.detail = item.errorText;
            if (wantsPage && item.reason == Failure::Reason::None) {
                arrival.page = transfer::openedPage(answer);
                if (!arrival.page)
                    arrival.failure.reason = Failure::Reason::Unreadable;
            }
        } catch (...) {
            // A page too large for the memory left is one that did not open.
            arrival.page.reset();
            arrival.failure.reason = Failure::Reason::OutOfMemory;
        }
        // Moved only now: the page's links are made absolute against it.
        arrival.finalUrl = std::move(answer.finalUrl);
        answer = {};
        return arrival;
    }

    void runWorker()
    {
        for (;;) {
            Item* item = nullptr;
            Id id = 0;
            Handler handler;
            bool wantsPage = true;
            int retries = 0;
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
                wantsPage = item->request.wantsPage;
                retries = std::max(0, item->attempts - 1);
            }
            // The item stays in `items` until this worker erases it, and no
            // other thread touches its answer meanwhile.
            const double startedAt = threadSeconds();
            Arrival arrival = arrivalOf(*item, wantsPage, retries);
            bool call = false;
            {
                std::lock_guard lock(mutex);
                call = !item->cancelled;
            }
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

FetchPool::FetchPool() : FetchPool(Limits{}) {}

FetchPool::FetchPool(Limits limits, MultiFactory makeMulti) : d(std::make_unique<Impl>())
{
    d->limits = limits;
    d->limits.perHost = std::max(1, limits.perHost);
    d->limits.total = std::max(1, limits.total);
    d->limits.waiting = std::max(0, limits.waiting);
    d->limits.retries = std::max(0, limits.retries);
    transfer::initCurlOnce();
    d->multi = makeMulti ? static_cast<CURLM*>(makeMulti()) : nullptr;
    if (d->multi) {
        // Every transfer goes through the same proxy, so libcurl's own
        // per-host cap would see one host; the pool keeps the per-site
        // limits itself.
        curl_multi_setopt(d->multi, CURLMOPT_MAX_TOTAL_CONNECTIONS, long(d->limits.total));
        curl_multi_setopt(d->multi, CURLMOPT_MAXCONNECTS, long(d->limits.total));
        d->network = std::thread([this] { d->runNetwork(); });
    }
    d->workers.reserve(std::size_t(std::max(1, limits.workers)));
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

FetchPool::Id FetchPool::fetch(Request request, Handler handler)
{
    // Everything that needs memory comes first, so that a page either is
    // wholly taken or leaves nothing behind.
    auto item = std::make_unique<Item>();
    item->host = hostOf(request.url);
    item->finishedNode.push_back(0);
    // A limit of 0 would mean "no limit" to libcurl; every wait ends.
    request.timeLimitMilliseconds = std::max(1000L, request.timeLimitMilliseconds);
    item->request = std::move(request);
    item->handler = std::move(handler);

    std::lock_guard lock(d->mutex);
    Item& taken = *item;
    const Id id = taken.id = d->nextId;
    taken.finishedNode.front() = id;
    Host& host = d->hosts[taken.host];
    d->items.emplace(id, std::move(item));
    ++d->nextId;
    if (!d->multi) {
        d->fail(taken, Failure::Reason::NoNetwork);
        return id;
    }
    try {
        host.queue.insert(taken.key());
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
    Host& host = d->hosts[item.host];
    // Extract and put back the same node: no memory is needed.
    auto node = host.queue.extract(item.key());
    item.hurried = true;
    node.value() = item.key();
    host.queue.insert(std::move(node));
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
        // Too late to stop it; waiting for it would block the caller (the
        // window's thread) for as long as the handler runs.
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
