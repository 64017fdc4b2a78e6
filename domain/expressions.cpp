#include "domain/expressions.h"

#include <libxml/xpath.h>
#include <libxml/xmlerror.h>
#include <nlohmann/json.hpp>
#include <re2/re2.h>

namespace veltrop {
namespace {

// RE2 refuses a pattern whose program would outgrow this, so a crafted
// pattern costs bounded memory.
constexpr int regexMemory = 1 << 20;

// libxml2 prints its faults to standard error unless told otherwise; the
// catalogue reports them itself.
void quietXml(void*, const char*, ...) {}

} // namespace

std::optional<std::string> regexFault(const std::string& pattern)
{
    RE2::Options options;
    options.set_log_errors(false);
    options.set_max_mem(regexMemory);
    const RE2 re(pattern, options);
    if (!re.ok())
        return "the pattern \"" + pattern + "\" does not compile: " + re.error();
    if (re.NumberOfCapturingGroups() != 1)
        return "the pattern \"" + pattern + "\" must have one capture group, not " +
               std::to_string(re.NumberOfCapturingGroups());
    return std::nullopt;
}

std::optional<std::string> xpathFault(const std::string& expression)
{
    // The error handlers are the calling thread's own.
    xmlSetGenericErrorFunc(nullptr, quietXml);
    xmlSetStructuredErrorFunc(nullptr, nullptr);
    if (expression.find('\0') != std::string::npos)
        return "the XPath \"" + expression + "\" holds a NUL character";
    xmlXPathCompExprPtr compiled = xmlXPathCompile(reinterpret_cast<const xmlChar*>(expression.c_str()));
    if (!compiled)
        return "the XPath \"" + expression + "\" does not compile";
    xmlXPathFreeCompExpr(compiled);
    return std::nullopt;
}

std::optional<std::string> jsonPointerFault(const std::string& pointer)
{
    try {
        nlohmann::json::json_pointer{pointer};
    } catch (const nlohmann::json::exception&) {
        return "the JSON pointer \"" + pointer + "\" is not one: it is empty or starts with \"/\", and \"~\" "
               "stands only before 0 or 1";
    }
    return std::nullopt;
}

} // namespace veltrop
