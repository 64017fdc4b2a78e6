#pragma once
// One accepted client connection. Every wait is cut into slices of at most
// 50 ms and checks the server's stop flag between them, so a stopping server
// never hangs on a client that stalls, reads slowly or never closes.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace simweb {

// Set once when the server stops; wakes every sleeper at once.
class StopFlag {
public:
    void set();
    bool isSet() const;
    // Sleeps for `duration`; false when the flag was set before it ended.
    bool sleepFor(std::chrono::milliseconds duration) const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable wake_;
    bool set_ = false;
};

class Connection {
public:
    // Takes ownership of the socket `fd`.
    Connection(int fd, const StopFlag& stop);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // The request head up to, not including, the blank line that ends it.
    // Empty when the client closes first, sends more than `maxBytes` without
    // ending the head, takes longer than `limit`, or the server stops. Bytes
    // after the head (a client that sends its next request before reading
    // the answer) are kept for the next call.
    std::optional<std::string> readHead(std::chrono::milliseconds limit, std::size_t maxBytes);

    // Sends all of `bytes`. False when the client went away or the server
    // stops, or when the connection's whole write time (two minutes) is used up
    // by a client that stopped reading.
    bool send(std::string_view bytes);

    // Waits until the client closes its end, the server stops or `limit` passes.
    void holdUntilClosed(std::chrono::milliseconds limit);

private:
    using Clock = std::chrono::steady_clock;
    // True when `events` are ready before `deadline` and the server is not stopping.
    bool waitFor(short events, Clock::time_point deadline) const;

    int fd_;
    const StopFlag& stop_;
    Clock::time_point writeDeadline_;
    std::string pending_;  // received after the last head
};

} // namespace simweb
