#include "tools/simweb/server.h"

#include "tools/simweb/connection.h"
#include "tools/simweb/http.h"
#include "tools/simweb/pages.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <list>
#include <map>
#include <mutex>
#include <system_error>
#include <thread>

namespace simweb {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;

constexpr int kAcceptPollMs = 50;
constexpr auto kHeadLimit = 10s;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr auto kStallLimit = 120s;
constexpr std::size_t kOversizeLimit = std::size_t{64} << 20;
constexpr std::size_t kMaxConnections = 64;

constexpr std::array<std::pair<std::string_view, Fault>, 11> kFaultNames{{
    {"notfound", Fault::NotFound},
    {"servererror", Fault::ServerError},
    {"stall", Fault::Stall},
    {"drop", Fault::Drop},
    {"garbage", Fault::Garbage},
    {"truncate", Fault::Truncate},
    {"oversize", Fault::Oversize},
    {"redirectloop", Fault::RedirectLoop},
    {"redirectfile", Fault::RedirectToFile},
    {"endlesspaging", Fault::EndlessPaging},
    {"pagingloop", Fault::PagingLoop},
}};

// Starts like a TLS record and goes on with bytes no HTTP client can take for
// a status line.
constexpr std::string_view kGarbage = "\x16\x03\x01\x00\xff\xfe\0\x01 this is not an HTTP answer \x80\x81\r\n\r\n"sv;

struct FaultRule {
    std::string target;
    Fault fault;
};

bool ruleMatches(const FaultRule& rule, const Address& address)
{
    if (!rule.target.starts_with("/"))
        return address.absolute.starts_with(rule.target);
    const std::string pathAndQuery = address.query.empty() ? address.path : address.path + "?" + address.query;
    return pathAndQuery.starts_with(rule.target);
}

Paging pagingFor(Fault fault)
{
    return fault == Fault::EndlessPaging ? Paging::Endless
           : fault == Fault::PagingLoop  ? Paging::Loop
                                         : Paging::Normal;
}

Response toResponse(const Page& page) { return {page.status, {{"Content-Type", page.contentType}}, page.body}; }

Response redirectTo(const std::string& location)
{
    return {302, {{"Location", location}, {"Content-Type", "text/html"}},
            "<HTML><BODY>Moved <A HREF=\"" + location + "\">here</A>.</BODY></HTML>\n"};
}

void compressFor(const Request& request, Response& response)
{
    if (response.body.empty() || !acceptsGzip(request.header("Accept-Encoding")))
        return;
    response.body = gzipCompress(response.body);
    response.headers.emplace_back("Content-Encoding", "gzip");
}

// A chunked body that keeps coming until the client gives up or 64 MiB went out.
void sendEndlessBody(Connection& connection)
{
    if (!connection.send(responseHead(200, {{"Content-Type", "text/html"}, {"Transfer-Encoding", "chunked"}}, std::nullopt)))
        return;
    std::string filler;
    while (filler.size() < 64 * 1024)
        filler += "<TR><TD>more rows are on their way</TD></TR>\n";
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", filler.size());
    const std::string chunk = size + filler + "\r\n";
    for (std::size_t sent = 0; sent < kOversizeLimit; sent += filler.size())
        if (!connection.send(chunk))
            return;
}

} // namespace

Fault faultFromName(const std::string& name)
{
    for (const auto& [text, fault] : kFaultNames)
        if (text == name)
            return fault;
    return Fault::None;
}

struct Server::Impl {
    explicit Impl(Options options);
    ~Impl();

    void acceptLoop();
    void reapFinishedWorkers();
    void serve(int fd);
    void answer(Connection& connection, const Request& request, const Address& address);
    Page builtPage(const Request& request, const Address& address, Fault fault) const;
    Fault faultFor(const Address& address) const;

    StopFlag stop;
    int listenFd = -1;
    std::uint16_t port = 0;
    std::atomic<int> latencyMs;

    mutable std::mutex mutex;  // guards the three below
    std::vector<FaultRule> faults;
    std::map<std::string, Page> pages;
    std::vector<std::string> requests;

    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::list<Worker> workers;  // only the accept thread touches it while it runs
    std::thread acceptThread;
};

Server::Impl::Impl(Options options) : latencyMs(options.latencyMs)
{
    listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd < 0)
        throw std::system_error(errno, std::generic_category(), "simweb: socket");
    const int yes = 1;
    ::setsockopt(listenFd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(options.port);
    socklen_t length = sizeof address;
    if (::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd, 128) != 0
        || ::getsockname(listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(listenFd);
        throw std::system_error(error, std::generic_category(), "simweb: cannot listen on 127.0.0.1");
    }
    port = ntohs(address.sin_port);
    acceptThread = std::thread([this] { acceptLoop(); });
}

Server::Impl::~Impl()
{
    stop.set();
    acceptThread.join();
    for (Worker& worker : workers)
        worker.thread.join();
    ::close(listenFd);
}

void Server::Impl::acceptLoop()
{
    while (!stop.isSet()) {
        reapFinishedWorkers();
        pollfd entry{listenFd, POLLIN, 0};
        if (::poll(&entry, 1, kAcceptPollMs) <= 0)
            continue;
        const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            stop.sleepFor(std::chrono::milliseconds(kAcceptPollMs));  // out of descriptors: let workers finish
            continue;
        }
        if (workers.size() >= kMaxConnections) {
            Connection(fd, stop).send(serialize(toResponse(statusPage(503, "Too many connections."))));
            continue;
        }
        Worker& worker = workers.emplace_back();
        try {
            worker.thread = std::thread([this, fd, &worker] {
                // A failure while answering (out of memory, say) ends this
                // connection only; the client sees it closed.
                try {
                    serve(fd);
                } catch (const std::exception&) {
                }
                worker.done = true;
            });
        } catch (const std::system_error&) {
            ::close(fd);
            workers.pop_back();
        }
    }
}

void Server::Impl::reapFinishedWorkers()
{
    workers.remove_if([](Worker& worker) {
        if (!worker.done)
            return false;
        worker.thread.join();
        return true;
    });
}

void Server::Impl::serve(int fd)
{
    Connection connection(fd, stop);
    const std::optional<std::string> head = connection.readHead(kHeadLimit, kMaxHeadBytes);
    if (!head)
        return;
    const std::optional<Request> request = parseRequestHead(*head);
    const std::optional<Address> address = request ? requestedAddress(*request) : std::nullopt;
    if (!address) {
        connection.send(serialize(toResponse(statusPage(400, "The request could not be understood."))));
        return;
    }
    {
        std::lock_guard lock(mutex);
        requests.push_back(address->absolute);
    }
    if (!stop.sleepFor(std::chrono::milliseconds(std::max(0, latencyMs.load()))))
        return;
    answer(connection, *request, *address);
}

void Server::Impl::answer(Connection& connection, const Request& request, const Address& address)
{
    const Fault fault = faultFor(address);
    Response response;
    switch (fault) {
    case Fault::Stall:
        connection.holdUntilClosed(kStallLimit);
        return;
    case Fault::Drop:
        return;
    case Fault::Garbage:
        connection.send(kGarbage);
        return;
    case Fault::Oversize:
        sendEndlessBody(connection);
        return;
    case Fault::RedirectLoop:
        response = redirectTo(address.absolute);
        break;
    case Fault::RedirectToFile:
        response = redirectTo("file:///etc/passwd");
        break;
    case Fault::NotFound:
        response = toResponse(statusPage(404, "The requested page was not found on this server."));
        break;
    case Fault::ServerError:
        response = toResponse(statusPage(500, "The server met an error it could not handle."));
        break;
    default:
        try {
            response = toResponse(builtPage(request, address, fault));
        } catch (const std::exception& error) {
            response = toResponse(statusPage(500, error.what()));
        }
    }
    compressFor(request, response);
    const bool withBody = request.method != "HEAD";
    if (fault == Fault::Truncate && withBody) {
        connection.send(responseHead(response.status, response.headers, response.body.size())
                        + response.body.substr(0, response.body.size() / 2));
        return;
    }
    connection.send(serialize(response, withBody));
}

Page Server::Impl::builtPage(const Request& request, const Address& address, Fault fault) const
{
    if (request.method != "GET" && request.method != "HEAD")
        return statusPage(501, "Only GET and HEAD are served.");
    {
        std::lock_guard lock(mutex);
        if (const auto page = pages.find(address.absolute); page != pages.end())
            return page->second;
    }
    if (!isKnownHost(address.host))
        return statusPage(502, "The proxy could not reach the host " + address.host + ".");
    return sitePage(address.host, address.path, address.query, pagingFor(fault));
}

Fault Server::Impl::faultFor(const Address& address) const
{
    std::lock_guard lock(mutex);
    for (auto rule = faults.rbegin(); rule != faults.rend(); ++rule)
        if (ruleMatches(*rule, address))
            return rule->fault;
    return Fault::None;
}

Server::Server(Options options) : d(std::make_unique<Impl>(options)) {}

Server::Server() : Server(Options{}) {}

Server::~Server() = default;

std::uint16_t Server::port() const { return d->port; }

std::string Server::proxyUrl() const { return "http://127.0.0.1:" + std::to_string(d->port); }

void Server::setLatency(int ms) { d->latencyMs = ms; }

void Server::setFault(const std::string& target, Fault fault)
{
    std::lock_guard lock(d->mutex);
    d->faults.push_back({target, fault});
}

void Server::clearFaults()
{
    std::lock_guard lock(d->mutex);
    d->faults.clear();
}

void Server::setPage(const std::string& url, std::string body, std::string contentType)
{
    std::lock_guard lock(d->mutex);
    d->pages[url] = Page{200, std::move(contentType), std::move(body)};
}

void Server::clearPages()
{
    std::lock_guard lock(d->mutex);
    d->pages.clear();
}

std::vector<std::string> Server::requests() const
{
    std::lock_guard lock(d->mutex);
    return d->requests;
}

void Server::clearRequests()
{
    std::lock_guard lock(d->mutex);
    d->requests.clear();
}

} // namespace simweb
