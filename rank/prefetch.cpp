#include "rank/prefetch.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "web/lookahead.h"
#include "web/pageindex.h"

namespace veltrop {
namespace {

// One row of one source.
using Key = int;
Key keyOf(const RankSource& source, int row) { return source.index * 1000 + row; }

int runPosition(const RankSource& source)
{
    return static_cast<int>(&source - rankSources().data());
}

// A fund-count walk under way: touched by one worker at a time, since its
// next page is asked for only once the page before it was read.
struct FundWalkState {
    TableWalker walker{fundWalk(), isHolding};
    std::int64_t holdings = 0;
    Points points() const { return Points::record(holdings); }
};

} // namespace

struct RankPrefetch::State : std::enable_shared_from_this<State> {
    struct Consumer {
        const RankSource* source = nullptr;
        std::uint64_t order = 0;
        std::uint64_t entry = 0;  // the page it waits on
        LookAhead::Token token = 0;  // that page's, or the one that gave its result
        bool done = false;
        PageOutcome outcome;
        std::shared_ptr<FundWalkState> walk;  // shared with the worker reading its page
        bool stopWalk = false;
    };
    // One address being fetched, and the rows of every source that read it.
    struct Entry {
        std::string url;
        LookAhead::Token token = 0;
        std::vector<Key> consumers;
        bool nextPage = false;  // a further page of one fund-count walk
    };

    // Guards every member below. Invariants while it is free: each consumer
    // not done waits on one entry that lists it; an entry lists only
    // consumers that exist; `ahead` is used only with the lock held and
    // while not `aborted`, and only abort() (on the window's thread) takes
    // it away, so a handler that finds the run aborted touches nothing.
    // Pages are never read under the lock.
    mutable std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<LookAhead> ahead;
    std::map<Key, Consumer> consumers;
    std::unordered_map<std::uint64_t, Entry> entries;
    std::unordered_map<std::string, std::uint64_t> shared;  // address -> entry whose page is still to come
    std::set<int> plannedSources;
    std::uint64_t nextEntry = 1;
    bool aborted = false;
    // While a run plans its sources, no page is asked for yet: a page that
    // arrived before the last source was planned could not be shared with it.
    bool holding = false;
    std::vector<std::uint64_t> held;
    Key waitedFor = -1;  // the row the loop waits on: its pages go first
    // Pages no longer wanted, forgotten by the window's thread once it has
    // let go of the lock (forgetting may wait for a handler, which locks).
    std::vector<LookAhead::Token> unwanted;

    // With the lock held.
    void startEntry(const std::string& url, std::vector<Key> keys, bool nextPage)
    {
        std::sort(keys.begin(), keys.end(),
                  [&](Key a, Key b) { return consumers.at(a).order < consumers.at(b).order; });
        const std::uint64_t id = nextEntry++;
        Entry& entry = entries[id];
        entry.url = url;
        entry.consumers = keys;
        entry.nextPage = nextPage;
        for (Key key : keys)
            consumers.at(key).entry = id;
        if (!nextPage)
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
        if (entry.consumers.empty()) {
            erase(id);
            return;
        }
        std::weak_ptr<State> self = weak_from_this();
        FetchPool::Request request;
        request.url = entry.url;
        request.order = consumers.at(entry.consumers.front()).order;
        entry.token = ahead->ask(std::move(request), [self, id](FetchPool::Arrival& arrival) {
            auto state = self.lock();
            return !state || state->arrived(id, arrival);
        });
        for (Key key : entry.consumers)
            consumers.at(key).token = entry.token;
        if (std::find(entry.consumers.begin(), entry.consumers.end(), waitedFor) != entry.consumers.end())
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

    void finish(Consumer& consumer, PageOutcome outcome)
    {
        consumer.done = true;
        consumer.outcome = std::move(outcome);
        consumer.walk.reset();
    }

    // On a worker thread: the page of entry `id` was indexed, or did not
    // open. False when a row's result waits for the loop to take it.
    bool arrived(std::uint64_t id, const FetchPool::Arrival& arrival)
    {
        struct Work {
            Key key;
            const RankSource* source;
            std::shared_ptr<FundWalkState> walk;
        };
        std::vector<Work> work;
        std::string url;
        bool nextPage = false;
        {
            std::lock_guard lock(mutex);
            auto it = entries.find(id);
            if (aborted || it == entries.end())
                return true;
            url = it->second.url;
            nextPage = it->second.nextPage;
            std::vector<Key> keys = std::move(it->second.consumers);
            erase(id);
            std::erase_if(keys, [&](Key key) { return !consumers.contains(key); });
            std::sort(keys.begin(), keys.end(),
                      [&](Key a, Key b) { return consumers.at(a).order < consumers.at(b).order; });
            if (keys.empty())
                return true;

            if (!arrival.page) {
                Consumer& first = consumers.at(keys.front());
                if (nextPage) {
                    // A further page that does not open ends that walk with
                    // the count so far.
                    finish(first, {true, first.walk->points(), {}});
                } else {
                    // The first source in run order to read the address takes
                    // the failure; every later one asks for the page afresh,
                    // as it would when its own turn came.
                    finish(first, {false, {}, {}});
                    if (keys.size() > 1)
                        startEntry(url, std::vector<Key>(keys.begin() + 1, keys.end()), false);
                }
                changed.notify_all();
                return false;
            }
            for (Key key : keys) {
                Consumer& c = consumers.at(key);
                if (c.source->extraction == Extraction::FundCount && !c.walk)
                    c.walk = std::make_shared<FundWalkState>();
                work.push_back({key, c.source, c.walk});
            }
        }

        // The extractions run here, unlocked: each reads only the page, and
        // what it writes (a walk's count) no other thread touches meanwhile.
        // One that throws (out of memory) makes the page one that did not
        // open, for that source alone.
        const IndexPage view(*arrival.page, arrival.finalUrl);
        std::vector<std::pair<Key, PageOutcome>> results;
        std::vector<std::pair<Key, std::string>> walks;
        for (const Work& w : work) {
            try {
                if (w.source->extraction != Extraction::FundCount) {
                    NewsReading reading = extract(*w.source, view);
                    results.emplace_back(w.key, PageOutcome{true, reading.points, std::move(reading)});
                    continue;
                }
                TableWalker::Rows rows = w.walk->walker.read(view, url);
                w.walk->holdings += std::int64_t(rows.cells.size());
                if (!rows.next.empty())
                    walks.emplace_back(w.key, std::move(rows.next));
                else
                    results.emplace_back(w.key, PageOutcome{true, w.walk->points(), {}});
            } catch (const std::exception&) {
                results.emplace_back(w.key, nextPage ? PageOutcome{true, w.walk->points(), {}} : PageOutcome{});
            }
        }

        std::lock_guard lock(mutex);
        if (aborted)
            return true;
        bool kept = false;
        for (auto& [key, outcome] : results) {
            auto it = consumers.find(key);
            if (it != consumers.end()) {
                finish(it->second, std::move(outcome));
                kept = true;
            }
        }
        for (auto& [key, next] : walks) {
            auto it = consumers.find(key);
            if (it == consumers.end())
                continue;
            if (it->second.stopWalk) {
                finish(it->second, {true, it->second.walk->points(), {}});
                kept = true;
            } else {
                startEntry(next, {key}, true);
            }
        }
        changed.notify_all();
        return !kept;
    }
};

RankPrefetch::RankPrefetch(FetchPool& engine, int lookahead) : state_(std::make_shared<State>())
{
    state_->ahead = std::make_unique<LookAhead>(engine, lookahead);
}

RankPrefetch::~RankPrefetch() { abort(); }

void RankPrefetch::plan(const RankSource& source, const std::vector<std::string>& addresses)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.aborted)
        return;
    s.plannedSources.insert(source.index);
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        const std::string& url = addresses[i];
        if (url.empty())
            continue;
        const int row = static_cast<int>(i) + 1;
        const Key key = keyOf(source, row);
        State::Consumer& c = s.consumers[key];
        c.source = &source;
        c.order = std::uint64_t(runPosition(source)) * 1000 + std::uint64_t(row);
        auto shared = s.shared.find(url);
        if (shared != s.shared.end()) {
            State::Entry& entry = s.entries.at(shared->second);
            entry.consumers.push_back(key);
            c.entry = shared->second;
            c.token = entry.token;
        } else {
            s.startEntry(url, {key}, false);
        }
    }
}

void RankPrefetch::hold()
{
    std::lock_guard lock(state_->mutex);
    state_->holding = true;
}

void RankPrefetch::release()
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.holding = false;
    for (std::uint64_t id : s.held)
        s.launch(id);
    s.held.clear();
}

bool RankPrefetch::planned(const RankSource& source) const
{
    std::lock_guard lock(state_->mutex);
    return state_->plannedSources.contains(source.index);
}

PageOutcome RankPrefetch::take(const RankSource& source, int row, const WaitHook& wait,
                               const std::function<bool()>& cancelled)
{
    State& s = *state_;
    const Key key = keyOf(source, row);
    std::unique_lock lock(s.mutex);
    auto it = s.consumers.find(key);
    if (s.aborted || it == s.consumers.end())
        return {};
    s.waitedFor = key;
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
            return {};
        if (it->second.done)
            break;
        // Cancel: this ticker is finished, nothing after it is wanted.
        othersStopped = true;
        it->second.stopWalk = true;
        std::vector<std::uint64_t> others;
        for (const auto& [id, entry] : s.entries)
            if (std::find(entry.consumers.begin(), entry.consumers.end(), key) == entry.consumers.end())
                others.push_back(id);
        for (std::uint64_t id : others)
            s.forget(id);
        lock.unlock();
        s.forgetUnwanted();
        lock.lock();
    }
    PageOutcome outcome = std::move(it->second.outcome);
    s.ahead->release(it->second.token);
    s.consumers.erase(it);
    s.waitedFor = -1;
    return outcome;
}

void RankPrefetch::drop(const RankSource& source)
{
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        s.plannedSources.erase(source.index);
        for (auto it = s.consumers.begin(); it != s.consumers.end();) {
            if (it->second.source != &source) {
                ++it;
                continue;
            }
            if (it->second.done && !s.aborted)
                s.ahead->release(it->second.token);
            auto entry = s.entries.find(it->second.entry);
            if (!it->second.done && entry != s.entries.end()) {
                auto& keys = entry->second.consumers;
                keys.erase(std::remove(keys.begin(), keys.end(), it->first), keys.end());
                if (keys.empty())
                    s.forget(entry->first);
            }
            it = s.consumers.erase(it);
        }
    }
    s.forgetUnwanted();
}

void RankPrefetch::abort()
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
    // handler locks. Once it returns no handler of the run runs or will.
    ahead.reset();
}

} // namespace veltrop
