#pragma once
// Many pages at once: transfers run on a thread of their own, at most a few
// at a time to one host and a bounded number in all, each with its own time
// limit counted from its own start, over reused connections. Each finished
// page is decoded and indexed on a worker thread and handed to its request's
// handler there, so that only what the handler keeps of it outlives the page.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace veltrop {

class PageIndex;

class FetchPool {
public:
    struct Limits {
        int perHost = 6;   // what browsers allow themselves
        int total = 32;
        int workers = 2;   // threads that decode, index and hand on pages
        long timeLimitMilliseconds = 60'000;
    };
    // Called on a worker thread with the page, or with nullptr when it did
    // not open (no complete 2xx answer in time, or refused). `finalUrl` is
    // the address it was read from, after redirects.
    using Handler = std::function<void(const PageIndex* page, const std::string& finalUrl)>;
    using Id = std::uint64_t;

    FetchPool();
    explicit FetchPool(Limits limits);
    ~FetchPool();  // ends every transfer and joins the threads
    FetchPool(const FetchPool&) = delete;
    FetchPool& operator=(const FetchPool&) = delete;

    // Queues a page. Among the queued pages of one host the lowest `order`
    // starts first; the host with the most pages waiting gets a free slot
    // first, so the busiest site never idles.
    Id fetch(std::string url, std::uint64_t order, Handler handler);
    // Starts a queued page before every other of its host.
    void hurry(Id id);
    // Drops a queued page, or ends it in flight. Its handler is not called
    // unless it is running already.
    void cancel(Id id);
    void cancelAll();

    struct Counters {
        std::size_t started = 0;
        int inFlight = 0;
        int peakPerHost = 0;
        int peakTotal = 0;
        double workSeconds = 0;  // processor time spent decoding, indexing and in handlers
    };
    Counters counters() const;

    // The host of an http or https address, in lower case.
    static std::string hostOf(const std::string& url);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace veltrop
