// Opinion: the written analyst report for the ticker of the grid's current
// cell, cut out of the report site's interpretive-text page.
#include "app/form1.h"
#include "web/hosts.h"
#include "web/url.h"

namespace veltrop {

void Form1::opinionbutton_Click()
{
    Label3.caption = "Getting opinion...";

    opinionticker = MSFlexGrid1.text();
    if (opinionticker.empty()) {
        msgbox("Select a ticker and try again.");
        Label3.caption = "Idle...";
        return;
    }

    // The cell's text goes as it stands, blanks and letter case included;
    // only what an address cannot carry is percent-encoded, so a cell text
    // can never add parameters of its own to the query.
    const std::string address = std::string("http://") + hosts::telescan
        + "/wsc2/Interpretive_Text?Report=Telescan_Rankings&IntText=Normal&Symbol="
        + encodeUrlPart(opinionticker);
    if (!fetcher || !fetcher->OpenPage(address, 60, 0)) {
        // The report shown before stays readable.
        Label3.caption = "Idle...";
        return;
    }

    TextBox2.text.clear();
    TextBox2.text = fetcher->GetTextBetween("Snapshot", "The above report", 0, 1, 0);
    if (TextBox2.text.empty())
        TextBox2.text = "None found";

    Label3.caption = "Idle...";
}

} // namespace veltrop
