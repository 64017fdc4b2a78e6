#include "app/resultsgrid.h"

#include <algorithm>
#include <array>

namespace veltrop {

void ResultsGrid::showRanked(RankedRows rows, std::string pictureFolder)
{
    show(std::move(rows), std::move(pictureFolder), 1);
}

void ResultsGrid::showCut(RankedRows rows, std::string pictureFolder)
{
    // The cut refills the grid row by row and stays on the last one filled.
    const int last = std::max(int(rows.size()), 1);
    show(std::move(rows), std::move(pictureFolder), last);
}

void ResultsGrid::clear() { show({}, pictureFolder_, 1); }

void ResultsGrid::show(RankedRows rows, std::string pictureFolder, int current)
{
    rows_ = std::move(rows);
    pictureFolder_ = std::move(pictureFolder);
    row_ = current;
    col_ = 1;
    allSelected_ = false;
    ++revision_;
}

std::string ResultsGrid::text(int row, int col) const
{
    static const std::array<const char*, columns> headings = {"Ticker", "Rank", ""};
    if (col < 0 || col >= columns)
        return {};
    if (row == 0)
        return headings[std::size_t(col)];
    if (row < 1 || row > int(rows_.size()))
        return {};
    const RankedRow& ranked = rows_[std::size_t(row - 1)];
    return col == 0 ? ranked.ticker : col == 2 ? scoreText(ranked.score) : std::string();
}

std::string ResultsGrid::picture(int row, int col) const
{
    if (col != 1 || row < 1 || row > int(rows_.size()))
        return {};
    // The view shows the file when it can read it; a missing picture leaves
    // the cell blank.
    return rankPicturePath(pictureFolder_, rows_[std::size_t(row - 1)].band);
}

int ResultsGrid::colWidth(int col)
{
    static constexpr std::array<int, columns> widths = {1000, 3350, 0};
    return col >= 0 && col < columns ? widths[std::size_t(col)] : 0;
}

void ResultsGrid::setCurrent(int row, int col)
{
    if (row < 0 || row >= rows() || col < 0 || col >= columns)
        return;
    row_ = row;
    col_ = col;
    allSelected_ = false;
    ++revision_;
}

void ResultsGrid::selectAll()
{
    allSelected_ = true;
    ++revision_;
}

RankedRows ResultsGrid::selectedRows() const
{
    if (allSelected_)
        return rows_;
    if (row_ < 1 || row_ > int(rows_.size()))
        return {};
    return {rows_[std::size_t(row_ - 1)]};
}

std::string rankPicturePath(const std::string& folder, int band)
{
    return folder + "/vp" + std::to_string(band) + ".bmp";
}

} // namespace veltrop
