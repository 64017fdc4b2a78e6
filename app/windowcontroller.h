#pragma once
// The window's controls as plain models, what outlives a command, and the
// commands a click runs. The commands themselves live in the domain; this is
// the one place that knows the window: it reads the controls, calls the
// commands and shows what they tell.
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/buttonstates.h"
#include "app/commandrunner.h"
#include "app/controls.h"
#include "app/resultsgrid.h"
#include "domain/stopping.h"
#include "domain/tickers.h"
#include "filter/filter.h"
#include "ranklists/sourcesineffect.h"
#include "web/pagefetcher.h"

namespace veltrop {

class FetchPool;
struct WebAccess;

// The commands a click can start.
enum class Command {
    GetLists, RankLists, Opinion, SaveList, LoadList, ClearAll, Help, Cancel, DeleteBottom, Test
};

class WindowController {
public:
    explicit WindowController(Dialogs& dialogs);
    // Over the given engine: one set up otherwise (other limits, another
    // way to make its network), which every page of the window then uses.
    WindowController(Dialogs& dialogs, std::unique_ptr<FetchPool> engine);
    ~WindowController();

    // ---- Controls --------------------------------------------------------
    Button getListsButton{"Get Lists"};
    Button rankListsButton{"Rank Lists"};
    Button opinionButton{"Opinion"};
    Button saveListButton{"Save List"};
    Button loadListButton{"Load List"};
    Button clearAllButton{"Clear All"};
    Button helpButton{"Help"};
    Button cancelButton{"Cancel"};
    Button deleteBottomButton{"Delete bottom 25%"};
    Button testButton{"Test"};
    Label tickersFoundLabel;     // " 37 tickers found"
    Label progressLabel;         // the count down of a run, then " 12 tickers ranked"
    Label statusLabel{"Idle..."};
    Label noticeLabel;           // the maker's notice
    Label filterDefaultsLabel{"Filter Defaults..."}, priceLabel{"Price <"}, volumeLabel{"Volume <"};
    TextBox priceLimitBox{"5"}, volumeLimitBox{"25000"};
    RichTextBox testPageBox;     // the Test command's quote page
    RichTextBox opinionBox;
    CheckBoxArray listBoxes, rankBoxes;
    ResultsGrid resultsGrid;
    FileDialogState fileDialog;

    // ---- Start-up and typing ----------------------------------------------
    // Probes for a connection and puts the buttons in their start states.
    void load();
    void priceLimitTyped();
    void volumeLimitTyped();

    // ---- Dispatch --------------------------------------------------------
    // Runs the command of a click: Get Lists, Rank Lists, Opinion, Test and
    // the start-up probe on a thread of their own, the others at once. While
    // one runs only Cancel acts; a disabled button does nothing. Returns
    // whether the command started.
    bool click(Command command);
    bool running() const { return runner_.running(); }
    Button& button(Command command);

    // How a command's updates reach the controls (app/commandrunner.h): a
    // window's notifier is called from the command's thread, and the window
    // then calls applyUpdates(); without one, click() and load() return once
    // the command has ended, its updates applied.
    void setNotifier(std::function<void()> notify) { runner_.setNotifier(std::move(notify)); }
    void setTurnHook(std::function<void()> hook) { runner_.setTurnHook(std::move(hook)); }
    void applyUpdates() { runner_.applyPending(); }
    // Called before every message box, so that the window under it shows
    // the state of that moment.
    void setShowHook(std::function<void()> hook) { showHook_ = std::move(hook); }

    // The window is closing: every page of the running command ends at once,
    // nothing more is shown, and the call returns once the command has ended.
    void requestClose();
    bool closing() const { return stopping_.stopped(); }

    // What Copy puts on the clipboard: the grid's selected rows as
    // tab-separated lines and as CSV; nothing while a command runs or when
    // no ranked row is selected.
    struct CopiedRows {
        std::string text, csv;
    };
    std::optional<CopiedRows> copyRows() const;

    // ---- What outlives a command -------------------------------------------
    const TickerList& tickerList() const { return tickers_; }
    const Limits& limits() const { return limits_; }
    // Cancel was clicked and no ranking loop has begun or ended since.
    bool cancelRequested() const { return stopping_.cancelRequested(); }
    // The ticker the last Opinion asked for.
    const std::string& opinionTicker() const { return opinionTicker_; }
    // The folder the band pictures are read from, and the file dialogs start
    // in when the user may write to it: the program's own.
    const std::string& programFolder() const { return programFolder_; }
    void setProgramFolder(std::string folder) { programFolder_ = std::move(folder); }
    // How many pages a command asks for ahead of the one it waits on: 0 as
    // many as the fetch engine allows, 1 one page after another.
    void setLookahead(int pages) { lookahead_ = pages; }
    // The fetch engine every page of the program is read with.
    const FetchPool& fetchpool() const { return *pool_; }

    // Puts `tickers` in place of the ticker list, as a list gathered some
    // other way; the buttons stay as they are.
    void setTickerList(const std::vector<std::string>& tickers);
    // Saves and loads without their dialogs, as if the file had been chosen.
    void saveListTo(const std::string& path);
    // Whether the file was read.
    bool loadListFrom(const std::string& path);
    // A list file given on the command line or dropped on the window, loaded
    // as Load List loads a chosen one; one that cannot be read changes
    // nothing and is named in a message. Nothing happens while a command runs.
    void openListFile(const std::string& path);

    // The address of the quote page the Test command reads.
    std::string testQuoteUrl() const;
    // The maker's tools page that Help shows.
    static std::string toolsPageUrl();

private:
    class ListsShown;
    class RankingShown;

    void getLists();
    void rankLists();
    void opinion();
    void saveList();
    void loadList();
    void clearAll();
    void help();
    void test();
    void deleteBottomQuarter();

    void message(const std::string& text);
    // From a command's thread: the message box shows on the window's, and
    // the command waits until it is closed; a box's tick as it is now.
    void messageFromCommand(const std::string& text);
    bool tickedFromCommand(const CheckBoxArray& boxes, int box);
    static std::string catalogueMessage(const std::string& path, const std::string& error);
    void showCaptions();
    // A box's tooltip: the layout's, with a run's report for its source
    // below it when `report` is given.
    void showReport(CheckBoxArray& boxes, const char* array, int index, const std::string& report = {});
    void clearReports(CheckBoxArray& boxes, const char* array);
    // Every command button's enabled state, from the window's phase.
    void enter(Phase phase);
    WebAccess web() const;

    Dialogs& dialogs_;
    std::function<void()> showHook_;
    std::unique_ptr<FetchPool> pool_;
    // A close ends the running command at once; Cancel ends the ranking
    // loops after the ticker in progress.
    Stopping stopping_;
    // Set at start-up, before any other command; read by the commands'
    // threads, never changed after.
    SourcesInEffect sources_;
    std::unique_ptr<PageFetcher> fetcher_;  // the single pages: Test, Opinion

    TickerList tickers_;
    Limits limits_{0, 0};
    std::string opinionTicker_;
    std::string programFolder_;
    int lookahead_ = 0;
    // Last, so that a command still running ends before anything it uses.
    CommandRunner runner_;
};

} // namespace veltrop
