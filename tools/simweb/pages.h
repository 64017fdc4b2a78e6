#pragma once
// The pages of the simulated web: the published ticker lists, the quote page
// and a home page on every known host, all built from the synthetic market.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace simweb {

struct Page {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
};

// How a paged list links its pages.
enum class Paging {
    Normal,
    Endless,  // every page links to a fresh next page; pages after the first list nothing
    Loop,     // the last page links back to the first
};

// The outside hosts the program reads; any other host cannot be reached.
bool isKnownHost(std::string_view host);

// The page of a known host at `path` and `query`: a list page, the quote
// page, a home page for "/", otherwise a 404 page. `paging` only changes the
// paged lists.
Page sitePage(std::string_view host, std::string_view path, std::string_view query,
              Paging paging = Paging::Normal);

// A small page for an error status.
Page statusPage(int status, std::string_view message);

// One page of a published list; empty when the address is no list page.
std::optional<Page> listPage(std::string_view host, std::string_view path, std::string_view query,
                             Paging paging);

// Every ticker a list shows, in page order and over all its pages; empty when
// the address is no list page.
std::vector<std::string> listTickers(std::string_view host, std::string_view path, std::string_view query);

// "http://host/path?query" in the parts the pages here take.
struct UrlParts {
    std::string host, path, query;
};
UrlParts urlParts(std::string_view url);
// listTickers of an absolute address.
std::vector<std::string> listTickers(std::string_view url);
// The same tickers page by page, as a normal walk of the list's next-page
// links meets them.
std::vector<std::vector<std::string>> listPageTickers(std::string_view host, std::string_view path,
                                                      std::string_view query);

// The quick-quotes page for "tickers=A,B,C," (or "+", "%2C", "%2B", blank as
// separators): the quote table is table 15, and the i-th requested ticker is
// on row i + 2 with its price in column 3 and its volume in column 7.
Page quotePage(std::string_view query);

// The per-ticker page of a rank source; empty when the address is no rank
// page.
std::optional<Page> rankPage(std::string_view host, std::string_view path, std::string_view query);

// The interpretive-text (opinion report) page; empty when the address is not
// that page.
std::optional<Page> opinionPage(std::string_view host, std::string_view path, std::string_view query);

} // namespace simweb
