#include "web/pageplan.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>
#include <utility>
#include <vector>

#include "web/lookahead.h"
#include "web/pageindex.h"

namespace veltrop {

struct PagePlan::State : std::enable_shared_from_this<State> {
    struct Read {
        std::shared_ptr<PageReader> reader;  // shared with the worker reading its page
        std::uint64_t entry = 0;             // the page it waits on
        LookAhead::Token token = 0;          // that page's, or the last one it read
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
        LookAhead::Token token = 0;
        std::vector<Key> reads;  // in key order
        bool further = false;    // a further page of one read
    };

    // Guards every member below. Invariants while it is free: each read not
    // done waits on one entry that lists it, and that entry's page is asked
    // for (it has a token) or held; an entry lists only reads that exist;
    // `ahead` is used only with the lock held and while not `aborted`, and
    // only abort() (on the window's thread) takes it away, so a handler that
    // finds the plan aborted touches nothing. Pages are never read under the
    // lock.
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<LookAhead> ahead;
    std::map<Key, Read> reads;
    std::set<Key> plannedKeys;
    std::unordered_map<std::uint64_t, Entry> entries;
    std::unordered_map<std::string, std::uint64_t> shared;  // first address -> entry whose page is still to come
    std::uint64_t nextEntry = 1;
    bool aborted = false;
    bool holding = false;
    bool noFurther = false;  // stopFurtherPages: reads end with what they have
    std::vector<std::uint64_t> held;
    Key waitedFor = 0;
    bool waiting = false;  // the loop waits on `waitedFor`: its pages go first
    // The page of the read the loop took last keeps its place in the
    // look-ahead until the loop asks for the next read, so that a loop that
    // stops after a read (it failed, Cancel) has nothing further asked for.
    LookAhead::Token lastTaken = 0;
    // Pages no longer wanted, forgotten by the window's thread once it has
    // let go of the lock, so that nothing else waits on it meanwhile.
    std::vector<LookAhead::Token> unwanted;

    static FetchPool::Failure because(FetchPool::Failure::Reason reason)
    {
        FetchPool::Failure failure;
        failure.reason = reason;
        return failure;
    }

    // With the lock held: the read ends here. Needs no memory but for the
    // failure's words, which it goes without when there is none.
    void end(Read& read, bool opened, const FetchPool::Failure& failure)
    {
        read.done = true;
        read.opened = opened;
        read.failure.reason = failure.reason;
        read.failure.status = failure.status;
        read.failure.retries = failure.retries;
        read.failure.timeLimitMilliseconds = failure.timeLimitMilliseconds;
        try {
            read.failure.detail = failure.detail;
        } catch (...) {
            read.failure.detail.clear();
        }
    }

    // With the lock held: every read of `keys` that is still there ends.
    void endAll(const std::vector<Key>& keys, bool opened, const FetchPool::Failure& failure)
    {
        for (Key key : keys)
            if (auto it = reads.find(key); it != reads.end() && !it->second.done)
                end(it->second, opened, failure);
    }

    // With the lock held. Throws only when there is no memory to plan the
    // page; then nothing of it was kept.
    void startEntry(const std::string& url, std::vector<Key> keys, bool further)
    {
        std::sort(keys.begin(), keys.end());
        const std::uint64_t id = nextEntry++;
        auto node = entries.try_emplace(id).first;
        try {
            Entry& entry = node->second;
            entry.url = url;
            entry.reads = keys;
            entry.further = further;
            if (!further)
                shared[url] = id;
            if (holding)
                held.push_back(id);
        } catch (...) {
            erase(id);
            throw;
        }
        for (Key key : keys)
            reads.at(key).entry = id;
        if (!holding)
            launch(id);
    }

    // With the lock held: asks for the entry's page. When it cannot (no
    // memory), the entry's reads end as not opened.
    void launch(std::uint64_t id)
    {
        auto it = entries.find(id);
        if (it == entries.end() || aborted)
            return;
        Entry& entry = it->second;
        if (entry.reads.empty()) {
            erase(id);
            return;
        }
        std::weak_ptr<State> self = weak_from_this();
        try {
            FetchPool::Request request;
            request.url = entry.url;
            request.order = entry.reads.front();
            entry.token = ahead->ask(std::move(request), [self, id](FetchPool::Arrival& arrival) {
                auto state = self.lock();
                return !state || state->arrived(id, arrival);
            });
        } catch (...) {
            endAll(entry.reads, entry.further, because(FetchPool::Failure::Reason::OutOfMemory));
            erase(id);
            changed.notify_all();
            return;
        }
        for (Key key : entry.reads)
            reads.at(key).token = entry.token;
        if (waiting && std::find(entry.reads.begin(), entry.reads.end(), waitedFor) != entry.reads.end())
            ahead->hurry(entry.token);
    }

    // With the lock held: the entry's bookkeeping goes.
    void erase(std::uint64_t id)
    {
        auto it = entries.find(id);
        if (it == entries.end())
            return;
        auto sharedIt = shared.find(it->second.url);
        if (sharedIt != shared.end() && sharedIt->second == id)
            shared.erase(sharedIt);
        entries.erase(it);
    }

    // With the lock held: the entry's page is no longer wanted either, and
    // the reads that waited on it end.
    void forget(std::uint64_t id, const FetchPool::Failure& why)
    {
        auto it = entries.find(id);
        if (it == entries.end())
            return;
        endAll(it->second.reads, it->second.further, why);
        if (it->second.token) {
            try {
                unwanted.push_back(it->second.token);
            } catch (...) {
                // Its page is still read, and its handler finds the entry gone.
            }
        }
        erase(id);
    }

    // On the window's thread, unlocked.
    void forgetUnwanted()
    {
        std::vector<LookAhead::Token> tokens;
        LookAhead* lookahead = nullptr;
        {
            std::lock_guard lock(mutex);
            tokens.swap(unwanted);
            lookahead = aborted ? nullptr : ahead.get();
        }
        if (lookahead)
            for (LookAhead::Token token : tokens)
                lookahead->forget(token);
    }

    // With the lock held: asks again for the page `key` waits on, in case
    // the look-ahead could not hand it to the engine before.
    void hurryWaitedPage(Key key)
    {
        auto it = reads.find(key);
        if (aborted || it == reads.end() || it->second.done)
            return;
        if (auto entry = entries.find(it->second.entry); entry != entries.end() && entry->second.token)
            ahead->hurry(entry->second.token);
    }

    // The hook the window's thread waits for read `key` with: the window's
    // turn, then the read's page asked for again.
    WaitHook turnsWaitingFor(Key key, WaitHook turn)
    {
        return [this, key, turn = std::move(turn)] {
            if (turn)
                turn();
            std::lock_guard lock(mutex);
            hurryWaitedPage(key);
        };
    }

    // On a worker thread: the page of entry `id` was indexed, or did not
    // open. False when a read ended with it and waits for the loop to take
    // it, so the page keeps its place in the look-ahead until then. Whatever
    // fails here (a reader, memory), every read that wanted the page ends or
    // goes on to its next page.
    bool arrived(std::uint64_t id, const FetchPool::Arrival& arrival)
    {
        struct Work {
            Key key;
            std::shared_ptr<PageReader> reader;
            FetchPool::Failure::Reason failed = FetchPool::Failure::Reason::None;
            std::string next;
        };
        std::vector<Work> work;
        std::string url;
        bool further = false;
        {
            std::lock_guard lock(mutex);
            auto it = entries.find(id);
            if (aborted || it == entries.end())
                return true;
            // The entry stays while its page is read, so its reads still wait
            // on it; no later read may join it any more.
            Entry& entry = it->second;
            if (auto sharedIt = shared.find(entry.url); sharedIt != shared.end() && sharedIt->second == id)
                shared.erase(sharedIt);
            further = entry.further;
            std::erase_if(entry.reads, [&](Key key) { return !reads.contains(key); });
            if (entry.reads.empty()) {
                erase(id);
                return true;
            }
            if (!arrival.page) {
                // The first read in order takes the failure; every later one
                // asks for the page afresh, as it would when its own turn
                // came. A further page that does not open ends its read with
                // what it had.
                std::vector<Key>& keys = entry.reads;
                end(reads.at(keys.front()), further, arrival.failure);
                if (!further && keys.size() > 1) {
                    try {
                        startEntry(entry.url, std::vector<Key>(keys.begin() + 1, keys.end()), false);
                    } catch (...) {
                        endAll(keys, false, because(FetchPool::Failure::Reason::OutOfMemory));
                    }
                }
                erase(id);
                changed.notify_all();
                return false;
            }
            try {
                url = entry.url;
                work.reserve(entry.reads.size());
                for (Key key : entry.reads)
                    work.push_back({key, reads.at(key).reader});
            } catch (...) {
                endAll(entry.reads, further, because(FetchPool::Failure::Reason::OutOfMemory));
                erase(id);
                changed.notify_all();
                return false;
            }
        }

        // The readers run here, unlocked: each reads only the page and keeps
        // what it gives in its own state, which no other thread touches
        // meanwhile. One that throws makes the page one that did not open,
        // for that read alone.
        for (Work& one : work) {
            try {
                const IndexPage view(*arrival.page, arrival.finalUrl);
                one.next = one.reader->read(view, url);
            } catch (const std::bad_alloc&) {
                one.failed = FetchPool::Failure::Reason::OutOfMemory;
            } catch (...) {
                one.failed = FetchPool::Failure::Reason::Unreadable;
            }
        }

        std::lock_guard lock(mutex);
        if (aborted)
            return true;
        erase(id);
        bool kept = false;
        for (Work& one : work) {
            auto it = reads.find(one.key);
            // Dropped, or ended by a Cancel while its page was read.
            if (it == reads.end() || it->second.done)
                continue;
            Read& read = it->second;
            if (one.failed != FetchPool::Failure::Reason::None) {
                end(read, further, because(one.failed));
                kept = true;
                continue;
            }
            ++read.pagesRead;
            if (!one.next.empty() && !read.stopped && !noFurther) {
                try {
                    startEntry(one.next, {one.key}, true);
                    ++read.pagesAsked;
                    continue;
                } catch (...) {
                    end(read, true, because(FetchPool::Failure::Reason::OutOfMemory));
                    kept = true;
                    continue;
                }
            }
            end(read, true, FetchPool::Failure{});
            kept = true;
        }
        changed.notify_all();
        return !kept;
    }
};

PagePlan::PagePlan(FetchPool& engine, int lookahead) : state_(std::make_shared<State>())
{
    state_->ahead = std::make_unique<LookAhead>(engine, lookahead);
}

PagePlan::~PagePlan() { abort(); }

void PagePlan::plan(Key key, const std::string& url, std::shared_ptr<PageReader> reader)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.aborted || s.reads.contains(key))
        return;
    s.plannedKeys.insert(key);
    State::Read& read = s.reads[key];
    read.reader = std::move(reader);
    try {
        if (auto shared = s.shared.find(url); shared != s.shared.end()) {
            State::Entry& entry = s.entries.at(shared->second);
            entry.reads.insert(std::upper_bound(entry.reads.begin(), entry.reads.end(), key), key);
            read.entry = shared->second;
            read.token = entry.token;
        } else {
            s.startEntry(url, {key}, false);
        }
    } catch (...) {
        s.reads.erase(key);
        s.plannedKeys.erase(key);
        throw;
    }
}

std::shared_ptr<PageReader> PagePlan::readerOf(Key key) const
{
    std::lock_guard lock(state_->mutex);
    auto it = state_->reads.find(key);
    return it == state_->reads.end() ? nullptr : it->second.reader;
}

bool PagePlan::planned(Key from, Key to) const
{
    std::lock_guard lock(state_->mutex);
    auto it = state_->plannedKeys.lower_bound(from);
    return it != state_->plannedKeys.end() && *it <= to;
}

void PagePlan::hold()
{
    std::lock_guard lock(state_->mutex);
    state_->holding = true;
}

void PagePlan::release()
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.holding = false;
    for (std::uint64_t id : s.held)
        s.launch(id);
    s.held.clear();
}

std::shared_ptr<PageReader> PagePlan::take(Key key, const WaitHook& wait, const std::function<bool()>& cancelled,
                                           FetchPool::Failure* why)
{
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    if (s.aborted)
        return nullptr;
    s.ahead->release(std::exchange(s.lastTaken, 0));
    auto it = s.reads.find(key);
    if (it == s.reads.end())
        return nullptr;
    s.waitedFor = key;
    s.waiting = true;
    s.hurryWaitedPage(key);

    bool stopAsked = false;
    bool othersStopped = false;
    const WaitHook hook = s.turnsWaitingFor(key, [&] {
        if (wait)
            wait();
        if (!othersStopped && cancelled && cancelled())
            stopAsked = true;
    });
    for (;;) {
        waitWithHook(lock, s.changed, [&] { return s.aborted || it->second.done || (stopAsked && !othersStopped); },
                     hook);
        if (s.aborted)
            return nullptr;
        if (it->second.done)
            break;
        // Cancel: this read ends after its page in flight, every other read
        // ends where it is.
        othersStopped = true;
        it->second.stopped = true;
        std::vector<std::uint64_t> others;
        for (const auto& [id, entry] : s.entries)
            if (std::find(entry.reads.begin(), entry.reads.end(), key) == entry.reads.end())
                others.push_back(id);
        for (std::uint64_t id : others)
            s.forget(id, State::because(FetchPool::Failure::Reason::Cancelled));
        lock.unlock();
        s.forgetUnwanted();
        lock.lock();
    }
    std::shared_ptr<PageReader> reader = it->second.opened ? std::move(it->second.reader) : nullptr;
    if (why)
        *why = std::move(it->second.failure);
    s.lastTaken = it->second.token;
    s.reads.erase(it);
    s.waiting = false;
    return reader;
}

std::size_t PagePlan::awaitPages(Key key, std::size_t seen, const WaitHook& wait)
{
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    auto it = s.reads.find(key);
    if (s.aborted || it == s.reads.end())
        return 0;
    s.waitedFor = key;
    s.waiting = true;
    s.hurryWaitedPage(key);
    if (it->second.pagesAsked > seen && wait) {
        lock.unlock();
        giveTurn(wait);
        lock.lock();
        if (s.aborted)
            return 0;
    }
    const WaitHook hook = s.turnsWaitingFor(key, wait);
    // `it` stays valid: only take and drop, on this thread, erase reads.
    waitWithHook(lock, s.changed, [&] { return s.aborted || it->second.done || it->second.pagesRead > seen; },
                 hook);
    return s.aborted ? 0 : it->second.pagesRead;
}

void PagePlan::stopFurtherPages()
{
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        s.noFurther = true;
        std::vector<std::uint64_t> further;
        for (const auto& [id, entry] : s.entries)
            if (entry.further)
                further.push_back(id);
        for (std::uint64_t id : further)
            s.forget(id, FetchPool::Failure{});
        s.changed.notify_all();
    }
    s.forgetUnwanted();
}

void PagePlan::drop(Key from, Key to)
{
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        s.plannedKeys.erase(s.plannedKeys.lower_bound(from), s.plannedKeys.upper_bound(to));
        for (auto it = s.reads.lower_bound(from); it != s.reads.end() && it->first <= to;) {
            if (it->second.done && !s.aborted)
                s.ahead->release(it->second.token);
            auto entry = s.entries.find(it->second.entry);
            if (!it->second.done && entry != s.entries.end()) {
                auto& keys = entry->second.reads;
                keys.erase(std::remove(keys.begin(), keys.end(), it->first), keys.end());
                if (keys.empty())
                    s.forget(entry->first, FetchPool::Failure{});
            }
            it = s.reads.erase(it);
        }
    }
    s.forgetUnwanted();
}

void PagePlan::abort()
{
    State& s = *state_;
    std::unique_ptr<LookAhead> ahead;
    {
        std::lock_guard lock(s.mutex);
        s.aborted = true;
        s.entries.clear();
        s.shared.clear();
        s.unwanted.clear();
        ahead = std::move(s.ahead);
        s.changed.notify_all();
    }
    // Unlocked, as forgetting is. A handler of the plan that still runs
    // finds it aborted and touches nothing more.
    ahead.reset();
}

std::string PagePlan::inconsistency() const
{
    const State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.aborted)
        return {};
    for (const auto& [key, read] : s.reads) {
        if (read.done)
            continue;
        auto entry = s.entries.find(read.entry);
        if (entry == s.entries.end())
            return "read " + std::to_string(key) + " waits on a page nobody asks for";
        if (std::find(entry->second.reads.begin(), entry->second.reads.end(), key) == entry->second.reads.end())
            return "read " + std::to_string(key) + " waits on a page that does not list it";
        if (!entry->second.token && std::find(s.held.begin(), s.held.end(), entry->first) == s.held.end())
            return "read " + std::to_string(key) + " waits on a page never asked for";
    }
    for (const auto& [id, entry] : s.entries)
        for (Key key : entry.reads)
            if (!s.reads.contains(key))
                return "a page lists read " + std::to_string(key) + ", which is gone";
    return {};
}

} // namespace veltrop
