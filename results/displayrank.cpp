// The results step of a ranking run: one combined value per ticker, the
// ranked tickers in the grid best first, each with the picture of its band.
#include <algorithm>

#include "app/form1.h"
#include "app/helpers.h"
#include "results/rankbands.h"

namespace veltrop {

void Form1::displayrank()
{
    // A source that gave a ticker nothing still counts in its average: the
    // divisor is the number of sources run, not the number that answered.
    if (sourcesrun > 1) {
        lowestvalue = 10000;
        highestvalue = -10000;
        for (int i = 1; i <= tickercount; ++i) {
            const Wide value = floorWhole(cellNumber(tickertable[i][1]) / double(sourcesrun));
            tickertable[i][1] = double(value);
            currentscore = value;
            if (currentscore > highestvalue)
                highestvalue = currentscore;
            if (currentscore < lowestvalue)
                lowestvalue = currentscore;
        }
    }

    // Each listed ticker appends a row and fills the one above it, so the
    // grid always ends in one empty row.
    rankedcount = 0;
    for (int i = 1; i <= tickercount; ++i) {
        if (isEmpty(tickertable[i][1]) || !(cellNumber(tickertable[i][1]) > 0))
            continue;
        ++rankedcount;
        addRankedRow(MSFlexGrid1, rankedcount, tickertable[i][0], tickertable[i][1]);
    }

    // Columns 1 and 2 are the keys; column 1 holds no text, so the values
    // decide, and the empty last row stays last.
    MSFlexGrid1.setColSel(2);
    MSFlexGrid1.sortGenericDescending();

    tickercount = tableFromGrid(MSFlexGrid1, tickertable);

    const RankBands bands = rankBands(lowestvalue, highestvalue);
    bandwidth = bands.width;
    for (int i = 1; i <= tickercount; ++i) {
        const int band = rankBand(bands, cellNumber(tickertable[i][1]));
        MSFlexGrid1.setCol(1);
        MSFlexGrid1.setRow(i);
        // The grid shows the file when it can read it; a missing picture
        // leaves the cell blank.
        MSFlexGrid1.setCellPicture(rankPicturePath(apppath, band));
    }

    Label2.caption = countCaption(MSFlexGrid1.rows() - 2, " tickers ranked");
    MSFlexGrid1.setRow(1);
    MSFlexGrid1.setCol(1);

    delete25.enabled = true;
    opinionbutton.enabled = true;
    savelistbutton.enabled = true;
}

} // namespace veltrop
