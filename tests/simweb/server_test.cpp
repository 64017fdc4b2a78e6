// The server as a forward proxy: request forms, error answers, the request
// log, compression, latency, faults and a prompt stop.
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "client.h"
#include "tools/simweb/server.h"
#include "web/pagefetcher.h"

using namespace simtest;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kBreakOut = "http://www.clearstation.com/cgi-bin/drill_event?Event=BreakOut";
const std::string kQuotes = "http://www.washingtonpost.com/portfolio_quick_quotes.asp?tickers=IBM,";
const std::string kClose = "Connection: close\r\n";

long long millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

class SimWeb : public ::testing::Test {
protected:
    simweb::Server web;
    std::uint16_t port() const { return web.port(); }
};

TEST_F(SimWeb, AnswersProxyAndOriginFormAlikeAndClosesWhenAsked)
{
    const Answer proxied = get(port(), kBreakOut);
    EXPECT_EQ(proxied.status(), 200);
    EXPECT_EQ(proxied.header("Content-Type"), "text/html; charset=utf-8");
    EXPECT_EQ(proxied.header("Connection"), "close");
    EXPECT_EQ(proxied.header("Content-Length"), std::to_string(proxied.body().size()));
    EXPECT_TRUE(proxied.closed);

    const Answer direct = exchange(port(), "GET /cgi-bin/drill_event?Event=BreakOut HTTP/1.1\r\n"
                                           "Host: www.clearstation.com\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(direct.status(), 200);
    EXPECT_EQ(direct.body(), proxied.body());
}

TEST_F(SimWeb, HostCaseAndDefaultPortDoNotMatter)
{
    EXPECT_EQ(get(port(), "http://WWW.ClearStation.com:80/cgi-bin/drill_event?Event=BreakOut").body(),
              get(port(), kBreakOut).body());
}

TEST_F(SimWeb, UnknownHostIsBadGatewayAndUnknownPathNotFound)
{
    const Answer unknownHost = get(port(), "http://nowhere.invalid/");
    EXPECT_EQ(unknownHost.status(), 502);
    EXPECT_NE(unknownHost.body().find("nowhere.invalid"), std::string::npos);
    EXPECT_EQ(get(port(), "http://www.clearstation.com/no/such/page.html").status(), 404);
    EXPECT_EQ(get(port(), "http://www.clearstation.com/cgi-bin/drill_event?Event=NoSuchEvent").status(), 404);
}

TEST_F(SimWeb, EveryKnownHostHasAHomePage)
{
    for (const char* host : {"www.clearstation.com", "www.nasdaq.com", "www.wallstreettape.com", "investor.cnet.com",
                             "www.upside.com", "www.barchart.com", "www.spglobal.com", "www.washingtonpost.com",
                             "www.marketwatch.com", "www.telescan.com", "www.forbes.com", "www.validea.com",
                             "www.investors.com", "my.zacks.com", "www.pellamys-veltrop.example"})
        EXPECT_EQ(get(port(), std::string("http://") + host + "/").status(), 200) << host;
}

TEST_F(SimWeb, RequestsThatAreNotHttpOrNotGetAreRefused)
{
    EXPECT_EQ(exchange(port(), "HELLO\r\n\r\n").status(), 400);
    EXPECT_EQ(exchange(port(), "GET ftp://www.clearstation.com/ HTTP/1.1\r\n\r\n").status(), 400);
    EXPECT_EQ(exchange(port(), "GET / HTTP/1.1\r\n\r\n").status(), 400);  // origin form without Host
    EXPECT_EQ(exchange(port(), proxyRequest(kBreakOut, kClose, "POST")).status(), 501);

    const Answer head = exchange(port(), proxyRequest(kBreakOut, kClose, "HEAD"));
    EXPECT_EQ(head.status(), 200);
    EXPECT_EQ(head.body(), "");
    EXPECT_EQ(head.header("Content-Length"), std::to_string(get(port(), kBreakOut).body().size()));
}

TEST_F(SimWeb, AnOversizedRequestHeadIsCutOff)
{
    RawClient client(port());
    client.send("GET " + kBreakOut + " HTTP/1.1\r\nX-Filler: " + std::string(100000, 'x'));
    client.receive(3s);
    EXPECT_TRUE(client.closedByServer());
    EXPECT_EQ(web.requests().size(), 0u);
}

TEST_F(SimWeb, LogsEveryAbsoluteAddressInOrderOfArrival)
{
    get(port(), kBreakOut);
    get(port(), "http://nowhere.invalid/x?y=1");
    exchange(port(), "GET /sigtop.htx?start=all HTTP/1.1\r\nHost: www.barchart.com\r\nConnection: close\r\n\r\n");
    web.setFault("/dropped", simweb::Fault::Drop);
    get(port(), "http://www.barchart.com/dropped");
    const std::vector<std::string> expected{kBreakOut, "http://nowhere.invalid/x?y=1",
                                            "http://www.barchart.com/sigtop.htx?start=all",
                                            "http://www.barchart.com/dropped"};
    EXPECT_EQ(web.requests(), expected);
    web.clearRequests();
    EXPECT_EQ(web.requests(), std::vector<std::string>{});
}

TEST_F(SimWeb, CompressesOnlyWhenTheClientAcceptsGzip)
{
    const Answer plain = get(port(), kBreakOut);
    EXPECT_EQ(plain.header("Content-Encoding"), "");

    const Answer packed = get(port(), kBreakOut, "Accept-Encoding: deflate, gzip\r\n");
    EXPECT_EQ(packed.header("Content-Encoding"), "gzip");
    ASSERT_GE(packed.body().size(), 2u);
    EXPECT_EQ(packed.body().substr(0, 2), "\x1f\x8b");
    EXPECT_LT(packed.body().size(), plain.body().size());

    const CurlAnswer decoded = curlGet(web.proxyUrl(), kBreakOut, "gzip");
    EXPECT_EQ(decoded.code, CURLE_OK);
    EXPECT_EQ(decoded.body, plain.body());

    EXPECT_EQ(get(port(), kBreakOut, "Accept-Encoding: gzip;q=0, identity\r\n").header("Content-Encoding"), "");
}

TEST_F(SimWeb, ServesTheSamePageByteForByteEveryTime)
{
    simweb::Server other;
    for (const std::string& url : {kBreakOut, kQuotes})
        EXPECT_EQ(get(port(), url).bytes, get(other.port(), url).bytes) << url;
}

TEST_F(SimWeb, SetPageOverridesOneExactAddress)
{
    const std::string url = "http://www.clearstation.com/test/page.html?a=1";
    web.setPage(url, "<P>hand-written</P>", "text/html; charset=windows-1252");
    const Answer answer = get(port(), url);
    EXPECT_EQ(answer.status(), 200);
    EXPECT_EQ(answer.body(), "<P>hand-written</P>");
    EXPECT_EQ(answer.header("Content-Type"), "text/html; charset=windows-1252");
    EXPECT_EQ(get(port(), url + "&b=2").status(), 404);

    web.setPage("http://unknown.example/page", "reachable now");
    EXPECT_EQ(get(port(), "http://unknown.example/page").body(), "reachable now");

    web.clearPages();
    EXPECT_EQ(get(port(), url).status(), 404);
}

TEST_F(SimWeb, LatencyDelaysEveryAnswer)
{
    web.setLatency(300);
    const auto start = Clock::now();
    EXPECT_EQ(get(port(), kBreakOut).status(), 200);
    EXPECT_GE(millisecondsSince(start), 300);
    web.setLatency(0);
}

TEST(SimWebOptions, AFixedPortAndLatencyFromTheOptions)
{
    simweb::Server first;
    const std::uint16_t port = first.port();
    EXPECT_NE(port, 0);
    EXPECT_EQ(first.proxyUrl(), "http://127.0.0.1:" + std::to_string(port));
    // A port in use cannot be taken twice.
    EXPECT_THROW(simweb::Server(simweb::Server::Options{port, 0}), std::system_error);

    simweb::Server slow(simweb::Server::Options{0, 200});
    const auto start = Clock::now();
    EXPECT_EQ(get(slow.port(), kBreakOut).status(), 200);
    EXPECT_GE(millisecondsSince(start), 200);
}

// ---- faults ----

TEST(FaultNames, MapTheCommandLineNames)
{
    using simweb::Fault;
    const std::vector<std::pair<std::string, Fault>> names{
        {"notfound", Fault::NotFound},         {"servererror", Fault::ServerError},
        {"stall", Fault::Stall},               {"drop", Fault::Drop},
        {"garbage", Fault::Garbage},           {"truncate", Fault::Truncate},
        {"oversize", Fault::Oversize},         {"redirectloop", Fault::RedirectLoop},
        {"redirectfile", Fault::RedirectToFile}, {"endlesspaging", Fault::EndlessPaging},
        {"pagingloop", Fault::PagingLoop}};
    for (const auto& [name, fault] : names)
        EXPECT_EQ(simweb::faultFromName(name), fault) << name;
    EXPECT_EQ(simweb::faultFromName("NotFound"), Fault::None);
    EXPECT_EQ(simweb::faultFromName(""), Fault::None);
}

TEST_F(SimWeb, FaultRulesMatchByPrefixAndTheLatestWins)
{
    web.setFault("http://www.clearstation.com/cgi-bin/", simweb::Fault::NotFound);
    EXPECT_EQ(get(port(), kBreakOut).status(), 404);
    EXPECT_EQ(get(port(), kQuotes).status(), 200);

    web.setFault("/cgi-bin/drill_event?Event=Break", simweb::Fault::ServerError);
    EXPECT_EQ(get(port(), kBreakOut).status(), 500);
    EXPECT_EQ(get(port(), "http://www.clearstation.com/cgi-bin/drill_event?Event=V").status(), 404);

    web.clearFaults();
    EXPECT_EQ(get(port(), kBreakOut).status(), 200);
}

TEST_F(SimWeb, DropClosesWithoutAByteAndGarbageIsNoHttp)
{
    web.setFault("/drop", simweb::Fault::Drop);
    web.setFault("/garbage", simweb::Fault::Garbage);

    const Answer dropped = get(port(), "http://www.barchart.com/drop");
    EXPECT_EQ(dropped.bytes, "");
    EXPECT_TRUE(dropped.closed);

    const Answer garbage = get(port(), "http://www.barchart.com/garbage");
    EXPECT_FALSE(garbage.bytes.empty());
    EXPECT_EQ(garbage.status(), 0);
    EXPECT_TRUE(garbage.closed);
    EXPECT_NE(curlGet(web.proxyUrl(), "http://www.barchart.com/garbage").code, CURLE_OK);
}

TEST_F(SimWeb, TruncateSendsHalfOfThePromisedBody)
{
    const std::size_t full = get(port(), kBreakOut).body().size();
    web.setFault(kBreakOut, simweb::Fault::Truncate);
    const Answer cut = get(port(), kBreakOut);
    EXPECT_EQ(cut.status(), 200);
    EXPECT_EQ(cut.header("Content-Length"), std::to_string(full));
    EXPECT_EQ(cut.body().size(), full / 2);
    EXPECT_TRUE(cut.closed);
    EXPECT_EQ(curlGet(web.proxyUrl(), kBreakOut).code, CURLE_PARTIAL_FILE);
}

TEST_F(SimWeb, ErrorFaultsAnswerWithTheirStatus)
{
    web.setFault("/missing", simweb::Fault::NotFound);
    web.setFault("/broken", simweb::Fault::ServerError);
    EXPECT_EQ(get(port(), "http://www.nasdaq.com/missing").status(), 404);
    EXPECT_EQ(get(port(), "http://www.nasdaq.com/broken").status(), 500);
    // Faults come before the host check, so even an unknown host can fail this way.
    EXPECT_EQ(get(port(), "http://nowhere.invalid/broken").status(), 500);
}

TEST_F(SimWeb, RedirectFaultsPointAtThemselvesOrAtAFile)
{
    web.setFault("/loop", simweb::Fault::RedirectLoop);
    web.setFault("/file", simweb::Fault::RedirectToFile);

    const Answer loop = get(port(), "http://www.nasdaq.com/loop?x=1");
    EXPECT_EQ(loop.status(), 302);
    EXPECT_EQ(loop.header("Location"), "http://www.nasdaq.com/loop?x=1");
    EXPECT_EQ(curlGet(web.proxyUrl(), "http://www.nasdaq.com/loop?x=1", nullptr, 5).code, CURLE_TOO_MANY_REDIRECTS);

    const Answer file = get(port(), "http://www.nasdaq.com/file");
    EXPECT_EQ(file.status(), 302);
    EXPECT_EQ(file.header("Location"), "file:///etc/passwd");
}

TEST_F(SimWeb, OversizeKeepsSendingAChunkedBody)
{
    web.setFault("/big", simweb::Fault::Oversize);
    RawClient client(port());
    client.send(proxyRequest("http://www.nasdaq.com/big"));
    const Answer answer{client.receive(10s, 4u << 20)};
    EXPECT_EQ(answer.status(), 200);
    EXPECT_EQ(answer.header("Transfer-Encoding"), "chunked");
    EXPECT_EQ(answer.header("Content-Length"), "");
    EXPECT_GE(answer.bytes.size(), 4u << 20);
    EXPECT_FALSE(client.closedByServer());
}

TEST_F(SimWeb, StallSendsNothingAndReleasesTheClientThatGivesUp)
{
    web.setFault("/stall", simweb::Fault::Stall);
    {
        RawClient client(port());
        client.send(proxyRequest("http://www.nasdaq.com/stall"));
        EXPECT_EQ(client.receive(300ms), "");
        EXPECT_FALSE(client.closedByServer());
    }
    // The stalled connection did not block the others.
    EXPECT_EQ(get(port(), kBreakOut).status(), 200);
}

TEST(SimWebStop, StopsPromptlyWhileConnectionsStallSleepOrStream)
{
    auto web = std::make_unique<simweb::Server>();
    web->setFault("/stall", simweb::Fault::Stall);
    web->setFault("/big", simweb::Fault::Oversize);
    RawClient stalled(web->port());
    stalled.send(proxyRequest("http://www.nasdaq.com/stall"));
    RawClient streaming(web->port());
    streaming.send(proxyRequest("http://www.nasdaq.com/big"));
    RawClient silent(web->port());  // connects and never sends its request
    EXPECT_GE(streaming.receive(2s, 1u << 20).size(), 1u << 20);
    web->setLatency(60000);
    RawClient sleeping(web->port());
    sleeping.send(proxyRequest(kBreakOut));
    std::this_thread::sleep_for(200ms);

    const auto start = Clock::now();
    web.reset();
    EXPECT_LT(millisecondsSince(start), 1000);
    EXPECT_EQ(stalled.receive(1s), "");
    EXPECT_TRUE(stalled.closedByServer());
    EXPECT_EQ(sleeping.receive(1s), "");
    EXPECT_TRUE(sleeping.closedByServer());
}

TEST(SimWebStop, ServesManyClientsAtOnce)
{
    simweb::Server web;
    std::vector<std::thread> clients;
    std::vector<int> statuses(16, 0);
    for (std::size_t i = 0; i < statuses.size(); ++i)
        clients.emplace_back([&, i] { statuses[i] = get(web.port(), kQuotes).status(); });
    for (std::thread& client : clients)
        client.join();
    EXPECT_EQ(statuses, std::vector<int>(16, 200));
    EXPECT_EQ(web.requests().size(), 16u);
}

// ---- kept-alive connections ----

// The whole answers at the front of `bytes`, each taken by its Content-Length
// (none for the answers whose numbers, counted from `first`, are in
// `bodiless`: those to HEAD requests); what follows the last whole one is left
// in `bytes`.
std::vector<Answer> takeAnswers(std::string& bytes, std::size_t first, const std::vector<std::size_t>& bodiless)
{
    std::vector<Answer> answers;
    for (;;) {
        const auto end = bytes.find("\r\n\r\n");
        if (end == std::string::npos)
            return answers;
        const Answer head{bytes.substr(0, end + 4)};
        const bool noBody = std::find(bodiless.begin(), bodiless.end(), first + answers.size()) != bodiless.end();
        const std::size_t length = noBody ? 0 : std::strtoul(head.header("Content-Length").c_str(), nullptr, 10);
        if (bytes.size() < end + 4 + length)
            return answers;
        answers.push_back({bytes.substr(0, end + 4 + length)});
        bytes.erase(0, end + 4 + length);
    }
}

// Reads until `count` whole answers came, the server closed or `limit` passed.
std::vector<Answer> readAnswers(RawClient& client, std::size_t count, const std::vector<std::size_t>& bodiless = {},
                                std::chrono::milliseconds limit = 5s)
{
    const auto deadline = Clock::now() + limit;
    std::string bytes;
    std::vector<Answer> answers;
    while (answers.size() < count && !client.closedByServer() && Clock::now() < deadline) {
        bytes += client.receive(10ms);
        for (Answer& answer : takeAnswers(bytes, answers.size(), bodiless))
            answers.push_back(std::move(answer));
    }
    return answers;
}

// True when the server closes the connection within `limit` without sending more.
bool closesWithin(RawClient& client, std::chrono::milliseconds limit)
{
    return client.receive(limit).empty() && client.closedByServer();
}

TEST_F(SimWeb, ServesRequestsOneAfterAnotherAndPipelinedOnOneConnection)
{
    const std::string expected = get(port(), kBreakOut).body();
    const std::string quotes = get(port(), kQuotes).body();
    web.clearRequests();
    const std::size_t before = web.connectionsAccepted();

    RawClient client(port());
    for (int i = 0; i < 2; ++i) {
        client.send(proxyRequest(kBreakOut));
        const std::vector<Answer> answers = readAnswers(client, 1);
        ASSERT_EQ(answers.size(), 1u) << i;
        EXPECT_EQ(answers[0].status(), 200);
        EXPECT_EQ(answers[0].header("Connection"), "keep-alive");
        EXPECT_EQ(answers[0].body(), expected);
    }
    // A client may send its next requests before reading an answer.
    client.send(proxyRequest(kQuotes) + proxyRequest(kBreakOut, {}, "HEAD") + proxyRequest(kBreakOut));
    const std::vector<Answer> answers = readAnswers(client, 3, {1});
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_EQ(answers[0].body(), quotes);
    EXPECT_EQ(answers[1].header("Content-Length"), std::to_string(expected.size()));
    EXPECT_EQ(answers[2].body(), expected);
    EXPECT_FALSE(client.closedByServer());

    EXPECT_EQ(web.connectionsAccepted() - before, 1u);
    EXPECT_EQ(web.requests(), (std::vector<std::string>{kBreakOut, kBreakOut, kQuotes, kBreakOut, kBreakOut}));
    EXPECT_EQ(web.requestHeads().size(), 5u);
    // Requests answered one after another were never answered at once.
    EXPECT_EQ(web.peakConcurrentRequests("www.clearstation.com"), 1);
}

TEST_F(SimWeb, KeepsTheConnectionOnlyWhenTheRequestAsks)
{
    struct Row {
        const char* name;
        std::string request;
        bool keptOpen;
    };
    const std::string target = "GET " + kBreakOut + " ";
    const std::string host = "Host: www.clearstation.com\r\n";
    const std::vector<Row> rows{
        {"1.1 plain", target + "HTTP/1.1\r\n" + host + "\r\n", true},
        {"1.1 close", target + "HTTP/1.1\r\n" + host + "Connection: close\r\n\r\n", false},
        {"1.1 Close in a list", target + "HTTP/1.1\r\n" + host + "Connection: TE, Close\r\n\r\n", false},
        {"1.1 proxy close", target + "HTTP/1.1\r\n" + host + "Proxy-Connection: close\r\n\r\n", false},
        {"1.1 keep-alive", target + "HTTP/1.1\r\n" + host + "Connection: keep-alive\r\n\r\n", true},
        {"1.0 plain", target + "HTTP/1.0\r\n" + host + "\r\n", false},
        {"1.0 keep-alive", target + "HTTP/1.0\r\n" + host + "Connection: Keep-Alive\r\n\r\n", true},
        {"1.0 proxy keep-alive", target + "HTTP/1.0\r\n" + host + "Proxy-Connection: keep-alive\r\n\r\n", true},
        // The server reads no request bodies, so it cannot find the next head.
        {"1.1 with a body", "POST " + kBreakOut + " HTTP/1.1\r\n" + host + "Content-Length: 3\r\n\r\nabc", false},
        {"unparseable", "HELLO\r\n\r\n", false},
    };
    for (const Row& row : rows) {
        RawClient client(port());
        client.send(row.request);
        const std::vector<Answer> answers = readAnswers(client, 1);
        ASSERT_EQ(answers.size(), 1u) << row.name;
        EXPECT_EQ(answers[0].header("Connection"), row.keptOpen ? "keep-alive" : "close") << row.name;
        if (row.keptOpen) {
            client.send(proxyRequest(kQuotes));
            EXPECT_EQ(readAnswers(client, 1).size(), 1u) << row.name;
            EXPECT_FALSE(client.closedByServer()) << row.name;
        } else {
            EXPECT_TRUE(closesWithin(client, 2s)) << row.name;
        }
    }
}

TEST_F(SimWeb, EveryFaultAnswersAsBeforeAndClosesTheConnection)
{
    using simweb::Fault;
    const std::vector<Fault> faults{Fault::NotFound,     Fault::ServerError,   Fault::Drop,
                                    Fault::Garbage,      Fault::Truncate,      Fault::RedirectLoop,
                                    Fault::RedirectToFile, Fault::ShortBody,   Fault::ProxyAuth,
                                    Fault::RedirectToFtp, Fault::EndlessPaging, Fault::Slow};
    web.setStallLimit(50ms);
    for (const Fault fault : faults) {
        web.clearFaults();
        web.setFault(kBreakOut, fault);
        // What a request that asks for the connection to close gets.
        const Answer alone = get(port(), kBreakOut);
        EXPECT_TRUE(alone.closed);

        RawClient client(port());
        client.send(proxyRequest(kBreakOut));
        EXPECT_EQ(client.receive(5s), alone.bytes) << static_cast<int>(fault);
        EXPECT_TRUE(client.closedByServer()) << static_cast<int>(fault);
    }
    // A fault on the second request of a connection closes it after that answer.
    web.clearFaults();
    web.setFault("/missing", Fault::NotFound);
    RawClient client(port());
    client.send(proxyRequest(kQuotes) + proxyRequest("http://www.nasdaq.com/missing") + proxyRequest(kQuotes));
    const std::vector<Answer> answers = readAnswers(client, 3);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0].status(), 200);
    EXPECT_EQ(answers[1].status(), 404);
    EXPECT_EQ(answers[1].header("Connection"), "close");
    EXPECT_TRUE(client.closedByServer());
}

TEST_F(SimWeb, ClosesAnIdleConnection)
{
    web.setIdleTimeout(300ms);
    RawClient client(port());
    client.send(proxyRequest(kQuotes));
    ASSERT_EQ(readAnswers(client, 1).size(), 1u);
    const auto start = Clock::now();
    EXPECT_TRUE(closesWithin(client, 3s));
    EXPECT_GE(millisecondsSince(start), 250);
    EXPECT_LT(millisecondsSince(start), 2000);
}

TEST_F(SimWeb, ClosesAfterTheThousandthRequestOfAConnection)
{
    web.setPage("http://www.nasdaq.com/tiny", "x");
    const std::string request = proxyRequest("http://www.nasdaq.com/tiny");
    RawClient client(port());
    std::vector<Answer> answers;
    for (int batch = 0; batch < 10; ++batch) {
        std::string requests;
        for (int i = 0; i < 100; ++i)
            requests += request;
        client.send(requests);
        for (Answer& answer : readAnswers(client, 100))
            answers.push_back(std::move(answer));
    }
    ASSERT_EQ(answers.size(), 1000u);
    EXPECT_EQ(answers[998].header("Connection"), "keep-alive");
    EXPECT_EQ(answers[999].header("Connection"), "close");
    EXPECT_TRUE(closesWithin(client, 2s));
    EXPECT_EQ(web.connectionsAccepted(), 1u);
}

TEST(SimWebKeepAlive, SwitchedOffEveryAnswerClosesItsConnection)
{
    simweb::Server off(simweb::Server::Options{0, 0, false});
    simweb::Server on;
    on.setKeepAlive(false);
    for (simweb::Server* web : {&off, &on}) {
        RawClient client(web->port());
        client.send(proxyRequest(kQuotes));
        const std::vector<Answer> answers = readAnswers(client, 1);
        ASSERT_EQ(answers.size(), 1u);
        EXPECT_EQ(answers[0].header("Connection"), "close");
        EXPECT_TRUE(closesWithin(client, 2s));
    }
}

TEST(SimWebKeepAlive, PageFetcherReusesItsConnection)
{
    struct Row {
        bool keepAlive;
        std::size_t connections;
    };
    for (const Row row : {Row{true, 1}, Row{false, 3}}) {
        simweb::Server web;
        web.setKeepAlive(row.keepAlive);
        ProxyEnvironment route(web.proxyUrl());
        veltrop::PageFetcher fetcher;
        for (const std::string& url : {kBreakOut, kQuotes, kBreakOut})
            EXPECT_TRUE(fetcher.OpenPage(url, 10)) << url;
        EXPECT_EQ(web.requests().size(), 3u);
        EXPECT_EQ(web.connectionsAccepted(), row.connections) << row.keepAlive;
    }
}

TEST(SimWebStop, StopsPromptlyWithIdleKeptAliveConnections)
{
    auto web = std::make_unique<simweb::Server>();
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 4; ++i) {
        clients.push_back(std::make_unique<RawClient>(web->port()));
        clients.back()->send(proxyRequest(kQuotes));
        ASSERT_EQ(readAnswers(*clients.back(), 1).size(), 1u);
    }
    const auto start = Clock::now();
    web.reset();
    EXPECT_LT(millisecondsSince(start), 1000);
    for (auto& client : clients)
        EXPECT_TRUE(closesWithin(*client, 1s));
}

} // namespace
