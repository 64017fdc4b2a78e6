#pragma once
// An open page as the code that reads it sees it: cells of its tables, its
// readable text, its links and its address. Tables, rows and columns count
// from 1; a missing cell or link reads as the empty text. The extractions and
// the table walker read pages only through this view and touch nothing else,
// so they give the same result on whichever thread the page was indexed.
#include <optional>
#include <string>

#include "web/pageindex.h"

namespace veltrop {

struct Cell {
    int table = 0, row = 0, column = 0;
    bool operator==(const Cell&) const = default;
};

class PageView {
public:
    virtual ~PageView() = default;
    virtual std::string cellText(int table, int row, int column) const = 0;
    // Whether the cell is there at all, so that an empty cell tells apart
    // from a table the page no longer has.
    virtual bool hasCell(int table, int row, int column) const = 0;
    virtual std::string pageText() const = 0;
    // The readable text between two markers, trimmed; nullopt when either
    // marker is missing (or empty).
    virtual std::optional<std::string> textBetween(const std::string& start, const std::string& end) const = 0;
    // The page as decoded: HTML, or the JSON text of a JSON page.
    virtual const std::string& source() const = 0;
    virtual std::string linkUrl(const std::string& text, int index) const = 0;
    // The address the page was finally read from.
    virtual std::string url() const = 0;
};

// An indexed page and the address it was read from.
class IndexPage : public PageView {
public:
    IndexPage(const PageIndex& page, const std::string& url) : page_(page), url_(url) {}
    std::string cellText(int table, int row, int column) const override
    {
        return page_.cellText(table, row, column);
    }
    bool hasCell(int table, int row, int column) const override { return page_.hasCell(table, row, column); }
    std::string pageText() const override { return page_.text(); }
    std::optional<std::string> textBetween(const std::string& start, const std::string& end) const override
    {
        return page_.findBetween(start, end);
    }
    const std::string& source() const override { return page_.source(); }
    std::string linkUrl(const std::string& text, int index) const override { return page_.linkUrl(text, index); }
    std::string url() const override { return url_; }

private:
    const PageIndex& page_;
    const std::string& url_;
};

} // namespace veltrop
