#include "web/transfer.h"

#include "web/charset.h"

#include <chrono>

namespace veltrop::transfer {
namespace {

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
    } catch (...) {
        sink.outOfMemory = true;
        return 0;
    }
    return bytes;
}

bool succeeded(const Answer& answer)
{
    return answer.result == CURLE_OK && answer.status >= 200 && answer.status <= 299;
}

} // namespace

void initCurlOnce()
{
    static const CURLcode initialized = curl_global_init(CURL_GLOBAL_DEFAULT);
    (void)initialized;
}

bool configure(CURL* easy, const FetchPool::Request& request, long timeLimitMilliseconds, BodySink& sink,
               const std::string& userAgent)
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
    set(CURLOPT_TIMEOUT_MS, timeLimitMilliseconds);
    set(CURLOPT_ACCEPT_ENCODING, "");
    set(CURLOPT_USERAGENT, userAgent.c_str());
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_WRITEFUNCTION, writeBody);
    set(CURLOPT_WRITEDATA, &sink);
    set(CURLOPT_ERRORBUFFER, sink.errorText);
    return ok;
}

Answer collect(CURL* easy, CURLcode result, BodySink& sink)
{
    Answer answer;
    answer.result = result;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer.status);
    // The body first: it is the one part that is moved, not copied, so an
    // answer that cannot copy its headers still has what it read.
    answer.body = std::move(sink.data);
    const char* text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text)
        answer.contentType = text;
    text = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text)
        answer.finalUrl = text;
    return answer;
}

TransferEnd endOf(CURL* easy, CURLcode result, int attempt, long millisecondsLeft)
{
    TransferEnd end;
    end.result = result;
    end.attempt = attempt;
    end.millisecondsLeft = millisecondsLeft;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &end.status);
    curl_easy_getinfo(easy, CURLINFO_HEADER_SIZE, &end.headerBytes);
    // Read whatever the status: which answers it counts for is the rules' to say.
    curl_header* header = nullptr;
    if (curl_easy_header(easy, "Retry-After", 0, CURLH_HEADER, -1, &header) == CURLHE_OK && header &&
        header->value)
        end.retryAfter = header->value;
    end.nowMilliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch()).count();
    return end;
}

FetchPool::Failure::Reason reasonOf(CURLcode result, long status)
{
    using Reason = FetchPool::Failure::Reason;
    switch (result) {
    case CURLE_OK:
        return status >= 200 && status <= 299 ? Reason::None : Reason::Status;
    case CURLE_OPERATION_TIMEDOUT:
        return Reason::TimedOut;
    case CURLE_COULDNT_CONNECT:
        return Reason::Refused;
    case CURLE_GOT_NOTHING:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_PARTIAL_FILE:
        return Reason::Reset;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
        return Reason::NotFound;
    case CURLE_WRITE_ERROR:
    case CURLE_FILESIZE_EXCEEDED:
        return Reason::TooLarge;
    case CURLE_OUT_OF_MEMORY:
        return Reason::OutOfMemory;
    case CURLE_FAILED_INIT:
        return Reason::NoNetwork;
    default:
        // A proxy's refusal to tunnel still carries the status it sent.
        return status != 0 && (status < 200 || status > 299) ? Reason::Status : Reason::Other;
    }
}

FetchPool::Arrival arrivalOf(Answer& answer, const BodySink& sink, FetchPool::Failure failure, bool wantsPage)
{
    using Reason = FetchPool::Failure::Reason;
    FetchPool::Arrival arrival;
    arrival.status = answer.status;
    arrival.failure = std::move(failure);
    arrival.failure.status = answer.status;
    try {
        if (arrival.failure.reason != Reason::None && sink.errorText[0] != '\0')
            arrival.failure.detail = sink.errorText;
        if (wantsPage && arrival.failure.reason == Reason::None) {
            if (succeeded(answer))
                arrival.page = PageIndex::build(decodePage(answer.body, answer.contentType), answer.finalUrl);
            if (!arrival.page)
                arrival.failure.reason = Reason::Unreadable;
        }
    } catch (...) {
        // A page too large for the memory left is one that did not open.
        arrival.page.reset();
        arrival.failure.reason = Reason::OutOfMemory;
    }
    // Moved only now: the page's links are made absolute against it.
    arrival.finalUrl = std::move(answer.finalUrl);
    answer = {};
    return arrival;
}

} // namespace veltrop::transfer
