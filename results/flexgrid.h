#pragma once
// Model of the results grid: a flex grid of text cells and cell pictures with
// a current cell and a selection. It offers the operations the commands use,
// named as the grid control of the original window named them.
#include <cstdint>
#include <string>
#include <vector>

namespace veltrop {

class FlexGrid {
public:
    enum class FillStyle { Single, Repeat };
    enum class Align { Left, Centre, Right };

    FlexGrid(int rows = 2, int cols = 3, int fixedRows = 1);

    int rows() const { return int(cells_.size()); }
    int cols() const { return cols_; }
    int fixedRows() const { return fixedRows_; }
    // Grows or cuts the grid; new cells are empty.
    void setRows(int rows);
    void setCols(int cols);

    // The current cell. Making a row or column current also makes it the
    // whole selection in that direction.
    int row() const { return row_; }
    int col() const { return col_; }
    int rowSel() const { return rowSel_; }
    int colSel() const { return colSel_; }
    void setRow(int r);
    void setCol(int c);
    void setRowSel(int r);
    void setColSel(int c);

    void setFillStyle(FillStyle s) { fillStyle_ = s; }
    FillStyle fillStyle() const { return fillStyle_; }

    std::string textMatrix(int r, int c) const;
    void setTextMatrix(int r, int c, const std::string& text);

    // Text of the current cell; setting it fills the whole selection when the
    // fill style is Repeat.
    std::string text() const;
    void setText(const std::string& text);

    // Picture of a cell: the path of the picture file, empty for none.
    std::string picture(int r, int c) const;
    std::string cellPicture() const { return picture(row_, col_); }
    // Puts a picture into the current cell (or the selection, with Repeat);
    // an empty path removes it.
    void setCellPicture(const std::string& path);

    // Appends a row at the end; `item` gives its cells separated by tabs.
    void addItem(const std::string& item);
    // Removes row r; the rows below move up. A fixed row, or the last
    // non-fixed row, cannot be removed: returns false and changes nothing.
    bool removeItem(int r);

    // Sorts the non-fixed rows descending (rows row..rowSel when they differ),
    // keyed on the selected columns left to right; texts that are both numbers
    // compare as numbers. Rows that compare equal keep their order.
    void sortGenericDescending();

    // "^Ticker|^Rank": header texts of the fixed row, "^" centres, "<" and ">"
    // align left and right, "|" separates the columns.
    void setFormatString(const std::string& format);
    Align headerAlign(int c) const;

    int colWidth(int c) const;        // twips; -1 when never set
    void setColWidth(int c, int twips);

    // Bumped by every change, so a view can tell when to redraw.
    std::uint64_t revision() const { return revision_; }

private:
    struct Cell {
        std::string text;
        std::string picture;
    };
    bool valid(int r, int c) const { return r >= 0 && r < rows() && c >= 0 && c < cols_; }
    template <class F> void forSelection(F&& f);
    void touch() { ++revision_; }

    std::vector<std::vector<Cell>> cells_;
    std::vector<int> colWidths_;
    std::vector<Align> headerAlign_;
    int cols_;
    int fixedRows_;
    int row_ = 1, col_ = 0, rowSel_ = 1, colSel_ = 0;
    FillStyle fillStyle_ = FillStyle::Single;
    std::uint64_t revision_ = 0;
};

} // namespace veltrop
