// Which page a free place goes to: no network, no threads.
#include "web/hostqueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace veltrop {
namespace {

TEST(HostQueue, TheBusiestHostUnderItsLimitStartsItsFirstPage)
{
    // add: a page of `host` with `order` and `id`; take: the next page starts
    // (0 when none may); end: one of `host`'s transfers ended.
    enum Kind { Add, Hurry, Remove, Take, End };
    struct Op {
        Kind kind;
        const char* host = "";
        std::uint64_t order = 0;
        HostQueue::Id id = 0;
    };
    struct Row {
        const char* what;
        int perHost;
        std::vector<Op> ops;
        std::vector<HostQueue::Id> started;
    };
    const Row rows[] = {
        {"the most pages waiting first, as many by name",
         6,
         {{Add, "b", 0, 3}, {Add, "b", 0, 4}, {Add, "a", 0, 1}, {Add, "b", 0, 5}, {Add, "a", 0, 2},
          {Take}, {Take}, {Take}, {Take}, {Take}, {Take}},
         {3, 1, 4, 2, 5, 0}},
        {"a name sorts before another whatever came first",
         6,
         {{Add, "zeta", 0, 1}, {Add, "alpha", 0, 2}, {Take}, {Take}},
         {2, 1}},
        {"a host at its limit waits for a transfer to end",
         1,
         {{Add, "a", 0, 1}, {Add, "a", 0, 2}, {Add, "a", 0, 3}, {Add, "b", 0, 4}, {Take}, {Take}, {Take},
          {End, "a"}, {Take}, {Take}},
         {1, 4, 0, 2, 0}},
        {"the lowest order first, a hurried page before them, once",
         6,
         {{Add, "a", 5, 1}, {Add, "a", 3, 2}, {Add, "a", 9, 3}, {Hurry, "a", 9, 3}, {Hurry, "a", 9, 3},
          {Take}, {Take}, {Take}},
         {3, 2, 1}},
        {"a removed page neither starts nor counts as waiting",
         6,
         {{Add, "a", 0, 1}, {Add, "a", 0, 2}, {Add, "b", 0, 3}, {Remove, "a", 0, 1}, {Remove, "c", 0, 9},
          {Take}, {Take}, {Take}},
         {2, 3, 0}},
        {"a page queued again after others started counts anew",
         6,
         {{Add, "a", 0, 1}, {Add, "b", 0, 2}, {Take}, {Add, "b", 0, 3}, {Take}, {Add, "a", 0, 4}, {Take}, {Take}},
         {1, 2, 4, 3}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        HostQueue queue(row.perHost);
        std::vector<HostQueue::Id> started;
        std::map<HostQueue::Id, std::string> hostOf;
        for (const Op& op : row.ops) {
            const HostQueue::Key key{true, op.order, op.id};
            switch (op.kind) {
            case Add:
                queue.add(op.host, key);
                hostOf[op.id] = op.host;
                break;
            case Hurry: queue.hurry(op.host, key); break;
            case Remove: queue.remove(op.host, key); break;
            case End: queue.ended(op.host); break;
            case Take:
                const std::optional<HostQueue::Id> next = queue.take();
                started.push_back(next.value_or(0));
                if (next)
                    queue.started(hostOf.at(*next));
                break;
            }
        }
        EXPECT_EQ(started, row.started);
    }
}

TEST(HostQueue, AHostsOwnLimitAndIntervalHoldWithoutAThreadWaiting)
{
    using namespace std::chrono_literals;
    HostQueue queue(6);
    queue.setLimits({{"slow", {1, 200ms}}, {"pair", {2, 0ms}}});
    for (HostQueue::Id id = 1; id <= 3; ++id) {
        queue.add("slow", {true, 0, id});
        queue.add("pair", {true, 0, 10 + id});
    }
    const HostQueue::Clock::time_point t0{};
    // Each takes a turn at the start: the busiest (as many wait) by name.
    const struct {
        HostQueue::Clock::duration at;
        std::vector<HostQueue::Id> started;  // what may start at that moment, in order
        std::optional<HostQueue::Clock::duration> wakeIn;
    } rows[] = {
        {0ms, {11, 1, 12}, std::nullopt},  // "pair" holds two; "slow" one, then rests
        {100ms, {}, 100ms},         // "slow" still resting, "pair" at its limit
        {200ms, {}, std::nullopt},  // rested, but its one transfer still runs
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::chrono::duration_cast<std::chrono::milliseconds>(row.at).count());
        EXPECT_EQ(queue.wake(t0 + row.at), row.wakeIn);
        std::vector<HostQueue::Id> started;
        while (const auto id = queue.take()) {
            started.push_back(*id);
            queue.started(*id < 10 ? "slow" : "pair", t0 + row.at);
        }
        EXPECT_EQ(started, row.started);
    }
    queue.ended("slow");
    EXPECT_EQ(queue.take(), HostQueue::Id{2}) << "its interval passed and its transfer ended";
}

} // namespace
} // namespace veltrop
