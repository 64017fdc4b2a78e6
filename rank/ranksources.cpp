// The rank sources, in the order a ranking run takes them.
#include "rank/ranksources.h"

#include "web/text.h"
#include "web/url.h"

#include <algorithm>
#include <array>

namespace veltrop {
namespace {

using enum Extraction;
using enum ProgressOrder;

// The program's own readers, by the names a catalogue gives them.
Extraction readerNamed(std::string_view name)
{
    if (name == "days-since-news")
        return DaysSinceNews;
    if (name == "rank-change")
        return RankChange;
    if (name == "fund-count")
        return FundCount;
    if (name == "guru-average")
        return GuruAverage;
    if (name == "smartselect")
        return SmartSelect;
    return Broker;
}

// The single-cell sources and days since news show their progress before
// counting down and clear it at the end; the others count down first (so
// they show the count already lowered) and leave their last text standing.
RankSource sourceOf(const RankEntry& entry)
{
    RankSource s;
    s.name = entry.name;
    s.caption = entry.caption;
    const std::size_t ticker = entry.url.find("{ticker}");
    s.before = entry.url.substr(0, ticker);
    s.after = entry.url.substr(ticker + std::string_view("{ticker}").size());
    if (entry.locator.kind == Locator::Kind::Reader) {
        s.extraction = readerNamed(entry.locator.text);
        const bool showFirst = s.extraction == DaysSinceNews;
        s.progress = showFirst ? ShowThenCount : CountThenShow;
        s.clearsProgress = showFirst;
        s.precheck = s.extraction == SmartSelect;
    } else if (entry.locator.kind == Locator::Kind::Cell && entry.grades.empty() && entry.noData.empty()) {
        s.cell = entry.locator.cell;
    } else {
        s.extraction = Located;
        s.locator = entry.locator;
        s.grades = entry.grades;
        s.noData = entry.noData;
    }
    return s;
}

// A built-in source that a user's entry replaces keeps how it shows its
// progress.
void keepBuiltinProgress(RankSource& source)
{
    for (const RankEntry& builtin : builtinCatalogue().ranks)
        if (builtin.name == source.name) {
            const RankSource was = sourceOf(builtin);
            source.progress = was.progress;
            source.clearsProgress = was.clearsProgress;
            return;
        }
}

} // namespace

std::vector<RankSource> rankSourcesOf(const Catalogue& catalogue)
{
    std::vector<RankSource> sources;
    for (const RankEntry& entry : catalogue.ranks) {
        sources.push_back(sourceOf(entry));
        keepBuiltinProgress(sources.back());
    }
    return sources;
}

std::span<const RankSource> rankSources()
{
    static const std::vector<RankSource> sources = rankSourcesOf(builtinCatalogue());
    return sources;
}

const TableWalk& fundWalk()
{
    // Holdings stand on every other row of table 11 from row 3; the link to
    // the next page of holdings sits below them.
    static const TableWalk walk{{11, 2, 3}, 2, 5000, true, {11, 53, 2}, "Next"};
    return walk;
}

std::optional<std::string> rankAddress(const RankSource& source, std::string_view ticker)
{
    std::optional<std::string> text = source.precheck ? smartSelectCode(ticker) : std::string(trimBlanks(ticker));
    if (!text)
        return std::nullopt;
    return source.before + encodeUrlPart(*text) + source.after;
}

} // namespace veltrop
