#include "web/pageplan.h"

#include <algorithm>

#include "web/planbooks.h"

namespace veltrop {

PagePlan::PagePlan(FetchPool& engine, int lookahead, std::stop_token stop)
    : state_(std::make_shared<State>(engine, lookahead)), onStop_(std::move(stop), [this] { abort(); })
{
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
        } else {
            s.startEntry(url, {key}, false);
        }
    } catch (...) {
        s.reads.erase(key);
        s.plannedKeys.erase(key);
        throw;
    }
}

std::shared_ptr<PageReader> PagePlan::anyReaderOf(Key key) const
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
    for (State::Page id : s.held)
        s.launch(id);
    s.held.clear();
}

std::shared_ptr<PageReader> PagePlan::takeAny(Key key, const std::stop_token& cancel, FetchPool::Failure* why)
{
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    if (s.aborted)
        return nullptr;
    s.release(std::exchange(s.lastTaken, 0));
    auto it = s.reads.find(key);
    if (it == s.reads.end())
        return nullptr;
    s.waitedFor = key;
    s.waiting = true;
    // `it` stays valid: only take and drop, on the loop's thread, erase reads.
    const auto ended = [&] { return s.aborted || it->second.done; };
    if (!s.await(lock, key, cancel, ended)) {
        // Cancel: this read ends after its page in flight, every other read
        // ends where it is.
        it->second.stopped = true;
        std::vector<State::Page> others;
        for (const auto& [id, entry] : s.entries)
            if (std::find(entry.reads.begin(), entry.reads.end(), key) == entry.reads.end())
                others.push_back(id);
        for (State::Page id : others)
            s.forget(id, State::because(FetchPool::Failure::Reason::Cancelled));
        lock.unlock();
        s.forgetUnwanted();
        lock.lock();
        s.await(lock, key, {}, ended);
    }
    if (s.aborted)
        return nullptr;
    std::shared_ptr<PageReader> reader = it->second.opened ? std::move(it->second.reader) : nullptr;
    if (why)
        *why = std::move(it->second.failure);
    s.lastTaken = it->second.entry;
    s.reads.erase(it);
    s.waiting = false;
    return reader;
}

std::size_t PagePlan::awaitPages(Key key, std::size_t seen)
{
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    auto it = s.reads.find(key);
    if (s.aborted || it == s.reads.end())
        return 0;
    s.waitedFor = key;
    s.waiting = true;
    s.await(lock, key, {}, [&] { return s.aborted || it->second.done || it->second.pagesRead > seen; });
    return s.aborted ? 0 : it->second.pagesRead;
}

void PagePlan::stopFurtherPages()
{
    State& s = *state_;
    {
        std::lock_guard lock(s.mutex);
        s.noFurther = true;
        std::vector<State::Page> further;
        for (const auto& [id, entry] : s.entries)
            if (entry.further)
                further.push_back(id);
        for (State::Page id : further)
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
            if (it->second.done)
                s.release(it->second.entry);
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
    std::unordered_map<State::Page, FetchPool::Id> inEngine;
    std::vector<FetchPool::Id> unwanted;
    {
        std::lock_guard lock(s.mutex);
        s.aborted = true;
        s.entries.clear();
        s.shared.clear();
        s.waitingForPlace.clear();
        s.placed.clear();
        inEngine.swap(s.inEngine);
        unwanted.swap(s.unwanted);
        s.changed.notify_all();
    }
    // Unlocked, as forgetting is. A handler of the plan that still runs
    // finds it aborted and touches nothing more.
    for (const auto& [page, id] : inEngine)
        s.engine.cancel(id);
    for (FetchPool::Id id : unwanted)
        s.engine.cancel(id);
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
        if (!entry->second.asked && std::find(s.held.begin(), s.held.end(), entry->first) == s.held.end())
            return "read " + std::to_string(key) + " waits on a page never asked for";
    }
    for (const auto& [id, entry] : s.entries)
        for (Key key : entry.reads)
            if (!s.reads.contains(key))
                return "a page lists read " + std::to_string(key) + ", which is gone";
    return {};
}

} // namespace veltrop
