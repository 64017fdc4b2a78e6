#include "client.h"

#include <arpa/inet.h>
#include <curl/curl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace simtest {

RawClient::RawClient(std::uint16_t port)
{
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot connect to the simulated web");
}

RawClient::~RawClient() { ::close(fd_); }

void RawClient::send(const std::string& bytes)
{
    if (::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("cannot send the request");
}

std::string RawClient::receive(std::chrono::milliseconds limit, std::size_t maxBytes)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string received;
    char buffer[65536];
    while (received.size() < maxBytes && !closed_) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left <= 0ms)
            break;
        pollfd entry{fd_, POLLIN, 0};
        if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0)
            continue;
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
        if (n > 0)
            received.append(buffer, static_cast<std::size_t>(n));
        else
            closed_ = true;
    }
    return received;
}

int Answer::status() const
{
    if (!bytes.starts_with("HTTP/1.1 ") || bytes.size() < 12)
        return 0;
    return std::atoi(bytes.substr(9, 3).c_str());
}

std::string Answer::head() const { return bytes.substr(0, bytes.find("\r\n\r\n")); }

std::string Answer::header(const std::string& name) const
{
    const std::string text = head();
    const std::string key = "\r\n" + name + ": ";
    const auto at = text.find(key);
    if (at == std::string::npos)
        return {};
    const auto start = at + key.size();
    return text.substr(start, text.find("\r\n", start) - start);
}

std::string Answer::body() const
{
    const auto end = bytes.find("\r\n\r\n");
    return end == std::string::npos ? std::string{} : bytes.substr(end + 4);
}

std::string proxyRequest(const std::string& url, const std::string& extraHeaders, const std::string& method)
{
    const auto hostStart = url.find("://") + 3;
    const std::string host = url.substr(hostStart, url.find('/', hostStart) - hostStart);
    return method + " " + url + " HTTP/1.1\r\nHost: " + host + "\r\n" + extraHeaders + "\r\n";
}

Answer exchange(std::uint16_t port, const std::string& request, std::chrono::milliseconds limit)
{
    RawClient client(port);
    client.send(request);
    Answer answer;
    answer.bytes = client.receive(limit);
    answer.closed = client.closedByServer();
    return answer;
}

Answer get(std::uint16_t port, const std::string& url, const std::string& extraHeaders)
{
    return exchange(port, proxyRequest(url, "Connection: close\r\n" + extraHeaders));
}

namespace {

size_t appendBody(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

} // namespace

CurlAnswer curlGet(const std::string& proxyUrl, const std::string& url, const char* acceptEncoding, long maxRedirects)
{
    CurlAnswer answer;
    CURL* curl = curl_easy_init();
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_PROXY, proxyUrl.c_str());
    curl_easy_setopt(curl, CURLOPT_TIMEOUT, 10L);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, appendBody);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer.body);
    if (acceptEncoding)
        curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, acceptEncoding);
    if (maxRedirects > 0) {
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, maxRedirects);
    }
    answer.code = curl_easy_perform(curl);
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &answer.status);
    curl_easy_cleanup(curl);
    return answer;
}

ProxyEnvironment::ProxyEnvironment(const std::string& proxyUrl)
{
    for (Saved& saved : saved_) {
        if (const char* value = std::getenv(saved.name)) {
            saved.had = true;
            saved.value = value;
        }
        ::unsetenv(saved.name);
    }
    ::setenv("http_proxy", proxyUrl.c_str(), 1);
}

ProxyEnvironment::~ProxyEnvironment()
{
    for (const Saved& saved : saved_) {
        if (saved.had)
            ::setenv(saved.name, saved.value.c_str(), 1);
        else
            ::unsetenv(saved.name);
    }
}

} // namespace simtest
