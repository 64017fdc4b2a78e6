// A command on its own thread and the front end that shows it: updates in
// order, questions answered on the front end's thread, the outcome last, and
// an abandoned command ending at once.
#include "app/commandrunner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace veltrop {
namespace {

using namespace std::chrono_literals;

TEST(CommandRunner, UpdatesComeInOrderOnTheFrontEndsThreadAndTheOutcomeLast)
{
    for (const bool notified : {false, true}) {
        SCOPED_TRACE(notified ? "a window's loop" : "driven by the caller");
        CommandRunner runner;
        std::mutex mutex;
        std::condition_variable woken;
        bool posted = false;
        if (notified)
            runner.setNotifier([&] {
                std::lock_guard lock(mutex);
                posted = true;
                woken.notify_one();
            });
        const std::thread::id frontEnd = std::this_thread::get_id();
        std::string shown;
        bool allOnFrontEnd = true;
        std::atomic<int> progress = 0;  // how far the command got
        bool lockstep = true;           // each update applied before the command went on
        const auto show = [&](char c) {
            allOnFrontEnd = allOnFrontEnd && std::this_thread::get_id() == frontEnd;
            lockstep = lockstep && progress == c - 'a' + 1;
            shown += c;
        };
        runner.run([&]() -> CommandRunner::Update {
            for (char c : std::string("abc")) {
                ++progress;
                runner.post([&show, c] { show(c); });
            }
            const bool ticked = runner.ask([&] { return shown == "abc"; }, false);
            return [&, ticked] { shown += ticked ? "!" : "?"; };
        });
        while (runner.running()) {
            std::unique_lock lock(mutex);
            woken.wait_for(lock, 1ms, [&] { return posted; });
            posted = false;
            lock.unlock();
            runner.applyPending();
        }
        EXPECT_EQ(shown, "abc!");
        EXPECT_TRUE(allOnFrontEnd);
        if (!notified) {
            EXPECT_TRUE(lockstep);
        }
    }
}

TEST(CommandRunner, AnAbandonedCommandIsAnsweredOtherwiseAndShowsNothingMore)
{
    CommandRunner runner;
    std::atomic<bool> answered = true;
    std::string shown;
    runner.setNotifier([] {});  // nobody applies: the command waits on its question
    runner.run([&]() -> CommandRunner::Update {
        runner.post([&] { shown += "posted"; });
        answered = runner.ask([] { return true; }, false);
        return [&] { shown += "outcome"; };
    });
    std::this_thread::sleep_for(20ms);
    const auto start = std::chrono::steady_clock::now();
    runner.abandon();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 100ms);
    EXPECT_FALSE(runner.running());
    EXPECT_FALSE(answered);
    runner.applyPending();
    EXPECT_EQ(shown, "");
}

TEST(CommandRunner, WhatTheCommandThrowsReachesTheFrontEnd)
{
    CommandRunner runner;
    EXPECT_THROW(runner.run([]() -> CommandRunner::Update { throw std::runtime_error("out of memory"); }),
                 std::runtime_error);
    EXPECT_FALSE(runner.running());
}

} // namespace
} // namespace veltrop
