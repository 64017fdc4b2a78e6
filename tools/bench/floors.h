#pragma once
// The floor a ranking run cannot beat for want of the network: the slowest
// host sets the pace, its distinct addresses six at a time (the engine's
// limit per host), each taking the simulated web's latency.
#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "web/hostqueue.h"

inline double latencyFloor(const std::vector<std::string>& requests, int latencyMs)
{
    std::map<std::string, std::set<std::string>> byHost;
    for (const std::string& url : requests)
        byHost[veltrop::HostQueue::hostOf(url)].insert(url);
    double floor = 0;
    for (const auto& [host, urls] : byHost)
        floor = std::max(floor, double(urls.size()) * latencyMs / 1000.0 / 6.0);
    return floor;
}
