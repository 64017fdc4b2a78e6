#pragma once
// The one way the window's thread waits for pages: on a condition, in slices
// of 20 ms, handing the window its hook between slices so it keeps handling
// input (a Cancel click, a close) while the engine works.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

namespace veltrop {

using WaitHook = std::function<void()>;

inline constexpr auto waitSlice = std::chrono::milliseconds(20);

// Returns once `ready()` holds; `ready` is evaluated with `lock` held, the
// hook is called with it released.
template <class Ready>
void waitWithHook(std::unique_lock<std::mutex>& lock, std::condition_variable& changed, Ready ready,
                  const WaitHook& hook)
{
    while (!ready()) {
        changed.wait_for(lock, waitSlice, ready);
        if (ready() || !hook)
            continue;
        lock.unlock();
        hook();
        lock.lock();
    }
}

} // namespace veltrop
