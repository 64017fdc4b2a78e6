#include "lists/listsources.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace veltrop {
namespace {

// The List box each built-in list source has in the window, by name.
struct Box {
    std::string_view name;
    int box;
};
constexpr std::array<Box, 13> boxes{{
    {"cs-price-breakout", 0},  {"cs-5day-trend", 1},      {"cs-record-volume", 12},       {"cs-30day-trend", 11},
    {"nasdaq-100", 3},         {"wst-coverage-init", 16}, {"wst-eps-surprise", 4},  {"cn-momentum-100", 5},
    {"us-tech-150", 6},        {"cs-record-high", 7},     {"bc-top-100-signal", 8},       {"bc-top-100-alpha", 9},
    {"sp-s-and-p-500", 2},
}};

int boxOf(std::string_view name)
{
    const auto found = std::find_if(boxes.begin(), boxes.end(), [&](const Box& b) { return b.name == name; });
    return found == boxes.end() ? -1 : found->box;
}

} // namespace

std::vector<ListSource> listSourcesOf(const Catalogue& catalogue)
{
    std::vector<ListSource> sources;
    for (const ListEntry& entry : catalogue.lists) {
        ListSource s;
        s.box = boxOf(entry.name);
        s.name = entry.name;
        s.caption = entry.caption;
        s.url = entry.url;
        s.table = entry.table;
        s.row = entry.row;
        s.column = entry.column;
        s.step = entry.step;
        if (entry.next) {
            s.paging = true;
            s.nextTable = entry.next->table;
            s.nextRow = entry.next->row;
            s.nextColumn = entry.next->column;
            s.nextText = entry.next->text;
        }
        sources.push_back(std::move(s));
    }
    return sources;
}

std::span<const ListSource> listSources()
{
    static const std::vector<ListSource> sources = listSourcesOf(builtinCatalogue());
    return sources;
}

} // namespace veltrop
