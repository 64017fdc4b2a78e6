#pragma once
// The little HTTP the simulated web needs: reading a request head, finding the
// absolute address a proxy client asked for, and writing an answer.
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace simweb {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct Request {
    std::string method;
    std::string target;  // as sent: absolute form from a proxy client
    std::string version;
    Headers headers;

    // Value of the first header of that name (names compare ignoring case).
    std::string header(std::string_view name) const;
};

// Parses a request head, without its closing blank line. Empty for anything
// that is not "METHOD SP target SP HTTP/x.y" followed by "Name: value" lines.
std::optional<Request> parseRequestHead(std::string_view head);

// The address a request asks for. Proxy clients send the absolute form
// ("GET http://host/path?query HTTP/1.1"); the origin form ("GET /path")
// is taken with the Host header.
struct Address {
    std::string absolute;  // "http://host/path?query" as requested
    std::string host;      // lower case, without the port
    std::string path;      // "/" at least
    std::string query;     // after "?", empty when none
};
std::optional<Address> requestedAddress(const Request& request);

// True when an Accept-Encoding value admits gzip (listed without q=0).
bool acceptsGzip(std::string_view acceptEncoding);
std::string gzipCompress(std::string_view data);

// "%2C" -> ",", other bytes unchanged; "+" stays "+" (it separates tickers on
// the quote page, so it must not turn into a blank here).
std::string percentDecode(std::string_view text);
// Percent-decoded value of the first `name=value` pair of a query.
std::optional<std::string> queryValue(std::string_view query, std::string_view name);

struct Response {
    int status = 200;
    Headers headers;  // Content-Length and Connection are added on writing
    std::string body;
};
std::string_view reasonPhrase(int status);
// Status line and headers, with Content-Length (when `contentLength` is given)
// and "Connection: close" (or "Connection: keep-alive" when the connection
// stays open for another request), ending in the blank line.
std::string responseHead(int status, const Headers& headers, std::optional<std::size_t> contentLength,
                         bool keepAlive = false);
std::string serialize(const Response& response, bool withBody = true, bool keepAlive = false);

// True when the client asks for its connection to stay open after this
// request: HTTP/1.1 unless "Connection: close" (or "Proxy-Connection:
// close"), HTTP/1.0 only with "keep-alive" in one of the two.
bool wantsKeepAlive(const Request& request);
// True when the request says a body follows its head. The server reads no
// request bodies, so such a connection cannot carry another request.
bool hasBody(const Request& request);

} // namespace simweb
