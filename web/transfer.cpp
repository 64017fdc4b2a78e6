#include "web/transfer.h"

#include "web/charset.h"
#include "web/pageindex.h"

#include <cstdlib>
#include <new>

namespace veltrop::transfer {
namespace {

constexpr const char* userAgent = "PellamysVeltrop/1.4";
constexpr const char* webProtocols = "http,https";
constexpr long maxRedirects = 10;

// Past the limit the write fails, which ends the transfer with an error: a
// chunked body has no announced size for libcurl to refuse beforehand. No
// exception may cross libcurl's C frames, so running out of memory fails the
// write the same way.
std::size_t writeBody(char* data, std::size_t size, std::size_t count, void* userdata)
{
    auto& sink = *static_cast<BodySink*>(userdata);
    const std::size_t bytes = size * count;
    if (bytes > sink.limit - sink.data.size())
        return 0;
    try {
        sink.data.append(data, bytes);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return bytes;
}

} // namespace

void initCurlOnce()
{
    static const CURLcode initialized = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialized;
}

bool configure(CURL* easy, const Request& request, BodySink& sink)
{
    if (!easy)
        return false;
    bool ok = true;
    auto set = [&](CURLoption option, auto value) { ok = ok && curl_easy_setopt(easy, option, value) == CURLE_OK; };
    set(CURLOPT_URL, request.url.c_str());
    // libcurl would otherwise also read file: and a dozen other schemes, from
    // the address and from a redirect alike.
    set(CURLOPT_PROTOCOLS_STR, webProtocols);
    set(CURLOPT_REDIR_PROTOCOLS_STR, webProtocols);
    set(CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    set(CURLOPT_MAXREDIRS, maxRedirects);
    set(CURLOPT_TIMEOUT_MS, request.timeLimitMilliseconds);
    set(CURLOPT_ACCEPT_ENCODING, "");
    set(CURLOPT_USERAGENT, userAgent);
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_WRITEFUNCTION, writeBody);
    set(CURLOPT_WRITEDATA, &sink);
    return ok;
}

Answer collect(CURL* easy, CURLcode result, BodySink& sink)
{
    Answer answer;
    answer.result = result;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer.status);
    const char* text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text)
        answer.contentType = text;
    text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text)
        answer.finalUrl = text;
    answer.body = std::move(sink.data);
    return answer;
}

bool succeeded(const Answer& answer)
{
    return answer.result == CURLE_OK && answer.status >= 200 && answer.status <= 299;
}

std::optional<long> retryPause(CURL* easy, CURLcode result, long usual)
{
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    if (status == 0) {
        long headerBytes = 0;
        curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &headerBytes);
        const bool closedUnanswered =
            result == CURLE_GOT_NOTHING || result == CURLE_RECV_ERROR || result == CURLE_SEND_ERROR;
        return closedUnanswered && headerBytes == 0 ? std::optional<long>(usual) : std::nullopt;
    }
    if (status != 502 && status != 503 && status != 504 && status != 429)
        return std::nullopt;
    curl_header* header = nullptr;
    if (curl_easy_header(easy, "Retry-After", 0, CURLH_HEADER, -1, &header) == CURLHE_OK && header &&
        header->value) {
        // Only the seconds form; a date is taken as the usual pause.
        char* end = nullptr;
        const long seconds = std::strtol(header->value, &end, 10);
        if (end != header->value && *end == '\0' && seconds >= 0 && seconds <= 3600)
            return seconds * 1000;
    }
    return usual;
}

std::optional<PageIndex> openedPage(const Answer& answer)
{
    if (!succeeded(answer))
        return std::nullopt;
    return PageIndex::build(decodePage(answer.body, answer.contentType), answer.finalUrl);
}

} // namespace veltrop::transfer
