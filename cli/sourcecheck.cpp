#include "cli/sourcecheck.h"

#include <algorithm>
#include <ostream>

#include "domain/webaccess.h"
#include "lists/getlists.h"
#include "rank/locators.h"
#include "rank/newsdate.h"
#include "ranklists/sourcesineffect.h"
#include "web/pageplan.h"

namespace veltrop::cli {
namespace {

std::string pointsText(const Points& points)
{
    switch (points.kind) {
    case Points::Kind::Nothing: return "no points (the score is left as it is)";
    case Points::Kind::Add: return std::to_string(points.value) + " points";
    case Points::Kind::Record: return std::to_string(points.value) + " points, recorded";
    }
    return {};
}

// The rank source over each ticker; whether it found its value once.
bool checkRank(const RankSource& source, FetchPool& engine, const std::vector<std::string>& tickers, std::ostream& out)
{
    bool found = false;
    PagePlan pages(engine, 0);
    for (std::size_t i = 0; i < tickers.size(); ++i)
        if (const auto address = rankAddress(source, tickers[i]))
            pages.plan(i, *address, readerFor(source));
    for (std::size_t i = 0; i < tickers.size(); ++i) {
        out << source.name << "\t" << tickers[i] << "\t";
        const auto address = rankAddress(source, tickers[i]);
        if (!address) {
            out << "no page for this ticker\n";
            continue;
        }
        FetchPool::Failure why;
        const auto read = pages.take<RankReader>(i, {}, &why);
        if (!read) {
            out << "did not open: " << whyNotOpened(why) << "\n";
            continue;
        }
        const std::string looked = lookedFor(source);
        // The program's own readers keep no one value to show.
        const bool ownReader = source.extraction != Extraction::SingleCell && source.extraction != Extraction::Located;
        if (ownReader && !read->missed()) {
            found = true;
            out << "opened\t";
        } else if (read->missed()) {
            out << "opened; " << (looked.empty() ? "what it looks for" : looked) << " is not on the page\t";
        } else {
            found = true;
            out << "opened; found \"" << read->value() << "\"\t";
        }
        out << pointsText(read->points(presentDayNumber())) << "\n";
    }
    return found;
}

class FirstPageOnly : public ListsObserver {
public:
    bool ticked(const ListSource&) override { return true; }
    void pageTaken(const std::string&) override {}
    void listEnded() override {}
    void message(const std::string&) override {}
};

bool checkList(const ListSource& source, FetchPool& engine, std::ostream& out)
{
    ListSource first = source;
    first.paging = false;
    TickerList list;
    FirstPageOnly observer;
    const std::vector<ListReport> reports = getLists({engine, 0, {}}, {&first, 1}, list, observer);
    const ListReport& report = reports.front();
    out << source.name << "\t-\t";
    if (report.pages == 0) {
        out << "did not open: " << report.reason << "\n";
        return false;
    }
    if (!report.warning.empty()) {
        out << "opened; " << report.warning << "\n";
        return false;
    }
    out << "opened; " << report.tickers << " tickers:";
    for (const ListedTicker& t : list)
        out << " " << t.ticker;
    out << "\n";
    return report.tickers > 0;
}

} // namespace

int checkSources(const SourcesInEffect& in, FetchPool& engine, const std::vector<std::string>& names,
                 const std::vector<std::string>& tickers, std::ostream& out, std::ostream& err)
{
    std::vector<const RankSource*> ranks;
    std::vector<const ListSource*> lists;
    for (const std::string& name : names) {
        const auto rank = std::find_if(in.ranks.begin(), in.ranks.end(), [&](auto& s) { return s.name == name; });
        const auto list = std::find_if(in.lists.begin(), in.lists.end(), [&](auto& s) { return s.name == name; });
        if (rank != in.ranks.end())
            ranks.push_back(&*rank);
        else if (list != in.lists.end())
            lists.push_back(&*list);
        else {
            err << "veltrop-cli: no source is called '" << name << "' (veltrop-cli sources lists them)\n";
            return 2;
        }
    }
    if (names.empty())
        for (const RankSource& s : in.ranks)
            ranks.push_back(&s);
    bool everyOne = true;
    for (const ListSource* list : lists)
        everyOne = checkList(*list, engine, out) && everyOne;
    for (const RankSource* rank : ranks)
        everyOne = checkRank(*rank, engine, tickers, out) && everyOne;
    return everyOne ? 0 : 3;
}

} // namespace veltrop::cli
