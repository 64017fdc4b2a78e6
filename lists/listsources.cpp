#include "lists/listsources.h"

#include "domain/sites.h"

namespace veltrop {
namespace {

// The table, row and column numbers fit the layouts these pages have; they
// are data, not rules.
constexpr const char* drill = "/cgi-bin/drill_event";
constexpr const char* wst = "/analysis/realtime/realtime.asp";

constexpr ListSource sources[] = {
    {0, "CS - Price Breakout", hosts::clearstation, drill, "Event=BreakOut", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {1, "CS - 5day Trend", hosts::clearstation, drill, "Event=macdBAfollow_w", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {12, "CS - Record Volume", hosts::clearstation, drill, "Event=V", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {11, "CS - 30day Trend", hosts::clearstation, drill, "Event=macdBAfollow_m", 14, 2, 1, 1, true, 17, 1, 4, "Next Page"},
    {3, "Nasdaq 100", hosts::nasdaq, "/dynamic/nasdaq100_activity.stm", nullptr, 11, 1, 2, 1, false, 0, 0, 0, ""},
    {16, "WST - Coverage Init.", hosts::wallstreettape, wst, "id=initiated", 19, 1, 5, 2, false, 0, 0, 0, ""},
    {4, "WST - EPS Surprise", hosts::wallstreettape, wst, "id=psurprise", 19, 1, 5, 2, false, 0, 0, 0, ""},
    {5, "CN - Momentum 100", hosts::cnetInvestor, "/investor/brokeragecenter/top-momentum/0-9910-1078-0-1.html", "tag=tmtm",
     12, 2, 2, 1, false, 0, 0, 0, ""},
    {6, "US - Tech 150", hosts::upside, "/texis/mvm/stocktools/upside150", nullptr, 24, 1, 2, 1, false, 0, 0, 0, ""},
    // Record High keeps its next-page link above the list, in table 10.
    {7, "CS - Record High", hosts::clearstation, drill, "Event=P", 14, 2, 1, 1, true, 10, 1, 4, "Next Page"},
    {8, "BC - Top 100 Signal", hosts::barchart, "/sigtop.htx", "start=all", 11, 1, 1, 1, false, 0, 0, 0, ""},
    {9, "BC - Top 100 Alpha", hosts::barchart, "/sectors.asp", "sec=top~100~stocks.sec", 11, 1, 1, 1, false, 0, 0, 0, ""},
    {2, "SP - S and P 500", hosts::standardPoors, "/indexmainglobal500_data.html", nullptr, 11, 1, 1, 1, false, 0, 0, 0, ""},
};

} // namespace

std::string ListSource::url() const
{
    std::string u = std::string("http://") + host + path;
    if (query)
        u += std::string("?") + query;
    return u;
}

std::span<const ListSource> listSources() { return sources; }

} // namespace veltrop
