#include "app/commandrunner.h"

#include <chrono>
#include <exception>
#include <utility>

namespace veltrop {
namespace {

// How often a front end that drives a command itself takes its turn.
constexpr auto turnEvery = std::chrono::milliseconds(10);

} // namespace

void CommandRunner::run(std::function<Update()> work)
{
    {
        std::lock_guard lock(mutex_);
        abandoned_ = unapplied_ = false;
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
    // One update at a time: each waits until the one before has been
    // applied, so the window gives every update a turn of its own and never
    // shows the command more than one step behind.
    const auto done = [&] { return abandoned_ || !unapplied_; };
    changed_.wait(lock, done);
    if (abandoned_)
        return false;
    pending_ = std::move(update);
    unapplied_ = true;
    changed_.notify_all();
    if (notify_) {
        lock.unlock();
        notify_();
        if (!wait)
            return true;
        lock.lock();
    }
    changed_.wait(lock, done);
    return !abandoned_;
}

bool CommandRunner::applyNext()
{
    Update update;
    {
        std::lock_guard lock(mutex_);
        update = std::exchange(pending_, nullptr);
    }
    if (!update)
        return false;
    // Counted as applied whatever it throws; the command waiting on it goes
    // on only after the front end's turn.
    struct Applied {
        CommandRunner& runner;
        ~Applied() { runner.applied(); }
    } applied{*this};
    update();
    if (turn_ && !finished_ && running())
        turn_();
    return true;
}

void CommandRunner::applied()
{
    {
        std::lock_guard lock(mutex_);
        unapplied_ = false;
        changed_.notify_all();
    }
    if (std::exchange(finished_, false))
        thread_.join();
}

void CommandRunner::applyPending()
{
    if (std::exchange(applying_, true))
        return;
    try {
        applyNext();
    } catch (...) {
        applying_ = false;
        throw;
    }
    applying_ = false;
}

void CommandRunner::driveUntilEnded()
{
    if (turn_)
        turn_();
    while (running()) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait_for(lock, turnEvery, [&] { return bool(pending_); });
        }
        if (!applyNext() && turn_ && running())
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
        pending_ = nullptr;
        changed_.notify_all();
    }
    thread_.join();
    finished_ = false;
}

} // namespace veltrop
