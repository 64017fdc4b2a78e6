// Delete bottom 25%: cuts the weakest quarter off a ranked list and redraws
// the grid with bands over what is left.
#include <algorithm>

#include "app/form1.h"
#include "app/helpers.h"
#include "results/rankbands.h"

namespace veltrop {

void Form1::delete25_Click()
{
    // The grid's data rows are what the user sees and what is cut; the
    // enabling rules keep tickercount equal to their number, and should the
    // two ever differ the grid wins, so the cut never reaches the header or
    // the empty last row.
    tickercount = Integer(std::clamp(MSFlexGrid1.rows() - 2, 0, maxTickers));
    const int n = tickercount;
    if (n >= 2) {
        deletecount = Integer(n <= 5 ? 1 : n / 4);
        // Position alone decides: of two equal values at the cut, the lower
        // one in the grid goes.
        for (int k = 0; k < deletecount; ++k) {
            MSFlexGrid1.removeItem(tickercount);
            --tickercount;
        }
    }

    tickercount = tableFromGrid(MSFlexGrid1, tickertable);

    while (MSFlexGrid1.rows() > 2) {
        if (!MSFlexGrid1.removeItem(MSFlexGrid1.rows() - 1))
            break;
    }
    MSFlexGrid1.setTextMatrix(1, 0, "");
    MSFlexGrid1.setCol(1);
    MSFlexGrid1.setRow(1);
    MSFlexGrid1.setCellPicture("");

    // The bands now run from the weakest remaining ticker to the strongest.
    lowestvalue = 10000;
    highestvalue = -10000;
    for (int i = 1; i <= tickercount; ++i) {
        currentscore = roundHalfEven(cellNumber(tickertable[i][1]));
        lowestvalue = std::min(lowestvalue, currentscore);
        highestvalue = std::max(highestvalue, currentscore);
    }
    // Taken in floating point and saturated: a score read from a page such
    // as "1e999" is the largest whole number, and the difference with a
    // negative one would not fit.
    valuerange = floorWhole(double(highestvalue) - double(lowestvalue));
    const RankBands bands = rankBands(lowestvalue, highestvalue);
    bandwidth = bands.width;

    listedcount = 0;
    for (int i = 1; i <= tickercount; ++i) {
        const double value = cellNumber(tickertable[i][1]);
        const int band = rankBand(bands, value);
        if (!(value > 0))
            continue;
        ++listedcount;
        addRankedRow(MSFlexGrid1, listedcount, tickertable[i][0], tickertable[i][1]);
        MSFlexGrid1.setCellPicture(rankPicturePath(apppath, band));
    }

    Label2.caption = countCaption(MSFlexGrid1.rows() - 2, " tickers ranked");
}

} // namespace veltrop
