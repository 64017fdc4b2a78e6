#include "opinion/opinion.h"

#include "domain/catalogue.h"
#include "web/url.h"

namespace veltrop {

std::optional<std::string> fetchOpinion(PageFetcher& fetcher, const std::string& ticker, const OpinionEntry& page)
{
    // The ticker goes as it stands, blanks and letter case included; only
    // what an address cannot carry is percent-encoded, so a cell text can
    // never add parameters of its own to the query.
    std::string address = page.url;
    address.replace(address.find("{ticker}"), std::string_view("{ticker}").size(), encodeUrlPart(ticker));
    if (!fetcher.OpenPage(address, 60, 0))
        return std::nullopt;
    std::string report = fetcher.GetTextBetween(page.start, page.end, 0, 1, 0);
    if (report.empty())
        report = "None found";
    return report;
}

} // namespace veltrop
