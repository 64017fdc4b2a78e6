#include "app/commandrunner.h"

#include <chrono>
#include <exception>

namespace veltrop {
namespace {

// A front end that drives a command itself takes its turn at least this
// often, as a window would handle its input.
constexpr auto turnEvery = std::chrono::milliseconds(10);

} // namespace

void CommandRunner::run(std::function<Update()> work)
{
    {
        std::lock_guard lock(mutex_);
        abandoned_ = false;
    }
    finished_ = false;
    thread_ = std::jthread([this, work = std::move(work)] {
        Update outcome;
        try {
            outcome = work();
        } catch (...) {
            outcome = [failure = std::current_exception()] { std::rethrow_exception(failure); };
        }
        deliver(
            [this, outcome = std::move(outcome)] {
                finished_ = true;
                if (outcome)
                    outcome();
            },
            false);
    });
    if (!notify_)
        driveUntilEnded();
}

void CommandRunner::post(Update update) { deliver(std::move(update), false); }

bool CommandRunner::deliver(Update update, bool wait)
{
    std::unique_lock lock(mutex_);
    // One update ahead at most: each waits until the one before has been
    // applied, so the window gives every update a turn of its own and never
    // shows the command more than one step behind (a Cancel lands at the
    // ticker shown or the next).
    changed_.wait(lock, [&] { return abandoned_ || applied_ >= posted_; });
    if (abandoned_)
        return false;
    const bool wasEmpty = pending_.empty();
    pending_.push_back(std::move(update));
    const unsigned long long number = ++posted_;
    changed_.notify_all();
    if (notify_ && wasEmpty) {
        lock.unlock();
        notify_();
        lock.lock();
    }
    if (!wait && notify_)
        return true;
    changed_.wait(lock, [&] { return abandoned_ || applied_ >= number; });
    return !abandoned_;
}

bool CommandRunner::applyNext(bool turn)
{
    Update update;
    {
        std::lock_guard lock(mutex_);
        if (pending_.empty())
            return false;
        update = std::move(pending_.front());
        pending_.pop_front();
    }
    // Counted as applied whatever it throws, and the command that waits on
    // it goes on only after the front end's turn.
    struct Applied {
        CommandRunner& runner;
        ~Applied()
        {
            {
                std::lock_guard lock(runner.mutex_);
                ++runner.applied_;
                runner.changed_.notify_all();
            }
            if (runner.finished_) {
                runner.finished_ = false;
                runner.thread_.join();
            }
        }
    } applied{*this};
    update();
    if (turn && turn_ && !finished_ && running())
        turn_();
    return true;
}

void CommandRunner::applyPending()
{
    if (applying_)
        return;
    applying_ = true;
    struct Applying {
        bool& flag;
        ~Applying() { flag = false; }
    } applying{applying_};
    // Only what was there: an update posted meanwhile comes with a turn of
    // its own.
    std::size_t waiting;
    {
        std::lock_guard lock(mutex_);
        waiting = pending_.size();
    }
    while (waiting-- > 0 && applyNext(true)) {
    }
}

void CommandRunner::driveUntilEnded()
{
    if (turn_)
        turn_();
    while (running()) {
        bool waiting;
        {
            std::unique_lock lock(mutex_);
            waiting = changed_.wait_for(lock, turnEvery, [&] { return !pending_.empty(); });
        }
        if (!waiting || !applyNext(true))
            if (turn_ && running())
                turn_();
    }
}

void CommandRunner::abandon()
{
    if (!thread_.joinable())
        return;
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
        pending_.clear();
        changed_.notify_all();
    }
    thread_.join();
    finished_ = false;
}

} // namespace veltrop
