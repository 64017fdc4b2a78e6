#include "web/pageindex.h"

#include "web/htmlparser.h"
#include "web/url.h"

namespace veltrop {
namespace {

// Length of the white space at `at`: the HTML blanks, and U+00A0, which pages
// use to pad cells and which a reader takes for a blank all the same.
std::size_t whitespaceLength(std::string_view text, std::size_t at)
{
    switch (text[at]) {
    case ' ':
    case '\t':
    case '\n':
    case '\r':
    case '\f':
        return 1;
    case '\xC2':
        return at + 1 < text.size() && text[at + 1] == '\xA0' ? 2 : 0;
    default:
        return 0;
    }
}

// The page text keeps white space folded already; this also turns its line
// breaks and cell tabs into blanks.
std::string foldToOneLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (char c : text) {
        if (c == ' ' || c == '\n' || c == '\t') {
            blank = !out.empty();
        } else {
            if (blank)
                out += ' ';
            blank = false;
            out += c;
        }
    }
    return out;
}

// Whether `text`, folded as by foldToOneLine, equals `wanted`, without
// building the folded text: the comparison ends at the first difference, so
// a long link costs no more than the text asked for.
bool foldsTo(std::string_view text, std::string_view wanted)
{
    auto isLayout = [](char c) { return c == ' ' || c == '\n' || c == '\t'; };
    std::size_t at = 0;
    std::size_t matched = 0;
    bool blank = false;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (isLayout(c)) {
            blank = matched > 0;
            continue;
        }
        if (blank) {
            if (matched == wanted.size() || wanted[matched] != ' ')
                return false;
            ++matched;
            blank = false;
        }
        if (matched == wanted.size() || wanted[matched] != c)
            return false;
        ++matched;
    }
    return matched == wanted.size();
}

std::string_view trimLayout(std::string_view text)
{
    auto isLayout = [](char c) { return c == ' ' || c == '\n' || c == '\t'; };
    while (!text.empty() && isLayout(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isLayout(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

// Lays the readable text out while the document is walked. Separators (a
// blank, a line break, cell tabs) are held back until the next visible
// character, so the text never ends in one or doubles one up.
class PageIndex::Builder final : public HtmlVisitor {
public:
    explicit Builder(PageIndex& index, std::string_view pageUrl) : index_(index), pageUrl_(pageUrl) {}

    bool enterElement(const HtmlElement& element) override
    {
        Frame frame;
        switch (element.kind()) {
        case ElementKind::Hidden:
            return false;
        case ElementKind::Table:
            breakLine();
            frame = {Opened::Table, index_.tables_.size(), 0};
            index_.tables_.emplace_back();
            structure_.push_back(frame);
            break;
        case ElementKind::Row:
            if (!structure_.empty() && structure_.back().opened == Opened::Table) {
                breakLine();
                frame = {Opened::Row, structure_.back().index, 0};
                index_.tables_[frame.index].emplace_back();
                structure_.push_back(frame);
            }
            break;
        case ElementKind::Cell:
            if (!structure_.empty() && structure_.back().opened == Opened::Row) {
                frame = {Opened::Cell, structure_.back().index, index_.text_.size()};
                if (!index_.tables_[frame.index].back().empty())
                    ++pendingTabs_;
                structure_.push_back(frame);
            }
            break;
        case ElementKind::Link:
            if (auto href = element.attribute("href")) {
                frame = {Opened::Link, index_.links_.size(), index_.text_.size()};
                index_.links_.push_back({{frame.begin, frame.begin}, std::string(*href)});
            }
            break;
        case ElementKind::Base:
            // Only the first <base href> of a page counts, as in a browser.
            if (auto href = element.attribute("href"); href && !baseSeen_) {
                index_.baseUrl_ = resolveUrl(pageUrl_, *href);
                baseSeen_ = true;
            }
            break;
        case ElementKind::LineBreak:
            breakLine();
            break;
        case ElementKind::Block:
            breakLine();
            frame.opened = Opened::Block;
            break;
        case ElementKind::Inline:
            break;
        }
        frames_.push_back(frame);
        return true;
    }

    void leaveElement(const HtmlElement&) override
    {
        const Frame frame = frames_.back();
        frames_.pop_back();
        switch (frame.opened) {
        case Opened::Table:
        case Opened::Row:
            structure_.pop_back();
            breakLine();
            break;
        case Opened::Cell:
            structure_.pop_back();
            index_.tables_[frame.index].back().push_back({frame.begin, index_.text_.size()});
            break;
        case Opened::Link:
            // Links nest (through an <object> or a table inside one), so a
            // link keeps the range of its text, never a copy: a copy per open
            // link grows with the square of the page.
            index_.links_[frame.index].text = {frame.begin, index_.text_.size()};
            break;
        case Opened::Block:
            breakLine();
            break;
        case Opened::Nothing:
            break;
        }
    }

    void text(std::string_view text) override
    {
        std::size_t at = 0;
        while (at < text.size()) {
            if (auto blank = whitespaceLength(text, at)) {
                pendingBlank_ = true;
                at += blank;
                continue;
            }
            std::size_t end = at + 1;
            while (end < text.size() && !whitespaceLength(text, end))
                ++end;
            flushSeparators();
            index_.text_.append(text.substr(at, end - at));
            at = end;
        }
    }

private:
    enum class Opened { Nothing, Table, Row, Cell, Link, Block };
    struct Frame {
        Opened opened = Opened::Nothing;
        std::size_t index = 0;  // table of a table, row or cell; link number
        std::size_t begin = 0;  // where the text of a cell or link starts
    };

    void breakLine()
    {
        pendingLine_ = true;
        pendingTabs_ = 0;
    }

    void flushSeparators()
    {
        std::string& out = index_.text_;
        if (pendingLine_) {
            if (!out.empty() && out.back() != '\n')
                out += '\n';
        } else if (pendingBlank_ && pendingTabs_ == 0 && !out.empty() && out.back() != '\n'
                   && out.back() != '\t') {
            out += ' ';
        }
        out.append(pendingTabs_, '\t');
        pendingLine_ = false;
        pendingBlank_ = false;
        pendingTabs_ = 0;
    }

    PageIndex& index_;
    std::string_view pageUrl_;
    bool baseSeen_ = false;
    // One frame per element entered; the tables, rows and cells open at the
    // moment, innermost last.
    std::vector<Frame> frames_;
    std::vector<Frame> structure_;
    bool pendingLine_ = false;
    bool pendingBlank_ = false;
    std::size_t pendingTabs_ = 0;
};

std::optional<PageIndex> PageIndex::build(std::string html, std::string_view pageUrl)
{
    PageIndex index;
    index.source_ = std::move(html);
    index.baseUrl_ = pageUrl;
    Builder builder(index, pageUrl);
    if (!parseHtml(index.source_, builder))
        return std::nullopt;
    return index;
}

bool PageIndex::hasCell(int table, int row, int column) const
{
    if (table < 1 || row < 1 || column < 1)
        return false;
    const auto t = static_cast<std::size_t>(table - 1);
    const auto r = static_cast<std::size_t>(row - 1);
    const auto c = static_cast<std::size_t>(column - 1);
    return t < tables_.size() && r < tables_[t].size() && c < tables_[t][r].size();
}

std::string PageIndex::cellText(int table, int row, int column) const
{
    if (!hasCell(table, row, column))
        return {};
    const auto at = [](int n) { return static_cast<std::size_t>(n - 1); };
    const TextRange range = tables_[at(table)][at(row)][at(column)];
    return foldToOneLine(std::string_view(text_).substr(range.begin, range.end - range.begin));
}

std::string PageIndex::linkUrl(std::string_view text, int index) const
{
    if (index < 1)
        return {};
    for (const Link& link : links_) {
        const std::string_view linkText =
            std::string_view(text_).substr(link.text.begin, link.text.end - link.text.begin);
        if (foldsTo(linkText, text) && --index == 0)
            return resolveUrl(baseUrl_, link.href);
    }
    return {};
}

std::string PageIndex::textBetween(std::string_view start, std::string_view end) const
{
    return findBetween(start, end).value_or(std::string());
}

std::optional<std::string> PageIndex::findBetween(std::string_view start, std::string_view end) const
{
    if (start.empty() || end.empty())
        return std::nullopt;
    const auto startAt = text_.find(start);
    if (startAt == std::string::npos)
        return std::nullopt;
    const auto from = startAt + start.size();
    const auto endAt = text_.find(end, from);
    if (endAt == std::string::npos)
        return std::nullopt;
    return std::string(trimLayout(std::string_view(text_).substr(from, endAt - from)));
}

} // namespace veltrop
