#include "web/retrypolicy.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace veltrop {
namespace {

// The longest pause a Retry-After may name here: far longer than the program
// gives any page, so the retry is refused and the page fails now rather than
// after a wait that could not end in time; short enough that adding it to a
// clock cannot overflow.
constexpr long longestPauseMilliseconds = 24L * 60 * 60 * 1000;

// The pause a Retry-After value names: a number of seconds, or an HTTP date
// (the time until then, nothing once it has passed); nullopt for anything
// else, which leaves the usual pause.
std::optional<long> namedPause(std::string_view value, std::int64_t nowMilliseconds)
{
    // Copied to end it with a NUL, on the stack: a transfer's end must not
    // need memory. No date or count is this long.
    char text[128];
    if (value.size() >= sizeof text)
        return std::nullopt;
    value.copy(text, value.size());
    text[value.size()] = '\0';
    char* end = nullptr;
    const long long seconds = std::strtoll(text, &end, 10);  // an overflow saturates into the cap
    if (end != text && *end == '\0') {
        if (seconds < 0)
            return std::nullopt;
        return long(std::min<long long>(seconds, longestPauseMilliseconds / 1000) * 1000);
    }
    const time_t date = curl_getdate(text, nullptr);
    if (date == -1)
        return std::nullopt;
    // Both in milliseconds, so that a date a second ahead does not round to nothing.
    const long long until = static_cast<long long>(date) * 1000 - nowMilliseconds;
    return long(std::clamp<long long>(until, 0, longestPauseMilliseconds));
}

} // namespace

std::optional<long> retryPause(const RetryRules& rules, const TransferEnd& end)
{
    std::optional<long> pause;
    if (end.status == 0) {
        const bool closedUnanswered = end.result == CURLE_GOT_NOTHING || end.result == CURLE_RECV_ERROR ||
                                      end.result == CURLE_SEND_ERROR;
        if (closedUnanswered && end.headerBytes == 0)
            pause = rules.usualPauseMilliseconds;
    } else if (end.status == 502 || end.status == 503 || end.status == 504 || end.status == 429) {
        pause = rules.usualPauseMilliseconds;
        if (end.retryAfter)
            pause = namedPause(*end.retryAfter, end.nowMilliseconds).value_or(*pause);
    }
    if (!pause || end.attempt > rules.retries || *pause >= end.millisecondsLeft)
        return std::nullopt;
    return pause;
}

} // namespace veltrop
