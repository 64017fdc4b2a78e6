#pragma once
// Clients for the simulated web's tests: a raw socket for byte-level checks of
// what the server sends, and libcurl for what an HTTP client makes of it.
// Every wait is bounded.
#include <chrono>
#include <cstdint>
#include <string>

namespace simtest {

using namespace std::chrono_literals;

// One loopback connection to the server.
class RawClient {
public:
    explicit RawClient(std::uint16_t port);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    void send(const std::string& bytes);
    // Bytes received until the server closes, `limit` passes or `maxBytes` arrived.
    std::string receive(std::chrono::milliseconds limit, std::size_t maxBytes = 16u << 20);
    bool closedByServer() const { return closed_; }

private:
    int fd_ = -1;
    bool closed_ = false;
};

// A received answer, split into its parts.
struct Answer {
    std::string bytes;
    bool closed = false;

    int status() const;              // 0 when the bytes are no HTTP status line
    std::string head() const;        // up to the blank line
    std::string header(const std::string& name) const;
    std::string body() const;        // after the blank line
};

// "GET <url> HTTP/1.1" in proxy form with a Host header and `extraHeaders`
// (each ending in CRLF).
std::string proxyRequest(const std::string& url, const std::string& extraHeaders = {},
                         const std::string& method = "GET");

// One request on a connection of its own, read until the server closes it.
Answer exchange(std::uint16_t port, const std::string& request, std::chrono::milliseconds limit = 5s);
// A GET on a connection of its own that asks for "Connection: close", so the
// server ends the connection after its answer.
Answer get(std::uint16_t port, const std::string& url, const std::string& extraHeaders = {});

struct CurlAnswer {
    int code = 0;  // CURLcode
    long status = 0;
    std::string body;
};
// A GET through `proxyUrl` by libcurl, with a 10 s limit. `acceptEncoding`
// null sends no Accept-Encoding; "" lets libcurl offer and decode all it can.
CurlAnswer curlGet(const std::string& proxyUrl, const std::string& url, const char* acceptEncoding = nullptr,
                   long maxRedirects = 0);

// Sets http_proxy for the life of the object, clears no_proxy, and puts the
// old values back afterwards.
class ProxyEnvironment {
public:
    explicit ProxyEnvironment(const std::string& proxyUrl);
    ~ProxyEnvironment();

private:
    struct Saved {
        const char* name;
        bool had = false;
        std::string value;
    };
    Saved saved_[3] = {{"http_proxy", false, {}}, {"no_proxy", false, {}}, {"NO_PROXY", false, {}}};
};

} // namespace simtest
