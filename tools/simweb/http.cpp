#include "tools/simweb/http.h"

#include <zlib.h>

#include <algorithm>
#include <stdexcept>

namespace simweb {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size()
           && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::string toLower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

std::string_view trim(std::string_view text)
{
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Splits "text" at every `separator`; the pieces are views into `text`.
std::vector<std::string_view> split(std::string_view text, std::string_view separator)
{
    std::vector<std::string_view> pieces;
    for (;;) {
        const auto at = text.find(separator);
        pieces.push_back(text.substr(0, at));
        if (at == std::string_view::npos)
            return pieces;
        text.remove_prefix(at + separator.size());
    }
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lower(c);
    return (c >= 'a' && c <= 'f') ? c - 'a' + 10 : -1;
}

// "host[:port]" -> lower-case host; empty when the port is not a number.
std::string hostOf(std::string_view authority)
{
    const auto colon = authority.rfind(':');
    if (colon != std::string_view::npos) {
        const std::string_view port = authority.substr(colon + 1);
        if (!std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; }))
            return {};
        authority = authority.substr(0, colon);
    }
    return toLower(authority);
}

} // namespace

std::string Request::header(std::string_view name) const
{
    for (const auto& [key, value] : headers)
        if (equalsIgnoringCase(key, name))
            return value;
    return {};
}

std::optional<Request> parseRequestHead(std::string_view head)
{
    const std::vector<std::string_view> lines = split(head, "\r\n");
    const std::vector<std::string_view> words = split(lines.front(), " ");
    if (words.size() != 3 || words[0].empty() || words[1].empty() || !words[2].starts_with("HTTP/"))
        return std::nullopt;
    Request request{std::string(words[0]), std::string(words[1]), std::string(words[2]), {}};
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const auto colon = lines[i].find(':');
        if (colon == std::string_view::npos || colon == 0)
            return std::nullopt;
        request.headers.emplace_back(std::string(lines[i].substr(0, colon)),
                                     std::string(trim(lines[i].substr(colon + 1))));
    }
    return request;
}

std::optional<Address> requestedAddress(const Request& request)
{
    std::string_view target = request.target;
    std::string authority;
    if (target.starts_with("/")) {
        authority = request.header("Host");
    } else {
        constexpr std::string_view scheme = "http://";
        if (target.size() < scheme.size() || !equalsIgnoringCase(target.substr(0, scheme.size()), scheme))
            return std::nullopt;
        target.remove_prefix(scheme.size());
        const auto slash = target.find_first_of("/?");
        authority = std::string(target.substr(0, slash));
        target = slash == std::string_view::npos ? std::string_view{} : target.substr(slash);
    }
    Address address;
    address.host = hostOf(authority);
    if (address.host.empty())
        return std::nullopt;
    const auto question = target.find('?');
    address.path = std::string(target.substr(0, question));
    if (address.path.empty())
        address.path = "/";
    if (question != std::string_view::npos)
        address.query = std::string(target.substr(question + 1));
    address.absolute = request.target.starts_with("/") ? "http://" + authority + request.target
                                                       : request.target;
    return address;
}

bool acceptsGzip(std::string_view acceptEncoding)
{
    for (std::string_view item : split(acceptEncoding, ",")) {
        const std::vector<std::string_view> parts = split(item, ";");
        if (!equalsIgnoringCase(trim(parts.front()), "gzip"))
            continue;
        for (std::size_t i = 1; i < parts.size(); ++i) {
            const std::string_view parameter = trim(parts[i]);
            if (parameter.starts_with("q=") && parameter.find_first_not_of("0.", 2) == std::string_view::npos)
                return false;
        }
        return true;
    }
    return false;
}

std::string gzipCompress(std::string_view data)
{
    z_stream stream{};
    // 15 window bits plus 16 asks zlib for a gzip wrapper rather than a zlib one.
    if (deflateInit2(&stream, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2 failed");
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    const int result = deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    if (result != Z_STREAM_END)
        throw std::runtime_error("deflate did not finish");
    return out;
}

std::string percentDecode(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::string> queryValue(std::string_view query, std::string_view name)
{
    for (std::string_view pair : split(query, "&")) {
        const auto equals = pair.find('=');
        if (percentDecode(pair.substr(0, equals)) == name)
            return equals == std::string_view::npos ? std::string{} : percentDecode(pair.substr(equals + 1));
    }
    return std::nullopt;
}

std::string_view reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 407: return "Proxy Authentication Required";
    case 429: return "Too Many Requests";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 502: return "Bad Gateway";
    case 503: return "Service Unavailable";
    case 504: return "Gateway Timeout";
    default: return "Unknown";
    }
}

std::string responseHead(int status, const Headers& headers, std::optional<std::size_t> contentLength,
                         bool keepAlive)
{
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + std::string(reasonPhrase(status)) + "\r\n";
    head += "Server: simweb\r\n";
    for (const auto& [name, value] : headers)
        head += name + ": " + value + "\r\n";
    if (contentLength)
        head += "Content-Length: " + std::to_string(*contentLength) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    return head;
}

std::string serialize(const Response& response, bool withBody, bool keepAlive)
{
    std::string out = responseHead(response.status, response.headers, response.body.size(), keepAlive);
    if (withBody)
        out += response.body;
    return out;
}

namespace {

// True when a comma-separated header value lists `token` (ignoring case).
bool listsToken(std::string_view value, std::string_view token)
{
    for (std::string_view item : split(value, ","))
        if (equalsIgnoringCase(trim(item), token))
            return true;
    return false;
}

} // namespace

bool wantsKeepAlive(const Request& request)
{
    // Each header is looked at on every line it appears on, the way a
    // client may split its list of connection options.
    bool close = false, keepAlive = false;
    for (const auto& [name, value] : request.headers) {
        if (!equalsIgnoringCase(name, "Connection") && !equalsIgnoringCase(name, "Proxy-Connection"))
            continue;
        close = close || listsToken(value, "close");
        keepAlive = keepAlive || listsToken(value, "keep-alive");
    }
    if (close)
        return false;
    if (request.version == "HTTP/1.1")
        return true;
    return request.version == "HTTP/1.0" && keepAlive;
}

bool hasBody(const Request& request)
{
    const std::string length = request.header("Content-Length");
    return !request.header("Transfer-Encoding").empty() || length.find_first_not_of(" 0") != std::string::npos;
}

} // namespace simweb
