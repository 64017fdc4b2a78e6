#include "web/lookahead.h"

#include <vector>

namespace veltrop {

LookAhead::LookAhead(FetchPool& engine, int limit) : engine_(engine), limit_(limit < 0 ? 0 : limit) {}

LookAhead::~LookAhead()
{
    std::vector<FetchPool::Id> ids;
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        waiting_.clear();
        orderOf_.clear();
        for (const auto& [token, id] : inEngine_)
            ids.push_back(id);
        inEngine_.clear();
        placed_.clear();
    }
    // Unlocked: a handler that runs now may still land here.
    for (FetchPool::Id id : ids)
        engine_.cancel(id);
}

LookAhead::Token LookAhead::ask(FetchPool::Request request, Handler handler)
{
    std::lock_guard lock(mutex_);
    const Token token = next_++;
    if (closed_)
        return token;
    orderOf_[token] = request.order;
    waiting_.emplace(std::pair{request.order, token}, Waiting{std::move(request), std::move(handler)});
    pump();
    return token;
}

void LookAhead::pump()
{
    while (!closed_ && !waiting_.empty() && (limit_ == 0 || int(placed_.size()) < limit_))
        if (!launch(waiting_.begin(), false))
            return;  // no memory to ask for it now; the next pump or hurry tries again
}

bool LookAhead::launch(std::map<std::pair<std::uint64_t, Token>, Waiting>::iterator at, bool hurried)
{
    const Token token = at->first.second;
    try {
        // Everything that needs memory first: the page either goes to the
        // engine whole, or stays waiting as it was.
        placed_.insert(token);
        inEngine_.try_emplace(token, 0);
        FetchPool::Handler handler = [this, token, inner = at->second.handler](FetchPool::Arrival& arrival) {
            // The page lands whatever its handler does, so that its place
            // always goes on to the next page.
            bool usedUp = true;
            try {
                usedUp = inner(arrival);
            } catch (...) {
                landed(token, true);
                throw;
            }
            landed(token, usedUp);
        };
        FetchPool::Request request = at->second.request;
        inEngine_[token] = engine_.fetch(std::move(request), std::move(handler));
    } catch (...) {
        placed_.erase(token);
        inEngine_.erase(token);
        return false;
    }
    orderOf_.erase(token);
    waiting_.erase(at);
    if (hurried)
        engine_.hurry(inEngine_.at(token));
    return true;
}

void LookAhead::landed(Token token, bool usedUp)
{
    std::lock_guard lock(mutex_);
    inEngine_.erase(token);
    if (usedUp && placed_.erase(token))
        pump();
}

void LookAhead::hurry(Token token)
{
    std::lock_guard lock(mutex_);
    if (auto it = inEngine_.find(token); it != inEngine_.end()) {
        engine_.hurry(it->second);
        return;
    }
    auto order = orderOf_.find(token);
    if (order == orderOf_.end() || closed_)
        return;
    launch(waiting_.find({order->second, token}), true);
}

void LookAhead::release(Token token)
{
    std::lock_guard lock(mutex_);
    if (placed_.erase(token))
        pump();
}

void LookAhead::forget(Token token)
{
    FetchPool::Id id = 0;
    {
        std::lock_guard lock(mutex_);
        if (auto order = orderOf_.find(token); order != orderOf_.end()) {
            waiting_.erase({order->second, token});
            orderOf_.erase(order);
            return;
        }
        placed_.erase(token);
        auto it = inEngine_.find(token);
        if (it != inEngine_.end()) {
            id = it->second;
            inEngine_.erase(it);
        }
        pump();
    }
    if (id)
        engine_.cancel(id);
}

} // namespace veltrop
