#pragma once
// The simulated web: a loopback HTTP server that answers as a forward proxy for
// every outside host the program reads, from deterministic synthetic market
// data. The program reaches it only through the standard http_proxy setting.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace simweb {

enum class Fault {
    None,
    NotFound,        // 404 with a small page
    ServerError,     // 500 with a small page
    Stall,           // accepts, then sends nothing until the client gives up (bounded)
    Drop,            // closes the connection without answering
    Garbage,         // answers with bytes that are not HTTP
    Truncate,        // promises a Content-Length, sends half, closes
    Oversize,        // a chunked body that never ends (bounded at 64 MiB)
    RedirectLoop,    // 302 to itself, forever
    RedirectToFile,  // 302 to file:///etc/passwd
    EndlessPaging,   // list pages: every page links to a new next page
    PagingLoop,      // list pages: the last page links back to the first
};

// "notfound", "stall", ... as on the command line; Fault::None for an unknown name.
Fault faultFromName(const std::string& name);

class Server {
public:
    struct Options {
        std::uint16_t port = 0;  // 0: any free port
        int latencyMs = 0;       // delay before every answer
    };
    explicit Server(Options options);
    Server();
    ~Server();  // stops the server and joins its threads
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    std::uint16_t port() const;
    std::string proxyUrl() const;  // "http://127.0.0.1:<port>"

    void setLatency(int ms);

    // A fault applies to every request whose absolute address
    // ("http://host/path?query") starts with `target`, or, when `target`
    // starts with "/", whose "path?query" starts with it. Later rules win.
    // A fault comes before pages set with setPage and before the host check;
    // the two paging faults change only the paged list pages.
    void setFault(const std::string& target, Fault fault);
    void clearFaults();

    // Serves `body` for exactly this absolute address, before any built-in
    // page. For tests of page layouts the built-in pages do not have.
    void setPage(const std::string& url, std::string body,
                 std::string contentType = "text/html; charset=utf-8");
    void clearPages();

    // Absolute addresses requested so far, in order of arrival.
    std::vector<std::string> requests() const;
    void clearRequests();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace simweb
