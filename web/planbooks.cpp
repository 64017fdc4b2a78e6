#include "web/planbooks.h"

#include <algorithm>

#include "web/pageindex.h"

namespace veltrop {

// Needs no memory but for the failure's words, which it goes without when
// there is none.
void PagePlan::State::end(Read& read, bool opened, const FetchPool::Failure& failure)
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

void PagePlan::State::endAll(const std::vector<Key>& keys, bool opened, const FetchPool::Failure& failure)
{
    for (Key key : keys)
        if (auto it = reads.find(key); it != reads.end() && !it->second.done)
            end(it->second, opened, failure);
}

// Throws only when there is no memory to plan the page; then nothing of it
// was kept.
void PagePlan::State::startEntry(const std::string& url, std::vector<Key> keys, bool further)
{
    std::sort(keys.begin(), keys.end());
    const Page id = nextEntry++;
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

// Asks for the entry's page, ahead of the loop as far as the plan's
// look-ahead allows. When it cannot (no memory), the entry's reads end as not
// opened.
void PagePlan::State::launch(Page id)
{
    auto it = entries.find(id);
    if (it == entries.end() || aborted)
        return;
    Entry& entry = it->second;
    if (entry.reads.empty()) {
        erase(id);
        return;
    }
    try {
        waitingForPlace.emplace(entry.reads.front(), id);
    } catch (...) {
        endAll(entry.reads, entry.further, because(FetchPool::Failure::Reason::OutOfMemory));
        erase(id);
        changed.notify_all();
        return;
    }
    entry.order = entry.reads.front();
    entry.asked = true;
    const bool waitedOn =
        waiting && std::find(entry.reads.begin(), entry.reads.end(), waitedFor) != entry.reads.end();
    pump();
    if (waitedOn)
        hurry(id);
}

void PagePlan::State::erase(Page id)
{
    auto it = entries.find(id);
    if (it == entries.end())
        return;
    auto sharedIt = shared.find(it->second.url);
    if (sharedIt != shared.end() && sharedIt->second == id)
        shared.erase(sharedIt);
    if (it->second.asked)
        waitingForPlace.erase({it->second.order, id});
    entries.erase(it);
}

// The entry's page is no longer wanted either, and the reads that waited on
// it end. Its place ahead of the loop goes at the next pump.
void PagePlan::State::forget(Page id, const FetchPool::Failure& why)
{
    auto it = entries.find(id);
    if (it == entries.end())
        return;
    endAll(it->second.reads, it->second.further, why);
    if (auto transfer = inEngine.find(id); transfer != inEngine.end()) {
        try {
            unwanted.push_back(transfer->second);
            inEngine.erase(transfer);
            placed.erase(id);
        } catch (...) {
            // Its page is still read, and lands on an entry that is gone.
        }
    }
    erase(id);
}

// Asks again for the page `key` waits on, in case it could not be handed to
// the engine before.
void PagePlan::State::hurryWaitedPage(Key key)
{
    auto it = reads.find(key);
    if (aborted || it == reads.end() || it->second.done)
        return;
    if (auto entry = entries.find(it->second.entry); entry != entries.end() && entry->second.asked)
        hurry(entry->first);
}

// Hands the pages waiting for a place to the engine, the lowest order first,
// while the look-ahead allows.
void PagePlan::State::pump()
{
    while (!aborted && !waitingForPlace.empty() && (lookahead == 0 || int(placed.size()) < lookahead))
        if (!hand(waitingForPlace.begin()->second, false))
            return;  // no memory to ask for it now; the next pump or hurry tries again
}

// Hands a waiting page to the engine; false (and the page still waiting) when
// there was no memory to.
bool PagePlan::State::hand(Page id, bool hurried)
{
    const Entry& entry = entries.at(id);
    try {
        // Everything that needs memory first: the page either goes to the
        // engine whole, or stays waiting as it was.
        placed.insert(id);
        inEngine.try_emplace(id, 0);
        FetchPool::Request request;
        request.url = entry.url;
        request.order = entry.order;
        inEngine[id] = engine.fetch(std::move(request), [self = weak_from_this(), id](FetchPool::Arrival& arrival) {
            if (auto state = self.lock())
                state->land(id, arrival);
        });
    } catch (...) {
        placed.erase(id);
        inEngine.erase(id);
        return false;
    }
    waitingForPlace.erase({entry.order, id});
    if (hurried)
        engine.hurry(inEngine.at(id));
    return true;
}

// The loop waits for this page: it is handed to the engine at once, past the
// look-ahead, ahead of its host's other pages. Asking again is harmless, and
// gets a page going that could not be handed on before.
void PagePlan::State::hurry(Page id)
{
    if (auto transfer = inEngine.find(id); transfer != inEngine.end()) {
        engine.hurry(transfer->second);
        return;
    }
    auto entry = entries.find(id);
    if (!aborted && entry != entries.end() && waitingForPlace.contains({entry->second.order, id}))
        hand(id, true);
}

// The loop has taken what the page gave; the next page may be asked for.
void PagePlan::State::release(Page id)
{
    if (placed.erase(id))
        pump();
}

void PagePlan::State::forgetUnwanted()
{
    std::vector<FetchPool::Id> ids;
    {
        std::lock_guard lock(mutex);
        ids.swap(unwanted);
        pump();
    }
    for (FetchPool::Id id : ids)
        engine.cancel(id);
}

// The page lands whatever its readers do: a page used up frees its place
// ahead of the loop at once, one that ended a read keeps it until the loop
// takes the read.
void PagePlan::State::land(Page id, const FetchPool::Arrival& arrival)
{
    bool usedUp = true;
    try {
        usedUp = arrived(id, arrival);
    } catch (...) {
        std::lock_guard lock(mutex);
        inEngine.erase(id);
        release(id);
        throw;
    }
    std::lock_guard lock(mutex);
    inEngine.erase(id);
    if (usedUp)
        release(id);
}

// False when a read ended with the page and waits for the loop to take it.
// Whatever fails here (a reader, memory), every read that wanted the page
// ends or goes on to its next page.
bool PagePlan::State::arrived(Page id, const FetchPool::Arrival& arrival)
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
                work.push_back({key, reads.at(key).reader, FetchPool::Failure::Reason::None, {}});
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

} // namespace veltrop
