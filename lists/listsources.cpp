#include "lists/listsources.h"

namespace veltrop {

std::vector<ListSource> listSourcesOf(const Catalogue& catalogue)
{
    std::vector<ListSource> sources;
    for (const ListEntry& entry : catalogue.lists) {
        ListSource s;
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
