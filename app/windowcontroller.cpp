#include "app/windowcontroller.h"

#include <filesystem>
#include <system_error>

#include "app/layout.h"
#include "app/sourceboxes.h"
#include "domain/webaccess.h"
#include "lists/getlists.h"
#include "opinion/opinion.h"
#include "ranklists/ranklists.h"
#include "results/rowstext.h"
#include "web/fetchpool.h"
#include "web/text.h"
#include "web/url.h"

namespace veltrop {

// Get Lists and Rank Lists as the window shows them. Both run on the
// command's thread: they ask the window's thread, or hand it a change.
class WindowController::ListsShown : public ListsObserver {
public:
    explicit ListsShown(WindowController& window) : w_(window) {}
    bool ticked(const ListSource& source) override { return w_.tickedFromCommand(w_.listBoxes, listBoxOf(source.name)); }
    void pageTaken(const std::string& ticker) override
    {
        w_.runner_.post([&w = w_, ticker] { w.getListsButton.caption = ticker; });
    }
    void listEnded() override { w_.runner_.post([&w = w_] { w.getListsButton.caption = "Get Lists"; }); }
    void message(const std::string& text) override { w_.messageFromCommand(text); }

private:
    WindowController& w_;
};

// The status line, the count down, each recorded score on the button.
class WindowController::RankingShown : public RankListsObserver {
public:
    explicit RankingShown(WindowController& window) : w_(window) {}
    bool ticked(const RankSource& source) override { return w_.tickedFromCommand(w_.rankBoxes, rankBoxOf(source.name)); }
    void started() override
    {
        w_.runner_.post([&w = w_] {
            w.statusLabel.caption = "Processing ranks...";
            w.enter(Phase::Busy);
        });
    }
    void filtering() override { w_.runner_.post([&w = w_] { w.progressLabel.caption = "Filtering..."; }); }
    void progress(const std::string& text) override
    {
        w_.runner_.show([&w = w_, text] { w.progressLabel.caption = text; });
    }
    // Shown before the ticker's page is read, so a Cancel clicked while it
    // shows finishes that ticker and no other; one clicked while the ticker
    // before still showed keeps this one from showing.
    bool tickerShown(const std::string& text) override
    {
        return w_.runner_.ask<bool>(
            [&w = w_, text] {
                if (w.stopping_.cancelRequested())
                    return false;
                w.progressLabel.caption = text;
                return true;
            },
            false);
    }
    void recorded(Whole score) override
    {
        w_.runner_.post([&w = w_, score] { w.rankListsButton.caption = std::to_string(score); });
    }
    void resultsShown(const RankedRows& rows) override
    {
        w_.runner_.post([&w = w_, rows] {
            w.resultsGrid.showRanked(rows, w.programFolder_);
            w.progressLabel.caption = rankedCaption(rows.size());
            w.enter(Phase::ResultsShown);
        });
    }
    void message(const std::string& text) override { w_.messageFromCommand(text); }

private:
    WindowController& w_;
};

WindowController::WindowController(Dialogs& dialogs)
    : WindowController(dialogs, std::make_unique<FetchPool>())
{
}

WindowController::WindowController(Dialogs& dialogs, std::unique_ptr<FetchPool> engine)
    : dialogs_(dialogs), pool_(std::move(engine)),
      fetcher_(std::make_unique<PageFetcher>(*pool_, stopping_.token()))
{
    for (const layout::Control& c : layout::controls()) {
        if (c.kind != layout::Kind::CheckBox)
            continue;
        CheckBoxArray& array = c.name == "listBox" ? listBoxes : rankBoxes;
        array[c.index] = CheckBox{std::string(c.caption), std::string(c.tooltip), 0};
    }
    noticeLabel.caption = std::string(layout::find("noticeLabel")->caption);

    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    programFolder_ = error ? std::filesystem::current_path(error).string() : exe.parent_path().string();
}

WindowController::~WindowController()
{
    requestClose();
    // Whatever reads pages goes before the engine that reads them.
    fetcher_.reset();
    pool_.reset();
}

WebAccess WindowController::web() const
{
    return {*pool_, lookahead_, stopping_.token()};
}

void WindowController::message(const std::string& text)
{
    if (closing())
        return;
    if (showHook_)
        showHook_();
    dialogs_.message(text);
}

void WindowController::messageFromCommand(const std::string& text)
{
    runner_.ask([this, text] { return message(text), true; }, false);
}

bool WindowController::tickedFromCommand(const CheckBoxArray& boxes, int box)
{
    return runner_.ask([&boxes, box] { return boxes.at(box).value == 1; }, false);
}

void WindowController::showReport(CheckBoxArray& boxes, const char* array, int index, const std::string& report)
{
    std::string tooltip(layout::find(array, index)->tooltip);
    if (!report.empty())
        tooltip += "\n" + report;
    boxes[index].tooltip = std::move(tooltip);
}

void WindowController::clearReports(CheckBoxArray& boxes, const char* array)
{
    for (auto& [index, box] : boxes)
        showReport(boxes, array, index);
}

void WindowController::enter(Phase phase)
{
    const ButtonStates states = buttonStates(phase);
    getListsButton.enabled = states.getLists;
    rankListsButton.enabled = states.rankLists;
    opinionButton.enabled = states.opinion;
    saveListButton.enabled = states.saveList;
    loadListButton.enabled = states.loadList;
    clearAllButton.enabled = states.clearAll;
    deleteBottomButton.enabled = states.deleteBottom;
    helpButton.enabled = states.help;
    cancelButton.enabled = states.cancel;
    testButton.enabled = states.test;
}

// "FILE:LINE:COLUMN: what" as a person reads it in a message box.
std::string WindowController::catalogueMessage(const std::string& path, const std::string& error)
{
    std::string_view rest(error);
    if (rest.starts_with(path + ":"))
        rest.remove_prefix(path.size() + 1);
    const std::size_t line = rest.find(':');
    const std::size_t what = rest.find(": ");
    const std::string where = line == std::string_view::npos ? "" : " on line " + std::string(rest.substr(0, line));
    return "Your sources file " + path + " has an error" + where + ": " +
           std::string(what == std::string_view::npos ? rest : rest.substr(what + 2)) +
           ".  The built-in sources are used instead.";
}

// A box whose source a user's catalogue replaced shows the new caption.
void WindowController::showCaptions()
{
    for (const ListSource& source : sources_.lists)
        listBoxes.at(listBoxOf(source.name)).caption = source.caption;
    for (const RankSource& source : sources_.ranks)
        rankBoxes.at(rankBoxOf(source.name)).caption = source.caption;
}

void WindowController::load()
{
    runner_.run([this]() -> CommandRunner::Update {
        // The user's own catalogue, when there is one; one with errors is
        // named and the built-in sources run.
        const std::string path = userCataloguePath();
        CatalogueResult read = catalogueInEffect(path, true);
        SourcesInEffect sources(read.catalogue ? std::move(*read.catalogue) : builtinCatalogue());
        sources.applySiteRules(*pool_);
        // Any answer of the quotes site counts.
        const bool connected =
            ConnectionProbe(*pool_, resolveUrl(quotePageAddress("", sources.quotes()), "/")).IsConnected();
        return [this, connected, sources = std::move(sources), path,
                firstError = read.errors.empty() ? std::string() : read.errors.front()]() mutable {
            sources_ = std::move(sources);
            // The window runs the sources it has a box for; one a user's
            // catalogue adds is the command line's.
            sources_.lists = boxedLists(sources_.lists);
            sources_.ranks = boxedRanks(sources_.ranks);
            showCaptions();
            if (!firstError.empty())
                message(catalogueMessage(path, firstError));
            if (!connected)
                message("No Web connection found.  Please connect to use the program");
            enter(Phase::NoList);
            limits_ = Limits{};
        };
    });
}

Button& WindowController::button(Command command)
{
    switch (command) {
    case Command::GetLists: return getListsButton;
    case Command::RankLists: return rankListsButton;
    case Command::Opinion: return opinionButton;
    case Command::SaveList: return saveListButton;
    case Command::LoadList: return loadListButton;
    case Command::ClearAll: return clearAllButton;
    case Command::Help: return helpButton;
    case Command::Cancel: return cancelButton;
    case Command::DeleteBottom: return deleteBottomButton;
    case Command::Test: return testButton;
    }
    return testButton;
}

bool WindowController::click(Command command)
{
    if (!button(command).enabled)
        return false;
    if (command == Command::Cancel) {
        stopping_.cancel();
        return true;
    }
    if (running() || closing())
        return false;
    switch (command) {
    case Command::GetLists: getLists(); return true;
    case Command::ClearAll: clearAll(); return true;
    case Command::Help: help(); return true;
    case Command::Test: test(); return true;
    case Command::RankLists: rankLists(); return true;
    case Command::Opinion: opinion(); return true;
    case Command::SaveList: saveList(); return true;
    case Command::LoadList: loadList(); return true;
    case Command::DeleteBottom: deleteBottomQuarter(); return true;
    case Command::Cancel: return false;
    }
    return false;
}

void WindowController::requestClose()
{
    stopping_.stopNow();
    runner_.abandon();
}

// ---- The limits ------------------------------------------------------------

void WindowController::priceLimitTyped()
{
    limits_.price = roundHalfEven(leadingNumber(priceLimitBox.text));
    if (!priceRange.holds(limits_.price))
        message("Enter a number between 1 and 500");
}

void WindowController::volumeLimitTyped()
{
    limits_.volume = roundHalfEven(leadingNumber(volumeLimitBox.text));
    if (!volumeRange.holds(limits_.volume))
        message("Enter a number between 1 and 50 million");
}

// ---- The commands ------------------------------------------------------------

void WindowController::getLists()
{
    statusLabel.caption = "Processing lists....";
    enter(Phase::Busy);
    clearReports(rankBoxes, "rankBox");

    runner_.run([this, web = web(), list = tickers_]() mutable -> CommandRunner::Update {
        ListsShown shown(*this);
        std::vector<ListReport> reports = veltrop::getLists(web, sources_.lists, list, shown);
        return [this, reports = std::move(reports), list = std::move(list)]() mutable {
            tickers_ = std::move(list);
            clearReports(listBoxes, "listBox");
            for (const ListReport& report : reports)
                showReport(listBoxes, "listBox", listBoxOf(report.source->name), report.summary());
            if (!tickers_.empty()) {
                enter(Phase::ListFromWeb);
                tickersFoundLabel.caption = countCaption(tickers_.size(), " tickers found");
            } else {
                message("No Tickers selected");
                enter(Phase::NoList);
            }
            statusLabel.caption = "Idle...";
        };
    });
}

void WindowController::rankLists()
{
    runner_.run([this, web = web(), list = tickers_, limits = limits_]() mutable -> CommandRunner::Update {
        RankingShown shown(*this);
        RankListsOutcome outcome =
            veltrop::rankLists(web, {list, limits, stopping_, sources_.ranks, &sources_.quotes()}, shown);
        return [this, outcome = std::move(outcome), list = std::move(list)]() mutable {
            tickers_ = std::move(list);
            if (outcome.end == RankListsEnd::NoSourceTicked)
                return;
            clearReports(rankBoxes, "rankBox");
            for (const SourceReport& report : outcome.sources)
                showReport(rankBoxes, "rankBox", rankBoxOf(report.source->name), report.summary());
            enter(outcome.end == RankListsEnd::Ranked ? Phase::Ranked : Phase::NothingRanked);
            rankListsButton.caption = "Rank Lists";
            statusLabel.caption = "Idle...";
        };
    });
}

void WindowController::deleteBottomQuarter()
{
    // The grid's rows are what the user sees and what is cut.
    RankedRows rows = veltrop::deleteBottomQuarter(resultsGrid.ranked());
    tickers_ = listFromRows(rows);
    progressLabel.caption = rankedCaption(rows.size());
    resultsGrid.showCut(std::move(rows), programFolder_);
}

void WindowController::clearAll()
{
    tickers_.clear();
    clearReports(rankBoxes, "rankBox");
    resultsGrid.clear();
    enter(Phase::NoList);
    tickersFoundLabel.caption.clear();
    progressLabel.caption.clear();
}

void WindowController::opinion()
{
    statusLabel.caption = "Getting opinion...";
    opinionTicker_ = resultsGrid.currentText();
    if (opinionTicker_.empty()) {
        message("Select a ticker and try again.");
        statusLabel.caption = "Idle...";
        return;
    }
    runner_.run([this, &fetcher = *fetcher_, ticker = opinionTicker_]() -> CommandRunner::Update {
        // A page that does not open leaves the report shown before readable.
        return [this, report = fetchOpinion(fetcher, ticker, sources_.opinion())] {
            if (report)
                opinionBox.text = *report;
            statusLabel.caption = "Idle...";
        };
    });
}

// The maker's own site lives under a reserved example domain.
std::string WindowController::toolsPageUrl() { return "http://www.pellamys-veltrop.example/tools.htm"; }

void WindowController::help() { message(toolsPageUrl()); }

std::string WindowController::testQuoteUrl() const { return quotePageAddress("intc+rare+mho", sources_.quotes()); }

void WindowController::test()
{
    runner_.run([this, &fetcher = *fetcher_, url = testQuoteUrl()]() -> CommandRunner::Update {
        std::optional<std::string> source;
        if (fetcher.OpenPage(url, 60, 0))
            source = fetcher.GetPageSource();
        return [this, source = std::move(source)] {
            if (source)
                testPageBox.text += *source;
            message("Done");
        };
    });
}

std::optional<WindowController::CopiedRows> WindowController::copyRows() const
{
    const RankedRows rows = resultsGrid.selectedRows();
    if (running() || rows.empty())
        return std::nullopt;
    return CopiedRows{rowsAsTabbed(rows), rowsAsCsv(rows)};
}

// ---- The list files ------------------------------------------------------------

void WindowController::setTickerList(const std::vector<std::string>& tickers)
{
    tickers_.clear();
    for (const std::string& ticker : tickers)
        if (!tickers_.add(ticker))
            break;
}

} // namespace veltrop
