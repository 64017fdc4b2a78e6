#pragma once
// The sources a front end runs its commands with: the built-in catalogue
// with the user's over it, and the list and rank sources made from it.
#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "domain/catalogue.h"
#include "lists/listsources.h"
#include "rank/ranksources.h"
#include "web/fetchpool.h"

namespace veltrop {

struct SourcesInEffect {
    explicit SourcesInEffect(Catalogue in = builtinCatalogue())
        : catalogue(std::move(in)), lists(listSourcesOf(catalogue)), ranks(rankSourcesOf(catalogue))
    {
    }

    Catalogue catalogue;
    std::vector<ListSource> lists;
    std::vector<RankSource> ranks;

    const QuotesEntry& quotes() const { return *catalogue.quotes; }
    // Puts the catalogue's host limits and user agent on `engine`.
    void applySiteRules(FetchPool& engine) const
    {
        std::map<std::string, HostQueue::Limit> hosts;
        for (const HostEntry& host : catalogue.hosts)
            hosts[host.name] = {host.connections, std::chrono::milliseconds(host.intervalMs)};
        engine.setSiteRules(std::move(hosts), catalogue.userAgent);
    }
    const OpinionEntry& opinion() const { return *catalogue.opinion; }
};

} // namespace veltrop
