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
#include <charconv>
#include <cstdio>
#include <ctime>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <system_error>
#include <stdexcept>
#include <thread>
#include <utility>

#include <zlib.h>

namespace simweb {
namespace {

using namespace std::chrono_literals;
using namespace std::string_view_literals;

constexpr int kAcceptPollMs = 50;
constexpr auto kHeadLimit = 10s;
constexpr std::size_t kMaxHeadBytes = 64 * 1024;
constexpr auto kStallLimit = 120s;
constexpr std::size_t kOversizeLimit = std::size_t{64} << 20;
// Kept-alive connections waiting for their next request hold a thread each,
// so the cap leaves room for every client's idle connections besides the busy ones.
constexpr std::size_t kMaxConnections = 256;
constexpr auto kIdleLimit = 5s;
constexpr int kMaxRequestsPerConnection = 1000;

constexpr std::array<std::pair<std::string_view, Fault>, 23> kFaultNames{{
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
    {"headersthensilence", Fault::HeadersThenSilence},
    {"drip", Fault::Drip},
    {"shortbody", Fault::ShortBody},
    {"gzipbomb", Fault::GzipBomb},
    {"redirectftp", Fault::RedirectToFtp},
    {"redirectgopher", Fault::RedirectToGopher},
    {"proxyauth", Fault::ProxyAuth},
    {"slow", Fault::Slow},
    {"unavailable", Fault::Unavailable},
    {"droponce", Fault::DropOnce},
    {"unavailableonce", Fault::UnavailableOnce},
    {"toomanyonce", Fault::TooManyOnce},
}};

// What the faults that send a head and then too little promise.
constexpr std::size_t kPromisedBytes = 1000;
constexpr std::size_t kBombInflatedBytes = std::size_t{16} << 20;

// Starts like a TLS record and goes on with bytes no HTTP client can take for
// a status line.
constexpr std::string_view kGarbage = "\x16\x03\x01\x00\xff\xfe\0\x01 this is not an HTTP answer \x80\x81\r\n\r\n"sv;

// What the command line's once:STATUS:garbage sends: words, but no date.
constexpr std::string_view kRetryAfterGarbage = "in a little while";

struct FaultRule {
    std::string target;
    Fault fault = Fault::None;
    std::string location;  // Fault::Redirect only
    StatusOnce once;       // Fault::StatusOnce only
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

bool failsOncePerAddress(Fault fault)
{
    return fault == Fault::DropOnce || fault == Fault::StatusOnce;
}

Response toResponse(const Page& page) { return {page.status, {{"Content-Type", page.contentType}}, page.body}; }

// The IMF-fixdate of `when`, in English whatever the locale.
std::string httpDate(std::chrono::system_clock::time_point when)
{
    static constexpr std::array<const char*, 7> days{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static constexpr std::array<const char*, 12> months{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const std::time_t seconds = std::chrono::system_clock::to_time_t(when);
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[40];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d GMT", days[std::size_t(parts.tm_wday)],
                  parts.tm_mday, months[std::size_t(parts.tm_mon)], parts.tm_year + 1900, parts.tm_hour, parts.tm_min,
                  parts.tm_sec);
    return text;
}

std::string retryAfterValue(const RetryAfter& retryAfter)
{
    switch (retryAfter.form) {
    case RetryAfter::Form::Seconds:
        return std::to_string(retryAfter.seconds);
    case RetryAfter::Form::Date:
        // Rounded up, so that the date is never nearer than asked.
        return httpDate(std::chrono::ceil<std::chrono::seconds>(std::chrono::system_clock::now()
                                                                + std::chrono::seconds(retryAfter.seconds)));
    case RetryAfter::Form::Text:
        return retryAfter.text;
    case RetryAfter::Form::None:
        break;
    }
    return {};
}

std::string_view comeBackMessage(int status)
{
    switch (status) {
    case 429: return "Too many requests. Please slow down.";
    case 502: return "The proxy had no valid answer from the site.";
    case 503: return "The service is busy. Please try again in a moment.";
    case 504: return "The proxy had no answer from the site in time.";
    default: return "The request failed for a moment. Please try again.";
    }
}

// A busy site's answer that invites the client back.
Response comeBackLater(const StatusOnce& once)
{
    Response response = toResponse(statusPage(once.status, comeBackMessage(once.status)));
    if (once.retryAfter.form != RetryAfter::Form::None)
        response.headers.emplace_back("Retry-After", retryAfterValue(once.retryAfter));
    return response;
}

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

std::string promisedHead()
{
    return responseHead(200, {{"Content-Type", "text/html"}}, kPromisedBytes);
}

// Sends one byte of the promised body a second until it is all out, the
// client gives up or `limit` passes; then the connection closes.
void drip(Connection& connection, const StopFlag& stop, std::chrono::milliseconds limit)
{
    if (!connection.send(promisedHead()))
        return;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    const std::string body = "<HTML><BODY><TABLE><TR><TD>" + std::string(kPromisedBytes, 'x');
    for (std::size_t i = 0; i < kPromisedBytes; ++i) {
        if (!connection.send(body.substr(i, 1)))
            return;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= 0ms || !stop.sleepFor(std::min<std::chrono::milliseconds>(1s, left)))
            return;
    }
}

// A gzip body of a few KiB that inflates to kBombInflatedBytes of blanks,
// built once and block by block, so the server itself never holds the
// inflated text.
const std::string& gzipBomb()
{
    static const std::string bomb = [] {
        z_stream stream{};
        if (deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY) != Z_OK)
            throw std::runtime_error("deflateInit2 failed");
        std::string in(64 * 1024, ' ');
        std::string out;
        char buffer[16 * 1024];
        for (std::size_t fed = 0;; fed += in.size()) {
            const bool last = fed + in.size() >= kBombInflatedBytes;
            stream.next_in = reinterpret_cast<Bytef*>(in.data());
            stream.avail_in = static_cast<uInt>(in.size());
            int result = Z_OK;
            do {
                stream.next_out = reinterpret_cast<Bytef*>(buffer);
                stream.avail_out = sizeof buffer;
                result = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
                out.append(buffer, sizeof buffer - stream.avail_out);
            } while (stream.avail_out == 0 || (last && result != Z_STREAM_END));
            if (last)
                break;
        }
        deflateEnd(&stream);
        return out;
    }();
    return bomb;
}

} // namespace

Fault faultFromName(const std::string& name)
{
    for (const auto& [text, fault] : kFaultNames)
        if (text == name)
            return fault;
    return Fault::None;
}

std::optional<StatusOnce> statusOnceFromName(const std::string& name)
{
    auto number = [](std::string_view text, int low, int high) -> std::optional<int> {
        int value = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high)
            return std::nullopt;
        return value;
    };
    std::string_view rest = name;
    if (!rest.starts_with("once:"))
        return std::nullopt;
    rest.remove_prefix(5);
    const std::size_t colon = rest.find(':');
    const std::optional<int> status = number(rest.substr(0, colon), 400, 599);
    if (!status)
        return std::nullopt;
    if (colon == std::string_view::npos)
        return StatusOnce{*status, RetryAfter::none()};
    const std::string_view when = rest.substr(colon + 1);
    constexpr int kDay = 86400;
    if (when == "garbage")
        return StatusOnce{*status, RetryAfter::garbage(std::string(kRetryAfterGarbage))};
    if (when.starts_with("date+") || when.starts_with("date-")) {
        const std::optional<int> seconds = number(when.substr(5), 0, kDay);
        if (!seconds)
            return std::nullopt;
        return StatusOnce{*status, RetryAfter::dateIn(when[4] == '-' ? -*seconds : *seconds)};
    }
    if (const std::optional<int> seconds = number(when, 0, kDay))
        return StatusOnce{*status, RetryAfter::after(*seconds)};
    return std::nullopt;
}

struct Server::Impl {
    explicit Impl(Options options);
    ~Impl();

    void acceptLoop();
    void reapFinishedWorkers();
    // One request to a host being answered, for the count of requests at once.
    class Answering {
    public:
        Answering(Impl& impl, std::string host) : impl_(impl), host_(std::move(host))
        {
            std::lock_guard lock(impl_.mutex);
            const int now = ++impl_.answering[host_];
            impl_.peakAnswering[host_] = std::max(impl_.peakAnswering[host_], now);
        }
        ~Answering() { done(); }
        void done()
        {
            if (std::exchange(counted_, false)) {
                std::lock_guard lock(impl_.mutex);
                --impl_.answering[host_];
            }
        }

    private:
        Impl& impl_;
        std::string host_;
        bool counted_ = true;
    };

    void serve(int fd);
    // True when the answer went out whole and the connection may carry
    // another request: never after a fault, whose bytes and close stay those
    // of a one-request connection.
    bool answer(Connection& connection, const Request& request, const Address& address, Answering& answering,
                bool keepAlive);
    Page builtPage(const Request& request, const Address& address, Fault fault) const;
    FaultRule faultFor(const Address& address) const;
    // True the first time it is asked about `absolute` since the faults were
    // last cleared: a fault that fails once per address fails this request.
    bool firstFailure(const std::string& absolute);

    StopFlag stop;
    int listenFd = -1;
    std::uint16_t port = 0;
    std::atomic<int> latencyMs;
    std::atomic<std::chrono::milliseconds::rep> stallLimitMs{std::chrono::milliseconds(kStallLimit).count()};
    std::atomic<bool> keepAliveAllowed;
    std::atomic<std::chrono::milliseconds::rep> idleLimitMs{std::chrono::milliseconds(kIdleLimit).count()};
    std::atomic<std::size_t> accepted{0};

    mutable std::mutex mutex;  // guards the five below
    std::vector<FaultRule> faults;
    std::set<std::string> failedOnce;  // addresses a once-per-address fault already failed
    std::map<std::string, Page> pages;
    std::vector<std::string> requests;
    std::vector<std::string> heads;
    // Requests being answered per host, and the most there were at once.
    std::map<std::string, int> answering, peakAnswering;

    struct Worker {
        std::thread thread;
        std::atomic<bool> done{false};
    };
    std::list<Worker> workers;  // only the accept thread touches it while it runs
    std::thread acceptThread;
};

Server::Impl::Impl(Options options) : latencyMs(options.latencyMs), keepAliveAllowed(options.keepAlive)
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
    acceptThread = std::thread([this] {
        // The sites stand in for other machines, which take none of the
        // program's processor time: here they yield it to the program. The
        // threads serving each connection start from this one and keep it.
        if (::nice(10) == -1) {
        }
        acceptLoop();
    });
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
        ++accepted;
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

// Requests are served one after another for as long as the client keeps
// the connection open and asks for it to stay so; the connection closes after
// an idle wait, a bounded number of requests, anything unparseable and every
// fault. Each request is logged, delayed and counted on its own.
void Server::Impl::serve(int fd)
{
    Connection connection(fd, stop);
    for (int served = 0;;) {
        const auto limit = served == 0 ? std::chrono::milliseconds(kHeadLimit)
                                       : std::chrono::milliseconds(idleLimitMs.load());
        const std::optional<std::string> head = connection.readHead(limit, kMaxHeadBytes);
        if (!head)
            return;
        {
            std::lock_guard lock(mutex);
            heads.push_back(*head);
        }
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
        ++served;
        const bool staysOpen = keepAliveAllowed.load() && served < kMaxRequestsPerConnection && wantsKeepAlive(*request)
                               && !hasBody(*request);
        // Counted from the request's arrival until its answer is ready to go: a
        // client that has read a whole answer may already be asking again.
        Answering answering(*this, address->host);
        if (!stop.sleepFor(std::chrono::milliseconds(std::max(0, latencyMs.load()))))
            return;
        if (!answer(connection, *request, *address, answering, staysOpen))
            return;
    }
}

bool Server::Impl::answer(Connection& connection, const Request& request, const Address& address,
                          Answering& answering, bool keepAlive)
{
    const FaultRule rule = faultFor(address);
    // A once-per-address fault that already failed this address steps aside
    // for the usual answer, kept-alive connection included.
    const Fault fault = failsOncePerAddress(rule.fault) && !firstFailure(address.absolute) ? Fault::None : rule.fault;
    const std::chrono::milliseconds stallLimit(stallLimitMs.load());
    Response response;
    switch (fault) {
    case Fault::Stall:
        connection.holdUntilClosed(stallLimit);
        return false;
    case Fault::HeadersThenSilence:
        if (connection.send(promisedHead()))
            connection.holdUntilClosed(stallLimit);
        return false;
    case Fault::Drip:
        drip(connection, stop, stallLimit);
        return false;
    case Fault::ShortBody:
        connection.send(promisedHead() + "<HT");
        return false;
    case Fault::GzipBomb:
        connection.send(responseHead(200, {{"Content-Type", "text/html"}, {"Content-Encoding", "gzip"}},
                                     gzipBomb().size())
                        + gzipBomb());
        return false;
    case Fault::ProxyAuth:
        connection.send(serialize({407,
                                   {{"Proxy-Authenticate", "Basic realm=\"simweb\""}, {"Content-Type", "text/html"}},
                                   statusPage(407, "The proxy wants credentials.").body}));
        return false;
    case Fault::Redirect:
        response = redirectTo(rule.location);
        break;
    case Fault::RedirectToFtp:
        response = redirectTo("ftp://ftp.example.com/pub/list.txt");
        break;
    case Fault::RedirectToGopher:
        response = redirectTo("gopher://gopher.example.com/1/list");
        break;
    case Fault::Drop:
    case Fault::DropOnce:
        return false;
    case Fault::Garbage:
        connection.send(kGarbage);
        return false;
    case Fault::Oversize:
        sendEndlessBody(connection);
        return false;
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
    case Fault::Unavailable:
        response = toResponse(statusPage(503, "The service is unavailable."));
        break;
    case Fault::StatusOnce:
        response = comeBackLater(rule.once);
        break;
    case Fault::Slow:
        if (!stop.sleepFor(stallLimit))
            return false;
        [[fallthrough]];
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
        return false;
    }
    // Every fault, the paging ones and Slow included, answers as on a
    // connection of its own and ends it.
    keepAlive = keepAlive && fault == Fault::None;
    answering.done();
    return connection.send(serialize(response, withBody, keepAlive)) && keepAlive;
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

FaultRule Server::Impl::faultFor(const Address& address) const
{
    std::lock_guard lock(mutex);
    for (auto rule = faults.rbegin(); rule != faults.rend(); ++rule)
        if (ruleMatches(*rule, address))
            return *rule;
    return {};
}

bool Server::Impl::firstFailure(const std::string& absolute)
{
    std::lock_guard lock(mutex);
    return failedOnce.insert(absolute).second;
}

Server::Server(Options options) : d(std::make_unique<Impl>(options)) {}

Server::Server() : Server(Options{}) {}

Server::~Server() = default;

std::uint16_t Server::port() const { return d->port; }

std::string Server::proxyUrl() const { return "http://127.0.0.1:" + std::to_string(d->port); }

void Server::setLatency(int ms) { d->latencyMs = ms; }

void Server::setKeepAlive(bool on) { d->keepAliveAllowed = on; }

void Server::setIdleTimeout(std::chrono::milliseconds limit) { d->idleLimitMs = limit.count(); }

std::size_t Server::connectionsAccepted() const { return d->accepted.load(); }

int Server::peakConcurrentRequests(const std::string& host) const
{
    std::lock_guard lock(d->mutex);
    const auto it = d->peakAnswering.find(host);
    return it == d->peakAnswering.end() ? 0 : it->second;
}

void Server::setStallLimit(std::chrono::milliseconds limit) { d->stallLimitMs = limit.count(); }

void Server::setFault(const std::string& target, Fault fault)
{
    if (fault == Fault::UnavailableOnce)
        return setFault(target, StatusOnce{503, RetryAfter::after(1)});
    if (fault == Fault::TooManyOnce)
        return setFault(target, StatusOnce{429, RetryAfter::after(1)});
    std::lock_guard lock(d->mutex);
    d->faults.push_back({target, fault, {}, {}});
}

void Server::setFault(const std::string& target, StatusOnce once)
{
    std::lock_guard lock(d->mutex);
    d->faults.push_back({target, Fault::StatusOnce, {}, std::move(once)});
}

void Server::setRedirect(const std::string& target, const std::string& location)
{
    std::lock_guard lock(d->mutex);
    d->faults.push_back({target, Fault::Redirect, location, {}});
}

void Server::clearFaults()
{
    std::lock_guard lock(d->mutex);
    d->faults.clear();
    d->failedOnce.clear();
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

std::vector<std::string> Server::requestHeads() const
{
    std::lock_guard lock(d->mutex);
    return d->heads;
}

void Server::clearRequests()
{
    std::lock_guard lock(d->mutex);
    d->requests.clear();
    d->heads.clear();
}

ClosedPort::ClosedPort()
{
    // Bound but never listening: the kernel answers every connection with a
    // reset, which a client sees as "connection refused".
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        throw std::system_error(errno, std::generic_category(), "simweb: socket");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int error = errno;
        ::close(fd_);
        throw std::system_error(error, std::generic_category(), "simweb: cannot bind on 127.0.0.1");
    }
    port_ = ntohs(address.sin_port);
}

ClosedPort::~ClosedPort() { ::close(fd_); }

std::string ClosedPort::proxyUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }

} // namespace simweb
