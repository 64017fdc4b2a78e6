#pragma once
// The one way the window's thread waits for pages: on a condition, handing
// the window its hook at least once a frame so it keeps handling input (a
// Cancel click, a close) and repainting while the engine works.
//
// The frame counts from the window's last turn on this thread, not from the
// start of each wait: a loop that takes many reads one after another, each
// ready just before a whole slice, would otherwise keep the window waiting
// for several slices in a row.
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace veltrop {

using WaitHook = std::function<void()>;
using WaitClock = std::chrono::steady_clock;

// The window handles input and repaints at least this often during a run.
inline constexpr auto frame = std::chrono::milliseconds(20);
// Turns are aimed at half the frame: a busy machine wakes a waiting thread
// late by several milliseconds, and work between turns adds its own.
inline constexpr auto waitSlice = frame / 2;

// When the window last had its turn on this thread.
inline thread_local WaitClock::time_point lastTurn{};

// The window handled its input by itself just now (a command starts from its
// event loop): its frame counts from here, not from its last hook.
inline void turnTaken() { lastTurn = WaitClock::now(); }

// Gives the window its turn now.
inline void giveTurn(const WaitHook& hook)
{
    if (!hook)
        return;
    lastTurn = WaitClock::now();
    hook();
}

// For long work on the window's thread that waits for nothing: gives the
// window its turn once its slice is up.
inline void giveTurnIfDue(const WaitHook& hook)
{
    if (hook && WaitClock::now() >= lastTurn + waitSlice)
        giveTurn(hook);
}

// Returns once `ready()` holds; `ready` is evaluated with `lock` held, the
// hook is called with it released.
template <class Ready>
void waitWithHook(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, Ready ready,
                  const WaitHook& hook)
{
    while (!ready()) {
        if (!hook) {
            changed.wait_for(lock, waitSlice, ready);
            continue;
        }
        if (changed.wait_until(lock, lastTurn + waitSlice, ready))
            return;
        lock.unlock();
        giveTurn(hook);
        lock.lock();
    }
}

// Runs `work`, one call that may take longer than a frame and cannot be cut
// up, on a thread of its own while this thread waits for it with the hook.
template <class Work>
void runBesideHook(Work&& work, const WaitHook& hook)
{
    if (!hook) {
        work();
        return;
    }
    std::mutex mutex;
    std::condition_variable changed;
    bool done = false;
    std::exception_ptr failure;
    // Joined on the way out even if the hook throws.
    std::jthread aside([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(mutex);
        done = true;
        changed.notify_all();
    });
    {
        std::unique_lock lock(mutex);
        waitWithHook(lock, changed, [&] { return done; }, hook);
    }
    aside.join();
    if (failure)
        std::rethrow_exception(failure);
}

} // namespace veltrop
