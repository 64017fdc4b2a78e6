#include "results/flexgrid.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

namespace veltrop {
namespace {

// The grid's generic sort takes a text as a number when the whole of it reads
// as one.
std::optional<double> asNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    while (end && *end == ' ')
        ++end;
    if (end == text.c_str() || *end != '\0')
        return std::nullopt;
    return v;
}

// <0, 0, >0 as a is before, level with, after b in ascending order.
int compareGeneric(const std::string& a, const std::string& b)
{
    auto na = asNumber(a), nb = asNumber(b);
    if (na && nb)
        return *na < *nb ? -1 : (*na > *nb ? 1 : 0);
    return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

} // namespace

FlexGrid::FlexGrid(int rows, int cols, int fixedRows) : cols_(cols), fixedRows_(fixedRows)
{
    cells_.assign(std::max(rows, 0), std::vector<Cell>(cols_));
    colWidths_.assign(cols_, -1);
    headerAlign_.assign(cols_, Align::Left);
}

void FlexGrid::setRows(int rows)
{
    rows = std::max(rows, fixedRows_ + 1);
    cells_.resize(rows, std::vector<Cell>(cols_));
    row_ = std::min(row_, rows - 1);
    rowSel_ = std::min(rowSel_, rows - 1);
    touch();
}

void FlexGrid::setCols(int cols)
{
    cols_ = std::max(cols, 1);
    for (auto& r : cells_)
        r.resize(cols_);
    colWidths_.resize(cols_, -1);
    headerAlign_.resize(cols_, Align::Left);
    col_ = std::min(col_, cols_ - 1);
    colSel_ = std::min(colSel_, cols_ - 1);
    touch();
}

void FlexGrid::setRow(int r)
{
    if (r < 0 || r >= rows())
        return;
    row_ = rowSel_ = r;
    touch();
}

void FlexGrid::setCol(int c)
{
    if (c < 0 || c >= cols_)
        return;
    col_ = colSel_ = c;
    touch();
}

void FlexGrid::setRowSel(int r)
{
    if (r < 0 || r >= rows())
        return;
    rowSel_ = r;
    touch();
}

void FlexGrid::setColSel(int c)
{
    if (c < 0 || c >= cols_)
        return;
    colSel_ = c;
    touch();
}

std::string FlexGrid::textMatrix(int r, int c) const
{
    return valid(r, c) ? cells_[r][c].text : std::string();
}

void FlexGrid::setTextMatrix(int r, int c, const std::string& text)
{
    if (!valid(r, c))
        return;
    cells_[r][c].text = text;
    touch();
}

std::string FlexGrid::text() const { return textMatrix(row_, col_); }

template <class F> void FlexGrid::forSelection(F&& f)
{
    if (fillStyle_ == FillStyle::Single) {
        if (valid(row_, col_))
            f(cells_[row_][col_]);
    } else {
        for (int r = std::min(row_, rowSel_); r <= std::max(row_, rowSel_); ++r)
            for (int c = std::min(col_, colSel_); c <= std::max(col_, colSel_); ++c)
                if (valid(r, c))
                    f(cells_[r][c]);
    }
    touch();
}

void FlexGrid::setText(const std::string& text)
{
    forSelection([&](Cell& cell) { cell.text = text; });
}

std::string FlexGrid::picture(int r, int c) const
{
    return valid(r, c) ? cells_[r][c].picture : std::string();
}

void FlexGrid::setCellPicture(const std::string& path)
{
    forSelection([&](Cell& cell) { cell.picture = path; });
}

void FlexGrid::addItem(const std::string& item)
{
    std::vector<Cell> row(cols_);
    std::size_t start = 0;
    for (int c = 0; c < cols_ && start <= item.size(); ++c) {
        std::size_t tab = item.find('\t', start);
        row[c].text = item.substr(start, tab == std::string::npos ? std::string::npos : tab - start);
        if (tab == std::string::npos)
            break;
        start = tab + 1;
    }
    cells_.push_back(std::move(row));
    touch();
}

bool FlexGrid::removeItem(int r)
{
    if (r < fixedRows_ || r >= rows() || rows() <= fixedRows_ + 1)
        return false;
    cells_.erase(cells_.begin() + r);
    row_ = std::min(row_, rows() - 1);
    rowSel_ = std::min(rowSel_, rows() - 1);
    touch();
    return true;
}

void FlexGrid::sortGenericDescending()
{
    int first = fixedRows_, last = rows() - 1;
    if (row_ != rowSel_) {
        first = std::max(std::min(row_, rowSel_), fixedRows_);
        last = std::max(row_, rowSel_);
    }
    if (first >= last)
        return;
    const int c0 = std::min(col_, colSel_), c1 = std::max(col_, colSel_);
    std::stable_sort(cells_.begin() + first, cells_.begin() + last + 1,
                     [&](const std::vector<Cell>& a, const std::vector<Cell>& b) {
                         for (int c = c0; c <= c1; ++c) {
                             int cmp = compareGeneric(a[c].text, b[c].text);
                             if (cmp != 0)
                                 return cmp > 0;
                         }
                         return false;
                     });
    touch();
}

void FlexGrid::setFormatString(const std::string& format)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (true) {
        std::size_t bar = format.find('|', start);
        parts.push_back(format.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    if (int(parts.size()) > cols_)
        setCols(int(parts.size()));
    for (int c = 0; c < int(parts.size()); ++c) {
        std::string text = parts[c];
        Align align = Align::Left;
        if (!text.empty() && (text[0] == '^' || text[0] == '<' || text[0] == '>')) {
            align = text[0] == '^' ? Align::Centre : text[0] == '>' ? Align::Right : Align::Left;
            text.erase(0, 1);
        }
        headerAlign_[c] = align;
        if (fixedRows_ > 0)
            cells_[0][c].text = text;
    }
    touch();
}

FlexGrid::Align FlexGrid::headerAlign(int c) const
{
    return c >= 0 && c < cols_ ? headerAlign_[c] : Align::Left;
}

int FlexGrid::colWidth(int c) const { return c >= 0 && c < cols_ ? colWidths_[c] : -1; }

void FlexGrid::setColWidth(int c, int twips)
{
    if (c < 0 || c >= cols_)
        return;
    colWidths_[c] = twips;
    touch();
}

} // namespace veltrop
