#pragma once
// Writing pages in the style of the sites' own: upper-case tags, rows and
// cells left unclosed, layout done with tables. The program finds its data by
// table number, counted in document order with nested tables included, so the
// writer counts every table it opens and the page builders check the count.
#include <cstdint>
#include <string>
#include <string_view>

namespace simweb {

class HtmlWriter {
public:
    // Starts the document; a `metaCharset` goes into a <META> tag, for pages
    // whose server did not name the character set in its headers.
    explicit HtmlWriter(std::string_view title, std::string_view metaCharset = {});

    // Opens a table and returns its number among the page's tables.
    int openTable(std::string_view attributes = {});
    void closeTable();
    // Rows and cells are left unclosed, as the sites wrote them.
    void row(std::string_view attributes = {});
    void cell(std::string_view html, std::string_view attributes = {});
    void headCell(std::string_view html, std::string_view attributes = {});
    void raw(std::string_view html);

    int tables() const { return tables_; }
    std::string finish();

private:
    std::string out_;
    int tables_ = 0;
};

// Fills the top of a page with exactly `count` layout tables of the site
// `site`: banner with a nested logo table, navigation bar, search form, menu
// boxes (each a border table around a link table) and spacers.
void layoutTables(HtmlWriter& page, std::string_view site, int count);
// Exactly `count` layout tables of menu boxes and spacers, for the middle of a
// page.
void fillerTables(HtmlWriter& page, int count);
// One table with the site's copyright line.
void footerTable(HtmlWriter& page, std::string_view site);

// Throws std::logic_error unless `actual` == `expected`: a page whose data
// table moved would silently feed the program the wrong cells.
void expectTableNumber(int actual, int expected);

std::string escapeHtml(std::string_view text);
// UTF-8 to Windows-1252; characters it cannot hold become "?".
std::string toWindows1252(std::string_view utf8);

std::string formatPrice(double price);                  // "23.50"
std::string formatChange(double change);                // "+0.25", "-1.13", "0.00"
std::string formatPercent(double change, double price); // "+1.07%"
std::string formatVolume(std::int64_t volume);          // "1,234,500"

} // namespace simweb
