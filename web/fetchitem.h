#pragma once
// One page inside the fetch engine, from fetch until its handler returns:
// the engine's lock guards all of it.
#include <chrono>
#include <list>
#include <string>

#include "web/fetchpool.h"
#include "web/hostqueue.h"
#include "web/transfer.h"

namespace veltrop {

using Clock = std::chrono::steady_clock;

struct Item {
    enum class State {
        Queued,    // in its host's queue
        Running,   // a transfer on the multi handle
        Pausing,   // failed for a passing reason; asked again at retryAt
        Finished,  // its answer waits for a worker
        Handling,  // a worker indexes it and runs its handler
    };
    FetchPool::Id id = 0;
    FetchPool::Request request;
    std::string host;
    bool hurried = false;
    bool cancelled = false;  // dropped while Running, Finished or Handling: the handler is not called
    FetchPool::Handler handler;
    State state = State::Queued;
    int attempts = 0;
    Clock::time_point deadline;  // the time limit, from the first start
    Clock::time_point retryAt;
    transfer::EasyHandle easy;
    transfer::BodySink sink;
    // What the page ended with, from Finished on.
    transfer::Answer answer;
    FetchPool::Failure::Reason reason = FetchPool::Failure::Reason::None;
    // Its place in the finished queue, made with the item, so that finishing
    // a page never needs memory (running out must not keep it from ending).
    std::list<FetchPool::Id> finishedNode;
    std::list<FetchPool::Id>::iterator finishedAt;

    // Hurried pages first, then by order, then first come first served.
    HostQueue::Key key() const { return {!hurried, request.order, id}; }
};

} // namespace veltrop
