#include "domain/catalogue.h"

#include "domain/expressions.h"
#include "domain/tomlfields.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

namespace veltrop {
namespace {

// A catalogue is a page of text a person writes; anything larger is not one.
constexpr std::size_t maxBytes = 1 << 20;
// Table, row and column numbers run from 1 to this; the pages read hold far
// fewer.
constexpr std::int64_t maxPosition = 100000;

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

class Reader {
public:
    explicit Reader(Faults& faults) : faults_(faults) {}

    Catalogue read(const toml::table& root)
    {
        Fields top(root, "the catalogue", faults_);
        if (const toml::node* format = top.node("format")) {
            if (format->value<std::int64_t>() != 1)
                faults_.add(format->source(), "\"format\" must be 1, the only format there is");
        } else {
            faults_.add(1, 1, "missing key \"format\": the catalogue's first line is format = 1");
        }
        if (auto agent = top.text("user_agent", false)) {
            if (agent->empty() || agent->find_first_of("\r\n") != std::string::npos)
                faults_.add(top.where("user_agent"), "\"user_agent\" must be one line of text");
            else
                catalogue_.userAgent = *agent;
        }
        eachTable(top, "list", "[[list]]", [this](Fields& f) { list(f); });
        eachTable(top, "rank", "[[rank]]", [this](Fields& f) { rank(f); });
        eachTable(top, "host", "[[host]]", [this](Fields& f) { host(f); });
        if (const toml::table* t = top.table("quotes", false)) {
            Fields f(*t, "[quotes]", faults_);
            quotes(f);
        }
        if (const toml::table* t = top.table("opinion", false)) {
            Fields f(*t, "[opinion]", faults_);
            opinion(f);
        }
        return std::move(catalogue_);
    }

private:
    template <class Each>
    void eachTable(Fields& top, std::string_view key, const std::string& what, Each each)
    {
        const toml::array* entries = top.array(key, false);
        if (!entries)
            return;
        for (const toml::node& entry : *entries) {
            if (const toml::table* t = entry.as_table()) {
                Fields f(*t, what, faults_);
                each(f);
            } else {
                faults_.add(entry.source(), "each entry of " + std::string(key) + " must be a table, as " + what);
            }
        }
    }

    std::string name(Fields& f, std::map<std::string, Place, std::less<>>& seen)
    {
        const std::optional<std::string> name = f.text("name", true);
        if (!name)
            return {};
        const toml::source_region& at = f.where("name");
        const Place place{int(at.begin.line), int(at.begin.column)};
        if (name->empty()) {
            faults_.add(at, "\"name\" must not be empty");
        } else if (const auto [first, added] = seen.emplace(*name, place); !added) {
            faults_.add(at, "two entries are named " + quoted(*name) + "; the first is on line " +
                                std::to_string(first->second.line));
        }
        return name.value_or("");
    }

    // A web address, with `placeholder` standing in it when one is given.
    std::string url(Fields& f, std::string_view placeholder)
    {
        const std::optional<std::string> url = f.text("url", true);
        if (!url)
            return {};
        const toml::source_region& at = f.where("url");
        if (!startsWithNoCase(*url, "http://") && !startsWithNoCase(*url, "https://"))
            faults_.add(at, "\"url\" must start with http:// or https://: " + quoted(*url));
        else if (!placeholder.empty() && url->find(placeholder) == std::string::npos)
            faults_.add(at, "\"url\" of " + f.what() + " has no " + std::string(placeholder) + ": " + quoted(*url));
        return *url;
    }

    int position(Fields& f, std::string_view key, std::int64_t low = 1)
    {
        return int(f.integer(key, true, low, maxPosition).value_or(0));
    }

    void list(Fields& f)
    {
        ListEntry entry;
        entry.place = {int(f.where().begin.line), int(f.where().begin.column)};
        entry.name = name(f, names_);
        entry.caption = f.text("caption", true).value_or("");
        entry.url = url(f, "");
        if (const toml::table* t = f.table("tickers", true)) {
            Fields at(*t, "tickers", faults_);
            entry.table = position(at, "table");
            entry.row = position(at, "row", 0);
            entry.column = position(at, "column");
            entry.step = int(at.integer("step", false, 1, maxPosition).value_or(1));
        }
        if (const toml::table* t = f.table("next", false)) {
            Fields at(*t, "next", faults_);
            ListEntry::Next next;
            next.table = position(at, "table");
            next.row = position(at, "row");
            next.column = position(at, "column");
            next.text = at.text("text", true).value_or("");
            entry.next = next;
        }
        catalogue_.lists.push_back(std::move(entry));
    }

    // Two strings, the markers a value stands between.
    std::optional<std::pair<std::string, std::string>> markers(Fields& f)
    {
        const toml::array* pair = f.array("between", true);
        if (!pair)
            return std::nullopt;
        if (pair->size() != 2 || !(*pair)[0].is_string() || !(*pair)[1].is_string() ||
            (*pair)[0].as_string()->get().empty() || (*pair)[1].as_string()->get().empty()) {
            faults_.add(pair->source(), "\"between\" must be two texts, the start marker and the end marker");
            return std::nullopt;
        }
        return std::pair{(*pair)[0].as_string()->get(), (*pair)[1].as_string()->get()};
    }

    Locator locator(Fields& f)
    {
        static constexpr std::array<std::string_view, 6> kinds{"cell", "between", "regex", "json", "xpath", "reader"};
        std::vector<std::string_view> given;
        for (std::string_view kind : kinds)
            if (f.has(kind))
                given.push_back(kind);
        if (given.size() != 1) {
            faults_.add(f.where(), given.empty() ? f.what() + " says how its value is found with one of cell, "
                                                              "between, regex, json, xpath or reader"
                                                 : f.what() + " has both " + quoted(given[0]) + " and " +
                                                       quoted(given[1]) + "; it takes one way to find its value");
            for (std::string_view kind : given)
                f.node(kind);
            return {};
        }
        Locator l;
        const std::string_view kind = given[0];
        if (kind == "cell") {
            l.kind = Locator::Kind::Cell;
            const toml::array* cell = f.array("cell", true);
            const bool three = cell && cell->size() == 3 && std::all_of(cell->begin(), cell->end(), [](auto& n) {
                const auto v = n.template value<std::int64_t>();
                return n.is_integer() && v && *v >= 1 && *v <= maxPosition;
            });
            if (cell && !three)
                faults_.add(cell->source(), "\"cell\" must be [table, row, column], three numbers from 1");
            else if (cell)
                l.cell = {int(*(*cell)[0].value<std::int64_t>()), int(*(*cell)[1].value<std::int64_t>()),
                          int(*(*cell)[2].value<std::int64_t>())};
        } else if (kind == "between") {
            l.kind = Locator::Kind::Between;
            if (const auto pair = markers(f)) {
                l.text = pair->first;
                l.end = pair->second;
            }
        } else {
            l.kind = kind == "regex" ? Locator::Kind::Regex
                   : kind == "json"  ? Locator::Kind::JsonPointer
                   : kind == "xpath" ? Locator::Kind::XPath
                                     : Locator::Kind::Reader;
            l.text = f.text(kind, true).value_or("");
            const std::optional<std::string> fault = [&]() -> std::optional<std::string> {
                switch (l.kind) {
                case Locator::Kind::Regex: return regexFault(l.text);
                case Locator::Kind::JsonPointer: return jsonPointerFault(l.text);
                case Locator::Kind::XPath: return xpathFault(l.text);
                default: break;
                }
                const auto& readers = builtinReaderNames();
                if (std::find(readers.begin(), readers.end(), l.text) != readers.end())
                    return std::nullopt;
                std::string known;
                for (std::string_view r : readers)
                    known += (known.empty() ? "" : ", ") + std::string(r);
                return "no reader is called " + quoted(l.text) + "; the readers are " + known;
            }();
            if (fault && f.has(kind) && f.node(kind)->is_string())
                faults_.add(f.node(kind)->source(), *fault);
        }
        return l;
    }

    void rank(Fields& f)
    {
        RankEntry entry;
        entry.place = {int(f.where().begin.line), int(f.where().begin.column)};
        entry.name = name(f, names_);
        entry.caption = f.text("caption", true).value_or("");
        entry.url = url(f, "{ticker}");
        if (auto phrase = f.text("no_data", false)) {
            if (phrase->empty())
                faults_.add(f.where("no_data"), "\"no_data\" must not be empty");
            entry.noData = *phrase;
        }
        entry.locator = locator(f);
        if (const toml::table* grades = f.table("grades", false)) {
            if (entry.locator.kind == Locator::Kind::Reader)
                faults_.add(grades->source(), "\"grades\" apply to a value a locator finds, not to a reader's points");
            for (auto&& [text, points] : *grades) {
                if (const auto v = points.value<std::int64_t>(); v && points.is_integer())
                    entry.grades.emplace_back(std::string(text.str()), *v);
                else
                    faults_.add(points.source(), "the points of grade " + quoted(text.str()) + " must be an integer");
            }
        }
        catalogue_.ranks.push_back(std::move(entry));
    }

    void quotes(Fields& f)
    {
        QuotesEntry q;
        q.url = url(f, "{tickers}");
        q.table = position(f, "table");
        q.firstRow = position(f, "first_row");
        q.symbol = position(f, "symbol");
        q.price = position(f, "price");
        q.volume = position(f, "volume");
        catalogue_.quotes = q;
    }

    void opinion(Fields& f)
    {
        OpinionEntry o;
        o.url = url(f, "{ticker}");
        if (const auto pair = markers(f)) {
            o.start = pair->first;
            o.end = pair->second;
        }
        catalogue_.opinion = o;
    }

    void host(Fields& f)
    {
        HostEntry h;
        h.name = name(f, hostNames_);
        h.connections = int(f.integer("connections", false, 1, 32).value_or(h.connections));
        h.intervalMs = int(f.integer("interval_ms", false, 0, 60000).value_or(h.intervalMs));
        catalogue_.hosts.push_back(std::move(h));
    }

    Faults& faults_;
    Catalogue catalogue_;
    std::map<std::string, Place, std::less<>> names_, hostNames_;
};

} // namespace

const std::vector<std::string_view>& builtinReaderNames()
{
    static const std::vector<std::string_view> names{"days-since-news", "rank-change", "fund-count",
                                                     "guru-average",    "smartselect", "broker"};
    return names;
}

CatalogueResult readCatalogue(std::string_view text, const std::string& fileName)
{
    Faults faults(fileName);
    CatalogueResult result;
    if (text.size() > maxBytes) {
        faults.add(1, 1, "the catalogue is over 1 MB; it is not read");
        result.errors = faults.messages();
        return result;
    }
    try {
        const toml::table root = toml::parse(text, fileName);
        Catalogue catalogue = Reader(faults).read(root);
        if (faults.empty())
            result.catalogue = std::move(catalogue);
    } catch (const toml::parse_error& error) {
        faults.add(error.source(), std::string(error.description()));
    }
    result.errors = faults.messages();
    return result;
}

CatalogueResult readCatalogueFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        CatalogueResult result;
        result.errors.push_back(path + ":1:1: cannot be read");
        return result;
    }
    std::string text;
    char chunk[65536];
    // Reads one byte past the limit at most, so a huge file costs no more.
    while (text.size() <= maxBytes && in.read(chunk, sizeof chunk).gcount() > 0)
        text.append(chunk, std::size_t(in.gcount()));
    return readCatalogue(text, path);
}

const Catalogue& builtinCatalogue()
{
    static const Catalogue catalogue = [] {
        CatalogueResult read = readCatalogue(builtinCatalogueText(), "sources.toml");
        if (!read.catalogue || !read.catalogue->quotes || !read.catalogue->opinion)
            throw std::logic_error("the built-in catalogue does not read: " +
                                   (read.errors.empty() ? std::string("no quotes or opinion") : read.errors[0]));
        return std::move(*read.catalogue);
    }();
    return catalogue;
}

} // namespace veltrop
