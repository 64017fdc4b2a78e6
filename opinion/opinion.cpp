#include "opinion/opinion.h"

#include "domain/sites.h"
#include "web/url.h"

namespace veltrop {

std::optional<std::string> fetchOpinion(PageFetcher& fetcher, const std::string& ticker)
{
    // The ticker goes as it stands, blanks and letter case included; only
    // what an address cannot carry is percent-encoded, so a cell text can
    // never add parameters of its own to the query.
    const std::string address = std::string("http://") + hosts::telescan +
                                "/wsc2/Interpretive_Text?Report=Telescan_Rankings&IntText=Normal&Symbol=" +
                                encodeUrlPart(ticker);
    if (!fetcher.OpenPage(address, 60, 0))
        return std::nullopt;
    std::string report = fetcher.GetTextBetween("Snapshot", "The above report", 0, 1, 0);
    if (report.empty())
        report = "None found";
    return report;
}

} // namespace veltrop
