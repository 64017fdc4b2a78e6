// The window's turns while its thread waits for pages or works on its own.
#include "web/wait.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>
#include <stdexcept>
#include <vector>

namespace veltrop {
namespace {

using namespace std::chrono_literals;
using Clock = WaitClock;

double ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// A command's loop on the window's thread: `steps` times, a wait that ends
// `waitFor` after it starts (none for zero: work that waits for nothing and
// gives turns when due), then `work` of its own.
struct Loop {
    const char* name;
    std::chrono::milliseconds waitFor, work;
    int steps;
};

void PrintTo(const Loop& loop, std::ostream* out) { *out << loop.name; }

class WaitTurnsTest : public ::testing::TestWithParam<Loop> {};

TEST_P(WaitTurnsTest, TheWindowGetsItsTurnEveryFrameAndNoMoreOften)
{
    const Loop loop = GetParam();
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<bool> done{false};
    // Wakes the waits often, so each ends close to its time.
    std::thread ticker([&] {
        while (!done) {
            std::this_thread::sleep_for(1ms);
            std::lock_guard lock(mutex);
            changed.notify_all();
        }
    });

    std::vector<Clock::time_point> turns;
    const WaitHook hook = [&] { turns.push_back(Clock::now()); };
    const auto start = Clock::now();
    for (int i = 0; i < loop.steps; ++i) {
        if (loop.waitFor > 0ms) {
            const auto readyAt = Clock::now() + loop.waitFor;
            std::unique_lock lock(mutex);
            waitWithHook(lock, changed, [&] { return Clock::now() >= readyAt; }, hook);
        }
        for (const auto until = Clock::now() + loop.work; Clock::now() < until;)
            giveTurnIfDue(hook);
    }
    const auto end = Clock::now();
    done = true;
    ticker.join();

    // Each step ends before a whole slice: only the time since the last turn
    // brings the next one.
    const double elapsed = ms(end - start);
    const double slice = ms(waitSlice);
    EXPECT_GE(double(turns.size()), elapsed / slice / 2) << loop.name;
    EXPECT_LE(double(turns.size()), elapsed / slice + 2) << loop.name;
    turns.insert(turns.begin(), start);
    turns.push_back(end);
    double longest = 0;
    for (std::size_t i = 1; i < turns.size(); ++i)
        longest = std::max(longest, ms(turns[i] - turns[i - 1]));
    // Room for a busy machine's late wake-ups; one turn per step or per
    // slice of its own would be well past it.
    EXPECT_LT(longest, 4 * ms(frame)) << loop.name;
}

INSTANTIATE_TEST_SUITE_P(Loops, WaitTurnsTest,
                         ::testing::Values(Loop{"reads each ready just before a slice", waitSlice * 4 / 5, 0ms, 12},
                                           Loop{"work between short waits", 3ms, waitSlice / 2, 12},
                                           Loop{"work that waits for nothing", 0ms, waitSlice * 3 / 4, 12}));

TEST(RunBesideHookTest, TheHookRunsWhileTheWorkRunsAndAFailureComesBack)
{
    std::atomic<int> turns{0};
    const WaitHook hook = [&] { ++turns; };
    const auto window = std::this_thread::get_id();
    std::thread::id workedOn;
    // The work ends only once the window has had turns meanwhile.
    runBesideHook(
        [&] {
            workedOn = std::this_thread::get_id();
            while (turns < 3)
                std::this_thread::sleep_for(1ms);
        },
        hook);
    EXPECT_NE(workedOn, window);

    EXPECT_THROW(runBesideHook([] { throw std::runtime_error("out of memory"); }, hook), std::runtime_error);

    // With no window to hand turns to, there is nothing to wait beside.
    runBesideHook([&] { workedOn = std::this_thread::get_id(); }, WaitHook{});
    EXPECT_EQ(workedOn, window);
}

} // namespace
} // namespace veltrop
