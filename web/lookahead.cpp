#include "web/lookahead.h"

#include <map>
#include <mutex>
#include <set>
#include <unordered_map>
#include <vector>

namespace veltrop {

struct LookAhead::State : std::enable_shared_from_this<State> {
    struct Waiting {
        FetchPool::Request request;
        Handler handler;
    };
    using WaitingMap = std::map<std::pair<std::uint64_t, Token>, Waiting>;

    State(FetchPool& engine, int limit) : engine(engine), limit(limit) {}

    FetchPool& engine;  // touched only while not closed: the engine outlives the look-ahead
    const int limit;
    // Guards the members below. A token is in at most one of `waiting`
    // (keyed by order, with its order in `orderOf`) and `placed`; a placed
    // token is in `inEngine` until its handler has returned. `placed`
    // exceeds limit only by pages the loop hurried.
    std::mutex mutex;
    WaitingMap waiting;
    std::unordered_map<Token, std::uint64_t> orderOf;
    std::set<Token> placed;
    std::unordered_map<Token, FetchPool::Id> inEngine;
    Token next = 1;
    bool closed = false;  // the look-ahead is gone: nothing more is asked

    // With mutex held: asks the engine for pages while the limit allows.
    void pump()
    {
        while (!closed && !waiting.empty() && (limit == 0 || int(placed.size()) < limit))
            if (!launch(waiting.begin(), false))
                return;  // no memory to ask for it now; the next pump or hurry tries again
    }

    // With mutex held: hands a waiting page to the engine; false (and the
    // page still waiting) when there was no memory to.
    bool launch(WaitingMap::iterator at, bool hurried)
    {
        const Token token = at->first.second;
        try {
            // Everything that needs memory first: the page either goes to the
            // engine whole, or stays waiting as it was.
            placed.insert(token);
            inEngine.try_emplace(token, 0);
            FetchPool::Handler handler = [self = shared_from_this(), token,
                                          inner = at->second.handler](FetchPool::Arrival& arrival) {
                // The page lands whatever its handler does, so that its place
                // always goes on to the next page.
                bool usedUp = true;
                try {
                    usedUp = inner(arrival);
                } catch (...) {
                    self->landed(token, true);
                    throw;
                }
                self->landed(token, usedUp);
            };
            FetchPool::Request request = at->second.request;
            inEngine[token] = engine.fetch(std::move(request), std::move(handler));
        } catch (...) {
            placed.erase(token);
            inEngine.erase(token);
            return false;
        }
        orderOf.erase(token);
        waiting.erase(at);
        if (hurried)
            engine.hurry(inEngine.at(token));
        return true;
    }

    void landed(Token token, bool usedUp)
    {
        std::lock_guard lock(mutex);
        inEngine.erase(token);
        if (usedUp && placed.erase(token))
            pump();
    }
};

LookAhead::LookAhead(FetchPool& engine, int limit) : state_(std::make_shared<State>(engine, limit < 0 ? 0 : limit))
{
}

LookAhead::~LookAhead()
{
    State& s = *state_;
    std::vector<FetchPool::Id> ids;
    {
        std::lock_guard lock(s.mutex);
        s.closed = true;
        s.waiting.clear();
        s.orderOf.clear();
        for (const auto& [token, id] : s.inEngine)
            ids.push_back(id);
        s.inEngine.clear();
        s.placed.clear();
    }
    // Unlocked: a handler that runs now may still land here.
    for (FetchPool::Id id : ids)
        s.engine.cancel(id);
}

LookAhead::Token LookAhead::ask(FetchPool::Request request, Handler handler)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    const Token token = s.next++;
    if (s.closed)
        return token;
    s.orderOf[token] = request.order;
    try {
        s.waiting.emplace(std::pair{request.order, token}, State::Waiting{std::move(request), std::move(handler)});
    } catch (...) {
        s.orderOf.erase(token);
        throw;
    }
    s.pump();
    return token;
}

void LookAhead::hurry(Token token)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (auto it = s.inEngine.find(token); it != s.inEngine.end()) {
        s.engine.hurry(it->second);
        return;
    }
    auto order = s.orderOf.find(token);
    if (order == s.orderOf.end() || s.closed)
        return;
    s.launch(s.waiting.find({order->second, token}), true);
}

void LookAhead::release(Token token)
{
    State& s = *state_;
    std::lock_guard lock(s.mutex);
    if (s.placed.erase(token))
        s.pump();
}

void LookAhead::forget(Token token)
{
    State& s = *state_;
    FetchPool::Id id = 0;
    {
        std::lock_guard lock(s.mutex);
        if (auto order = s.orderOf.find(token); order != s.orderOf.end()) {
            s.waiting.erase({order->second, token});
            s.orderOf.erase(order);
            return;
        }
        s.placed.erase(token);
        auto it = s.inEngine.find(token);
        if (it != s.inEngine.end()) {
            id = it->second;
            s.inEngine.erase(it);
        }
        s.pump();
    }
    if (id)
        s.engine.cancel(id);
}

} // namespace veltrop
