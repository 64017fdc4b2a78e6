#include "web/hostqueue.h"

#include <algorithm>
#include <cctype>

namespace veltrop {

bool HostQueue::Busiest::operator()(const Host* a, const Host* b) const
{
    if (a->queue.size() != b->queue.size())
        return a->queue.size() > b->queue.size();
    return a->name < b->name;
}

template <class Change>
void HostQueue::change(Host& host, Change what)
{
    if (host.place.empty())
        host.place = eligible.extract(&host);
    struct Rank {
        HostQueue& queue;
        Host& host;
        ~Rank()
        {
            if (host.active < host.limit && !host.resting && !host.queue.empty())
                queue.eligible.insert(std::move(host.place));
        }
    } rank{*this, host};
    what(host);
}

void HostQueue::add(const std::string& name, Key key)
{
    auto it = hosts.find(name);
    if (it == hosts.end()) {
        it = hosts.try_emplace(name).first;
        try {
            it->second.name = name;
            it->second.limit = perHost;
            if (const auto limit = limits_.find(name); limit != limits_.end()) {
                it->second.limit = limit->second.connections;
                it->second.interval = limit->second.interval;
                anyInterval_ = anyInterval_ || limit->second.interval.count() > 0;
            }
            // An empty host sorts after every other, and no two share a name.
            it->second.place = eligible.extract(eligible.insert(&it->second).first);
        } catch (...) {
            hosts.erase(it);
            throw;
        }
    }
    change(it->second, [&](Host& host) { host.queue.insert(key); });
}

void HostQueue::hurry(const std::string& name, Key key)
{
    auto it = hosts.find(name);
    auto node = it == hosts.end() ? decltype(it->second.queue)::node_type() : it->second.queue.extract(key);
    if (node.empty())
        return;
    // The host keeps its size, so its place stays good.
    std::get<0>(node.value()) = false;
    it->second.queue.insert(std::move(node));
}

void HostQueue::remove(const std::string& name, Key key)
{
    if (auto it = hosts.find(name); it != hosts.end())
        change(it->second, [&](Host& host) { host.queue.erase(key); });
}

std::optional<HostQueue::Id> HostQueue::take()
{
    if (eligible.empty())
        return std::nullopt;
    Id id = 0;
    change(**eligible.begin(), [&](Host& host) { id = std::get<2>(host.queue.extract(host.queue.begin()).value()); });
    return id;
}

void HostQueue::started(const std::string& name, Clock::time_point now)
{
    change(hosts.at(name), [&](Host& host) {
        ++host.active;
        if (host.interval.count() > 0) {
            host.nextStart = now + host.interval;
            host.resting = true;
        }
    });
}

std::optional<HostQueue::Clock::duration> HostQueue::wake(Clock::time_point now)
{
    if (!anyInterval_)
        return std::nullopt;
    std::optional<Clock::duration> next;
    // Only hosts with an interval of their own ever rest, and a catalogue
    // names a handful: a pass over them all costs nothing next to a page.
    for (auto& [name, host] : hosts) {
        if (!host.resting)
            continue;
        if (host.nextStart <= now)
            change(host, [](Host& h) { h.resting = false; });
        else if (!host.queue.empty() && (!next || host.nextStart - now < *next))
            next = host.nextStart - now;
    }
    return next;
}

void HostQueue::ended(const std::string& name)
{
    if (auto it = hosts.find(name); it != hosts.end())
        change(it->second, [](Host& host) { --host.active; });
}

std::string HostQueue::hostOf(const std::string& url)
{
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    std::size_t end = url.find_first_of("/?#", start);
    std::string authority = url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (const std::size_t at = authority.rfind('@'); at != std::string::npos)
        authority.erase(0, at + 1);
    if (const std::size_t colon = authority.rfind(':');
        colon != std::string::npos && authority.find(']', colon) == std::string::npos)
        authority.erase(colon);
    std::transform(authority.begin(), authority.end(), authority.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return authority;
}

int HostQueue::active(const std::string& name) const
{
    auto it = hosts.find(name);
    return it == hosts.end() ? 0 : it->second.active;
}

} // namespace veltrop
