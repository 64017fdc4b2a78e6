#pragma once
// The pages waiting to start, host by host: the busiest host under its limit
// gets a free place first, so the busiest site never idles. Plain data: the
// engine's lock guards it.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>

namespace veltrop {

class HostQueue {
public:
    using Id = std::uint64_t;
    // Among one host's pages the lowest key starts first: (not hurried, order, id).
    using Key = std::tuple<bool, std::uint64_t, Id>;

    using Clock = std::chrono::steady_clock;

    // How one host is to be asked: at most `connections` transfers at once,
    // and the starts of two of its requests at least `interval` apart.
    struct Limit {
        int connections = 6;
        std::chrono::milliseconds interval{0};
    };

    explicit HostQueue(int perHost) : perHost(perHost) {}

    // The limits of the hosts named; the others keep the default. Set it
    // before the first page is added.
    void setLimits(std::map<std::string, Limit> limits) { limits_ = std::move(limits); }

    // The host of an http or https address, in lower case.
    static std::string hostOf(const std::string& url);

    // Throws only when out of memory, and then has kept nothing of the page.
    void add(const std::string& host, Key key);
    // Neither needs memory. A hurried page starts before every other of its
    // host that is not.
    void hurry(const std::string& host, Key key);
    void remove(const std::string& host, Key key);

    // The first page of the host with the most pages waiting among those
    // under their limit (by name when as many wait), taken off the queue;
    // nullopt when none may start. Never needs memory.
    std::optional<Id> take();
    // A taken page's transfer started, or ended. Neither needs memory.
    // `now`: when it started, from which its host's interval counts.
    void started(const std::string& host, Clock::time_point now = Clock::now());
    void ended(const std::string& host);
    int active(const std::string& host) const;
    // The hosts whose interval has passed by `now` may start a page again;
    // returns how long until the next one's does (nullopt: none waits).
    // Never needs memory.
    std::optional<Clock::duration> wake(Clock::time_point now);

private:
    struct Host;
    // The hosts that may start a page, the busiest first.
    struct Busiest {
        bool operator()(const Host* a, const Host* b) const;
    };
    using Eligible = std::set<Host*, Busiest>;
    struct Host {
        std::string name;
        std::set<Key> queue;
        int active = 0;
        int limit = 6;
        std::chrono::milliseconds interval{0};
        Clock::time_point nextStart{};  // the earliest its next request may start
        bool resting = false;           // its interval since the last start has not passed
        // The host's place in `eligible`, made with the host and kept here
        // while it is not eligible, so that moving it never needs memory.
        Eligible::node_type place;
    };

    // Changes `host` out of its place, then puts it back when it may start a page.
    template <class Change>
    void change(Host& host, Change what);

    int perHost;
    std::map<std::string, Limit> limits_;
    bool anyInterval_ = false;
    std::map<std::string, Host> hosts;
    Eligible eligible;
};

} // namespace veltrop
