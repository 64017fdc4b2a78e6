// Rank Lists: filter the list, rate every ticker by every ticked source,
// show the result.
#include "app/form1.h"
#include "web/pageplan.h"
#include "rank/ranksources.h"

namespace veltrop {

void Form1::rankbutton_Click()
{
    highestvalue = -10000;
    lowestvalue = 10000;
    sourcesrun = 0;
    stepstogo = 0;
    for (int box = 0; box <= 16; ++box)
        if (Rank[box].value == 1)
            ++stepstogo;
    if (stepstogo == 0) {
        msgbox("No Ranks selected");
        return;
    }

    Label3.caption = "Processing ranks...";
    clearbutton.enabled = false;
    rankbutton.enabled = false;
    savelistbutton.enabled = false;
    loadlistbutton.enabled = false;

    filter();
    stepstogo = Integer(tickercount * stepstogo);
    planranks();

    for (const RankSource& source : rankSources()) {
        // Each box is read at its source's turn: the user may tick or clear
        // one while an earlier source runs.
        if (Rank[source.index].value != 1) {
            rankpages_->drop(rankKey(source, 0), rankKey(source, maxTickers));
            continue;
        }
        loadranksource(source);
        ++sourcesrun;
        if (source.extraction == Extraction::SingleCell)
            getranks();
        else
            rankloop(source);
    }

    rankpages_.reset();
    displayrank();

    if (rankedcount < 1) {
        msgbox("No tickers ranked.  Clear and try again.");
        savelistbutton.enabled = false;
        loadlistbutton.enabled = true;
        clearbutton.enabled = true;
    } else {
        clearbutton.enabled = true;
        savelistbutton.enabled = true;
        loadlistbutton.enabled = true;
    }

    rankbutton.caption = "Rank Lists";
    Label3.caption = "Idle...";
    cancelflag = false;
}

} // namespace veltrop
