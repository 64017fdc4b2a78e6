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
        bool stopped = false;  // Cancel: no further page
    };
    // One address being fetched, and the reads that want it.
    struct Entry {
        std::string url;
        LookAhead::Token token = 0;
        std::vector<Key> reads;  // in key order
        bool further = false;    // a further page of one read
    };

    // Guards every member below. Invariants while it is free: each read not
    // done waits on one entry that lists it; an entry lists only reads that
    // exist; `ahead` is used only with the lock held and while not
    // `aborted`, and only abort() (on the window's thread) takes it away,
    // so a handler that finds the plan aborted touches nothing. Pages are
    // never read under the lock.
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
    std::vector<std::uint64_t> held;
    Key waitedFor = 0;
    bool waiting = false;  // the loop waits on `waitedFor`: its pages go first
    // The page of the read the loop took last keeps its place in the
    // look-ahead until the loop asks for the next read, so that a loop that
    // stops after a read (it failed, Cancel) has nothing further asked for.
    LookAhead::Token lastTaken = 0;
    // Pages no longer wanted, forgotten by the window's thread once it has
    // let go of the lock (forgetting may wait for a handler, which locks).
    std::vector<LookAhead::Token> unwanted;

    // With the lock held.
    void startEntry(const std::string& url, std::vector<Key> keys, bool further)
    {
        std::sort(keys.begin(), keys.end());
        const std::uint64_t id = nextEntry++;
        Entry& entry = entries[id];
        entry.url = url;
        entry.reads = keys;
        entry.further = further;
        for (Key key : keys)
            reads.at(key).entry = id;
        if (!further)
            shared[url] = id;
        if (holding)
            held.push_back(id);
        else
            launch(id);
    }

    // With the lock held: asks for the entry's page.
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
        FetchPool::Request request;
        request.url = entry.url;
        request.order = entry.reads.front();
        entry.token = ahead->ask(std::move(request), [self, id](FetchPool::Arrival& arrival) {
            auto state = self.lock();
            return !state || state->arrived(id, arrival);
        });
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

    // With the lock held: the entry's page is no longer wanted either.
    void forget(std::uint64_t id)
    {
        auto it = entries.find(id);
        if (it == entries.end())
            return;
        if (it->second.token)
            unwanted.push_back(it->second.token);
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

    // On a worker thread: the page of entry `id` was indexed, or did not
    // open. False when a read ended with it and waits for the loop to take
    // it, so the page keeps its place in the look-ahead until then.
    bool arrived(std::uint64_t id, const FetchPool::Arrival& arrival)
    {
        std::vector<std::pair<Key, std::shared_ptr<PageReader>>> work;
        std::string url;
        bool further = false;
        {
            std::lock_guard lock(mutex);
            auto it = entries.find(id);
            if (aborted || it == entries.end())
                return true;
            url = it->second.url;
            further = it->second.further;
            std::vector<Key> keys = std::move(it->second.reads);
            erase(id);
            std::erase_if(keys, [&](Key key) { return !reads.contains(key); });
            if (keys.empty())
                return true;
            if (!arrival.page) {
                // The first read in order takes the failure; every later one
                // asks for the page afresh, as it would when its own turn
                // came. A further page that does not open ends its read with
                // what it had.
                Read& first = reads.at(keys.front());
                first.done = true;
                first.opened = further;
                if (!further && keys.size() > 1)
                    startEntry(url, std::vector<Key>(keys.begin() + 1, keys.end()), false);
                changed.notify_all();
                return false;
            }
            for (Key key : keys)
                work.emplace_back(key, reads.at(key).reader);
        }

        // The readers run here, unlocked: each reads only the page and keeps
        // what it gives in its own state, which no other thread touches
        // meanwhile. One that throws (out of memory) makes the page one that
        // did not open, for that read alone.
        const IndexPage view(*arrival.page, arrival.finalUrl);
        struct Outcome {
            Key key;
            bool opened;
            std::string next;
        };
        std::vector<Outcome> outcomes;
        for (auto& [key, reader] : work) {
            try {
                outcomes.push_back({key, true, reader->read(view, url)});
            } catch (const std::exception&) {
                outcomes.push_back({key, further, {}});
            }
        }

        std::lock_guard lock(mutex);
        if (aborted)
            return true;
        bool kept = false;
        for (Outcome& outcome : outcomes) {
            auto it = reads.find(outcome.key);
            if (it == reads.end())
                continue;
            if (!outcome.next.empty() && !it->second.stopped) {
                startEntry(outcome.next, {outcome.key}, true);
                continue;
            }
            it->second.done = true;
            it->second.opened = outcome.opened;
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
    if (auto shared = s.shared.find(url); shared != s.shared.end()) {
        State::Entry& entry = s.entries.at(shared->second);
        entry.reads.insert(std::upper_bound(entry.reads.begin(), entry.reads.end(), key), key);
        read.entry = shared->second;
        read.token = entry.token;
    } else {
        s.startEntry(url, {key}, false);
    }
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

std::shared_ptr<PageReader> PagePlan::take(Key key, const WaitHook& wait, const std::function<bool()>& cancelled)
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
    if (auto entry = s.entries.find(it->second.entry); entry != s.entries.end() && entry->second.token)
        s.ahead->hurry(entry->second.token);

    bool stopAsked = false;
    bool othersStopped = false;
    const WaitHook hook = [&] {
        if (wait)
            wait();
        if (!othersStopped && cancelled && cancelled())
            stopAsked = true;
    };
    for (;;) {
        waitWithHook(lock, s.changed, [&] { return s.aborted || it->second.done || (stopAsked && !othersStopped); },
                     hook);
        if (s.aborted)
            return nullptr;
        if (it->second.done)
            break;
        // Cancel: this read ends after its page in flight, nothing after it
        // is wanted.
        othersStopped = true;
        it->second.stopped = true;
        std::vector<std::uint64_t> others;
        for (const auto& [id, entry] : s.entries)
            if (std::find(entry.reads.begin(), entry.reads.end(), key) == entry.reads.end())
                others.push_back(id);
        for (std::uint64_t id : others)
            s.forget(id);
        lock.unlock();
        s.forgetUnwanted();
        lock.lock();
    }
    std::shared_ptr<PageReader> reader = it->second.opened ? std::move(it->second.reader) : nullptr;
    s.lastTaken = it->second.token;
    s.reads.erase(it);
    s.waiting = false;
    return reader;
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
                    s.forget(entry->first);
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
    // Unlocked: ending the transfers waits for a handler that runs, and the
    // handler locks. Once it returns no handler of the plan runs or will.
    ahead.reset();
}

} // namespace veltrop
