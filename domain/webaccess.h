#pragma once
// What a command needs to read the web: the engine, how far it may read
// ahead, and the window's turns while it waits.
#include <functional>
#include <string>

#include "web/fetchpool.h"
#include "web/pageplan.h"
#include "web/wait.h"

namespace veltrop {

struct WebAccess {
    FetchPool& engine;
    // How many pages a command asks for ahead of the one it waits on: 0 as
    // many as the engine allows, 1 one page after another. What it shows is
    // the same either way.
    int lookahead = 0;
    // The window's turn while a page loads.
    WaitHook wait;
    // True once the window is closing: every page of the command then fails
    // at once, so it comes to its end promptly.
    std::function<bool()> closing;

    // The turn for waits on `pages`: the window's, after which a closing
    // window stops every page of the plan.
    WaitHook turnsFor(PagePlan& pages) const
    {
        return [this, &pages] {
            if (wait)
                wait();
            if (closing && closing())
                pages.abort();
        };
    }
};

// Why a page did not open, for a person: "the page answered 500",
// "no answer in 60 s" (the page's own time limit), "could not connect",
// "the page answered 503, retried twice".
std::string whyNotOpened(const FetchPool::Failure& failure);

// Where a command tells the user something: a message box, in the window.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void message(const std::string& text) = 0;
};

} // namespace veltrop
