// The faults a busy site gives: those that fail the first request for each
// address and then answer as usual, and the 503 that never lets up.
#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "client.h"
#include "tools/simweb/server.h"

using namespace simtest;
using simweb::Fault;

namespace {

const std::string kPerformance = "http://www.barchart.com/performance.htx?sym=";

struct Row {
    const char* name;  // as on the command line
    Fault fault;       // StatusOnce: the name is read by statusOnceFromName
    int firstStatus;  // 0: closed without a byte
    const char* firstRetryAfter;  // nullptr: an IMF-fixdate `dateAhead` seconds after the answer
    int secondStatus;
    int dateAhead = 0;
};

const std::vector<Row> kRows{
    {"droponce", Fault::DropOnce, 0, "", 200},
    {"unavailableonce", Fault::UnavailableOnce, 503, "1", 200},
    {"toomanyonce", Fault::TooManyOnce, 429, "1", 200},
    {"unavailable", Fault::Unavailable, 503, "", 503},
    {"once:502", Fault::StatusOnce, 502, "", 200},
    {"once:504", Fault::StatusOnce, 504, "", 200},
    {"once:503:0", Fault::StatusOnce, 503, "0", 200},
    {"once:429:2", Fault::StatusOnce, 429, "2", 200},
    {"once:503:date+2", Fault::StatusOnce, 503, nullptr, 200, 2},
    {"once:503:date-60", Fault::StatusOnce, 503, nullptr, 200, -60},
    {"once:503:garbage", Fault::StatusOnce, 503, "in a little while", 200},
};

void setFaultNamed(simweb::Server& web, const Row& row)
{
    if (row.fault != Fault::StatusOnce) {
        EXPECT_EQ(simweb::faultFromName(row.name), row.fault) << row.name;
        web.setFault(kPerformance, row.fault);
        return;
    }
    EXPECT_EQ(simweb::faultFromName(row.name), Fault::None) << row.name;
    const auto once = simweb::statusOnceFromName(row.name);
    ASSERT_TRUE(once) << row.name;
    web.setFault(kPerformance, *once);
}

// Seconds since the epoch of an IMF-fixdate ("Wed, 09 Dec 2026 02:30:00 GMT"),
// nullopt for anything else, a wrong weekday included.
std::optional<std::time_t> imfFixdate(const std::string& text)
{
    std::tm parts{};
    const char* end = strptime(text.c_str(), "%a, %d %b %Y %H:%M:%S GMT", &parts);
    if (!end || *end != '\0' || text.size() != 29)
        return std::nullopt;
    const int weekday = parts.tm_wday;
    const std::time_t when = timegm(&parts);
    if (parts.tm_wday != weekday)
        return std::nullopt;
    return when;
}

double secondsSinceEpoch()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

TEST(TransientFaults, FirstAndSecondAnswerPerAddress)
{
    for (const Row& row : kRows) {
        simweb::Server web;
        setFaultNamed(web, row);
        const std::string ibm = kPerformance + "IBM", ge = kPerformance + "GE";
        const std::string usual = get(web.port(), "http://www.barchart.com/").bytes;

        const double asked = secondsSinceEpoch();
        const Answer first = get(web.port(), ibm);
        const double answered = secondsSinceEpoch();
        EXPECT_EQ(first.status(), row.firstStatus) << row.name;
        if (row.firstRetryAfter) {
            EXPECT_EQ(first.header("Retry-After"), row.firstRetryAfter) << row.name;
        } else {
            // Whole seconds, never nearer than asked.
            const auto date = imfFixdate(first.header("Retry-After"));
            ASSERT_TRUE(date) << row.name << ": " << first.header("Retry-After");
            EXPECT_GE(double(*date), asked + row.dateAhead) << row.name;
            EXPECT_LT(double(*date), answered + row.dateAhead + 1) << row.name;
        }
        EXPECT_EQ(first.bytes.empty(), row.firstStatus == 0) << row.name;
        EXPECT_TRUE(first.closed) << row.name;
        const Answer second = get(web.port(), ibm);
        EXPECT_EQ(second.status(), row.secondStatus) << row.name;
        EXPECT_EQ(second.header("Retry-After"), "") << row.name;

        // Another address has its own first time; the one already failed stays served.
        EXPECT_EQ(get(web.port(), ge).status(), row.firstStatus) << row.name;
        EXPECT_EQ(get(web.port(), ge).status(), row.secondStatus) << row.name;
        EXPECT_EQ(get(web.port(), ibm).status(), row.secondStatus) << row.name;
        // Addresses the rule does not match never fail.
        EXPECT_EQ(get(web.port(), "http://www.barchart.com/").bytes, usual) << row.name;

        // Clearing the faults forgets which addresses failed.
        web.clearFaults();
        setFaultNamed(web, row);
        EXPECT_EQ(get(web.port(), ibm).status(), row.firstStatus) << row.name;
        EXPECT_EQ(web.requests().size(), 8u) << row.name << ": every try is logged";
    }
}

TEST(TransientFaults, StatusOnceNamesOutsideTheirGrammarAreRefused)
{
    for (const char* name : {"once", "once:", "once:200", "once:600", "once:50x", "once:503:", "once:503:-1",
                             "once:503:2s", "once:503:date", "once:503:date+", "once:503:date2", "once:503:junk",
                             "once503", "unavailableonce"})
        EXPECT_FALSE(simweb::statusOnceFromName(name)) << name;
}

TEST(TransientFaults, TheAnswerAfterTheFailureIsTheUsualOneOnAKeptAliveConnection)
{
    simweb::Server web, clean;
    web.setFault("/performance", Fault::UnavailableOnce);
    const std::string url = kPerformance + "IBM";
    EXPECT_EQ(get(web.port(), url).status(), 503);

    RawClient client(web.port());
    client.send(proxyRequest(url));
    const std::string expected = get(clean.port(), url).body();
    // The server keeps the connection open, so everything it sends is in by then.
    const Answer answer{client.receive(500ms)};
    EXPECT_EQ(answer.status(), 200);
    EXPECT_EQ(answer.header("Connection"), "keep-alive");
    EXPECT_EQ(answer.body(), expected);
    EXPECT_FALSE(client.closedByServer());
}

TEST(TransientFaults, LibcurlSeesAnEmptyReplyAndThenThePage)
{
    simweb::Server web;
    web.setFault("http://www.barchart.com/", Fault::DropOnce);
    const std::string url = kPerformance + "IBM";
    EXPECT_EQ(curlGet(web.proxyUrl(), url).code, CURLE_GOT_NOTHING);
    const CurlAnswer again = curlGet(web.proxyUrl(), url);
    EXPECT_EQ(again.code, CURLE_OK);
    EXPECT_EQ(again.status, 200);
}

} // namespace
