// The engine and the page plan when memory runs out: the Nth allocation of
// the whole process fails (once), for every N across a run of paged list
// walks, and every read must still end. This binary replaces operator new,
// so it is a program of its own; the simulated web runs in a child process,
// where nothing fails.
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tools/simweb/server.h"
#include "web/fetchpool.h"
#include "web/pageplan.h"
#include "web/tablewalk.h"

namespace {

// -1: nothing fails. Otherwise the count of allocations still to succeed;
// the one that finds it at 0 fails and puts it back to -1.
std::atomic<long> allocationsLeft{-1};
std::atomic<long> allocations{0};

void* allocate(std::size_t size)
{
    allocations.fetch_add(1, std::memory_order_relaxed);
    long left = allocationsLeft.load(std::memory_order_relaxed);
    while (left >= 0) {
        if (allocationsLeft.compare_exchange_weak(left, left == 0 ? -1 : left - 1)) {
            if (left == 0)
                return nullptr;
            break;
        }
    }
    return std::malloc(size == 0 ? 1 : size);
}

} // namespace

void* operator new(std::size_t size)
{
    if (void* p = allocate(size))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace veltrop {
namespace {

using namespace std::chrono_literals;

// The simulated web in a forked child, reached through http_proxy.
class ChildWeb {
public:
    ChildWeb()
    {
        int ports[2];
        if (pipe(ports) != 0)
            std::abort();
        child_ = fork();
        if (child_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGTERM);
            close(ports[0]);
            simweb::Server web;
            const std::string url = web.proxyUrl();
            if (write(ports[1], url.data(), url.size()) < 0)
                _exit(1);
            close(ports[1]);
            pause();
            _exit(0);
        }
        close(ports[1]);
        char buffer[128] = {};
        const ssize_t got = read(ports[0], buffer, sizeof buffer - 1);
        close(ports[0]);
        proxy_ = got > 0 ? std::string(buffer, std::size_t(got)) : std::string();
    }
    ~ChildWeb()
    {
        kill(child_, SIGTERM);
        waitpid(child_, nullptr, 0);
    }
    const std::string& proxy() const { return proxy_; }

private:
    pid_t child_ = -1;
    std::string proxy_;
};

bool isTicker(const std::string& cell) { return !cell.empty(); }

// A ClearStation list, page after page.
class ListPages : public PageReader {
public:
    ListPages() : walker_({{14, 2, 1}, 1, 500, true, {17, 1, 4}, "Next Page"}, isTicker) {}
    std::string read(const PageView& page, const std::string& askedUrl) override
    {
        TableWalker::Rows rows = walker_.read(page, askedUrl);
        tickers += rows.cells.size();
        return rows.next;
    }
    std::size_t tickers = 0;

private:
    TableWalker walker_;
};

const char* const lists[] = {
    "http://www.clearstation.com/cgi-bin/drill_event?Event=BreakOut",
    "http://www.clearstation.com/cgi-bin/drill_event?Event=macdBAfollow_w",
    "http://www.clearstation.com/cgi-bin/drill_event?Event=macdBAfollow_m",
    "http://www.clearstation.com/cgi-bin/drill_event?Event=macdBAfollow_m",  // shares the one before's pages
};

struct Walk {
    std::size_t opened = 0, tickers = 0;
    bool hung = false;
    std::string inconsistency;
};

// Plans every list and takes each; nothing may wait longer than 20 s. A
// call that throws for want of memory is fine: it kept nothing.
Walk walk(FetchPool& engine, int lookahead)
{
    Walk result;
    std::unique_ptr<PagePlan> pages;
    try {
        pages = std::make_unique<PagePlan>(engine, lookahead);
    } catch (const std::bad_alloc&) {
        return result;
    }
    for (std::size_t i = 0; i < std::size(lists); ++i) {
        try {
            pages->plan(i, lists[i], std::make_shared<ListPages>());
        } catch (const std::bad_alloc&) {
        }
    }
    // Made whole before the walk, so that no allocation fails inside it.
    struct Watch {
        std::mutex mutex;
        std::condition_variable_any never;
    };
    std::unique_ptr<Watch> watch;
    std::jthread watchdog;
    try {
        watch = std::make_unique<Watch>();
        watchdog = std::jthread([&](std::stop_token walked) {
            std::unique_lock lock(watch->mutex);
            if (!watch->never.wait_for(lock, walked, 20s, [] { return false; }) && !walked.stop_requested()) {
                result.hung = true;
                pages->abort();
            }
        });
    } catch (const std::exception&) {
        return result;
    }
    for (std::size_t i = 0; i < std::size(lists); ++i) {
        try {
            const auto read = pages->take<ListPages>(i);
            if (read) {
                ++result.opened;
                result.tickers += read->tickers;
            }
            if (result.inconsistency.empty())
                result.inconsistency = pages->inconsistency();
        } catch (const std::bad_alloc&) {
        }
    }
    return result;
}

TEST(EngineOutOfMemory, EveryReadEndsWhicheverAllocationFails)
{
    ChildWeb web;
    ASSERT_FALSE(web.proxy().empty());
    setenv("http_proxy", web.proxy().c_str(), 1);
    FetchPool::Limits limits;
    limits.retryPauseMilliseconds = 10;
    FetchPool engine(limits);

    const long before = allocations.load();
    const Walk clean = walk(engine, 0);
    const long perWalk = allocations.load() - before;
    ASSERT_EQ(clean.opened, std::size(lists));
    ASSERT_EQ(clean.tickers, 37u + 50u + 64u + 64u);

    // Every one of the first allocations, then a spread over the rest.
    std::vector<long> which;
    for (long n = 0; n < perWalk; n += n < 400 ? 1 : perWalk / 400 + 1)
        which.push_back(n);
    int failures = 0;
    for (long n : which) {
        for (int lookahead : {0, 1}) {
            allocationsLeft = n;
            const Walk w = walk(engine, lookahead);
            allocationsLeft = -1;
            if (w.hung || !w.inconsistency.empty()) {
                ADD_FAILURE() << "allocation " << n << ", look-ahead " << lookahead
                              << (w.hung ? ": a read never ended" : ": " + w.inconsistency);
                if (++failures == 5)
                    return;
            }
        }
    }
    // The engine is whole afterwards.
    const Walk after = walk(engine, 0);
    EXPECT_EQ(after.opened, std::size(lists));
    EXPECT_EQ(after.tickers, clean.tickers);
    std::printf("%zu failing allocations tried, of %ld in a walk\n", which.size(), perWalk);
}

} // namespace
} // namespace veltrop
