#pragma once
// Pages asked of the engine ahead of a loop that takes them in order: at most
// `limit` of them asked for and not yet taken at once (0: as many as the
// engine allows), the lowest order first. A limit of one reads one page after
// another: the next is asked for once the loop has taken the one before.
#include <cstdint>
#include <functional>
#include <memory>

#include "web/fetchpool.h"

namespace veltrop {

class LookAhead {
public:
    using Token = std::uint64_t;
    // Called on a worker with the page. True when the handler has used the
    // page up itself (its place goes to the next page at once); false when
    // it keeps what the page gave for the loop, which frees the place with
    // release() once it has taken it.
    using Handler = std::function<bool(FetchPool::Arrival&)>;

    LookAhead(FetchPool& engine, int limit);
    // Forgets every page still waiting or in flight, without waiting for a
    // handler that runs: that one finds the look-ahead closed.
    ~LookAhead();
    LookAhead(const LookAhead&) = delete;
    LookAhead& operator=(const LookAhead&) = delete;

    // May be called from any thread, a handler's included.
    Token ask(FetchPool::Request request, Handler handler);
    // The loop waits for this page: it is asked of the engine at once, past
    // the limit, ahead of its host's other pages. Asking again is harmless,
    // and gets a page going that the engine could not take before.
    void hurry(Token token);
    // The loop has taken what the page gave; the next page may be asked for.
    void release(Token token);
    // Its handler is not called after this returns, unless it runs already.
    void forget(Token token);

private:
    struct State;
    // Shared with every handler handed to the engine, so that one still
    // running when the look-ahead goes touches nothing freed.
    std::shared_ptr<State> state_;
};

} // namespace veltrop
