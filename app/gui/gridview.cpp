#include "app/gui/gridview.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmapCache>
#include <QStyledItemDelegate>

#include <algorithm>

#include "results/flexgrid.h"

namespace veltrop::gui {
namespace {

QString qstr(const std::string& s) { return QString::fromStdString(s); }

Qt::Alignment headerAlignment(FlexGrid::Align align)
{
    switch (align) {
    case FlexGrid::Align::Centre: return Qt::AlignCenter;
    case FlexGrid::Align::Right: return Qt::AlignRight | Qt::AlignVCenter;
    case FlexGrid::Align::Left: break;
    }
    return Qt::AlignLeft | Qt::AlignVCenter;
}

// Null when the file is missing or not a picture; a missing picture file
// leaves its cell blank rather than failing the display.
QPixmap loadPicture(const QString& path)
{
    QPixmap picture;
    if (!QPixmapCache::find(path, &picture) && picture.load(path))
        QPixmapCache::insert(path, picture);
    return picture;
}

// Draws a cell's picture over its text, scaled to fit the cell.
class PictureDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        const QString path = index.data(FlexGridModel::PictureRole).toString();
        if (path.isEmpty())
            return;
        const QPixmap picture = loadPicture(path);
        if (picture.isNull())
            return;
        const QPixmap scaled =
            picture.scaled(option.rect.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
        const int top = option.rect.top() + (option.rect.height() - scaled.height()) / 2;
        painter->drawPixmap(option.rect.left(), top, scaled);
    }
};

} // namespace

FlexGridModel::FlexGridModel(FlexGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid),
      shownRows_(grid.rows() - firstRow()), shownCols_(grid.cols())
{
}

int FlexGridModel::firstRow() const { return grid_.fixedRows() > 0 ? 1 : 0; }

void FlexGridModel::refresh()
{
    const int rows = grid_.rows() - firstRow();
    const int cols = grid_.cols();
    if (rows != shownRows_ || cols != shownCols_) {
        beginResetModel();
        shownRows_ = rows;
        shownCols_ = cols;
        endResetModel();
        return;
    }
    if (rows > 0 && cols > 0)
        emit dataChanged(index(0, 0), index(rows - 1, cols - 1));
    if (cols > 0)
        emit headerDataChanged(Qt::Horizontal, 0, cols - 1);
}

// The counts the view was last told, so that it never asks for cells of a
// shape it has not been told about yet.
int FlexGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shownRows_;
}

int FlexGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : shownCols_;
}

QVariant FlexGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + firstRow();
    switch (role) {
    case Qt::DisplayRole: return qstr(grid_.textMatrix(row, index.column()));
    case PictureRole: return qstr(grid_.picture(row, index.column()));
    case Qt::TextAlignmentRole: return int(Qt::AlignLeft | Qt::AlignVCenter);
    default: return {};
    }
}

QVariant FlexGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || firstRow() == 0)
        return {};
    switch (role) {
    case Qt::DisplayRole: return qstr(grid_.textMatrix(0, section));
    case Qt::TextAlignmentRole: return int(headerAlignment(grid_.headerAlign(section)));
    default: return {};
    }
}

FlexGridView::FlexGridView(FlexGrid& grid, Twips twips, QWidget* parent)
    : QTableView(parent), grid_(grid), model_(grid), twips_(twips),
      shownRevision_(grid.revision())
{
    setModel(&model_);
    setItemDelegate(new PictureDelegate(this));
    setEditTriggers(NoEditTriggers);
    setSelectionMode(SingleSelection);
    setSelectionBehavior(SelectItems);
    setWordWrap(false);
    verticalHeader()->hide();
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    // The classic grid's rows are 240 twips high at its usual font.
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(twips_.y(240));
    applyColumnWidths();
    showCurrentCell();
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex& current) { cellChosen(current); });
}

void FlexGridView::sync()
{
    if (grid_.revision() == shownRevision_)
        return;
    shownRevision_ = grid_.revision();
    syncing_ = true;
    model_.refresh();
    applyColumnWidths();
    showCurrentCell();
    syncing_ = false;
}

void FlexGridView::applyColumnWidths()
{
    for (int c = 0; c < grid_.cols(); ++c) {
        const int width = grid_.colWidth(c);
        setColumnHidden(c, width == 0);
        if (width > 0)
            setColumnWidth(c, twips_.x(width));
    }
}

void FlexGridView::showCurrentCell()
{
    const int first = model_.firstRow();
    const int top = std::min(grid_.row(), grid_.rowSel()) - first;
    const int bottom = std::max(grid_.row(), grid_.rowSel()) - first;
    const int left = std::min(grid_.col(), grid_.colSel());
    const int right = std::max(grid_.col(), grid_.colSel());
    const QModelIndex current = model_.index(grid_.row() - first, grid_.col());
    QItemSelectionModel* selection = selectionModel();
    if (current.isValid()) {
        selection->setCurrentIndex(current, QItemSelectionModel::NoUpdate);
        selection->select(QItemSelection(model_.index(std::max(top, 0), left),
                                         model_.index(bottom, right)),
                          QItemSelectionModel::ClearAndSelect);
    } else {
        selection->clear();
    }
}

void FlexGridView::cellChosen(const QModelIndex& current)
{
    if (syncing_ || !current.isValid())
        return;
    grid_.setRow(current.row() + model_.firstRow());
    grid_.setCol(current.column());
    // The view already shows the cell the user chose as current and selected,
    // which is just what the model now holds; nothing to redraw.
    shownRevision_ = grid_.revision();
}

} // namespace veltrop::gui
