// simweb [--port N] [--latency-ms N] [--fault TARGET=KIND]... [--port-file FILE] [--no-keep-alive]
//
// Serves the simulated web on 127.0.0.1 until SIGINT or SIGTERM. Point a
// program at it with http_proxy=http://127.0.0.1:PORT.
#include "tools/simweb/server.h"

#include <signal.h>

#include <charconv>
#include <cstdio>
#include <exception>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace {

using FaultKind = std::variant<simweb::Fault, simweb::StatusOnce>;

struct Settings {
    simweb::Server::Options options;
    std::vector<std::pair<std::string, FaultKind>> faults;
    std::string portFile;
};

constexpr std::string_view kUsage =
    "usage: simweb [--port N] [--latency-ms N] [--fault TARGET=KIND]... [--port-file FILE] [--no-keep-alive]\n"
    "  --no-keep-alive: close every connection after one answer\n"
    "  KIND: notfound servererror stall drop garbage truncate oversize redirectloop\n"
    "        redirectfile endlesspaging pagingloop headersthensilence drip shortbody\n"
    "        gzipbomb redirectftp redirectgopher proxyauth slow unavailable\n"
    "        droponce unavailableonce toomanyonce (these three fail once per address)\n"
    "        once:STATUS[:WHEN] (STATUS 400-599, once per address; WHEN: N for\n"
    "        Retry-After: N, date+N or date-N for a date N seconds ahead or past,\n"
    "        garbage for a text that is neither; none without WHEN)\n"
    "  TARGET: an absolute address prefix (http://host/path?query) or a path prefix (/path)\n";

template <typename Number>
std::optional<Number> parseNumber(std::string_view text, Number low, Number high)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

// A fault is TARGET=KIND; the target may hold "=" itself (a query), the kind never does.
std::optional<std::pair<std::string, FaultKind>> parseFault(std::string_view text)
{
    const auto equals = text.rfind('=');
    if (equals == std::string_view::npos || equals == 0)
        return std::nullopt;
    const std::string target(text.substr(0, equals)), kind(text.substr(equals + 1));
    if (const simweb::Fault fault = simweb::faultFromName(kind); fault != simweb::Fault::None)
        return std::pair(target, FaultKind(fault));
    if (const auto once = simweb::statusOnceFromName(kind))
        return std::pair(target, FaultKind(*once));
    return std::nullopt;
}

std::optional<Settings> parseArguments(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--no-keep-alive") {
            settings.options.keepAlive = false;
            continue;
        }
        if (i + 1 >= argc)
            return std::nullopt;
        const std::string_view value = argv[++i];
        if (option == "--port") {
            const auto port = parseNumber<int>(value, 0, 65535);
            if (!port)
                return std::nullopt;
            settings.options.port = static_cast<std::uint16_t>(*port);
        } else if (option == "--latency-ms") {
            const auto latency = parseNumber<int>(value, 0, 600000);
            if (!latency)
                return std::nullopt;
            settings.options.latencyMs = *latency;
        } else if (option == "--fault") {
            auto fault = parseFault(value);
            if (!fault)
                return std::nullopt;
            settings.faults.push_back(std::move(*fault));
        } else if (option == "--port-file") {
            settings.portFile = value;
        } else {
            return std::nullopt;
        }
    }
    return settings;
}

// Written under a temporary name and renamed, so that a script waiting for
// the file never reads half of it.
bool writePortFile(const std::string& path, std::uint16_t port)
{
    const std::string temporary = path + ".tmp";
    {
        std::ofstream out(temporary, std::ios::trunc);
        out << port << '\n';
        if (!out.flush())
            return false;
    }
    return std::rename(temporary.c_str(), path.c_str()) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::optional<Settings> settings = parseArguments(argc, argv);
    if (!settings) {
        std::cerr << kUsage;
        return 2;
    }

    // Blocked before the server starts its threads, so that they inherit the
    // mask and only the sigwait below receives these signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        simweb::Server server(settings->options);
        for (const auto& rule : settings->faults)
            std::visit([&](const auto& fault) { server.setFault(rule.first, fault); }, rule.second);
        if (!settings->portFile.empty() && !writePortFile(settings->portFile, server.port())) {
            std::cerr << "simweb: cannot write " << settings->portFile << '\n';
            return 1;
        }
        std::cout << "simweb: listening on " << server.proxyUrl() << std::endl;
        int received = 0;
        sigwait(&stopSignals, &received);
    } catch (const std::exception& error) {
        std::cerr << error.what() << '\n';
        return 1;
    }
    return 0;
}
