// Rank Lists through a real forward proxy: tinyproxy, relaying to the
// simulated web as its upstream, stands where a user's own proxy would. The
// run must leave what a run straight to the simulated web leaves.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "tests/marketpicks.h"
#include "windowrun.h"
#include "testsupport.h"

extern char** environ;

using namespace std::chrono_literals;
using veltrop::testing::ProxyRoute;
using veltrop::testing::RankRunResult;
using veltrop::testing::runRankLists;

namespace {

constexpr std::initializer_list<int> kSixHosts = {0, 2, 5, 6, 8, 16};

std::string tinyproxyBinary()
{
    // Debian 12 installs it in /usr/bin; older releases had it in /usr/sbin.
    for (const char* path : {"/usr/bin/tinyproxy", "/usr/sbin/tinyproxy"})
        if (::access(path, X_OK) == 0)
            return path;
    return {};
}

// A loopback port that was free a moment ago. Another process may take it
// before tinyproxy binds it, so the caller tries again with a new one.
std::uint16_t freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    std::uint16_t port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

bool accepts(std::uint16_t port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return connected;
}

// tinyproxy in the foreground as a child, relaying everything to `upstream`,
// with its configuration, log and pid file in a temporary folder. Stopped,
// reaped and cleaned up when the object goes, whatever the test did.
class TinyproxyProcess {
public:
    TinyproxyProcess(const std::string& binary, std::uint16_t upstream)
        : folder_(veltrop::testing::makeTempFolder("veltrop-tinyproxy"))
    {
        for (int attempt = 0; attempt < 3 && !folder_.empty(); ++attempt) {
            port_ = freePort();
            if (port_ != 0 && start(binary, upstream) && waitUntilAccepting())
                return;
            stop();
        }
        port_ = 0;
    }
    ~TinyproxyProcess()
    {
        stop();
        if (!folder_.empty())
            veltrop::testing::removeTempFolder(folder_);
    }
    TinyproxyProcess(const TinyproxyProcess&) = delete;
    TinyproxyProcess& operator=(const TinyproxyProcess&) = delete;

    bool running() const { return pid_ > 0 && port_ != 0; }
    std::string proxyUrl() const { return "http://127.0.0.1:" + std::to_string(port_); }
    // What tinyproxy printed and logged, for a failure message.
    std::string output() const
    {
        return veltrop::testing::readBytes(folder_ / "output.txt") + veltrop::testing::readBytes(folder_ / "log.txt");
    }

private:
    bool start(const std::string& binary, std::uint16_t upstream)
    {
        const std::filesystem::path config = folder_ / "tinyproxy.conf";
        veltrop::testing::writeBytes(config, "Port " + std::to_string(port_) +
                                                 "\n"
                                                 "Listen 127.0.0.1\n"
                                                 "Timeout 60\n"
                                                 "MaxClients 100\n"
                                                 "LogFile \"" + (folder_ / "log.txt").string() + "\"\n"
                                                 "LogLevel Critical\n"
                                                 "PidFile \"" + (folder_ / "tinyproxy.pid").string() + "\"\n"
                                                 "Upstream http 127.0.0.1:" + std::to_string(upstream) + "\n");
        const std::string output = (folder_ / "output.txt").string();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        std::string configPath = config.string();
        std::vector<char*> argv{const_cast<char*>(binary.c_str()), const_cast<char*>("-d"), const_cast<char*>("-c"),
                                configPath.data(), nullptr};
        const int error = ::posix_spawn(&pid_, binary.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (error != 0)
            pid_ = -1;
        return pid_ > 0;
    }

    // Until it takes connections, or gave up (a port taken in between), for at most five seconds.
    bool waitUntilAccepting()
    {
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                return false;
            }
            if (accepts(port_))
                return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    }

    // SIGTERM, then SIGKILL if it has not gone within two seconds; reaped either way.
    void stop()
    {
        if (pid_ <= 0)
            return;
        ::kill(pid_, SIGTERM);
        const auto deadline = std::chrono::steady_clock::now() + 2s;
        int status = 0;
        while (::waitpid(pid_, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() >= deadline) {
                ::kill(pid_, SIGKILL);
                ::waitpid(pid_, &status, 0);
                break;
            }
            std::this_thread::sleep_for(20ms);
        }
        pid_ = -1;
    }

    std::filesystem::path folder_;
    std::uint16_t port_ = 0;
    pid_t pid_ = -1;
};

// tinyproxy names the default port in the addresses it relays
// ("http://host:80/path"); the program does not.
std::vector<std::string> sortedWithoutDefaultPort(std::vector<std::string> urls)
{
    for (std::string& url : urls)
        if (const auto port = url.find(":80/", 7); port != std::string::npos && url.find('/', 7) == port + 3)
            url.erase(port, 3);
    std::sort(urls.begin(), urls.end());
    return urls;
}

TEST(Tinyproxy, RankListsThroughTinyproxyLeavesWhatItLeavesStraightToTheSimulatedWeb)
{
    const std::string binary = tinyproxyBinary();
    if (binary.empty())
        GTEST_SKIP() << "tinyproxy is not installed (Debian package tinyproxy; `make deps` installs it)";
    simweb::Server web;
    const std::vector<std::string> tickers = veltrop::testing::keptTickers(40);

    RankRunResult direct;
    {
        ProxyRoute route(web.proxyUrl());
        direct = runRankLists(tickers, kSixHosts);
    }
    const std::vector<std::string> directRequests = web.requests();
    ASSERT_GT(direct.grid.size(), 10u) << "the premise: a run that ranks";
    web.clearRequests();

    TinyproxyProcess tinyproxy(binary, web.port());
    ASSERT_TRUE(tinyproxy.running()) << tinyproxy.output();
    RankRunResult relayed;
    {
        ProxyRoute route(tinyproxy.proxyUrl());
        relayed = runRankLists(tickers, kSixHosts);
    }
    expectSameRun(direct, relayed);

    // Every page went through tinyproxy, which passed on the absolute
    // address the program asked for: the same pages, on the program's hosts.
    const std::vector<std::string> heads = web.requestHeads();
    EXPECT_EQ(std::count_if(heads.begin(), heads.end(),
                            [](const std::string& head) {
                                return head.starts_with("GET http://") && head.find("tinyproxy") != std::string::npos;
                            }),
              static_cast<std::ptrdiff_t>(heads.size()));
    EXPECT_EQ(sortedWithoutDefaultPort(web.requests()), sortedWithoutDefaultPort(directRequests));
    const std::vector<std::string> relayedRequests = web.requests();
    for (int source : kSixHosts) {
        const std::string host = "http://" + veltrop::testing::rankHost(source) + ":80/";
        EXPECT_TRUE(std::any_of(relayedRequests.begin(), relayedRequests.end(),
                                [&](const std::string& url) { return url.starts_with(host); }))
            << host;
    }
}

} // namespace
