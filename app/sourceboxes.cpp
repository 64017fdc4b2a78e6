#include "app/sourceboxes.h"

#include <algorithm>
#include <array>
#include <span>

namespace veltrop {
namespace {

struct Box {
    std::string_view name;
    int box;
};

constexpr std::array<Box, 13> listBoxes{{
    {"cs-price-breakout", 0}, {"cs-5day-trend", 1},     {"sp-s-and-p-500", 2},     {"nasdaq-100", 3},
    {"wst-eps-surprise", 4},  {"cn-momentum-100", 5},   {"us-tech-150", 6},        {"cs-record-high", 7},
    {"bc-top-100-signal", 8}, {"bc-top-100-alpha", 9},  {"cs-30day-trend", 11},    {"cs-record-volume", 12},
    {"wst-coverage-init", 16},
}};

constexpr std::array<Box, 17> rankBoxes{{
    {"cn-momentum", 0},          {"mw-days-since-news", 1}, {"ts-st-growth", 2},        {"ts-st-value", 3},
    {"ts-st-tech", 4},           {"bc-overall-perf", 5},    {"fb-fund-count", 6},       {"bc-buy-sell-average", 7},
    {"vl-guru-analysis", 8},     {"ts-analyst", 9},         {"ts-insider", 10},         {"ts-fundamental", 11},
    {"ts-momentum", 12},         {"ts-volume-rank", 13},    {"ts-all-rank-increase", 14}, {"ibd-smartselect", 15},
    {"zk-buy-sell-rank", 16},
}};

int boxIn(std::span<const Box> boxes, std::string_view name)
{
    const auto found = std::find_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.name == name; });
    return found == boxes.end() ? -1 : found->box;
}

template <class Source>
std::vector<Source> boxed(const std::vector<Source>& sources, int (*boxOf)(std::string_view))
{
    std::vector<Source> kept;
    std::copy_if(sources.begin(), sources.end(), std::back_inserter(kept),
                 [&](const Source& s) { return boxOf(s.name) >= 0; });
    return kept;
}

} // namespace

int listBoxOf(std::string_view name) { return boxIn(listBoxes, name); }
int rankBoxOf(std::string_view name) { return boxIn(rankBoxes, name); }

std::vector<ListSource> boxedLists(const std::vector<ListSource>& sources) { return boxed(sources, listBoxOf); }
std::vector<RankSource> boxedRanks(const std::vector<RankSource>& sources) { return boxed(sources, rankBoxOf); }

} // namespace veltrop
