#include "tools/simweb/pages.h"

#include "tools/simweb/html.h"
#include "tools/simweb/sites.h"

#include <algorithm>
#include <array>

namespace simweb {
namespace {

namespace hosts = veltrop::hosts;

constexpr std::array<std::string_view, 15> kKnownHosts{
    hosts::clearstation, hosts::nasdaq,    hosts::wallstreettape, hosts::cnetInvestor, hosts::upside,
    hosts::barchart,     hosts::standardPoors, hosts::quotes,    hosts::marketwatch,  hosts::telescan,
    hosts::forbes,       hosts::validea,   hosts::ibd,            hosts::zacks,        hosts::maker,
};

constexpr std::string_view kQuotePath = "/portfolio_quick_quotes.asp";

Page homePage(std::string_view host)
{
    HtmlWriter page(host);
    page.raw("<H1>" + escapeHtml(host) + "</H1>\n<P>Welcome. Markets, quotes and research.</P>\n");
    return {200, "text/html; charset=utf-8", page.finish()};
}

} // namespace

bool isKnownHost(std::string_view host)
{
    return std::find(kKnownHosts.begin(), kKnownHosts.end(), host) != kKnownHosts.end();
}

Page sitePage(std::string_view host, std::string_view path, std::string_view query, Paging paging)
{
    if (auto page = listPage(host, path, query, paging))
        return *page;
    if (host == hosts::quotes && path == kQuotePath)
        return quotePage(query);
    if (auto page = rankPage(host, path, query))
        return *page;
    if (auto page = opinionPage(host, path, query))
        return *page;
    if (path == "/")
        return homePage(host);
    return statusPage(404, "The requested page was not found on this server.");
}

Page statusPage(int status, std::string_view message)
{
    const std::string heading = std::to_string(status);
    HtmlWriter page(heading);
    page.raw("<H1>" + heading + "</H1>\n<P>" + escapeHtml(message) + "</P>\n");
    return {status, "text/html; charset=utf-8", page.finish()};
}

} // namespace simweb
