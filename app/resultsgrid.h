#pragma once
// The results grid as the window shows it: a heading row, one row per
// ranked ticker (its ticker, its band's picture, its hidden score) and one
// empty row after them, with a current cell that is also the selection.
#include <cstdint>
#include <string>

#include "results/results.h"

namespace veltrop {

class ResultsGrid {
public:
    static constexpr int columns = 3;  // ticker, picture, hidden score

    // Lists `rows` with pictures from `pictureFolder`; the current cell is
    // the picture of row 1 after a ranking and of the last row after a cut.
    void showRanked(RankedRows rows, std::string pictureFolder);
    void showCut(RankedRows rows, std::string pictureFolder);
    // Back to the heading and one empty row.
    void clear();
    const RankedRows& ranked() const { return rows_; }

    // Grid rows: the heading, the ranked rows and the empty last row.
    int rows() const { return int(rows_.size()) + 2; }
    std::string text(int row, int col) const;
    // The picture file of a cell, empty for none.
    std::string picture(int row, int col) const;
    static int colWidth(int col);  // twips; 0 hides the column

    int row() const { return row_; }
    int col() const { return col_; }
    // A click on a cell; outside the grid it does nothing.
    void setCurrent(int row, int col);
    // What Opinion asks about: the ticker, or nothing on a picture.
    std::string currentText() const { return text(row_, col_); }

    // Select All: every ranked row, the current cell where it was. A click
    // or a new display makes the current cell the whole selection again.
    void selectAll();
    bool allSelected() const { return allSelected_; }
    // The ranked rows that hold a selected cell, in the grid's order; the
    // empty last row holds none.
    RankedRows selectedRows() const;

    // Bumped by every change, so a view can tell when to redraw.
    std::uint64_t revision() const { return revision_; }

private:
    void show(RankedRows rows, std::string pictureFolder, int current);

    RankedRows rows_;
    std::string pictureFolder_;
    int row_ = 1, col_ = 1;
    bool allSelected_ = false;
    std::uint64_t revision_ = 0;
};

// The picture file of band k in the program's folder: folder + "/vp" + k + ".bmp".
std::string rankPicturePath(const std::string& folder, int band);

} // namespace veltrop
