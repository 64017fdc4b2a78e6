#include "rank/rankrun.h"

#include "rank/newsdate.h"
#include "web/pageplan.h"
#include "web/text.h"
#include "web/wait.h"

namespace veltrop {
namespace {

class RankRun {
public:
    RankRun(const WebAccess& web, std::span<const RankSource> sources, TickerTable& table, Count count,
            Count stepsToGo, const bool& cancel, RankObserver& observer)
        : web_(web), sources_(sources), table_(table), count_(count), stepsToGo_(stepsToGo), cancel_(cancel),
          observer_(observer), pages_(web.engine, web.lookahead), turn_(web.turnsFor(pages_))
    {
    }

    RankTally run()
    {
        planAll();
        for (const RankSource& source : sources_) {
            if (!observer_.ticked(source)) {
                pages_.drop(key(source, 0), key(source, maxTickers));
                continue;
            }
            ++tally_.sourcesRun;
            rate(source);
        }
        return tally_;
    }

private:
    std::uint64_t key(const RankSource& source, int row) const
    {
        return std::uint64_t(&source - sources_.data()) * 1000 + std::uint64_t(row);
    }

    void plan(const RankSource& source)
    {
        for (int row = 1; row <= count_; ++row)
            if (const auto address = rankAddress(source, cellText(table_[row][0])))
                pages_.plan(key(source, row), *address, readerFor(source));
    }

    void planAll()
    {
        pages_.hold();
        // A whole run's reads take several milliseconds to plan.
        for (const RankSource& source : sources_) {
            if (observer_.ticked(source))
                plan(source);
            giveTurnIfDue(web_.wait);
        }
        // Asking the engine for every page of a run at once takes longer
        // than a frame, and in one call; the plan is safe to use from
        // another thread.
        runBesideHook([&pages = pages_] { pages.release(); }, web_.wait);
    }

    // One source over every ticker.
    void rate(const RankSource& source)
    {
        // A source ticked during the run has its pages asked for at its turn.
        const auto first = key(source, 0), last = key(source, maxTickers);
        if (!pages_.planned(first, last))
            plan(source);

        for (int row = 1; row <= count_; ++row) {
            if (cancel_)
                break;
            const std::string ticker = cellText(table_[row][0]);
            if (!rankAddress(source, ticker))
                continue;

            const auto show = [&] { observer_.progress(countCaption(stepsToGo_, " to go... ") + ticker); };
            if (source.progress == ProgressOrder::ShowThenCount) {
                show();
                --stepsToGo_;
            } else {
                --stepsToGo_;
                show();
            }

            // The window gets its turn once a ticker, so the progress text
            // shows and Cancel is seen even when every result is already in.
            giveTurn(turn_);
            const std::shared_ptr<PageReader> read =
                pages_.take(key(source, row), turn_, [this] { return cancel_ || (web_.closing && web_.closing()); });
            if (!read)
                break;
            add(row, static_cast<const RankReader&>(*read).points(presentDayNumber()));
        }
        // Whatever was fetched ahead for the tickers not reached is not
        // wanted.
        pages_.drop(first, last);
        if (source.clearsProgress)
            observer_.progress("");
    }

    // Adds points to the score of `row`, and records it when they say so.
    void add(int row, const Points& points)
    {
        if (points.kind == Points::Kind::Nothing)
            return;
        CellValue& score = table_[row][1];
        const double* old = std::get_if<double>(&score);
        const double sum = (old ? *old : 0.0) + static_cast<double>(points.value);
        score = sum;
        if (points.kind != Points::Kind::Record)
            return;
        const Whole recorded = roundHalfEven(sum);
        observer_.recorded(recorded);
        if (recorded > tally_.highest)
            tally_.highest = recorded;
        if (recorded < tally_.lowest)
            tally_.lowest = recorded;
    }

    const WebAccess& web_;
    std::span<const RankSource> sources_;
    TickerTable& table_;
    const Count count_;
    Count stepsToGo_;
    const bool& cancel_;
    RankObserver& observer_;
    PagePlan pages_;
    const WaitHook turn_;
    RankTally tally_;
};

} // namespace

RankTally rankTickers(const WebAccess& web, std::span<const RankSource> sources, TickerTable& table, Count count,
                      Count stepsToGo, const bool& cancel, RankObserver& observer)
{
    return RankRun(web, sources, table, count, stepsToGo, cancel, observer).run();
}

} // namespace veltrop
