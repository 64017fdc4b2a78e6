#pragma once
// The simulated web: a loopback HTTP server that answers as a forward proxy for
// every outside host the program reads, from deterministic synthetic market
// data. The program reaches it only through the standard http_proxy setting.
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace simweb {

enum class Fault {
    None,
    NotFound,        // 404 with a small page
    ServerError,     // 500 with a small page
    Stall,           // accepts, then sends nothing until the client gives up (bounded)
    Drop,            // closes the connection without answering: an empty reply
    Garbage,         // answers with bytes that are not HTTP
    Truncate,        // promises a Content-Length, sends half, closes
    Oversize,        // a chunked body that never ends (bounded at 64 MiB)
    RedirectLoop,    // 302 to itself, forever
    RedirectToFile,  // 302 to file:///etc/passwd
    EndlessPaging,   // list pages: every page links to a new next page
    PagingLoop,      // list pages: the last page links back to the first
    HeadersThenSilence,  // a 200 head promising 1000 bytes, then nothing (bounded)
    Drip,            // a 200 head promising 1000 bytes, then one byte a second (bounded)
    ShortBody,       // a 200 head promising 1000 bytes, 3 bytes, then close
    GzipBomb,        // 16 KiB of gzip that inflate to 16 MiB
    RedirectToFtp,   // 302 to an ftp: address
    RedirectToGopher,  // 302 to a gopher: address
    ProxyAuth,       // 407: the proxy wants credentials
    Redirect,        // 302 to the location given with setRedirect
    Slow,            // the usual answer, but only once the stall limit has passed
    Unavailable,     // 503 with a small page and no Retry-After, every time
    // Transient failures, as a busy or restarting site gives them: the first
    // request for each distinct absolute address fails, every later one gets
    // the usual answer. The server remembers the addresses it failed for its
    // whole life; clearFaults forgets them, so the next request fails again.
    DropOnce,        // as Drop, once per address
    UnavailableOnce, // StatusOnce{503, RetryAfter::after(1)}
    TooManyOnce,     // StatusOnce{429, RetryAfter::after(1)}
    StatusOnce,      // the status answer set with setFault(target, StatusOnce), once per address
};

// "notfound", "stall", ... as on the command line; Fault::None for an unknown name.
Fault faultFromName(const std::string& name);

// The Retry-After a status answer carries, in each form a site may send it.
struct RetryAfter {
    enum class Form { None, Seconds, Date, Text };
    Form form = Form::None;
    // Seconds: the number sent. Date: how far from the moment of the answer
    // the date lies; as a date has whole seconds only, it is the first whole
    // second at least that far, so a client never sees less (negative: past).
    int seconds = 0;
    std::string text;  // Text: sent as it is

    static RetryAfter none() { return {}; }
    static RetryAfter after(int seconds) { return {Form::Seconds, seconds, {}}; }
    static RetryAfter dateIn(int seconds) { return {Form::Date, seconds, {}}; }
    static RetryAfter garbage(std::string text) { return {Form::Text, 0, std::move(text)}; }
};

// A small page with this status, once per address, as a busy or restarting
// site or a proxy in front of it gives: 502, 503, 504, 429 and the like.
struct StatusOnce {
    int status = 503;
    RetryAfter retryAfter;
};

// The command line's "once:STATUS[:WHEN]": STATUS from 400 to 599; WHEN is N
// (Retry-After: N), date+N or date-N (an IMF-fixdate N seconds after or
// before the answer) or garbage (a text that is neither); without WHEN no
// Retry-After. nullopt for anything else.
std::optional<StatusOnce> statusOnceFromName(const std::string& name);

class Server {
public:
    struct Options {
        std::uint16_t port = 0;  // 0: any free port
        int latencyMs = 0;       // delay before every answer
        // Serve further requests on a connection that asks to stay open, as
        // HTTP/1.1 servers do; false answers every request with
        // "Connection: close", one connection per request.
        bool keepAlive = true;
    };
    explicit Server(Options options);
    Server();
    ~Server();  // stops the server and joins its threads
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint16_t port() const;
    std::string proxyUrl() const;  // "http://127.0.0.1:<port>"

    void setLatency(int ms);

    // As Options::keepAlive; applies from the next request on every connection.
    void setKeepAlive(bool on);
    // How long a kept-alive connection may wait for its next request before
    // the server closes it (five seconds unless set).
    void setIdleTimeout(std::chrono::milliseconds limit);
    // Connections accepted since the server started, so a test can tell a
    // reused connection from a new one.
    std::size_t connectionsAccepted() const;

    // The most requests to `host` that were being answered at one moment
    // (latency included), since the server started.
    int peakConcurrentRequests(const std::string& host) const;

    // How long Stall, HeadersThenSilence and Drip keep a connection open
    // before the server closes it, and how long Slow waits before it
    // answers (two minutes unless set). A short bound
    // lets a test see what a stalled page that finally fails does to a
    // command without waiting for the client's own time limit.
    void setStallLimit(std::chrono::milliseconds limit);

    // A fault applies to every request whose absolute address
    // ("http://host/path?query") starts with `target`, or, when `target`
    // starts with "/", whose "path?query" starts with it. Later rules win.
    // A fault comes before pages set with setPage and before the host check;
    // the two paging faults change only the paged list pages. The faults
    // that fail once per address count an address as failed when its
    // request matched them, whichever of them it was.
    void setFault(const std::string& target, Fault fault);
    // A status answer once per address, as a fault rule of its own
    // (Fault::StatusOnce).
    void setFault(const std::string& target, StatusOnce once);
    // Removes every fault rule and forgets which addresses already failed once.
    void clearFaults();
    // A 302 to `location` for every request that `target` matches, as a
    // fault rule of its own (Fault::Redirect).
    void setRedirect(const std::string& target, const std::string& location);

    // Serves `body` for exactly this absolute address, before any built-in
    // page. For tests of page layouts the built-in pages do not have.
    void setPage(const std::string& url, std::string body,
                 std::string contentType = "text/html; charset=utf-8");
    void clearPages();

    // Absolute addresses requested so far, in order of arrival.
    std::vector<std::string> requests() const;
    // Every request head as it came off the wire, request line and header
    // lines without the closing blank line, unparseable ones included.
    std::vector<std::string> requestHeads() const;
    // Empties both logs.
    void clearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A loopback port on which nothing listens, so every connection to it is
// refused: bound for the life of the object, so no other server takes it.
class ClosedPort {
public:
    ClosedPort();
    ~ClosedPort();
    ClosedPort(const ClosedPort&) = delete;
    ClosedPort& operator=(const ClosedPort&) = delete;

    std::uint16_t port() const { return port_; }
    std::string proxyUrl() const;  // "http://127.0.0.1:<port>"

private:
    int fd_ = -1;
    std::uint16_t port_ = 0;
};

} // namespace simweb
