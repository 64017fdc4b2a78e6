// When a page is asked for again, and after what pause: no network, no clock.
#include "web/retrypolicy.h"

#include <gtest/gtest.h>

#include <optional>

namespace veltrop {
namespace {

TEST(RetryPolicy, PassingFailuresWaitTheirPauseWithinTheRetriesAndTheTimeLimit)
{
    constexpr std::int64_t noon = 1796817600000;  // Wed, 09 Dec 2026 12:00:00 GMT
    constexpr long minute = 60'000;
    constexpr std::optional<long> giveUp;
    struct Row {
        long status;
        CURLcode result;
        long headerBytes;
        int attempt;
        std::optional<std::string_view> retryAfter;
        std::int64_t now;
        long left;
        std::optional<long> pause;
    };
    const Row rows[] = {
        // Closed before any byte of an answer: the usual pause.
        {0, CURLE_GOT_NOTHING, 0, 1, {}, noon, minute, 1000},
        {0, CURLE_RECV_ERROR, 0, 1, {}, noon, minute, 1000},
        {0, CURLE_SEND_ERROR, 0, 2, {}, noon, minute, 1000},
        // Part of an answer came, or it ended another way: final.
        {0, CURLE_RECV_ERROR, 120, 1, {}, noon, minute, giveUp},
        {0, CURLE_PARTIAL_FILE, 0, 1, {}, noon, minute, giveUp},
        {0, CURLE_OPERATION_TIMEDOUT, 0, 1, {}, noon, minute, giveUp},
        {0, CURLE_COULDNT_CONNECT, 0, 1, {}, noon, minute, giveUp},
        // Busy or unreachable behind a proxy, and nothing else.
        {502, CURLE_OK, 90, 1, {}, noon, minute, 1000},
        {503, CURLE_OK, 90, 1, {}, noon, minute, 1000},
        {504, CURLE_OK, 90, 1, {}, noon, minute, 1000},
        {429, CURLE_OK, 90, 1, {}, noon, minute, 1000},
        {500, CURLE_OK, 90, 1, "1", noon, minute, giveUp},
        {404, CURLE_OK, 90, 1, {}, noon, minute, giveUp},
        {200, CURLE_OK, 90, 1, "1", noon, minute, giveUp},
        // Two retries, then final.
        {503, CURLE_OK, 90, 2, {}, noon, minute, 1000},
        {503, CURLE_OK, 90, 3, {}, noon, minute, giveUp},
        {0, CURLE_GOT_NOTHING, 0, 3, {}, noon, minute, giveUp},
        // The pause must end before the time limit does.
        {503, CURLE_OK, 90, 1, {}, noon, 1000, giveUp},
        {503, CURLE_OK, 90, 1, {}, noon, 1001, 1000},
        // Retry-After in seconds.
        {503, CURLE_OK, 90, 1, "1", noon, minute, 1000},
        {503, CURLE_OK, 90, 1, "0", noon, minute, 0},
        {429, CURLE_OK, 90, 1, "2", noon, minute, 2000},
        {503, CURLE_OK, 90, 1, "-5", noon, minute, 1000},
        {503, CURLE_OK, 90, 1, "99999999999999999999", noon, minute, giveUp},
        {503, CURLE_OK, 90, 1, "99999999999999999999", noon, 100'000'000, 86'400'000},
        // Retry-After as a date: the time until then, to the millisecond.
        {503, CURLE_OK, 90, 1, "Wed, 09 Dec 2026 12:00:02 GMT", noon, minute, 2000},
        {503, CURLE_OK, 90, 1, "Wed, 09 Dec 2026 12:00:02 GMT", noon + 500, minute, 1500},
        {503, CURLE_OK, 90, 1, "Wed, 09 Dec 2026 11:59:00 GMT", noon, minute, 0},
        {503, CURLE_OK, 90, 1, "Wed, 09 Dec 2026 13:00:00 GMT", noon, minute, giveUp},
        {503, CURLE_OK, 90, 1, "Wed, 09 Dec 2026 13:00:00 GMT", noon, 4'000'000, 3'600'000},
        // Anything else: the usual pause.
        {503, CURLE_OK, 90, 1, "in a little while", noon, minute, 1000},
        {503, CURLE_OK, 90, 1, "", noon, minute, 1000},
    };
    const RetryRules rules{2, 1000};
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << row.status << " curl " << row.result << " bytes " << row.headerBytes
                                          << " attempt " << row.attempt << " '" << row.retryAfter.value_or("-")
                                          << "' +" << row.now - noon << " left " << row.left);
        const TransferEnd end{row.status, row.result, row.headerBytes, row.attempt, row.retryAfter, row.now, row.left};
        EXPECT_EQ(retryPause(rules, end), row.pause);
    }
}

} // namespace
} // namespace veltrop
