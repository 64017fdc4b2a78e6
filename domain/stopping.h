#pragma once
// The two ways a command is stopped, decided here and nowhere else.
//
// At once: a closing window, or a second Ctrl-C on the command line. Every
// page of the command ends there and then (the plans and the page fetcher
// hold the token), so the command comes to its end promptly.
//
// Cancel: a request the ranking loops read between tickers. The ticker whose
// page is being read is finished first; a Cancel given while no ranking loop
// runs (during the filter, or between commands) is forgotten when the loops
// begin.
#include <mutex>
#include <stop_token>

namespace veltrop {

class Stopping {
public:
    // ---- At once -----------------------------------------------------------
    void stopNow() { now_.request_stop(); }
    std::stop_token token() const { return now_.get_token(); }
    bool stopped() const { return now_.stop_requested(); }

    // ---- Cancel ------------------------------------------------------------
    // Any thread may ask. True when a ranking loop runs and will see it;
    // false when it is forgotten at the next loops' start.
    bool cancel()
    {
        std::lock_guard lock(mutex_);
        cancel_.request_stop();
        return ranking_;
    }
    // Cancel was asked and no ranking loop has begun or ended since.
    bool cancelRequested() const
    {
        std::lock_guard lock(mutex_);
        return cancel_.stop_requested();
    }

    // The ranking loops begin: what was asked before is forgotten, and the
    // token they read between tickers (and hand to their page waits) is new.
    std::stop_token rankingBegins()
    {
        std::lock_guard lock(mutex_);
        cancel_ = std::stop_source();
        ranking_ = true;
        return cancel_.get_token();
    }
    void rankingEnds()
    {
        std::lock_guard lock(mutex_);
        cancel_ = std::stop_source();
        ranking_ = false;
    }

private:
    std::stop_source now_;
    // Guards cancel_ and ranking_: while ranking_ holds, cancel_ is the source
    // of the token the running loops read.
    mutable std::mutex mutex_;
    std::stop_source cancel_;
    bool ranking_ = false;
};

} // namespace veltrop
