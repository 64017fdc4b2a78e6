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
    while (!closed_ && !waiting_.empty() && (limit_ == 0 || int(placed_.size()) < limit_)) {
        auto first = waiting_.begin();
        const Token token = first->first.second;
        Waiting waiting = std::move(first->second);
        waiting_.erase(first);
        orderOf_.erase(token);
        launch(token, std::move(waiting), false);
    }
}

void LookAhead::launch(Token token, Waiting waiting, bool hurried)
{
    FetchPool::Handler handler = [this, token, inner = std::move(waiting.handler)](FetchPool::Arrival& arrival) {
        const bool usedUp = inner(arrival);
        landed(token, usedUp);
    };
    placed_.insert(token);
    const FetchPool::Id id = engine_.fetch(std::move(waiting.request), std::move(handler));
    inEngine_[token] = id;
    if (hurried)
        engine_.hurry(id);
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
    auto waiting = waiting_.find({order->second, token});
    Waiting w = std::move(waiting->second);
    waiting_.erase(waiting);
    orderOf_.erase(order);
    launch(token, std::move(w), true);
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
