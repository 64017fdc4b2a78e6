#pragma once
// The catalogue: every page the program reads, as data. The program carries
// one built in; a user's own file repoints or adds sources. Reading a
// catalogue checks all of it before anything runs and reports every fault,
// each as "FILE:LINE:COLUMN: what is wrong".
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "web/pageview.h"

namespace veltrop {

// Where in the file an entry stands, for the messages about it.
struct Place {
    int line = 0, column = 0;
};

// How a rank source finds its value on a page.
struct Locator {
    enum class Kind { Cell, Between, Regex, JsonPointer, XPath, Reader };
    Kind kind = Kind::Cell;
    Cell cell;            // Cell
    std::string text;     // Between: the start marker; Regex, JsonPointer, XPath: the expression; Reader: its name
    std::string end;      // Between: the end marker

    bool operator==(const Locator&) const = default;
};

struct ListEntry {
    std::string name, caption, url;
    int table = 0, row = 0, column = 0, step = 1;  // where the tickers stand
    struct Next {
        int table = 0, row = 0, column = 0;
        std::string text;
    };
    std::optional<Next> next;  // the cell of the next page's link
    Place place;
};

struct RankEntry {
    std::string name, caption;
    std::string url;  // with "{ticker}" where the ticker goes
    std::string noData;  // a page that carries it leaves the score untouched; empty: none
    Locator locator;
    // Text to points, matched on the trimmed value; empty: the leading number.
    std::vector<std::pair<std::string, std::int64_t>> grades;
    Place place;
};

struct QuotesEntry {
    std::string url;  // with "{tickers}"
    int table = 0, firstRow = 0, symbol = 0, price = 0, volume = 0;
};

struct OpinionEntry {
    std::string url;  // with "{ticker}"
    std::string start, end;
};

struct HostEntry {
    std::string name;
    int connections = 6;  // transfers at once
    int intervalMs = 0;   // between the starts of two requests
};

struct Catalogue {
    std::string userAgent;  // empty: not given (the built-in one gives it)
    std::vector<ListEntry> lists;
    std::vector<RankEntry> ranks;
    std::optional<QuotesEntry> quotes;
    std::optional<OpinionEntry> opinion;
    std::vector<HostEntry> hosts;
};

// The built-in readers a rank entry may name, in the order the manual lists
// them.
const std::vector<std::string_view>& builtinReaderNames();

struct CatalogueResult {
    std::optional<Catalogue> catalogue;  // set exactly when there are no errors
    std::vector<std::string> errors;     // "FILE:LINE:COLUMN: ...", in file order
};

// Reads and checks a catalogue's text; `fileName` names it in the messages.
CatalogueResult readCatalogue(std::string_view text, const std::string& fileName);
// As readCatalogue, for a file: one that cannot be read or is over 1 MB is
// refused with one error; one that is not UTF-8 fails as TOML, at the first
// bad byte.
CatalogueResult readCatalogueFile(const std::string& path);

// The catalogue built into the program, and its text as it stands in the
// repository.
std::string_view builtinCatalogueText();
const Catalogue& builtinCatalogue();

// `builtin` with a user's catalogue over it: an entry named as a built-in
// one of its kind takes that one's place; any other follows the built-ins of
// its kind, in file order. The quote page, the opinion page, the user agent
// and a host's limits are the user's where the user's catalogue gives them.
Catalogue withUserCatalogue(const Catalogue& builtin, const Catalogue& user);

// Where a user's own catalogue lives: $XDG_CONFIG_HOME/veltrop/sources.toml,
// or ~/.config/veltrop/sources.toml when the variable is unset or empty;
// empty when neither variable is set.
std::string userCataloguePath();

// The catalogue in effect: the built-in one with the file at `path` over it.
// A file that is not there is no error when `mayBeMissing` (the user has no
// catalogue of their own); one with errors gives its errors and no
// catalogue.
CatalogueResult catalogueInEffect(const std::string& path, bool mayBeMissing);

} // namespace veltrop
