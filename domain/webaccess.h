#pragma once
// What a command needs to read the web: the engine, how far it may read
// ahead, and when it must end at once.
#include <stop_token>
#include <string>

#include "web/fetchpool.h"
#include "web/pageplan.h"

namespace veltrop {

struct WebAccess {
    FetchPool& engine;
    // How many pages a command asks for ahead of the one it waits on: 0 as
    // many as the engine allows, 1 one page after another. What it shows is
    // the same either way.
    int lookahead = 0;
    // Requested once the command must end at once (the window is closing):
    // every page of the command then ends, so it comes to its end promptly.
    std::stop_token stop;
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
