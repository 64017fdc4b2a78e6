#pragma once
// Which command buttons are enabled, as a function of where the window is.
namespace veltrop {

enum class Phase {
    NoList,         // nothing to rank: a list can be got or loaded
    Busy,           // Get Lists or Rank Lists is running, its messages included
    ListFromWeb,    // Get Lists found tickers: they can be ranked or saved
    ListFromFile,   // Load List read tickers: they can be ranked
    ResultsShown,   // the grid holds a run's results; its last message may show
    Ranked,         // a run ranked tickers
    NothingRanked,  // a run ranked none: the grid can still be cut or asked about
};

struct ButtonStates {
    bool getLists, rankLists, opinion, saveList, loadList, clearAll, deleteBottom;
    // Help, Cancel and Test are always enabled.
    bool help = true, cancel = true, test = true;
};

constexpr ButtonStates buttonStates(Phase phase)
{
    //                                getL   rankL  opin   save   load   clear  delete
    switch (phase) {
    case Phase::NoList:        return {true,  false, false, false, true,  false, false};
    case Phase::Busy:          return {false, false, false, false, false, false, false};
    case Phase::ListFromWeb:   return {false, true,  false, true,  true,  true,  false};
    case Phase::ListFromFile:  return {false, true,  false, false, true,  true,  false};
    case Phase::ResultsShown:  return {false, false, true,  true,  false, false, true};
    case Phase::Ranked:        return {false, false, true,  true,  true,  true,  true};
    case Phase::NothingRanked: return {false, false, true,  false, true,  true,  true};
    }
    return {};
}

} // namespace veltrop
