#pragma once
// The results grid on screen: a table view over the FlexGrid model. Row 0 of
// the model, its fixed row, is the view's header; the other rows are the
// view's rows. A click on a cell makes it the model's current cell.
#include <QAbstractTableModel>
#include <QTableView>

#include <cstdint>

#include "app/gui/twips.h"

namespace veltrop {
class FlexGrid;
}

namespace veltrop::gui {

class FlexGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    // Data role holding a cell's picture file path.
    static constexpr int PictureRole = Qt::UserRole + 1;

    explicit FlexGridModel(FlexGrid& grid, QObject* parent = nullptr);

    // The first model row shown as a view row (1 with a header row, else 0).
    int firstRow() const;
    // Tells the view the model changed: a reset when the shape changed,
    // otherwise a plain repaint of every cell.
    void refresh();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    FlexGrid& grid_;
    int shownRows_, shownCols_;
};

class FlexGridView : public QTableView {
    Q_OBJECT
public:
    // `twips` converts the model's column widths and the row height.
    FlexGridView(FlexGrid& grid, Twips twips, QWidget* parent = nullptr);

    // Mirrors the model; does nothing unless the model changed since the
    // last call.
    void sync();

private:
    void applyColumnWidths();
    void showCurrentCell();
    void cellChosen(const QModelIndex& current);

    FlexGrid& grid_;
    FlexGridModel model_;
    Twips twips_;
    std::uint64_t shownRevision_;
    bool syncing_ = false;
};

} // namespace veltrop::gui
