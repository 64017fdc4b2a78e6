#pragma once
// The one fetch engine of the program: every page of every command is read
// here. Transfers run on a thread of their own over one libcurl multi handle,
// at most a few at a time to one host and a bounded number in all, each with
// its own time limit counted from its own start, over reused connections.
// Each finished page is decoded and indexed on a worker thread and handed to
// its request's handler there, so that only what the handler keeps of it
// outlives the page.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "web/pageindex.h"

namespace veltrop {

class FetchPool {
public:
    struct Limits {
        int perHost = 6;   // what browsers allow themselves
        int total = 32;
        int workers = 2;   // threads that decode, index and hand on pages
        // Finished answers waiting for a worker; while this many wait, the
        // network thread reads nothing more, so memory stays bounded however
        // slowly the pages are taken.
        int waiting = 8;
        // A failure that says nothing of the page itself (the connection
        // closed before any answer, or 502, 503, 504, 429) is asked again
        // this many times, after `retryPauseMilliseconds` or the pause the
        // site names, within the page's time limit.
        int retries = 2;
        long retryPauseMilliseconds = 1000;
    };

    // How one page is asked for.
    struct Request {
        std::string url;
        std::uint64_t order = 0;  // among one host's queued pages the lowest starts first
        long timeLimitMilliseconds = 60'000;
        bool followRedirects = true;
        bool wantsPage = true;  // false: only the answer's status is wanted, no body is read
    };

    // What a request brought, on a worker thread. The handler may move the
    // page out.
    struct Arrival {
        std::optional<PageIndex> page;  // nullopt: did not open (no complete 2xx answer in time, or refused)
        std::string finalUrl;           // the address it was read from, after redirects
        long status = 0;                // the last answer's status; 0 when none came
    };
    using Handler = std::function<void(Arrival&)>;
    using Id = std::uint64_t;

    FetchPool();
    explicit FetchPool(Limits limits);
    ~FetchPool();  // ends every transfer and joins the threads
    FetchPool(const FetchPool&) = delete;
    FetchPool& operator=(const FetchPool&) = delete;

    // Queues a page. Among the queued pages of one host the lowest `order`
    // starts first; the host with the most pages waiting gets a free slot
    // first, so the busiest site never idles. When the engine could not set
    // up its network (no multi handle), every page fails at once.
    Id fetch(Request request, Handler handler);
    // Starts a queued page before every other of its host.
    void hurry(Id id);
    // Forgets a page: dropped from the queue, or ended in flight. Once cancel
    // returns, its handler is not running and will never be called: a handler
    // running on a worker is waited for. Called from a handler (on a worker),
    // it does not wait, so a handler must not rely on another page's handler
    // having returned.
    void cancel(Id id);
    void cancelAll();

    struct Counters {
        std::size_t started = 0;   // transfers started, retries included
        std::size_t retried = 0;
        std::size_t handlerFailures = 0;  // handlers that threw
        int inFlight = 0;
        int peakPerHost = 0;
        int peakTotal = 0;
        int peakWaiting = 0;       // most finished answers waiting for a worker at once
        double workSeconds = 0;    // processor time spent decoding, indexing and in handlers
    };
    Counters counters() const;

    // The host of an http or https address, in lower case.
    static std::string hostOf(const std::string& url);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace veltrop
