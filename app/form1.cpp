#include "app/form1.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/layout.h"
#include "web/pageplan.h"
#include "web/fetchpool.h"

namespace veltrop {

bool isEmpty(const CellValue& v) { return std::holds_alternative<std::monostate>(v); }

std::string cellText(const CellValue& v)
{
    if (auto s = std::get_if<std::string>(&v))
        return *s;
    if (auto d = std::get_if<double>(&v)) {
        if (std::floor(*d) == *d && std::fabs(*d) < 1e15)
            return std::to_string(static_cast<long long>(*d));
        char buf[32];
        std::snprintf(buf, sizeof buf, "%.15g", *d);
        return buf;
    }
    return {};
}

Form1::Form1(Dialogs& dialogs) : Form1(dialogs, std::make_unique<FetchPool>()) {}

Form1::Form1(Dialogs& dialogs, std::unique_ptr<FetchPool> engine) : dialogs_(dialogs), pool_(std::move(engine))
{
    for (const layout::Control& c : layout::controls()) {
        if (c.kind != layout::Kind::CheckBox)
            continue;
        CheckBoxArray& array = c.name == "List" ? List : Rank;
        array[c.index] = CheckBox{std::string(c.caption), std::string(c.tooltip), 0};
    }
    Label4.caption = std::string(layout::find("Label4")->caption);

    std::error_code error;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    apppath = error ? std::filesystem::current_path(error).string() : exe.parent_path().string();
}

Form1::~Form1()
{
    // Whatever reads pages goes before the engine that reads them.
    listpages_.reset();
    rankpages_.reset();
    fetcher.reset();
    pool_.reset();
}

void Form1::msgbox(const std::string& text)
{
    if (closing_)
        return;
    if (showHook_)
        showHook_();
    dialogs_.message(text);
}

void Form1::Form_Load()
{
    turnTaken();
    fetcher = std::make_unique<PageFetcher>(*pool_);
    fetcher->setWaitHook(waitHook_);

    {
        ConnectionProbe probe(*pool_, waitHook_);
        if (!probe.IsConnected())
            msgbox("No Web connection found.  Please connect to use the program");
    }

    MSFlexGrid1.setFormatString("^Ticker|^Rank");
    MSFlexGrid1.setFillStyle(FlexGrid::FillStyle::Repeat);
    MSFlexGrid1.setColWidth(0, 1000);
    MSFlexGrid1.setColWidth(1, 3350);
    MSFlexGrid1.setColWidth(2, 0);

    pagingon = false;

    savelistbutton.enabled = false;
    loadlistbutton.enabled = true;
    clearbutton.enabled = false;
    rankbutton.enabled = false;
    delete25.enabled = false;
    opinionbutton.enabled = false;

    priceminimum = 5;
    cancelflag = false;
    volumeminimum = 25000;
}

void Form1::cancelbutton_Click() { cancelflag = true; }

Button& Form1::button(Command command)
{
    switch (command) {
    case Command::GetLists: return getbutton;
    case Command::RankLists: return rankbutton;
    case Command::Opinion: return opinionbutton;
    case Command::SaveList: return savelistbutton;
    case Command::LoadList: return loadlistbutton;
    case Command::ClearAll: return clearbutton;
    case Command::Help: return Helpbutton;
    case Command::Cancel: return cancelbutton;
    case Command::Delete25: return delete25;
    case Command::Test: return Command1;
    }
    return Command1;
}

bool Form1::click(Command command)
{
    if (!button(command).enabled)
        return false;
    if (command == Command::Cancel) {
        cancelbutton_Click();
        return true;
    }
    // A click handled while a page loads would otherwise start a second
    // command inside the first, which then reads the page the second opened.
    if (running_ || closing_)
        return false;

    struct Running {
        bool& flag;
        explicit Running(bool& f) : flag(f) { flag = true; }
        ~Running() { flag = false; }
    } guard(running_);
    turnTaken();

    switch (command) {
    case Command::GetLists: getbutton_Click(); return true;
    case Command::ClearAll: clearbutton_Click(); return true;
    case Command::Help: Helpbutton_Click(); return true;
    case Command::Test: Command1_Click(); return true;
    case Command::RankLists: rankbutton_Click(); return true;
    case Command::Opinion: opinionbutton_Click(); return true;
    case Command::SaveList: savelistbutton_Click(); return true;
    case Command::LoadList: loadlistbutton_Click(); return true;
    case Command::Delete25: delete25_Click(); return true;
    case Command::Cancel:
        return false;
    }
    return false;
}

void Form1::requestClose()
{
    closing_ = true;
    if (fetcher)
        fetcher->abandon();
    for (PagePlan* pages : {listpages_.get(), rankpages_.get()})
        if (pages)
            pages->abort();
}

} // namespace veltrop
