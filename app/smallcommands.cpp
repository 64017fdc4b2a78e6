// The filter thresholds and the small commands of the window: Clear All, Help
// and Test.
#include "app/form1.h"
#include "app/helpers.h"
#include "web/hosts.h"

namespace veltrop {

void Form1::Text2_Change()
{
    priceminimum = roundHalfEven(leadingNumber(Text2.text));
    if (priceminimum < 1 || priceminimum > 500)
        msgbox("Enter a number between 1 and 500");
}

void Form1::Text3_Change()
{
    volumeminimum = roundHalfEven(leadingNumber(Text3.text));
    if (volumeminimum < 1 || volumeminimum > 50000000)
        msgbox("Enter a number between 1 and 50 million");
}

void Form1::clearbutton_Click()
{
    tickercount = 0;

    int rows = MSFlexGrid1.rows();
    while (rows > 2) {
        MSFlexGrid1.removeItem(rows - 1);
        rows = MSFlexGrid1.rows();
    }
    MSFlexGrid1.setTextMatrix(1, 0, "");
    MSFlexGrid1.setCol(1);
    MSFlexGrid1.setRow(1);
    MSFlexGrid1.setCellPicture("");

    clearbutton.enabled = false;
    getbutton.enabled = true;
    rankbutton.enabled = false;
    delete25.enabled = false;
    savelistbutton.enabled = false;
    opinionbutton.enabled = false;

    Label1.caption.clear();
    Label2.caption.clear();
}

std::string Form1::toolsPageUrl() { return std::string("http://") + hosts::maker + "/tools.htm"; }

void Form1::Helpbutton_Click() { msgbox(toolsPageUrl()); }

std::string Form1::testQuoteUrl()
{
    return std::string("http://") + hosts::quotes + "/portfolio_quick_quotes.asp?tickers=intc+rare+mho";
}

void Form1::Command1_Click()
{
    if (fetcher && fetcher->OpenPage(testQuoteUrl(), 60, 0))
        text1.text += fetcher->GetPageSource();
    msgbox("Done");
}

} // namespace veltrop
