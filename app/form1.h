#pragma once
// The one window's state and commands. Every command is a handler named after
// its control and event; every variable the commands share lives here.
#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <variant>

#include "app/controls.h"
#include "results/flexgrid.h"
#include "web/pagefetcher.h"

namespace veltrop {

struct RankSource;
struct Points;
class FetchPool;
class PagePlan;

// Whole numbers. The design keeps most of them in 16 bits; values that can
// outgrow that (typed thresholds, summed scores) are kept wider, so nothing
// wraps or traps, while every value that fits behaves the same.
using Integer = std::int16_t;
using Long = std::int32_t;
using Wide = std::int64_t;

// A cell of the ticker table: empty, a text or a number.
using CellValue = std::variant<std::monostate, std::string, double>;
bool isEmpty(const CellValue& v);
std::string cellText(const CellValue& v);  // numbers in plain decimal form

inline constexpr int maxTickers = 500;

// The commands a click can start.
enum class Command {
    GetLists, RankLists, Opinion, SaveList, LoadList, ClearAll, Help, Cancel, Delete25, Test
};

class Form1 {
public:
    explicit Form1(Dialogs& dialogs);
    // Over the given engine: one set up otherwise (other limits, another
    // way to make its network), which every page of the window then uses.
    Form1(Dialogs& dialogs, std::unique_ptr<FetchPool> engine);
    ~Form1();

    // ---- Controls --------------------------------------------------------
    Button getbutton{"Get Lists"};
    Button rankbutton{"Rank Lists"};
    Button opinionbutton{"Opinion"};
    Button savelistbutton{"Save List"};
    Button loadlistbutton{"Load List"};
    Button clearbutton{"Clear All"};
    Button Helpbutton{"Help"};
    Button cancelbutton{"Cancel"};
    Button delete25{"Delete bottom 25%"};
    Button Command1{"Test"};
    Label Label1, Label2, Label3{"Idle..."};
    Label Label4;
    Label Label5{"Filter Defaults..."}, Label6{"Price <"}, Label7{"Volume <"};
    TextBox Text2{"5"}, Text3{"25000"};
    RichTextBox text1, TextBox2;
    CheckBoxArray List, Rank;
    FlexGrid MSFlexGrid1;
    FileDialogState CommonDialog1;

    // ---- Shared data -----------------------------------------------------
    std::unique_ptr<PageFetcher> fetcher;
    std::array<std::array<CellValue, 2>, maxTickers + 1> tickertable{};
    Integer tickercount = 0;
    bool cancelflag = false;
    Wide priceminimum = 0;
    Wide volumeminimum = 0;

    // ---- Page-walk parameters --------------------------------------------
    std::string listurl;
    Integer celltable = 0, cellrow = 0, cellcolumn = 0, rowstep = 0;
    bool pagingon = false;
    Integer nexttable = 0, nextrow = 0, nextcolumn = 0;
    std::string nextlinktext;

    // ---- Page-walk state -------------------------------------------------
    Integer loopindex = 0;
    std::string celltext;
    std::string nextpageurl;
    bool morepages = false;

    // ---- Ranking and results ---------------------------------------------
    std::string currentticker;
    std::string urlprefix, urlsuffix;
    Integer stepstogo = 0;
    Integer sourcesrun = 0;
    Wide highestvalue = 0, lowestvalue = 0;
    Wide currentscore = 0;
    double newsdate = 0, todaydate = 0;
    std::string pagetext;
    Wide fundcount = 0;
    Integer rankedcount = 0;
    float bandwidth = 0;
    Integer deletecount = 0, listedcount = 0;
    Wide valuerange = 0;
    std::string tickerquery;
    std::string opinionticker;

    // ---- Events ----------------------------------------------------------
    void Form_Load();
    void cancelbutton_Click();
    void getbutton_Click();
    void clearbutton_Click();
    void Helpbutton_Click();
    void Command1_Click();
    void Text2_Change();
    void Text3_Change();
    void rankbutton_Click();
    void delete25_Click();
    void opinionbutton_Click();
    void loadlistbutton_Click();
    void savelistbutton_Click();

    // ---- Routines --------------------------------------------------------
    void getlists();
    // The per-ticker rank loop with the single-cell reader, over the address
    // parts and cell numbers loaded into the form fields.
    void getranks();
    // Loads a rank source's address parts and cell or paging numbers into
    // the form fields.
    void loadranksource(const RankSource& source);
    // The per-ticker rank loop for `source`, over the address parts loaded
    // into the form fields.
    void rankloop(const RankSource& source);
    void filter();
    void displayrank();
    void loadfile(const std::string& path);
    void savefile(const std::string& path);

    // The folder the program runs from: the rank pictures sit there and the
    // file dialogs start there when the user may write to it.
    std::string apppath;

    // How many pages Get Lists, the filter and a ranking run ask for ahead
    // of the one they wait on: 0 as many as the fetch engine allows, 1 one
    // page after another. What they show is the same either way.
    int lookahead = 0;
    // The fetch engine every page of the program is read with.
    const FetchPool& fetchpool() const { return *pool_; }

    // ---- Dispatch --------------------------------------------------------
    // Runs the command of a click. While a command runs (the window handles
    // input during page waits), only Cancel acts: any other click is ignored,
    // so no command starts inside another. A disabled button does nothing.
    // Returns whether the command ran.
    bool click(Command command);
    bool running() const { return running_; }
    Button& button(Command command);

    // Called while a page loads, so the window can handle input. Set it
    // before Form_Load.
    void setWaitHook(PageFetcher::WaitHook hook) { waitHook_ = std::move(hook); }
    // Called before every message box, so that the window under it shows
    // the state of that moment.
    void setShowHook(std::function<void()> hook) { showHook_ = std::move(hook); }

    // The window is closing: the page in flight is abandoned, every later
    // page fails at once and no more message boxes are shown, so a running
    // command comes to its end promptly.
    void requestClose();
    bool closing() const { return closing_; }

    // The address of the quote page the Test command reads.
    static std::string testQuoteUrl();
    // The maker's tools page that Help shows.
    static std::string toolsPageUrl();

private:
    void msgbox(const std::string& text);
    // Adds points to the score of `row`, and records it when they say so.
    void applypoints(int row, const Points& points);

    // Plans the pages of every ticked source, at the start of a run.
    void planranks();
    void planranks(const RankSource& source);

    Dialogs& dialogs_;
    PageFetcher::WaitHook waitHook_;
    std::function<void()> showHook_;
    std::unique_ptr<FetchPool> pool_;
    // The pages of the Get Lists or ranking run under way.
    std::unique_ptr<PagePlan> listpages_, rankpages_;
    int listposition_ = 0;  // the list getlists walks, among the lists
    const RankSource* rankingsource_ = nullptr;
    bool running_ = false;
    bool closing_ = false;
};

} // namespace veltrop
