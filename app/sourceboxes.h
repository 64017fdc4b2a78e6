#pragma once
// Which of the window's 13 List and 17 Rank boxes stands for which source,
// by the catalogue's name for it. The window's business, not the
// catalogue's: a user's entry that replaces a built-in source shows in that
// source's box, and one that adds a source has no box (the command line
// runs it).
#include <string_view>
#include <vector>

#include "lists/listsources.h"
#include "rank/ranksources.h"

namespace veltrop {

// The box's index in its array; -1: no box.
int listBoxOf(std::string_view name);
int rankBoxOf(std::string_view name);

// The sources that have a box, in their run order: what the window runs.
std::vector<ListSource> boxedLists(const std::vector<ListSource>& sources);
std::vector<RankSource> boxedRanks(const std::vector<RankSource>& sources);

} // namespace veltrop
