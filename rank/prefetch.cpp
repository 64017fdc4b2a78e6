#include "rank/prefetch.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

#include "web/pageindex.h"

namespace veltrop {
namespace {

constexpr auto waitSlice = std::chrono::milliseconds(20);

// A page fetched ahead, as the extractions read it.
class IndexPage : public RankPage {
public:
    IndexPage(const PageIndex& page, const std::string& url) : page_(page), url_(url) {}
    std::string cellText(int table, int row, int column) const override
    {
        return page_.cellText(table, row, column);
    }
    std::string pageText() const override { return page_.text(); }
    std::string linkUrl(const std::string& text, int index) const override { return page_.linkUrl(text, index); }
    std::string url() const override { return url_; }

private:
    const PageIndex& page_;
    const std::string& url_;
};

// One row of one source.
using Key = int;
Key keyOf(const RankSource& source, int row) { return source.index * 1000 + row; }

int runPosition(const RankSource& source)
{
    return static_cast<int>(&source - rankSources().data());
}

} // namespace

struct RankPrefetch::State : std::enable_shared_from_this<State> {
    struct Consumer {
        const RankSource* source = nullptr;
        std::uint64_t order = 0;
        Cell cell;
        FundWalk walk;
        std::uint64_t entry = 0;  // the fetch it waits on
        bool done = false;
        PageOutcome outcome;
        std::unique_ptr<FundTally> tally;  // a fund-count walk under way
        bool stopWalk = false;
    };
    // One address being fetched, and the rows of every source that read it.
    struct Entry {
        std::string url;
        FetchPool::Id fetch = 0;
        std::vector<Key> consumers;
        bool nextPage = false;  // a further page of one fund-count walk
    };

    explicit State(FetchPool& p) : pool(p) {}

    FetchPool& pool;
    std::mutex mutex;
    std::condition_variable changed;
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

    // With the lock held.
    void startEntry(const std::string& url, std::vector<Key> keys, bool nextPage)
    {
        std::sort(keys.begin(), keys.end(),
                  [&](Key a, Key b) { return consumers.at(a).order < consumers.at(b).order; });
        const std::uint64_t token = nextEntry++;
        Entry& entry = entries[token];
        entry.url = url;
        entry.consumers = keys;
        entry.nextPage = nextPage;
        for (Key key : keys)
            consumers.at(key).entry = token;
        if (!nextPage)
            shared[url] = token;
        if (holding)
            held.push_back(token);
        else
            launch(token);
    }

    // With the lock held: asks the pool for the entry's page.
    void launch(std::uint64_t token)
    {
        auto it = entries.find(token);
        if (it == entries.end())
            return;
        Entry& entry = it->second;
        if (entry.consumers.empty()) {
            forget(token);
            return;
        }
        std::weak_ptr<State> self = weak_from_this();
        entry.fetch = pool.fetch(entry.url, consumers.at(entry.consumers.front()).order,
                                 [self, token](const PageIndex* page, const std::string& finalUrl) {
                                     if (auto state = self.lock())
                                         state->arrived(token, page, finalUrl);
                                 });
    }

    // With the lock held.
    void forget(std::uint64_t token)
    {
        auto it = entries.find(token);
        if (it == entries.end())
            return;
        if (it->second.fetch)
            pool.cancel(it->second.fetch);
        auto sharedIt = shared.find(it->second.url);
        if (sharedIt != shared.end() && sharedIt->second == token)
            shared.erase(sharedIt);
        entries.erase(it);
    }

    void finish(Consumer& consumer, PageOutcome outcome)
    {
        consumer.done = true;
        consumer.outcome = std::move(outcome);
        consumer.tally.reset();
    }

    // On a worker thread: the page of entry `token` was indexed, or did not open.
    void arrived(std::uint64_t token, const PageIndex* page, const std::string& finalUrl)
    {
        struct Work {
            Key key;
            Extraction extraction;
            Cell cell;
            FundWalk walk;
            FundTally* tally;
        };
        std::vector<Work> work;
        std::string url;
        bool nextPage = false;
        {
            std::lock_guard lock(mutex);
            auto it = entries.find(token);
            if (aborted || it == entries.end())
                return;
            url = it->second.url;
            nextPage = it->second.nextPage;
            std::vector<Key> keys = std::move(it->second.consumers);
            forget(token);
            std::erase_if(keys, [&](Key key) { return !consumers.contains(key); });
            std::sort(keys.begin(), keys.end(),
                      [&](Key a, Key b) { return consumers.at(a).order < consumers.at(b).order; });
            if (keys.empty())
                return;

            if (!page) {
                Consumer& first = consumers.at(keys.front());
                if (nextPage) {
                    // A further page that does not open ends that walk with
                    // the count so far.
                    finish(first, {true, first.tally->points(), {}});
                } else {
                    // The first source in run order to read the address takes
                    // the failure; every later one asks for the page afresh,
                    // as it would when its own turn came.
                    finish(first, {false, {}, {}});
                    if (keys.size() > 1)
                        startEntry(url, std::vector<Key>(keys.begin() + 1, keys.end()), false);
                }
                changed.notify_all();
                return;
            }
            for (Key key : keys) {
                Consumer& c = consumers.at(key);
                if (c.source->extraction == Extraction::FundCount && !c.tally)
                    c.tally = std::make_unique<FundTally>(c.walk, finalUrl);
                work.push_back({key, c.source->extraction, c.cell, c.walk, c.tally.get()});
            }
        }

        // The extractions run here, off the window's thread and unlocked:
        // each reads only the page.
        const IndexPage view(*page, finalUrl);
        std::vector<std::pair<Key, PageOutcome>> results;
        std::vector<std::pair<Key, std::string>> walks;
        for (const Work& w : work) {
            PageOutcome outcome{true, {}, {}};
            switch (w.extraction) {
            case Extraction::SingleCell: outcome.points = singleCell(view, w.cell); break;
            case Extraction::DaysSinceNews: outcome.news = readNews(view); break;
            case Extraction::RankChange: outcome.points = rankChange(view); break;
            case Extraction::GuruAverage: outcome.points = guruAverage(view); break;
            case Extraction::SmartSelect: outcome.points = smartSelectAverage(view); break;
            case Extraction::Broker: outcome.points = brokerRecommendation(view); break;
            case Extraction::FundCount: {
                if (nextPage)
                    w.tally->opened(url, finalUrl);
                std::string next = w.tally->count(view);
                if (!next.empty()) {
                    walks.emplace_back(w.key, std::move(next));
                    continue;
                }
                outcome.points = w.tally->points();
                break;
            }
            }
            results.emplace_back(w.key, std::move(outcome));
        }

        std::lock_guard lock(mutex);
        if (aborted)
            return;
        for (auto& [key, outcome] : results) {
            auto it = consumers.find(key);
            if (it != consumers.end())
                finish(it->second, std::move(outcome));
        }
        for (auto& [key, next] : walks) {
            auto it = consumers.find(key);
            if (it == consumers.end())
                continue;
            if (it->second.stopWalk)
                finish(it->second, {true, it->second.tally->points(), {}});
            else
                startEntry(next, {key}, true);
        }
        changed.notify_all();
    }
};

RankPrefetch::RankPrefetch(FetchPool& pool) : state_(std::make_shared<State>(pool)) {}

RankPrefetch::~RankPrefetch() { abort(); }

void RankPrefetch::plan(const RankSource& source, const std::vector<std::string>& addresses, Cell cell,
                        const FundWalk& walk)
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
        c.cell = cell;
        c.walk = walk;
        auto shared = s.shared.find(url);
        if (shared != s.shared.end()) {
            s.entries.at(shared->second).consumers.push_back(key);
            c.entry = shared->second;
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
    for (std::uint64_t token : s.held)
        s.launch(token);
    s.held.clear();
}

bool RankPrefetch::planned(const RankSource& source) const
{
    std::lock_guard lock(state_->mutex);
    return state_->plannedSources.contains(source.index);
}

PageOutcome RankPrefetch::take(const RankSource& source, int row, const std::function<void()>& wait,
                               const std::function<bool()>& cancelled)
{
    State& s = *state_;
    const Key key = keyOf(source, row);
    std::unique_lock lock(s.mutex);
    auto it = s.consumers.find(key);
    if (s.aborted || it == s.consumers.end())
        return {};
    bool othersStopped = false;
    while (!it->second.done) {
        if (auto entry = s.entries.find(it->second.entry); entry != s.entries.end() && entry->second.fetch)
            s.pool.hurry(entry->second.fetch);
        s.changed.wait_for(lock, waitSlice);
        if (s.aborted)
            return {};
        if (it->second.done)
            break;
        lock.unlock();
        if (wait)
            wait();
        const bool stop = !othersStopped && cancelled && cancelled();
        lock.lock();
        if (s.aborted)
            return {};
        if (stop) {
            // Cancel: this ticker is finished, nothing after it is wanted.
            othersStopped = true;
            it->second.stopWalk = true;
            std::vector<std::uint64_t> others;
            for (const auto& [token, entry] : s.entries)
                if (std::find(entry.consumers.begin(), entry.consumers.end(), key) == entry.consumers.end())
                    others.push_back(token);
            for (std::uint64_t token : others)
                s.forget(token);
        }
    }
    PageOutcome outcome = std::move(it->second.outcome);
    s.consumers.erase(it);
    return outcome;
}

void RankPrefetch::drop(const RankSource& source)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.plannedSources.erase(source.index);
    for (auto it = s.consumers.begin(); it != s.consumers.end();) {
        if (it->second.source != &source) {
            ++it;
            continue;
        }
        auto entry = s.entries.find(it->second.entry);
        if (entry != s.entries.end()) {
            auto& keys = entry->second.consumers;
            keys.erase(std::remove(keys.begin(), keys.end(), it->first), keys.end());
            if (keys.empty())
                s.forget(entry->first);
        }
        it = s.consumers.erase(it);
    }
}

void RankPrefetch::abort()
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    s.aborted = true;
    std::vector<std::uint64_t> tokens;
    for (const auto& [token, entry] : s.entries)
        tokens.push_back(token);
    for (std::uint64_t token : tokens)
        s.forget(token);
    s.changed.notify_all();
}

} // namespace veltrop
