#pragma once
// The books of one plan's pages, shared by the loop's thread and the engine's
// workers: which reads wait on which page, which pages are asked of the
// engine or wait for a place ahead of the loop, and what each page gives its
// readers when it lands. Only web/pageplan.cpp and web/planbooks.cpp see it.
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "web/pageplan.h"

namespace veltrop {

struct PagePlan::State : std::enable_shared_from_this<State> {
    // A page of the plan: an entry.
    using Page = std::uint64_t;
    struct Read {
        std::shared_ptr<PageReader> reader;  // shared with the worker reading its page
        Page entry = 0;                      // the page it waits on, or the last one it read
        bool done = false;
        bool opened = false;
        bool stopped = false;       // Cancel: no further page
        std::size_t pagesAsked = 1;
        std::size_t pagesRead = 0;
        FetchPool::Failure failure;  // why its last page asked for did not open
    };
    // One address being fetched, and the reads that want it.
    struct Entry {
        std::string url;
        std::vector<Key> reads;  // in key order
        bool further = false;    // a further page of one read
        bool asked = false;      // handed on: waiting for a place, in the engine, or landed
        Key order = 0;           // its place in `waitingForPlace` once asked
    };

    State(FetchPool& engine, int lookahead) : engine(engine), lookahead(lookahead < 0 ? 0 : lookahead) {}

    FetchPool& engine;  // outlives the plan
    const int lookahead;

    // Guards every member below. Invariants while it is free: each read not
    // done waits on one entry that lists it, and that entry is asked or
    // held; an entry lists only reads that exist; an asked entry is in
    // `waitingForPlace` (under its order) until it is handed to the engine, and is
    // then in `inEngine` until its handler has returned or it is forgotten;
    // `placed` holds the pages handed to the engine whose place ahead of the
    // loop is not yet free, and exceeds `lookahead` (when not 0) only by
    // pages the loop hurried; nothing is handed to the engine once
    // `aborted`. Pages are never read under the lock.
    mutable std::mutex mutex;
    std::condition_variable_any changed;
    std::map<Key, Read> reads;
    std::set<Key> plannedKeys;
    std::unordered_map<Page, Entry> entries;
    std::unordered_map<std::string, Page> shared;  // first address -> entry whose page is still to come
    std::set<std::pair<Key, Page>> waitingForPlace;
    std::set<Page> placed;
    std::unordered_map<Page, FetchPool::Id> inEngine;
    Page nextEntry = 1;
    bool aborted = false;
    bool holding = false;
    bool noFurther = false;  // stopFurtherPages: reads end with what they have
    std::vector<Page> held;
    Key waitedFor = 0;
    bool waiting = false;  // the loop waits on `waitedFor`: its pages go first
    // The page of the read the loop took last keeps its place ahead of the
    // loop until the loop asks for the next read, so that a loop that stops
    // after a read (it failed, Cancel) has nothing further asked for.
    Page lastTaken = 0;
    // Transfers no longer wanted, cancelled by the loop's thread once it
    // has let go of the lock, so that nothing else waits on it meanwhile.
    std::vector<FetchPool::Id> unwanted;

    static FetchPool::Failure because(FetchPool::Failure::Reason reason)
    {
        FetchPool::Failure failure;
        failure.reason = reason;
        return failure;
    }

    // With the lock held, each of them.
    void end(Read& read, bool opened, const FetchPool::Failure& failure);
    void endAll(const std::vector<Key>& keys, bool opened, const FetchPool::Failure& failure);
    void startEntry(const std::string& url, std::vector<Key> keys, bool further);
    void launch(Page id);
    void erase(Page id);
    void forget(Page id, const FetchPool::Failure& why);
    void hurryWaitedPage(Key key);
    // Pages ahead of the loop.
    void pump();
    bool hand(Page id, bool hurried);
    void hurry(Page id);
    void release(Page id);

    // On the loop's thread, unlocked: cancels the unwanted transfers.
    void forgetUnwanted();
    // On the loop's thread, locked: waits until `ready()`, asking again for
    // the page read `key` waits on every little while (one that found no
    // memory to start may start now). False when `stop` came first.
    template <class Ready>
    bool await(std::unique_lock<std::mutex>& lock, Key key, const std::stop_token& stop, Ready ready)
    {
        constexpr auto askAgainEvery = std::chrono::milliseconds(10);
        while (!ready()) {
            if (stop.stop_requested())
                return false;
            hurryWaitedPage(key);
            changed.wait_for(lock, stop, askAgainEvery, ready);
        }
        return true;
    }

    // On a worker, unlocked: entry `id`'s page was indexed, or did not open.
    void land(Page id, const FetchPool::Arrival& arrival);
    bool arrived(Page id, const FetchPool::Arrival& arrival);
};

} // namespace veltrop
