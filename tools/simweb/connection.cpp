#include "tools/simweb/connection.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <utility>

namespace simweb {
namespace {

using namespace std::chrono_literals;

constexpr auto kSlice = 50ms;
constexpr auto kWriteLimit = 120s;
constexpr std::size_t kDrainLimit = 1 << 20;

bool wouldBlock(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == EINTR; }

} // namespace

void StopFlag::set()
{
    {
        std::lock_guard lock(mutex_);
        set_ = true;
    }
    wake_.notify_all();
}

bool StopFlag::isSet() const
{
    std::lock_guard lock(mutex_);
    return set_;
}

bool StopFlag::sleepFor(std::chrono::milliseconds duration) const
{
    std::unique_lock lock(mutex_);
    return !wake_.wait_for(lock, duration, [this] { return set_; });
}

Connection::Connection(int fd, const StopFlag& stop)
    : fd_(fd), stop_(stop), writeDeadline_(Clock::now() + kWriteLimit)
{
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

Connection::~Connection()
{
    // Closing a socket with unread bytes (a request sent ahead, a request
    // body) makes the kernel answer with a reset, which may cost the client
    // the answer it has not read yet; so whatever has come is read first.
    char buffer[4096];
    for (std::size_t drained = 0; drained < kDrainLimit;) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0)
            break;
        drained += static_cast<std::size_t>(n);
    }
    ::close(fd_);
}

bool Connection::waitFor(short events, Clock::time_point deadline) const
{
    for (;;) {
        if (stop_.isSet())
            return false;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left <= 0ms)
            return false;
        pollfd entry{fd_, events, 0};
        const int ready = ::poll(&entry, 1, static_cast<int>(std::min(left, std::chrono::milliseconds(kSlice)).count()));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

std::optional<std::string> Connection::readHead(std::chrono::milliseconds limit, std::size_t maxBytes)
{
    const auto deadline = Clock::now() + limit;
    std::string received = std::exchange(pending_, {});
    char buffer[4096];
    for (;;) {
        const auto end = received.find("\r\n\r\n");
        if (end != std::string::npos) {
            pending_ = received.substr(end + 4);
            received.resize(end);
            return received;
        }
        if (received.size() > maxBytes || !waitFor(POLLIN, deadline))
            return std::nullopt;
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0)
            received.append(buffer, static_cast<std::size_t>(n));
        else if (n == 0 || !wouldBlock(errno))
            return std::nullopt;
    }
}

bool Connection::send(std::string_view bytes)
{
    while (!bytes.empty()) {
        if (stop_.isSet())
            return false;
        const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n > 0)
            bytes.remove_prefix(static_cast<std::size_t>(n));
        else if (!wouldBlock(errno) || !waitFor(POLLOUT, writeDeadline_))
            return false;
    }
    return true;
}

void Connection::holdUntilClosed(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    char buffer[4096];
    while (waitFor(POLLIN, deadline)) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n == 0 || (n < 0 && !wouldBlock(errno)))
            return;
    }
}

} // namespace simweb
