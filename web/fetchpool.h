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
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "web/pageindex.h"

#include "web/hostqueue.h"

namespace veltrop {

class FetchPool {
public:
    struct Limits {
        int perHost = 6;   // what browsers allow themselves
        int total = 32;
        int workers = 2;   // threads that decode, index and hand on pages
        // Answers waiting for a worker beyond the transfers' own slots: no
        // transfer starts while transfers in flight and finished answers
        // together reach total + waiting, so memory stays bounded however
        // slowly the pages are taken, and the network thread never stops
        // serving the transfers it has started.
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

    // Why a page did not open, told to whoever reads it (a reader, a run
    // report); nothing the window shows depends on it.
    struct Failure {
        enum class Reason {
            None,          // it opened
            Status,        // the site answered, but not 2xx
            TimedOut,      // no complete answer within the page's time limit
            Refused,       // the connection was refused
            Reset,         // the connection closed or broke before a complete answer
            NotFound,      // the host (or the proxy) has no address
            TooLarge,      // the body passed its cap
            Unreadable,    // a 2xx answer whose page could not be read
            NoNetwork,     // the engine could not set up its network
            OutOfMemory,   // the engine ran out of memory for it
            Cancelled,     // no longer wanted: the user cancelled the run
            Other,         // anything else the transfer reported
        };
        Reason reason = Reason::None;
        long status = 0;    // the last answer's status; 0 when none came
        int retries = 0;    // times the page was asked for again before this
        std::string detail; // libcurl's own words, when it had any
        long timeLimitMilliseconds = 60'000;  // the page's own, as the engine kept it
    };

    // What a request brought, on a worker thread. The handler may move the
    // page out.
    struct Arrival {
        std::optional<PageIndex> page;  // nullopt: did not open, for the reason in `failure`
        std::string finalUrl;           // the address it was read from, after redirects
        long status = 0;                // the last answer's status; 0 when none came
        Failure failure;                // reason None when the page opened (or, with wantsPage false, answered)
    };
    using Handler = std::function<void(Arrival&)>;
    using Id = std::uint64_t;

    // Makes the engine's one libcurl multi handle; nullptr when it cannot
    // (descriptors or memory ran out): then every page fails at once.
    using MultiFactory = std::function<void*()>;
    static void* defaultMulti();

    FetchPool() : FetchPool(Limits{}) {}
    explicit FetchPool(Limits limits, MultiFactory makeMulti = defaultMulti);
    ~FetchPool();  // ends every transfer and joins the threads
    FetchPool(const FetchPool&) = delete;
    FetchPool& operator=(const FetchPool&) = delete;

    // Queues a page. Among the queued pages of one host the lowest `order`
    // starts first; the host with the most pages waiting gets a free slot
    // first, so the busiest site never idles. When the engine could not set
    // up its network (no multi handle), every page fails at once.
    //
    // Once fetch returns, the handler is called exactly once, on a worker,
    // unless the page is cancelled first: whatever fails (the network, the
    // site, the engine's own memory) ends the page as one that did not open.
    // fetch never waits for the network or the workers; it throws only when
    // it cannot take the page at all (out of memory), and then has kept
    // nothing of it.
    Id fetch(Request request, Handler handler);
    // Starts a queued page before every other of its host.
    void hurry(Id id);
    // Forgets a page: dropped from the queue, or ended in flight. Once cancel
    // returns its handler will not be called, unless it runs already: cancel
    // never waits (it is called from the window's thread), so a handler must
    // own, or share, whatever it touches.
    void cancel(Id id);
    void cancelAll();
    // How each host named is to be asked, and the user agent every request
    // carries from now on. A host already asked keeps the limits it had.
    void setSiteRules(std::map<std::string, HostQueue::Limit> hosts, std::string userAgent);

    struct Counters {
        std::size_t started = 0;   // transfers started, retries included
        std::size_t retried = 0;
        std::size_t handlerFailures = 0;  // handlers that threw
        int inFlight = 0;
        int peakPerHost = 0;
        int peakTotal = 0;
        int peakWaiting = 0;       // most finished answers waiting for a worker at once
        int peakHeld = 0;          // most transfers in flight and answers waiting, together
        double workSeconds = 0;    // processor time spent decoding, indexing and in handlers
    };
    Counters counters() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace veltrop
