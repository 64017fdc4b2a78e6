#pragma once
// The results grid on screen: a table view over the window's ResultsGrid.
// Its heading row is the view's header; the other rows are the view's rows.
// A click on a cell makes it the grid's current cell; Ctrl+A selects every
// ranked row; Ctrl+C and the grid's menu ask for a copy.
#include <QAbstractTableModel>
#include <QTableView>

#include <cstdint>

#include "app/gui/twips.h"

namespace veltrop {
class ResultsGrid;
}

namespace veltrop::gui {

class ResultsGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Data role holding a cell's picture file path.
    static constexpr int PictureRole = Qt::UserRole + 1;

    explicit ResultsGridModel(const ResultsGrid& grid, QObject* parent = nullptr);

    // Tells the view the model changed: a reset when the shape changed,
    // otherwise a plain repaint of every cell.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    const ResultsGrid& grid_;
    int shownRows_;
};

class ResultsGridView : public QTableView {
    Q_OBJECT
public:
    // `twips` converts the model's column widths and the row height.
    ResultsGridView(ResultsGrid& grid, Twips twips, QWidget* parent = nullptr);

    // Mirrors the grid; does nothing unless it changed since the last call.
    void sync();

signals:
    // Ctrl+C, or Copy in the grid's menu: the window puts the selected rows
    // on the clipboard.
    void copyRequested();

private:
    void applyColumnWidths();
    void showCurrentCell();
    void cellChosen(const QModelIndex& current);

    ResultsGrid& grid_;
    ResultsGridModel model_;
    Twips twips_;
    std::uint64_t shownRevision_;
    bool syncing_ = false;
};

} // namespace veltrop::gui
