#pragma once
// HTML5 parsing behind a small walk interface, so the page index never sees
// the parser library and the library can be exchanged in this one place.
#include <cstddef>
#include <optional>
#include <string_view>

namespace veltrop {

// What an element means to a reader of the page.
enum class ElementKind {
    Table,
    Row,        // tr
    Cell,       // td, th
    Link,       // a
    Base,       // base
    LineBreak,  // br
    Block,      // p, div, li, h1..h6 and the other elements a browser puts on lines of their own
    Hidden,     // script, style, noscript, template, title and the like: never shown
    Inline,     // everything else
};

class HtmlElement {
public:
    explicit HtmlElement(const void* node) : node_(node) {}
    ElementKind kind() const;
    // The attribute's value; nullopt when the element does not carry it.
    std::optional<std::string_view> attribute(const char* name) const;

private:
    const void* node_;
};

// Receives the document in order. The text handed over lives only during the
// walk.
class HtmlVisitor {
public:
    // Returning false skips the element's content and its leaveElement.
    virtual bool enterElement(const HtmlElement& element) = 0;
    virtual void leaveElement(const HtmlElement& element) = 0;
    // Text with character references decoded (UTF-8).
    virtual void text(std::string_view text) = 0;

protected:
    ~HtmlVisitor() = default;
};

// Pages with more tags than this are refused before parsing.
inline constexpr std::size_t maxPageTags = 500000;
// Parsing that takes more processor time than this is abandoned.
inline constexpr int parseBudgetMilliseconds = 1000;

// Parses `html` (UTF-8) as a browser would and walks the resulting document.
// False, with the visitor not called, when the page is refused because it
// exceeds one of the limits above.
bool parseHtml(std::string_view html, HtmlVisitor& visitor);

} // namespace veltrop
