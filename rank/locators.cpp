// How a locator finds its value on a page.
#include "rank/locators.h"

#include <memory>
#include <optional>
#include <string>

#include <libxml/HTMLparser.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>
#include <nlohmann/json.hpp>
#include <re2/re2.h>

#include "web/text.h"

namespace veltrop {
namespace {

// As the catalogue's check compiles patterns, so a pattern that passed
// there compiles here within the same memory.
constexpr int regexMemory = 1 << 20;

Located found(std::string value) { return {true, std::move(value)}; }

Located byCell(const PageView& page, const Cell& cell)
{
    if (!page.hasCell(cell.table, cell.row, cell.column))
        return {};
    return found(page.cellText(cell.table, cell.row, cell.column));
}

Located byBetween(const PageView& page, const Locator& locator)
{
    std::optional<std::string> text = page.textBetween(locator.text, locator.end);
    return text ? found(std::move(*text)) : Located{};
}

Located byRegex(const PageView& page, const std::string& pattern)
{
    // Compiled on every call: a cache would be shared by the fetch workers
    // and need a lock, and one compile costs little beside a page fetch.
    RE2::Options options;
    options.set_log_errors(false);
    options.set_max_mem(regexMemory);
    const RE2 re(pattern, options);
    if (!re.ok())
        return {};
    const std::string text = page.pageText();
    std::string group;
    if (!RE2::PartialMatch(text, re, &group))
        return {};
    return found(std::move(group));
}

Located byJsonPointer(const PageView& page, const std::string& pointer)
{
    const std::string& source = page.source();
    if (source.size() > maxLocatorPage)
        return {};
    const nlohmann::json document = nlohmann::json::parse(source, nullptr, /*allow_exceptions=*/false);
    if (document.is_discarded())
        return {};
    const nlohmann::json* value = nullptr;
    try {
        value = &document.at(nlohmann::json::json_pointer(pointer));
    } catch (const nlohmann::json::exception&) {
        return {};  // not in the document, or no pointer at all
    }
    if (value->is_string())
        return found(value->get<std::string>());
    if (value->is_null())
        return found({});
    return found(value->dump());  // numbers, true and false, objects and arrays as written
}

// libxml2 prints its faults to standard error unless told otherwise; a page
// that is not well-formed is the rule, not news.
void quietXml(void*, const char*, ...) {}

struct XmlFree {
    void operator()(htmlDocPtr doc) const { xmlFreeDoc(doc); }
    void operator()(xmlXPathContextPtr context) const { xmlXPathFreeContext(context); }
    void operator()(xmlXPathObjectPtr object) const { xmlXPathFreeObject(object); }
    void operator()(xmlChar* text) const { xmlFree(text); }
};
template <class T> using XmlHeld = std::unique_ptr<T, XmlFree>;

// White space, no-break spaces too, folded to one blank and trimmed, as the
// page index gives a cell's text.
std::string foldSpace(const char* text)
{
    std::string out;
    bool blank = false;
    for (const char* p = text; *p; ++p) {
        const bool nbsp = static_cast<unsigned char>(p[0]) == 0xC2 && static_cast<unsigned char>(p[1]) == 0xA0;
        if (nbsp || *p == ' ' || *p == '\t' || *p == '\n' || *p == '\r' || *p == '\f' || *p == '\v') {
            blank = !out.empty();
            p += nbsp ? 1 : 0;
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += *p;
    }
    return out;
}

std::string held(XmlHeld<xmlChar> text)
{
    return text ? std::string(reinterpret_cast<const char*>(text.get())) : std::string();
}

Located byXPath(const PageView& page, const std::string& expression)
{
    const std::string& source = page.source();
    if (source.size() > maxLocatorPage || expression.find('\0') != std::string::npos)
        return {};
    // The error handlers are the calling thread's own.
    xmlSetGenericErrorFunc(nullptr, quietXml);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    const std::string url = page.url();
    const XmlHeld<xmlDoc> doc(htmlReadMemory(source.data(), static_cast<int>(source.size()), url.c_str(), "UTF-8",
                                             HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING |
                                                 HTML_PARSE_NONET | HTML_PARSE_NOBLANKS));
    if (!doc)
        return {};
    const XmlHeld<xmlXPathContext> context(xmlXPathNewContext(doc.get()));
    if (!context)
        return {};
    // A pattern of nested descendants ("//div//div//div...") costs the
    // page's size to that power; past the limit libxml2 ends the evaluation
    // as an error, and the page has nothing where the XPath points.
    context->opLimit = maxXPathSteps;
    const XmlHeld<xmlXPathObject> result(
        xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expression.c_str()), context.get()));
    if (!result)
        return {};
    if (result->type != XPATH_NODESET)
        return found(held(XmlHeld<xmlChar>(xmlXPathCastToString(result.get()))));
    const xmlNodeSetPtr nodes = result->nodesetval;
    if (!nodes || nodes->nodeNr < 1)
        return {};
    const XmlHeld<xmlChar> content(xmlNodeGetContent(nodes->nodeTab[0]));
    return found(content ? foldSpace(reinterpret_cast<const char*>(content.get())) : std::string());
}

} // namespace

Located locate(const PageView& page, const Locator& locator)
{
    switch (locator.kind) {
    case Locator::Kind::Cell:
        return byCell(page, locator.cell);
    case Locator::Kind::Between:
        return byBetween(page, locator);
    case Locator::Kind::Regex:
        return byRegex(page, locator.text);
    case Locator::Kind::JsonPointer:
        return byJsonPointer(page, locator.text);
    case Locator::Kind::XPath:
        return byXPath(page, locator.text);
    case Locator::Kind::Reader:
        break;
    }
    return {};
}

Points pointsOf(const Located& located, const std::vector<std::pair<std::string, std::int64_t>>& grades)
{
    if (!located.found)
        return Points::add(0);
    if (!grades.empty()) {
        for (const auto& [grade, points] : grades)
            if (exactMatch(located.value, grade))
                return Points::record(points);
        return Points::record(0);
    }
    const double v = leadingNumber(located.value);
    if (!located.value.empty() && v > 0)
        return Points::record(floorWhole(v));
    return Points::add(0);
}

std::string lookedFor(const RankSource& source)
{
    const auto cell = [](const Cell& c) {
        return "table " + std::to_string(c.table) + ", row " + std::to_string(c.row) + ", column " +
               std::to_string(c.column);
    };
    if (source.extraction == Extraction::SingleCell)
        return cell(source.cell);
    if (source.extraction != Extraction::Located) {
        const std::optional<Landmark> landmark = landmarkOf(source.extraction);
        if (!landmark)
            return {};
        return landmark->cell ? cell(*landmark->cell) : "the text \"" + landmark->text + "\"";
    }
    const Locator& l = source.locator;
    switch (l.kind) {
    case Locator::Kind::Cell: return cell(l.cell);
    case Locator::Kind::Between: return "the text between \"" + l.text + "\" and \"" + l.end + "\"";
    case Locator::Kind::Regex: return "the pattern \"" + l.text + "\"";
    case Locator::Kind::JsonPointer: return "the JSON pointer \"" + l.text + "\"";
    case Locator::Kind::XPath: return "the XPath \"" + l.text + "\"";
    case Locator::Kind::Reader: break;
    }
    return {};
}

std::string layoutWarning(const std::string& what, int missing, int opened)
{
    if (what.empty() || opened < 3 || missing < opened)
        return {};
    return "the page layout may have changed: " + what + " is on none of its " + std::to_string(opened) + " pages";
}

} // namespace veltrop
