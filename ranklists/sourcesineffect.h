#pragma once
// The sources a front end runs its commands with: the built-in catalogue
// with the user's over it, and the list and rank sources made from it.
#include <vector>

#include "domain/catalogue.h"
#include "lists/listsources.h"
#include "rank/ranksources.h"

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
    const OpinionEntry& opinion() const { return *catalogue.opinion; }
};

} // namespace veltrop
