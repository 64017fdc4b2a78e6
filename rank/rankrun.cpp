#include "rank/rankrun.h"

#include "rank/locators.h"
#include "rank/newsdate.h"
#include "web/pageplan.h"
#include "web/text.h"

namespace veltrop {
namespace {

class RankRun {
public:
    RankRun(const WebAccess& web, std::span<const RankSource> sources, TickerList& list, Count stepsToGo,
            std::stop_token cancel, RankObserver& observer)
        : web_(web), sources_(sources), list_(list), count_(list.size()), stepsToGo_(stepsToGo),
          cancel_(std::move(cancel)), observer_(observer), pages_(web.engine, web.lookahead, web.stop)
    {
    }

    RankTally run()
    {
        std::vector<bool> planned;
        for (const RankSource& source : sources_)
            planned.push_back(observer_.ticked(source));
        planAll(planned);
        observer_.rankingStarted();
        for (const RankSource& source : sources_) {
            SourceReport report;
            report.source = &source;
            if (!observer_.ticked(source)) {
                pages_.drop(key(source, 0), key(source, maxTickers));
                if (!planned[std::size_t(&source - sources_.data())])
                    continue;
                report.notReached = count_;
                report.reason = "box cleared before its turn";
            } else {
                ++tally_.sourcesRun;
                observer_.sourceStarted(source);
                rate(source, report);
            }
            tally_.sources.push_back(std::move(report));
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
            if (const auto address = rankAddress(source, list_[row - 1].ticker))
                pages_.plan(key(source, row), *address, readerFor(source));
    }

    void planAll(const std::vector<bool>& ticked)
    {
        pages_.hold();
        // A whole run's reads take several milliseconds to plan.
        for (const RankSource& source : sources_)
            if (ticked[std::size_t(&source - sources_.data())])
                plan(source);
        pages_.release();
    }

    // One source over every ticker.
    void rate(const RankSource& source, SourceReport& report)
    {
        // A source ticked during the run has its pages asked for at its turn.
        const auto first = key(source, 0), last = key(source, maxTickers);
        if (!pages_.planned(first, last))
            plan(source);

        int opened = 0;
        const auto stop = [&](int row, std::string ticker, std::string reason) {
            report.notReached = count_ - row + 1;
            report.stoppedAt = std::move(ticker);
            report.reason = std::move(reason);
        };
        // A closing window ends the run as Cancel does, only at once.
        const auto cancelled = [this] { return cancel_.stop_requested() || web_.stop.stop_requested(); };
        for (int row = 1; row <= count_; ++row) {
            const std::string ticker = list_[row - 1].ticker;
            if (cancel_.stop_requested()) {
                stop(row, ticker, "Cancel");
                break;
            }
            if (!rankAddress(source, ticker)) {
                ++report.skipped;
                continue;
            }

            const auto show = [&] { return observer_.tickerShown(countCaption(stepsToGo_, " to go... ") + ticker); };
            bool shown;
            if (source.progress == ProgressOrder::ShowThenCount) {
                shown = show();
                --stepsToGo_;
            } else {
                --stepsToGo_;
                shown = show();
            }
            if (!shown) {
                stop(row, ticker, "Cancel");
                break;
            }

            FetchPool::Failure why;
            const auto read = pages_.take<RankReader>(key(source, row), cancel_, &why);
            if (!read) {
                stop(row, ticker, cancelled() || why.reason == FetchPool::Failure::Reason::Cancelled
                                      ? "Cancel"
                                      : whyNotOpened(why));
                break;
            }
            const RankReader& reader = *read;
            report.pages += reader.pagesRead();
            ++opened;
            report.missing += reader.missed();
            const Points points = reader.points(presentDayNumber());
            ++(points.kind == Points::Kind::Nothing ? report.noPoints : report.rated);
            add(row, points);
        }
        report.warning = layoutWarning(lookedFor(source), report.missing, opened);
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
        CellValue& score = list_[row - 1].score;
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
    TickerList& list_;
    const Count count_;
    Count stepsToGo_;
    const std::stop_token cancel_;
    RankObserver& observer_;
    PagePlan pages_;
    RankTally tally_;
};

} // namespace

std::string SourceReport::summary() const
{
    const int total = rated + noPoints + skipped + notReached;
    std::string line = rated == total ? "Rated all " + std::to_string(total)
                                      : "Rated " + std::to_string(rated) + " of " + std::to_string(total);
    if (stoppedEarly())
        line += stoppedAt.empty() ? "; " + reason : "; stopped at " + stoppedAt + ": " + reason;
    if (!warning.empty())
        line += "; " + warning;
    return line + ".";
}

std::string SourceReport::why() const
{
    if (reason.empty() || warning.empty())
        return reason + warning;
    return reason + "; " + warning;
}

RankTally rankTickers(const WebAccess& web, std::span<const RankSource> sources, TickerList& list, Count stepsToGo,
                      Stopping& stopping, RankObserver& observer)
{
    struct Loops {
        Stopping& stopping;
        ~Loops() { stopping.rankingEnds(); }
    } loops{stopping};
    return RankRun(web, sources, list, stepsToGo, stopping.rankingBegins(), observer).run();
}

} // namespace veltrop
