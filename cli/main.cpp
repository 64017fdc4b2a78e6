// veltrop-cli: Get Lists, Rank Lists and Opinion from a script, over the
// same domain the window runs, with no window.
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <thread>

#include <CLI/CLI.hpp>

#include "cli/names.h"
#include "cli/sourcecheck.h"
#include "cli/sources.h"
#include "domain/webaccess.h"
#include "files/listfiles.h"
#include "lists/getlists.h"
#include "opinion/opinion.h"
#include "ranklists/ranklists.h"
#include "ranklists/sourcesineffect.h"
#include "results/rowstext.h"
#include "web/fetchpool.h"
#include "web/pagefetcher.h"
#include "web/text.h"

namespace veltrop::cli {
namespace {

constexpr int usageError = 2;
constexpr int interruptedStatus = 130;

// Ctrl-C, taken on a thread of its own rather than in a signal handler, so
// that it may stop a run as the window's Cancel and close do: in the ranking
// loops it is Cancel, and the result read so far is printed; before them,
// where Cancel does nothing, it ends the program at once; a second press
// ends every page of the run at once.
class Interrupts {
public:
    // Blocks Ctrl-C in this thread and every thread started after it, so
    // that only the watcher takes it.
    Interrupts()
    {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGUSR1);
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        watcher_ = std::thread([this] { watch(); });
    }
    ~Interrupts()
    {
        pthread_kill(watcher_.native_handle(), SIGUSR1);
        watcher_.join();
    }
    Stopping& stopping() { return stopping_; }
    bool pressed() const { return presses_.load() > 0; }

private:
    void watch()
    {
        for (int signal = 0; sigwait(&signals_, &signal) == 0 && signal == SIGINT;) {
            if (presses_.fetch_add(1) > 0)
                stopping_.stopNow();
            else if (!stopping_.cancel())
                _exit(interruptedStatus);
        }
    }

    sigset_t signals_;
    Stopping stopping_;
    std::atomic<int> presses_{0};
    std::thread watcher_;
};

// Where progress goes: one line on standard error, rewritten in place; and
// the messages, one a line after it.
class Progress {
public:
    explicit Progress(bool on) : on_(on) {}
    void say(const std::string& text)
    {
        end();
        std::cerr << text << "\n";
        messages.push_back(text);
    }
    std::vector<std::string> messages;
    void show(const std::string& text)
    {
        if (on_)
            std::fprintf(stderr, "\r%s\033[K", text.c_str());
    }
    void end()
    {
        if (on_)
            std::fprintf(stderr, "\r\033[K");
    }

private:
    bool on_;
};

template <class Source>
std::vector<std::string> captionsOf(std::span<const Source> sources)
{
    std::vector<std::string> captions;
    for (const Source& s : sources)
        captions.emplace_back(s.caption);
    return captions;
}

// The sources of `all` that `wanted` names, or a usage error.
template <class Source>
std::vector<const Source*> chosen(std::span<const Source> all, const std::vector<std::string>& wanted,
                                  const char* kind)
{
    // A source is named by its catalogue name too, which for one a user
    // added need not follow from its caption.
    std::vector<std::string> words;
    for (const std::string& word : wanted) {
        const auto named = std::find_if(all.begin(), all.end(), [&](const Source& s) { return s.name == word; });
        words.push_back(named == all.end() ? word : named->caption);
    }
    std::string unknown;
    const auto picked = pick(captionsOf(all), words, unknown);
    if (!picked)
        throw CLI::ValidationError(std::string("no ") + kind + " source is called '" + unknown +
                                   "' (veltrop-cli sources lists them)");
    std::vector<const Source*> sources;
    for (std::size_t i : *picked)
        sources.push_back(&all[i]);
    return sources;
}

class Lists : public ListsObserver {
public:
    Lists(std::vector<const ListSource*> wanted, Progress& progress) : wanted_(std::move(wanted)), progress_(progress)
    {
    }
    bool ticked(const ListSource& source) override
    {
        return std::find(wanted_.begin(), wanted_.end(), &source) != wanted_.end();
    }
    void pageTaken(const std::string& ticker) override { progress_.show(ticker); }
    void listEnded() override {}
    void message(const std::string& text) override { progress_.say(text); }

private:
    std::vector<const ListSource*> wanted_;
    Progress& progress_;
};

class Ranking : public RankListsObserver {
public:
    Ranking(std::vector<const RankSource*> wanted, Progress& progress)
        : wanted_(std::move(wanted)), progress_(progress)
    {
    }
    bool ticked(const RankSource& source) override
    {
        return std::find(wanted_.begin(), wanted_.end(), &source) != wanted_.end();
    }
    void started() override {}
    void filtering() override { progress_.show("Filtering..."); }
    void sourceStarted(const RankSource& source) override { source_ = std::string(source.caption); }
    void progress(const std::string& text) override
    {
        if (!text.empty())
            progress_.show(source_ + ":" + text);
    }
    void recorded(Whole) override {}
    void resultsShown(const RankedRows&) override {}
    void message(const std::string& text) override { progress_.say(text); }

private:
    std::vector<const RankSource*> wanted_;
    Progress& progress_;
    std::string source_;
};

std::string spanOf(LimitRange range) { return std::to_string(range.lowest) + " to " + std::to_string(range.highest); }

// A limit as the window takes it from its text box.
Whole limit(const std::string& text, LimitRange range, const char* option)
{
    const Whole value = roundHalfEven(leadingNumber(text));
    if (!range.holds(value))
        throw CLI::ValidationError(std::string(option) + " must be a number between " +
                                   std::to_string(range.lowest) + " and " + std::to_string(range.highest));
    return value;
}

struct Options {
    std::vector<std::string> lists, ranks;
    std::string input, output, format = "table", price = "5", volume = "25000";
    bool report = false, strict = false, deleteBottom = false, progress = false;
    std::string ticker;
};

int runLists(const Options& o, const SourcesInEffect& in, Progress& progress, Interrupts& interrupts)
{
    FetchPool engine;
    in.applySiteRules(engine);
    const std::span<const ListSource> all = in.lists;
    Lists observer(chosen(all, o.lists.empty() ? std::vector<std::string>{"all"} : o.lists, "list"), progress);
    TickerList list;
    const std::vector<ListReport> reports = getLists({engine, 0, interrupts.stopping().token()}, all, list, observer);
    progress.end();
    if (o.report)
        std::cerr << reportTable(reports);
    if (o.output.empty() || o.output == "-") {
        for (const ListedTicker& listed : list)
            std::cout << listed.ticker << "\n";
    } else if (const std::string failure = writeListFile(o.output, list); !failure.empty()) {
        std::cerr << "veltrop-cli: " << o.output << ": " << failure << "\n";
        return usageError;
    }
    return list.empty() ? 1 : 0;
}

int runRank(const Options& o, const SourcesInEffect& in, Progress& progress, Interrupts& interrupts)
{
    const Limits limits{limit(o.price, priceRange, "--price-min"), limit(o.volume, volumeRange, "--volume-min")};
    if (o.input.empty() == o.lists.empty())
        throw CLI::ValidationError("rank takes its tickers from -i FILE or from -l NAME, one of the two");
    Ranking observer(chosen(std::span<const RankSource>(in.ranks), o.ranks, "rank"), progress);

    FetchPool engine;
    in.applySiteRules(engine);
    const WebAccess web{engine, 0, interrupts.stopping().token()};
    TickerList list;
    if (!o.input.empty()) {
        std::optional<std::vector<std::string>> tickers;
        if (o.input == "-")
            tickers = readTickers(std::cin);
        else
            tickers = readListFile(o.input);
        if (!tickers) {
            std::cerr << "veltrop-cli: " << o.input << ": cannot be read as a list file\n";
            return usageError;
        }
        for (const std::string& t : *tickers)
            list.add(t);
    } else {
        Lists gathering(chosen(std::span<const ListSource>(in.lists), o.lists, "list"), progress);
        getLists(web, in.lists, list, gathering);
        progress.end();
    }

    const RankListsOutcome outcome =
        rankLists(web, {list, limits, interrupts.stopping(), in.ranks, &in.quotes()}, observer);
    progress.end();
    const RankedRows rows = o.deleteBottom ? deleteBottomQuarter(outcome.rows) : outcome.rows;
    if (o.format == "csv")
        std::cout << rowsAsCsv(rows);
    else if (o.format == "json")
        std::cout << json(rows, progress.messages, outcome.sources);
    else
        std::cout << cli::table(rows);
    if (o.report)
        std::cerr << reportTable(outcome.sources);

    if (interrupts.pressed())
        return interruptedStatus;
    const bool stopped = std::any_of(outcome.sources.begin(), outcome.sources.end(),
                                     [](const SourceReport& s) { return s.stoppedEarly() || !s.warning.empty(); });
    if (o.strict && stopped)
        return 3;
    return rows.empty() ? 1 : 0;
}

int runOpinion(const Options& o, const SourcesInEffect& in)
{
    FetchPool engine;
    in.applySiteRules(engine);
    PageFetcher fetcher(engine);
    const std::optional<std::string> report = fetchOpinion(fetcher, o.ticker, in.opinion());
    if (!report) {
        std::cerr << "veltrop-cli: the opinion page for " << o.ticker << " did not open\n";
        return usageError;
    }
    std::cout << *report << "\n";
    return 0;
}

} // namespace
} // namespace veltrop::cli

int main(int argc, char** argv)
{
    using namespace veltrop::cli;
    // First, before any thread starts: every thread inherits its blocked
    // Ctrl-C.
    Interrupts interrupts;
    CLI::App app{"Gathers stock tickers from published lists and ranks them by web-published ratings, "
                 "as Pellamy's Veltrop does in its window.",
                 "veltrop-cli"};
    app.set_version_flag("--version", "veltrop-cli 1.4");
    app.require_subcommand(1, 1);
    Options o;
    std::string sourcesFile;
    app.add_option("--sources", sourcesFile,
                   "Read the sources from this catalogue over the built-in one, instead of "
                   "$XDG_CONFIG_HOME/veltrop/sources.toml");

    SourcesOptions sourcesOptions;
    CLI::App* sources =
        app.add_subcommand("sources", "List the list sources, then the rank sources: kind, name, caption");
    CLI::Option* dump =
        sources->add_flag("--dump", sourcesOptions.dump, "Print the built-in catalogue, a start for one of your own");
    sources->add_option("--check-file", sourcesOptions.checkFile,
                        "Check this catalogue file alone: its errors on standard error, exit status 2 when it has any")
        ->excludes(dump);
    CLI::Option* check = sources->add_flag(
        "--check", sourcesOptions.check,
        "Read each named source's page (every rank source when none is named) for the tickers given");
    sources->add_option("names", sourcesOptions.names, "The sources to check, by name")->needs(check);
    sources->add_option("--ticker", sourcesOptions.tickers, "A ticker to check the sources with")->needs(check);
    check->excludes(dump);
    CLI::App* lists = app.add_subcommand("lists", "Get Lists: the tickers of the named lists, one a line");
    lists->add_option("-l,--list", o.lists, "A list source by name or caption, or all (the default)");
    lists->add_option("-o,--output", o.output, "Write the tickers to this list file instead (- for standard output)");
    lists->add_flag("--report", o.report, "Say on standard error what each list gave");
    lists->add_flag("--progress", o.progress, "Show progress even when standard error is no terminal");

    CLI::App* rank = app.add_subcommand("rank", "Rank Lists: filter the tickers, rate them, print them best first");
    rank->add_option("-i,--input", o.input, "A list file to rank, or - for standard input");
    rank->add_option("-l,--list", o.lists, "Gather the tickers from this list source");
    rank->add_option("-r,--rank", o.ranks, "A rank source by name or caption, or all")->required();
    rank->add_option("--price-min", o.price, "Keep tickers priced above this (" + spanOf(veltrop::priceRange) + ")")
        ->capture_default_str();
    rank->add_option("--volume-min", o.volume, "Keep tickers traded above this (" + spanOf(veltrop::volumeRange) + ")")
        ->capture_default_str();
    rank->add_flag("--delete-bottom-25", o.deleteBottom, "Cut the weakest quarter off the result");
    rank->add_option("--format", o.format, "table, csv or json")
        ->capture_default_str()
        ->check(CLI::IsMember({"table", "csv", "json"}));
    rank->add_flag("--report", o.report, "Say on standard error where each source stopped and why");
    rank->add_flag("--strict", o.strict, "Exit with 3 when any source stopped early");
    rank->add_flag("--progress", o.progress, "Show progress even when standard error is no terminal");

    CLI::App* opinion = app.add_subcommand("opinion", "The analyst opinion for one ticker");
    opinion->add_option("ticker", o.ticker, "The ticker")->required();

    try {
        app.parse(argc, argv);
        Progress progress(o.progress || ::isatty(STDERR_FILENO));
        // The dump and a file's check stand apart from the user's catalogue,
        // so they work however it is broken.
        if (app.got_subcommand("sources") && (sourcesOptions.dump || !sourcesOptions.checkFile.empty()))
            return runSources(sourcesOptions, nullptr, std::cout, std::cerr);
        const bool given = !sourcesFile.empty();
        const veltrop::CatalogueResult read =
            veltrop::catalogueInEffect(given ? sourcesFile : veltrop::userCataloguePath(), !given);
        if (!read.catalogue) {
            for (const std::string& error : read.errors)
                std::cerr << error << "\n";
            return usageError;
        }
        const veltrop::SourcesInEffect in(*read.catalogue);
        if (app.got_subcommand("sources") && sourcesOptions.check) {
            veltrop::FetchPool engine;
            in.applySiteRules(engine);
            return checkSources(in, engine, sourcesOptions.names, sourcesOptions.tickers, std::cout, std::cerr);
        }
        if (app.got_subcommand("sources"))
            return runSources(sourcesOptions, &in, std::cout, std::cerr);
        if (app.got_subcommand("lists"))
            return runLists(o, in, progress, interrupts);
        if (app.got_subcommand("rank"))
            return runRank(o, in, progress, interrupts);
        return runOpinion(o, in);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? 0 : usageError;
    }
}
