#include "lists/listpages.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>

#include "web/lookahead.h"

namespace veltrop {
namespace {

bool isTicker(const std::string& cell) { return !cell.empty(); }

} // namespace

struct ListPages::State : std::enable_shared_from_this<State> {
    struct Chain {
        int position = 0;
        // Read by one worker at a time: a list's next page is asked for only
        // once the page before it was read.
        std::shared_ptr<TableWalker> walker;
        std::vector<std::optional<Page>> pages;  // by page number, as they arrive
        std::map<int, LookAhead::Token> asked;   // pages asked for and not yet arrived
        std::map<int, LookAhead::Token> tokens;  // every page asked for
    };

    // Guards every member below. `ahead` is used only with the lock held and
    // while not `aborted`; only abort() (on the window's thread) takes it
    // away, so a handler that finds the walk aborted touches nothing.
    // Pages are never read under the lock.
    std::mutex mutex;
    std::condition_variable changed;
    std::unique_ptr<LookAhead> ahead;
    std::map<std::string, Chain> chains;
    bool isFull = false;
    bool aborted = false;

    // With the lock held.
    void ask(const std::string& url, const std::string& pageUrl, int n)
    {
        Chain& chain = chains.at(url);
        std::weak_ptr<State> self = weak_from_this();
        FetchPool::Request request;
        request.url = pageUrl;
        request.order = std::uint64_t(chain.position) * 1000 + std::uint64_t(n);
        // The page is kept for the walker, whose take frees its place.
        chain.tokens[n] = chain.asked[n] =
            ahead->ask(std::move(request), [self, url, pageUrl, n](FetchPool::Arrival& arrival) {
                if (auto state = self.lock())
                    state->arrived(url, pageUrl, n, arrival);
                return false;
            });
    }

    // On a worker thread.
    void arrived(const std::string& url, const std::string& pageUrl, int n, const FetchPool::Arrival& arrival)
    {
        std::shared_ptr<TableWalker> walker;
        {
            std::lock_guard lock(mutex);
            auto chain = chains.find(url);
            if (aborted || chain == chains.end())
                return;
            walker = chain->second.walker;
        }
        Page page;
        if (arrival.page) {
            // Unlocked: only this worker reads the list now. A page that
            // cannot be read (out of memory) is one that did not open.
            try {
                TableWalker::Rows rows = walker->read(IndexPage(*arrival.page, arrival.finalUrl), pageUrl);
                page = {true, std::move(rows.cells), std::move(rows.next)};
            } catch (const std::exception&) {
                page = {};
            }
        }
        std::lock_guard lock(mutex);
        auto chain = chains.find(url);
        if (aborted || chain == chains.end())
            return;
        chain->second.asked.erase(n);
        if (!page.next.empty() && !(isFull && !page.tickers.empty()))
            ask(url, page.next, n + 1);
        auto& pages = chain->second.pages;
        if (pages.size() <= std::size_t(n))
            pages.resize(std::size_t(n) + 1);
        pages[std::size_t(n)] = std::move(page);
        changed.notify_all();
    }
};

ListPages::ListPages(FetchPool& engine, int lookahead) : state_(std::make_shared<State>())
{
    state_->ahead = std::make_unique<LookAhead>(engine, lookahead);
}

ListPages::~ListPages() { abort(); }

void ListPages::plan(const std::string& url, const TableWalk& walk, int position)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.aborted || s.chains.contains(url))
        return;
    State::Chain& chain = s.chains[url];
    chain.position = position;
    chain.walker = std::make_shared<TableWalker>(walk, isTicker);
    s.ask(url, url, 0);
}

bool ListPages::planned(const std::string& url) const
{
    std::lock_guard lock(state_->mutex);
    return state_->chains.contains(url);
}

ListPages::Page ListPages::take(const std::string& url, int n, const WaitHook& wait)
{
    State& s = *state_;
    std::unique_lock lock(s.mutex);
    const auto there = [&]() -> const std::optional<Page>* {
        auto chain = s.chains.find(url);
        if (chain == s.chains.end())
            return nullptr;
        const auto& pages = chain->second.pages;
        return std::size_t(n) < pages.size() && pages[std::size_t(n)] ? &pages[std::size_t(n)] : nullptr;
    };
    const auto coming = [&] {
        auto chain = s.chains.find(url);
        return chain != s.chains.end() && chain->second.asked.contains(n);
    };
    if (s.aborted)
        return {};
    if (auto chain = s.chains.find(url); chain != s.chains.end())
        if (auto token = chain->second.asked.find(n); token != chain->second.asked.end())
            s.ahead->hurry(token->second);
    waitWithHook(lock, s.changed, [&] { return s.aborted || there() || !coming(); }, wait);
    const std::optional<Page>* page = there();
    if (s.aborted || !page)
        return {};
    s.ahead->release(s.chains.at(url).tokens.at(n));
    return **page;
}

void ListPages::full()
{
    std::lock_guard lock(state_->mutex);
    state_->isFull = true;
}

void ListPages::drop(const std::string& url)
{
    State& s = *state_;
    std::vector<LookAhead::Token> tokens;
    LookAhead* lookahead = nullptr;
    {
        std::lock_guard lock(s.mutex);
        auto chain = s.chains.find(url);
        if (s.aborted || chain == s.chains.end())
            return;
        for (const auto& [n, token] : chain->second.tokens)
            tokens.push_back(token);
        s.chains.erase(chain);
        lookahead = s.ahead.get();
    }
    // Unlocked: forgetting a page may wait for its handler, which locks.
    // Only this thread takes `ahead` away.
    for (LookAhead::Token token : tokens)
        lookahead->forget(token);
}

void ListPages::abort()
{
    State& s = *state_;
    std::unique_ptr<LookAhead> ahead;
    {
        std::lock_guard lock(s.mutex);
        s.aborted = true;
        s.chains.clear();
        ahead = std::move(s.ahead);
        s.changed.notify_all();
    }
    ahead.reset();
}

} // namespace veltrop
