#pragma once
// Pages asked of the engine ahead of a loop that takes them in order: at most
// `limit` of them asked for and not yet taken at once (0: as many as the
// engine allows), the lowest order first. A limit of one reads one page after
// another: the next is asked for once the loop has taken the one before.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <unordered_map>

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
    // Forgets every page still waiting or in flight; a handler running on a
    // worker is waited for.
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
    // Its handler is not called after this returns, unless it runs already;
    // then, called from the window's thread, it is waited for.
    void forget(Token token);

private:
    struct Waiting {
        FetchPool::Request request;
        Handler handler;
    };
    // With mutex_ held: asks the engine for pages while the limit allows.
    void pump();
    // With mutex_ held: hands a waiting page to the engine; false (and the
    // page still waiting) when there was no memory to.
    bool launch(std::map<std::pair<std::uint64_t, Token>, Waiting>::iterator at, bool hurried);
    void landed(Token token, bool usedUp);

    FetchPool& engine_;
    const int limit_;
    // Guards the members below. A token is in at most one of `waiting_`
    // (keyed by order, with its order in `orderOf_`) and `placed_`; a placed
    // token is in `inEngine_` until its handler has returned. `placed_`
    // exceeds limit_ only by pages the loop hurried.
    std::mutex mutex_;
    std::map<std::pair<std::uint64_t, Token>, Waiting> waiting_;
    std::unordered_map<Token, std::uint64_t> orderOf_;
    std::set<Token> placed_;
    std::unordered_map<Token, FetchPool::Id> inEngine_;
    Token next_ = 1;
    bool closed_ = false;  // the destructor runs: nothing more is asked
};

} // namespace veltrop
